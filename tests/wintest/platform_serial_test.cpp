// The platform layer's Windows side under Wine, part two: the serial port
// and the serial control on virtual lines whose other end this test plays
// for the Windows test program (echo, line settings, bytes on request).
#include <gtest/gtest.h>

#include "tests/wintest/wine_fixture.h"

namespace pink {
namespace {

// One suite case of the Windows test program on COM<n>.
::testing::AssertionResult run_case(int n, const std::string& test) {
  testkit::WinePort port(n);
  testkit::RunOptions o;
  o.env["PINK_TEST_COM"] = std::to_string(n);
  return wintest::run_with_peer(port, wintest::test_program("winplatform_tests.exe"), {"--gtest_filter=" + test}, o);
}

TEST(WindowsSerialPort, NamesAndMissingPorts) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(60, "Serial.NamesAndMissingPorts"));
}

TEST(WindowsSerialPort, LineSettingsReachTheLine) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(61, "Serial.LineSettingsReachTheLine"));
}

// The receipt library's pattern (small writes, a purge of both directions
// after each, then the close) with nobody reading until the end: every byte
// is there.
TEST(WindowsSerialPort, CompletedWritesSurviveOutputPurgesAndTheClose) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(62, "Serial.CompletedWritesSurviveOutputPurgesAndTheClose"));
}

TEST(WindowsSerialPort, AWriteThatCannotFinishIsDroppedByAnOutputPurge) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(63, "Serial.AWriteThatCannotFinishIsDroppedByAnOutputPurge"));
}

TEST(WindowsSerialPort, TimeOutsBoundAReadAndAReceiveEventEndsAWait) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(64, "Serial.TimeOutsBoundAReadAndAReceiveEventEndsAWait"));
}

TEST(WindowsSerialControl, SendsExactBytesAtTheLineSettings) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(65, "Comm.SendsExactBytesAtTheLineSettings"));
}

TEST(WindowsSerialControl, FailuresCarryTheirNumbers) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(66, "Comm.FailuresCarryTheirNumbers"));
}

TEST(WindowsSerialControl, OutputThenOutBufferCountZeroLosesNoByte) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(67, "Comm.OutputThenOutBufferCountZeroLosesNoByte"));
}

TEST(WindowsSerialControl, InputTakesWhatWaitsAndTheReceiveEventFollowsTheThreshold) {
  PINK_REQUIRE_WINE();
  EXPECT_TRUE(run_case(68, "Comm.InputTakesWhatWaitsAndTheReceiveEventFollowsTheThreshold"));
}

}  // namespace
}  // namespace pink
