// The signature pad controls hosted as a POS form hosts them, under Wine on
// a virtual display: olehost.exe (tests/win/olehost) creates each control by
// its ProgID, sites it in its container window, activates it in place and
// advises its events, then runs a signature and a PIN against a virtual pad
// (tools/vpad) on a COM port mapped into the prefix. What it reports is
// checked: the siting, every call and event, the pad's notifications and
// timers arriving as messages of the control's own window. The signature
// bitmap is compared byte for byte with the one the Linux build writes for
// the same pad (padctl on the same virtual pad), and the picture of the
// control's window with the Linux snapshot, by where the ink is.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/wintest/ocx_support.h"
#include "tests/wintest/wine_fixture.h"

namespace pink::ocxtest {
namespace {

namespace fs = std::filesystem;

// Every case works in the one prefix of the hosting cases: each registers
// the controls it hosts (again: registration writes the same entries) and
// uses a COM port of its own.
testkit::Wine& host_prefix() { return comtest::own_prefix("ocx-host"); }

void register_control(testkit::Wine& wine, const ControlIds& c) {
  const auto r = wine.run("regsvr32", {"/s", testkit::Wine::windows_path(testkit::Wine::bin_dir() + "/" + c.family + ".ocx")});
  ASSERT_EQ(r.exit_code, 0) << c.family << ": " << r.err;
}

// olehost.exe as a case runs it: copied into the folder it works in (a host
// program's folder is where stylpad keeps its copy of the signature,
// SIGNDATA), under a name of the case's own, on a desktop of its own.
class Host {
 public:
  explicit Host(testkit::Wine& wine)
      : wine_(wine), exe_("olehost-" + std::to_string(::getpid()) + ".exe"), display_({exe_}) {}
  testkit::RunResult run(const testkit::TempDir& dir, const std::vector<std::string>& args) {
    if (!dir.exists(exe_)) fs::copy_file(testkit::Wine::bin_dir() + "/olehost.exe", dir.file(exe_));
    testkit::RunOptions o;
    o.timeout_ms = 180000;
    return wine_.run(dir.file(exe_), args, display_.options(o));
  }

