// The IDL written from the member tables: what the type library of each
// automation class says, and that the IDL compiler accepts it for every
// class of the suite.
#include "automation/idl.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "msgcall/members.h"
#include "signpad/quillpad_members.h"
#include "signpad/stylpad_members.h"
#include "signpad/tallypad_members.h"
#include "tools/testkit/testkit.h"

namespace pink::automation {
namespace {

std::string idl(const ClassInfo& c, bool control = false) {
  std::string out;
  IdlOptions o;
  o.control = control;
  const char* fault = idl_of(c, o, out);
  EXPECT_EQ(fault, nullptr) << fault;
  return out;
}

bool has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

TEST(Idl, TheMessageObjectsLibraryDeclaresItsDualInterfaceEventsAndClass) {
  const std::string t = idl(msgcall::kClass);
  EXPECT_TRUE(has(t, "import \"pink_prelude.idl\";"));
  EXPECT_TRUE(has(t, "  uuid(4950FFD2-6D86-4291-B9D0-ACD31817DE33),\n  version(1.0),\n"
                     "  helpstring(\"msgcall 1.0 Type Library\")\n]\nlibrary MSGCALLLib\n"));
  EXPECT_TRUE(has(t, "importlib(\"stdole2.tlb\");"));
  EXPECT_TRUE(has(t, "uuid(F18DA25B-6D14-49A9-A1DE-EA44814805BA),\n    dual,\n    oleautomation,\n"));
  EXPECT_TRUE(has(t, "interface IMSGCALLMSG : IDispatch\n"));
  EXPECT_TRUE(has(t, "[id(1)] HRESULT MMSSend([in] BSTR SeqNo, [in] BSTR Type, [in] BSTR UserCode, "
                     "[in] BSTR DeptCode, [in] BSTR CallPhone, [in] BSTR ReqPhone, [in] BSTR Subject, "
                     "[in] BSTR CallMessage, [in] BSTR RDateTime, [in] BSTR FilePath1, [in] BSTR FilePath2, "
                     "[in] BSTR FilePath3, [out, retval] long* nRetVal);\n"));
  EXPECT_TRUE(has(t, "[id(2)] HRESULT MMSConnect([out, retval] long* nSocketID);\n"));
  EXPECT_TRUE(has(t, "[id(3)] HRESULT MMSClose([in] long nSocketID, [out, retval] long* nRetVal);\n"));
  EXPECT_TRUE(has(t, "[id(4)] HRESULT MMSSendDongbo([in] long nSocketID, [in] long nFirst, [in] long nLast, "
                     "[in] BSTR SeqNo,"));
  // The event interface declares nothing.
  EXPECT_TRUE(has(t, "dispinterface _IMSGCALLMSGEvents\n  {\n  properties:\n  methods:\n  };\n"));
  EXPECT_TRUE(has(t, "uuid(33B28151-FC79-47A6-90C4-CD560FDDF2A8),\n    helpstring(\"MSGCALLMSG Class\")\n  ]\n"
                     "  coclass MSGCALLMSG\n  {\n    [default] interface IMSGCALLMSG;\n"
                     "    [default, source] dispinterface _IMSGCALLMSGEvents;\n  };\n"));
  EXPECT_FALSE(has(t, "control"));
}

TEST(Idl, ControlsGetDispatchInterfacesWithPropertiesOutArgumentsAndEventArguments) {
  const std::string s = idl(signpad::styl::kClass, true);
  EXPECT_TRUE(has(s, "    uuid(562E8386-30A9-451E-9B75-DD0048C4B083),\n    helpstring(\"Stylpad Control\"),\n"
                     "    control\n"));
  EXPECT_TRUE(has(s, "[default] dispinterface _DStylpad;"));
  EXPECT_TRUE(has(s, "[id(1), propget] VARIANT_BOOL processClock();\n"));
  EXPECT_TRUE(has(s, "[id(1), propput] void processClock([in] VARIANT_BOOL processClock);\n"));
  EXPECT_TRUE(has(s, "[id(2), propget] short signpadframWidth();\n"));
  EXPECT_TRUE(has(s, "[id(4)] long OpenSign([in] BSTR LogPath, [in] long ComPort, [in] BSTR outamt);\n"));
  EXPECT_TRUE(has(s, "[id(5)] void setamt([in, out] long* amt);\n"));
  EXPECT_TRUE(has(s, "[id(-552)] void AboutBox();\n"));
  EXPECT_TRUE(has(s, "[id(1)] void HandleSize([in, out] long* x, [in, out] long* y);\n"));
  EXPECT_TRUE(has(s, "[id(3)] void errCode([in] long err, [in] BSTR errMsg);\n"));

  const std::string t = idl(signpad::tally::kClass, true);
  // A byte array is a VARIANT; the out-argument is a short by reference.
  EXPECT_TRUE(has(t, "[id(3)] VARIANT TallyPadInitData([out] short* nEventRet);\n") ||
              has(t, "[id(3)] VARIANT TallyPadInitData([in, out] short* nEventRet);\n"))
      << t;
  EXPECT_TRUE(has(t, "[id(15)] void OnCSDError([in] long lErrorCode);\n"));
  EXPECT_TRUE(has(idl(signpad::quill::kClass, true), "[id(1), propget] BSTR strCustInfoData();\n"));
}

TEST(Idl, ADualInterfaceHandsResultsBackThroughAnOutArgument) {
  static constexpr std::array<Param, 1> kValue{{{"value", Type::I2, Dir::In}}};
  static constexpr Member kRows[] = {
      {"Level", 1, kGet, {}, Type::I2},
      {"Level", 1, kPut, kValue, Type::Empty},
      {"Data", 2, kMethod, {}, Type::Bytes},
      {"Reset", 3, kMethod, {}, Type::Empty},
  };
  static constexpr ClassInfo kDual{
      "Sample", "Sample Class", "{11111111-2222-3333-4444-555555555555}", "pinktest.Sample.1", "pinktest.Sample",
      {"SAMPLELib", "{11111111-2222-3333-4444-555555555556}", 2, 3, "sample"},
      {"ISample", "{11111111-2222-3333-4444-555555555557}", true, kRows},
      {"_ISampleEvents", "{11111111-2222-3333-4444-555555555558}", false, {}},
  };
  const std::string t = idl(kDual);
  EXPECT_TRUE(has(t, "version(2.3)"));
  EXPECT_TRUE(has(t, "[id(1), propget] HRESULT Level([out, retval] short* pResult);\n"));
  EXPECT_TRUE(has(t, "[id(1), propput] HRESULT Level([in] short value);\n"));
  EXPECT_TRUE(has(t, "[id(2)] HRESULT Data([out, retval] VARIANT* pResult);\n"));
  EXPECT_TRUE(has(t, "[id(3)] HRESULT Reset();\n"));
  EXPECT_TRUE(has_implicit_retval(kRows[0]));
  EXPECT_FALSE(has_implicit_retval(kRows[1]));
  EXPECT_FALSE(has_implicit_retval(msgcall::kMembers[0]));
}

TEST(Idl, TablesThatCannotBeWrittenAsIdlAreRefusedWithTheReason) {
  static constexpr std::array<Param, 1> kBadParam{{{"two words", Type::I4, Dir::In}}};
  static constexpr Member kGood[] = {{"Go", 1, kMethod, {}, Type::Empty}};
  static constexpr Member kBadMember[] = {{"Go-On", 1, kMethod, {}, Type::Empty}};
  static constexpr Member kBadParams[] = {{"Go", 1, kMethod, kBadParam, Type::Empty}};
  static constexpr Member kTwice[] = {{"Go", 1, kMethod, {}, Type::Empty}, {"Stop", 1, kMethod, {}, Type::Empty}};
  const auto make = [](std::span<const Member> rows, const char* description, const char* clsid) {
    return ClassInfo{"Sample", description, clsid, "a.b.1", "a.b",
                     {"LIB", "{11111111-2222-3333-4444-555555555556}", 1, 0, "help"},
                     {"ISample", "{11111111-2222-3333-4444-555555555557}", false, rows},
                     {"_ISampleEvents", "{11111111-2222-3333-4444-555555555558}", false, {}}};
  };
  const char* good_clsid = "{11111111-2222-3333-4444-555555555555}";
  std::string out = "untouched";
  EXPECT_EQ(idl_of(make(kGood, "fine", good_clsid), {}, out), nullptr);
  EXPECT_TRUE(has(out, "coclass Sample"));

  struct Case {
    ClassInfo c;
    const char* fault_part;
  };
  const Case cases[] = {
      {make(kBadMember, "fine", good_clsid), "member name"},
      {make(kBadParams, "fine", good_clsid), "parameter name"},
      {make(kTwice, "fine", good_clsid), "DISPID"},
      {make(kGood, "a \"quoted\" text", good_clsid), "description"},
      {make(kGood, "caf\xC3\xA9", good_clsid), "description"},
      {make(kGood, "fine", "11111111-2222-3333-4444-555555555555"), "GUID"},
      {make(kGood, "fine", "{11111111-2222-3333-4444-55555555555G}"), "GUID"},
  };
  for (const Case& c : cases) {
    out = "untouched";
    const char* fault = idl_of(c.c, {}, out);
    ASSERT_NE(fault, nullptr) << c.fault_part;
    EXPECT_NE(std::string(fault).find(c.fault_part), std::string::npos) << fault;
    EXPECT_EQ(out, "untouched");
  }
}

// The IDL compiler of the Windows build turns every class's IDL into a type
// library (the prelude and the stand-in of stdole2.tlb from the COM layer).
TEST(Idl, TheIdlCompilerAcceptsTheIdlOfEveryClassOfTheSuite) {
  const std::string widl = "/usr/bin/x86_64-w64-mingw32-widl";
  ASSERT_TRUE(std::filesystem::exists(widl)) << "the IDL compiler is missing (scripts/setup installs mingw-w64-tools)";
  testkit::TempDir dir;
  const std::string com = std::string(PINK_SOURCE_DIR) + "/platform/win32/com";
  auto stdole = testkit::run(widl, {"-t", "-I", com, "-o", dir.file("stdole2.tlb"), com + "/stdole.idl"});
  ASSERT_EQ(stdole.exit_code, 0) << stdole.err;
  const struct {
    const ClassInfo* c;
    bool control;
  } classes[] = {{&msgcall::kClass, false},
                 {&signpad::tally::kClass, true},
                 {&signpad::quill::kClass, true},
                 {&signpad::styl::kClass, true}};
  for (const auto& k : classes) {
    const std::string name = k.c->name;
    dir.write(name + ".idl", idl(*k.c, k.control));
    auto r = testkit::run(widl, {"-t", "--win64", "-I", com, "-L", dir.path(), "-o", dir.file(name + ".tlb"),
                                 dir.file(name + ".idl")});
    EXPECT_EQ(r.exit_code, 0) << name << ": " << r.err;
    EXPECT_TRUE(dir.exists(name + ".tlb")) << name;
  }
}

}  // namespace
}  // namespace pink::automation
