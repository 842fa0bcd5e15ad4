// stylpad's signature data chain: any frame decodes without reading past it
// (and a refused one leaves the page image empty); any page image, encoded
// under any key as the pad does it and framed, decodes to itself; the page
// and point images and the bitmap file turn into each other without loss.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fuzz/check.h"
#include "signpad/capture.h"
#include "signpad/stylpad_protocol.h"

using namespace pink::signpad;

namespace {

pink::crypto::des::Block key_of(FuzzedDataProvider& in) {
  pink::crypto::des::Block key{};
  for (auto& b : key) b = in.ConsumeIntegral<std::uint8_t>();
  return key;
}

// A B2 frame around encoded data: STX, length, command, 16 bytes, the data
// length at bytes 20 and 21, the data, ETX, LRC.
std::vector<std::uint8_t> frame_of(const std::vector<std::uint8_t>& encoded) {
  std::vector<std::uint8_t> f(22, 0x30);
  f[0] = kStx;
  f[3] = styl::kAnsSignature;
  f[20] = static_cast<std::uint8_t>(encoded.size() >> 8);
  f[21] = static_cast<std::uint8_t>(encoded.size());
  f.insert(f.end(), encoded.begin(), encoded.end());
  f.push_back(kEtx);
  const std::size_t length = f.size() - 3;  // command through ETX
  f[1] = static_cast<std::uint8_t>(length >> 8);
  f[2] = static_cast<std::uint8_t>(length);
  f.push_back(lrc(f));
  return f;
}

void check_round_trip(FuzzedDataProvider& in) {
  const auto key = key_of(in);
  PageImage pages{};
  // Sparse and dense images alike: runs of zeros and of repeated bytes.
  for (std::size_t i = 0; i < pages.size() && in.remaining_bytes() > 0;) {
    const std::size_t run = in.ConsumeIntegralInRange<std::size_t>(1, 300);
    const std::uint8_t b = in.ConsumeIntegral<std::uint8_t>();
    const bool vary = in.ConsumeBool();
    for (std::size_t k = 0; k < run && i < pages.size(); ++k, ++i) pages[i] = vary ? static_cast<std::uint8_t>(b + k) : b;
  }
  const std::vector<std::uint8_t> encoded = encode_styl_signature(pages, key);
  // Escaped: no control byte travels bare.
  FUZZ_CHECK(std::none_of(encoded.begin(), encoded.end(), [](std::uint8_t b) { return b < 0x20; }));
  const StylDecoded decoded = decode_styl_signature(frame_of(encoded), key);
  FUZZ_CHECK(decoded.error == StylDecodeError::None);
  FUZZ_CHECK(decoded.pages == pages);

  const PointImage points = from_pages(pages);
  FUZZ_CHECK(to_pages(points) == pages);
  const BitmapFile file = bitmap_file(points);
  const std::optional<PointImage> back = from_bitmap_file(file);
  FUZZ_CHECK(back.has_value() && *back == points);
  const std::string styl2 = styl2_string(std::span<const std::uint8_t, kImageBytes>(file.data() + kBitmapHeaderBytes, kImageBytes));
  FUZZ_CHECK(styl2.rfind("STYL2", 0) == 0);
  FUZZ_CHECK(styl2.find_first_not_of("0123456789ABCDEF", 5) == std::string::npos && styl2.size() % 2 == 1);
}

void check_any_frame(FuzzedDataProvider& in) {
  const auto key = key_of(in);
  const std::vector<std::uint8_t> frame = in.ConsumeRemainingBytes<std::uint8_t>();
  const StylDecoded decoded = decode_styl_signature(frame, key);
  if (decoded.error != StylDecodeError::None) {
    FUZZ_CHECK(std::all_of(decoded.pages.begin(), decoded.pages.end(), [](std::uint8_t b) { return b == 0; }));
  }
  // The control's own chain: any B2 frame gives a bitmap or a clear no.
  const styl::SignatureBitmap bmp = styl::signature_bitmap(frame);
  if (bmp.ok) FUZZ_CHECK(from_bitmap_file(bmp.file).has_value());
  // Any file of the size either reads as a point image or is refused.
  if (frame.size() == kBitmapFileBytes) {
    if (const auto image = from_bitmap_file(frame)) FUZZ_CHECK(from_bitmap_file(bitmap_file(*image)) == image);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    check_round_trip(in);
  } else {
    check_any_frame(in);
  }
  return 0;
}
