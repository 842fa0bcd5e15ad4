// padctl's command line over the family tables: every family's commands and
// options reach the job, and what a family or command does not take is
// refused with the reason before any control is made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/padctl/options.h"

namespace pink::padctl {
namespace {

TEST(PadctlOptions, TheIntegratorsExamplesParse) {
  std::string error;
  auto o = parse_options({"tallypad", "--port", "3", "sign", "5000", "감사합니다", "--bmp", "sign.bmp"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->family->progid, "TALLYPAD.TallypadCtrl.1");
  EXPECT_EQ(o->command->name, "sign");
  EXPECT_EQ(o->args, (std::vector<std::string>{"5000", "감사합니다"}));
  EXPECT_EQ(o->port, 3);
  EXPECT_EQ(o->bmp, "sign.bmp");
  EXPECT_EQ(o->timeout_ms, 60000u);
  EXPECT_FALSE(o->baud);

  o = parse_options({"stylpad", "--port", "2", "pin", "--len", "6"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->family->progid, "STYLPAD.StylPadCtrl.1");
  EXPECT_EQ(o->pin_len, 6);

  o = parse_options({"quillpad", "--port", "1", "custinfo", "--timeout", "3000", "--snapshot", "pad.png",
                     "--size", "512x256", "--log", "logs", "--cancel", "1500", "--baud", "9600"},
                    error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->family->progid, "QUILLPAD.QuillpadCtrl.1");
  EXPECT_EQ(o->timeout_ms, 3000u);
  EXPECT_EQ(o->snapshot, "pad.png");
  EXPECT_EQ(o->size, (std::pair{512, 256}));
  EXPECT_EQ(o->log_dir, "logs");
  EXPECT_EQ(o->baud, 9600);
  ASSERT_EQ(o->timed.size(), 1u);
  EXPECT_EQ(o->timed[0].action->name, "cancel");
  EXPECT_EQ(o->timed[0].after_ms, 1500u);

  // Options anywhere, "--" before an argument that looks like one, and a
  // negative port left for the control to refuse.
  o = parse_options({"stylpad", "sign", "--accept", "4000", "--clear", "1000", "--port", "-1", "--", "--5000--"},
                    error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->args, (std::vector<std::string>{"--5000--"}));
  EXPECT_EQ(o->port, -1);
  ASSERT_EQ(o->timed.size(), 2u);
  EXPECT_EQ(o->timed[1].action->name, "clear");

  o = parse_options({"tallypad", "--help"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->help);
  EXPECT_EQ(o->family->name, "tallypad");
}

TEST(PadctlOptions, EveryCommandOfTheTablesIsReachable) {
  // The commands and their arguments, as the help lists them.
  const std::vector<std::vector<std::string>> lines = {
      {"tallypad", "init"},
      {"tallypad", "sign", "1000"},
      {"tallypad", "pin", "1000", "PIN"},
      {"tallypad", "pinenc", "9410000011112222", "1000", "PIN"},
      {"tallypad", "logon", "SITE01"},
      {"tallypad", "card", "0000001", "SITE01"},
      {"tallypad", "member", "0000001", "SITE01", "1234"},
      {"tallypad", "debit", "0000001", "SITE01", "1234"},
      {"tallypad", "ticket", "0000001", "SITE01", "1234"},
      {"tallypad", "gift", "0000001", "SITE01", "1234"},
      {"tallypad", "sports", "0000001", "SITE01", "1234"},
      {"tallypad", "cash", "0000001", "SITE01", "1234"},
      {"tallypad", "cardmember", "0000001", "SITE01", "1234", "5678"},
      {"tallypad", "cardinfo", "SITE01", "01CARD"},
      {"tallypad", "donglecancel"},
      {"stylpad", "sign"},
      {"stylpad", "pin"},
      {"quillpad", "sign", "9410000011112222", "TRINFO"},
      {"quillpad", "custinfo"},
      {"quillpad", "pin", "9410000011112222", "1000"},
      {"quillpad", "cancel"},
  };
  const std::string help = usage();
  std::size_t commands = 0;
  for (const Family& f : families()) commands += f.commands.size();
  EXPECT_EQ(commands, lines.size());
  for (const auto& line : lines) {
    std::string error;
    const auto o = parse_options(line, error);
    ASSERT_TRUE(o) << line[1] << ": " << error;
    EXPECT_NE(help.find("  " + line[1]), std::string::npos) << line[1];
  }
}

TEST(PadctlOptions, WhatAFamilyOrCommandDoesNotTakeIsRefused) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "FAMILY and COMMAND are needed"},
      {{"inkpad", "sign"}, "unknown pad family inkpad (tallypad, stylpad or quillpad)"},
      {{"tallypad"}, "no COMMAND given"},
      {{"tallypad", "--port", "3"}, "no COMMAND given"},
      {{"tallypad", "scan"}, "unknown tallypad command scan"},
      {{"tallypad", "sign"}, "tallypad sign takes AMOUNT [MSG]"},
      {{"tallypad", "sign", "1", "2", "3"}, "tallypad sign takes AMOUNT [MSG]"},
      {{"tallypad", "init", "now"}, "tallypad init takes no arguments"},
      {{"quillpad", "pin", "9410"}, "quillpad pin takes CARDNO AMOUNT [WORKINGKEY]"},
      {{"stylpad", "sign", "--baud", "9600"}, "stylpad takes no --baud"},
      {{"tallypad", "init", "--log", "logs"}, "tallypad keeps no logs (--log)"},
      {{"tallypad", "pin", "1", "2", "--bmp", "a.bmp"}, "pin writes no bitmap (--bmp)"},
      {{"stylpad", "sign", "--len", "4"}, "sign takes no --len"},
      {{"quillpad", "cancel", "--cancel", "10"}, "cancel takes no --cancel"},
      {{"tallypad", "init", "--accept", "10"}, "unknown option --accept"},
      {{"stylpad", "sign", "--accept", "soon"}, "--accept takes milliseconds"},
      {{"tallypad", "init", "--port", "70000"}, "--port takes a port number"},
      {{"tallypad", "init", "--port", "three"}, "--port takes a port number"},
      {{"tallypad", "init", "--baud", "0"}, "--baud takes a speed"},
      {{"tallypad", "init", "--timeout", "0"}, "--timeout takes milliseconds"},
      {{"stylpad", "pin", "--len", "100"}, "--len takes a PIN length from 1 to 99"},
      {{"tallypad", "init", "--snapshot", "a.png", "--size", "0x10"}, "--size takes WIDTHxHEIGHT, each 1 to 4096"},
      {{"tallypad", "init", "--size", "300x100"}, "--size goes with --snapshot"},
      {{"tallypad", "init", "--bmp", ""}, "--bmp takes a name"},
      {{"tallypad", "init", "--timeout"}, "--timeout needs a value"},
      {{"tallypad", "init", "--colour", "red"}, "unknown option --colour"},
  };
  for (const auto& [args, why] : cases) {
    std::string error;
    EXPECT_FALSE(parse_options(args, error)) << why;
    EXPECT_EQ(error, why);
  }
}

}  // namespace
}  // namespace pink::padctl
