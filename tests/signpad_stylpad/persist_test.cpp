// What a form host saves of stylpad and gives back: its three persisted
// properties read and written through the member table, their stream form
// (every malformed stream refused without reading past its end), loading
// all or nothing, and the modified flag that decides whether a host saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "automation/persist.h"
#include "signpad/stylpad_control.h"

namespace pink::signpad::styl {
namespace {

namespace persist = automation::persist;
using automation::Value;

const automation::Member& row(const automation::Object& o, std::string_view name, std::int32_t kind) {
  for (const automation::Member& m : o.info().dispatch.members) {
    if (m.kind == kind && automation::same_name(m.name, name)) return m;
  }
  throw std::logic_error("no row " + std::string(name));
}

void set(StylpadControl& c, std::string_view name, Value v) {
  Value result;
  c.call(row(c, name, automation::kPut), std::span<Value>(&v, 1), result);
}

Value get(StylpadControl& c, std::string_view name) {
  const automation::Member& m = row(c, name, automation::kGet);
  Value result = Value::of(m.result);
  c.call(m, {}, result);
  return result;
}

std::vector<std::uint8_t> body_of(const std::vector<std::uint8_t>& stream) {
  return {stream.begin() + persist::kHeaderBytes, stream.end()};
}

TEST(StylpadPersistence, TheThreePropertiesRoundTripThroughTheStreamIntoAFreshControl) {
  StylpadControl first;
  EXPECT_FALSE(first.modified());
  set(first, "processClock", Value::boolean(true));
  set(first, "signpadframWidth", Value::i2(300));
  set(first, "signpadframHeight", Value::i2(-5));  // kept as the host gave it
  EXPECT_TRUE(first.modified());

  const std::vector<persist::Property> saved = persist::read(first, first.persisted());
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_EQ(saved[0].name, "processClock");
  EXPECT_EQ(saved[0].value.type, automation::Type::Bool);
  EXPECT_EQ(saved[0].value.num, -1);
  EXPECT_EQ(saved[1].value.num, 300);
  EXPECT_EQ(saved[2].value.num, -5);

  const std::vector<std::uint8_t> stream = persist::encode(saved);
  const auto length = persist::body_length(stream);
  ASSERT_TRUE(length);
  EXPECT_EQ(*length, stream.size() - persist::kHeaderBytes);
  const auto back = persist::decode_body(body_of(stream));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, saved);

