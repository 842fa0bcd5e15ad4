#include "signpad/capture.h"

#include <algorithm>
#include <cstring>

#include "crypto/md5.h"

namespace pink::signpad {
namespace {

using crypto::des::Block;
constexpr std::size_t kRowBytes = kPadWidth / 8;
constexpr std::size_t kMaxRunCoded = 1536;

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The 62 bytes before the pixel rows: file header, information header and
// the two palette entries (black, white).
std::array<std::uint8_t, kBitmapHeaderBytes> bitmap_header() {
  std::array<std::uint8_t, kBitmapHeaderBytes> h{};
  h[0] = 'B';
  h[1] = 'M';
  put32(&h[2], kBitmapFileBytes);
  put32(&h[10], kBitmapHeaderBytes);
  put32(&h[14], 40);
  put32(&h[18], kPadWidth);
  put32(&h[22], kPadHeight);
  put16(&h[26], 1);
  put16(&h[28], 1);
  put32(&h[34], kImageBytes);
  put32(&h[38], 3780);
  put32(&h[42], 3780);
  h[58] = h[59] = h[60] = 0xFF;  // palette entry 1: white
  return h;
}

bool set_bit(PointImage& image, std::size_t bit) {
  if (bit / 8 >= image.size()) return false;
  image[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
  return true;
}

std::uint8_t reverse_bits(std::uint8_t b) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<std::uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}

void crypt_blocks(std::uint8_t* data, std::size_t size, int direction, const Block& key) {
  const crypto::des::Schedule schedule(key);
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    Block b;
    std::memcpy(b.data(), data + i, 8);
    b = direction == crypto::des::kEncrypt ? schedule.encrypt(b) : schedule.decrypt(b);
    std::memcpy(data + i, b.data(), 8);
  }
}

// Run decoding: 1..127 repeats the next byte; 0x80..0xFF copies 256 - m bytes
// literally; 0 is skipped. Stops once `n` bytes are out.
std::optional<std::vector<std::uint8_t>> run_decode(std::span<const std::uint8_t> in, std::size_t n) {
  std::vector<std::uint8_t> out;
  out.reserve(n);
  std::size_t i = 0;
  while (out.size() < n) {
    if (i >= in.size()) return std::nullopt;
    const std::uint8_t m = in[i++];
    if (m == 0) continue;
    if (m < 0x80) {
      if (i >= in.size()) return std::nullopt;
      out.insert(out.end(), m, in[i++]);
    } else {
      const std::size_t count = 256u - m;
      if (in.size() - i < count) return std::nullopt;
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(i),
                 in.begin() + static_cast<std::ptrdiff_t>(i + count));
      i += count;
    }
  }
  out.resize(n);
  return out;
}

StylDecodeError zero_run_decode(std::span<const std::uint8_t> in, PageImage& pages) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != 0) {
      if (at >= pages.size()) return StylDecodeError::ImageTooLong;
      pages[at++] = in[i];
      continue;
    }
    if (i + 1 >= in.size()) return StylDecodeError::ImageTooShort;  // a zero without its count
    const std::size_t k = in[++i];
    if (pages.size() - at < k) return StylDecodeError::ImageTooLong;
    std::fill_n(pages.begin() + static_cast<std::ptrdiff_t>(at), k, 0);
    at += k;
  }
  return at == pages.size() ? StylDecodeError::None : StylDecodeError::ImageTooShort;
}

int bcd_digit(std::uint8_t nibble) { return nibble <= 9 ? nibble : -1; }

std::optional<std::size_t> bcd4(std::uint8_t hi, std::uint8_t lo) {
  const int d[4] = {bcd_digit(hi >> 4), bcd_digit(hi & 0x0F), bcd_digit(lo >> 4), bcd_digit(lo & 0x0F)};
  std::size_t n = 0;
  for (int v : d) {
    if (v < 0) return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(v);
  }
  return n;
}

}  // namespace

