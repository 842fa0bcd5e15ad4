// IDispatch by the member table, late bound as script callers use it:
// names, conversions, out-arguments, byte arrays, properties, bad calls.
#include <gtest/gtest.h>

#include "tests/win/com/support.h"

namespace pink::comtest {
namespace {

const std::vector<std::uint8_t> kHangulCp949 = {0xC7, 0xD1, 0xB1, 0xDB};  // 한글

TEST(Dispatch, NamesAreFoundWithoutRegardToCaseAndParametersByTheirNames) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  EXPECT_EQ(dispid_of(d.get(), L"Add"), kAdd);
  EXPECT_EQ(dispid_of(d.get(), L"aDD"), kAdd);
  EXPECT_EQ(dispid_of(d.get(), L"LEVEL"), kLevel);
  EXPECT_EQ(dispid_of(d.get(), L"Addd"), DISPID_UNKNOWN);

  LPOLESTR names[] = {const_cast<LPOLESTR>(L"split"), const_cast<LPOLESTR>(L"TOTAL"),
                      const_cast<LPOLESTR>(L"text")};
  DISPID ids[3] = {};
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[0], kSplit);
  EXPECT_EQ(ids[1], 3);
  EXPECT_EQ(ids[2], 0);
  names[1] = const_cast<LPOLESTR>(L"nothing");
  EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], kSplit);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(d->GetIDsOfNames(IID_IDispatch, names, 1, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, NumbersAndTextsAreConvertedAsAutomationConvertsThem) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  {
    CallResult r;
    invoke(d.get(), kAdd, DISPATCH_METHOD, {vi2(2), vi4(40)}, r);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result.v.vt, VT_I4);
    EXPECT_EQ(r.result.v.lVal, 42);
  }
  {
    // Texts, and a long for a short within its range; a variable by reference.
    Var held;
    held.v.vt = VT_I4;
    held.v.lVal = -3;
    CallResult r;
    invoke(d.get(), kAdd, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {vstr(L"5"), vref(&held.v)}, r);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result.v.lVal, 2);
    CallResult s;
    invoke(d.get(), kAdd, DISPATCH_METHOD, {vi4(-32768), vstr(L"7")}, s);
    EXPECT_EQ(s.result.v.lVal, -32761);
  }
  struct Bad {
    std::vector<VARIANT> args;
    HRESULT hr;
    UINT arg_err;  // the place in rgvarg: the last argument is 0
  };
  VARIANT null_value;
  ::VariantInit(&null_value);
  null_value.vt = VT_NULL;
  Bad bad[] = {
      {{vi4(40000), vi4(1)}, DISP_E_OVERFLOW, 1},
      {{vi2(1), vstr(L"many")}, DISP_E_TYPEMISMATCH, 0},
      {{null_value, vi4(1)}, DISP_E_TYPEMISMATCH, 1},
      {{vmissing(), vi4(1)}, DISP_E_PARAMNOTOPTIONAL, 1},
  };
  for (Bad& b : bad) {
    CallResult r;
    invoke(d.get(), kAdd, DISPATCH_METHOD, b.args, r);
    EXPECT_EQ(r.hr, b.hr);
    EXPECT_EQ(r.arg_err, b.arg_err);
    EXPECT_EQ(r.result.v.vt, VT_EMPTY);
  }
}

TEST(Dispatch, TextCrossesAsCp949BothWaysAndNothingIsCutOrLost) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  CallResult bytes;
  invoke(d.get(), kCp949, DISPATCH_METHOD, {vstr(L"\uD55C\uAE00 OK")}, bytes);
  ASSERT_EQ(bytes.hr, S_OK);
  ASSERT_EQ(bytes.result.v.vt, VT_ARRAY | VT_UI1);
  LONG lower = -1;
  std::vector<std::uint8_t> expected = kHangulCp949;
  expected.insert(expected.end(), {' ', 'O', 'K'});
  EXPECT_EQ(bytes_of(bytes.result.v, &lower), expected);
  EXPECT_EQ(lower, 0);

  CallResult text;
  invoke(d.get(), kFromBytes, DISPATCH_METHOD, {vbytes(kHangulCp949)}, text);
  ASSERT_EQ(text.hr, S_OK);
  ASSERT_EQ(text.result.v.vt, VT_BSTR);
  EXPECT_EQ(text_of(text.result.v.bstrVal), L"\uD55C\uAE00");

  const struct {
    VARIANT given;
    std::wstring back;
  } echoes[] = {
      {vstr(std::wstring(L"a\0b", 3)), std::wstring(L"a\0b", 3)},  // an embedded zero stays
      {vstr(L"\u0E01"), L"?"},                                     // no cp949 code
      {vi4(12), L"12"},
  };
  for (const auto& e : echoes) {
    CallResult r;
    invoke(d.get(), kEcho, DISPATCH_METHOD, {e.given}, r);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(text_of(r.result.v.bstrVal), e.back);
  }
  // A null BSTR and an empty argument count as the empty text.
  VARIANT null_text;
  ::VariantInit(&null_text);
  null_text.vt = VT_BSTR;
  for (VARIANT given : {null_text, VARIANT{}}) {
    CallResult r;
    invoke(d.get(), kEcho, DISPATCH_METHOD, {given}, r);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(r.result.v.vt, VT_BSTR);
    EXPECT_EQ(::SysStringLen(r.result.v.bstrVal), 0u);
  }
}

