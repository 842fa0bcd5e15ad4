// What a failing job says on standard error for people: the file looked for,
// the port and the system's reason, the settings behind an untrusted peer,
// the port field as read. The mailbox keeps the texts the POS compares.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/payment_network.h"
#include "tests/kitchen/kitchen_fixture.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

using testing::KitchenRun;
using testing::Resident;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The full path of a file of the working folder, as the programs print it.
std::string real(const testkit::TempDir& dir, const std::string& name) {
  return std::filesystem::canonical(dir.path()).string() + "/" + name;
}

TEST(FailureText, MissingJobFilesAreNamedWithTheirFullPath) {
  for (const std::string program : {"printer", "kitchen", "kitchenb"}) {
    KitchenRun r;
    const auto res = r.run(program);
    EXPECT_EQ(res.exit_code, 1) << program;
    const std::string job = program == "printer" ? "printer.zor" : program + ".zor";
    EXPECT_TRUE(has(res.err, program + ": File not found: no job file " + real(r.work, job))) << res.err;
    if (program == "printer") {
      EXPECT_EQ(r.get("floyd", "prttw_text"), "File not found");
      EXPECT_EQ(r.get("floyd", "prttw_error"), "syserror");
    } else {
      EXPECT_EQ(r.get("floyd", "kit_text"), "File not found");
      EXPECT_EQ(r.get("floyd", "kit_error_no"), "53");
    }
  }
}

TEST(FailureText, MissingLogFolderAndLibraryAreNamed) {
  KitchenRun r;
  testkit::VirtualPort port(1);
  std::filesystem::remove(r.work.file("zorlog"));
  r.set("spiro", "PortCheckYN", "Y");
  r.set("spiro", "1", "Y");  // held: the wait is logged
  r.job("kitchen.zor", {"1T0XX", "X"});
  auto res = r.run("kitchen");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_TRUE(has(res.err, "Path not found: no folder for the log file " + real(r.work, "zorlog/ZorVB.log")))
      << res.err;
  EXPECT_EQ(r.get("floyd", "kit_text"), "Path not found");

  // printer alone in a folder: every place the library was looked for is named.
  KitchenRun lone;
  testkit::TempDir bin;
  std::filesystem::copy_file(testkit::program("printer"), bin.file("printer"));
  std::filesystem::permissions(bin.file("printer"), std::filesystem::perms::owner_all);
  lone.job("printer.zor", {"1XCXN", "HELLO"});
  res = lone.run("printer", bin.path());
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_TRUE(has(res.err, "no " + std::filesystem::canonical(bin.path()).string() + "/librcptlib.so")) << res.err;
  EXPECT_EQ(lone.get("floyd", "prttw_text"), "File not found: librcptlib.so");
}

TEST(FailureText, PortsThatCannotBeOpenedAreNamedWithTheSystemsReason) {
  KitchenRun r;
  testkit::ScopedEnv gone("PINK_COM5", r.work.file("no-such-tty"));
  r.job("kitchen.zor", {"5T0XX", "X"});
  auto res = r.run("kitchen");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_TRUE(has(res.err, "COM5 (" + r.work.file("no-such-tty") + "): No such file or directory")) << res.err;
  EXPECT_EQ(r.get("floyd", "kit_text"), "Invalid port number");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "8002");

  // Through the receipt library, which says why on the caller's standard
  // error; the mailbox text stays empty as before.
  r.job("printer.zor", {"5XCXN", "HELLO"});
  res = r.run("printer");
  EXPECT_EQ(res.exit_code, 1);
  EXPECT_TRUE(has(res.err, "rcptlib: OpenPort: cannot open COM5 (" + r.work.file("no-such-tty") +
                               "): No such file or directory"))
      << res.err;
  EXPECT_TRUE(has(res.err, "printer: the receipt library could not open COM5\n")) << res.err;
  EXPECT_EQ(r.get("floyd", "prttw_text"), "");
  EXPECT_EQ(r.get("floyd", "prttw_error"), "syserror");
}

// The printer vanishes in the middle of a long slip: the write that fails
// names the port and what the system said (or how much went out in time).
TEST(FailureText, AWriteThatFailsNamesThePortAndTheReason) {
  KitchenRun r;
  testkit::VirtualPort port(32);
  std::vector<std::string> lines{"32T0XX"};
  for (int i = 0; i < 6000; ++i) lines.push_back("LINE " + std::to_string(i) + std::string(50, '-'));
  r.job("kitchen.zor", lines);
  testkit::RunOptions o;
  o.cwd = r.work.path();
  testkit::Process p(testkit::program("kitchen"), {}, o);
  ASSERT_EQ(port.read_exact(64, 20000).size(), 64u) << p.err();
  port.unplug();
  ASSERT_EQ(p.wait(30000), 1);
  const std::string err = p.err();
  const auto at = err.find("kitchen: Device I/O error: write to COM32 ");
  ASSERT_NE(at, std::string::npos) << err;
  const std::string rest = err.substr(at);
  if (has(rest.substr(0, rest.find('\n')), "refused")) {
    EXPECT_TRUE(has(rest, "refused: ")) << "no reason given: " << rest;
  } else {
    EXPECT_TRUE(has(rest, "did not complete (")) << rest;
  }
  EXPECT_EQ(r.get("floyd", "kit_text"), "Device I/O error");
  EXPECT_EQ(r.get("floyd", "kit_error_no"), "57");
}

