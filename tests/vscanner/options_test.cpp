// vscanner's command line and the bytes of a code.
#include "tools/vscanner/options.h"

#include <gtest/gtest.h>

namespace pink::vscanner {
namespace {

TEST(VscannerOptions, CodesOptionsAndTheProgram) {
  const Parsed p = parse({"COM2", "--end", "crlf", "4901234567894", "--gap", "25", "ABC", "--",
                          "pos", "--codes", "x"});
  ASSERT_TRUE(p.options) << p.error;
  const Options& o = *p.options;
  EXPECT_EQ(o.com, 2);
  EXPECT_EQ(o.ending, "\r\n");
  EXPECT_EQ(o.gap_ms, 25u);
  EXPECT_TRUE(o.wait_open);
  EXPECT_FALSE(o.listen);
  EXPECT_EQ(o.codes, (std::vector<std::string>{"4901234567894", "ABC"}));
  // Everything behind "--" belongs to the program, options included.
  EXPECT_EQ(o.command, (std::vector<std::string>{"pos", "--codes", "x"}));

  const Parsed l = parse({"com9", "--listen", "--no-wait"});
  ASSERT_TRUE(l.options) << l.error;
  EXPECT_EQ(l.options->com, 9);
  EXPECT_EQ(l.options->ending, "\r");
  EXPECT_EQ(l.options->gap_ms, 100u);
  EXPECT_TRUE(l.options->listen);
  EXPECT_FALSE(l.options->wait_open);
  EXPECT_TRUE(l.options->codes.empty());  // codes come from standard input

  EXPECT_TRUE(parse({"--help"}).options->help);
}

TEST(VscannerOptions, BadUsageSaysWhy) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "no port given"},
      {{"LPT1", "--listen"}, "not a port name: LPT1"},
      {{"COM2"}, "give -- PROGRAM or --listen"},
      {{"COM2", "--listen", "--", "pos"}, "--listen takes no program"},
      {{"COM2", "--"}, "no program after --"},
      {{"COM2", "--end", "lf", "--listen"}, "--end takes cr or crlf, not lf"},
      {{"COM2", "--gap", "-1", "--listen"}, "--gap takes milliseconds (0 to 3600000), not -1"},
      {{"COM2", "--gap", "10ms", "--listen"}, "--gap takes milliseconds (0 to 3600000), not 10ms"},
      {{"COM2", "--listen", "--gap"}, "unknown option --gap"},
      {{"COM2", "--fast", "--listen"}, "unknown option --fast"},
  };
  for (const auto& c : cases) {
    const Parsed p = parse(c.args);
    EXPECT_FALSE(p.options) << c.error;
    EXPECT_EQ(p.error, c.error);
  }
}

TEST(VscannerFrame, TypedTextGoesOutAsCp949WithTheEnding) {
  EXPECT_EQ(frame("4901234567894", "\r"), "4901234567894\r");
  EXPECT_EQ(frame("", "\r\n"), "\r\n");
  EXPECT_EQ(frame("주문1", "\r"), "\xc1\xd6\xb9\xae" "1\r");
  EXPECT_EQ(line_code("ABC\r\n"), "ABC");
  EXPECT_EQ(line_code("ABC\n"), "ABC");
  EXPECT_EQ(line_code("ABC"), "ABC");
  EXPECT_EQ(line_code("\n"), "");
  EXPECT_EQ(line_code("A\rB\n"), "A\rB");  // only the line end goes
}

}  // namespace
}  // namespace pink::vscanner
