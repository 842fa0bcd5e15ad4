// The virtual printer's logic: streams read into events (each command
// family, text and line ends, Korean mode, streams cut off anywhere, random
// streams under address and undefined-behaviour checks), a printed bit image
// as a PNG file, and the transcript of a typical receipt.
#include "tools/vprinter/decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/vprinter/bytes.h"
#include "tools/vprinter/png.h"
#include "tools/vprinter/transcript.h"

namespace pink::vprinter {
namespace {

using testaid::b;
using testaid::cp949;
std::span<const std::uint8_t> span_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
// Double-byte text as the spoolers' Korean mode sends it: FS &, the cp949
// bytes with their top bit cleared, FS .
std::string korean(std::string_view utf8) {
  std::string out = "\x1C&";
  for (const char c : cp949(utf8)) out += static_cast<char>(c & 0x7F);
  return out + "\x1C.";
}

Event cmd(Op op, std::size_t at, std::size_t size, std::vector<std::uint32_t> args = {}, std::string data = {}) {
  return {.kind = EventKind::Command, .offset = at, .size = size, .command = &command_entry(op),
          .args = std::move(args), .data = std::move(data)};
}
Event txt(std::size_t at, std::string data, bool korean = false) {
  const std::size_t n = data.size();
  return {.kind = EventKind::Text, .offset = at, .size = n, .data = std::move(data), .korean = korean};
}
Event eol(std::size_t at, LineEnd e) {
  return {.kind = EventKind::LineEnd, .offset = at, .size = e == LineEnd::CrLf ? 2u : 1u, .line_end = e};
}
Event ctl(std::size_t at, int byte) { return {.kind = EventKind::Control, .offset = at, .size = 1, .data = b({byte})}; }
Event cut_off(std::size_t at, std::string data, const CommandEntry* entry, bool korean = false) {
  const std::size_t n = data.size();
  return {.kind = EventKind::Truncated, .offset = at, .size = n, .command = entry, .data = std::move(data),
          .korean = korean};
}

struct Case {
  std::string bytes;
  Op op;
  std::vector<std::uint32_t> args;
  std::string data;
};

// One command of each family: every prefix byte (the three-byte DC2 z
// prefixes too) and every way of reading what follows the prefix.
std::vector<Case> families() {
  const std::string image(16, '\x5A'), rows = std::string(72, '\xF0') + std::string(72, '\x0F');
  return {
      {b({0x1B, 0x40}), Op::Initialise, {}, {}},
      {b({0x1B, 0x70, 0x00, 0x40, 0x50}), Op::DrawerPulse, {0, 0x40, 0x50}, {}},
      {b({0x1F, 0x30, 0x03}), Op::SelectLogo, {3}, {}},
      {b({0x12, 0x7A, 0x00, 0x48, 0x21}), Op::LogoRowsBegin, {0x48, 0x21}, {}},
      {b({0x1C, 0x70, 0x01, 0x00}), Op::PrintNvImage, {1, 0}, {}},
      {b({0x1C, 0x62, 0x04, 0x34, 0x12, 0x00, 0x01}), Op::Buzzer, {4, 0x1234, 0x100}, {}},
      // Bar code data up to the NUL whatever it holds; counted data; a
      // system without data of its own, after which reading goes on as usual.
      {b({0x1D, 0x6B, 0x04}) + "A\r\nB" + b({0}), Op::BarCode, {4}, "A\r\nB"},
      {b({0x1D, 0x6B, 0x49, 0x04}) + "\r\n\x1b@", Op::BarCode, {0x49, 4}, "\r\n\x1b@"},
      {b({0x1D, 0x6B, 0x08}), Op::BarCode, {8}, {}},
      {b({0x1D, 0x56, 0x31}), Op::Cut, {0x31}, {}},
      {b({0x1D, 0x56, 0x41, 0x03}), Op::Cut, {0x41, 3}, {}},
      {b({0x1D, 0x2A, 0x02, 0x01}) + image, Op::DefineBitImage, {2, 1}, image},
      {b({0x1B, 0x56, 0x02, 0x00}) + rows, Op::RasterRows, {2, 0}, rows},
      {b({0x1B, 0x47, 0x01}), Op::DoubleStrike, {1}, {}},
      {b({0x1B, 0x4D, 0x31}), Op::SelectFont, {0x31}, {}},
      {b({0x1B, 0x4A, 0x28}), Op::FeedDots, {40}, {}},
      {b({0x1B, 0x69}), Op::FullCutNow, {}, {}},
      {b({0x1B, 0x6D}), Op::PartialCutNow, {}, {}},
      {b({0x1D, 0x42, 0x01}), Op::Reverse, {1}, {}},
      // ESC *: one byte a column at 8 dots, three at 24; an unknown mode
      // takes no data.
      {b({0x1B, 0x2A, 0x00, 0x03, 0x00}) + "\x0D\x0A\x1D", Op::LineBitImage, {0, 3, 0}, "\x0D\x0A\x1D"},
      {b({0x1B, 0x2A, 0x21, 0x02, 0x00}) + image.substr(0, 6), Op::LineBitImage, {33, 2, 0}, image.substr(0, 6)},
      {b({0x1B, 0x2A, 0x07, 0x01, 0x00}), Op::LineBitImage, {7, 1, 0}, {}},
      // GS v 0: bytes across times rows.
      {b({0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x03, 0x00}) + image.substr(0, 6), Op::RasterImage, {0, 2, 0, 3, 0},
       image.substr(0, 6)},
  };
}

TEST(VprinterDecoder, ReadsEachCommandFamilyWithItsArguments) {
  for (const auto& c : families()) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    // The command takes exactly its bytes: the text behind it stays text.
    EXPECT_EQ(decode(c.bytes + "Z"),
              (std::vector<Event>{cmd(c.op, 0, c.bytes.size(), c.args, c.data), txt(c.bytes.size(), "Z")}));
  }
}

TEST(VprinterDecoder, ReadsTextLineEndsAndStrayControlBytes) {
  const std::string won = cp949("원");
  const std::string stream = "AB\r\nC\nD\rE\r\r\n" + won + b({0x00, 0x7F, 0x1B, 0x99, 0x0C}) + "x" + b({0x12, 0x7A, 0x05});
  EXPECT_EQ(decode(stream), (std::vector<Event>{
                                txt(0, "AB"), eol(2, LineEnd::CrLf), txt(4, "C"), eol(5, LineEnd::Lf), txt(6, "D"),
                                eol(7, LineEnd::Cr), txt(8, "E"), eol(9, LineEnd::Cr), eol(10, LineEnd::CrLf),
                                txt(12, won), ctl(14, 0x00), ctl(15, 0x7F),
                                // An ESC that begins no known command: the byte after it is read anew.
                                ctl(16, 0x1B), txt(17, b({0x99})), ctl(18, 0x0C), txt(19, "x"), ctl(20, 0x12),
                                txt(21, "z"), ctl(22, 0x05)}));
  EXPECT_TRUE(decode(std::string_view()).empty());
}

TEST(VprinterDecoder, KoreanModeTurnsTheCodesBackIntoCharacters) {
  EXPECT_EQ(decode(korean("주문") + " 1" + korean("번") + "\r\n"),
            (std::vector<Event>{cmd(Op::KoreanOn, 0, 2), txt(2, cp949("주문"), true), cmd(Op::KoreanOff, 6, 2),
                                txt(8, " 1"), cmd(Op::KoreanOn, 10, 2), txt(12, cp949("번"), true),
                                cmd(Op::KoreanOff, 14, 2), eol(16, LineEnd::CrLf)}));

  // A masked code may look like a command (lead byte 0x9B becomes ESC) or a
  // line end: inside Korean mode it is a character all the same.
  const std::string esc_like = b({0x9B, 0xC0}), lf_like = b({0x8A, 0x8D});
  ASSERT_TRUE(text::is_valid_cp949(esc_like + lf_like));
  EXPECT_EQ(decode(b({0x1C, 0x26, 0x1B, 0x40, 0x0A, 0x0D, 0x1C, 0x2E, 0x1B, 0x40})),
            (std::vector<Event>{cmd(Op::KoreanOn, 0, 2), txt(2, esc_like + lf_like, true), cmd(Op::KoreanOff, 6, 2),
                                cmd(Op::Initialise, 8, 2)}));

  // Bytes with the top bit set inside Korean mode are plain cp949 text, one
  // character at a time; the pairs after them are Korean codes again.
  const std::string won = cp949("원");
  EXPECT_EQ(decode(b({0x1C, 0x26}) + won + b({0x30, 0x41, 0xFF, 0x41, 0xC1, 0x1C, 0x2E})),
            (std::vector<Event>{cmd(Op::KoreanOn, 0, 2), txt(2, won), txt(4, b({0xB0, 0xC1}), true),
                                txt(6, b({0xFF})), txt(7, "A"), txt(8, b({0xC1})), cmd(Op::KoreanOff, 9, 2)}));
}

TEST(VprinterDecoder, ReportsACommandCutOffAtEveryLength) {
  for (const auto& c : families()) {
    const CommandEntry& entry = command_entry(c.op);
    for (std::size_t cut = 1; cut < c.bytes.size(); ++cut) {
      const std::string part = c.bytes.substr(0, cut);
      SCOPED_TRACE(::testing::PrintToString(part));
      // A cut inside the prefix names the command only when no other begins so.
      const auto begins = [&](const CommandEntry& other) {
        return other.prefix_size > cut && std::equal(part.begin(), part.end(), other.prefix.begin(),
                                                     [](char x, std::uint8_t y) { return static_cast<std::uint8_t>(x) == y; });
      };
      const bool alone = std::count_if(kCommands.begin(), kCommands.end(), begins) == 1;
      const CommandEntry* named = cut >= entry.prefix_size || alone ? &entry : nullptr;
      EXPECT_EQ(decode("A" + part), (std::vector<Event>{txt(0, "A"), cut_off(1, part, named)}));
    }
  }
  // Counts far beyond the end, and a Korean character cut after its first byte.
  const std::string huge = b({0x1D, 0x2A, 0xFF, 0xFF, 0x00});
  EXPECT_EQ(decode(huge), (std::vector<Event>{cut_off(0, huge, &command_entry(Op::DefineBitImage))}));
  EXPECT_EQ(decode(b({0x1C, 0x26, 0x41})),
            (std::vector<Event>{cmd(Op::KoreanOn, 0, 2), cut_off(2, "A", nullptr, true)}));
}

TEST(VprinterDecoder, RandomStreamsAreReadWithinTheirBounds) {
  // Bytes drawn mostly from command starts, small numbers and line ends, so
  // that commands, truncations and Korean mode come up often.
  const std::string favoured = b({0x00, 0x01, 0x02, 0x0A, 0x0D, 0x12, 0x1B, 0x1C, 0x1D, 0x1F, 0x26, 0x2A, 0x2E,
                                  0x2F, 0x30, 0x56, 0x61, 0x62, 0x6B, 0x70, 0x7A, 0x7E, 0x80, 0xB0, 0xFF,
                                  0x21, 0x42, 0x47, 0x4A, 0x69, 0x76});
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::string stream(rng() % 600, '\0');
    for (char& c : stream) c = static_cast<char>(rng() % 3 == 0 ? rng() & 0xFF : favoured[rng() % favoured.size()]);
    const Printout p = print(span_of(stream));
    EXPECT_EQ(p.events, decode(stream));
    // The events cover the stream exactly, in order; only the last may be cut off.
    std::size_t at = 0;
    for (const Event& e : p.events) {
      ASSERT_EQ(e.offset, at);
      ASSERT_GT(e.size, 0u);
      at += e.size;
      if (e.kind == EventKind::Truncated) {
        EXPECT_EQ(at, stream.size());
      }
      if (e.kind == EventKind::Control || (e.kind == EventKind::Text && !e.korean)) {
        EXPECT_EQ(e.data, stream.substr(e.offset, e.size));
      }
      if (e.kind == EventKind::Command && e.command->op == Op::DefineBitImage) {
        EXPECT_EQ(e.data.size(), std::size_t{e.args[0]} * e.args[1] * 8);
      }
    }
    EXPECT_EQ(at, stream.size());
    for (const auto& picture : p.pictures) EXPECT_FALSE(encode_png(picture.bitmap).empty());
  }
}

