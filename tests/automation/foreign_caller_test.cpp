// POS programs written in Python reach the automation objects with ctypes
// from folders of their own: the value layout, out-arguments, UTF-8 strings,
// byte arrays, the event callback and the descriptor as a foreign caller
// sees them (through a library built like libpinkauto with the probe object
// inside), and libpinkauto itself, with the message sending object.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/socket.h"
#include "tests/msgcall/provider.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

namespace fs = std::filesystem;

// The POS loads the library through the Python binding shipped beside it.
const std::string kPrelude = R"(
import ctypes, select, sys
from pinkauto import *
lib = load(sys.argv[1])
)";

testkit::RunOptions options(const std::string& cwd) {
  testkit::RunOptions o;
  o.cwd = cwd;
  o.env["PYTHONIOENCODING"] = "utf-8";
  o.timeout_ms = 60000;
  return o;
}

TEST(AutomationForeignCaller, PythonPosDrivesEveryKindOfMemberEventAndTheDescriptor) {
  testkit::TempDir pos;
  const std::string script = kPrelude + R"(
o = lib.pink_create(b"pinktest.Probe")
st, a, r = call(o, "add", [num(3, 30000), num(2, 5)]); print("add", st, r.type, r.num)
st, a, r = call(o, "Add", [num(3, 40000), num(2, 5)]); print("range", st, r.type)
st, a, r = call(o, "Add", [num(2, 1)]); print("count", st)
st, a, r = call(o, "Split", [text("하나 둘"), num(8, 0, 1), num(2, 0, 1), num(3, 5, 1)])
print("split", st, show(a[1]), a[2].num, a[3].num, r.type, r.num)
st, a, r = call(o, "Echo", [text(None)]); print("echo", st, repr(r.str))
st, a, r = call(o, "Fetch", [num(2, 3), num(2, 0, 1)]); print("fetch", st, r.type, show(r), a[1].num)
seen = []
def on_event(ctx, dispid, name, args, nargs):
    seen.append((dispid, name.decode(), [show(args[i]) for i in range(nargs)]))
callback = EVENT(on_event)
lib.pink_advise(o, callback, None)
call(o, "Name", [text("계산대")], 4)
call(o, "Fire", [num(2, 2)])
print("fired", seen)
del seen[:]
data = (ctypes.c_uint8 * 3)(7, 8, 9)
call(o, "Receive", [Value(0x2011, 0, None, ctypes.cast(data, ctypes.POINTER(ctypes.c_uint8)), 3, 0)])
print("during", seen)
ready, _, _ = select.select([lib.pink_fd(o)], [], [], 10)
print("ready", len(ready), "ran", lib.pink_pump(o, 0), seen)
ready, _, _ = select.select([lib.pink_fd(o)], [], [], 0)
print("after", len(ready), lib.pink_snapshot(o, b"probe.png", 64, 32))
lib.pink_release(o)
lib.pink_release(None)
)";
  const auto r = testkit::run_python(script, {PINK_PROBE_LIBRARY}, options(pos.path()));
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "add 0 3 30005\n"
            "range -3 0\n"
            "count -2\n"
            "split 0 하나 7 12 11 -1\n"
            "echo 0 b''\n"
            "fetch 0 8209 [0, 1, 2] 1\n"
            "fired [(1, 'OnTick', [1, '계산대']), (1, 'OnTick', [2, '계산대'])]\n"
            "during []\n"
            "ready 1 ran 1 [(2, 'OnData', [[7, 8, 9]])]\n"
            "after 0 -1\n")
      << r.err;
}

// libpinkauto.so as a POS ships it, in a folder of its own.
std::string shipped_library(const testkit::TempDir& pos) {
  pos.mkdir("vendor");
  const std::string lib = pos.file("vendor/libpinkauto.so");
  fs::copy_file(testkit::program("libpinkauto.so"), lib);
  pos.mkdir("run");
  return lib;
}

