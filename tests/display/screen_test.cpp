// The virtual display's interpreter: what the customer sees after the bytes
// of the drivers and of every pds display type, the cursor rules, Korean
// characters at the row's end, broken input and streams cut into pieces.
#include "tools/vdisplay/screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/display/dialect_streams.h"

namespace pink::vdisplay {
namespace {

std::span<const std::uint8_t> bytes_of(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The screen after the whole stream, and the transcript lines.
struct Shown {
  std::string row1, row2;
  std::vector<std::string> lines;
};

Shown shown(const std::string& stream, std::size_t width = kDefaultWidth) {
  Screen s(width);
  Shown out;
  out.lines = s.feed(bytes_of(stream));
  for (auto& l : s.finish()) out.lines.push_back(l);
  out.row1 = s.row(1);
  out.row2 = s.row(2);
  return out;
}

std::string pad(const std::string& s, std::size_t width = kDefaultWidth) {
  return s + std::string(width > s.size() ? width - s.size() : 0, ' ');
}
std::string cp949(const char* utf8) { return text::utf8_to_cp949(utf8); }

TEST(VdisplayScreen, EveryPdsTypeShowsItsLabelAndAmount) {
  struct Rows {
    const char* type;
    std::size_t width;
    std::string row1, row2;
  };
  const std::vector<Rows> expected{
      {"1", 20, pad("12,000"), pad("")},  // each line from column 1 of row 1: the last one stays
      {"4", 20, pad("TOTAL"), std::string(14, ' ') + "12,000"},
      {"5", 20, pad("TOTAL"), std::string(14, ' ') + "12,000"},
      {"6", 20, pad("12,000"), pad("")},
      {"7", 20, pad("TOTAL"), std::string(17, ' ') + "SUB"},
      {"8", 20, pad("TOTAL     12,000"), pad("")},
      {"9", 20, pad("TOTAL       12,000"), pad("")},
      {"C", 32, pad("TOTAL", 32), pad("12,000", 32)},
      {"G", 32, pad("12,000", 32), pad("", 32)},
      {"H", 20, pad("TOTAL"), pad("12,000")},
      {"I", 32, pad("TOTAL", 32), pad("12,000", 32)},
      {"K", 32, pad("TOTAL", 32), pad("12,000", 32)},
      {"L", 20, pad("TOTAL"), pad("12,000")},
  };
  const auto streams = testing::dialect_streams();
  ASSERT_EQ(streams.size(), expected.size());
  for (std::size_t i = 0; i < streams.size(); ++i) {
    ASSERT_EQ(streams[i].type, expected[i].type);
    const Shown s = shown(streams[i].bytes(), expected[i].width);
    EXPECT_EQ(s.row1, expected[i].row1) << "type " << expected[i].type;
    EXPECT_EQ(s.row2, expected[i].row2) << "type " << expected[i].type;
  }
}

TEST(VdisplayScreen, DriverWritesLandOnTheirRows) {
  // ldisp2: ESC l 1 row and a 20-byte field; gdisp: ESC { row ; 1 H and 32 bytes.
  const std::string field = cp949("합계") + std::string(16, ' ');
  Shown s = shown("\x1b\x6c\x01\x02" + field + "\x1b\x6c\x01\x01" + pad("ABC"));
  EXPECT_EQ(s.row1, pad("ABC"));
  EXPECT_EQ(s.row2, "합계" + std::string(16, ' '));
  EXPECT_EQ(s.lines.front(), "ESC l 1 2             cursor to row 2, column 1");

  s = shown("\x1b{2;1H" + pad("12,000", 32) + "\x1b{1;1H" + pad("TOTAL", 32), kGraphicWidth);
  EXPECT_EQ(s.row1, pad("TOTAL", 32));
  EXPECT_EQ(s.row2, pad("12,000", 32));

  // ldisp: the caller's text and a 0x00, which the display ignores.
  s = shown(std::string("\x0cHELLO\0", 7));
  EXPECT_EQ(s.row1, pad("HELLO"));
  ASSERT_EQ(s.lines.size(), 3u);
  EXPECT_EQ(s.lines[2], "NUL                   ignored");
}

TEST(VdisplayScreen, CursorWrapsRowsAndLineFeedGoesBackToRowOne) {
  Screen s(4);
  s.feed(bytes_of("ABCDEFGH"));  // fills both rows; the cursor goes on at row 1
  EXPECT_EQ(s.row(1), "ABCD");
  EXPECT_EQ(s.row(2), "EFGH");
  EXPECT_EQ(s.cursor_row(), 1u);
  EXPECT_EQ(s.cursor_column(), 1u);
  s.feed(bytes_of("x\n"));  // row 1 -> row 2, same column
  EXPECT_EQ(s.cursor_row(), 2u);
  EXPECT_EQ(s.cursor_column(), 2u);
  const auto lines = s.feed(bytes_of("\ny\r"));  // row 2 -> row 1
  EXPECT_EQ(s.row(1), "xyCD");
  EXPECT_EQ(s.cursor_column(), 1u);
  EXPECT_EQ(lines.front(), "LF                    cursor to row 1 (from the last row)");
  // VT goes home; FF and ESC @ also clear; clearing with ESC { 2 J leaves the cursor.
  s.feed(bytes_of("\x1b[2;3H\x1b{2J"));
  EXPECT_EQ(s.row(1), "    ");
  EXPECT_EQ(s.cursor_row(), 2u);
  EXPECT_EQ(s.cursor_column(), 3u);
  s.feed(bytes_of("Z\x0bQ"));
  EXPECT_EQ(s.row(1), "Q   ");
  EXPECT_EQ(s.row(2), "  Z ");
}

TEST(VdisplayScreen, PositionsOutsideTheDisplayAreTakenToTheNearestCell) {
  const Shown s = shown("\x1b[3;25HA" + std::string("\x1b\x6c\x00\x00", 4) + "B\x1b{;H" "C", 20);
  EXPECT_EQ(s.row1, pad("C"));
  EXPECT_EQ(s.row2, std::string(19, ' ') + "A");
  EXPECT_EQ(s.lines[0], "ESC [ 3 ; 25 H        cursor to row 2, column 20 (asked for row 3, column 25)");
  EXPECT_EQ(s.lines[2], "ESC l 0 0             cursor to row 1, column 1 (asked for row 0, column 0)");
}

TEST(VdisplayScreen, KoreanCharactersTakeTwoColumnsAndNeverStraddleARow) {
  // 19 columns used: the character does not fit in the last one, which stays
  // blank, and starts row 2.
  Shown s = shown(std::string(19, 'a') + cp949("가"));
  EXPECT_EQ(s.row1, std::string(19, 'a') + " ");
  EXPECT_EQ(s.row2, "가" + std::string(18, ' '));
  // Writing over half of a character blanks its other half.
  s = shown(cp949("가나") + "\x0d" "\x1b\x6c\x02\x01" "x");
  EXPECT_EQ(s.row1, " x나" + std::string(16, ' '));
  // A first half followed by a control byte is broken; an unknown code shows as "??".
  s = shown("\xb0\x0d" "\x1b\x6c\x05\x01" "\xc9\x41");
  EXPECT_EQ(s.row1, "?   ??" + std::string(14, ' '));
  EXPECT_EQ(s.lines[0], "TEXT \"<b0>\"           at row 1, column 1");
}

TEST(VdisplayScreen, UnknownAndUnfinishedCommandsAreIgnoredAndReported) {
  const Shown s = shown("\x07" "A\x1bZ" "B\x1b{1;x" "C\x1b{12345678901H" "D\x1b[5J" "E\x1b{1;");
  // The x ends its sequence; the ninth digit abandons its sequence and is text.
  EXPECT_EQ(s.row1, pad("ABC901HDE"));
  const std::vector<std::string> expected{
      "<07>                  unknown control byte, ignored",
      "TEXT \"A\"              at row 1, column 1",
      "ESC Z                 unknown command, ignored",
      "TEXT \"B\"              at row 1, column 2",
      "ESC { 1 ; x           unknown command, ignored",
      "TEXT \"C\"              at row 1, column 3",
      "ESC { 1 2 3 4 5 6 7 8 unfinished sequence, ignored",
      "TEXT \"901HD\"          at row 1, column 4",
      "ESC [ 5 J             unknown command, ignored",
      "TEXT \"E\"              at row 1, column 9",
      "ESC { 1 ;             cut off by the end",
  };
  EXPECT_EQ(s.lines, expected);
}

TEST(VdisplayScreen, AStreamCutIntoPiecesReadsTheSameAsWhole) {
  std::string stream;
  for (const auto& d : testing::dialect_streams()) stream += d.bytes();
  stream += "\x1b\x6c\x01\x02" + cp949("가나다") + "\"<" + std::string("\0", 1) + "\x1b{2;1H";
  const Shown whole = shown(stream);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}}) {
    Screen s(kDefaultWidth);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      for (auto& l : s.feed(bytes_of(stream.substr(at, piece)))) lines.push_back(l);
    }
    for (auto& l : s.finish()) lines.push_back(l);
    EXPECT_EQ(lines, whole.lines) << "pieces of " << piece;
    EXPECT_EQ(s.row(1), whole.row1);
    EXPECT_EQ(s.row(2), whole.row2);
  }
  EXPECT_NE(std::find(whole.lines.begin(), whole.lines.end(),
                      "TEXT \"가나다<22><3c>\" at row 2, column 1"),
            whole.lines.end());
}

TEST(VdisplayScreen, FrameShowsBothRowsAtTheDisplaysWidth) {
  Screen s(kDefaultWidth);
  s.feed(bytes_of("\x1b@\x0b" + pad(cp949("합계"), 20) + std::string(14, ' ') + "12,000"));
  EXPECT_EQ(framed(s),
            "+--------------------+\n"
            "|합계                |\n"
            "|              12,000|\n"
            "+--------------------+\n");
}

}  // namespace
}  // namespace pink::vdisplay
