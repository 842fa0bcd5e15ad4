// The automation C interface through the probe object: creating by ProgID,
// member lookup, argument count and type checks, I2/I4 conversion, out-
// arguments, strings across the UTF-8/cp949 boundary, byte arrays, result
// ownership, and the null pointers a careless caller hands in.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "automation/table.h"
#include "tests/automation/probe.h"
#include "tests/automation/values.h"

namespace pink::automation::testing {
namespace {

TEST(AutomationLookup, ClassesByEitherProgIdAndMembersByNameIgnoringAsciiCase) {
  for (const char* progid : {"pinktest.Probe", "pinktest.Probe.1", "PINKTEST.probe.1"}) {
    Obj o(progid);
    ASSERT_TRUE(o) << progid;
  }
  Obj o("pinktest.Probe");
  EXPECT_EQ(pink_dispid(o.get(), "Add"), kAdd);
  EXPECT_EQ(pink_dispid(o.get(), "aDD"), kAdd);
  EXPECT_EQ(pink_dispid(o.get(), "FIREFROMTHREAD"), kFireFromThread);
  EXPECT_EQ(pink_dispid(o.get(), "level"), kLevel);  // one DISPID for get and put
  EXPECT_EQ(pink_dispid(o.get(), "Adds"), -1);
  EXPECT_EQ(pink_dispid(o.get(), ""), -1);
  EXPECT_EQ(pink_dispid(o.get(), "OnTick"), -1);  // events are not members
  EXPECT_EQ(pink_dispid(o.get(), nullptr), -1);
  EXPECT_EQ(pink_create("pinktest.Prob"), nullptr);
  EXPECT_EQ(pink_create("pinktest.Probe.2"), nullptr);
  EXPECT_EQ(pink_create(""), nullptr);
  EXPECT_EQ(pink_create(nullptr), nullptr);
}

TEST(AutomationLookup, NullObjectIsHandledByEveryFunction) {
  std::vector<pink_value> args = {str("x")};
  pink_value r{PINK_I4, 9, nullptr, nullptr, 0, 0};
  EXPECT_EQ(pink_invoke(nullptr, kEcho, PINK_METHOD, args.data(), 1, &r), PINK_E_MEMBER);
  EXPECT_EQ(r.type, PINK_EMPTY);
  EXPECT_EQ(pink_dispid(nullptr, "Echo"), -1);
  EXPECT_EQ(pink_pump(nullptr, 0), -1);
  EXPECT_EQ(pink_fd(nullptr), -1);
  EXPECT_EQ(pink_snapshot(nullptr, "/tmp/x.png", 10, 10), -1);
  pink_advise(nullptr, nullptr, nullptr);
  pink_release(nullptr);
}

TEST(AutomationInvoke, UnknownDispidOrKindIsMinusOneAndKindsMayBeCombined) {
  Obj o("pinktest.Probe");
  std::vector<pink_value> args = {str("x")};
  pink_value r{};
  EXPECT_EQ(pink_invoke(o.get(), 999, PINK_METHOD, args.data(), 1, &r), PINK_E_MEMBER);
  EXPECT_EQ(pink_invoke(o.get(), -1, PINK_METHOD, args.data(), 1, &r), PINK_E_MEMBER);
  EXPECT_EQ(pink_invoke(o.get(), kEcho, PINK_GET, args.data(), 1, &r), PINK_E_MEMBER);
  EXPECT_EQ(pink_invoke(o.get(), kEcho, 0, args.data(), 1, &r), PINK_E_MEMBER);
  std::vector<pink_value> none;
  EXPECT_EQ(o.call("Level", none, &r, PINK_METHOD), PINK_E_MEMBER);  // a property, not a method
  // Automation clients send METHOD | GET for a call that wants a value.
  ASSERT_EQ(o.call("Level", none, &r, PINK_METHOD | PINK_GET), PINK_OK);
  EXPECT_EQ(r.type, PINK_I2);
  ASSERT_EQ(o.call("Echo", args, &r, PINK_METHOD | PINK_GET), PINK_OK);
  EXPECT_STREQ(r.str, "x");
}

TEST(AutomationInvoke, WrongArgumentCountIsMinusTwoAndNothingRuns) {
  Obj o("pinktest.Probe");
  pink_value r{PINK_I4, 7, nullptr, nullptr, 0, 0};
  std::vector<pink_value> one = {i2(1)};
  std::vector<pink_value> three = {i2(1), i4(2), i4(3)};
  EXPECT_EQ(o.call("Add", one, &r), PINK_E_COUNT);
  EXPECT_EQ(r.type, PINK_EMPTY);
  EXPECT_EQ(o.call("Add", three, &r), PINK_E_COUNT);
  EXPECT_EQ(pink_invoke(o.get(), kAdd, PINK_METHOD, three.data(), -1, &r), PINK_E_COUNT);
  EXPECT_EQ(pink_invoke(o.get(), kAdd, PINK_METHOD, nullptr, 2, &r), PINK_E_COUNT);
  EXPECT_EQ(pink_invoke(o.get(), kStopTimer, PINK_METHOD, nullptr, 0, &r), PINK_OK);
  // A put of the right kind with no value did not run: the level is still 0.
  std::vector<pink_value> none;
  EXPECT_EQ(o.call("Level", none, &r, PINK_PUT), PINK_E_COUNT);
  std::vector<pink_value> split = {str("ab"), out(PINK_STR), out(PINK_I2)};
  EXPECT_EQ(o.call("Split", split, &r), PINK_E_COUNT);
  EXPECT_EQ(split[1].str, nullptr);
  ASSERT_EQ(o.call("Level", none, &r, PINK_GET), PINK_OK);
  EXPECT_EQ(r.num, 0);
}

TEST(AutomationInvoke, WrongArgumentTypeIsMinusThreeAndNothingIsWrittenBack) {
  Obj o("pinktest.Probe");
  pink_value r{};
  std::vector<pink_value> a = {i4(1)};
  EXPECT_EQ(o.call("Echo", a, &r), PINK_E_TYPE);
  a = {str("1"), i4(1)};
  EXPECT_EQ(o.call("Add", a, &r), PINK_E_TYPE);  // no text to number conversion
  a = {i4(-1)};
  EXPECT_EQ(o.call("Enabled", a, &r, PINK_PUT), PINK_E_TYPE);  // no number to bool
  a = {pink_value{PINK_BYTES, 0, nullptr, nullptr, 3, 0}};
  EXPECT_EQ(o.call("FromBytes", a, &r), PINK_E_TYPE);  // 3 bytes at NULL
  const std::vector<std::uint8_t> b = {1, 2};
  a = {pink_value{PINK_BYTES, 0, nullptr, b.data(), -1, 0}};
  EXPECT_EQ(o.call("FromBytes", a, &r), PINK_E_TYPE);

  // An out-argument that is not by reference could never be seen: refused,
  // and the arguments before it are left as they were.
  std::vector<pink_value> split = {str("ab cd"), out(PINK_STR), i2(0), out(PINK_I4, 5)};
  EXPECT_EQ(o.call("Split", split, &r), PINK_E_TYPE);
  EXPECT_EQ(split[1].str, nullptr);
  EXPECT_EQ(split[3].num, 5);
  split = {str("ab cd"), out(PINK_I4), out(PINK_I2), out(PINK_I4, 5)};  // number for a string
  EXPECT_EQ(o.call("Split", split, &r), PINK_E_TYPE);
  EXPECT_EQ(split[3].num, 5);
  std::vector<pink_value> total = {out(PINK_I2)};  // a short cannot take every long
  EXPECT_EQ(o.call("Total", total, &r), PINK_E_TYPE);
}

TEST(AutomationInvoke, ShortAndLongConvertAsAutomationDoesWithinTheShortRange) {
  Obj o("pinktest.Probe");
  pink_value r{};
  auto add = [&](pink_value a, pink_value b) {
    std::vector<pink_value> args = {a, b};
    return o.call("Add", args, &r);
  };
  ASSERT_EQ(add(i4(100), i2(5)), PINK_OK);  // I4 for the short, I2 for the long
  EXPECT_EQ(r.type, PINK_I4);
  EXPECT_EQ(r.num, 105);
  ASSERT_EQ(add(i4(32767), i4(1)), PINK_OK);
  EXPECT_EQ(r.num, 32768);
  ASSERT_EQ(add(i4(-32768), i4(-1)), PINK_OK);
  EXPECT_EQ(r.num, -32769);
  EXPECT_EQ(add(i4(32768), i4(0)), PINK_E_TYPE);
  EXPECT_EQ(add(i4(-32769), i4(0)), PINK_E_TYPE);
  EXPECT_EQ(add(i2(40000), i4(0)), PINK_E_TYPE);  // not a short at all
  EXPECT_EQ(add(i2(0), i2(-40000)), PINK_E_TYPE);

  std::vector<pink_value> put = {i4(-32768)};
  ASSERT_EQ(o.call("Level", put, &r, PINK_PUT), PINK_OK);
  std::vector<pink_value> none;
  ASSERT_EQ(o.call("Level", none, &r, PINK_GET), PINK_OK);
  EXPECT_EQ(r.type, PINK_I2);
  EXPECT_EQ(r.num, -32768);
  put = {i4(70000)};
  EXPECT_EQ(o.call("Level", put, &r, PINK_PUT), PINK_E_TYPE);
}

TEST(AutomationInvoke, OutArgumentsAreWrittenBackInPlaceAndTheRetvalIsAlsoTheResult) {
  Obj o("pinktest.Probe");
  pink_value r{};
  const char* mine = "caller's";
  std::vector<pink_value> split = {str("하나 둘"), out(PINK_STR), out(PINK_I2), out(PINK_I4, 5)};
  split[1].str = mine;
  ASSERT_EQ(o.call("Split", split, &r), PINK_OK);
  EXPECT_STREQ(split[1].str, "하나");
  EXPECT_EQ(split[2].num, 7);   // bytes of "하나 둘" in cp949
  EXPECT_EQ(split[3].num, 12);  // in and out: 5 + 7
  EXPECT_EQ(split[0].str, std::string("하나 둘")) << "in-arguments are not written";
  EXPECT_EQ(r.type, PINK_BOOL);
  EXPECT_EQ(r.num, -1);
  EXPECT_STREQ(mine, "caller's");

  // Out-arguments given EMPTY get their type; a short may be taken by an I4.
  split = {str(""), out(PINK_EMPTY), out(PINK_I4, 99), out(PINK_EMPTY)};
  ASSERT_EQ(o.call("Split", split, &r), PINK_OK);
  EXPECT_EQ(split[1].type, PINK_STR);
  EXPECT_STREQ(split[1].str, "");
  EXPECT_EQ(split[2].type, PINK_I4);
  EXPECT_EQ(split[2].num, 0);
  EXPECT_EQ(split[3].type, PINK_I4);
  EXPECT_EQ(split[3].num, 0);
  EXPECT_EQ(r.num, 0);

  std::vector<pink_value> total = {out(PINK_I4, -5)};
  ASSERT_EQ(o.call("Total", total, &r), PINK_OK);
  EXPECT_EQ(total[0].num, 0);
  EXPECT_EQ(r.type, PINK_I4);
  EXPECT_EQ(r.num, 0);
  std::vector<pink_value> again = {str("abc"), out(PINK_STR), out(PINK_I2), out(PINK_I4, 1)};
  ASSERT_EQ(o.call("Split", again, nullptr), PINK_OK);  // a NULL result is allowed
  ASSERT_EQ(o.call("Total", total, &r), PINK_OK);
  EXPECT_EQ(total[0].num, 4);
  EXPECT_EQ(r.num, 4);
}

TEST(AutomationStrings, NullIsEmptyAndKoreanCrossesAsUtf8OutsideAndCp949Inside) {
  Obj o("pinktest.Probe");
  pink_value r{};
  std::vector<pink_value> a = {str(nullptr)};
  ASSERT_EQ(o.call("Echo", a, &r), PINK_OK);
  EXPECT_EQ(r.type, PINK_STR);
  ASSERT_NE(r.str, nullptr);
  EXPECT_STREQ(r.str, "");

  const std::string korean = "영수증 출력 완료 ABC 123";
  a = {str(korean.c_str())};
  ASSERT_EQ(o.call("Echo", a, &r), PINK_OK);
  EXPECT_EQ(std::string(r.str), korean);

  a = {str("한글")};
  ASSERT_EQ(o.call("Cp949", a, &r), PINK_OK);
  EXPECT_EQ(r.type, PINK_BYTES);
  EXPECT_EQ(bytes_of(r), (std::vector<std::uint8_t>{0xC7, 0xD1, 0xB1, 0xDB}));

  const std::vector<std::uint8_t> cp949 = {0xB0, 0xA1, 0x41};  // "가A"
  a = {bytes(cp949)};
  ASSERT_EQ(o.call("FromBytes", a, &r), PINK_OK);
  EXPECT_STREQ(r.str, "가A");

  a = {str("a\xF0\x9F\x98\x80z")};  // a character without a cp949 code
  ASSERT_EQ(o.call("Cp949", a, &r), PINK_OK);
  EXPECT_EQ(bytes_of(r), (std::vector<std::uint8_t>{'a', '?', 'z'}));

  std::vector<pink_value> put = {str("포스 1")};
  ASSERT_EQ(o.call("Name", put, &r, PINK_PUT), PINK_OK);
  EXPECT_EQ(r.type, PINK_EMPTY);
  std::vector<pink_value> none;
  ASSERT_EQ(o.call("Name", none, &r, PINK_GET), PINK_OK);
  EXPECT_STREQ(r.str, "포스 1");
}

TEST(AutomationValues, ByteArraysBoolsAndVariantResults) {
  Obj o("pinktest.Probe");
  pink_value r{};
  std::vector<pink_value> fetch = {i2(5), out(PINK_I2, 9)};
  ASSERT_EQ(o.call("Fetch", fetch, &r), PINK_OK);
  EXPECT_EQ(r.type, PINK_BYTES);
  EXPECT_EQ(bytes_of(r), (std::vector<std::uint8_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(fetch[1].num, 1);
  fetch = {i2(0), out(PINK_I2, 9)};
  ASSERT_EQ(o.call("Fetch", fetch, &r), PINK_OK);
  EXPECT_EQ(r.type, PINK_EMPTY);  // the call decided: nothing
  EXPECT_EQ(fetch[1].num, 0);

  std::vector<pink_value> a = {pink_value{PINK_BYTES, 0, nullptr, nullptr, 0, 0}};
  std::vector<pink_value> blank = {str("")};
  ASSERT_EQ(o.call("Cp949", blank, &r), PINK_OK);
  EXPECT_EQ(r.len, 0);
  EXPECT_NE(r.bytes, nullptr) << "an empty array still points somewhere";
  ASSERT_EQ(o.call("FromBytes", a, &r), PINK_OK);
  EXPECT_STREQ(r.str, "");

  std::vector<pink_value> put = {boolean(1)};  // any non-zero number is true
  ASSERT_EQ(o.call("Enabled", put, &r, PINK_PUT), PINK_OK);
  std::vector<pink_value> none;
  ASSERT_EQ(o.call("Enabled", none, &r, PINK_GET), PINK_OK);
  EXPECT_EQ(r.type, PINK_BOOL);
  EXPECT_EQ(r.num, -1);
}

TEST(AutomationResults, StayValidUntilTheNextInvokeAndAFailingMemberIsMinusFour) {
  Obj o("pinktest.Probe");
  pink_value r{};
  std::vector<pink_value> split = {str("first second"), out(PINK_STR), out(PINK_I2), out(PINK_I4)};
  ASSERT_EQ(o.call("Split", split, nullptr), PINK_OK);
  std::vector<pink_value> echo = {str("echoed")};
  const char* head = split[1].str;
  // Calls that are not invoke or pump leave them alone.
  EXPECT_EQ(pink_dispid(o.get(), "Echo"), kEcho);
  EXPECT_GE(pink_fd(o.get()), 0);
  pink_advise(o.get(), nullptr, nullptr);
  EXPECT_EQ(pink_snapshot(o.get(), "/nonexistent/x.png", 10, 10), -1);  // no window
  EXPECT_STREQ(head, "first");

  std::vector<pink_value> none;
  pink_value failed{PINK_I4, 3, nullptr, nullptr, 0, 0};
  EXPECT_EQ(o.call("Throw", none, &failed), PINK_E_FAILED);
  EXPECT_EQ(failed.type, PINK_EMPTY);
  ASSERT_EQ(o.call("Echo", echo, &r), PINK_OK);  // the object goes on
  EXPECT_STREQ(r.str, "echoed");
}

// The rules every member table is held to, checked on tables that break one.
TEST(AutomationTable, MalformedTablesAreFound) {
  constexpr std::array<Param, 1> value{{{"v", Type::I2, Dir::In}}};
  constexpr std::array<Param, 2> retval_first{{{"r", Type::I4, Dir::Retval}, {"v", Type::I2, Dir::In}}};
  constexpr std::array<Param, 1> retval_short{{{"r", Type::I2, Dir::Retval}}};
  const Member good[] = {{"Level", 1, kGet, {}, Type::I2}, {"level", 1, kPut, value, Type::Empty},
                         {"Other", -552, kMethod, {}, Type::Empty}};
  EXPECT_EQ(table_fault(good, false), nullptr);
  const Member twice[] = {{"A", 1, kMethod, {}, Type::Empty}, {"B", 1, kMethod, {}, Type::Empty}};
  EXPECT_NE(table_fault(twice, false), nullptr);
  const Member two_ids[] = {{"A", 1, kGet, {}, Type::I2}, {"a", 2, kPut, value, Type::Empty}};
  EXPECT_NE(table_fault(two_ids, false), nullptr);
  const Member two_names[] = {{"A", 1, kGet, {}, Type::I2}, {"B", 1, kPut, value, Type::Empty}};
  EXPECT_NE(table_fault(two_names, false), nullptr);
  const Member unknown[] = {{"A", -1, kMethod, {}, Type::Empty}};
  EXPECT_NE(table_fault(unknown, false), nullptr);
  const Member combined[] = {{"A", 1, kMethod | kGet, {}, Type::I2}};
  EXPECT_NE(table_fault(combined, false), nullptr);
  const Member misplaced[] = {{"A", 1, kMethod, retval_first, Type::I4}};
  EXPECT_NE(table_fault(misplaced, false), nullptr);
  const Member mistyped[] = {{"A", 1, kMethod, retval_short, Type::I4}};
  EXPECT_NE(table_fault(mistyped, false), nullptr);
  const Member put_result[] = {{"A", 1, kPut, value, Type::I2}};
  EXPECT_NE(table_fault(put_result, false), nullptr);
  const Member get_nothing[] = {{"A", 1, kGet, {}, Type::Empty}};
  EXPECT_NE(table_fault(get_nothing, false), nullptr);
  const Member event_result[] = {{"OnA", 1, kMethod, value, Type::I2}};
  EXPECT_NE(table_fault(event_result, true), nullptr);
  EXPECT_EQ(table_fault(event_result, false), nullptr);
}

}  // namespace
}  // namespace pink::automation::testing
