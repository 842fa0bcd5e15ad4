// The text edit wrapper: what EditText is given, how its buffer is read back,
// and how every failure becomes "Error".
#include "textedit/textedit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace pink {
namespace {

using textedit::Binding;

// What the library saw on its last call.
struct Seen {
  std::string input;
  std::string buffer;  // the 100 bytes and the terminator, as handed over
  std::int32_t mode = -1;
};
Seen seen;

// What the library writes into the buffer (explicit length: may hold NULs or
// run past the 100 bytes) and what it returns.
std::string to_write;
std::int32_t to_return = 0;

std::int32_t PINK_CALL recording_edit(const char* input, char* output, std::int32_t mode) {
  seen.input = input;
  seen.buffer.assign(output, textedit::kBufferSize + 1);
  seen.mode = mode;
  std::memcpy(output, to_write.data(), to_write.size());
  return to_return;
}

std::int32_t PINK_CALL throwing_edit(const char*, char*, std::int32_t) {
  throw std::runtime_error("editing failed");
}

TEST(TextEdit, LibraryGetsTheLineWithCrLfABlankBufferAndModeZero) {
  Binding binding(&recording_edit);
  to_write.clear();
  to_return = 0;

  EXPECT_EQ(binding.edit("Total 1,000"), "") << "nothing written: only blanks, trimmed away";
  EXPECT_EQ(seen.input, "Total 1,000\r\n");
  EXPECT_EQ(seen.buffer, std::string(100, ' ') + '\0');
  EXPECT_EQ(seen.mode, 0);

  // cp949 bytes pass as they are; an empty line is just its line end.
  binding.edit("\xC7\xD1\xB1\xDB 2");
  EXPECT_EQ(seen.input, "\xC7\xD1\xB1\xDB 2\r\n");
  binding.edit("");
  EXPECT_EQ(seen.input, "\r\n");
  // The input is a C string: a line holding a 00 byte ends there.
  binding.edit(std::string("ab\0cd", 5));
  EXPECT_EQ(seen.input, "ab");
  EXPECT_EQ(binding.load_attempts(), 0);
}

TEST(TextEdit, ResultIsTheBufferTextUpToItsNulWithBlanksTrimmed) {
  struct Case {
    std::string written;
    std::string expected;
  };
  const Case cases[] = {
      {std::string("   x  y   \0", 11), "x  y"},
      {"  A\r\n", "A\r\n"},                         // the rest of the buffer is blanks
      {std::string(" \tx\t \0", 6), "\tx\t"},        // only blanks (0x20) are trimmed
      {std::string("ab\0cd", 5), "ab"},              // the text ends at the first NUL
      {std::string("\0zz", 3), ""},
      {std::string(100, ' '), ""},
      {std::string(100, 'W'), std::string(100, 'W')},  // the whole buffer, no NUL
      // A library that overwrites the terminator and runs on past it: still
      // exactly the 100 bytes, and the bytes behind stay in memory of ours.
      {std::string(164, 'Z'), std::string(100, 'Z')},
  };
  Binding binding(&recording_edit);
  to_return = 0;
  for (const auto& c : cases) {
    to_write = c.written;
    EXPECT_EQ(binding.edit("line"), c.expected) << "written: " << c.written;
  }
}

TEST(TextEdit, RefusedLinesExceptionsAndNoFunctionGiveError) {
  Binding binding(&recording_edit);
  to_write = "edited";
  for (const std::int32_t code : {5, 1, -1}) {
    to_return = code;
    EXPECT_EQ(binding.edit("line"), "Error") << code;
  }
  to_return = 0;
  EXPECT_EQ(binding.edit("line"), "edited") << "a refused line does not stop the next";

  Binding throwing(&throwing_edit);
  EXPECT_EQ(throwing.edit("line"), "Error");
  Binding none(textedit::EditTextFn{nullptr});
  EXPECT_EQ(none.edit("line"), "Error");
}

TEST(TextEdit, MissingLibraryIsTriedOnceAndEveryLineGivesError) {
  Binding binding("pink_textedit_nowhere");
  EXPECT_EQ(binding.load_attempts(), 0) << "nothing is loaded before the first line";
  for (const char* line : {"one", "", "three"}) EXPECT_EQ(binding.edit(line), "Error");
  EXPECT_EQ(binding.load_attempts(), 1);
  EXPECT_NE(binding.load_error().find("libpink_textedit_nowhere.so"), std::string::npos)
      << binding.load_error();
}

}  // namespace
}  // namespace pink
