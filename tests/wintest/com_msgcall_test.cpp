// msgcall.dll as a COM server under Wine, as a terminal meets it: regsvr32
// per machine and per user writes exactly the class's entries and removes
// them again, and a VBScript run by cscript creates "msgcall.MSGCALLMSG" by
// its ProgID and sends a message with an attachment to the provider
// simulator, configured by the msgcall.ini beside the installed DLL.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/wintest/com_support.h"
#include "tools/testkit/testkit.h"

namespace pink::comtest {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

const std::string kClsid = "{33B28151-FC79-47A6-90C4-CD560FDDF2A8}";
const std::string kLibid = "{4950FFD2-6D86-4291-B9D0-ACD31817DE33}";
const std::string kDualIid = "{F18DA25B-6D14-49A9-A1DE-EA44814805BA}";
const std::string kEventsIid = "{55622D4B-B5FF-47FD-9855-D0768AC8B207}";

// A terminal's install folder: the DLL copied into a folder of its own.
struct Installed {
  testkit::TempDir dir;
  std::string dll;      // this machine's path
  std::string windows;  // the path Windows sees
  Installed() {
    fs::copy_file(testkit::Wine::bin_dir() + "/msgcall.dll", dir.file("msgcall.dll"));
    dll = dir.file("msgcall.dll");
    windows = testkit::Wine::windows_path(dll);
  }
};

// Every key and value registration writes, below the classes key, for the
// module at `path` (the library's folder is `folder`): the ProgIDs, the class
// with no threading model, the type library and its two interfaces.
std::map<std::string, Tree> expected_entries(const std::string& path, const std::string& folder) {
  const std::string oa = "{00020424-0000-0000-C000-000000000046}";
  const std::string disp = "{00020420-0000-0000-C000-000000000046}";
  return {
      {"msgcall.MSGCALLMSG.1", {{"|", "MSGCALLMSG Class"}, {"CLSID|", kClsid}}},
      {"msgcall.MSGCALLMSG",
       {{"|", "MSGCALLMSG Class"}, {"CLSID|", kClsid}, {"CurVer|", "msgcall.MSGCALLMSG.1"}}},
      {"CLSID\\" + kClsid,
       {{"|", "MSGCALLMSG Class"},
        {"ProgID|", "msgcall.MSGCALLMSG.1"},
        {"VersionIndependentProgID|", "msgcall.MSGCALLMSG"},
        {"InprocServer32|", path},
        {"TypeLib|", kLibid},
        {"Programmable|*", ""}}},
      {"TypeLib\\" + kLibid,
       {{"|*", ""},
        {"1.0|", "msgcall 1.0 Type Library"},
        {"1.0\\0|*", ""},
        {"1.0\\0\\win64|", path},
        {"1.0\\FLAGS|", "0"},
        {"1.0\\HELPDIR|", folder}}},
      {"Interface\\" + kDualIid,
       {{"|", "IMSGCALLMSG"},
        {"ProxyStubClsid|", oa},
        {"ProxyStubClsid32|", oa},
        {"TypeLib|", kLibid},
        {"TypeLib|Version", "1.0"}}},
      {"Interface\\" + kEventsIid,
       {{"|", "_IMSGCALLMSGEvents"},
        {"ProxyStubClsid|", disp},
        {"ProxyStubClsid32|", disp},
        {"TypeLib|", kLibid},
        {"TypeLib|Version", "1.0"}}},
  };
}

void expect_registered(const testkit::Wine& wine, const std::string& classes, const Installed& at) {
  const std::string folder = at.windows.substr(0, at.windows.rfind('\\'));
  for (const auto& [key, entries] : expected_entries(at.windows, folder)) {
    EXPECT_EQ(reg_tree(wine, classes + "\\" + key), entries) << key;
  }
}

void expect_unregistered(const testkit::Wine& wine, const std::string& classes) {
  for (const auto& [key, entries] : expected_entries("", "")) {
    EXPECT_FALSE(wine.reg_key_exists(classes + "\\" + key)) << key;
  }
  // What other classes need stays.
  for (const char* shared : {"CLSID", "TypeLib", "Interface"}) {
    EXPECT_TRUE(wine.reg_key_exists(classes + "\\" + shared)) << shared;
  }
}

TEST(ComMsgcall, Regsvr32PerMachineWritesEveryEntryOfTheClassAndUnregistrationRemovesThem) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = own_prefix("com-machine");
  Installed at;
  const std::string hklm = "HKLM\\Software\\Classes";
  auto r = wine.run("regsvr32", {"/s", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_registered(wine, hklm, at);
  EXPECT_FALSE(wine.reg_key_exists("HKCU\\Software\\Classes\\CLSID\\" + kClsid));
  // Registering again changes nothing.
  r = wine.run("regsvr32", {"/s", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_registered(wine, hklm, at);

  r = wine.run("regsvr32", {"/s", "/u", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_unregistered(wine, hklm);
  // Unregistering what is not registered is no failure.
  r = wine.run("regsvr32", {"/s", "/u", at.windows});
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST(ComMsgcall, Regsvr32PerUserWritesUnderTheUsersClassesOnly) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = own_prefix("com-user");
  Installed at;
  const std::string hkcu = "HKCU\\Software\\Classes";
  auto r = wine.run("regsvr32", {"/s", "/n", "/i:user", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_registered(wine, hkcu, at);
  EXPECT_FALSE(wine.reg_key_exists("HKLM\\Software\\Classes\\CLSID\\" + kClsid));
  EXPECT_FALSE(wine.reg_key_exists("HKLM\\Software\\Classes\\msgcall.MSGCALLMSG"));

  r = wine.run("regsvr32", {"/s", "/u", "/n", "/i:user", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  expect_unregistered(wine, hkcu);

  // An install text the server does not know is refused and writes nothing.
  r = wine.run("regsvr32", {"/s", "/n", "/i:everyone", at.windows});
  EXPECT_NE(r.exit_code, 0);
  expect_unregistered(wine, hkcu);
}

// The provider simulator on a port of its own, keeping what it receives.
class Provider {
 public:
  Provider() {
    sim_ = std::make_unique<testkit::Process>(testkit::program("msgsim"),
                                              std::vector<std::string>{"--port", "0", "--store", store_.path()});
    EXPECT_TRUE(testkit::wait_until([&] { return sim_->out().find('\n') != std::string::npos; }, 20000))
        << sim_->err();
    const std::string first = sim_->out().substr(0, sim_->out().find('\n'));
    port_ = first.substr(first.rfind(':') + 1);
  }
  const std::string& port() const { return port_; }
  std::string stored(const std::string& name) const {
    return store_.exists("000001/" + name) ? store_.read("000001/" + name) : "<missing " + name + ">";
  }
  std::string log() { return sim_->out(); }

 private:
  testkit::TempDir store_;
  std::unique_ptr<testkit::Process> sim_;
  std::string port_;
};

// The script a POS would run: late binding through IDispatch; the file to
// attach, the subject and the text come as arguments (Korean texts reach
// the object as UTF-16 strings).
const char* kScript =
    "Set o = CreateObject(\"msgcall.MSGCALLMSG\")\r\n"
    "Set args = WScript.Arguments\r\n"
    "nRetVal = o.MMSSend(\"20240131-0001\", \"MMS\", \"user01\", \"dept01\", \"01012345678\", "
    "\"0212345678\", args(1), args(2), \"2024013112000000\", args(0), \"\", \"\")\r\n"
    "WScript.Echo \"nRetVal=\" & nRetVal\r\n"
    "n = o.mmsconnect()\r\n"
    "WScript.Echo \"socket>0=\" & (n > 0)\r\n"
    "WScript.Echo \"close=\" & o.MMSClose(n)\r\n";

TEST(ComMsgcall, AVbscriptCreatesTheObjectByProgIdAndSendsAMessageWithAnAttachment) {
  std::string why;
  ASSERT_TRUE(testkit::Wine::available(&why)) << why;
  testkit::Wine& wine = own_prefix("com-script");
  Provider provider;
  Installed at;
  at.dir.write("msgcall.ini", "[provider]\r\nprimary=127.0.0.1\r\nsecondary=127.0.0.1\r\nport=" + provider.port() +
                                  "\r\n");
  testkit::TempDir work;
  const std::string photo = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(3000, 'p') + std::string(1, '\0') + "end";
  work.write("photo.jpg", photo);
  work.write("send.vbs", kScript);
  fs::create_directories(wine.prefix() + "/drive_c/TEMP");  // the day log's folder

  auto r = wine.run("regsvr32", {"/s", at.windows});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  testkit::RunOptions o;
  o.timeout_ms = 60000;
  o.env["LC_ALL"] = "C.UTF-8";  // Wine reads the command line as UTF-8
  r = wine.run("cscript", {"//nologo", testkit::Wine::windows_path(work.file("send.vbs")),
                           testkit::Wine::windows_path(work.file("photo.jpg")), "\xEC\xA0\x9C\xEB\xAA\xA9",
                           "\xEB\xB3\xB8\xEB\xAC\xB8 OK"},  // 제목, 본문 OK
               o);
  // cscript ends with 0 even when the script failed: what it printed counts.
  EXPECT_EQ(r.out, "nRetVal=1\r\nsocket>0=True\r\nclose=0\r\n") << r.out << r.err;

  const std::string header = provider.stored("header.txt");
  EXPECT_NE(header.find("Subject=\xEC\xA0\x9C\xEB\xAA\xA9\n"), std::string::npos) << header;  // 제목, stored as UTF-8
  EXPECT_NE(header.find("SeqNo=20240131-0001\n"), std::string::npos) << header;
  EXPECT_NE(header.find("FileCount=1\n"), std::string::npos) << header;
  EXPECT_EQ(provider.stored("body.txt"), "\xBA\xBB\xB9\xAE OK");  // 본문 OK in cp949
  EXPECT_EQ(provider.stored("attachment1.jpg"), photo);

  // The object's day log on the terminal: one accepted message.
  std::string log;
  for (const auto& f : fs::directory_iterator(wine.prefix() + "/drive_c/TEMP")) {
    if (f.path().filename().string().rfind("MMS", 0) == 0) {
      std::ifstream in(f.path(), std::ios::binary);
      log.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  EXPECT_NE(log.find("[M\xC8\xA3\xC3\xE2\xBF\xE4\xC3\xBB\xBC\xBA\xB0\xF8] SENDID=[user01/dept01] CALL=[01012345678]"),
            std::string::npos)
      << log;  // [M호출요청성공]
}

}  // namespace
}  // namespace pink::comtest