TEST(Dispatch, OutArgumentsAreWrittenBackAndByteArraysComeBackWhole) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  Var head, count, total;
  total.v.vt = VT_I4;
  total.v.lVal = 10;
  CallResult r;
  invoke(d.get(), kSplit, DISPATCH_METHOD, {vstr(L"ab cd"), vref(&head.v), vref(&count.v), vref(&total.v)}, r);
  ASSERT_EQ(r.hr, S_OK);
  EXPECT_EQ(r.result.v.vt, VT_BOOL);
  EXPECT_EQ(r.result.v.boolVal, VARIANT_TRUE);
  EXPECT_EQ(head.v.vt, VT_BSTR);
  EXPECT_EQ(text_of(head.v.bstrVal), L"ab");
  EXPECT_EQ(count.v.vt, VT_I2);
  EXPECT_EQ(count.v.iVal, 5);
  EXPECT_EQ(total.v.lVal, 15);

  // Typed references: a long for a short out-argument is fine; a short for
  // a long one is refused before the member runs.
  LONG wide_count = 0;
  SHORT narrow_total = 1;
  VARIANT wide{}, narrow{};
  wide.vt = VT_BYREF | VT_I4;
  wide.plVal = &wide_count;
  narrow.vt = VT_BYREF | VT_I2;
  narrow.piVal = &narrow_total;
  CallResult refused;
  invoke(d.get(), kSplit, DISPATCH_METHOD, {vstr(L"xyz"), vref(&head.v), wide, narrow}, refused);
  EXPECT_EQ(refused.hr, DISP_E_TYPEMISMATCH);
  EXPECT_EQ(refused.arg_err, 0u);
  EXPECT_EQ(wide_count, 0);
  // An out-argument given by value is read and its output dropped.
  CallResult dropped;
  invoke(d.get(), kSplit, DISPATCH_METHOD, {vstr(L"xyz"), vstr(L"ignored"), wide, vi4(100)}, dropped);
  ASSERT_EQ(dropped.hr, S_OK);
  EXPECT_EQ(wide_count, 3);

  // The retval argument left out or passed by reference.
  CallResult t;
  invoke(d.get(), kTotal, DISPATCH_METHOD, {}, t);
  EXPECT_EQ(t.result.v.lVal, 103);
  Var given_total;
  CallResult t2;
  invoke(d.get(), kTotal, DISPATCH_METHOD, {vref(&given_total.v)}, t2);
  EXPECT_EQ(t2.result.v.lVal, 103);
  EXPECT_EQ(given_total.v.lVal, 103);

  Var ready;
  CallResult fetched;
  invoke(d.get(), kFetch, DISPATCH_METHOD, {vi2(3), vref(&ready.v)}, fetched);
  EXPECT_EQ(bytes_of(fetched.result.v), (std::vector<std::uint8_t>{0, 1, 2}));
  EXPECT_EQ(ready.v.iVal, 1);
  CallResult nothing;
  invoke(d.get(), kFetch, DISPATCH_METHOD, {vi2(0), vref(&ready.v)}, nothing);
  EXPECT_EQ(nothing.hr, S_OK);
  EXPECT_EQ(nothing.result.v.vt, VT_EMPTY);
  EXPECT_EQ(ready.v.iVal, 0);
}

