// vscanner run as an integrator runs it: around a program that reads the
// port, and listening for the scanner library opened elsewhere.
#include <gtest/gtest.h>

#include <string>

#include "pink/scanio.h"
#include "tests/scanio/sinks.h"
#include "tools/testkit/testkit.h"

namespace pink::testkit {
namespace {

// A program that sets the port's line (as any serial driver does when it
// opens the port) and then prints what the scanner sends, as hex.
std::vector<std::string> reader_of(const std::string& port, std::size_t bytes) {
  return {"sh", "-c",
          "stty -F \"$PINK_" + port + "\" 9600 raw -echo && head -c " + std::to_string(bytes) +
              " \"$PINK_" + port + "\" | od -An -tx1 | tr -s ' \\n' ' '"};
}

std::vector<std::string> with(std::vector<std::string> front, const std::vector<std::string>& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

TEST(VscannerTool, SendsTheCodesToTheProgramOnceItOpensThePort) {
  // Codes from the command line, ended with CR LF.
  auto r = run(program("vscanner"),
               with({"COM31", "--end", "crlf", "--gap", "0", "A1", "B22", "--"}, reader_of("COM31", 9)));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, " 41 31 0d 0a 42 32 32 0d 0a ");
  EXPECT_NE(r.err.find("vscanner: sent \"B22\" to COM31"), std::string::npos) << r.err;

  // Lines of standard input (LF or CR LF ended, the last one unended), CR.
  RunOptions in;
  in.input = "X1\r\nY2\n\nZ3";
  r = run(program("vscanner"), with({"COM31", "--gap", "0", "--"}, reader_of("COM31", 10)), in);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, " 58 31 0d 59 32 0d 0d 5a 33 0d ");
}

TEST(VscannerTool, EndsWithTheProgramsStatusAndRefusesBadUsage) {
  // A program that never opens the port: nothing is sent, nothing hangs.
  auto r = run(program("vscanner"), {"COM32", "4901234567894", "--", "sh", "-c", "exit 3"});
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_EQ(r.err.find("sent"), std::string::npos) << r.err;
  r = run(program("vscanner"), {"COM32", "--", "/nonexistent/pink/program"});
  EXPECT_EQ(r.exit_code, 127);

  r = run(program("vscanner"), {"COM32", "--end", "lf", "--", "true"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--end takes cr or crlf"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("usage: vscanner"), std::string::npos) << r.err;

  r = run(program("vscanner"), {"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("--listen"), std::string::npos);
}

TEST(VscannerTool, ListensForTheScannerLibraryOpenedElsewhere) {
  Process scanner(program("vscanner"), {"COM2", "--listen", "--gap", "0", "4901234567894"});
  ASSERT_TRUE(wait_until([&] { return scanner.out().find('\n') != std::string::npos; }, 10000));
  const std::string path = scanner.out().substr(0, scanner.out().find('\n'));
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

  ScopedEnv com2("PINK_COM2", path);
  Pipe window;
  char buf[100] = {};
  ASSERT_EQ(ScnOpenI(window.window(), 0x8001, buf), 1);
  EXPECT_EQ(window.record(), (Message{0x8001, 0, 0}));
  EXPECT_STREQ(buf, "4901234567894");
  EXPECT_TRUE(window.quiet(200));
  EXPECT_EQ(ScnCloseI(), 1);
  EXPECT_EQ(scanner.terminate(), 0);
  EXPECT_EQ(scanner.out(), path + "\n");
}

}  // namespace
}  // namespace pink::testkit
