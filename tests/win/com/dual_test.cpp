// The dual interface's v-table, called early bound as a compiled caller
// does: the interface spelled here as an IDL compiler would from the same
// table, so that a v-table out of order or with other argument types shows.
#include <gtest/gtest.h>

#include "tests/win/com/support.h"

namespace pink::comtest {

// Declared with external linkage: a compiler that sees no implementation of
// an interface of internal linkage may take its calls for pure virtual ones.
struct ISample : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Add(short a, long b, long* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Echo(BSTR text, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cp949(BSTR text, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE FromBytes(VARIANT data, BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Split(BSTR text, BSTR* head, short* count, long* total,
                                          VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Fetch(short n, short* ready, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Level(short* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Level(short value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Name(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Fire(short count) = 0;
  virtual HRESULT STDMETHODCALLTYPE FireFromThread(short count) = 0;
  virtual HRESULT STDMETHODCALLTYPE StartTimer(long ms) = 0;
  virtual HRESULT STDMETHODCALLTYPE StopTimer() = 0;
  virtual HRESULT STDMETHODCALLTYPE Throw() = 0;
  virtual HRESULT STDMETHODCALLTYPE Total(long* value) = 0;
};

namespace {


Ptr<ISample> early(IDispatch* d) {
  Ptr<ISample> s;
  EXPECT_EQ(d->QueryInterface(com::guid_of(kSample.dispatch.iid), s.out_void()), S_OK);
  return Ptr<ISample>(s.release());
}

TEST(Dual, EveryRowIsReachedThroughTheVtableWithItsOwnArguments) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  auto s = early(d.get());
  ASSERT_TRUE(s);
  long sum = 0;
  ASSERT_EQ(s->Add(-2, 40, &sum), S_OK);
  EXPECT_EQ(sum, 38);

  BSTR hangul = ::SysAllocString(L"\uD55C\uAE00");
  BSTR echoed = nullptr;
  ASSERT_EQ(s->Echo(hangul, &echoed), S_OK);
  EXPECT_EQ(text_of(echoed), L"\uD55C\uAE00");
  Var bytes;
  ASSERT_EQ(s->Cp949(hangul, &bytes.v), S_OK);
  EXPECT_EQ(bytes_of(bytes.v), (std::vector<std::uint8_t>{0xC7, 0xD1, 0xB1, 0xDB}));
  BSTR back = nullptr;
  ASSERT_EQ(s->FromBytes(bytes.v, &back), S_OK);  // a VARIANT by value
  EXPECT_EQ(text_of(back), L"\uD55C\uAE00");
  ::SysFreeString(back);
  ::SysFreeString(echoed);
  ::SysFreeString(hangul);

  BSTR text = ::SysAllocString(L"ab cd");
  BSTR head = ::SysAllocString(L"old");  // [out]: not read, not freed by the callee
  short count = 0;
  long total = 10;
  VARIANT_BOOL found = VARIANT_FALSE;
  ASSERT_EQ(s->Split(text, &head, &count, &total, &found), S_OK);
  EXPECT_EQ(text_of(head), L"ab");
  EXPECT_EQ(count, 5);
  EXPECT_EQ(total, 15);
  EXPECT_EQ(found, VARIANT_TRUE);
  ::SysFreeString(head);
  ::SysFreeString(text);

  long last = 0;
  ASSERT_EQ(s->Total(&last), S_OK);
  EXPECT_EQ(last, 15);
  short ready = -1;
  Var fetched;
  ASSERT_EQ(s->Fetch(2, &ready, &fetched.v), S_OK);
  EXPECT_EQ(bytes_of(fetched.v), (std::vector<std::uint8_t>{0, 1}));
  EXPECT_EQ(ready, 1);
}

TEST(Dual, PropertiesNullPointersAndFailuresOnTheVtable) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  auto s = early(d.get());
  ASSERT_TRUE(s);
  ASSERT_EQ(s->put_Level(-7), S_OK);
  short level = 0;
  ASSERT_EQ(s->get_Level(&level), S_OK);
  EXPECT_EQ(level, -7);
  ASSERT_EQ(s->put_Enabled(VARIANT_TRUE), S_OK);
  VARIANT_BOOL enabled = VARIANT_FALSE;
  ASSERT_EQ(s->get_Enabled(&enabled), S_OK);
  EXPECT_EQ(enabled, VARIANT_TRUE);
  BSTR name = ::SysAllocString(L"pad");
  ASSERT_EQ(s->put_Name(name), S_OK);
  ::SysFreeString(name);
  BSTR got = nullptr;
  ASSERT_EQ(s->get_Name(&got), S_OK);
  EXPECT_EQ(text_of(got), L"pad");
  ::SysFreeString(got);

  // A null out-pointer is refused before the member runs.
  BSTR text = ::SysAllocString(L"xyz");
  short count = 0;
  long total = 0;
  VARIANT_BOOL found = VARIANT_FALSE;
  EXPECT_EQ(s->Split(text, nullptr, &count, &total, &found), E_POINTER);
  EXPECT_EQ(s->Add(1, 1, nullptr), E_POINTER);
  ::SysFreeString(text);
  long last = -1;
  ASSERT_EQ(s->Total(&last), S_OK);
  EXPECT_EQ(last, 0);

  EXPECT_EQ(s->Throw(), E_OUTOFMEMORY);
  Ptr<IErrorInfo> info;
  EXPECT_EQ(::GetErrorInfo(0, info.out()), S_OK);
}

TEST(Dual, OneObjectBehindEveryInterface) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  auto s = early(d.get());
  Ptr<IUnknown> a, b;
  ASSERT_EQ(d->QueryInterface(IID_IUnknown, a.out_void()), S_OK);
  ASSERT_EQ(s->QueryInterface(IID_IUnknown, b.out_void()), S_OK);
  EXPECT_EQ(a.get(), b.get());
  Ptr<IDispatch> again;
  ASSERT_EQ(s->QueryInterface(IID_IDispatch, again.out_void()), S_OK);
  EXPECT_EQ(static_cast<void*>(again.get()), static_cast<void*>(s.get()));
  Ptr<IUnknown> none;
  EXPECT_EQ(d->QueryInterface(IID_IClassFactory, none.out_void()), E_NOINTERFACE);
  EXPECT_FALSE(none);
}

}  // namespace
}  // namespace pink::comtest
