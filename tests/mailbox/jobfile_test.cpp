#include "mailbox/jobfile.h"

#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tools/testkit/testkit.h"

namespace pink::mailbox {
namespace {

TEST(JobHeader, FieldPositionsFollowTheHeaderLength) {
  // Five characters: one-character port field.
  JobHeader five = parse_header("1XCXN");
  EXPECT_EQ(five.port, "1");
  EXPECT_EQ(five.signal, "X");
  EXPECT_EQ(five.model, "C");
  EXPECT_EQ(five.reserved, "X");
  EXPECT_EQ(five.option, "N");

  // Six characters: two-character port field, same codes.
  JobHeader six = parse_header("10XCXN");
  EXPECT_EQ(six.port, "10");
  EXPECT_EQ(six.model, "C");
  EXPECT_EQ(six.option, "N");

  // Seven characters are read like five.
  JobHeader seven = parse_header("1XCXNZZ");
  EXPECT_EQ(seven.port, "1");
  EXPECT_EQ(seven.model, "C");
  EXPECT_EQ(seven.option, "N");

  // A blank and a digit in a six-character header stay as they are.
  EXPECT_EQ(parse_header(" 3T0XX").port, " 3");
}

TEST(JobHeader, ShortAndEmptyHeadersLeaveLaterFieldsEmpty) {
  JobHeader one = parse_header("P");
  EXPECT_EQ(one.port, "P");
  EXPECT_EQ(one.signal, "");
  EXPECT_EQ(one.model, "");
  EXPECT_EQ(one.option, "");

  JobHeader three = parse_header("1T9");
  EXPECT_EQ(three.model, "9");
  EXPECT_EQ(three.reserved, "");

  JobHeader empty = parse_header("");
  EXPECT_EQ(empty.port, "");
  EXPECT_EQ(empty.model, "");
}

TEST(JobHeader, SixCharacterLayoutIsForcedForTheResidentPrinter) {
  JobHeader h = parse_header("4T0XX", HeaderLayout::SixCharacter);
  EXPECT_EQ(h.port, "4T");
  EXPECT_EQ(h.signal, "0");
  EXPECT_EQ(h.model, "X");
  EXPECT_EQ(h.option, "");
}

TEST(JobHeader, DoubleByteCharactersCountAsOneCharacter) {
  // "1", a Korean syllable (cp949 B0 A1), "C", "X", "N": five characters.
  JobHeader h = parse_header("1\xB0\xA1" "CXN");
  EXPECT_EQ(h.port, "1");
  EXPECT_EQ(h.signal, "\xB0\xA1");
  EXPECT_EQ(h.model, "C");
  EXPECT_EQ(h.option, "N");

  // Bytes that are not cp949 are single characters and never read past the end.
  JobHeader bad = parse_header("\xFF\xFF\x81");
  EXPECT_EQ(bad.port, "\xFF");
  EXPECT_EQ(bad.signal, "\xFF");
  EXPECT_EQ(bad.model, "\x81");
}

TEST(JobFileLines, LineEndsAndEmptyLines) {
  EXPECT_EQ(split_lines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(split_lines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(split_lines("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(split_lines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(split_lines("").empty());
}

TEST(JobFileLines, EmptyFirstLineGivesAnEmptyHeader) {
  JobFile f = JobFile::from_bytes("\r\nORDER\r\n");
  JobHeader h = parse_header(f.next_line());
  EXPECT_EQ(h.port, "");
  EXPECT_EQ(f.next_line(), "ORDER");
  EXPECT_TRUE(f.at_end());
}

TEST(JobFileLines, ReadingPastTheEndIsInputPastEndOfFile) {
  JobFile f = JobFile::from_bytes("1XCXN\r\nBARPRT\r\n");
  f.next_line();
  EXPECT_EQ(f.next_line(), "BARPRT");
  try {
    f.next_line();
    FAIL() << "no failure past the end";
  } catch (const Failure& e) {
    EXPECT_EQ(e.number(), 62);
    EXPECT_EQ(e.description(), "Input past end of file");
  }
}

TEST(JobFileLines, HundredKilobyteLinesAndInvalidBytesPassThrough) {
  std::string big(100 * 1024, 'x');
  big[500] = '\xFF';
  big[501] = '\x80';
  JobFile f = JobFile::from_bytes("1XCXN\r\n" + big + "\r\nEND");
  f.next_line();
  EXPECT_EQ(f.next_line(), big);
  EXPECT_EQ(f.next_line(), "END");
  EXPECT_TRUE(f.at_end());
}

TEST(JobFileOpen, MissingFileIsFileNotFound) {
  testkit::TempDir dir;
  try {
    JobFile::open(dir.file("printer.zor"));
    FAIL() << "missing job file opened";
  } catch (const Failure& e) {
    EXPECT_EQ(e.number(), 53);
    EXPECT_EQ(e.description(), "File not found");
  }
}

TEST(JobFileOpen, ReadsTheFileWhole) {
  testkit::TempDir dir;
  dir.write("kitchen.zor", "1T0XX\r\nORDER\r\n\r\n");
  JobFile f = JobFile::open(dir.file("kitchen.zor"));
  EXPECT_EQ(f.next_line(), "1T0XX");
  EXPECT_EQ(f.next_line(), "ORDER");
  EXPECT_EQ(f.next_line(), "");
  EXPECT_TRUE(f.at_end());
}

}  // namespace
}  // namespace pink::mailbox