TEST(Dispatch, PropertiesArePutAndGotAsScriptsAndTypedCallersDoIt) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  CallResult put;
  invoke(d.get(), kLevel, DISPATCH_PROPERTYPUT, {vi4(9)}, put, {DISPID_PROPERTYPUT});
  ASSERT_EQ(put.hr, S_OK);
  EXPECT_EQ(put.result.v.vt, VT_EMPTY);
  CallResult got;
  invoke(d.get(), kLevel, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, got);
  EXPECT_EQ(got.result.v.vt, VT_I2);
  EXPECT_EQ(got.result.v.iVal, 9);

  CallResult name;
  invoke(d.get(), kName, DISPATCH_PROPERTYPUT, {vstr(L"\uD55C\uAE00")}, name, {DISPID_PROPERTYPUT});
  CallResult enabled;
  VARIANT on{};
  on.vt = VT_BOOL;
  on.boolVal = VARIANT_TRUE;
  invoke(d.get(), kEnabled, DISPATCH_PROPERTYPUTREF, {on}, enabled, {DISPID_PROPERTYPUT});
  CallResult name_back, enabled_back;
  invoke(d.get(), kName, DISPATCH_PROPERTYGET, {}, name_back);
  invoke(d.get(), kEnabled, DISPATCH_PROPERTYGET, {}, enabled_back);
  EXPECT_EQ(text_of(name_back.result.v.bstrVal), L"\uD55C\uAE00");
  EXPECT_EQ(enabled_back.result.v.boolVal, VARIANT_TRUE);
  // A put of a read-write property with nothing to put.
  CallResult empty_put;
  invoke(d.get(), kLevel, DISPATCH_PROPERTYPUT, {}, empty_put);
  EXPECT_EQ(empty_put.hr, DISP_E_BADPARAMCOUNT);
}

TEST(Dispatch, BadCallsGetTheirAutomationErrorsAndRunNothing) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  CallResult named;  // b := 2, a := 1 by parameter identifiers
  invoke(d.get(), kAdd, DISPATCH_METHOD, {vi4(2), vi4(1)}, named, {1, 0});
  ASSERT_EQ(named.hr, S_OK);
  EXPECT_EQ(named.result.v.lVal, 3);

  const struct {
    DISPID id;
    WORD flags;
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    HRESULT hr;
  } bad[] = {
      {99, DISPATCH_METHOD, {}, {}, DISP_E_MEMBERNOTFOUND},
      {kAdd, DISPATCH_PROPERTYPUT, {vi4(1)}, {DISPID_PROPERTYPUT}, DISP_E_MEMBERNOTFOUND},
      {kLevel, DISPATCH_METHOD, {vi4(1)}, {}, DISP_E_MEMBERNOTFOUND},
      {kAdd, DISPATCH_METHOD, {vi4(1)}, {}, DISP_E_BADPARAMCOUNT},
      {kAdd, DISPATCH_METHOD, {vi4(1), vi4(2), vi4(3)}, {}, DISP_E_BADPARAMCOUNT},
      {kAdd, DISPATCH_METHOD, {vi4(1), vi4(2)}, {7}, DISP_E_PARAMNOTFOUND},
      {kAdd, DISPATCH_METHOD, {vi4(1), vi4(2)}, {0, 0}, DISP_E_PARAMNOTFOUND},
      {kSplit, DISPATCH_METHOD, {vstr(L"abc")}, {}, DISP_E_BADPARAMCOUNT},
  };
  for (const auto& b : bad) {
    CallResult r;
    invoke(d.get(), b.id, b.flags, b.args, r, b.named);
    EXPECT_EQ(r.hr, b.hr) << b.id;
  }
  // None of them ran Split: the total is still none.
  CallResult t;
  invoke(d.get(), kTotal, DISPATCH_METHOD, {}, t);
  EXPECT_EQ(t.result.v.lVal, 0);

  DISPPARAMS broken{nullptr, nullptr, 2, 0};
  Var result;
  EXPECT_EQ(d->Invoke(kAdd, IID_NULL, 0, DISPATCH_METHOD, &broken, &result.v, nullptr, nullptr), E_INVALIDARG);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(d->Invoke(kTotal, IID_IUnknown, 0, DISPATCH_METHOD, &none, &result.v, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST(Dispatch, AFailureInsideAMemberIsAnExceptionWithItsErrorInformation) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  CallResult r;
  invoke(d.get(), kThrow, DISPATCH_METHOD, {}, r);
  EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(r.excep.scode, E_OUTOFMEMORY);
  EXPECT_EQ(text_of(r.excep.bstrSource), L"pinktest.ComSample.1");
  EXPECT_NE(text_of(r.excep.bstrDescription).find(L"Throw"), std::wstring::npos);
  Ptr<IErrorInfo> info;
  ASSERT_EQ(::GetErrorInfo(0, info.out()), S_OK);
  BSTR description = nullptr;
  info->GetDescription(&description);
  EXPECT_NE(text_of(description).find(L"out of memory"), std::wstring::npos);
  ::SysFreeString(description);

  Ptr<ISupportErrorInfo> support;
  ASSERT_EQ(d->QueryInterface(IID_ISupportErrorInfo, support.out_void()), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(com::guid_of(kSample.dispatch.iid)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  // The object goes on working.
  CallResult after;
  invoke(d.get(), kAdd, DISPATCH_METHOD, {vi2(1), vi4(1)}, after);
  EXPECT_EQ(after.result.v.lVal, 2);
}

}  // namespace
}  // namespace pink::comtest
