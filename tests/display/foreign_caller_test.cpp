// The display libraries called from a POS written in Python (ctypes), started
// in a folder of its own and loading each library by its absolute path.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

// Opens twice, writes one text, closes, then writes once more; prints the
// five results. argv: library path, "raw" or "line", line number, text (UTF-8).
constexpr const char* kCaller = R"(
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
raw = sys.argv[2] == "raw"
if raw:
    lib.PdsWrite.argtypes = [ctypes.c_char_p, ctypes.c_int32]
else:
    lib.PdsWrite.argtypes = [ctypes.c_int32, ctypes.c_char_p]
for f in (lib.PdsOpen, lib.PdsWrite, lib.PdsClose):
    f.restype = ctypes.c_int32
text = sys.argv[4].encode("cp949")
def write():
    return lib.PdsWrite(text, len(text)) if raw else lib.PdsWrite(int(sys.argv[3]), text)
results = [lib.PdsOpen(), lib.PdsOpen(), write(), lib.PdsClose(), write()]
print(" ".join(str(r) for r in results))
)";

testkit::RunResult call(const testkit::TempDir& folder, const std::string& library, const std::string& kind,
                        const std::string& line, const std::string& utf8_text) {
  testkit::RunOptions o;
  o.cwd = folder.path();
  return testkit::run_python(kCaller, {testkit::program("lib" + library + ".so"), kind, line, utf8_text}, o);
}

TEST(ForeignCaller, PythonDrivesEachLibraryFromAnotherFolder) {
  testkit::TempDir folder;
  {
    testkit::VirtualPort port(4);
    auto r = call(folder, "ldisp2", "line", "2", "합계 ABC");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1 2 1 1 0\n") << r.err;
    const std::string field = text::utf8_to_cp949("합계 ABC");
    EXPECT_EQ(port.read_available(2000), std::string("\x1b\x6c\x01\x02") + field + std::string(20 - field.size(), ' '));

    r = call(folder, "gdisp", "line", "0", "12,000");
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "1 2 1 1 0\n") << r.err;
    EXPECT_EQ(port.read_available(2000), "\x1b\x7b\x31\x3b\x31\x48" "12,000" + std::string(26, ' '));
  }
  testkit::VirtualPort port(6);
  const auto r = call(folder, "ldisp", "raw", "", "\x0b합계");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "1 2 1 1 0\n") << r.err;
  EXPECT_EQ(port.read_available(2000), "\x0b" + text::utf8_to_cp949("합계") + std::string(1, '\0'));
}

}  // namespace
}  // namespace pink
