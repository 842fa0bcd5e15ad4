// The printed paper (paper.png) drawn with the real printer font: its size,
// where the ink of text, sizes and justification lands, bar codes read back
// by an independent decoder (zbarimg from zbar-tools), bit images at their
// density, cuts, the limits of the paper, and the font's own failures.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "platform/text.h"
#include "tests/vprinter/bytes.h"
#include "tools/testkit/testkit.h"
#include "tools/vprinter/font.h"
#include "tools/vprinter/png.h"
#include "tools/vprinter/render.h"

namespace pink::vprinter {
namespace {

using testaid::b;
using testaid::cp949;

// Ink (printed dots) of a band of rows, and its bounding box.
struct Box {
  std::uint32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  std::size_t dots = 0;
  std::uint32_t width() const { return right - left; }
  std::uint32_t height() const { return bottom - top; }
};

Box ink(const Bitmap& bm, std::uint32_t top = 0, std::uint32_t bottom = ~0u) {
  Box box{~0u, ~0u, 0, 0, 0};
  for (std::uint32_t y = top; y < bottom && y < bm.height; ++y) {
    for (std::uint32_t x = 0; x < bm.width; ++x) {
      if (!bm.dot(x, y)) continue;
      ++box.dots;
      box.left = std::min(box.left, x);
      box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1);
      box.bottom = std::max(box.bottom, y + 1);
    }
  }
  if (box.dots == 0) box = Box{};
  return box;
}

// What zbarimg reads on the picture: "CODE-39:DATA" lines.
std::string scan(const Bitmap& bm) {
  const std::string tool = testaid::zbarimg();
  if (tool.empty()) {
    ADD_FAILURE() << "zbarimg is missing (zbar-tools; scripts/setup installs it)";
    return {};
  }
  testkit::TempDir dir;
  const auto png = encode_png(bm);
  dir.write("paper.png", std::string(png.begin(), png.end()));
  return testkit::run(tool, {"-q", dir.file("paper.png")}).out;
}

class VprinterPaper : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    const std::string path = find_printer_font(error);
    if (!path.empty()) font_ = FontGlyphs::open(path, error);
    ASSERT_TRUE(font_) << error;
  }

  Paper paper(const std::string& stream, std::uint32_t width = kPaper80Dots) {
    return render_paper(decode(stream), *font_, width);
  }

  std::unique_ptr<FontGlyphs> font_;
};

// A receipt: Korean text, a CODE39 bar code as the spoolers send it, and a
// 104 x 24 signature as the printer library sends it.
std::string receipt(int extra_lines = 0) {
  std::string s = b({0x1B, 0x40, 0x1B, 0x61, 0x31}) + cp949("핑크 커피") + "\r\n" + b({0x1B, 0x61, 0x30}) +
                  cp949("주문 1번  아메리카노      4,500") + "\r\n";
  for (int i = 0; i < extra_lines; ++i) s += "LINE " + std::to_string(i) + "\r\n";
  s += b({0x1D, 0x66, 0x01, 0x1D, 0x68, 0x30, 0x1D, 0x77, 0x02, 0x1B, 0x61, 0x31, 0x1D, 0x6B, 0x04}) + "20261208001" +
       b({0x00}) + "\r\n";
  std::string signature;
  for (int column = 0; column < 104; ++column) signature += b({column % 2 ? 0x3C : 0x18, 0xFF, 0x18});
  s += b({0x1D, 0x2A, 0x0D, 0x03}) + signature + b({0x1D, 0x2F, 0x30}) + cp949("감사합니다") + "\r\n";
  return s;
}