std::uint32_t be32(const std::vector<std::uint8_t>& v, std::size_t at) {
  return std::uint32_t{v[at]} << 24 | std::uint32_t{v[at + 1]} << 16 | std::uint32_t{v[at + 2]} << 8 | v[at + 3];
}

TEST(VprinterPng, PrintedBitImageBecomesADecodablePng) {
  // Column c carries in each band the byte with only the dot at row c mod 8:
  // a staircase in every band of the 16 x 16 image.
  std::string stream = b({0x1D, 0x2A, 0x02, 0x02});
  for (int c = 0; c < 16; ++c) stream += std::string(2, static_cast<char>(0x80 >> (c % 8)));
  const Printout p = print(span_of(stream + b({0x1D, 0x2F, 0x30})));
  ASSERT_EQ(p.pictures.size(), 1u);
  EXPECT_EQ(p.pictures[0].file_name, "image-1.png");
  const auto png = encode_png(p.pictures[0].bitmap);

  // Signature, then IHDR, IDAT and IEND, each with a correct CRC.
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin(), png.begin() + 8), "\x89PNG\r\n\x1a\n");
  std::vector<std::string> types;
  std::vector<std::uint8_t> ihdr, idat;
  for (std::size_t at = 8; at < png.size();) {
    ASSERT_LE(at + 12, png.size());
    const std::uint32_t length = be32(png, at);
    ASSERT_LE(at + 12 + length, png.size());
    types.emplace_back(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8);
    const std::vector<std::uint8_t> data(png.begin() + static_cast<long>(at) + 8,
                                         png.begin() + static_cast<long>(at + 8 + length));
    EXPECT_EQ(be32(png, at + 8 + length), crc32(crc32(0L, Z_NULL, 0), png.data() + at + 4, 4 + length));
    if (types.back() == "IHDR") ihdr = data;
    if (types.back() == "IDAT") idat = data;
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  // 16 x 16, one-bit greyscale, deflate, no filter method, no interlace.
  EXPECT_EQ(ihdr, (std::vector<std::uint8_t>{0, 0, 0, 16, 0, 0, 0, 16, 1, 0, 0, 0, 0}));
  std::vector<std::uint8_t> rows(64);
  uLongf size = rows.size();
  ASSERT_EQ(uncompress(rows.data(), &size, idat.data(), static_cast<uLong>(idat.size())), Z_OK);
  rows.resize(size);
  std::vector<std::uint8_t> want;  // filter byte 0, then white = 1: dots are the clear bits
  for (int y = 0; y < 16; ++y) {
    const auto row = static_cast<std::uint8_t>(~(0x80 >> (y % 8)));
    want.insert(want.end(), {0, row, row});
  }
  EXPECT_EQ(rows, want);
}

