// Posting a message to a "window" on Linux: the record on the caller's
// descriptor, and a caller that does not read or is gone.
#include "platform/window.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "tests/scanio/sinks.h"

namespace pink {
namespace {

using testkit::Message;
using testkit::Pipe;

TEST(PostMessage, WritesOneLittleEndianRecordToAPipe) {
  Pipe pipe;
  ASSERT_TRUE(window::post_message(pipe.window(), 0x12345678, 0x9ABCDEF0, 1));
  const std::string bytes = testkit::read_up_to(pipe.read_end(), 12, 2000);
  EXPECT_EQ(bytes, std::string("\x78\x56\x34\x12\xf0\xde\xbc\x9a\x01\x00\x00\x00", 12));
  EXPECT_TRUE(pipe.quiet(50));

  ASSERT_TRUE(window::post_message(pipe.window(), 0x8001, 0, 0));
  ASSERT_TRUE(window::post_message(pipe.window(), 0x8002, 0, 0));
  EXPECT_EQ(pipe.record(), (Message{0x8001, 0, 0}));
  EXPECT_EQ(pipe.record(), (Message{0x8002, 0, 0}));
}

TEST(PostMessage, SocketsGetOneRecordPerMessage) {
  for (const int type : {SOCK_DGRAM, SOCK_SEQPACKET, SOCK_STREAM}) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, sv), 0);
    EXPECT_TRUE(window::post_message(sv[0], 7, 8, 9));
    EXPECT_TRUE(window::post_message(sv[0], 10, 0, 0));
    char buf[64];
    if (type != SOCK_STREAM) {
      // Each message is one datagram of exactly 12 bytes.
      EXPECT_EQ(::recv(sv[1], buf, sizeof buf, 0), 12) << type;
      EXPECT_EQ(testkit::le32(std::string_view(buf, 12), 8), 9u);
      EXPECT_EQ(::recv(sv[1], buf, sizeof buf, 0), 12) << type;
      EXPECT_EQ(testkit::le32(std::string_view(buf, 12), 0), 10u);
    } else {
      const std::string b = testkit::read_up_to(sv[1], 24, 2000);
      ASSERT_EQ(b.size(), 24u);
      EXPECT_EQ(testkit::le32(b, 0), 7u);
      EXPECT_EQ(testkit::le32(b, 4), 8u);
      EXPECT_EQ(testkit::le32(b, 12), 10u);
    }
    // The peer gone: lost, and no SIGPIPE ends this process.
    ::close(sv[1]);
    EXPECT_FALSE(window::post_message(sv[0], 11, 0, 0)) << type;
    ::close(sv[0]);
  }
}

TEST(PostMessage, AnEventfdCountsTheMessages) {
  const int fd = ::eventfd(0, EFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(window::post_message(fd, 0x401, 0, 0));
  EXPECT_TRUE(window::post_message(fd, 0x401, 0, 0));
  std::uint64_t count = 0;
  ASSERT_EQ(::read(fd, &count, sizeof count), 8);
  EXPECT_EQ(count, 2u);
  ::close(fd);
}

TEST(PostMessage, AFullPipeLosesTheMessageAfterABoundedWait) {
  Pipe pipe;
  const std::size_t filled = pipe.fill();
  ASSERT_GT(filled, 0u);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(window::post_message(pipe.window(), 1, 0, 0));
  const auto waited = std::chrono::steady_clock::now() - start;
  // Bounded: the wait for room, not the caller's pleasure (generous margin).
  EXPECT_LT(waited, std::chrono::seconds(5));
  // Nothing of the lost message is in the pipe: only the filling, and room
  // for new messages once the caller reads.
  EXPECT_EQ(pipe.drain(filled), filled);
  EXPECT_TRUE(pipe.quiet(50));
  EXPECT_TRUE(window::post_message(pipe.window(), 2, 0, 0));
  EXPECT_EQ(pipe.record(), (Message{2, 0, 0}));
}

TEST(PostMessage, AGoneOrMissingWindowLosesTheMessageQuietly) {
  Pipe pipe;
  pipe.close_read_end();
  // Writing to a pipe without a reader would raise SIGPIPE and end the
  // process; posting must not.
  EXPECT_FALSE(window::post_message(pipe.window(), 1, 0, 0));
  EXPECT_FALSE(window::post_message(pipe.window(), 1, 0, 0));

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[0]);
  ::close(fds[1]);
  EXPECT_FALSE(window::post_message(fds[1], 1, 0, 0));  // closed descriptor
  EXPECT_FALSE(window::post_message(0, 1, 0, 0));       // no window
  EXPECT_FALSE(window::post_message(-5, 1, 0, 0));
  EXPECT_FALSE(window::post_message(std::intptr_t{1} << 40, 1, 0, 0));
}

}  // namespace
}  // namespace pink
