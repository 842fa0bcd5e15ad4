#include "msgcall/attachment.h"

#include <new>
#include <span>
#include <thread>

#include "msgcall/link.h"
#include "msgcall/records.h"

namespace pink::msgcall {

std::optional<std::string_view> extension_of(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return path.substr(dot + 1);
}

std::optional<std::string> read_attachment(std::string_view path, const FileReader& reader) {
  for (int attempt = 1; attempt <= kOpenTries; ++attempt) {
    files::SharedRead r = reader(path);
    if (r.status == files::SharedReadStatus::Ok) return std::move(r.bytes);
    if (r.status != files::SharedReadStatus::Busy) return std::nullopt;
    if (attempt < kOpenTries) std::this_thread::yield();
  }
  return std::nullopt;
}

int send_attachment(net::Socket* socket, std::string_view path, const FileReader& reader) {
  const auto extension = path.empty() ? std::nullopt : extension_of(path);
  if (!extension) return kAttachmentFileFailed;
  std::optional<std::string> bytes;
  try {
    bytes = read_attachment(path, reader);
  } catch (const std::bad_alloc&) {
    bytes.reset();  // a file too large to hold in memory
  }
  if (!bytes) return kAttachmentFileFailed;

  const wire::AttachmentHeaderBytes header = wire::attachment_header(bytes->size(), *extension);
  if (link::send_all(socket, header) != static_cast<long>(header.size())) return kAttachmentNotSent;
  if (bytes->empty()) return kAttachmentSent;
  const std::span<const std::uint8_t> body(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
  if (link::send_all(socket, body) != static_cast<long>(body.size())) return kAttachmentNotSent;
  return kAttachmentSent;
}

}  // namespace pink::msgcall
