// Whole-file reads take plain files only, and no more than the caller can
// accept: a device, a pipe or a huge file never fills memory or blocks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <future>
#include <string>

#include "platform/files.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using files::ReadStatus;
namespace tk = pink::testkit;

TEST(BoundedRead, TheLimitIsInclusiveAndNothingOfALargerFileIsKept) {
  tk::TempDir dir;
  dir.write("ten.bin", std::string(10, 'x'));
  dir.write("empty.bin", "");
  const auto exact = files::read_all(dir.file("ten.bin"), 10);
  EXPECT_EQ(exact.status, ReadStatus::Ok);
  EXPECT_EQ(exact.bytes, std::string(10, 'x'));
  const auto over = files::read_all(dir.file("ten.bin"), 9);
  EXPECT_EQ(over.status, ReadStatus::TooLarge);
  EXPECT_TRUE(over.bytes.empty());
  EXPECT_EQ(files::read_all(dir.file("ten.bin"), 0).status, ReadStatus::TooLarge);
  EXPECT_EQ(files::read_all(dir.file("empty.bin"), 0).status, ReadStatus::Ok);
}

// A sparse file of 8 GB costs no disk; read whole it would exhaust memory.
TEST(BoundedRead, AHugeFileIsRefusedWithoutReadingIt) {
  tk::TempDir dir;
  const std::string name = dir.file("huge.bmp");
  {
    std::ofstream f(name, std::ios::binary);
    f << "BM";
  }
  ASSERT_EQ(::truncate(name.c_str(), 8LL << 30), 0);
  const auto start = std::chrono::steady_clock::now();
  const auto r = files::read_all(name, 64u << 20);
  EXPECT_EQ(r.status, ReadStatus::TooLarge);
  EXPECT_TRUE(r.bytes.empty());
  // Refused from its size, not after reading 64 MB of zeros.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(BoundedRead, DevicesPipesAndFoldersAreNotFiles) {
  tk::TempDir dir;
  const std::string fifo = dir.file("pipe.zor");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Nobody ever writes to the pipe: an ordinary open would block for good.
  auto pending = std::async(std::launch::async, [&] { return files::read_all(fifo, 1u << 20).status; });
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "blocked on a pipe";
  EXPECT_EQ(pending.get(), ReadStatus::NotAFile);
  EXPECT_EQ(files::read_all("/dev/zero", 1u << 20).status, ReadStatus::NotAFile);
  EXPECT_EQ(files::read_all("/dev/null", 1u << 20).status, ReadStatus::NotAFile);
  EXPECT_EQ(files::read_all(dir.path(), 1u << 20).status, ReadStatus::NotAFile);
  // A symbolic link to a plain file is read through.
  dir.write("real.zor", "1X4XN\r\n");
  ASSERT_EQ(::symlink(dir.file("real.zor").c_str(), dir.file("link.zor").c_str()), 0);
  EXPECT_EQ(files::read_all(dir.file("link.zor"), 100).bytes, "1X4XN\r\n");
  ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.bmp").c_str()), 0);
  EXPECT_EQ(files::read_all(dir.file("zero.bmp"), 1u << 20).status, ReadStatus::NotAFile);
  // The shared read used for attachments refuses them too.
  EXPECT_EQ(files::read_shared("/dev/zero").status, files::SharedReadStatus::Failed);
  EXPECT_EQ(files::read_shared(fifo).status, files::SharedReadStatus::Failed);
}

}  // namespace
}  // namespace pink
