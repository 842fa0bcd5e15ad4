// scanio called the way a POS written in Python calls it: ctypes, its own
// interpreter started in another folder, a pipe of its own as the window and
// a pseudo-terminal of its own as COM2.
#include <gtest/gtest.h>

#include <string>

#include "tools/testkit/testkit.h"

namespace pink::testkit {
namespace {

constexpr const char* kCaller = R"PY(
import ctypes, fcntl, os, select, struct, sys, termios, time, tty

lib = ctypes.CDLL(sys.argv[1])
i32, u32, ptr = ctypes.c_int32, ctypes.c_uint32, ctypes.c_char_p
for name, args in (("ScnOpenI", [ctypes.c_ssize_t, u32, ptr]), ("ScnCloseI", []),
                   ("ScnOpenP", [ctypes.c_ssize_t]), ("ScnReadP", [ptr]), ("ScnCloseP", [])):
    f = getattr(lib, name)
    f.argtypes, f.restype = args, i32

master, slave = os.openpty()
tty.setraw(slave)
os.environ["PINK_COM2"] = os.ttyname(slave)

def waiting():
    n = fcntl.ioctl(slave, termios.FIONREAD, b"\0\0\0\0")
    return struct.unpack("i", n)[0]

def wait_for(count):
    end = time.time() + 10
    while waiting() != count:
        assert time.time() < end, "bytes did not arrive"
        time.sleep(0.01)

buf = ctypes.create_string_buffer(100)
assert lib.ScnReadP(buf) == -1
assert lib.ScnCloseI() == 0
assert lib.ScnCloseP() == 0

r, w = os.pipe()
assert lib.ScnOpenI(w, 0x0401, buf) == 1
assert lib.ScnOpenI(w, 0x0402, buf) == 2
os.write(master, b"4901234567894\r")
assert select.select([r], [], [], 10)[0], "no message"
assert struct.unpack("<III", os.read(r, 12)) == (0x0401, 0, 0)
assert buf.raw[:14] == b"4901234567894\0"
assert lib.ScnCloseI() == 1
assert lib.ScnCloseI() == 0

assert lib.ScnOpenP(w) == 1
assert lib.ScnOpenP(w) == 2
assert lib.ScnReadP(buf) == 13
os.write(master, b"ABC\r")
wait_for(4)
assert lib.ScnReadP(buf) == 3
assert buf.value == b"ABC"
assert lib.ScnCloseP() == 1
assert lib.ScnReadP(buf) == -1
assert not select.select([r], [], [], 0.1)[0], "a message in polling mode"
print("scanner ok")
)PY";

TEST(ScanioForeignCaller, APythonProgramInAnotherFolderUsesEveryExport) {
  TempDir folder;
  RunOptions options;
  options.cwd = folder.path();
  const RunResult r = run_python(kCaller, {program("libscanio.so")}, options);
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "scanner ok\n") << r.err;
}

}  // namespace
}  // namespace pink::testkit