 private:
  testkit::Wine& wine_;
  std::string exe_;
  wintest::WindowsDisplay display_;
};

std::string w(const std::string& unix_path) { return testkit::Wine::windows_path(unix_path); }

// What the Linux build makes of the same pad: padctl's signature bitmap and
// its snapshot of the control's window.
struct LinuxReference {
  testkit::TempDir dir;
  std::string bmp() const { return dir.file("linux.bmp"); }
  std::string png() const { return dir.file("linux.png"); }
  LinuxReference(const std::string& family, int com, std::vector<std::string> command) {
    std::vector<std::string> args{family, "COM" + std::to_string(com), "--", testkit::program("padctl"), family,
                                  "--port", std::to_string(com)};
    args.insert(args.end(), command.begin(), command.end());
    args.insert(args.end(), {"--bmp", bmp(), "--snapshot", png()});
    testkit::RunOptions o;
    o.timeout_ms = 120000;
    o.env["PINK_STYLPAD_SIGNDATA"] = dir.file("SIGNDATA");
    const auto r = testkit::run(testkit::program("vpad"), args, o);
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  }
};

// The Windows run's files.
struct WindowsRun {
  testkit::TempDir dir;
  std::string bmp() const { return dir.file("sign.bmp"); }
  std::string window() const { return dir.file("window.bmp"); }
  std::string draw() const { return dir.file("draw.bmp"); }
  std::vector<std::string> args(const ControlIds& c, int com) const {
    return {"run", c.progid, "--port", std::to_string(com), "--bmp", w(bmp()), "--window", w(window()),
            "--draw", w(draw()), "--log", w(dir.path()) + "\\"};
  }
};

void expect_sited(const std::string& out, const ControlIds& c) {
  expect_in_order(out, {"created: " + c.progid, "misc status: 131473", "events: " + c.events, "advise: connected",
                        "extent: 6773x3387", "site: OnInPlaceActivate", "site: GetWindowContext",
                        "window: " + c.window_class + ", child of the container, visible, 256x128"});
  expect_in_order(out, {"site: OnInPlaceDeactivate", "close: done, the control's window is gone", "olehost: done"});
  EXPECT_EQ(out.find("FAIL"), std::string::npos) << out;
}

// The bitmap is the Linux build's, byte for byte; the window's picture is
// what IViewObject::Draw draws, and has its ink where the Linux snapshot
// has it.
void expect_same_pictures(const WindowsRun& win, const LinuxReference& linux) {
  const std::string bitmap = read_file(win.bmp());
  EXPECT_EQ(bitmap.size(), 1086u);
  EXPECT_TRUE(bitmap == read_file(linux.bmp())) << "the signature bitmaps differ";
  const Picture window = read_bmp(win.window()), drawn = read_bmp(win.draw()), snapshot = read_png(linux.png());
  ASSERT_EQ(window.width, 256);
  ASSERT_EQ(window.height, 128);
  EXPECT_TRUE(window.rgb == drawn.rgb) << "the window shows something else than Draw draws";
  ASSERT_EQ(snapshot.width, 256) << "the Linux snapshot";
  EXPECT_GT(window.ink_count(), 100);
  EXPECT_GE(ink_near(window, snapshot, 2), 0.85);
  EXPECT_GE(ink_near(snapshot, window, 2), 0.85);
}

// "window messages: WM_USER+1 x N, WM_USER+2 x N, WM_TIMER x N"
int messages(const std::string& out, const std::string& which) {
  const std::string line = line_starting(out, "window messages: ");
  const std::size_t at = line.find(which + " x ");
  return at == std::string::npos ? -1 : std::stoi(line.substr(at + which.size() + 3));
}

TEST(OcxHost, TallypadSignsAndTakesAPinInAFormAsTheLinuxBuildDoes) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  register_control(wine, tallypad());
  const LinuxReference linux("tallypad", 5, {"sign", "5000", "감사합니다"});
  Host host(wine);
  WindowsRun win;
  testkit::RunResult r;
  {
    ListeningPad pad(wine, "tallypad", 5);
    r = host.run(win.dir, win.args(tallypad(), 5));
  }
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_sited(r.out, tallypad());
  expect_in_order(r.out, {"call SetPortNo(5) = 1", "call TallySignReq(\"5000\", \"감사합니다\") = 1",
                          "event OnSignSendInput()", "call TallySignSend() = 1", "event OnSignSendEvent()",
                          "call TallyGetSignBMP(\"" + w(win.bmp()) + "\") = 1",
                          "call TallyGetPin(\"5000\", \"비밀번호 입력\") = 1", "event OnPinEvent()", "pin: 1234"});
  EXPECT_NE(line_starting(r.out, "call TallySignSendData(-> 1) = ["), "") << r.out;
  EXPECT_NE(line_starting(r.out, "call TallyGetPinData(-> 1) = [6 bytes] 31 32 33 34"), "") << r.out;
  // The pad's notifications came to the control's own window.
  EXPECT_GT(messages(r.out, "WM_USER+1"), 0) << r.out;
  expect_same_pictures(win, linux);
}

TEST(OcxHost, QuillpadSignsAndTakesAPinInAFormAsTheLinuxBuildDoes) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  register_control(wine, quillpad());
  const std::string card = "9410123412341234", tr = "TR20240131000000000000000000000000000000005000  ";
  const LinuxReference linux("quillpad", 6, {"sign", card, tr});
  Host host(wine);
  WindowsRun win;
  testkit::RunResult r;
  {
    ListeningPad pad(wine, "quillpad", 6);
    r = host.run(win.dir, win.args(quillpad(), 6));
  }
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_sited(r.out, quillpad());
  expect_in_order(r.out, {"call SetPortNo(6) = 0", "call QuillElecSign(\"" + card + "\", \"" + tr + "\") = 0",
                          "event OnSignEnd()", "get strYNSignStarted = \"Y\"",
                          "call QuillGetSignBMP(\"" + card + "\", \"" + tr + "\", \"" + w(win.bmp()) + "\") = 1",
                          "call QuillGetPin(\"" + card + "\", \"5000\", \"0000000000000000\") = 0",
                          "event OnPinEnd()", "get strPinData = \"1234\""});
  EXPECT_NE(line_starting(r.out, "call QuillGetSignData(-> 1) = ["), "") << r.out;
  EXPECT_GT(messages(r.out, "WM_USER+1"), 0) << r.out;
  expect_same_pictures(win, linux);
}

