// The simulator's command line: what each option sets, and the usage errors.
#include "tools/paysim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/paysim/message.h"

namespace pink::paysim {
namespace {

using Args = std::vector<std::string>;

Args with_identity(Args more) {
  Args a{"--cert", "c.pem", "--key", "k.pem"};
  a.insert(a.end(), more.begin(), more.end());
  return a;
}

TEST(PaysimOptions, EachOptionSetsItsPartOfTheScriptAndTheSetup) {
  std::string error;
  const auto o = parse_options(
      with_identity({"--host", "10.1.2.3", "--port", "8443", "--connections", "2", "--ca", "ca.pem",
                     "--request-length", "40", "--quiet-ms", "7", "--wait", "3", "--short", "\x05",
                     "--second-response", "SECOND", "--nak", "--two-responses", "--no-eot",
                     "--close-early", "--enq-twice", "--ack4"}),
      error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->host, "10.1.2.3");
  EXPECT_EQ(o->port, 8443);
  EXPECT_EQ(o->connections, 2u);
  EXPECT_EQ(o->ca_file, "ca.pem");
  EXPECT_EQ(o->script.request_length, 40u);
  EXPECT_EQ(o->script.quiet_ms, 7u);
  EXPECT_EQ(o->script.wait_ms, 3000u);
  EXPECT_EQ(o->script.short_block, "\x05");
  EXPECT_EQ(o->script.second_response, "SECOND");
  const Script& s = o->script;
  EXPECT_TRUE(s.nak && s.two_responses && s.no_eot && s.close_early && s.enq_twice && s.ack4);
  EXPECT_FALSE(s.silent || s.nak_byte_as_response);
  // The other answers to a request: one at a time.
  EXPECT_TRUE(parse_options(with_identity({"--silent"}), error)->script.silent);
  EXPECT_TRUE(parse_options(with_identity({"--nak-byte-as-response"}), error)->script.nak_byte_as_response);
  EXPECT_FALSE(parse_options(with_identity({"--silent", "--nak"}), error));
  EXPECT_EQ(s.response, approval_response());  // no answer option: the approval

  const auto plain = parse_options(with_identity({}), error);
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->script.nak || plain->script.ack4 || plain->script.silent);
  EXPECT_EQ(parse_options(with_identity({"--refusal"}), error)->script.response, refusal_response());
  EXPECT_EQ(parse_options(with_identity({"--response", "TEXT"}), error)->script.response, "TEXT");
  EXPECT_EQ(parse_options(with_identity({"--response-file", "r.txt"}), error)->response_file, "r.txt");
  EXPECT_TRUE(parse_options({"--help"}, error)->help);
  EXPECT_EQ(parse_options({"--make-certs", "dir"}, error)->make_certs_dir, "dir");
}

TEST(PaysimOptions, UsageErrorsSayWhatIsWrong) {
  const std::vector<std::pair<Args, std::string>> cases{
      {with_identity({"--port"}), "--port needs a value"},
      {with_identity({"--port", "65536"}), "--port needs a number from 0 to 65535, not \"65536\""},
      {with_identity({"--wait", "x"}), "--wait needs a number from 0 to 86400, not \"x\""},
      {with_identity({"--host", "example"}), "--host needs a dotted IPv4 address"},
      {with_identity({"--short", ""}), "--short needs a block of 1 to 10 bytes"},
      {with_identity({"--bogus"}), "unknown option \"--bogus\""},
      {with_identity({"--refusal", "--response", "X"}),
       "choose one of --response, --response-file and --refusal"},
      {{"--port", "1"}, "--cert and --key are needed (paysim --make-certs DIR writes a test set)"},
  };
  for (const auto& [args, expected] : cases) {
    std::string error;
    EXPECT_FALSE(parse_options(args, error)) << expected;
    EXPECT_EQ(error, expected);
  }
}

}  // namespace
}  // namespace pink::paysim