TEST_F(VprinterPaper, ReceiptFollowsThePaperWidthAndGrowsWithItsLines) {
  const Paper wide = paper(receipt());
  EXPECT_EQ(wide.bitmap.width, 576u);
  EXPECT_TRUE(wide.notes.empty()) << wide.notes.front();
  const Paper narrow = paper(receipt(), kPaper58Dots);
  EXPECT_EQ(narrow.bitmap.width, 384u);
  EXPECT_EQ(narrow.bitmap.height, wide.bitmap.height);
  // Lines of 30 dots: the title, the order, (the bar code 48), an empty
  // line, the signature 24, the thanks.
  EXPECT_EQ(wide.bitmap.height, 30u + 30 + 48 + 30 + 24 + 30);
  EXPECT_EQ(paper(receipt(3)).bitmap.height, wide.bitmap.height + 3 * 30);
  EXPECT_EQ(wide.bitmap.bits.size(), wide.bitmap.stride() * wide.bitmap.height);

  // The bar code reads back, on both papers.
  EXPECT_EQ(scan(wide.bitmap), "CODE-39:20261208001\n");
  EXPECT_EQ(scan(narrow.bitmap), "CODE-39:20261208001\n");
  // The signature sits centred (the bar code left centring on) below it.
  const Box sign = ink(wide.bitmap, 138, 162);
  EXPECT_EQ(sign.width(), 104u);
  EXPECT_EQ(sign.left, (576u - 104) / 2);

  EXPECT_EQ(paper("").bitmap.height, 0u);
}

TEST_F(VprinterPaper, BarCodesReadBackToTheirDataWithTheirText) {
  const std::string setup = b({0x1B, 0x61, 0x31, 0x1D, 0x77, 0x02, 0x1D, 0x68, 0x50});
  const auto bar = [](int m, const std::string& data) {
    return b({0x1D, 0x6B, m, static_cast<int>(data.size())}) + data + "\r\n";
  };
  EXPECT_EQ(scan(paper(setup + bar(73, "{BPJJ123C")).bitmap), "CODE-128:PJJ123C\n");
  EXPECT_EQ(scan(paper(setup + bar(73, "{C" + b({12, 34, 56, 78}))).bitmap), "CODE-128:12345678\n");
  EXPECT_EQ(scan(paper(setup + bar(73, "{BNo.{C" + b({20, 26}))).bitmap), "CODE-128:No.2026\n");
  EXPECT_EQ(scan(paper(setup + bar(69, "ABC-123")).bitmap), "CODE-39:ABC-123\n");
  EXPECT_EQ(scan(paper(setup + b({0x1D, 0x6B, 0x02}) + "400638133393" + b({0})).bitmap), "EAN-13:4006381333931\n");
  EXPECT_EQ(scan(paper(setup + bar(70, "12345678")).bitmap), "I2/5:12345678\n");

  // The human-readable text: none by default, below with GS H 2, above and
  // below with GS H 3; font B (GS f 1) is 17 dots high.
  const std::string code = bar(73, "{B1234");
  const Paper plain = paper(setup + code);
  EXPECT_EQ(ink(plain.bitmap).height(), 80u);
  const Paper below = paper(setup + b({0x1D, 0x48, 0x32}) + code);
  EXPECT_EQ(ink(below.bitmap, 0, 80).height(), 80u);
  EXPECT_GT(ink(below.bitmap, 82, 106).dots, 50u);
  const Paper both = paper(setup + b({0x1D, 0x48, 0x03, 0x1D, 0x66, 0x01}) + code);
  EXPECT_GT(ink(both.bitmap, 0, 17).dots, 50u);
  EXPECT_EQ(ink(both.bitmap, 19, 99).dots, ink(plain.bitmap, 0, 80).dots);
  EXPECT_GT(ink(both.bitmap, 101, 118).dots, 50u);

  // What cannot print does not, and says why.
  const Paper refused = paper(setup + bar(69, "lower") + bar(73, "PJJ") + "OK\r\n");
  EXPECT_EQ(refused.bitmap.height, 3u * 30);  // the three line ends
  ASSERT_EQ(refused.notes.size(), 2u);
  EXPECT_NE(refused.notes[0].find("\"lower\": character l is not in CODE39; not printed"), std::string::npos)
      << refused.notes[0];
  const Paper too_wide = paper(b({0x1D, 0x77, 0x06}) + bar(69, "0123456789"), kPaper58Dots);
  ASSERT_EQ(too_wide.notes.size(), 1u);
  EXPECT_NE(too_wide.notes[0].find("wider than the paper"), std::string::npos) << too_wide.notes[0];
}