bool set_tally_point(PointImage& image, int x, int y) {
  if (x <= 0 || y <= 0) return false;
  // Bit 7 - x mod 8 of byte (x + 128 (y - 1)) / 8: as 128 (y - 1) is a whole
  // number of bytes, that is pixel x + 128 (y - 1) counted from the top bit.
  return set_bit(image, static_cast<std::size_t>(x) + 128u * static_cast<std::size_t>(y - 1));
}

bool set_quill_point(PointImage& image, int x, int y) {
  if (x < 0 || x >= kPadWidth || y < 1 || y >= kPadHeight) return false;
  const std::size_t b = static_cast<std::size_t>(128 * y + x - 128);
  set_bit(image, b);
  set_bit(image, b + 1);
  return true;
}

BitmapFile bitmap_file(const PointImage& image) {
  BitmapFile f{};
  const auto header = bitmap_header();
  std::copy(header.begin(), header.end(), f.begin());
  for (std::size_t r = 0; r < kPadHeight; ++r) {
    const std::size_t from = (kPadHeight - 1 - r) * kRowBytes;
    for (std::size_t i = 0; i < kRowBytes; ++i) {
      f[kBitmapHeaderBytes + r * kRowBytes + i] = static_cast<std::uint8_t>(~image[from + i]);
    }
  }
  return f;
}

std::optional<PointImage> from_bitmap_file(std::span<const std::uint8_t> file) {
  const auto header = bitmap_header();
  if (file.size() != kBitmapFileBytes || !std::equal(header.begin(), header.end(), file.begin())) {
    return std::nullopt;
  }
  PointImage image{};
  for (std::size_t r = 0; r < kPadHeight; ++r) {
    const std::size_t to = (kPadHeight - 1 - r) * kRowBytes;
    for (std::size_t i = 0; i < kRowBytes; ++i) {
      image[to + i] = static_cast<std::uint8_t>(~file[kBitmapHeaderBytes + r * kRowBytes + i]);
    }
  }
  return image;
}

PointImage from_pages(const PageImage& pages) {
  PointImage image{};
  for (int y = 0; y < kPadHeight; ++y) {
    for (int x = 0; x < kPadWidth; ++x) {
      if ((pages[static_cast<std::size_t>((y / 8) * kPadWidth + x)] >> (y % 8)) & 1) {
        set_bit(image, static_cast<std::size_t>(y * kPadWidth + x));
      }
    }
  }
  return image;
}

PageImage to_pages(const PointImage& image) {
  PageImage pages{};
  for (int y = 0; y < kPadHeight; ++y) {
    for (int x = 0; x < kPadWidth; ++x) {
      const std::size_t bit = static_cast<std::size_t>(y * kPadWidth + x);
      if (image[bit / 8] & (0x80u >> (bit % 8))) {
        pages[static_cast<std::size_t>((y / 8) * kPadWidth + x)] |= static_cast<std::uint8_t>(1u << (y % 8));
      }
    }
  }
  return pages;
}

StylDecoded decode_styl_signature(std::span<const std::uint8_t> frame, const Block& key) {
  StylDecoded result;
  constexpr std::size_t kDataAt = 22;
  if (frame.size() < kDataAt) {
    result.error = StylDecodeError::DataOutsideFrame;
    return result;
  }
  const std::size_t length = std::size_t{frame[20]} << 8 | frame[21];
  if (length > frame.size() - kDataAt) {
    result.error = StylDecodeError::DataOutsideFrame;
    return result;
  }
  std::vector<std::uint8_t> data;
  data.reserve(length);
  for (std::size_t i = kDataAt; i < kDataAt + length; ++i) {
    if (frame[i] == '#') {
      if (++i < kDataAt + length) data.push_back(static_cast<std::uint8_t>(frame[i] ^ 0x40));
    } else {
      data.push_back(frame[i]);
    }
  }
  crypt_blocks(data.data(), data.size(), crypto::des::kDecrypt, key);
  const auto n = data.size() >= 2 ? bcd4(data[0], data[1]) : std::nullopt;
  if (!n || *n > kMaxRunCoded) {
    result.error = StylDecodeError::BadLength;
    return result;
  }
  const auto runs = run_decode(std::span(data).subspan(2), *n);
  if (!runs) {
    result.error = StylDecodeError::RunDataShort;
    return result;
  }
  result.error = zero_run_decode(*runs, result.pages);
  // A refused image is no image: nothing of what was decoded before the
  // data turned out too long or too short is handed on.
  if (result.error != StylDecodeError::None) result.pages.fill(0);
  return result;
}

