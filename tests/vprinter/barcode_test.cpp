// The virtual printer's bar code encoder against patterns worked out by hand
// from the symbologies' tables: element widths, check values, code set
// changes, and the data a printer refuses.
#include "tools/vprinter/barcode.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "tests/vprinter/bytes.h"

namespace pink::vprinter {
namespace {

using Elements = std::vector<std::uint8_t>;

using testaid::b;

// Sum of a run of elements (modules, or narrow/wide units).
unsigned total(const Elements& e, std::size_t from, std::size_t count) {
  return std::accumulate(e.begin() + static_cast<long>(from), e.begin() + static_cast<long>(from + count), 0u);
}

TEST(VprinterBarcode, Code39FramesTheDataWithStartAndStopStars) {
  // '*' is n w n n w n w n n, 'A' is w n n n n w n n w; a narrow gap between.
  const Elements star{1, 2, 1, 1, 2, 1, 2, 1, 1}, a{2, 1, 1, 1, 1, 2, 1, 1, 2};
  Elements expected = star;
  expected.push_back(1);
  expected.insert(expected.end(), a.begin(), a.end());
  expected.push_back(1);
  expected.insert(expected.end(), star.begin(), star.end());

  const Bars bars = encode_code39("A");
  ASSERT_TRUE(bars.ok()) << bars.error;
  EXPECT_TRUE(bars.two_widths);
  EXPECT_EQ(bars.elements, expected);
  EXPECT_EQ(bars.hri, "*A*");
  // Data that bring their own stars print the same symbol.
  EXPECT_EQ(encode_code39("*A*").elements, expected);
  // Through GS k, in both forms of the system number.
  EXPECT_EQ(encode_bar_code(4, "A").elements, expected);
  EXPECT_EQ(encode_bar_code(69, "A").elements, expected);

  // Every character of the set: nine elements, exactly three wide, and no
  // two characters alike.
  const std::string set = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
  std::set<Elements> seen;
  for (const char c : set) {
    const Bars one = encode_code39(std::string(1, c));
    ASSERT_TRUE(one.ok()) << c;
    ASSERT_EQ(one.elements.size(), 29u) << c;
    const Elements body(one.elements.begin() + 10, one.elements.begin() + 19);
    EXPECT_EQ(std::count(body.begin(), body.end(), 2), 3) << c;
    EXPECT_TRUE(seen.insert(body).second) << c;
  }
  EXPECT_EQ(seen.count(star), 0u);
}

TEST(VprinterBarcode, Code39RefusesWhatItCannotEncode) {
  for (const std::string& data : {std::string("abc"), std::string("A*B"), std::string(), std::string("**"),
                                  b({'A', 0x0D})}) {
    const Bars bars = encode_code39(data);
    EXPECT_FALSE(bars.ok()) << data;
    EXPECT_TRUE(bars.elements.empty()) << data;
  }
  EXPECT_NE(encode_code39("abc").error.find("character a"), std::string::npos) << encode_code39("abc").error;
}

// The elements of the one data symbol of a code set B bar code of one
// character: the symbol of value c - 32.
Elements symbol_of(char c) {
  const Bars one = encode_code128(std::string("{B") + (c == '{' ? "{{" : std::string(1, c)));
  if (one.elements.size() < 12) return {};
  return Elements(one.elements.begin() + 6, one.elements.begin() + 12);
}

// The symbol at position i (0 the start symbol).
Elements symbol_at(const Bars& bars, std::size_t i) {
  return Elements(bars.elements.begin() + static_cast<long>(6 * i),
                  bars.elements.begin() + static_cast<long>(6 * i + 6));
}

TEST(VprinterBarcode, Code128CheckValueStartAndStop) {
  // "PJJ123C" in code set B: values 48 42 42 17 18 19 35 after start B (104):
  // 104 + 48 + 2*42 + 3*42 + 4*17 + 5*18 + 6*19 + 7*35 = 879 = 8*103 + 55.
  EXPECT_EQ(code128_check(104, {48, 42, 42, 17, 18, 19, 35}), 55u);

  const Bars bars = encode_code128("{BPJJ123C");
  ASSERT_TRUE(bars.ok()) << bars.error;
  EXPECT_FALSE(bars.two_widths);
  EXPECT_EQ(bars.hri, "PJJ123C");
  // Start, seven data symbols, check, stop: 11 modules each, 13 the stop.
  ASSERT_EQ(bars.elements.size(), 9u * 6 + 7);
  EXPECT_EQ(total(bars.elements, 0, bars.elements.size()), 9u * 11 + 13);
  EXPECT_EQ(symbol_at(bars, 0), (Elements{2, 1, 1, 2, 1, 4}));  // start B
  EXPECT_EQ(symbol_at(bars, 1), symbol_of('P'));
  EXPECT_EQ(symbol_at(bars, 8), symbol_of('W'));  // value 55 ('W' - 32)
  EXPECT_EQ(Elements(bars.elements.end() - 7, bars.elements.end()), (Elements{2, 3, 3, 1, 1, 1, 2}));  // stop

  // Every symbol value is 11 modules, three bars and three spaces, and no
  // two values share a pattern (values 0..94 through code set B's characters).
  std::set<Elements> seen;
  for (int c = 0x20; c < 0x7F; ++c) {
    const Elements e = symbol_of(static_cast<char>(c));
    EXPECT_EQ(total(e, 0, 6), 11u) << c;
    EXPECT_TRUE(seen.insert(e).second) << c;
  }
}

TEST(VprinterBarcode, Code128CodeSetsAndTheirChanges) {
  // Code set C: one byte 0..99 a symbol. Start C (105):
  // 105 + 12 + 2*34 + 3*56 = 353 = 3*103 + 44, the value of 'L' in set B.
  Bars c = encode_code128("{C" + b({12, 34, 56}));
  ASSERT_TRUE(c.ok()) << c.error;
  EXPECT_EQ(c.hri, "123456");
  ASSERT_EQ(c.elements.size(), 5u * 6 + 7);
  EXPECT_EQ(symbol_at(c, 0), (Elements{2, 1, 1, 2, 3, 2}));  // start C
  EXPECT_EQ(symbol_at(c, 1), symbol_of(',')); // value 12
  EXPECT_EQ(symbol_at(c, 4), symbol_of('L'));

  // B to C: "AB", CODE C (value 99, the same symbol as set C's 99), 12.
  Bars changed = encode_code128("{BAB{C" + b({12}));
  ASSERT_TRUE(changed.ok()) << changed.error;
  EXPECT_EQ(changed.hri, "AB12");
  ASSERT_EQ(changed.elements.size(), 6u * 6 + 7);  // start, four, check, stop
  EXPECT_EQ(symbol_at(changed, 3), symbol_at(encode_code128("{C" + b({99})), 1));

  // Set A: control characters (CR is value 77 = 'm' - 32); {S shifts one
  // character into set B; {{ is the brace itself.
  Bars a = encode_code128("{A" + b({0x0D}) + "{Sa");
  ASSERT_TRUE(a.ok()) << a.error;
  EXPECT_EQ(a.hri, " a");
  EXPECT_EQ(symbol_at(a, 1), symbol_of('m'));
  EXPECT_EQ(symbol_at(a, 3), symbol_of('a'));
  EXPECT_EQ(encode_code128("{BA{{").hri, "A{");

  for (const std::string& bad : {std::string("PJJ"), std::string("{B"), "{C" + b({100}), "{B" + b({0x0D}),
                                 std::string("{Aa"), std::string("{Bx{"), std::string("{Bx{Q"), std::string("{C{S")}) {
    EXPECT_FALSE(encode_code128(bad).ok()) << ::testing::PrintToString(bad);
  }
}

TEST(VprinterBarcode, EanAndUpcAddOrCheckTheCheckDigit) {
  // Known symbols: EAN13 4006381333931, UPC-A 036000291452, EAN8 96385074.
  const Bars ean13 = encode_ean13("400638133393");
  ASSERT_TRUE(ean13.ok()) << ean13.error;
  EXPECT_EQ(ean13.hri, "4006381333931");
  EXPECT_EQ(total(ean13.elements, 0, ean13.elements.size()), 95u);
  EXPECT_EQ(encode_ean13("4006381333931").elements, ean13.elements);
  EXPECT_EQ(encode_bar_code(2, "400638133393").elements, ean13.elements);
  EXPECT_NE(encode_ean13("4006381333932").error.find("1 expected"), std::string::npos);

  const Bars upc = encode_upca("03600029145");
  ASSERT_TRUE(upc.ok()) << upc.error;
  EXPECT_EQ(upc.hri, "036000291452");
  // UPC-A is EAN13 with a leading 0.
  EXPECT_EQ(upc.elements, encode_ean13("0036000291452").elements);

  const Bars ean8 = encode_ean8("9638507");
  ASSERT_TRUE(ean8.ok()) << ean8.error;
  EXPECT_EQ(ean8.hri, "96385074");
  EXPECT_EQ(total(ean8.elements, 0, ean8.elements.size()), 67u);
  // Guard bars: 1 bar, 1 space, 1 bar at both ends.
  EXPECT_EQ(Elements(ean8.elements.begin(), ean8.elements.begin() + 3), (Elements{1, 1, 1}));
  EXPECT_EQ(Elements(ean8.elements.end() - 3, ean8.elements.end()), (Elements{1, 1, 1}));

  for (const char* bad : {"40063813339", "40063813339312", "40063813339A", ""}) {
    EXPECT_FALSE(encode_ean13(bad).ok()) << bad;
  }
}

TEST(VprinterBarcode, ItfPairsDigitsAndWidthsBecomeDots) {
  const Bars itf = encode_itf("1234");
  ASSERT_TRUE(itf.ok()) << itf.error;
  // Start (4 narrow), two pairs of 10 elements, stop (wide, narrow, narrow).
  ASSERT_EQ(itf.elements.size(), 27u);
  // Pair "12": bars of 1 (w n n n w), spaces of 2 (n w n n w), interleaved.
  EXPECT_EQ(Elements(itf.elements.begin() + 4, itf.elements.begin() + 14), (Elements{2, 1, 1, 2, 1, 1, 1, 1, 2, 2}));
  EXPECT_FALSE(encode_itf("123").ok());
  EXPECT_FALSE(encode_itf("12a4").ok());

  // A wide element is 5/2 of a narrow one, rounded up; "*A*" has nine wide
  // elements and twenty narrow ones.
  EXPECT_EQ(wide_dots(2), 5u);
  EXPECT_EQ(wide_dots(3), 8u);
  EXPECT_EQ(bars_width(encode_code39("A"), 2), 9u * 5 + 20 * 2);
  EXPECT_EQ(bars_width(encode_ean13("400638133393"), 3), 95u * 3);

  // Systems not drawn say so.
  EXPECT_FALSE(encode_bar_code(6, "A123B").ok());
  EXPECT_FALSE(encode_bar_code(72, "ABC").ok());
}

}  // namespace
}  // namespace pink::vprinter
