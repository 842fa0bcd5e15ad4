// The virtual pad's loop on a real virtual port: a control opens the port,
// sends, and gets the device's answers at their times; the operator's lines
// reach the device; "quit" and the stop condition end the loop.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "platform/clock.h"
#include "tests/vpad/fake_device.h"
#include "tools/testkit/vport.h"
#include "tools/vpad/runner.h"

namespace pink::vpad {
namespace {

// The control's side: the port's slave, opened as a program opens it.
class ControlSide {
 public:
  explicit ControlSide(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~ControlSide() { ::close(fd_); }
  bool ok() const { return fd_ >= 0; }
  void send(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
  // Reads until `n` bytes came or `ms` passed.
  std::string read(std::size_t n, int ms) {
    std::string got;
    const std::uint64_t end = clock::monotonic_ms() + static_cast<std::uint64_t>(ms);
    while (got.size() < n && clock::monotonic_ms() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buf[256];
      const ssize_t r = ::read(fd_, buf, sizeof buf);
      if (r > 0) got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
  }

 private:
  int fd_;
};

struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    ::close(fds[0]);
    if (fds[1] >= 0) ::close(fds[1]);
  }
  void say(const std::string& line) { ASSERT_EQ(::write(fds[1], line.data(), line.size()), static_cast<ssize_t>(line.size())); }
};

TEST(VpadRunner, AnswersOnTimeTakesTheOperatorsLinesAndEndsOnQuit) {
  testkit::VirtualPort port(71);
  std::ostringstream log, said;
  VirtualPad pad(std::make_unique<FakeDevice>(), log, [](std::uint64_t) { return std::string("T"); });
  Pipe operator_lines;
  Runner runner(pad, port.master_fd(), operator_lines.fds[0], said);
  Runner::End end = Runner::End::Stopped;
  std::thread loop([&] { end = runner.run({}, 1000); });

  ControlSide control(port.slave_path());
  ASSERT_TRUE(control.ok());
  const std::uint64_t asked = clock::monotonic_ms();
  control.send(std::string("\x02\x00\x02Q\x03\x00", 6));
  EXPECT_EQ(control.read(1, 5000), "A");
  EXPECT_EQ(control.read(1, 5000), "B");
  // "B" is due 40 ms after the question, never earlier.
  EXPECT_GE(clock::monotonic_ms() - asked, 40u);

  operator_lines.say("ping\nstream 3\n");
  EXPECT_EQ(control.read(7, 5000), "PONGppp");
  operator_lines.say("  quit \n");
  loop.join();
  EXPECT_EQ(end, Runner::End::Quit);
  EXPECT_EQ(said.str(), "vpad: ping: 1 piece to send\nvpad: stream 3: 3 pieces to send\n");
  EXPECT_EQ(log.str(),
            "T rx 02 00 02 51 03 00\nT tx 41\nT tx 42\nT tx 50 4F 4E 47\nT tx 70\nT tx 70\nT tx 70\n");
}

TEST(VpadRunner, StopsWhenAskedAndKeepsServingWithoutOperatorInput) {
  testkit::VirtualPort port(72);
  std::ostringstream log, said;
  std::vector<std::string> received;
  VirtualPad pad(std::make_unique<FakeDevice>(&received), log, [](std::uint64_t) { return std::string("T"); });
  Pipe operator_lines;
  ::close(operator_lines.fds[1]);  // the operator's input ends at once
  operator_lines.fds[1] = -1;
  std::atomic<bool> stop{false};
  Runner runner(pad, port.master_fd(), operator_lines.fds[0], said);
  Runner::End end = Runner::End::Quit;
  std::thread loop([&] { end = runner.run([&] { return stop.load(); }, 20); });

  ControlSide control(port.slave_path());
  control.send(std::string("\x02\x00\x02Q\x03\x00", 6));
  EXPECT_EQ(control.read(2, 5000), "AB");
  // Bytes that come as the loop ends are read and logged by finish().
  stop = true;
  loop.join();
  EXPECT_EQ(end, Runner::End::Stopped);
  control.send(std::string("\x02\x00", 2));
  ASSERT_TRUE(testkit::wait_until([&] { return port.pending() == 2; }, 5000));
  runner.finish();
  EXPECT_EQ(log.str(), "T rx 02 00 02 51 03 00\nT tx 41\nT tx 42\nT rx 02 00\n");
  EXPECT_EQ(received.size(), 2u);
  EXPECT_EQ(said.str(), "");
}

TEST(VpadRunner, APadNobodyReadsDropsWholePiecesPastTheBound) {
  testkit::VirtualPort port(73);
  std::ostringstream log, said;
  VirtualPad pad(std::make_unique<FakeDevice>(), log, [](std::uint64_t) { return std::string("T"); });
  Pipe operator_lines;
  Runner runner(pad, port.master_fd(), operator_lines.fds[0], said);
  bool dropped = false;
  std::thread loop([&] {
    // Asked on the loop's own thread, so `said` is only ever touched there.
    runner.run([&] { return dropped = said.str().find("bytes dropped") != std::string::npos; }, 20);
  });
  // Nobody reads the port: the kernel's queue fills, then vpad's own; the
  // second burst does not fit and goes whole.
  const std::size_t first = Runner::kMostUnread / 2 + 1000, second = Runner::kMostUnread / 2 + 1000;
  operator_lines.say("burst " + std::to_string(first) + "\nburst " + std::to_string(second) + "\n");
  loop.join();
  EXPECT_TRUE(dropped);
  EXPECT_NE(said.str().find("vpad: the control does not read the port; " + std::to_string(second) + " bytes dropped"),
            std::string::npos)
      << said.str();
  // What was not dropped arrives whole once the control reads.
  ControlSide control(port.slave_path());
  std::thread rest([&] { runner.run([&] { return runner.unread() == 0; }, 20); });
  const std::string got = control.read(first, 20000);
  rest.join();
  EXPECT_EQ(got.size(), first);
  EXPECT_EQ(got.find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(control.read(1, 100), "");
}

}  // namespace
}  // namespace pink::vpad
