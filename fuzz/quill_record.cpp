// The quill record and the capture it rests on: any kept bytes, point image
// and key give a record of the announced size and layout (digest text, key
// field, 'Q', presence map, digest, the stored halves), whose presence map
// counts the halves it says it stored and whose digest is MD5 over the
// kept bytes and the column image; pen points never reach outside the
// image and set the pixels they say.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>

#include "crypto/md5.h"
#include "fuzz/check.h"
#include "signpad/capture.h"

using namespace pink::signpad;

namespace {

bool upper_hex(std::string_view s) { return s.find_first_not_of("0123456789ABCDEF") == std::string_view::npos; }

bool ink_at(const PointImage& image, std::size_t pixel) {
  return (image[pixel / 8] >> (7 - pixel % 8)) & 1;
}

void draw(FuzzedDataProvider& in, PointImage& image) {
  const int count = in.ConsumeIntegralInRange(0, 64);
  for (int i = 0; i < count && in.remaining_bytes() > 0; ++i) {
    const int x = in.ConsumeIntegralInRange(-2, 300), y = in.ConsumeIntegralInRange(-2, 300);
    const bool tally = in.ConsumeBool();
    const bool set = tally ? set_tally_point(image, x, y) : set_quill_point(image, x, y);
    if (tally) {
      if (set) FUZZ_CHECK(ink_at(image, static_cast<std::size_t>(x + 128 * (y - 1))));
    } else {
      FUZZ_CHECK(set == (x >= 0 && x < 128 && y >= 1 && y < 64));
      if (set) FUZZ_CHECK(ink_at(image, static_cast<std::size_t>(128 * y + x - 128)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::array<std::uint8_t, kQuillKeptBytes> kept{};
  for (auto& b : kept) b = in.ConsumeIntegral<std::uint8_t>();
  pink::crypto::des::Block key{};
  for (auto& b : key) b = in.ConsumeIntegral<std::uint8_t>();
  PointImage image{};
  if (in.ConsumeBool()) {
    draw(in, image);
  } else {
    const std::vector<std::uint8_t> raw = in.ConsumeBytes<std::uint8_t>(kImageBytes);
    std::copy(raw.begin(), raw.end(), image.begin());
  }

  const QuillRecord r = quill_record(kept, image, key);
  FUZZ_CHECK(r.digest_text.size() == 32 && upper_hex(r.digest_text));
  FUZZ_CHECK(r.one_time_key.size() == 16 && upper_hex(r.one_time_key));
  FUZZ_CHECK(r.stored_halves <= 512);
  const std::size_t compressed = 64 + (2 * r.stored_halves + 7) / 8 * 8;
  FUZZ_CHECK(r.bytes.size() == compressed + 57);
  const auto text = [&](std::size_t from, std::size_t n) {
    return std::string_view(reinterpret_cast<const char*>(r.bytes.data()) + from, n);
  };
  FUZZ_CHECK(text(0, 24) == std::string_view(r.digest_text).substr(0, 24));
  FUZZ_CHECK(upper_hex(text(24, 16)) && r.bytes[40] == 'Q');
  std::size_t present = 0;
  for (std::size_t i = 41; i < 41 + 64; ++i) present += static_cast<std::size_t>(std::popcount(r.bytes[i]));
  FUZZ_CHECK(present == r.stored_halves);

  // The digest text is MD5 over the kept bytes and the column image.
  pink::crypto::Md5 md5;
  md5.update(kept);
  md5.update(column_image(image));
  FUZZ_CHECK(hex_upper(md5.digest()) == r.digest_text);
  // An empty image stores nothing.
  if (std::all_of(image.begin(), image.end(), [](std::uint8_t b) { return b == 0; })) FUZZ_CHECK(r.stored_halves == 0);
  return 0;
}