TEST_F(VprinterPaper, KoreanTextJustificationEmphasisAndSizesLandWhereTheyShould) {
  // Korean glyphs have ink, two columns (24 dots) each, unlike '?' marks.
  const Paper korean = paper(cp949("주문합계") + "\r\n");
  const Paper marks = paper("????????\r\n");
  const Box k = ink(korean.bitmap), q = ink(marks.bitmap);
  EXPECT_GT(k.dots, 200u);
  EXPECT_LE(k.right, 4u * 24);
  EXPECT_GT(k.right, 3u * 24);
  EXPECT_NE(korean.bitmap.bits, marks.bitmap.bits);
  EXPECT_GT(k.dots, q.dots);
  // The spoolers' Korean mode (FS &, the codes with their top bits cleared,
  // FS .) prints the same characters.
  std::string masked = b({0x1C, 0x26});
  for (const char c : cp949("주문합계")) masked += static_cast<char>(c & 0x7F);
  EXPECT_EQ(paper(masked + b({0x1C, 0x2E}) + "\r\n").bitmap, korean.bitmap);

  const Box left = ink(paper("ABCD\r\n").bitmap);
  const Box centre = ink(paper(b({0x1B, 0x61, 0x31}) + "ABCD\r\n").bitmap);
  const Box right = ink(paper(b({0x1B, 0x61, 0x02}) + "ABCD\r\n").bitmap);
  EXPECT_LT(left.left, 4u);
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 288.0, 4.0);
  EXPECT_GT(right.right, 576u - 4);
  EXPECT_EQ(centre.width(), left.width());

  // Emphasis (ESC E, ESC G, ESC ! 8) strikes twice: more ink, same place.
  const std::size_t normal = ink(paper("HELLO 123\r\n").bitmap).dots;
  for (const std::string& on : {b({0x1B, 0x45, 0x01}), b({0x1B, 0x47, 0x01}), b({0x1B, 0x21, 0x08})}) {
    const Box bold = ink(paper(on + "HELLO 123\r\n").bitmap);
    EXPECT_GT(bold.dots, normal * 5 / 4) << ::testing::PrintToString(on);
    EXPECT_LT(bold.left, 4u);
  }

  // Double height: taller ink and a 48-dot line; width 2: twice as wide.
  const Box tall = ink(paper(b({0x1D, 0x21, 0x01}) + "HELLO\r\n").bitmap);
  const Box wide = ink(paper(b({0x1D, 0x21, 0x10}) + "HELLO\r\n").bitmap);
  const Box base = ink(paper("HELLO\r\n").bitmap);
  EXPECT_GT(tall.height(), base.height() * 3 / 2);
  EXPECT_EQ(paper(b({0x1D, 0x21, 0x01}) + "HELLO\r\n").bitmap.height, 48u);
  EXPECT_GT(wide.width(), base.width() * 3 / 2);
  EXPECT_EQ(paper(b({0x1B, 0x21, 0x30}) + "HELLO\r\n").bitmap.height, 48u);  // ESC ! double height and width

  // Underline: the cell's bottom row inked along the text; reverse: mostly ink.
  const Paper under = paper(b({0x1B, 0x2D, 0x01}) + "HELLO\r\n");
  EXPECT_EQ(ink(under.bitmap, 23, 24).dots, 5u * 12);
  EXPECT_GT(ink(paper(b({0x1D, 0x42, 0x01}) + "HELLO\r\n").bitmap).dots, 5u * 12 * 24 / 2);

  // Line spacing and feeds; 49 columns of font A wrap onto a second line.
  EXPECT_EQ(paper(b({0x1B, 0x33, 0x40}) + "A\r\nB\r\n").bitmap.height, 2u * 64);
  EXPECT_EQ(paper(b({0x1B, 0x33, 0x40, 0x1B, 0x32}) + "A\r\n").bitmap.height, 30u);
  EXPECT_EQ(paper("A" + b({0x1B, 0x64, 0x04})).bitmap.height, 4u * 30);
  EXPECT_EQ(paper(std::string(49, 'W') + "\r\n").bitmap.height, 2u * 30);
  EXPECT_EQ(paper(std::string(33, 'W') + "\r\n", kPaper58Dots).bitmap.height, 2u * 30);
  EXPECT_EQ(paper(std::string(48, 'W') + "\r\n").bitmap.height, 30u);
}

