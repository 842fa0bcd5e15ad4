// The server side: class factories, unloading, the type library in the
// program's resources and the class information objects give out.
#include <gtest/gtest.h>

#include "platform/win32/com/module.h"
#include "tests/win/com/support.h"
#include "tests/win/com/typelib_check.h"

namespace pink::comtest {
namespace {

TEST(Server, FactoriesMakeObjectsRefuseAggregationAndHoldTheModuleWhileAlive) {
  const GUID clsid = com::guid_of(kSample.clsid);
  const GUID other = com::guid_of(kSample.library.libid);
  Ptr<IClassFactory> factory;
  EXPECT_EQ(com::get_class_object(sample_server(), &other, &IID_IClassFactory, factory.out_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_FALSE(factory);
  EXPECT_EQ(com::get_class_object(sample_server(), &clsid, &IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(com::can_unload_now(), S_OK);

  ASSERT_EQ(com::get_class_object(sample_server(), &clsid, &IID_IClassFactory, factory.out_void()), S_OK);
  EXPECT_EQ(com::can_unload_now(), S_FALSE);
  Ptr<IUnknown> outer;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, outer.out_void()), S_OK);
  Ptr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, aggregated.out_void()), CLASS_E_NOAGGREGATION);
  Ptr<IUnknown> wrong;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, wrong.out_void()), E_NOINTERFACE);

  const int alive = samples_alive();
  factory->LockServer(TRUE);
  factory.reset();
  EXPECT_EQ(com::can_unload_now(), S_FALSE);  // the object and the lock
  outer.reset();
  EXPECT_EQ(samples_alive(), alive - 1);
  EXPECT_EQ(com::can_unload_now(), S_FALSE);  // the lock
  ASSERT_EQ(com::get_class_object(sample_server(), &clsid, &IID_IClassFactory, factory.out_void()), S_OK);
  factory->LockServer(FALSE);
  factory.reset();
  EXPECT_EQ(com::can_unload_now(), S_OK);
}

// A dual interface served without its v-table would hand callers a short
// table: such a server makes nothing and registers nothing.
TEST(Server, ADualClassWithoutItsVtableIsRefused) {
  static const com::ClassSpec classes[] = {{&kSample, &make_sample}};
  static const com::ServerSpec broken{classes};
  const GUID clsid = com::guid_of(kSample.clsid);
  Ptr<IClassFactory> factory;
  EXPECT_EQ(com::get_class_object(broken, &clsid, &IID_IClassFactory, factory.out_void()), E_UNEXPECTED);
  EXPECT_EQ(com::register_server(broken, com::Scope::User), E_UNEXPECTED);
}

TEST(Server, TheTypeLibraryInTheResourcesIsTheMemberTable) {
  Ptr<ITypeLib> lib(com::module::type_library());
  ASSERT_TRUE(lib) << "no type library in the program's resources";
  expect_library_is_the_table(lib.get(), kSample);
}

TEST(Server, ObjectsNameTheirClassTheirInterfaceAndTheirEvents) {
  auto d = new_sample();
  ASSERT_TRUE(d);
  UINT count = 0;
  ASSERT_EQ(d->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  Ptr<ITypeInfo> info;
  ASSERT_EQ(d->GetTypeInfo(0, 0, info.out()), S_OK);
  BSTR name = nullptr;
  info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(text_of(name), L"ISample");
  ::SysFreeString(name);
  Ptr<ITypeInfo> none;
  EXPECT_EQ(d->GetTypeInfo(1, 0, none.out()), DISP_E_BADINDEX);

  Ptr<IProvideClassInfo2> provide;
  ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo2, provide.out_void()), S_OK);
  GUID events{};
  ASSERT_EQ(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events), S_OK);
  EXPECT_EQ(events, com::guid_of(kSample.events.iid));
  EXPECT_EQ(provide->GetGUID(7, &events), E_INVALIDARG);
  Ptr<ITypeInfo> coclass;
  ASSERT_EQ(provide->GetClassInfo(coclass.out()), S_OK);
  coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(text_of(name), L"Sample");
  ::SysFreeString(name);
}

}  // namespace
}  // namespace pink::comtest
