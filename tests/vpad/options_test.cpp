// vpad's command line: every option reaches the pad's script, and every
// mistake is refused with a reason before anything runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/vpad/options.h"

namespace pink::vpad {
namespace {

using Init = signpad::PadScript::Init;

TEST(VpadOptions, EveryOptionReachesTheScript) {
  std::string error;
  auto o = parse_options({"stylpad", "com12", "--listen"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->family, "stylpad");
  EXPECT_EQ(o->com, 12);
  EXPECT_TRUE(o->listen);
  EXPECT_EQ(o->signature, "sample");
  EXPECT_EQ(o->script.init, Init::Answer);
  EXPECT_TRUE(o->script.sign_automatically);
  EXPECT_EQ(o->script.point_interval_ms, 10u);

  o = parse_options({"quillpad", "COM3", "--init", "esc", "--signature", "name.bmp", "--pace", "0", "--manual",
                     "--pin", "987654", "--info", "홍길동 9410", "--card-answer", "0b 12A0ff", "--log", "pad.log",
                     "--", "padctl", "quillpad", "--listen", "--"},
                    error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->com, 3);
  EXPECT_FALSE(o->listen);
  EXPECT_EQ(o->command, (std::vector<std::string>{"padctl", "quillpad", "--listen", "--"}));
  EXPECT_EQ(o->script.init, Init::Esc);
  EXPECT_EQ(o->signature, "name.bmp");
  EXPECT_EQ(o->script.point_interval_ms, 0u);
  EXPECT_FALSE(o->script.sign_automatically);
  EXPECT_EQ(o->script.pin, "987654");
  EXPECT_EQ(o->script.customer_info, "\xc8\xab\xb1\xe6\xb5\xbf 9410");  // cp949
  EXPECT_EQ(o->script.card_answer, (std::vector<std::uint8_t>{0x0B, 0x12, 0xA0, 0xFF}));
  EXPECT_EQ(o->log_file, "pad.log");

  o = parse_options({"tallypad", "COM1", "--init", "silent", "--listen"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->script.init, Init::Silent);

  o = parse_options({"--help"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->help);
}

TEST(VpadOptions, MistakesAreRefusedWithTheirReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "FAMILY and COMn are needed"},
      {{"tallypad"}, "FAMILY and COMn are needed"},
      {{"inkpad", "COM1", "--listen"}, "unknown pad family inkpad (tallypad, stylpad or quillpad)"},
      {{"tallypad", "LPT1", "--listen"}, "not a port name: LPT1"},
      {{"tallypad", "COM1"}, "give either --listen or -- PROGRAM"},
      {{"tallypad", "COM1", "--listen", "--", "padctl"}, "give either --listen or -- PROGRAM"},
      {{"tallypad", "COM1", "--"}, "no PROGRAM after --"},
      {{"tallypad", "COM1", "--init", "nak", "--listen"}, "--init takes answer, silent or esc"},
      {{"tallypad", "COM1", "--pace", "-1", "--listen"}, "--pace takes milliseconds from 0 to 60000"},
      {{"tallypad", "COM1", "--pace", "60001", "--listen"}, "--pace takes milliseconds from 0 to 60000"},
      {{"tallypad", "COM1", "--pace", "5ms", "--listen"}, "--pace takes milliseconds from 0 to 60000"},
      {{"tallypad", "COM1", "--pin", "12a4", "--listen"}, "--pin takes 1 to 16 digits"},
      {{"tallypad", "COM1", "--pin", "", "--listen"}, "--pin takes 1 to 16 digits"},
      {{"tallypad", "COM1", "--pin", "12345678901234567", "--listen"}, "--pin takes 1 to 16 digits"},
      {{"tallypad", "COM1", "--card-answer", "0B1", "--listen"}, "--card-answer takes up to 1024 bytes as hex digits"},
      {{"tallypad", "COM1", "--card-answer", "0G", "--listen"}, "--card-answer takes up to 1024 bytes as hex digits"},
      {{"tallypad", "COM1", "--card-answer", std::string(2050, 'A'), "--listen"},
       "--card-answer takes up to 1024 bytes as hex digits"},
      {{"tallypad", "COM1", "--signature", "", "--listen"}, "--signature takes sample or a bitmap file"},
      {{"tallypad", "COM1", "--listen", "--pin"}, "--pin needs a value"},
      {{"tallypad", "COM1", "--listen", "--loud"}, "unknown option --loud"},
      {{"tallypad", "COM1", "--help"}, "unknown option --help"},
  };
  for (const auto& [args, why] : cases) {
    std::string error;
    EXPECT_FALSE(parse_options(args, error)) << why;
    EXPECT_EQ(error, why);
  }
}

TEST(VpadOptions, HexPairsWithOrWithoutSpaces) {
  EXPECT_EQ(parse_hex(""), std::vector<std::uint8_t>{});
  EXPECT_EQ(parse_hex(" 00 ff Aa "), (std::vector<std::uint8_t>{0x00, 0xFF, 0xAA}));
  EXPECT_FALSE(parse_hex("0 0"));
  EXPECT_FALSE(parse_hex("0x10"));
}

}  // namespace
}  // namespace pink::vpad