TEST(OcxHost, StylpadSignsAndTakesAPinInAFormAsTheLinuxBuildDoes) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  register_control(wine, stylpad());
  const LinuxReference linux("stylpad", 7, {"sign", "5000"});
  Host host(wine);
  WindowsRun win;
  testkit::RunResult r;
  {
    ListeningPad pad(wine, "stylpad", 7);
    r = host.run(win.dir, win.args(stylpad(), 7));
  }
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_sited(r.out, stylpad());
  expect_in_order(r.out, {"call SetImgName(\"" + w(win.bmp()) + "\") = 0",
                          "call OpenSign(\"" + w(win.dir.path()) + "\\\", 7, \"5000\") = 0",
                          "event readyTOsignAction(\"SIGN\")", "event GetOCXMsg(\"DoneSign\")",
                          "call GetRtnVal() = 1", "call OpenPinpad(\"" + w(win.dir.path()) + "\\\", 7) = 0",
                          "event readyTOsignAction(\"PIN\")", "event GetOCXMsg(\"DonePinP\")",
                          "call pinpadValue() = \"1234\""});
  EXPECT_NE(line_starting(r.out, "call GetSigndata() = \"STYL2"), "") << r.out;
  // The watch thread's notifications, the close of each of the two jobs
  // among them, came to the control's own window.
  EXPECT_GT(messages(r.out, "WM_USER+1"), 0) << r.out;
  EXPECT_EQ(messages(r.out, "WM_USER+2"), 2) << r.out;
  expect_same_pictures(win, linux);
  // The copy beside the host program, and the comm log of every frame.
  EXPECT_TRUE(read_file(win.dir.file("SIGNDATA/signtemp.bmp")) == read_file(win.bmp()));
  bool comm_log = false;
  for (const auto& f : fs::directory_iterator(win.dir.path())) {
    comm_log = comm_log || f.path().filename().string().rfind("comm_log", 0) == 0;
  }
  EXPECT_TRUE(comm_log);
}

