// What the COM layer knows about the module it is linked into: the count of
// its live objects and factory locks (DllCanUnloadNow), its file, and its
// type library, loaded from the module's own resources.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace pink::com::module {

// Every COM object of the module counts from construction to destruction.
void object_created() noexcept;
void object_destroyed() noexcept;
// IClassFactory::LockServer.
void lock(bool on) noexcept;
// No object alive and no lock held.
bool idle() noexcept;

// The module (DLL or program) this code is linked into, and its file.
HMODULE handle() noexcept;
std::wstring path();

// The type library in the module's resources (resource TYPELIB 1), with a
// reference added, or null when there is none.
ITypeLib* type_library() noexcept;
// The type information of a type of that library.
HRESULT type_info(const GUID& guid, ITypeInfo** out) noexcept;
// Lets the library go (when the module may unload).
void release_type_library() noexcept;

}  // namespace pink::com::module
