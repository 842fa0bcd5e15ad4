#include "tests/win/com/typelib_check.h"

#include <gtest/gtest.h>

#include "automation/idl.h"
#include "platform/win32/com/object.h"
#include "tests/win/com/support.h"

namespace pink::comtest {
namespace {

using automation::Dir;
using automation::Type;

VARTYPE vt_of(Type t) {
  switch (t) {
    case Type::I2: return VT_I2;
    case Type::I4: return VT_I4;
    case Type::Str: return VT_BSTR;
    case Type::Bool: return VT_BOOL;
    default: return VT_VARIANT;
  }
}

USHORT flags_of(Dir d) {
  switch (d) {
    case Dir::In: return PARAMFLAG_FIN;
    case Dir::Out: return PARAMFLAG_FOUT;
    case Dir::InOut: return PARAMFLAG_FIN | PARAMFLAG_FOUT;
    case Dir::Retval: return PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  }
  return 0;
}

INVOKEKIND invkind_of(std::int32_t kind) {
  return kind == automation::kGet ? INVOKE_PROPERTYGET : kind == automation::kPut ? INVOKE_PROPERTYPUT : INVOKE_FUNC;
}

std::string narrow(BSTR b) {
  std::string out;
  for (const wchar_t c : text_of(b)) out += static_cast<char>(c);
  return out;
}

// One parameter as the type information has it: by value, or a pointer to
// the type for every by-reference direction.
void check_param(const ELEMDESC& e, Type type, Dir dir, const std::string& where) {
  const TYPEDESC& t = e.tdesc;
  if (dir == Dir::In) {
    EXPECT_EQ(t.vt, vt_of(type)) << where;
  } else {
    ASSERT_EQ(t.vt, VT_PTR) << where;
    EXPECT_EQ(t.lptdesc->vt, vt_of(type)) << where;
  }
  EXPECT_EQ(e.paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL), flags_of(dir)) << where;
}

void check_function(ITypeInfo* info, UINT index, const automation::Member& m, bool dual) {
  FUNCDESC* f = nullptr;
  ASSERT_EQ(info->GetFuncDesc(index, &f), S_OK) << m.name;
  const std::string where = std::string(m.name) + " (row " + std::to_string(index) + ")";
  EXPECT_EQ(f->memid, m.dispid) << where;
  EXPECT_EQ(f->invkind, invkind_of(m.kind)) << where;
  const bool implicit = dual && automation::has_implicit_retval(m);
  std::size_t expected_count = m.params.size() + (implicit ? 1 : 0);
  if (!dual && !m.params.empty() && m.params.back().dir == Dir::Retval) --expected_count;
  ASSERT_EQ(static_cast<std::size_t>(f->cParams), expected_count) << where;
  for (std::size_t i = 0; i < expected_count; ++i) {
    const bool extra = i == m.params.size();
    check_param(f->lprgelemdescParam[i], extra ? m.result : m.params[i].type, extra ? Dir::Retval : m.params[i].dir,
                where + " parameter " + std::to_string(i));
  }
  if (dual) {
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, VT_HRESULT) << where;
  } else {
    const VARTYPE result = m.result == Type::Empty ? static_cast<VARTYPE>(VT_VOID) : vt_of(m.result);
    EXPECT_EQ(f->elemdescFunc.tdesc.vt, result) << where;
  }
  // A type library keeps one spelling of a name for all its uses, whatever
  // their case ("Total" the method and "total" a parameter): names compare
  // as automation compares them. The names of a property's functions are
  // not told apart by DISPID: only methods' parameters are checked.
  BSTR names[32] = {};
  UINT got = 0;
  ASSERT_EQ(info->GetNames(f->memid, names, 32, &got), S_OK) << where;
  EXPECT_TRUE(automation::same_name(narrow(names[0]), m.name)) << where << ": " << narrow(names[0]);
  if (m.kind == automation::kMethod) {
    EXPECT_EQ(got, 1u + static_cast<UINT>(f->cParams)) << where;
    for (std::size_t i = 0; i < m.params.size() && i + 1 < got; ++i) {
      EXPECT_TRUE(automation::same_name(narrow(names[i + 1]), m.params[i].name)) << where << ": " << narrow(names[i + 1]);
    }
  }
  for (UINT i = 0; i < got; ++i) ::SysFreeString(names[i]);
  info->ReleaseFuncDesc(f);
}