TEST_F(VprinterPaper, BitImagesPrintAtTheirDensity) {
  // GS * of 8 x 8 dots, quadruple size: 16 x 16.
  const Paper quad = paper(b({0x1D, 0x2A, 0x01, 0x01}) + std::string(8, '\xFF') + b({0x1D, 0x2F, 0x33}));
  EXPECT_EQ(ink(quad.bitmap).width(), 16u);
  EXPECT_EQ(ink(quad.bitmap).dots, 256u);
  // Printed again, the same image.
  EXPECT_EQ(paper(b({0x1D, 0x2A, 0x01, 0x01}) + std::string(8, '\xFF') + b({0x1D, 0x2F, 0x30, 0x1D, 0x2F, 0x30}))
                .bitmap.height, 16u);
  // GS v 0: 2 bytes across, 3 rows, double height.
  const Paper raster = paper(b({0x1D, 0x76, 0x30, 0x02, 0x02, 0x00, 0x03, 0x00}) + std::string(6, '\xF0'));
  EXPECT_EQ(raster.bitmap.height, 6u);
  EXPECT_EQ(ink(raster.bitmap).dots, 2u * 4 * 6);
  // ESC *: 8-dot single density doubles across and triples down; 24-dot
  // double density is dot for dot.
  const Box single = ink(paper(b({0x1B, 0x2A, 0x00, 0x02, 0x00, 0xFF, 0xFF}) + "\n").bitmap);
  EXPECT_EQ(single.width(), 4u);
  EXPECT_EQ(single.height(), 24u);
  const Box dense = ink(paper(b({0x1B, 0x2A, 0x21, 0x01, 0x00, 0x80, 0x00, 0x01}) + "\n").bitmap);
  EXPECT_EQ(dense.width(), 1u);
  EXPECT_EQ(dense.height(), 24u);
  EXPECT_EQ(dense.dots, 2u);
  // The parallel logo's raster rows, 576 dots each.
  std::string rows;
  for (int i = 0; i < 3; ++i) rows += b({0x1B, 0x56, 0x01, 0x00}) + std::string(72, '\xFF');
  const Paper logo = paper(b({0x12, 0x7A, 0x00, 0x48, 0x21}) + rows + b({0x12, 0x7A, 0x01, 0x00}));
  EXPECT_EQ(ink(logo.bitmap).dots, 3u * 576);
  // A logo kept in the printer: a framed label of 64 dots.
  EXPECT_EQ(paper(b({0x1D, 0x47, 0x30})).bitmap.height, 64u);
  EXPECT_EQ(paper(b({0x1C, 0x70, 0x01, 0x00})).bitmap.height, 64u);
}

// The rows of the paper inked in dashes across it.
std::vector<std::uint32_t> dashed_rows(const Bitmap& bm) {
  std::vector<std::uint32_t> rows;
  for (std::uint32_t y = 0; y < bm.height; ++y) {
    std::size_t dots = 0, runs = 0;
    for (std::uint32_t x = 0; x < bm.width; ++x) {
      dots += bm.dot(x, y);
      if (bm.dot(x, y) && (x == 0 || !bm.dot(x - 1, y))) ++runs;
    }
    if (dots >= bm.width / 3 && runs >= 20) rows.push_back(y);
  }
  return rows;
}

TEST_F(VprinterPaper, CutsDrawADashedLineAcrossThePaper) {
  const Paper full = paper("A\r\n" + b({0x1D, 0x56, 0x00}) + "B\r\n");
  EXPECT_EQ(full.cuts, 1u);
  EXPECT_EQ(dashed_rows(full.bitmap), (std::vector<std::uint32_t>{37, 38}));
  EXPECT_EQ(full.bitmap.height, 30u + 16 + 30);
  // GS V 65 n feeds n dots first; ESC i and ESC m cut at once.
  const Paper fed = paper("A\r\n" + b({0x1D, 0x56, 0x41, 0x50}));
  EXPECT_EQ(dashed_rows(fed.bitmap), (std::vector<std::uint32_t>{117, 118}));
  const Paper two = paper(b({0x1B, 0x69, 0x1B, 0x6D}), kPaper58Dots);
  EXPECT_EQ(two.cuts, 2u);
  EXPECT_EQ(dashed_rows(two.bitmap).size(), 4u);
  EXPECT_TRUE(dashed_rows(paper("A\r\n").bitmap).empty());
}

