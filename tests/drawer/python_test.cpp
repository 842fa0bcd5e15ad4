// Both libraries as a POS written in Python calls them: ctypes, the library
// loaded by its absolute path, the interpreter started in a folder of its
// own. The drawer is served from this process.
#include <gtest/gtest.h>

#include <string>

#include "drivers/drawer/family.h"
#include "tests/drawer/served_drawer.h"

namespace pink {
namespace {

using testing::ServedDrawer;

// Loads the library and prints the results of open, open-drawer, status,
// close and a second close on one line.
constexpr const char* kScript = R"(
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
names = sys.argv[2:]
for name in names:
    getattr(lib, name).restype = ctypes.c_int32
print(*(getattr(lib, name)() for name in names + names[-1:]))
)";

struct Case {
  const drawer::Family* family;
  const char* file;
  std::vector<std::string> calls;
};

const Case kCases[] = {
    {&drawer::kDrawerio, "libdrawerio.so", {"OpenDrawPort", "OpenDraw", "GetDrawStatus", "CloseDrawPort"}},
    {&drawer::kCashbox, "libcashbox.so", {"OpenCBX", "Trigger", "GetStatus", "CloseCBX"}},
};

TEST(DrawerFromPython, OpensTheDrawerAndReadsItsStatus) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    ServedDrawer served(c.family->device, vdrawer::ModelOptions{c.family});
    testkit::TempDir cwd;
    testkit::RunOptions o;
    o.cwd = cwd.path();
    std::vector<std::string> args{testkit::bin_dir() + "/" + c.file};
    args.insert(args.end(), c.calls.begin(), c.calls.end());
    const auto r = testkit::run_python(kScript, args, o);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1 1 1 1 0\n") << r.err;
    const auto seen = served.seen();
    ASSERT_EQ(seen.size(), c.family->open_sequence.size() + 1);
    EXPECT_EQ(seen.back().request.code, c.family->status_code);
  }
}

TEST(DrawerFromPython, NoDeviceGivesZeroEverywhere) {
  testkit::TempDir empty, cwd;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.file);
    testkit::RunOptions o;
    o.cwd = cwd.path();
    o.env["PINK_DRAWERDIR"] = empty.path();
    std::vector<std::string> args{testkit::bin_dir() + "/" + c.file};
    args.insert(args.end(), c.calls.begin(), c.calls.end());
    const auto r = testkit::run_python(kScript, args, o);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "0 0 0 0 0\n") << r.err;
  }
}

}  // namespace
}  // namespace pink
