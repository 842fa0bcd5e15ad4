// Where the servers are: the settings' rules, and the plain library from a
// Python program in a folder of its own, configured by the msgcall.ini
// beside the library and by the variables.
#include <gtest/gtest.h>

#include <filesystem>

#include "msgcall/endpoints.h"
#include "tests/msgcall/provider.h"

namespace pink::msgcall {
namespace {

using namespace testing;

TEST(Config, DefaultsFileAndVariables) {
  auto text = [](const Endpoint& e) { return e.host + ":" + std::to_string(e.port); };
  Endpoints e = endpoints_from({});
  EXPECT_EQ(text(e.primary), "127.0.0.1:7744");
  EXPECT_EQ(text(e.secondary), "localhost:7744");

  e = endpoints_from({"sms1.example.net", "10.0.0.2:8000", "7800", std::nullopt, std::nullopt});
  EXPECT_EQ(text(e.primary), "sms1.example.net:7800");
  EXPECT_EQ(text(e.secondary), "10.0.0.2:8000");

  // The variables win, with or without a port of their own.
  e = endpoints_from({"sms1.example.net", "sms2.example.net", "7800", "127.0.0.1:9001", "backup"});
  EXPECT_EQ(text(e.primary), "127.0.0.1:9001");
  EXPECT_EQ(text(e.secondary), "backup:7800");
  e = endpoints_from({"", "", "", std::string(""), std::nullopt});  // an empty variable counts as unset
  EXPECT_EQ(text(e.primary), "127.0.0.1:7744");

  // A port that is no port number gives 0, so connecting there fails instead of going elsewhere.
  for (const char* bad : {"0", "65536", "77x4", "-1", " 7744"}) {
    EXPECT_EQ(endpoints_from({"", "", bad, std::nullopt, std::nullopt}).primary.port, 0) << bad;
    EXPECT_EQ(endpoints_from({"", "", "", std::string("h:") + bad, std::nullopt}).primary.port, 0) << bad;
  }
  EXPECT_EQ(endpoints_from({"", "", "65535", std::nullopt, std::nullopt}).secondary.port, 65535);
}

TEST(Config, APythonProgramSendsThroughTheLibraryConfiguredBesideIt) {
  Provider provider;
  const std::uint16_t dead = closed_port();
  testkit::TempDir pos, logs;
  pos.mkdir("vendor");
  pos.mkdir("run");
  std::filesystem::copy_file(testkit::program("libmsgcall.so"), pos.file("vendor/libmsgcall.so"));
  // The primary is down; the secondary takes the file's port.
  pos.write("vendor/msgcall.ini", "[provider]\r\nprimary=127.0.0.1:" + std::to_string(dead) +
                                      "\r\nsecondary=localhost\r\nport=" + std::to_string(provider.port()) + "\r\n");
  pos.write("run/pic.png", "PNG!");

  const std::string script = R"(
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
ret = ctypes.c_int32(99)
t = lambda s: s.encode("cp949")
print(lib.MMSSend(b"7", b"S", b"user01", b"dept01", b"010", b"02", t("제목"), t("본문"), None,
                  b"pic.png", None, None, ctypes.byref(ret)), ret.value)
print(lib.MMSSend(b"8", None, None, None, None, None, None, None, None, None, None, None, None))
sock = ctypes.c_int32(0)
print(lib.MMSConnect(ctypes.byref(sock)) == sock.value, sock.value > 0)
for first, last in ((1, 0), (0, 1)):
    print(lib.MMSSendDongbo(sock, first, last, b"9", b"M", b"u", b"d", b"010", b"02", b"s", b"", b"",
                            None, None, None, ctypes.byref(ret)), ret.value)
print(lib.MMSClose(sock, ctypes.byref(ret)), ret.value)
print(lib.MMSClose(-5, None))
)";
  testkit::RunOptions options;
  options.cwd = pos.file("run");
  options.env = {{"PINK_MSG_LOGDIR", logs.path()}, {"PINK_MSG_PRIMARY", ""}, {"PINK_MSG_SECONDARY", ""}};
  auto r = testkit::run_python(script, {pos.file("vendor/libmsgcall.so")}, options);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "1 1\n1\nTrue True\n1 1\n1 1\n0 0\n0\n") << provider.log();
  EXPECT_EQ(provider.stored(1, "attachment1.png"), "PNG!");
  EXPECT_EQ(provider.stored(1, "body.txt"), "\xBA\xBB\xB9\xAE");
  // Null texts count as empty.
  EXPECT_EQ(provider.stored(2, "login.bin"), "B" + z(12) + "1.1.3_0DA0" + z(4) + z(40));
  EXPECT_EQ(provider.stored(2, "message.bin"), "Q8" + z(31 + 13 + 13 + 16 + 120 + 4) + "0" + z(3) + "N" + "0" + z(3));

  // The variable overrides the file: now nothing answers.
  options.env["PINK_MSG_SECONDARY"] = "127.0.0.1:" + std::to_string(dead);
  r = testkit::run_python(R"(
import ctypes, sys
ret = ctypes.c_int32(0)
print(ctypes.CDLL(sys.argv[1]).MMSSend(*([b"x"] * 12), ctypes.byref(ret)), ret.value)
)",
                          {pos.file("vendor/libmsgcall.so")}, options);
  EXPECT_EQ(r.out, "-1 -1\n") << r.err;
}

}  // namespace
}  // namespace pink::msgcall