// Every character a box: for streams whose text does not matter.
class BoxGlyphs : public GlyphSource {
 public:
  GlyphCell glyph(char32_t, std::uint32_t width, std::uint32_t height, bool) override {
    return {width, height, std::vector<std::uint8_t>(std::size_t{width} * height, 1)};
  }
};

TEST(VprinterPaperLimits, AnyStreamStaysWithinThePaper) {
  BoxGlyphs boxes;
  const std::string favoured = b({0x00, 0x0A, 0x0D, 0x12, 0x1B, 0x1C, 0x1D, 0x21, 0x2A, 0x2F, 0x30, 0x33, 0x42, 0x45,
                                  0x47, 0x4A, 0x56, 0x61, 0x64, 0x6B, 0x76, 0x77, 0x7A, 0x80, 0xB0, 0xFF, 0x02, 0x49});
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::string stream(rng() % 800, '\0');
    for (char& c : stream) c = static_cast<char>(rng() % 3 == 0 ? rng() & 0xFF : favoured[rng() % favoured.size()]);
    const Paper p = render_paper(decode(stream), boxes, seed % 2 ? kPaper58Dots : kPaper80Dots);
    ASSERT_EQ(p.bitmap.bits.size(), p.bitmap.stride() * p.bitmap.height);
    ASSERT_LE(p.bitmap.height, kMaxPaperDots);
  }
  // Feeds without end stop at the longest paper drawn, with a note.
  std::string feeds;
  for (int i = 0; i < 100; ++i) feeds += b({0x1B, 0x64, 0xFF});
  const Paper endless = render_paper(decode(feeds + "X\r\n"), boxes);
  EXPECT_EQ(endless.bitmap.height, kMaxPaperDots);
  EXPECT_FALSE(encode_png(endless.bitmap).empty());
  ASSERT_EQ(endless.notes.size(), 1u);
  EXPECT_NE(endless.notes[0].find("longer than"), std::string::npos);
}

TEST(VprinterFont, MissingOrWrongFontsAreReportedClearly) {
  testkit::TempDir dir;
  {
    testkit::ScopedEnv chosen("PINK_VPRINTER_FONT", dir.file("none.ttf"));
    std::string error;
    EXPECT_EQ(find_printer_font(error), "");
    EXPECT_NE(error.find("PINK_VPRINTER_FONT names " + dir.file("none.ttf")), std::string::npos) << error;
  }
  dir.write("text.ttf", "not a font at all");
  {
    testkit::ScopedEnv chosen("PINK_VPRINTER_FONT", dir.file("text.ttf"));
    std::string error;
    const std::string path = find_printer_font(error);
    EXPECT_EQ(path, dir.file("text.ttf"));
    EXPECT_EQ(FontGlyphs::open(path, error), nullptr);
    EXPECT_NE(error.find("cannot load the font"), std::string::npos) << error;
  }
  // Without the variable: the packaged font, which has Korean glyphs.
  testkit::ScopedEnv unset("PINK_VPRINTER_FONT", std::nullopt);
  std::string error;
  const std::string path = find_printer_font(error);
  ASSERT_FALSE(path.empty()) << error;
  EXPECT_NE(path.find("NanumGothicCoding"), std::string::npos) << path;
  auto font = FontGlyphs::open(path, error);
  ASSERT_NE(font, nullptr) << error;
  const GlyphCell ga = font->glyph(U'\uAC00', 24, 24, true);
  ASSERT_EQ(ga.ink.size(), 24u * 24);
  EXPECT_GT(std::count(ga.ink.begin(), ga.ink.end(), 1), 40);
  const GlyphCell space = font->glyph(U' ', 12, 24, false);
  EXPECT_EQ(std::count(space.ink.begin(), space.ink.end(), 1), 0);
}

}  // namespace
}  // namespace pink::vprinter
