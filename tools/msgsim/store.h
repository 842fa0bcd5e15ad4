// The folder where the simulator keeps what it received: one subfolder per
// message ("000001", "000002" ..., counting on from the highest already
// there), holding
//   header.txt       every field as Name=value lines (UTF-8), the login of the
//                    connection, the attachments and the answer given
//   login.bin        the LoginRequest record as received (when the connection logged in)
//   header.bin       the SendHeader record as received
//   message.bin      every byte of the message as received: SendHeader,
//                    MessageBody, each AttachmentHeader and file
//   body.txt         the message text, its bytes exactly (cp949)
//   attachment1.ext  each attached file, its bytes exactly, named with the
//                    extension the header gave (characters other than
//                    letters, digits, "-" and "_" become "_")
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pink::msgsim {

class Store {
 public:
  // `root` is a UTF-8 folder name; empty: nothing is kept. The folder is
  // created when missing.
  explicit Store(std::filesystem::path root);
  bool enabled() const noexcept { return !root_.empty(); }
  const std::filesystem::path& root() const noexcept { return root_; }

  // A new, empty message folder; nothing when it cannot be made.
  std::optional<std::filesystem::path> new_message();

 private:
  std::filesystem::path root_;
  std::mutex mutex_;
  std::uint64_t next_ = 1;
};

// "attachment2.jpg" for the second file with extension "jpg"; "attachment2"
// without an extension.
std::string attachment_file_name(int index, std::string_view extension);

// Writes the bytes as the file's whole content; false on failure.
bool write_file(const std::filesystem::path& path, std::string_view bytes);

}  // namespace pink::msgsim
