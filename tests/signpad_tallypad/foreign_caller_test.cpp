// A POS written in Python drives the tallypad control through libpinkauto.so
// with ctypes, from a folder of its own, against the virtual tallypad: a
// signature to a bitmap file with a Korean name, its data and the window's
// picture, then a PIN.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "signpad/capture.h"
#include "tests/signpad_tallypad/harness.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::tally {
namespace {

namespace fs = std::filesystem;

const std::string kScript = R"(
import ctypes, sys, time
from pinkauto import *
lib = load(sys.argv[1])

o = lib.pink_create(b"TALLYPAD.TallypadCtrl")
fired = []
def on_event(ctx, dispid, name, args, nargs): fired.append(name.decode())
callback = EVENT(on_event)
lib.pink_advise(o, callback, None)
def pump_until(name):
    end = time.time() + 20
    while name not in fired and time.time() < end:
        lib.pink_pump(o, 20)
    return name in fired

st, a, r = call(o, "SetPortNo", [num(2, int(sys.argv[2]))]); print("port", st, r.num)
st, a, r = call(o, "TallySignReq", [text("5000"), text("감사합니다")]); print("sign", st, r.num)
print("input", pump_until("OnSignSendInput"), lib.pink_snapshot(o, "창.png".encode(), 256, 128))
st, a, r = call(o, "TallySignSend", []); print("send", st, r.num, pump_until("OnSignSendEvent"))
st, a, r = call(o, "TallySignSendData", [num(2, 7, 1)])
print("data", st, a[0].num, r.type, r.len, bytes(r.bytes[:16]).decode())
st, a, r = call(o, "TallyGetSignBMP", [text("서명.bmp")]); print("bmp", st, r.num)
st, a, r = call(o, "TallyGetPin", [text("5000"), text("")]); print("pin", st, r.num, pump_until("OnPinEvent"))
st, a, r = call(o, "TallyGetPinData", [num(2, 0, 1)]); print("pindata", a[0].num, bytes(r.bytes[:4]).decode())
st, a, r = call(o, "TallyGetSignBMP", [text("again.bmp")]); print("again", r.num)
lib.pink_release(o)
)";

TEST(TallypadForeignCaller, PythonPosSignsAndTakesAPinThroughLibpinkauto) {
  const std::vector<std::pair<int, int>> points{{20, 10}, {21, 11}, {22, 12}, {100, 50}};
  PadScript script;
  script.signature = points;
  script.point_interval_ms = 2;
  script.pin = "2580";
  testing::VirtualPad pad(43, script);

  testkit::TempDir pos;
  pos.mkdir("vendor");
  pos.mkdir("run");
  const std::string lib = pos.file("vendor/libpinkauto.so");
  fs::copy_file(testkit::program("libpinkauto.so"), lib);
  testkit::RunOptions options;
  options.cwd = pos.file("run");
  options.env["PYTHONIOENCODING"] = "utf-8";
  options.timeout_ms = 60000;
  const auto r = testkit::run_python(kScript, {lib, "43"}, options);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "port 0 1\n"
            "sign 0 1\n"
            "input True 0\n"
            "send 0 1 True\n"
            "data 0 1 8209 " + std::to_string(18 + 2 * points.size() + 2) + " 3A9F0C71E5B2D846\n"
            "bmp 0 1\n"
            "pin 0 1 True\n"
            "pindata 1 2580\n"
            "again 0\n")
      << r.err;

  PointImage image{};
  for (const auto& [x, y] : points) set_tally_point(image, x, y);
  const BitmapFile want = bitmap_file(image);
  EXPECT_EQ(testing::read_file(pos.file("run/서명.bmp")), std::string(want.begin(), want.end()));
  const testing::Picture window = testing::read_png(pos.file("run/창.png"));
  EXPECT_TRUE(window.ink(41, 21));
  EXPECT_TRUE(window.ink(201, 101));
}

}  // namespace
}  // namespace pink::signpad::tally