TEST(VprinterTranscript, ShowsATypicalReceipt) {
  const std::string stream =
      b({0x1B, 0x40, 0x1B, 0x61, 0x31}) + korean("주문") + " 1" + korean("번") + "\r\n" + cp949("합계 12,000원") +
      "\r\n" + b({0x1B, 0x61, 0x30}) + "ITEM A        2 x 6,000\r\n" +
      // The bar code of the library path.
      b({0x1D, 0x66, 0x01, 0x1D, 0x68, 0x30, 0x1D, 0x77, 0x02, 0x1B, 0x61, 0x31, 0x1D, 0x6B, 0x04}) + "12345" +
      b({0x00}) + "12345\r\n" +
      // A 100 x 20 signature as the printer library sends it.
      b({0x1D, 0x2A, 0x0D, 0x03}) + std::string(13 * 3 * 8, '\x3C') + b({0x1D, 0x2F, 0x30, 0x1B, 0x61, 0x31}) +
      b({0x1B, 0x70, 0x00, 0x40, 0x50, 0x1B, 0x64, 0x03, 0x1D, 0x56, 0x01}) +
      // The job breaks off in the middle of an image.
      "THANK YOU" + b({0x1D, 0x2A, 0x0D, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00});

  const Printout p = print(span_of(stream));
  EXPECT_EQ(p.transcript,
            "ESC @                      initialise\n"
            "ESC a '1'                  justification centre\n"
            "TEXT 주문 1번\n"
            "TEXT 합계 12,000원\n"
            "ESC a '0'                  justification left\n"
            "TEXT ITEM A        2 x 6,000\n"
            "GS f 1                     HRI font B\n"
            "GS h 48                    bar code height 48 dots\n"
            "GS w 2                     bar code module width 2\n"
            "ESC a '1'                  justification centre\n"
            "GS k 4 \"12345\"             bar code CODE39 data \"12345\"\n"
            "TEXT 12345\n"
            "GS * 13 3                  bit image 104 x 24 dots -> image-1.png\n"
            "GS / '0'                   print bit image, normal size\n"
            "ESC a '1'                  justification centre\n"
            "ESC p 0 64 80              drawer pulse pin 2, on 128 ms, off 160 ms\n"
            "ESC d 3                    print and feed 3 lines\n"
            "GS V 1                     partial cut\n"
            "TEXT THANK YOU<NO LINE END>\n"
            "GS *                       truncated after 9 bytes: 1d 2a 0d 03 00 00 00 00 00\n");
  ASSERT_EQ(p.pictures.size(), 1u);
  EXPECT_EQ(p.pictures[0].bitmap.width, 104u);
  EXPECT_EQ(p.pictures[0].bitmap.height, 24u);
}