TEST(OcxHost, WithASilentPadTheControlsWindowRunsTheirTimersUntilTheyGiveUp) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  register_control(wine, stylpad());
  register_control(wine, quillpad());
  Host host(wine);
  testkit::TempDir dir;
  {
    ListeningPad pad(wine, "stylpad", 8, {"--init", "silent"});
    const auto r = host.run(dir, {"silent", stylpad().progid, "--port", "8", "--log", w(dir.path()) + "\\"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    // Timer 1004 sent init three times, then gave up; the watch thread's
    // end came as the window's WM_USER + 2.
    expect_in_order(r.out, {"event errCode(111, \" 사인패드 초기화 응답이 없습니다.\")",
                            "event GetOCXMsg(\" 사인패드 초기화 응답이 없습니다.\")"});
    EXPECT_GE(messages(r.out, "WM_TIMER"), 3) << r.out;
    EXPECT_EQ(messages(r.out, "WM_USER+2"), 1) << r.out;
    std::size_t inits = 0;
    for (std::size_t at = 0; (at = pad.log().find("rx 02 00 04 A0 31 31 03 A7", at)) != std::string::npos; ++at) ++inits;
    EXPECT_EQ(inits, 3u) << pad.log();
  }
  {
    ListeningPad pad(wine, "quillpad", 9, {"--init", "silent"});
    const auto r = host.run(dir, {"silent", quillpad().progid, "--port", "9"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    expect_in_order(r.out, {"call QuillElecSign(\"9410123412341234\", \"TR\") = 0", "event OnPadError()"});
    EXPECT_GE(messages(r.out, "WM_TIMER"), 1) << r.out;
  }
}

TEST(OcxHost, AFormSavesStylpadAndLoadsItBackAndFreezesItsEvents) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  register_control(wine, stylpad());
  Host host(wine);
  testkit::TempDir dir;
  auto r = host.run(dir, {"persist", stylpad().progid});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(r.out, {"stream: InitNew 0x00000000, again 0x8000FFFF, clean", "put signpadframWidth = 300",
                          "stream: after a width was set: dirty", "stream: Load 0x00000000, clean",
                          "get signpadframWidth = 300", "get signpadframHeight = 128",
                          "stream: a foreign stream: Load 0x80004005", "get signpadframWidth = 300"});
  EXPECT_NE(line_starting(r.out, "stream: Save 0x00000000, clean, size at most "), "") << r.out;
  // The property bag: every persisted property and the extent under its own
  // name; texts of a form file converted, one that does not convert
  // reported and left as it was.
  expect_in_order(r.out, {"bag: Save 0x00000000", "bag: _ExtentX = 6773", "bag: _ExtentY = 3387",
                          "bag: processClock = -1", "bag: signpadframHeight = 96", "bag: signpadframWidth = 256",
                          "bag: Load of texts 0x00000000", "bag: error reported for signpadframHeight",
                          "get processClock = -1", "get signpadframWidth = 320", "get signpadframHeight = 128"});

  r = host.run(dir, {"freeze", stylpad().progid, "--draw", w(dir.file("moved.bmp"))});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  expect_in_order(r.out, {"control info: 0x00000000, 0 mnemonics", "call OpenSign(\"\", 0, \"1\") = -2",
                          "frozen: 0 events", "event errCode(101, \"COM Port 는 1 에서 9번 까지 사용 가능 합니다!!\")",
                          "thawed: 1 events", "site: OnUIActivate", "site: SetActiveObject(Stylpad)",
                          "UI activation: 0x00000000", "moved: at 20,24, 300x150", "site: SetActiveObject(none)",
                          "site: OnUIDeactivate", "hidden: 0x00000000, not visible", "site: OnInPlaceDeactivate",
                          "close: done, the control's window is gone"});
  EXPECT_EQ(read_bmp(dir.file("moved.bmp")).width, 300);
}

TEST(OcxHost, EveryControlOffersItsPropertyPageAndDrawsBeforeItHasAWindow) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = host_prefix();
  Host host(wine);
  for (const ControlIds* c : {&tallypad(), &quillpad(), &stylpad()}) {
    register_control(wine, *c);
    testkit::TempDir dir;
    const auto r = host.run(dir, {"pages", c->progid, "--draw", w(dir.file("draw.bmp"))});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    const std::string title = c->page_description.substr(0, c->page_description.find(' '));
    expect_in_order(r.out, {"page: " + c->page_progid, "page title: " + title, "page: SetObjects 0x00000000, dirty no",
                            "view extent: 6773x3387", "picture drawn by IViewObject::Draw: written"});
    // The picture at the natural size: tallypad and quillpad frame their
    // area; stylpad's is white until something is signed.
    const Picture p = read_bmp(dir.file("draw.bmp"));
    ASSERT_EQ(p.width, 256) << c->family;
    const bool framed = c != &stylpad();
    EXPECT_EQ(p.ink(0, 0), framed) << c->family;
    EXPECT_EQ(p.ink(255, 127), framed) << c->family;
    EXPECT_FALSE(p.ink(128, 64)) << c->family;
  }
}

}  // namespace
}  // namespace pink::ocxtest
