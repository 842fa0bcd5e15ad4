// The payment bridge's walk of a response over any bytes: the response text
// stops at its first zero and never splits a double-byte character, the
// message type, bitmap and data area are the response's own characters, and
// the field walk takes its fields from the front of the data area in order,
// with the normalised text made only of taken fields and defaults.
#include "fuzz/check.h"
#include "payment/corvana/fields.h"
#include "payment/corvana/message.h"
#include "platform/failure.h"

using namespace pink::corvana;

namespace {

void check_text(std::span<const std::uint8_t> buffer, std::int32_t count, const std::string& text) {
  const std::size_t looked_at = std::min(buffer.size(), static_cast<std::size_t>(std::max(count, 0)) + 1);
  FUZZ_CHECK(text.size() <= looked_at);
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  FUZZ_CHECK(pink::fuzz::chars(buffer).substr(0, text.size()) == text);
  // What ends the text: the looked-at end, a zero, or a double-byte
  // character cut by either.
  if (text.size() < looked_at && buffer[text.size()] != 0) {
    FUZZ_CHECK(buffer[text.size()] >= 0x80);
    FUZZ_CHECK(text.size() + 1 >= looked_at || buffer[text.size() + 1] == 0);
  }
}

void check_parts(std::string_view response) {
  const std::string_view type = message_type(response);
  const std::string_view bitmap = bitmap_text(response);
  const std::string_view area = data_area(response);
  for (std::string_view part : {type, bitmap, area}) {
    FUZZ_CHECK(part.empty() || (part.data() >= response.data() &&
                                part.data() + part.size() <= response.data() + response.size()));
  }
  FUZZ_CHECK(char_count(type) <= 4 && char_count(bitmap) <= 16);
  if (!area.empty()) {
    // The data area is the tail after 32 characters.
    FUZZ_CHECK(area.data() + area.size() == response.data() + response.size());
    FUZZ_CHECK(char_count(response.substr(0, response.size() - area.size())) == 32);
  }
  const std::optional<Kind> kind = response_kind(response);
  if (kind) FUZZ_CHECK(type == (*kind == Kind::RF ? "9910" : "0910"));
}

void check_walk(std::string_view area, std::string_view bitmap, Kind kind) {
  const std::string bits = expand_bitmap(bitmap);
  FUZZ_CHECK(bits.size() % 4 == 0 && bits.size() <= bitmap.size() * 4);
  FUZZ_CHECK(bits.find_first_not_of("01") == std::string::npos);
  try {
    const FieldWalk walk = walk_fields(area, bits, kind);
    FUZZ_CHECK(area.substr(0, walk.taken.size()) == walk.taken);
    // A walk with no bits set takes nothing and gives the defaults only.
    if (bits.find('1') == std::string::npos) FUZZ_CHECK(walk.taken.empty());
    // The same walk again gives the same texts.
    const FieldWalk again = walk_fields(area, bits, kind);
    FUZZ_CHECK(again.taken == walk.taken && again.normalised == walk.normalised);
  } catch (const pink::Failure& f) {
    FUZZ_CHECK(f.number() == 13 || f.number() == 9);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: the receive count's distance from the buffer size; second:
  // the kind the walk is asked for.
  const auto buffer = pink::fuzz::bytes(data + 2, size - 2);
  const std::int32_t count = static_cast<std::int32_t>(buffer.size()) - static_cast<std::int32_t>(data[0] % 8);
  const Kind asked = static_cast<Kind>(data[1] % 3);

  const std::string response = response_text(buffer, count);
  check_text(buffer, count, response);
  check_parts(response);
  FUZZ_CHECK(is_blank(response) == (response.find_first_not_of(' ') == std::string::npos));
  const std::optional<Kind> kind = response_kind(response);
  check_walk(data_area(response), bitmap_text(response), kind.value_or(asked));

  // The command line form: three parts, a 16-bit port.
  try {
    const Command c = parse_command(response);
    FUZZ_CHECK(response.substr(0, c.job.size()) == c.job);
    FUZZ_CHECK(response.find(c.address) != std::string::npos);
  } catch (const pink::Failure&) {
  }
  return 0;
}
