// A POS written in Python drives the quillpad control with ctypes through
// libpinkauto.so from a folder of its own: a signature to a bitmap file and
// a signature record, then a PIN, with the events through its callback.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "signpad/capture.h"
#include "signpad/quillpad_device.h"
#include "tests/signpad_quillpad/pad_on_port.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::quill::testing {
namespace {

namespace fs = std::filesystem;

const std::string kScript = R"(
import sys, time
from pinkauto import *
lib = load(sys.argv[1])

events = []

def wait_for(o, name):
    end = time.time() + 20
    while name not in events and time.time() < end:
        lib.pink_pump(o, 20)

o = create("QUILLPAD.QuillpadCtrl")
advise(o, lambda dispid, name, args: events.append(name))
card, tr = "9410123412341234", "감사합니다 " * 3
call(o, "SetPortNo", [num(2, int(sys.argv[2]))])
st, a, r = call(o, "QuillElecSign", [text(card), text(tr)]); print("sign", st, r.num)
wait_for(o, "OnSignEnd")
print("started", call(o, "strYNSignStarted", [], 2)[2].str.decode())
st, a, r = call(o, "QuillGetSignBMP", [text(card), text(tr), text("sign.bmp")]); print("bmp", st, r.num)
st, a, r = call(o, "QuillGetSignData", [num(2, 0, 1)])
print("record", a[0].num, r.type == 0x2011, r.len, bytes(r.bytes[40:41]).decode())
call(o, "passWordType", [num(2, 1)], 4)
st, a, r = call(o, "QuillGetPin", [text(card), text("1000"), text("0123456789ABCDEF")]); print("pin", st, r.num)
wait_for(o, "OnPinEnd")
print("pindata", call(o, "strPinData", [], 2)[2].str.decode())
print("events", ",".join(events))
release(o)
)";

TEST(QuillForeignCaller, PythonPosSignsAndTakesAPin) {
  testkit::TempDir pos;
  pos.mkdir("vendor");
  pos.mkdir("run");
  const std::string lib = pos.file("vendor/libpinkauto.so");
  fs::copy_file(testkit::program("libpinkauto.so"), lib);

  PadScript script;
  script.pin = "9876";
  script.point_interval_ms = 2;
  PadOnPort pad(71, script);
  testkit::RunOptions options;
  options.cwd = pos.file("run");
  options.env["PYTHONIOENCODING"] = "utf-8";
  options.timeout_ms = 60000;
  const testkit::RunResult r = testkit::run_python(kScript, {lib, "71"}, options);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("sign 0 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("started Y\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bmp 0 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("record 1 True "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" Q\n"), std::string::npos) << r.out;  // the record's marker byte
  EXPECT_NE(r.out.find("non_zblock_cnt="), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pin 0 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pindata 9876\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("events OnSignEnd,OnPinEnd\n"), std::string::npos) << r.out;

  PointImage expected{};
  for (const auto& [x, y] : sample_signature()) set_quill_point(expected, x, y);
  const BitmapFile file = bitmap_file(expected);
  EXPECT_EQ(pos.read("run/sign.bmp"), std::string(file.begin(), file.end()));
}

}  // namespace
}  // namespace pink::signpad::quill::testing
