// Signature capture: point images, the bitmap file, stylpad's signature
// data chain and string, and quillpad's signature record checked field by
// field (the record's ciphers and digest against OpenSSL).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>
#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "signpad/capture.h"

namespace pink::signpad {
namespace {

using crypto::des::Block;

const Block kKey = *key_from_hex("0123456789ABCDEF");

Block openssl_des(bool encrypt, const std::uint8_t* data, const Block& key) {
  DES_cblock k, in, out;
  std::memcpy(k, key.data(), 8);
  std::memcpy(in, data, 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&k, &schedule);
  DES_ecb_encrypt(&in, &out, &schedule, encrypt ? DES_ENCRYPT : DES_DECRYPT);
  Block b{};
  std::memcpy(b.data(), out, 8);
  return b;
}

std::uint32_t le32(const BitmapFile& f, std::size_t at) {
  return std::uint32_t{f[at]} | std::uint32_t{f[at + 1]} << 8 | std::uint32_t{f[at + 2]} << 16 |
         std::uint32_t{f[at + 3]} << 24;
}

// A signature-like image: a few strokes.
PointImage strokes() {
  PointImage image{};
  for (int x = 10; x < 110; ++x) set_quill_point(image, x, 20 + (x % 30));
  for (int y = 5; y < 60; ++y) set_quill_point(image, 64, y);
  return image;
}

TEST(SignatureBitmap, HeaderAndRowsBottomUpInverted) {
  PointImage image{};
  const BitmapFile empty = bitmap_file(image);
  EXPECT_EQ(empty[0], 'B');
  EXPECT_EQ(empty[1], 'M');
  EXPECT_EQ(le32(empty, 2), 1086u);
  EXPECT_EQ(le32(empty, 10), 62u);
  EXPECT_EQ(le32(empty, 14), 40u);
  EXPECT_EQ(le32(empty, 18), 128u);
  EXPECT_EQ(le32(empty, 22), 64u);
  EXPECT_EQ(empty[26], 1);
  EXPECT_EQ(empty[28], 1);
  EXPECT_EQ(le32(empty, 34), 1024u);
  EXPECT_EQ(le32(empty, 38), 3780u);
  EXPECT_EQ(le32(empty, 42), 3780u);
  EXPECT_EQ(le32(empty, 54), 0u);           // black
  EXPECT_EQ(le32(empty, 58), 0x00FFFFFFu);  // white
  for (std::size_t i = 62; i < 1086; ++i) ASSERT_EQ(empty[i], 0xFF) << i;

  // A tallypad point (8, 1): the top bit of image byte 1; image row 0 is the
  // last row stored, so file byte 62 + 1008 + 1 loses its top bit.
  EXPECT_TRUE(set_tally_point(image, 8, 1));
  EXPECT_EQ(image[1], 0x80);
  const BitmapFile one = bitmap_file(image);
  EXPECT_EQ(one[62 + 1008 + 1], 0x7F);
  EXPECT_EQ(from_bitmap_file(one), image);
  EXPECT_FALSE(from_bitmap_file(std::span(one).first(1085)));
}

TEST(PointImages, TallyAndQuillPointRules) {
  PointImage tally{};
  EXPECT_FALSE(set_tally_point(tally, 0, 5));
  EXPECT_FALSE(set_tally_point(tally, 5, 0));
  EXPECT_TRUE(set_tally_point(tally, 127, 64));  // the last pixel
  EXPECT_EQ(tally[1023], 0x01);
  // A point whose pixel lies past the image draws nothing and writes nothing.
  EXPECT_FALSE(set_tally_point(tally, 0xFF, 0xFF));
  EXPECT_FALSE(set_tally_point(tally, 1, 65));

  PointImage quill{};
  EXPECT_TRUE(set_quill_point(quill, 127, 10));
  EXPECT_EQ(quill[16 * 9 + 15], 0x01);      // bit 0
  EXPECT_EQ(quill[16 * 9 + 16], 0x80);      // and the top bit of the next byte
  EXPECT_TRUE(set_quill_point(quill, 127, 63));
  EXPECT_EQ(quill[1007], 0x01);
  EXPECT_EQ(quill[1008], 0x80);
  for (auto [x, y] : {std::pair{128, 5}, {5, 64}, {5, 0}, {-1, 5}}) {
    PointImage untouched{};
    EXPECT_FALSE(set_quill_point(untouched, x, y));
    EXPECT_EQ(untouched, PointImage{});
  }
}

// A B2 answer frame around the given data.
std::vector<std::uint8_t> b2_frame(const std::vector<std::uint8_t>& data, std::size_t announced) {
  std::vector<std::uint8_t> f(22, 0x30);
  f[0] = 0x02;
  f[20] = static_cast<std::uint8_t>(announced >> 8);
  f[21] = static_cast<std::uint8_t>(announced);
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(0x03);
  f.push_back(0x00);
  return f;
}

// Plain text of the chain, encrypted and escaped as the pad sends it.
std::vector<std::uint8_t> seal(std::vector<std::uint8_t> plain) {
  plain.resize((plain.size() + 7) / 8 * 8, 0);
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < plain.size(); i += 8) {
    const Block c = openssl_des(true, &plain[i], kKey);
    for (std::uint8_t b : c) {
      if (b < 0x20 || b == '#') {
        out.push_back('#');
        out.push_back(static_cast<std::uint8_t>(b ^ 0x40));
      } else {
        out.push_back(b);
      }
    }
  }
  return out;
}

TEST(StylSignature, EncodedSignatureDecodesToTheSameImage) {
  const PageImage pages = to_pages(strokes());
  EXPECT_EQ(from_pages(pages), strokes());
  const auto data = encode_styl_signature(pages, kKey);
  const StylDecoded d = decode_styl_signature(b2_frame(data, data.size()), kKey);
  ASSERT_EQ(d.error, StylDecodeError::None);
  EXPECT_EQ(d.pages, pages);

  // Every page byte set: no zero runs at all.
  PageImage full;
  full.fill(0xA5);
  const auto full_data = encode_styl_signature(full, kKey);
  EXPECT_EQ(decode_styl_signature(b2_frame(full_data, full_data.size()), kKey).pages, full);
}

// The plain text of a chain: the BCD length of the run-decoded bytes, then
// the run-coded data.
std::vector<std::uint8_t> plain_chain(std::size_t n, std::vector<std::uint8_t> runs) {
  std::vector<std::uint8_t> plain = {static_cast<std::uint8_t>((n / 1000 % 10) << 4 | (n / 100 % 10)),
                                     static_cast<std::uint8_t>((n / 10 % 10) << 4 | (n % 10))};
  plain.insert(plain.end(), runs.begin(), runs.end());
  return plain;
}

TEST(StylSignature, HandWrittenChainWithEveryCoding) {
  // Zero-run data: 11 11 11 AA, then four runs of 255 zeros (00 FF): 1024
  // bytes. Run-coded as: 3 x 11, a skipped 00, then 9 literal bytes (F7).
  const std::vector<std::uint8_t> runs = {0x03, 0x11, 0x00, 0xF7, 0xAA, 0x00, 0xFF, 0x00,
                                          0xFF, 0x00, 0xFF, 0x00, 0xFF};
  const auto data = seal(plain_chain(12, runs));
  const StylDecoded d = decode_styl_signature(b2_frame(data, data.size()), kKey);
  ASSERT_EQ(d.error, StylDecodeError::None);
  PageImage expected{};
  expected[0] = expected[1] = expected[2] = 0x11;
  expected[3] = 0xAA;
  EXPECT_EQ(d.pages, expected);

  // One zero fewer in the last run: 1023 bytes; one byte more: 1025.
  auto shorter = runs;
  shorter.back() = 0xFE;
  const auto short_data = seal(plain_chain(12, shorter));
  EXPECT_EQ(decode_styl_signature(b2_frame(short_data, short_data.size()), kKey).error,
            StylDecodeError::ImageTooShort);
  auto longer = runs;
  longer[3] = 0xF6;  // ten literal bytes
  longer.push_back(0x01);
  const auto long_data = seal(plain_chain(13, longer));
  EXPECT_EQ(decode_styl_signature(b2_frame(long_data, long_data.size()), kKey).error,
            StylDecodeError::ImageTooLong);
}

// A chain whose zero-run data give `image_bytes` bytes (all 0x01), run-coded
// as literals, with the BCD length given.
std::vector<std::uint8_t> chain(std::size_t image_bytes, int bcd_length = -1) {
  std::vector<std::uint8_t> runs;
  std::size_t left = image_bytes;
  while (left > 0) {
    const std::size_t piece = std::min<std::size_t>(127, left);
    runs.push_back(static_cast<std::uint8_t>(piece));
    runs.push_back(0x01);
    left -= piece;
  }
  // Run decoding yields image_bytes bytes of 0x01, which zero-run decoding
  // copies one for one.
  const std::size_t n = bcd_length < 0 ? image_bytes : static_cast<std::size_t>(bcd_length);
  std::vector<std::uint8_t> plain = {static_cast<std::uint8_t>((n / 1000 % 10) << 4 | (n / 100 % 10)),
                                     static_cast<std::uint8_t>((n / 10 % 10) << 4 | (n % 10))};
  plain.insert(plain.end(), runs.begin(), runs.end());
  return seal(plain);
}

TEST(StylSignature, FailuresOfTheChain) {
  const auto ok = chain(1024);
  EXPECT_EQ(decode_styl_signature(b2_frame(ok, ok.size()), kKey).error, StylDecodeError::None);
  // An image one byte short or long is refused whole: none of its bytes is
  // handed on.
  const PageImage empty{};
  const auto short_image = chain(1023);
  const StylDecoded too_short = decode_styl_signature(b2_frame(short_image, short_image.size()), kKey);
  EXPECT_EQ(too_short.error, StylDecodeError::ImageTooShort);
  EXPECT_EQ(too_short.pages, empty);
  const auto long_image = chain(1025);
  const StylDecoded too_long = decode_styl_signature(b2_frame(long_image, long_image.size()), kKey);
  EXPECT_EQ(too_long.error, StylDecodeError::ImageTooLong);
  EXPECT_EQ(too_long.pages, empty);
  const auto bcd_1537 = chain(1024, 1537);
  EXPECT_EQ(decode_styl_signature(b2_frame(bcd_1537, bcd_1537.size()), kKey).error, StylDecodeError::BadLength);
  // A BCD length beyond the run data: the run data end first.
  const auto bcd_1500 = chain(1024, 1500);
  EXPECT_EQ(decode_styl_signature(b2_frame(bcd_1500, bcd_1500.size()), kKey).error,
            StylDecodeError::RunDataShort);
  // A data length larger than the frame fails without reading past it.
  EXPECT_EQ(decode_styl_signature(b2_frame(ok, ok.size() + 3), kKey).error, StylDecodeError::DataOutsideFrame);
  EXPECT_EQ(decode_styl_signature(std::vector<std::uint8_t>(21, 0), kKey).error,
            StylDecodeError::DataOutsideFrame);
  // The wrong key gives a length that is no BCD number or a broken image.
  const Block other = *key_from_hex("FEDCBA9876543210");
  EXPECT_NE(decode_styl_signature(b2_frame(ok, ok.size()), other).error, StylDecodeError::None);
}

TEST(StylSignature, SignatureStringRunCodesThePixels) {
  std::array<std::uint8_t, kImageBytes> pixels;
  pixels.fill(0xFF);
  // 1024 equal bytes: four pieces of 255 and a run of 4.
  EXPECT_EQ(styl2_string(pixels), "STYL2" "55FFFF" "55FFFF" "55FFFF" "55FFFF" "5504FF");
  // Runs of 3 or fewer are copied; a literal 'U' is followed by 00; a long
  // run of 'U' is coded like any other run.
  pixels[0] = 0x55;
  pixels[1] = 0x01;
  pixels[2] = 0x01;
  pixels[3] = 0x01;
  for (int i = 4; i < 9; ++i) pixels[static_cast<std::size_t>(i)] = 0x55;
  // The remaining 1015 bytes of FF: three pieces of 255 and a run of 250.
  EXPECT_EQ(styl2_string(pixels),
            "STYL2" "5500" "010101" "550555" "55FFFF" "55FFFF" "55FFFF" "55FAFF");
  // A remainder of 3 or fewer after the pieces of 255 is copied.
  pixels.fill(0x00);
  pixels[1021] = pixels[1022] = pixels[1023] = 0x07;
  // 1021 zeros: four pieces of 255 and one zero left.
  EXPECT_EQ(styl2_string(pixels), "STYL2" "55FF00" "55FF00" "55FF00" "55FF00" "00" "070707");
}

TEST(QuillRecordTest, TerminalGeneratorMatchesTheWindowsRunTime) {
  TerminalRand r(1);
  EXPECT_EQ(r.next(), 41);
  EXPECT_EQ(r.next(), 18467);
  EXPECT_EQ(r.next(), 6334);
  EXPECT_EQ(r.next(), 26500);
}

TEST(QuillRecordTest, FieldByField) {
  const Block initial = *key_from_hex("5C18E07B92D4A3F6");
  std::array<std::uint8_t, kQuillKeptBytes> kept{};
  std::memcpy(kept.data(), "9410123412341234", 16);
  std::memcpy(kept.data() + 20, "TRANSACTION 0001", 16);
  const PointImage image = strokes();
  const QuillRecord r = quill_record(kept, image, initial);

  // The digest over the kept bytes and the column image, against OpenSSL.
  const auto columns = column_image(image);
  std::vector<std::uint8_t> digested(kept.begin(), kept.end());
  digested.insert(digested.end(), columns.begin(), columns.end());
  ASSERT_EQ(digested.size(), 1105u);
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int md_len = 0;
  ASSERT_EQ(EVP_Digest(digested.data(), digested.size(), md, &md_len, EVP_md5(), nullptr), 1);
  EXPECT_EQ(r.digest_text, hex_upper({md, md_len}));
  EXPECT_EQ(std::string(r.bytes.begin(), r.bytes.begin() + 24), r.digest_text.substr(0, 24));

  // Field 2 decrypts under the initial key to the one-time key.
  const auto field2 = key_from_hex(std::string(r.bytes.begin() + 24, r.bytes.begin() + 40));
  ASSERT_TRUE(field2);
  const Block one_time = openssl_des(false, field2->data(), initial);
  EXPECT_EQ(hex_upper(one_time), r.one_time_key);
  EXPECT_EQ(r.bytes[40], 'Q');

  // The digest halves decrypt back to the digest.
  EXPECT_EQ(hex_upper(openssl_des(false, &r.bytes[105], one_time)), r.digest_text.substr(0, 16));
  EXPECT_EQ(hex_upper(openssl_des(false, &r.bytes[113], one_time)), r.digest_text.substr(16, 16));

  // The stored halves decrypt and, placed by the presence map, give the
  // column image back.
  const std::size_t stored = r.bytes.size() - 121;
  ASSERT_EQ(stored % 8, 0u);
  EXPECT_EQ(r.bytes.size(), 64 + (2 * r.stored_halves + 7) / 8 * 8 + 57);
  std::vector<std::uint8_t> halves(stored);
  for (std::size_t i = 0; i < stored; i += 8) {
    const Block p = openssl_des(false, &r.bytes[121 + i], one_time);
    std::copy(p.begin(), p.end(), halves.begin() + static_cast<std::ptrdiff_t>(i));
  }
  std::array<std::uint8_t, kImageBytes> rebuilt{};
  std::size_t next = 0;
  for (std::size_t bit = 0; bit < 512; ++bit) {
    if (!(r.bytes[41 + bit / 8] & (0x80 >> (bit % 8)))) continue;
    const std::uint8_t h0 = halves[next], h1 = halves[next + 1];
    next += 2;
    std::uint8_t* b = &rebuilt[4 * (bit / 2)];
    if (bit % 2 == 0) {  // high nibbles
      b[0] |= h0 & 0xF0; b[1] |= static_cast<std::uint8_t>(h0 << 4);
      b[2] |= h1 & 0xF0; b[3] |= static_cast<std::uint8_t>(h1 << 4);
    } else {
      b[0] |= h0 >> 4; b[1] |= h0 & 0x0F;
      b[2] |= h1 >> 4; b[3] |= h1 & 0x0F;
    }
  }
  EXPECT_EQ(next, 2 * r.stored_halves);
  EXPECT_EQ(rebuilt, columns);
  for (std::size_t i = 2 * r.stored_halves; i < halves.size(); ++i) EXPECT_EQ(halves[i], 0) << i;

  // The column image reverses the bit order of the point image's bytes.
  PointImage single{};
  single[16 * 3 + 2] = 0x80;
  EXPECT_EQ(column_image(single)[64 * 2 + 3], 0x01);
}

TEST(QuillRecordTest, AnEmptyImageStoresNoHalves) {
  std::array<std::uint8_t, kQuillKeptBytes> kept{};
  const QuillRecord r = quill_record(kept, PointImage{}, *key_from_hex("5C18E07B92D4A3F6"));
  EXPECT_EQ(r.stored_halves, 0u);
  EXPECT_EQ(r.bytes.size(), 64u + 57u);
  for (std::size_t i = 41; i < 105; ++i) EXPECT_EQ(r.bytes[i], 0) << i;
}

}  // namespace
}  // namespace pink::signpad
