// The value-or-reason result of platform calls.
#include "platform/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace pink {
namespace {

struct Base {
  virtual ~Base() = default;
  virtual std::string name() const { return "base"; }
};
struct Derived final : Base {
  std::string name() const override { return "derived"; }
};

struct Port {
  int number = 0;
  std::string label;
};

// Only an explicit test tells success: a Result never slips into an integer
// or a flag by accident.
static_assert(!std::is_convertible_v<Result<int>, bool>);
static_assert(!std::is_convertible_v<Result<void>, bool>);
static_assert(std::is_constructible_v<bool, Result<int>>);

TEST(Result, HoldsAValueOrAReason) {
  Result<Port> port = Port{9100, "printer"};
  ASSERT_TRUE(port);
  EXPECT_TRUE(port.ok());
  EXPECT_EQ(port->number, 9100);
  EXPECT_EQ((*port).label, "printer");
  EXPECT_EQ(port.value().label, "printer");
  EXPECT_EQ(port.why(), "");
  port->number = 9101;
  EXPECT_EQ(port.value().number, 9101);

  const auto refused = Result<Port>::failure("connect: Connection refused");
  EXPECT_FALSE(refused);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.why(), "connect: Connection refused");

  // A zero or empty value is still a success.
  const Result<int> zero = 0;
  EXPECT_TRUE(zero);
  EXPECT_EQ(*zero, 0);
  const Result<std::string> empty = std::string();
  EXPECT_TRUE(empty);
  EXPECT_EQ(*empty, "");
  // ... and a failure without a reason is still a failure.
  EXPECT_FALSE(Result<int>::failure(""));
}

TEST(Result, OwnedObjectsMoveOutAndMemberAccessReachesThem) {
  // A pointer to the derived class is taken for one to its base.
  Result<std::unique_ptr<Base>> made = std::make_unique<Derived>();
  ASSERT_TRUE(made);
  EXPECT_EQ(made->name(), "derived");  // through the held pointer
  EXPECT_EQ((*made)->name(), "derived");

  std::unique_ptr<Base> taken = std::move(made).value();
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(taken->name(), "derived");

  Result<std::unique_ptr<Base>> again = std::make_unique<Base>();
  std::unique_ptr<Base> moved = std::move(*again);
  EXPECT_EQ(moved->name(), "base");
  EXPECT_EQ(*again, nullptr);  // what stays behind is the moved-from pointer

  const auto failed = Result<std::unique_ptr<Base>>::failure("no " + std::string("libpink.so"));
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.why(), "no libpink.so");

  // The value's own moves are kept: the reason of a moved failure survives.
  auto reason = Result<std::unique_ptr<Base>>::failure("gone");
  const auto moved_failure = std::move(reason);
  EXPECT_FALSE(moved_failure);
  EXPECT_EQ(moved_failure.why(), "gone");
}

TEST(Result, NothingToReturnStillCarriesTheReason) {
  const Result<void> done;
  EXPECT_TRUE(done);
  EXPECT_TRUE(done.ok());
  EXPECT_EQ(done.why(), "");

  Result<void> step = Result<void>::failure("/var/log/pink: No space left on device");
  EXPECT_FALSE(step);
  EXPECT_EQ(step.why(), "/var/log/pink: No space left on device");

  // Steps run in order: the first failure stops the rest and is the one told.
  int ran = 0;
  auto run = [&](bool succeed, const char* why) {
    ++ran;
    return succeed ? Result<void>() : Result<void>::failure(why);
  };
  Result<void> chain = run(true, "");
  if (chain) chain = run(false, "second");
  if (chain) chain = run(false, "third");
  EXPECT_EQ(ran, 2);
  EXPECT_EQ(chain.why(), "second");
  chain = Result<void>();
  EXPECT_TRUE(chain);
  EXPECT_EQ(chain.why(), "");
}

}  // namespace
}  // namespace pink
