// msgcall.dll loaded as a COM client loads it: its type library against the
// message object's member table, its dual interface early and late bound,
// and a registration that fails half-way.
#include <gtest/gtest.h>

#include <string>

#include "msgcall/members.h"
#include "tests/win/com/support.h"
#include "tests/win/com/typelib_check.h"

namespace pink::comtest {

// Declared with external linkage: a compiler that sees no implementation of
// an interface of internal linkage may take its calls for pure virtual ones.
struct IMSGCALLMSG : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE MMSSend(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR,
                                            long* nRetVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE MMSConnect(long* nSocketID) = 0;
  virtual HRESULT STDMETHODCALLTYPE MMSClose(long nSocketID, long* nRetVal) = 0;
  virtual HRESULT STDMETHODCALLTYPE MMSSendDongbo(long, long, long, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, BSTR,
                                                  BSTR, BSTR, BSTR, BSTR, long* nRetVal) = 0;
};

namespace {


std::wstring beside_program(const wchar_t* file) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1) + file;
}

class Module {
 public:
  Module() : h_(::LoadLibraryW(beside_program(L"msgcall.dll").c_str())) {}
  ~Module() {
    if (h_ != nullptr) ::FreeLibrary(h_);
  }
  template <class F>
  F entry(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(h_, name)));
  }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HMODULE h_;
};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
using CanUnload = HRESULT(STDAPICALLTYPE*)();

bool key_exists(const std::wstring& key) {
  HKEY k = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(k);
  return true;
}

std::wstring wide(const char* s) { return std::wstring(s, s + std::char_traits<char>::length(s)); }

TEST(Msgcall, TheTypeLibraryInTheModuleIsTheMessageObjectsMemberTable) {
  Ptr<ITypeLib> lib;
  ASSERT_EQ(::LoadTypeLibEx(beside_program(L"msgcall.dll").c_str(), REGKIND_NONE, lib.out()), S_OK);
  expect_library_is_the_table(lib.get(), msgcall::kClass);
}

TEST(Msgcall, TheDualInterfaceAnswersEarlyAndLateBound) {
  // Both servers are ports where nobody listens.
  ::SetEnvironmentVariableW(L"PINK_MSG_PRIMARY", L"127.0.0.1:1");
  ::SetEnvironmentVariableW(L"PINK_MSG_SECONDARY", L"127.0.0.1:1");
  Module m;
  ASSERT_TRUE(m);
  const auto get = m.entry<GetClassObject>("DllGetClassObject");
  ASSERT_NE(get, nullptr);
  Ptr<IClassFactory> factory;
  ASSERT_EQ(get(com::guid_of(msgcall::kClass.clsid), IID_IClassFactory, factory.out_void()), S_OK);
  Ptr<IMSGCALLMSG> o;
  ASSERT_EQ(factory->CreateInstance(nullptr, com::guid_of(msgcall::kClass.dispatch.iid), o.out_void()), S_OK);
  factory.reset();

  long socket = 0;
  ASSERT_EQ(o->MMSConnect(&socket), S_OK);
  EXPECT_EQ(socket, -1);
  BSTR t = ::SysAllocString(L"x");
  long sent = 0;
  // A send whose servers cannot be reached is a result, never a COM error.
  ASSERT_EQ(o->MMSSend(t, t, t, t, t, t, t, t, t, nullptr, nullptr, nullptr, &sent), S_OK);
  EXPECT_EQ(sent, -1);
  ::SysFreeString(t);

  CallResult closed;
  invoke(o.get(), dispid_of(o.get(), L"mmsclose"), DISPATCH_METHOD, {vi4(-1)}, closed);
  ASSERT_EQ(closed.hr, S_OK);
  EXPECT_EQ(closed.result.v.vt, VT_I4);
  EXPECT_EQ(closed.result.v.lVal, 0);
  CallResult too_few;
  invoke(o.get(), msgcall::kDispMMSSend, DISPATCH_METHOD, {vstr(L"1")}, too_few);
  EXPECT_EQ(too_few.hr, DISP_E_BADPARAMCOUNT);

  const auto can_unload = m.entry<CanUnload>("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), S_FALSE);
  o.reset();
  EXPECT_EQ(can_unload(), S_OK);
}

// A key that cannot take the registration's subkeys (a volatile key takes
// only volatile ones) stops it near its end: everything it wrote before is
// removed again, and the key that was there stays as it was.
TEST(Msgcall, ARegistrationThatFailsHalfWayLeavesNothingOfItBehind) {
  Module m;
  ASSERT_TRUE(m);
  const auto install = m.entry<Install>("DllInstall");
  ASSERT_NE(install, nullptr);
  ASSERT_EQ(install(FALSE, L"user"), S_OK);
  const std::wstring blocker = L"Interface\\" + wide(msgcall::kClass.events.iid);
  // The parent is an ordinary key (a volatile one made on the way would
  // refuse ordinary keys to every later registration).
  HKEY k = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\Interface", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(k);
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + blocker).c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);

  EXPECT_EQ(install(TRUE, L"user"), HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE));
  for (const std::wstring& key : {wide(msgcall::kClass.progid), wide(msgcall::kClass.version_independent_progid),
                                 L"CLSID\\" + wide(msgcall::kClass.clsid),
                                 L"TypeLib\\" + wide(msgcall::kClass.library.libid),
                                 L"Interface\\" + wide(msgcall::kClass.dispatch.iid)}) {
    EXPECT_FALSE(key_exists(key)) << std::string(key.begin(), key.end());
  }
  DWORD subkeys = 9, values = 9;
  ASSERT_EQ(::RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 0u);
  ::RegCloseKey(k);

  // Without the obstacle it registers, and unregisters without a trace.
  ASSERT_EQ(::RegDeleteKeyW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + blocker).c_str()), ERROR_SUCCESS);
  ASSERT_EQ(install(TRUE, L"user"), S_OK);
  EXPECT_TRUE(key_exists(L"CLSID\\" + wide(msgcall::kClass.clsid) + L"\\InprocServer32"));
  EXPECT_TRUE(key_exists(blocker + L"\\ProxyStubClsid32"));
  ASSERT_EQ(install(FALSE, L"user"), S_OK);
  EXPECT_FALSE(key_exists(L"CLSID\\" + wide(msgcall::kClass.clsid)));
  EXPECT_FALSE(key_exists(blocker));
  EXPECT_FALSE(key_exists(L"TypeLib\\" + wide(msgcall::kClass.library.libid)));
  EXPECT_EQ(install(TRUE, L"somebody"), E_INVALIDARG);
}

}  // namespace
}  // namespace pink::comtest