namespace {

std::vector<std::uint8_t> zero_run_encode(const PageImage& pages) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < pages.size();) {
    if (pages[i] != 0) {
      out.push_back(pages[i++]);
      continue;
    }
    std::size_t k = 0;
    while (i < pages.size() && pages[i] == 0 && k < 255) ++i, ++k;
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(k));
  }
  return out;
}

// Runs of 3 or more equal bytes as (count, byte); everything else in
// literal pieces of at most 128 bytes.
std::vector<std::uint8_t> run_encode(std::span<const std::uint8_t> in) {
  std::vector<std::uint8_t> out;
  std::size_t literal_from = 0;
  auto flush_literal = [&](std::size_t to) {
    while (literal_from < to) {
      const std::size_t count = std::min<std::size_t>(128, to - literal_from);
      out.push_back(static_cast<std::uint8_t>(256 - count));
      out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(literal_from),
                 in.begin() + static_cast<std::ptrdiff_t>(literal_from + count));
      literal_from += count;
    }
  };
  for (std::size_t i = 0; i < in.size();) {
    std::size_t run = 1;
    while (i + run < in.size() && in[i + run] == in[i] && run < 127) ++run;
    if (run >= 3) {
      flush_literal(i);
      out.push_back(static_cast<std::uint8_t>(run));
      out.push_back(in[i]);
      i += run;
      literal_from = i;
    } else {
      i += run;
    }
  }
  flush_literal(in.size());
  return out;
}

std::array<std::uint8_t, 2> bcd4_of(std::size_t n) {
  return {static_cast<std::uint8_t>((n / 1000 % 10) << 4 | (n / 100 % 10)),
          static_cast<std::uint8_t>((n / 10 % 10) << 4 | (n % 10))};
}

}  // namespace

std::vector<std::uint8_t> encode_styl_signature(const PageImage& pages, const Block& key) {
  const std::vector<std::uint8_t> zero_coded = zero_run_encode(pages);
  const std::vector<std::uint8_t> runs = run_encode(zero_coded);
  std::vector<std::uint8_t> plain;
  const auto length = bcd4_of(zero_coded.size());
  plain.insert(plain.end(), length.begin(), length.end());
  plain.insert(plain.end(), runs.begin(), runs.end());
  plain.resize((plain.size() + 7) / 8 * 8, 0);
  crypt_blocks(plain.data(), plain.size(), crypto::des::kEncrypt, key);
  std::vector<std::uint8_t> escaped;
  for (const std::uint8_t b : plain) {
    if (b < 0x20 || b == '#') {
      escaped.push_back('#');
      escaped.push_back(static_cast<std::uint8_t>(b ^ 0x40));
    } else {
      escaped.push_back(b);
    }
  }
  return escaped;
}

std::string styl2_string(std::span<const std::uint8_t, kImageBytes> pixels) {
  constexpr std::uint8_t kMark = 'U';
  std::vector<std::uint8_t> coded;
  auto literal = [&](std::uint8_t b) {
    coded.push_back(b);
    if (b == kMark) coded.push_back(0x00);
  };
  for (std::size_t i = 0; i < pixels.size();) {
    std::size_t run = 1;
    while (i + run < pixels.size() && pixels[i + run] == pixels[i]) ++run;
    const std::uint8_t b = pixels[i];
    i += run;
    if (run <= 3) {
      for (std::size_t k = 0; k < run; ++k) literal(b);
      continue;
    }
    for (; run > 255; run -= 255) coded.insert(coded.end(), {kMark, 255, b});
    if (run > 3) {
      coded.insert(coded.end(), {kMark, static_cast<std::uint8_t>(run), b});
    } else {
      for (std::size_t k = 0; k < run; ++k) literal(b);
    }
  }
  return "STYL2" + hex_upper(coded);
}

