// Sending one attached file: the file is read whole first (retrying while
// another process holds it), then its AttachmentHeader and its bytes go out.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "platform/files.h"
#include "platform/socket.h"

namespace pink::msgcall {

// Results of send_attachment.
inline constexpr int kAttachmentSent = 1;
inline constexpr int kAttachmentFileFailed = -1;  // no path, no extension, or the file cannot be read
inline constexpr int kAttachmentNotSent = -2;     // the header or the bytes were not sent whole

// Opens and reads a file whole, as files::read_shared does; tests put a
// reader of their own in its place.
using FileReader = std::function<files::SharedRead(std::string_view path)>;

// How many times a file held by another process is tried in all.
inline constexpr int kOpenTries = 10;

// The text after the path's last "." (what the header's extension field
// takes the first four bytes of); nothing when the path has no ".".
std::optional<std::string_view> extension_of(std::string_view path);

// The file's bytes: tried up to kOpenTries times while the reader says Busy,
// yielding the processor between tries. Nothing when it stays busy or fails.
std::optional<std::string> read_attachment(std::string_view path, const FileReader& reader);

// Sends the file at `path`: kAttachmentSent, kAttachmentFileFailed or
// kAttachmentNotSent. The file's bytes follow the header whenever there are
// any (the header announces them, so even a single byte is sent).
int send_attachment(net::Socket* socket, std::string_view path, const FileReader& reader);

}  // namespace pink::msgcall