TEST(AutomationForeignCaller, LibpinkautoRefusesUnknownClassesAndNullObjectsQuietly) {
  testkit::TempDir pos;
  const std::string lib = shipped_library(pos);
  const std::string script = kPrelude + R"(
print(lib.pink_create(b"no.SuchClass"), lib.pink_create(None))
lib.pink_release(None)
lib.pink_advise(None, EVENT(), None)
print(lib.pink_dispid(None, b"MMSSend"), lib.pink_invoke(None, 1, 1, None, 0, None),
      lib.pink_pump(None, 0), lib.pink_fd(None), lib.pink_snapshot(None, b"x.png", 1, 1))
)";
  const auto r = testkit::run_python(script, {lib}, options(pos.file("run")));
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "None None\n-1 -1 -1 -1 -1\n") << r.err;
}

// The twelve texts of a message and the out-argument, as ctypes values.
const std::string kMessage = R"(
def message(seq, files):
    values = [text(t) for t in [seq, "M", "user01", "영업부", "01012345678", "0212345678",
                                "제목", "본문 내용", ""] + files]
    return values + [num(3, 0, 1)]
)";

std::string read_logs(const std::string& dir) {
  std::string all;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return all;
}

TEST(AutomationForeignCaller, LibpinkautoMakesTheMessageObjectWhichReportsAnUnreachableProvider) {
  // A port nobody listens on: both servers refuse at once.
  const std::uint16_t closed = msgcall::testing::closed_port();
  testkit::TempDir pos, logs;
  const std::string lib = shipped_library(pos);
  const std::string script = kPrelude + kMessage + R"(
for progid in (b"msgcall.MSGCALLMSG", b"msgcall.MSGCALLMSG.1"):
    o = lib.pink_create(progid)
    ids = [lib.pink_dispid(o, m) for m in (b"MMSSend", b"mmsconnect", b"MMSClose", b"MMSSendDongbo")]
    st, a, r = call(o, "MMSConnect", [num(3, 99, 1)])
    print(progid.decode(), ids, st, a[0].num, r.num)
    st, a, r = call(o, "MMSSend", message("0001", ["", "", ""]))
    print(st, a[12].num, r.num)
    lib.pink_release(o)
)";
  auto opts = options(pos.file("run"));
  const std::string here = "127.0.0.1:" + std::to_string(closed);
  opts.env["PINK_MSG_PRIMARY"] = here;
  opts.env["PINK_MSG_SECONDARY"] = here;
  opts.env["PINK_MSG_LOGDIR"] = logs.path();
  const auto r = testkit::run_python(script, {lib}, opts);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "msgcall.MSGCALLMSG [1, 2, 3, 4] 0 -1 -1\n0 -1 -1\n"
            "msgcall.MSGCALLMSG.1 [1, 2, 3, 4] 0 -1 -1\n0 -1 -1\n")
      << r.err;
  const std::string log = read_logs(logs.path());
  EXPECT_NE(log.find("line[1052]"), std::string::npos) << log;  // MMSConnect
  EXPECT_NE(log.find("line[441]"), std::string::npos) << log;   // MMSSend
}

TEST(AutomationForeignCaller, LibpinkautoSendsABatchAndASingleMessageToTheProvider) {
  msgcall::testing::Provider provider;
  testkit::TempDir pos, logs;
  const std::string lib = shipped_library(pos);
  pos.write("run/menu.jpg", std::string(1000, 'J'));
  const std::string script = kPrelude + kMessage + R"(
o = lib.pink_create(b"msgcall.MSGCALLMSG")
st, a, r = call(o, "MMSConnect", [num(3, 0, 1)])
sock = a[0].num
print(st, sock >= 0)
for first, last, seq in ((1, 0, "B1"), (0, 1, "B2")):
    st, a, r = call(o, "MMSSendDongbo", [num(3, sock), num(3, first), num(3, last)] + message(seq, ["", "", ""]))
    print(st, a[15].num, r.num)
st, a, r = call(o, "MMSClose", [num(3, sock), num(3, 9, 1)])
print(st, a[1].num)
st, a, r = call(o, "MMSSend", message("S1", ["menu.jpg", "", ""]))
print(st, a[12].num, r.num)
lib.pink_release(o)
)";
  auto opts = options(pos.file("run"));
  for (const auto& [k, v] : provider.env(logs.path())) opts.env[k] = v;
  const auto r = testkit::run_python(script, {lib}, opts);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "0 True\n0 1 1\n0 1 1\n0 0\n0 1 1\n") << r.err << provider.log();
}

}  // namespace
}  // namespace pink