std::array<std::uint8_t, kImageBytes> column_image(const PointImage& image) {
  std::array<std::uint8_t, kImageBytes> columns{};
  for (std::size_t k = 0; k < kRowBytes; ++k) {
    for (std::size_t r = 0; r < kPadHeight; ++r) columns[64 * k + r] = reverse_bits(image[kRowBytes * r + k]);
  }
  return columns;
}

namespace {

// The presence map (64 bytes, a bit per half, the high half of a group
// first) followed by the non-empty halves, zero-padded to whole blocks.
std::vector<std::uint8_t> compress_columns(std::span<const std::uint8_t, kImageBytes> c, std::size_t& halves) {
  std::vector<std::uint8_t> out(64, 0);
  halves = 0;
  for (std::size_t g = 0; g < 256; ++g) {
    const std::uint8_t* b = &c[4 * g];
    const std::uint8_t high[2] = {static_cast<std::uint8_t>((b[0] & 0xF0) | (b[1] >> 4)),
                                  static_cast<std::uint8_t>((b[2] & 0xF0) | (b[3] >> 4))};
    const std::uint8_t low[2] = {static_cast<std::uint8_t>((b[0] & 0x0F) << 4 | (b[1] & 0x0F)),
                                 static_cast<std::uint8_t>((b[2] & 0x0F) << 4 | (b[3] & 0x0F))};
    const std::uint8_t* half[2] = {high, low};
    for (std::size_t h = 0; h < 2; ++h) {
      if (half[h][0] == 0 && half[h][1] == 0) continue;
      const std::size_t bit = 2 * g + h;
      out[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
      out.insert(out.end(), half[h], half[h] + 2);
      ++halves;
    }
  }
  out.resize((out.size() + 7) / 8 * 8, 0);
  return out;
}

}  // namespace

QuillRecord quill_record(std::span<const std::uint8_t, kQuillKeptBytes> kept, const PointImage& image,
                         const Block& initial_key) {
  QuillRecord r;
  const auto columns = column_image(image);
  crypto::Md5 md5;
  md5.update(kept);
  md5.update(columns);
  crypto::Md5Digest digest = md5.digest();
  r.digest_text = hex_upper(digest);

  std::vector<std::uint8_t> compressed = compress_columns(columns, r.stored_halves);

  std::uint32_t seed = 0;
  for (std::size_t i = 0; i < r.digest_text.size(); ++i) {
    if (i != 28 && i != 29) seed += static_cast<unsigned char>(r.digest_text[i]);
  }
  TerminalRand rand(seed);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 16; ++i) r.one_time_key += kHex[rand.next() % 16];
  const Block one_time = *key_from_hex(r.one_time_key);
  const Block key_field = crypto::des::crypt(crypto::des::kEncrypt, one_time, initial_key);

  crypt_blocks(compressed.data() + 64, compressed.size() - 64, crypto::des::kEncrypt, one_time);
  crypt_blocks(digest.data(), digest.size(), crypto::des::kEncrypt, one_time);

  r.bytes.reserve(compressed.size() + 57);
  r.bytes.insert(r.bytes.end(), r.digest_text.begin(), r.digest_text.begin() + 24);
  const std::string key_hex = hex_upper(key_field);
  r.bytes.insert(r.bytes.end(), key_hex.begin(), key_hex.end());
  r.bytes.push_back('Q');
  r.bytes.insert(r.bytes.end(), compressed.begin(), compressed.begin() + 64);
  r.bytes.insert(r.bytes.end(), digest.begin(), digest.end());
  r.bytes.insert(r.bytes.end(), compressed.begin() + 64, compressed.end());
  return r;
}

std::optional<Block> key_from_hex(std::string_view hex16) {
  if (hex16.size() != 16) return std::nullopt;
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  Block b{};
  for (std::size_t i = 0; i < 8; ++i) {
    const int hi = value(hex16[2 * i]), lo = value(hex16[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    b[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return b;
}

std::string hex_upper(std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (const std::uint8_t b : bytes) {
    s += kHex[b >> 4];
    s += kHex[b & 0x0F];
  }
  return s;
}

}  // namespace pink::signpad
