// drawerio and cashbox through their exports, against a drawer served in
// the test process: the exact requests of the open-drawer sequence with
// their waits measured where the server sees them, the result of the last
// request, the status byte passed through, and the calling-order cases.
// Each test is a process of its own, so each library starts unopened.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "drivers/drawer/family.h"
#include "pink/drawer.h"
#include "tests/drawer/served_drawer.h"

namespace pink {
namespace {

using testing::Seen;
using testing::ServedDrawer;
using Bytes = std::vector<std::uint8_t>;

// One library's four exports and what its device must see, written out
// here rather than taken from the family table, so that a wrong row fails.
struct Expected {
  std::uint32_t code;
  double wait_after_ms;
};

struct Library {
  const drawer::Family* family;
  std::int32_t (*open)();
  std::int32_t (*open_drawer)();
  std::int32_t (*status)();
  std::int32_t (*close)();
  const char* device;
  std::uint32_t status_code;
  Bytes drive_input;
  std::vector<Expected> sequence;
};

const Library kLibraries[] = {
    {&drawer::kDrawerio, OpenDrawPort, OpenDraw, GetDrawStatus, CloseDrawPort,
     "\\\\.\\TevDraw2kKwDev", 0x9C407C00u, {0x00, 0x00, 0x00, 0x00, 0x10},
     {{0x9C40BC04u, 10}, {0x9C40BC08u, 30}, {0x9C40BC04u, 0}}},
    {&drawer::kCashbox, OpenCBX, Trigger, GetStatus, CloseCBX,
     "\\\\.\\DovCBXDev", 0xA0287800u, {0x00, 0x00, 0x00, 0x00, 0x04},
     {{0xA028B80Cu, 0}, {0xA028B804u, 5}, {0xA028B808u, 30}, {0xA028B804u, 0}, {0xA028B810u, 0}}},
};

// A handler that refuses the requests whose positions (0, 1 ...) are in
// `refused` and accepts the rest.
drawer_server::Handler refusing(std::set<int> refused) {
  auto n = std::make_shared<int>(0);
  return [n, refused](const devctl::frame::Request&) {
    return drawer_server::Reply::framed(refused.count((*n)++) == 0);
  };
}

TEST(DrawerLibraries, OpenDrawerSendsTheSequenceWithItsInputsAndWaits) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    EXPECT_STREQ(lib.family->device, lib.device);
    ServedDrawer served(lib.device, vdrawer::ModelOptions{lib.family});
    ASSERT_EQ(lib.open(), 1);
    const double t = testing::now_ms();
    EXPECT_EQ(lib.open_drawer(), 1);
    const double took = testing::now_ms() - t;

    const std::vector<Seen> seen = served.seen();
    ASSERT_EQ(seen.size(), lib.sequence.size());
    double waits = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(seen[i].request.code, lib.sequence[i].code);
      EXPECT_EQ(seen[i].request.input, lib.drive_input);
      EXPECT_EQ(seen[i].request.output_size, 0u);
      waits += lib.sequence[i].wait_after_ms;
      if (i + 1 < seen.size()) {
        // The wait after a request separates it from the next one; only a
        // generous upper bound, since the machine may be busy.
        const double gap = seen[i + 1].t_ms - seen[i].t_ms;
        EXPECT_GE(gap, lib.sequence[i].wait_after_ms);
        EXPECT_LT(gap, lib.sequence[i].wait_after_ms + 1000.0);
      }
    }
    EXPECT_GE(took, waits);
    // The release was energised long enough: the drawer reports itself open.
    EXPECT_EQ(lib.status(), PINK_DRAWER_STATUS_OPEN);
    const Seen status = served.seen().back();
    EXPECT_EQ(status.request.code, lib.status_code);
    EXPECT_EQ(status.request.input, Bytes(4, 0x00));
    EXPECT_EQ(status.request.output_size, 1u);
    EXPECT_EQ(lib.close(), 1);
  }
}

TEST(DrawerLibraries, ResultIsTheLastRequestsAndTheSequenceRunsToItsEnd) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    const int last = static_cast<int>(lib.sequence.size()) - 1;
    struct Case {
      std::set<int> refused;
      std::int32_t result;
    };
    const Case cases[] = {
        {{}, 1},
        {{last}, 0},            // refused last, every other accepted
        {{0, 1}, 1},            // refused earlier ones, last accepted
        {{1}, 1},               // a refused middle request
        {{0, 1, 2, 3, 4}, 0},   // all refused (cashbox has five)
    };
    for (const Case& c : cases) {
      ServedDrawer served(lib.family->device, refusing(c.refused));
      ASSERT_EQ(lib.open(), 1);
      EXPECT_EQ(lib.open_drawer(), c.result) << "refused: " << c.refused.size() << " requests";
      // Every request went out, refused or not.
      EXPECT_EQ(served.seen().size(), lib.sequence.size());
      EXPECT_EQ(lib.close(), 1);
    }
  }
}

