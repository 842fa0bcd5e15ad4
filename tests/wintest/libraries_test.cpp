// The driver libraries of the Windows build under Wine, called as a POS
// calls them (tests/win/callers/libcall.cpp), against the Linux build called
// the same way from Python: the receipt library on a serial port ten times
// over with every byte there, the display libraries, the drawer libraries
// without their kernel device, and the scanner in polling mode and in
// message mode with a real window.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/text.h"
#include "tests/rcptlib/bmp_writer.h"
#include "tests/wintest/job_compare.h"

namespace pink {
namespace {

using testkit::Wine;

// The calls of libcall.cpp ("Name,i:1,s:TEXT,b:100,n:,r:MS"), made by
// Python on the Linux library, printing the same lines.
constexpr const char* kPythonCaller = R"(
import ctypes, sys, time
lib = ctypes.CDLL(sys.argv[1])
out = sys.stdout.buffer
for spec in sys.argv[2:]:
    repeat = 0
    parts = spec.split(',')
    name, args, buffers = parts[0], [], []
    for p in parts[1:]:
        kind, value = p[0], p[2:]
        if kind == 'r': repeat = int(value)
        elif kind == 'i': args.append(ctypes.c_int32(int(value)))
        elif kind == 's': args.append(ctypes.c_char_p(value.encode('cp949')))
        elif kind == 'b':
            buffers.append((len(args) + 1, ctypes.create_string_buffer(int(value) + 1)))
            args.append(buffers[-1][1])
        else: args.append(None)
    if name == 'sleep':
        time.sleep(args[0].value / 1000)
        continue
    fn = getattr(lib, name)
    fn.restype = ctypes.c_int32
    start = time.monotonic()
    result = fn(*args)
    while result == 0 and (time.monotonic() - start) * 1000 < repeat:
        time.sleep(0.02)
        result = fn(*args)
    out.write(('%s=%d\n' % (name, result)).encode())
    for k, buf in buffers:
        out.write(('%s#%d=' % (name, k)).encode() + buf.value + b'\n')
    out.flush()
)";

testkit::RunResult call_linux(const std::string& library, const std::vector<std::string>& calls,
                              testkit::RunOptions o = {}) {
  std::vector<std::string> args{testkit::program("lib" + library + ".so")};
  args.insert(args.end(), calls.begin(), calls.end());
  testkit::TempDir cwd;
  if (o.cwd.empty()) o.cwd = cwd.path();
  return testkit::run_python(kPythonCaller, args, o);
}

testkit::RunResult call_windows(const std::string& library, const std::vector<std::string>& calls,
                                testkit::RunOptions o = {}) {
  std::vector<std::string> args{Wine::windows_path(Wine::bin_dir() + "/" + library + ".dll")};
  args.insert(args.end(), calls.begin(), calls.end());
  return Wine::shared().run(wintest::test_program("libcall.exe"), args, o);
}

std::string signature_bmp() {
  rcptlib::testing::Picture p(128, 64, 1);
  p.palette = {rcptlib::testing::Rgb{255, 255, 255}, rcptlib::testing::Rgb{0, 0, 0}};
  for (int x = 4; x < 124; ++x) p.at(x, 10 + (x * 7) % 44) = 1;
  const auto bytes = rcptlib::testing::encode(p);
  return std::string(bytes.begin(), bytes.end());
}

// What the receipt library sends for a receipt with a signature: the text,
// then the bit image one byte per write (with a purge of the port after
// each), then the rest. Ten runs on Windows, every byte there every time.
TEST(WindowsReceiptLibrary, ASignatureReceiptArrivesWholeTenTimesOver) {
  PINK_REQUIRE_WINE();
  testkit::TempDir dir;
  dir.write("sign.bmp", signature_bmp());
  auto calls = [&](const std::string& sign_path) {
    return std::vector<std::string>{"OpenPort,s:COM37,i:9600", "PrintString,s:영수증 1234",
                                    "PrintBitmap,s:" + sign_path + ",i:1,i:0", "PrintString,s:THANK YOU",
                                    "PrintString,s:TOTAL 12000",
                                    "ClosePort"};
  };
  std::string expected;
  {
    testkit::VirtualPort port(37);
    const auto r = call_linux("rcptlib", calls(dir.file("sign.bmp")));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "OpenPort=0\nPrintString=0\nPrintBitmap=0\nPrintString=0\nPrintString=0\nClosePort=0\n");
    expected = port.read_sent(20000);
  }
  ASSERT_GT(expected.size(), 1056u);
  EXPECT_EQ(expected.substr(0, 11), text::utf8_to_cp949("영수증 1234"));

  testkit::WinePort port(37);
  for (int run = 0; run < 10; ++run) {
    const auto r = call_windows("rcptlib", calls(Wine::windows_path(dir.file("sign.bmp"))));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "OpenPort=0\nPrintString=0\nPrintBitmap=0\nPrintString=0\nPrintString=0\nClosePort=0\n");
    const std::string got = port.read_sent(20000);
    EXPECT_EQ(got.size(), expected.size()) << "run " << run;
    EXPECT_TRUE(got == expected) << "run " << run << ": the bytes differ";
  }
}

