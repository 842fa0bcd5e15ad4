// The programs' failure path: what a caught exception stands for, and a
// report that never throws, even when the mailbox refuses the keys.
#include "mailbox/failpath.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace pink::mailbox {
namespace {

TEST(FailurePath, AnyExceptionBecomesAFailureWithItsNumberAndText) {
  const Failure own(Err::DeviceIoError, "Device I/O error", "3 of 9 bytes written");
  const Failure same = as_failure(own);
  EXPECT_EQ(same.number(), 57);
  EXPECT_EQ(same.full_text(), own.full_text());

  const Failure other = as_failure(std::runtime_error("bad allocation somewhere"));
  EXPECT_EQ(other.number(), static_cast<int>(Err::InternalError));
  EXPECT_NE(other.full_text().find("bad allocation somewhere"), std::string::npos);
}

TEST(FailurePath, RefusedKeysAndOddExceptionsGoNoFurther) {
  std::vector<std::string> written;
  const Failure failure(Err::FileNotFound);
  EXPECT_NO_THROW(report_failure("printer", failure, [&] {
    written.push_back("state");
    throw Failure(Err::PermissionDenied);  // the store refuses the next key
  }));
  EXPECT_EQ(written, std::vector<std::string>{"state"});
  EXPECT_NO_THROW(report_failure("printer", failure, [] { throw 42; }));
  EXPECT_NO_THROW(report_on_console("printer", Failure(Err::DeviceIoError, "")));
}

}  // namespace
}  // namespace pink::mailbox
