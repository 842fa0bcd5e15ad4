#include "mailbox/bodylines.h"

#include "escpos/escpos.h"
#include "platform/text.h"

namespace pink::mailbox {

std::string_view line_end(const ModelProfile& model) { return model.lf_line_end ? kLf : kCrLf; }

bool takes_null_token(const ModelProfile& model, bool resident_serial) {
  switch (model.null_token) {
    case NullToken::Always:
      return true;
    case NullToken::NotResident:
      return !resident_serial;
    case NullToken::Never:
      break;
  }
  return false;
}

std::string replace_null_token(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = line.find(kNullToken, pos);
    if (hit == std::string_view::npos) break;
    out.append(line.substr(pos, hit - pos));
    out.push_back('\0');
    pos = hit + kNullToken.size();
  }
  out.append(line.substr(pos));
  return out;
}

std::vector<std::string> korean_double_byte_writes(std::string_view line) {
  std::vector<std::string> writes;
  if (line.empty()) return writes;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t n = text::char_length_at(line, i);
    if (n == 2) {
      writes.emplace_back(escpos::kKanjiOn.view());
      writes.emplace_back(1, static_cast<char>(static_cast<unsigned char>(line[i]) & 0x7F));
      writes.emplace_back(1, static_cast<char>(static_cast<unsigned char>(line[i + 1]) & 0x7F));
      writes.emplace_back(escpos::kKanjiOff.view());
    } else {
      // A single-byte character, or a lone byte that starts no valid pair: sent as it is.
      writes.emplace_back(1, line[i]);
    }
    i += n;
  }
  writes.emplace_back(kCrLf);
  return writes;
}

}  // namespace pink::mailbox
