// The test kit's virtual port read the way the Wine comparisons read it:
// everything a program sent before it ended, however late the terminal
// hands it over, and nothing of the port's own marker.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::testkit {
namespace {

// A program that writes `count` numbered lines to the port, one write each,
// and ends.
void write_lines(const VirtualPort& port, int count) {
  const auto r = run("/bin/sh", {"-c", "i=1; while [ $i -le " + std::to_string(count) +
                                           " ]; do printf 'line %d\\r\\n' $i; i=$((i+1)); done > " + port.slave_path()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
}

std::string lines(int count) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += "line " + std::to_string(i) + "\r\n";
  return s;
}

TEST(VirtualPortSent, EverythingAnEndedProgramWroteInOrderAndNoMarker) {
  VirtualPort port(71);
  write_lines(port, 300);
  EXPECT_EQ(port.read_sent(20000), lines(300));
  // All of it was taken: a second look finds nothing, and takes its own
  // marker away too.
  EXPECT_EQ(port.read_sent(20000), "");
  EXPECT_EQ(port.pending(), 0u);
}

// A program that filled the terminal to the brim and ended: the marker
// cannot go in until this side has read, and still comes after every byte.
TEST(VirtualPortSent, AProgramThatFilledTheTerminal) {
  VirtualPort port(72);
  const auto r = run_python(
      "import os, sys\n"
      "fd = os.open(sys.argv[1], os.O_WRONLY | os.O_NOCTTY | os.O_NONBLOCK)\n"
      "n = 0\n"
      "while True:\n"
      "    try:\n"
      "        n += os.write(fd, b'x' * 512)\n"
      "    except BlockingIOError:\n"
      "        break\n"
      "print(n)\n",
      {port.slave_path()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::size_t filled = std::stoul(r.out);
  ASSERT_GT(filled, 1000u);
  const std::string got = port.read_sent(20000);
  EXPECT_EQ(got.size(), filled);
  EXPECT_EQ(got.find_first_not_of('x'), std::string::npos);
}

TEST(VirtualPortSent, NothingSentIsEmptyAtOnce) {
  VirtualPort port(73);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.read_sent(20000), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
}

}  // namespace
}  // namespace pink::testkit