TEST(VprinterTranscript, ShowsStylesInLineImagesRasterImagesAndCutsAtOnce) {
  const std::string stream = b({0x1B, 0x47, 0x01, 0x1B, 0x4D, 0x31, 0x1D, 0x42, 0x01}) + "X\n" +
                             b({0x1B, 0x2A, 0x21, 0x02, 0x00}) + std::string(6, '\xFF') +
                             b({0x1B, 0x2A, 0x09, 0x01, 0x00}) + "\n" +
                             b({0x1D, 0x76, 0x30, 0x31, 0x02, 0x00, 0x03, 0x00}) + std::string(6, '\x81') +
                             b({0x1B, 0x4A, 0x28, 0x1B, 0x69, 0x1B, 0x6D});
  EXPECT_EQ(print(span_of(stream)).transcript,
            "ESC G 1                    double strike on\n"
            "ESC M '1'                  character font B\n"
            "GS B 1                     white on black on\n"
            "TEXT X<LF>\n"
            "ESC * 33 2 0               bit image in the line, 24-dot double density, 2 columns\n"
            "ESC * 9 1 0                bit image mode 9 (unknown), what follows is read as text\n"
            "TEXT<LF>\n"
            "GS v 0 '1' 2 0 3 0         raster bit image 16 x 3 dots, double width\n"
            "ESC J 40                   print and feed 40 units\n"
            "ESC i                      full cut\n"
            "ESC m                      partial cut\n");
}

}  // namespace
}  // namespace pink::vprinter
