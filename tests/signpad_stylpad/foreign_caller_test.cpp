// A POS written in Python drives the stylpad control through libpinkauto.so
// with ctypes, from a folder of its own, against the virtual pad: its events
// through a ctypes callback, its pump through the descriptor, the signature
// bitmap, the signature string, a PIN and the window's picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "signpad/stylpad_device.h"
#include "tests/signpad_stylpad/harness.h"
#include "tests/signpad_stylpad/picture.h"
#include "tools/testkit/testkit.h"

namespace pink::signpad::styl {
namespace {

const std::string kPos = R"(
import ctypes, select, sys, time
from pinkauto import *
lib = load(sys.argv[1])

pad = lib.pink_create(b"STYLPAD.StylPadCtrl")
seen = []
def on_event(ctx, dispid, name, args, nargs):
    seen.append((name.decode(), [show(args[i]) for i in range(nargs)]))
callback = EVENT(on_event)
lib.pink_advise(pad, callback, None)

def until_closed():
    end = time.time() + 20
    while not any(name == "GetOCXMsg" for name, _ in seen) and time.time() < end:
        select.select([lib.pink_fd(pad)], [], [], 0.5)
        lib.pink_pump(pad, 0)
    print("events", seen)
    del seen[:]

port, logs = int(sys.argv[2]), sys.argv[3]
print("name", call(pad, "SetImgName", [text("서명")])[2].num)
print("open", call(pad, "OpenSign", [text(logs), num(I4, port), text("12000")])[2].num)
until_closed()
status, _, string = call(pad, "GetSigndata", [])
print("string", string.str[:5].decode(), len(string.str))
print("result", call(pad, "GetRtnVal", [])[2].num)
print("snapshot", lib.pink_snapshot(pad, b"window.png", 256, 128))
call(pad, "SetPinLen", [text("06")])
print("pin pad", call(pad, "OpenPinpad", [text(logs), num(I4, port)])[2].num)
until_closed()
print("pin", call(pad, "pinpadValue", [])[2].str.decode(), call(pad, "GetRtnVal", [])[2].num)
lib.pink_release(pad)
)";

TEST(StylpadForeignCaller, PythonPosTakesASignatureAndAPinThroughLibpinkauto) {
  testkit::VirtualPort port(2);
  PadScript script;
  script.signature = testing::sample_signature();
  script.point_interval_ms = 2;
  script.pin = "135790";
  testing::PadLoop device(port, make_stylpad_device(script));

  testkit::TempDir pos;
  pos.mkdir("vendor");
  pos.mkdir("run");
  const std::string lib = pos.file("vendor/libpinkauto.so");
  std::filesystem::copy_file(testkit::program("libpinkauto.so"), lib);
  testkit::RunOptions options;
  options.cwd = pos.file("run");
  options.env["PYTHONIOENCODING"] = "utf-8";
  options.env["PINK_STYLPAD_SIGNDATA"] = pos.file("copy");
  options.timeout_ms = 60000;
  const auto r = testkit::run_python(kPos, {lib, "2", pos.file("logs-")}, options);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;

  const BitmapFile expected = bitmap_file(image_of(testing::sample_signature()));
  const std::string styl2 = styl2_string(std::span(expected).subspan<kBitmapHeaderBytes, kImageBytes>());
  EXPECT_EQ(r.out, "name 0\nopen 0\n"
                   "events [('readyTOsignAction', ['SIGN']), ('GetOCXMsg', ['DoneSign'])]\n"
                   "string STYL2 " + std::to_string(styl2.size()) + "\n"
                   "result 1\nsnapshot 0\npin pad 0\n"
                   "events [('readyTOsignAction', ['PIN']), ('GetOCXMsg', ['DonePinP'])]\n"
                   "pin 135790 2\n")
      << r.err;
  EXPECT_EQ(testing::read_file(pos.file("run/서명.bmp")), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(testing::read_file(pos.file("copy/signtemp.bmp")), std::string(expected.begin(), expected.end()));
  EXPECT_EQ(testing::read_png(pos.file("run/window.png")).width, 256);
  EXPECT_FALSE(testing::read_logs(pos.path(), "logs-comm_log").empty());
  EXPECT_FALSE(testing::read_logs(pos.path(), "logs-result").empty());
}

}  // namespace
}  // namespace pink::signpad::styl