TEST(DrawerLibraries, StatusByteComesThroughAsItIs) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    std::atomic<int> next{0};
    ServedDrawer served(lib.family->device, [&](const devctl::frame::Request&) {
      const int v = next.load();
      if (v == 256) return drawer_server::Reply::framed(false);                  // refused
      if (v == 257) return drawer_server::Reply::framed(true);                   // no byte
      return testing::status_reply(static_cast<std::uint8_t>(v));
    });
    ASSERT_EQ(lib.open(), 1);
    for (int v = 0; v <= 255; ++v) {
      next = v;
      ASSERT_EQ(lib.status(), v);  // 0x80 and above stay positive: no sign extension
    }
    next = 256;
    EXPECT_EQ(lib.status(), 0);
    next = 257;
    EXPECT_EQ(lib.status(), 0);
    EXPECT_EQ(lib.close(), 1);
  }
}

TEST(DrawerLibraries, WithoutTheDeviceEveryCallGivesZero) {
  testkit::TempDir empty;
  testkit::ScopedEnv env("PINK_DRAWERDIR", empty.path());
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    EXPECT_EQ(lib.open(), 0);
    const double t = testing::now_ms();
    EXPECT_EQ(lib.open_drawer(), 0);
    // The sequence still takes its waits, as with a device that refuses.
    EXPECT_GE(testing::now_ms() - t, lib.family == &drawer::kDrawerio ? 40.0 : 35.0);
    EXPECT_EQ(lib.status(), 0);
    EXPECT_EQ(lib.close(), 0);
  }
}

TEST(DrawerLibraries, CallsBeforeOpenReachNoDevice) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    ServedDrawer served(lib.family->device, vdrawer::ModelOptions{lib.family});
    EXPECT_EQ(lib.open_drawer(), 0);
    EXPECT_EQ(lib.status(), 0);
    EXPECT_EQ(lib.close(), 0);
    EXPECT_TRUE(served.seen().empty());
    EXPECT_TRUE(served.events().empty());
  }
}

TEST(DrawerLibraries, SecondOpenReplacesTheFirstHandleAndCloseCountsOnce) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    ServedDrawer served(lib.family->device, vdrawer::ModelOptions{lib.family});
    ASSERT_EQ(lib.open(), 1);
    ASSERT_EQ(lib.open(), 1);
    // The first connection, which nothing could reach any more, is closed.
    // (The server may notice the new connection before the old one's end.)
    const auto replaced = [&] {
      auto e = served.events();
      std::sort(e.begin(), e.end());
      return e == std::vector<std::string>{"connect 1", "connect 2", "disconnect 1"};
    };
    ASSERT_TRUE(testkit::wait_until(replaced, 2000)) << ::testing::PrintToString(served.events());
    EXPECT_EQ(lib.open_drawer(), 1);
    EXPECT_EQ(lib.status(), PINK_DRAWER_STATUS_OPEN);
    EXPECT_EQ(lib.close(), 1);
    EXPECT_EQ(lib.close(), 0);  // closed already: nothing is closed twice
    EXPECT_EQ(lib.status(), 0);
    ASSERT_TRUE(testkit::wait_until([&] { return served.events().size() == 4; }, 2000));
    EXPECT_EQ(served.events().back(), "disconnect 2");
    // Open again after a close.
    EXPECT_EQ(lib.open(), 1);
    EXPECT_EQ(lib.status(), PINK_DRAWER_STATUS_OPEN);
    EXPECT_EQ(lib.close(), 1);
  }
}

TEST(DrawerLibraries, ServerGoneMidwayGivesZeroThenReopenWorks) {
  for (const Library& lib : kLibraries) {
    SCOPED_TRACE(lib.family->library);
    {
      ServedDrawer first(lib.family->device, vdrawer::ModelOptions{lib.family});
      ASSERT_EQ(lib.open(), 1);
      first.stop();
      EXPECT_EQ(lib.open_drawer(), 0);
      EXPECT_EQ(lib.status(), 0);
      // A failed second open leaves nothing open.
      EXPECT_EQ(lib.open(), 0);
      EXPECT_EQ(lib.close(), 0);
    }
    ServedDrawer second(lib.family->device, vdrawer::ModelOptions{lib.family});
    EXPECT_EQ(lib.open(), 1);
    EXPECT_EQ(lib.open_drawer(), 1);
    EXPECT_EQ(lib.close(), 1);
  }
}

}  // namespace
}  // namespace pink
