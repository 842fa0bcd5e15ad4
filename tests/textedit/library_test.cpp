// The text edit binding against real libraries loaded by name: the stand-in
// in bin/ and the test libraries under tests/textedit_double/. A probe program
// with no library beside it edits its arguments through the process's binding
// (as the spoolers do) and finds libXOposPrint.so on the search path.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "pink/XOposPrint.h"
#include "platform/dynlib.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace tk = pink::testkit;

std::string doubles() { return dynlib::program_folder() + "/textedit_double"; }

// The probe's way of showing a result: "[" text "]", bytes outside
// 0x20..0x7E (and "\") as \xNN.
std::string shown(const std::string& text) {
  std::string s = "[";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c <= 0x7E && c != '\\') {
      s += ch;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    }
  }
  return s + "]";
}

// Runs the probe with `library_dir` as the only search path and returns its
// output lines (one per argument, then the load attempts).
std::vector<std::string> edit_lines(const std::string& library_dir, const std::vector<std::string>& lines) {
  tk::RunOptions options;
  options.env["LD_LIBRARY_PATH"] = library_dir;
  const auto r = tk::run(doubles() + "/pink_textedit_probe", lines, options);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> out;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(TextEditLibrary, StandInSendsEveryLineUnchangedWithItsLineEnd) {
  const std::string long_line = [] {
    std::string s;
    for (int i = 0; i < 150; ++i) s += static_cast<char>('0' + i % 10);
    return s;
  }();
  const std::string full_width = "x" + std::string(97, ' ');  // with CR LF exactly 100 bytes
  const auto out = edit_lines(tk::bin_dir(), {"Total 1,000", "", "  indented  ", long_line,
                                              full_width, "\xC7\xD1\xB1\xDB 2"});
  const std::vector<std::string> expected = {
      shown("Total 1,000\r\n"),
      shown("\r\n"),
      shown("indented  \r\n"),                 // leading blanks go; those before CR LF stay
      shown(long_line.substr(0, 100)),        // cut at 100 bytes, line end lost
      shown(full_width + "\r\n"),
      shown("\xC7\xD1\xB1\xDB 2\r\n"),
      "load attempts: 1",
  };
  EXPECT_EQ(out, expected);
}

TEST(TextEditLibrary, StandInCopiesAtMostTheBufferAndWritesNoNul) {
  char buffer[128];
  std::memset(buffer, ' ', sizeof buffer);
  const std::string long_line(150, 'L');
  EXPECT_EQ(EditText(long_line.c_str(), buffer, 0), 0);
  EXPECT_EQ(std::string(buffer, 100), std::string(100, 'L'));
  EXPECT_EQ(std::string(buffer + 100, 28), std::string(28, ' ')) << "nothing past the 100 bytes";

  std::memset(buffer, ' ', sizeof buffer);
  EXPECT_EQ(EditText("ab\r\n", buffer, 0), 0);
  EXPECT_EQ(std::string(buffer, 8), "ab\r\n    ") << "no NUL after the copy";

  EXPECT_EQ(EditText(nullptr, buffer, 0), -1);
  EXPECT_EQ(EditText("ab", nullptr, 0), -1);
  EXPECT_EQ(std::string(buffer, 8), "ab\r\n    ") << "a refused call writes nothing";
}

TEST(TextEditLibrary, EditedTextIsSentTrimmedWithoutALineEndAndRefusalsAsError) {
  const auto out = edit_lines(doubles() + "/edit", {"hello world", "FAIL here", "  Next Line  ", ""});
  const std::vector<std::string> expected = {
      "[HELLO WORLD]", "[Error]", "[NEXT LINE]", "[]", "load attempts: 1",
  };
  EXPECT_EQ(out, expected);
}

TEST(TextEditLibrary, LibraryFillingTheWholeBufferGivesExactlyItsHundredBytes) {
  const std::string input = "0123456789\r\n";
  std::string filled;
  for (std::size_t i = 0; i < 100; ++i) filled += input[i % input.size()];
  const auto out = edit_lines(doubles() + "/full", {"0123456789"});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], shown(filled));
}

TEST(TextEditLibrary, NoLibraryOrNoEditTextMakesEveryLineErrorWithOneLoadAttempt) {
  tk::TempDir empty;
  const std::vector<std::string> errors = {"[Error]", "[Error]", "[Error]", "load attempts: 1"};
  EXPECT_EQ(edit_lines(empty.path(), {"one", "two", ""}), errors);
  EXPECT_EQ(edit_lines(doubles() + "/noedit", {"one", "two", ""}), errors);
}

}  // namespace
}  // namespace pink