  StylpadControl second;
  ASSERT_TRUE(persist::write(second, second.persisted(), *back));
  EXPECT_EQ(get(second, "processClock").num, -1);
  EXPECT_EQ(get(second, "signpadframWidth").num, 300);
  EXPECT_EQ(get(second, "signpadframHeight").num, -5);
}

TEST(StylpadPersistence, SettingAnyPersistedPropertyMarksTheControlModifiedAndReadingDoesNot) {
  for (const char* name : {"processClock", "signpadframWidth", "signpadframHeight"}) {
    StylpadControl c;
    get(c, name);
    EXPECT_FALSE(c.modified()) << name;
    set(c, name, std::string_view(name) == "processClock" ? Value::boolean(true) : Value::i2(12));
    EXPECT_TRUE(c.modified()) << name;
    c.set_modified(false);
    EXPECT_FALSE(c.modified()) << name;
  }
}

TEST(StylpadPersistence, LoadingIsAllOrNothing) {
  StylpadControl c;
  set(c, "signpadframWidth", Value::i2(111));
  const std::vector<persist::Property> wrong_type = {{"signpadframWidth", Value::i2(300)},
                                                    {"signpadframHeight", Value::string("tall")}};
  const std::vector<persist::Property> not_a_property = {{"signpadframWidth", Value::i2(300)},
                                                        {"OpenSign", Value::i4(1)}};
  const std::vector<persist::Property> unknown = {{"signpadframWidth", Value::i2(300)}, {"colour", Value::i2(1)}};
  for (const auto* props : {&wrong_type, &not_a_property, &unknown}) {
    EXPECT_FALSE(persist::write(c, c.persisted(), *props));
    EXPECT_EQ(get(c, "signpadframWidth").num, 111);
  }
  // A property the caller does not allow is refused like an unknown one.
  const std::string_view only_clock[] = {"processClock"};
  EXPECT_FALSE(persist::write(c, only_clock, {{{"signpadframWidth", Value::i2(300)}}}));
  EXPECT_EQ(get(c, "signpadframWidth").num, 111);
  // Names are matched as the member table matches them: ASCII case ignored.
  EXPECT_TRUE(persist::write(c, c.persisted(), {{{"SIGNPADFRAMWIDTH", Value::i2(222)}}}));
  EXPECT_EQ(get(c, "signpadframWidth").num, 222);
}

TEST(StylpadPersistence, MalformedStreamsAreRefusedWithoutReadingPastTheirEnd) {
  StylpadControl c;
  const std::vector<std::uint8_t> stream = persist::encode(persist::read(c, c.persisted()));
  const std::vector<std::uint8_t> body = body_of(stream);
  // Every cut of the body short of its end: refused inside a property, and
  // only the whole properties before it at a boundary (which is why the
  // header carries the body's length). ASan watches the reads.
  const auto whole = persist::decode_body(body);
  ASSERT_TRUE(whole);
  int boundaries = 0;
  for (std::size_t n = 1; n < body.size(); ++n) {
    const std::vector<std::uint8_t> cut(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(n));
    const auto got = persist::decode_body(cut);
    if (!got) continue;
    ++boundaries;
    ASSERT_LT(got->size(), whole->size()) << n;
    EXPECT_TRUE(std::equal(got->begin(), got->end(), whole->begin())) << n;
  }
  EXPECT_EQ(boundaries, 2);  // after the first and the second of three
  std::vector<std::uint8_t> longer = body;
  longer.push_back(0);
  EXPECT_FALSE(persist::decode_body(longer));  // a byte left over

  std::vector<std::uint8_t> unknown_type = body;
  unknown_type[1 + body[0]] = 0x7F;  // the first property's type
  EXPECT_FALSE(persist::decode_body(unknown_type));
  const std::vector<std::uint8_t> empty_name = {0, 2, 0, 1, 0};
  EXPECT_FALSE(persist::decode_body(empty_name));
  const std::vector<std::uint8_t> huge_string = {1, 'a', 8, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'x'};
  EXPECT_FALSE(persist::decode_body(huge_string));
  EXPECT_TRUE(persist::decode_body(std::vector<std::uint8_t>{}));  // no properties at all

  // Headers: another version, a body over the bound, too short.
  std::vector<std::uint8_t> header(stream.begin(), stream.begin() + persist::kHeaderBytes);
  EXPECT_TRUE(persist::body_length(header));
  header[0] = 2;
  EXPECT_FALSE(persist::body_length(header));
  const std::vector<std::uint8_t> too_large = {1, 0, 0x01, 0x00, 0x10, 0x00};  // kMaxBody + 1
  EXPECT_FALSE(persist::body_length(too_large));
  const std::vector<std::uint8_t> bound = {1, 0, 0x00, 0x00, 0x10, 0x00};
  EXPECT_EQ(persist::body_length(bound), persist::kMaxBody);
  EXPECT_FALSE(persist::body_length(std::vector<std::uint8_t>(stream.begin(), stream.begin() + 5)));
}

TEST(StylpadPersistence, WhatTheFormCannotSayIsRefusedWhenSaving) {
  EXPECT_THROW(persist::encode({{{std::string(256, 'n'), Value::i2(1)}}}), std::invalid_argument);
  EXPECT_THROW(persist::encode({{{"", Value::i2(1)}}}), std::invalid_argument);
  EXPECT_THROW(persist::encode({{{"x", Value{}}}}), std::invalid_argument);
  const std::vector<persist::Property> texts = {{std::string(255, 'n'), Value::string("\xB0\xA1")},
                                                {"b", Value::array({0, 1, 2})},
                                                {"c", Value::i4(-70000)}};
  const auto stream = persist::encode(texts);
  EXPECT_EQ(persist::decode_body(body_of(stream)), texts);
}

}  // namespace
}  // namespace pink::signpad::styl
