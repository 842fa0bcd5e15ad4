// Plain files by name (cp949 names; converted at this boundary).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace pink::files {

// NotAFile: the name leads to something other than a plain file (a device,
// a pipe, a folder), which is never read: a device such as /dev/zero would
// never end and a pipe could block forever. TooLarge: the file holds more
// than the caller said it can take; nothing of it is kept.
enum class ReadStatus { Ok, NotFound, PathNotFound, AccessDenied, NotAFile, TooLarge, Failed };

struct ReadResult {
  ReadStatus status = ReadStatus::Failed;
  std::string bytes;
};

// Reads the whole of a plain file of at most `max_bytes` bytes. The limit is
// the largest file the caller's reader can accept, so that a huge file is
// refused before it fills memory (a file that grows while it is read is
// refused as soon as it passes the limit).
ReadResult read_all(std::string_view path, std::uint64_t max_bytes);

// Reads the whole file, opened for reading and shared with other readers and
// writers. Busy: another process holds the file so that it cannot be opened
// now and a later try may succeed (a sharing violation on Windows; Linux has
// no mandatory file locks, so it never happens there). Failed: anything else
// (missing, a folder, a device or pipe, no permission, a read error, more
// than fits in memory).
enum class SharedReadStatus { Ok, Busy, Failed };
struct SharedRead {
  SharedReadStatus status = SharedReadStatus::Failed;
  std::string bytes;
};
SharedRead read_shared(std::string_view path);

// NoSpace: the file system (or the user's quota) is full; the bytes did not
// all go (the file may end in part of them).
enum class AppendStatus { Ok, PathNotFound, AccessDenied, NoSpace, Failed };

// Opens the file for appending (creating it, but never its folder), writes the
// bytes and closes it again.
AppendStatus append(std::string_view path, std::string_view bytes);

// Replaces the file's content (creating it, but never its folder). On failure
// the path and the system's reason ("<path>: No space left on device").
Result<void> write_all(std::string_view path, std::string_view bytes);

bool exists(std::string_view path);

// Creates the folder (its parent must exist); true when the folder exists
// afterwards, whether made now or before.
bool make_folder(std::string_view path);

// Name of the file a directory lookup of `path` yields ("sign.bmp" for
// "c:\sign.bmp" when it exists), or nothing.
std::optional<std::string> lookup_name(std::string_view path);

// Maps the fixed Windows paths of the suite onto this machine: on Windows the
// path itself; on Linux "." and ".\" prefixes, and backslashes, become "/".
std::string native_path(std::string_view path);

// The full path a relative `path` stands for from the current folder (for
// messages that say where a file was looked for). cp949; `path` itself when
// the current folder cannot be known.
std::string full_path(std::string_view path);

}  // namespace pink::files

namespace pink::files {

// A file the POS leaves at a fixed place for the spoolers (the customer
// signature "sign.bmp"): at the root of drive C: on Windows ("c:\sign.bmp"),
// in $PINK_SIGNDIR (default /var/lib/pink) on Linux.
std::string fixed_file(std::string_view name);

// A folder the suite keeps at a fixed place: on Windows `windows_folder` as
// given ("C:\TEMP"); on Linux the value of the environment variable
// `linux_variable` when it is set, else `linux_default`. cp949, as every path
// handed to these functions.
std::string fixed_folder(std::string_view windows_folder, std::string_view linux_variable,
                         std::string_view linux_default);

}  // namespace pink::files
