// Where ssllib32 takes its trust settings from: the environment first, then
// ssllib32.ini beside the library, then the system store and the address
// connected to. The rules directly, and a Python caller that loads a copy of
// the library from a folder of its own with an INI file beside it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "payment/ssllib32/settings.h"
#include "tests/tls/loopback_server.h"
#include "tools/testkit/testkit.h"

namespace pink {
namespace {

using ssllib32::TrustSources;

std::string beside(std::string_view name) { return "/opt/pos/lib/" + std::string(name); }

TEST(Ssllib32Settings, TheEnvironmentComesFirstThenTheIniFile) {
  TrustSources s;
  auto o = ssllib32::client_options("10.0.0.7", s, &beside);
  EXPECT_EQ(o.peer_address, "10.0.0.7");
  EXPECT_FALSE(o.ca_file.has_value());  // the system store
  EXPECT_FALSE(o.peer_name.has_value());  // the address connected to

  s.ini_ca_file = "network.pem";
  s.ini_peer_name = "van.example.com";
  o = ssllib32::client_options("10.0.0.7", s, &beside);
  EXPECT_EQ(o.ca_file, "/opt/pos/lib/network.pem");  // relative to the library's folder
  EXPECT_EQ(o.peer_name, "van.example.com");

  s.env_ca_file = "/etc/pos/test-ca.pem";
  o = ssllib32::client_options("10.0.0.7", s, &beside);
  EXPECT_EQ(o.ca_file, "/etc/pos/test-ca.pem");
  EXPECT_EQ(o.peer_name, "van.example.com");  // each setting on its own
  s.env_peer_name = "localhost";
  EXPECT_EQ(ssllib32::client_options("10.0.0.7", s, &beside).peer_name, "localhost");

  for (const char* absolute : {"/etc/ca.pem", "\\ca.pem", "C:\\pos\\ca.pem", "c:/ca.pem", "\\\\server\\ca.pem"}) {
    EXPECT_TRUE(ssllib32::is_absolute_path(absolute)) << absolute;
  }
  for (const char* relative : {"ca.pem", "certs\\ca.pem", "./ca.pem", "1:ca.pem", ""}) {
    EXPECT_FALSE(ssllib32::is_absolute_path(relative)) << relative;
  }
}

TEST(Ssllib32Settings, APythonCallerWithTheLibraryInItsOwnFolderUsesTheIniBesideIt) {
  testing::Pki pki;
  testing::LoopbackServer server(pki, [](tls::Session& s) { s.send(std::string_view("\x05")); }, 3);
  ASSERT_TRUE(server.ok()) << server.error();
  testkit::TempDir pos;
  pos.mkdir("vendor");
  std::filesystem::copy_file(testkit::program("libssllib32.so"), pos.file("vendor/libssllib32.so"));
  pos.write("vendor/network.pem", pki.dir.read("ca.pem"));

  const std::string script = R"(
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1])
sock = ctypes.c_int(lib.sock_connect(b"127.0.0.1", int(sys.argv[2])))
ssl = lib.SSL_StartUp(ctypes.byref(sock))
buf = ctypes.create_string_buffer(16)
n = lib.SSL_RecvData(ssl, buf, 16) if ssl else -1
lib.SSL_Close(ssl, sock)
print(ssl != 0, n)
)";
  auto run = [&](const std::string& env_ca) {
    testkit::RunOptions o;
    o.cwd = pos.path();
    o.timeout_ms = 60000;
    o.env["PINK_TLS_CAFILE"] = env_ca;  // empty counts as unset
    o.env["PINK_TLS_PEERNAME"] = "";
    const auto r = testkit::run_python(script, {pos.file("vendor/libssllib32.so"), std::to_string(server.port())}, o);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return r.out;
  };
  pos.write("vendor/ssllib32.ini", "[ssllib32]\nCAFile=network.pem\nPeerName=localhost\n");
  EXPECT_EQ(run(""), "True 1\n");
  EXPECT_EQ(run(pki.files.other_ca_cert), "False -1\n");  // the environment's anchors come first
  pos.write("vendor/ssllib32.ini", "[ssllib32]\nCAFile=network.pem\nPeerName=payments.example\n");
  EXPECT_EQ(run(""), "False -1\n");
  server.join();
}

}  // namespace
}  // namespace pink