// The display libraries on their fixed ports: the same calls, the same
// results and bytes.
TEST(WindowsDisplayLibraries, SameResultsAndBytesAsTheLinuxBuild) {
  PINK_REQUIRE_WINE();
  wintest::PrefixLock lock;  // COM4 and COM6 are fixed
  struct Case {
    std::string library;
    int com;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"ldisp", 6, {"PdsWrite,s:X,i:1", "PdsOpen", "PdsOpen", "PdsWrite,s:\x1B@HELLO 합계,i:12", "PdsClose",
                    "PdsClose"}},
      {"ldisp2", 4, {"PdsOpen", "PdsWrite,i:0,s:ABC", "PdsWrite,i:99,s:가나다라마바사아자차카", "PdsClose"}},
      {"gdisp", 4, {"PdsOpen", "PdsWrite,i:1,s:", "PdsWrite,i:2,s:TOTAL 12000 원", "PdsClose"}}};
  for (const Case& c : cases) {
    std::string linux_out, linux_bytes;
    {
      testkit::VirtualPort port(c.com);
      const auto r = call_linux(c.library, c.calls);
      ASSERT_EQ(r.exit_code, 0) << r.err;
      linux_out = r.out;
      linux_bytes = port.read_sent(20000);
    }
    testkit::WinePort port(c.com);
    const auto r = call_windows(c.library, c.calls);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, linux_out) << c.library;
    const std::string bytes = port.read_sent(20000);
    EXPECT_EQ(wintest::escaped(bytes), wintest::escaped(linux_bytes)) << c.library;
    EXPECT_FALSE(bytes.empty()) << c.library;
  }
}

// No kernel drawer device exists here: the open fails and every call gives
// 0, as on a terminal without its drawer driver.
TEST(WindowsDrawerLibraries, WithoutTheirDeviceEveryCallGivesZero) {
  PINK_REQUIRE_WINE();
  const std::vector<std::pair<std::string, std::vector<std::string>>> libraries = {
      {"drawerio", {"OpenDraw", "OpenDrawPort", "OpenDraw", "GetDrawStatus", "CloseDrawPort", "_OpenDrawPort@0"}},
      {"cashbox", {"Trigger", "OpenCBX", "Trigger", "GetStatus", "CloseCBX", "_GetStatus@0"}}};
  for (const auto& [library, calls] : libraries) {
    const auto r = call_windows(library, calls);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    std::string expected;
    for (const auto& c : calls) expected += c + "=0\n";
    EXPECT_EQ(r.out, expected) << library;
    // The Linux build without its device socket answers the same.
    testkit::TempDir none;
    testkit::RunOptions o;
    o.env["PINK_DRAWERDIR"] = none.path();
    std::vector<std::string> plain(calls.begin(), calls.end() - 1);  // no decorated names on Linux
    std::string plain_expected;
    for (const auto& c : plain) plain_expected += c + "=0\n";
    EXPECT_EQ(call_linux(library, plain, o).out, plain_expected) << library;
  }
}

// The scanner on its fixed port COM2, polling mode: the code that arrives
// after the open is in the caller's buffer.
TEST(WindowsScanner, PollingModeReadsTheCodeThatArrived) {
  PINK_REQUIRE_WINE();
  wintest::PrefixLock lock;  // COM2 is fixed
  testkit::WinePort port(2);
  auto p = wintest::start(wintest::test_program("libcall.exe"),
                          {Wine::windows_path(Wine::bin_dir() + "/scanio.dll"), "ScnReadP,b:100", "ScnOpenP,i:0",
                           "ScnOpenP,i:0", "ScnReadP,b:100,r:15000", "ScnCloseP", "ScnCloseP"});
  ASSERT_TRUE(testkit::wait_until([&] { return p->out().find("ScnOpenP=2\n") != std::string::npos; }, 20000))
      << p->out() << p->err();
  port.write("8801234567890\r");
  ASSERT_EQ(p->wait(20000), 0) << p->err();
  EXPECT_EQ(p->out(),
            "ScnReadP=-1\nScnReadP#1=\nScnOpenP=1\nScnOpenP=2\nScnReadP=13\nScnReadP#1=8801234567890\n"
            "ScnCloseP=1\nScnCloseP=0\n");
}

// Message mode: a reader thread copies each code into the buffer of a real
// window and posts the window its message.
TEST(WindowsScanner, MessageModePostsEachCodeToARealWindow) {
  PINK_REQUIRE_WINE();
  wintest::PrefixLock lock;  // COM2 is fixed
  testkit::WinePort port(2);
  wintest::WindowsDisplay display({"scanwindow.exe"});  // a top-level window needs a display
  auto p = wintest::start(wintest::test_program("scanwindow.exe"),
                          {Wine::windows_path(Wine::bin_dir() + "/scanio.dll"), "2", "20000"}, display.options());
  ASSERT_TRUE(testkit::wait_until([&] { return p->out().find("ScnOpenI=") != std::string::npos; }, 20000))
      << p->out() << p->err();
  ASSERT_NE(p->out().find("ScnOpenI=1\n"), std::string::npos) << p->out();
  port.write("8801234567890\r");
  ASSERT_TRUE(testkit::wait_until([&] { return p->out().find("code=8801234567890\n") != std::string::npos; }, 10000))
      << p->out();
  // A code of 120 characters without its end: the first 99 are one code.
  port.write(std::string(120, '7'));
  ASSERT_EQ(p->wait(20000), 0) << p->out() << p->err();
  EXPECT_EQ(p->out(), "ScnOpenI=1\ncode=8801234567890\ncode=" + std::string(99, '7') + "\nScnCloseI=1\n");
}

}  // namespace
}  // namespace pink
