#include "tools/paysim/message.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace pink::paysim {

std::string build_message(std::string_view header, std::string_view type, std::vector<Field> fields) {
  std::stable_sort(fields.begin(), fields.end(), [](const Field& a, const Field& b) { return a.number < b.number; });
  std::uint64_t bits = 0;
  std::string data;
  for (const Field& f : fields) {
    if (f.number < 1 || f.number > 64) continue;
    bits |= std::uint64_t{1} << (64 - f.number);
    data += f.text;
  }
  std::string out(header.substr(0, 12));
  out.resize(12, ' ');
  out += type;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int shift = 60; shift >= 0; shift -= 4) out += kHex[(bits >> shift) & 0xF];
  return out + data;
}

std::string approval_response() {
  return build_message("PAYSIM000001", "0910",
                       {{3, "100000"},
                        {4, "000000010000"},
                        {7, "0101120000"},
                        {11, "000001"},
                        {12, "120000"},
                        {13, "0101"},
                        {37, "000000123456"},
                        {38, "123456"},
                        {39, "00"},
                        {41, "CAT00001"},
                        {42, "PAYSIM000000001"},
                        {44, "04PINK"},
                        {63, "008APPROVED"}});
}

std::string refusal_response() {
  return build_message("PAYSIM000002", "9910",
                       {{3, "000000"}, {39, "51"}, {58, "010REFUSED 51"}, {63, "012CARD REFUSED"}});
}

namespace {

struct ControlName {
  std::uint8_t byte;
  const char* name;
};

constexpr std::array<ControlName, 5> kControlNames{{
    {kEnq, "<ENQ>"},
    {kAck, "<ACK>"},
    {kNak, "<NAK>"},
    {kEot, "<EOT>"},
    {kEm, "<EM>"},
}};

}  // namespace

std::string show(std::span<const std::uint8_t> bytes) {
  const std::string_view as_text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const bool keep_high = text::is_valid_cp949(as_text);
  std::string out;
  for (const std::uint8_t b : bytes) {
    const auto named = std::find_if(kControlNames.begin(), kControlNames.end(),
                                    [b](const ControlName& c) { return c.byte == b; });
    if (named != kControlNames.end()) {
      out += named->name;
    } else if (b == '\\') {
      out += "\\\\";
    } else if ((b >= 0x20 && b < 0x7F) || (b >= 0x80 && keep_high)) {
      out += static_cast<char>(b);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

std::string show(std::string_view bytes) {
  return show(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace pink::paysim