TEST(FailureText, KitchenPortFieldsThatNameNoPortAreQuoted) {
  struct Case {
    std::string header, field, text, number;
  };
  for (const Case& c : {Case{"99T0XX", "99", "Invalid port number", "8002"},
                        Case{"XAT0XX", "XA", "Type mismatch", "13"}}) {
    KitchenRun r;
    r.job("kitchen.zor", {c.header, "X"});
    const auto res = r.run("kitchen");
    EXPECT_EQ(res.exit_code, 1);
    EXPECT_TRUE(has(res.err, "the job header's port field \"" + c.field + "\" is not 1..16 or \"P\"")) << res.err;
    EXPECT_EQ(r.get("floyd", "kit_text"), c.text);
    EXPECT_EQ(r.get("floyd", "kit_error_no"), c.number);
  }
}

// The resident printers, driven through the mailbox as the POS does.
TEST(FailureText, ResidentPrintersQuoteABadPortField) {
  Resident mux;
  mux.start("kitmux");
  ASSERT_TRUE(mux.started());
  mux.submit({"17T0XX", "X"});
  EXPECT_EQ(mux.process->wait(10000), 1);
  EXPECT_TRUE(has(mux.process->err(), "kitmux: Object variable or With block variable not set: the job header's "
                                      "port field \"17\" is not 1..16 or \"P\""))
      << mux.process->err();
  EXPECT_EQ(mux.get("floyd", "kit_text"), "17-Object variable or With block variable not set");

  Resident feed;
  feed.start("kitfeed");
  ASSERT_TRUE(feed.started());
  feed.submit({"16T0XX", "X"});
  feed.submit({"PTXXX", "X"});
  ASSERT_TRUE(feed.process->running());
  EXPECT_EQ(feed.process->terminate(5000), 0);
  const std::string err = feed.process->err();
  EXPECT_TRUE(has(err, "kitfeed: the job header's port field \"16\" is not 1..15 or \"P\": nothing printed")) << err;
  EXPECT_TRUE(has(err, "kitfeed: the job is for the parallel port \"P\"")) << err;
  EXPECT_EQ(feed.get("floyd", "kit_text"), "포트지정오류 16");
}

TEST(FailureText, SignprtWithoutASignatureSaysWhichFilesWereLookedFor) {
  KitchenRun r;
  testkit::VirtualPort port(1);
  r.job("printer.zor", {"1XCXN", "SHOP", "SIGNPRT", "THANK YOU"});
  const auto res = r.run("printer");
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(port.read_sent(5000), "SHOP\r\n\x1B\x61\x31THANK YOU\r\n");
  const std::string signs = std::filesystem::canonical(r.signs.path()).string();
  EXPECT_TRUE(has(res.err, "printer: SIGNPRT: no signature file " + signs + "/sign.bmp or " + signs +
                               "/zorsign.bmp: no signature printed\n"))
      << res.err;
  EXPECT_EQ(r.get("floyd", "prttw_error"), "");
  EXPECT_EQ(r.get("floyd", "prttw_state"), "start");
}

TEST(FailureText, PrintBitmapOfAMissingFileSaysSoToAForeignCaller) {
  testkit::TempDir dir;
  testkit::VirtualPort port(7);
  const std::string script =
      "import ctypes, sys\n"
      "lib = ctypes.CDLL(sys.argv[1])\n"
      "assert lib.OpenPort(b'COM7', 9600) == 0\n"
      "print(lib.PrintBitmap(b'nothing-here.bmp', 1, 0))\n"
      "lib.ClosePort()\n";
  testkit::RunOptions o;
  o.cwd = dir.path();
  const auto res = testkit::run_python(script, {testkit::program("librcptlib.so")}, o);
  EXPECT_EQ(res.exit_code, 0) << res.err;
  EXPECT_EQ(res.out, "0\n");
  EXPECT_TRUE(has(res.err, "rcptlib: PrintBitmap: no bitmap file " + real(dir, "nothing-here.bmp") +
                               ": nothing printed\n"))
      << res.err;
  EXPECT_EQ(port.read_available(200), "");
}

TEST(FailureText, AnUntrustedNetworkNamesTheTrustSettings) {
  KitchenRun r;
  testing::PaymentNetwork net;
  testkit::ScopedEnv wrong_ca("PINK_TLS_CAFILE", net.pki.file("other-ca.pem"));
  net.start({});
  r.set("floyd", "corvana_state", "start");
  r.set("floyd", "corvana_text", "AB0200123456");
  testkit::RunOptions o;
  o.cwd = r.work.path();
  o.timeout_ms = 60000;
  const auto res = testkit::run(testkit::program("corvana"), {"C/127.0.0.1/" + std::to_string(net.port)}, o);
  EXPECT_EQ(res.exit_code, 1);
  for (const std::string& part : std::vector<std::string>{"not trusted", net.pki.file("other-ca.pem"), "PINK_TLS_CAFILE", "ssllib32.ini",
                                 "CAFile=", "PINK_TLS_PEERNAME", "name checked: 127.0.0.1"}) {
    EXPECT_TRUE(has(res.err, part)) << part << " in " << res.err;
  }
  EXPECT_EQ(r.get("floyd", "corvana_error"), "Connect SSL 오류");
  EXPECT_EQ(r.get("floyd", "corvana_state"), "End");
}

}  // namespace
}  // namespace pink
