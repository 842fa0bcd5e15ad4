// Device files: parallel port names, error numbers, exclusive use, and
// writes that keep to their time window.
#include "platform/device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/text.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace tk = pink::testkit;

TEST(DeviceFile, ParallelPortNamesMapOntoTheEnvironmentOrDevLp) {
  tk::ScopedEnv no_lpt1("PINK_LPT1", std::nullopt);
  tk::ScopedEnv no_lpt3("PINK_LPT3", std::nullopt);
  // Anything but LPT<n> with an optional colon is a path as it stands.
  const std::pair<std::string, std::string> names[] = {
      {"Lpt1:", "/dev/lp0"}, {"lpt1", "/dev/lp0"}, {"LPT3", "/dev/lp2"}, {"LPT", "LPT"},   {"LPT0", "LPT0"},
      {"LPT1::", "LPT1::"},  {"xLPT1", "xLPT1"},   {"com1", "com1"},
      // Names are cp949 inside the suite and UTF-8 for the OS.
      {text::utf8_to_cp949("/tmp/영수증.prn"), "/tmp/영수증.prn"}};
  for (const auto& [name, path] : names) EXPECT_EQ(device::resolve(name), path) << name;
  {
    tk::ScopedEnv lpt1("PINK_LPT1", "/var/capture/printer");
    EXPECT_EQ(device::resolve("Lpt1:"), "/var/capture/printer");
    EXPECT_EQ(device::resolve("LPT3:"), "/dev/lp2");
  }
  tk::ScopedEnv empty("PINK_LPT1", "");
  EXPECT_EQ(device::resolve("LPT1:"), "/dev/lp0");
}

TEST(DeviceFile, CaptureFileTakesWritesFromTwoHandlesInOrder) {
  tk::TempDir dir;
  tk::ScopedEnv lpt1("PINK_LPT1", dir.file("lpt1.out"));
  auto text = device::open("Lpt1:");
  ASSERT_TRUE(text.file) << text.text;
  auto raw = device::open("LPT1:");
  ASSERT_TRUE(raw.file) << raw.text;
  EXPECT_EQ(text.file->path(), dir.file("lpt1.out"));

  EXPECT_EQ(text.file->write(std::string_view("one,")), 4);
  EXPECT_EQ(raw.file->write(std::string_view("two,"), 500), 4);
  EXPECT_EQ(text.file->write(std::string_view("three")), 5);
  EXPECT_EQ(text.file->write(std::string_view("")), 0);
  text.file.reset();
  raw.file.reset();
  EXPECT_EQ(dir.read("lpt1.out"), "one,two,three");

  // A later open appends rather than truncating.
  auto again = device::open("LPT1");
  ASSERT_TRUE(again.file);
  EXPECT_EQ(again.file->write(std::string_view("!")), 1);
  again.file.reset();
  EXPECT_EQ(dir.read("lpt1.out"), "one,two,three!");
}

TEST(DeviceFile, FailuresCarryTheRunTimeNumbers) {
  tk::TempDir dir;
  // A missing folder, and a missing file where the folder exists.
  EXPECT_EQ(device::open(dir.file("no-folder/printer")).error, 76);
  EXPECT_EQ(device::open(dir.file("absent"), device::Access::ReadWrite).error, 53);
  EXPECT_FALSE(dir.exists("absent"));
  // Nothing is ever created under /dev: a missing node is a missing file.
  {
    tk::ScopedEnv lpt1("PINK_LPT1", "/dev/pink-no-such-printer");
    const auto r = device::open("Lpt1:");
    EXPECT_FALSE(r.file);
    EXPECT_EQ(r.error, 53);
    EXPECT_NE(r.text.find("/dev/pink-no-such-printer"), std::string::npos);
  }
  // A folder is not a device.
  EXPECT_EQ(device::open(dir.path()).error, 75);
  EXPECT_EQ(device::open("").error, 52);
  // A file that may not be written.
  if (::geteuid() != 0) {
    dir.write("locked", "");
    ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0444), 0);
    EXPECT_EQ(device::open(dir.file("locked")).error, 70);
  }
}

TEST(DeviceFile, DeviceWithoutPeerOrHeldElsewhereIsUnavailable) {
  tk::TempDir dir;
  const std::string fifo = dir.file("lp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Nobody on the other side of the line.
  EXPECT_EQ(device::open(fifo).error, 68);

  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto first = device::open(fifo);
  ASSERT_TRUE(first.file) << first.text;
  // Held by the first handle: a second one is refused until the first lets go.
  const auto second = device::open(fifo);
  EXPECT_FALSE(second.file);
  EXPECT_EQ(second.error, 68);
  first.file.reset();
  EXPECT_TRUE(device::open(fifo).file);
  ::close(reader);
}

TEST(DeviceFile, WriteKeepsToItsWindowWhenNobodyReads) {
  tk::TempDir dir;
  const std::string fifo = dir.file("lp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto dev = device::open(fifo);
  ASSERT_TRUE(dev.file) << dev.text;

  // Blocks below 512 bytes get the bare window. The line fills up and then
  // a write gives up after its window instead of hanging.
  const std::string block(500, 'x');
  const auto start = std::chrono::steady_clock::now();
  long total = 0, last = 0;
  for (int i = 0; i < 10000; ++i) {
    last = dev.file->write(block, 30);
    if (last < static_cast<long>(block.size())) break;
    total += last;
  }
  EXPECT_GE(last, 0);
  EXPECT_LT(last, static_cast<long>(block.size()));
  EXPECT_GT(total, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

  // Once the reader takes some bytes the line moves again.
  char sink[8192];
  EXPECT_GT(::read(reader, sink, sizeof sink), 0);
  EXPECT_EQ(dev.file->write(std::string_view("more"), 30), 4);

  // The reader has gone: the write fails at once and the process lives on.
  ::close(reader);
  EXPECT_EQ(dev.file->write(std::string_view("more"), 30), -1);
  EXPECT_EQ(dev.file->write(std::string_view("more")), -1);
}

TEST(DeviceFile, WriteWithoutWindowWaitsUntilEverythingIsTaken) {
  tk::TempDir dir;
  const std::string fifo = dir.file("lp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto dev = device::open(fifo);
  ASSERT_TRUE(dev.file) << dev.text;
  std::string block(1 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + i / 251);
  std::string received;
  std::thread slow_reader([&] {
    char buf[4096];
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (received.size() < block.size() && std::chrono::steady_clock::now() < give_up) {
      const ssize_t r = ::read(reader, buf, sizeof buf);
      if (r > 0) received.append(buf, static_cast<std::size_t>(r));
      if (r <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_EQ(dev.file->write(block), static_cast<long>(block.size()));
  slow_reader.join();
  EXPECT_TRUE(received == block);
  ::close(reader);
}

TEST(DeviceFile, TerminalLinePassesBytesUnchanged) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  auto dev = device::open(slave);
  ASSERT_TRUE(dev.file) << dev.text;
  const std::string bytes("A\nB\r\n\x1b@\x00\xff", 9);
  EXPECT_EQ(dev.file->write(bytes, 1000), 9);

  std::string got;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (got.size() < bytes.size() && std::chrono::steady_clock::now() < give_up) {
    pollfd pfd{master, POLLIN, 0};
    if (::poll(&pfd, 1, 100) <= 0) continue;
    char buf[64];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, bytes);
  dev.file.reset();
  ::close(master);
}

}  // namespace
}  // namespace pink