// The interface as its own functions: a dual interface's v-table view, or
// the dispatch interface itself.
void check_interface(ITypeLib* lib, const automation::Interface& itf) {
  Ptr<ITypeInfo> info;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(com::guid_of(itf.iid), info.out()), S_OK) << itf.name;
  Ptr<ITypeInfo> own;
  if (itf.dual) {
    HREFTYPE ref = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK) << itf.name;
    ASSERT_EQ(info->GetRefTypeInfo(ref, own.out()), S_OK) << itf.name;
  } else {
    info->AddRef();
    *own.out() = info.get();
  }
  TYPEATTR* a = nullptr;
  ASSERT_EQ(own->GetTypeAttr(&a), S_OK);
  EXPECT_EQ(a->typekind, itf.dual ? TKIND_INTERFACE : TKIND_DISPATCH) << itf.name;
  if (itf.dual) {
    EXPECT_NE(a->wTypeFlags & TYPEFLAG_FDUAL, 0) << itf.name;
  }
  // A dispatch interface lists IUnknown's and IDispatch's functions first.
  const UINT skip = itf.dual ? 0 : static_cast<UINT>(a->cFuncs) - static_cast<UINT>(itf.members.size());
  EXPECT_EQ(a->cFuncs - skip, itf.members.size()) << itf.name;
  const UINT count = a->cFuncs;
  own->ReleaseTypeAttr(a);
  for (UINT i = skip; i < count && i - skip < itf.members.size(); ++i) {
    check_function(own.get(), i, itf.members[i - skip], itf.dual);
  }
  BSTR name = nullptr;
  own->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
  EXPECT_EQ(narrow(name), itf.name);
  ::SysFreeString(name);
}

void check_class(ITypeLib* lib, const automation::ClassInfo& c) {
  Ptr<ITypeInfo> coclass;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(com::guid_of(c.clsid), coclass.out()), S_OK);
  TYPEATTR* a = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&a), S_OK);
  EXPECT_EQ(a->typekind, TKIND_COCLASS);
  ASSERT_EQ(a->cImplTypes, 2);
  coclass->ReleaseTypeAttr(a);
  const struct {
    const automation::Interface& itf;
    INT flags;
  } impl[] = {{c.dispatch, IMPLTYPEFLAG_FDEFAULT}, {c.events, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    coclass->GetImplTypeFlags(i, &flags);
    EXPECT_EQ(flags, impl[i].flags);
    HREFTYPE ref = 0;
    Ptr<ITypeInfo> info;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, info.out()), S_OK);
    TYPEATTR* ia = nullptr;
    info->GetTypeAttr(&ia);
    EXPECT_EQ(ia->guid, com::guid_of(impl[i].itf.iid));
    info->ReleaseTypeAttr(ia);
  }
  BSTR name = nullptr, help = nullptr;
  coclass->GetDocumentation(MEMBERID_NIL, &name, &help, nullptr, nullptr);
  EXPECT_EQ(narrow(name), c.name);
  EXPECT_EQ(narrow(help), c.description);
  ::SysFreeString(name);
  ::SysFreeString(help);
}

}  // namespace

void expect_library_is_the_table(ITypeLib* lib, const automation::ClassInfo& c) {
  ASSERT_NE(lib, nullptr);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, com::guid_of(c.library.libid));
  EXPECT_EQ(attr->wMajorVerNum, c.library.major);
  EXPECT_EQ(attr->wMinorVerNum, c.library.minor);
  EXPECT_EQ(attr->lcid, 0u);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr, help = nullptr;
  lib->GetDocumentation(-1, &name, &help, nullptr, nullptr);
  EXPECT_EQ(narrow(name), c.library.name);
  EXPECT_EQ(narrow(help), c.library.help);
  ::SysFreeString(name);
  ::SysFreeString(help);
  check_interface(lib, c.dispatch);
  check_interface(lib, c.events);
  check_class(lib, c);
  // The dual interface rests on the system's IDispatch, referred to in stdole2.tlb.
  if (c.dispatch.dual) {
    Ptr<ITypeInfo> info, base;
    HREFTYPE ref = 0;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(com::guid_of(c.dispatch.iid), info.out()), S_OK);
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    Ptr<ITypeInfo> own;
    ASSERT_EQ(info->GetRefTypeInfo(ref, own.out()), S_OK);
    ASSERT_EQ(own->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(own->GetRefTypeInfo(ref, base.out()), S_OK);
    TYPEATTR* a = nullptr;
    base->GetTypeAttr(&a);
    EXPECT_EQ(a->guid, IID_IDispatch);
    base->ReleaseTypeAttr(a);
  }
}

}  // namespace pink::comtest
