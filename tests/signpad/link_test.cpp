// The pad link on a virtual port: the receive ring, the watch thread's
// notifications (posted for tallypad, sent for stylpad), overflow, closing.
#include "signpad/link.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink::signpad {
namespace {

// The control's window: a queue of the messages posted to it.
class RecordingWindow : public LinkWindow {
 public:
  void post(std::uint32_t message, std::uintptr_t wparam) override {
    std::lock_guard<std::mutex> hold(lock_);
    messages_.emplace_back(message, wparam);
    cv_.notify_all();
  }
  void message_box(std::string_view text) override {
    std::lock_guard<std::mutex> hold(lock_);
    boxes_.emplace_back(text);
  }
  // The next message, waiting up to `ms`; {0, 0} when none came.
  std::pair<std::uint32_t, std::uintptr_t> next(int ms = 3000) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!cv_.wait_for(hold, std::chrono::milliseconds(ms), [&] { return !messages_.empty(); })) return {0, 0};
    auto m = messages_.front();
    messages_.pop_front();
    return m;
  }
  std::vector<std::string> boxes() {
    std::lock_guard<std::mutex> hold(lock_);
    return boxes_;
  }

 private:
  std::mutex lock_;
  std::condition_variable cv_;
  std::deque<std::pair<std::uint32_t, std::uintptr_t>> messages_;
  std::vector<std::string> boxes_;
};

std::string drain(PadLink& link) {
  std::string s;
  std::uint8_t buf[512];
  while (const std::size_t n = link.take(buf)) s.append(reinterpret_cast<char*>(buf), n);
  return s;
}

TEST(ByteRingTest, HoldsOneLessThanItsSizeAndTakesAllOrNothing) {
  ByteRing ring(8);
  EXPECT_EQ(ring.capacity(), 7u);
  const std::uint8_t five[5] = {1, 2, 3, 4, 5};
  EXPECT_TRUE(ring.put(five));
  EXPECT_FALSE(ring.put(five));  // 10 > 7: nothing is put
  EXPECT_EQ(ring.size(), 5u);
  std::uint8_t out[3];
  EXPECT_EQ(ring.get(out), 3u);
  EXPECT_EQ(out[2], 3);
  EXPECT_TRUE(ring.put(five));  // wraps round
  std::uint8_t all[16];
  EXPECT_EQ(ring.get(all), 7u);
  EXPECT_EQ(all[0], 4);
  EXPECT_EQ(all[6], 5);
  EXPECT_EQ(ring.get(all), 0u);
}

TEST(ByteRingTest, OneProducerAndOneConsumerLoseAndReorderNothing) {
  ByteRing ring(4192);
  constexpr std::size_t kTotal = 2'000'000;
  std::thread producer([&] {
    std::uint8_t chunk[97];
    std::size_t next = 0;
    while (next < kTotal) {
      const std::size_t n = std::min(sizeof chunk, kTotal - next);
      for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<std::uint8_t>((next + i) % 251);
      if (ring.put({chunk, n})) next += n;
    }
  });
  std::size_t seen = 0;
  std::uint8_t buf[300];
  bool in_order = true;
  while (seen < kTotal) {
    const std::size_t n = ring.get(buf);
    for (std::size_t i = 0; i < n; ++i) in_order = in_order && buf[i] == (seen + i) % 251;
    seen += n;
  }
  producer.join();
  EXPECT_TRUE(in_order);
}

TEST(PadLinkTest, TallypadPostsAfterEachBurstAndRunsItsLine) {
  testkit::VirtualPort vp(11);
  RecordingWindow window;
  PadLink link(kTallyLink, window);
  ASSERT_TRUE(link.open(11, 38400)) << link.last_error();
  EXPECT_EQ(vp.line().baud, 38400u);
  EXPECT_FALSE(vp.line().xon_out);

  vp.write(std::string("\x02\x00\x04\xA0", 4));
  EXPECT_EQ(window.next(), (std::pair<std::uint32_t, std::uintptr_t>{kCommRead, 0}));
  EXPECT_EQ(drain(link), std::string("\x02\x00\x04\xA0", 4));
  // Posted: the next burst is read and posted without waiting for anyone.
  vp.write("AB");
  EXPECT_EQ(window.next().first, kCommRead);
  vp.write("CD");
  ASSERT_TRUE(testkit::wait_until([&] { return link.waiting() == 4; }, 3000));
  EXPECT_EQ(drain(link), "ABCD");

  const std::uint8_t frame[] = {0x02, 0x00, 0x02, 0xA2, 0x03, 0xA3};
  EXPECT_EQ(link.write(frame), sizeof frame);
  EXPECT_EQ(vp.read_exact(6, 2000), std::string(reinterpret_cast<const char*>(frame), 6));
  link.close();
  EXPECT_FALSE(link.connected());
  EXPECT_EQ(link.write(frame), 0u);
  // Closing a closed link does nothing; the port can be opened again.
  link.close();
  EXPECT_TRUE(link.open(11, 38400)) << link.last_error();
}

TEST(PadLinkTest, StylpadSendsAndWaitsUntilHandledThenReportsTheClose) {
  testkit::VirtualPort vp(12);
  RecordingWindow window;
  PadLink link(kStylLink, window);
  ASSERT_TRUE(link.open(12, 38400)) << link.last_error();
  vp.write("12");
  EXPECT_EQ(window.next(), (std::pair<std::uint32_t, std::uintptr_t>{kCommRead, 12}));
  // Until the handler says it is done, the watch thread reads nothing more.
  vp.write("34");
  EXPECT_EQ(window.next(300).first, 0u);
  EXPECT_EQ(drain(link), "12");
  link.handled();
  EXPECT_EQ(window.next().first, kCommRead);
  EXPECT_EQ(drain(link), "34");
  // "34" is not handled yet: the thread waits, and closing lets it go at
  // once; the thread's end is reported.
  vp.write("56");
  EXPECT_EQ(window.next(300).first, 0u);
  link.close();
  EXPECT_EQ(window.next(), (std::pair<std::uint32_t, std::uintptr_t>{kCommClose, 12}));
}

TEST(PadLinkTest, AFullRingDropsTheChunkWithAMessageAndGoesOn) {
  testkit::VirtualPort vp(13);
  RecordingWindow window;
  PadLink link(kTallyLink, window);
  ASSERT_TRUE(link.open(13, 38400));
  vp.write(std::string(4000, 'a'));
  ASSERT_TRUE(testkit::wait_until([&] { return link.waiting() == 4000; }, 5000));
  vp.write(std::string(500, 'b'));  // 4000 + 500 > 4191
  ASSERT_TRUE(testkit::wait_until([&] { return !window.boxes().empty(); }, 5000));
  EXPECT_EQ(window.boxes().front(), "Queue Buffer Full Error !!");
  EXPECT_EQ(drain(link), std::string(4000, 'a'));
  vp.write("z");
  ASSERT_TRUE(testkit::wait_until([&] { return link.waiting() == 1; }, 3000));
  EXPECT_EQ(drain(link), "z");
}

TEST(PadLinkTest, AMissingPortOrARefusedRateFailsToOpen) {
  RecordingWindow window;
  PadLink link(kTallyLink, window);
  testkit::ScopedEnv nowhere("PINK_COM14", "/nonexistent/tty");
  EXPECT_FALSE(link.open(14, 38400));
  EXPECT_NE(link.last_error().find("/nonexistent/tty"), std::string::npos);
  testkit::VirtualPort vp(15);
  EXPECT_FALSE(link.open(15, 12345));
  EXPECT_FALSE(link.connected());
  EXPECT_TRUE(link.open(15, 9600));
}

}  // namespace
}  // namespace pink::signpad
