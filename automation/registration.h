// The registry entries of an in-process automation server, as data, and the
// rules for writing and removing them. The Windows server layer writes them
// below "Software\Classes" of the machine or of the user; the rules here are
// the same for both and are tested without a registry.
//
//   registration::Registration r;
//   registration::add_class(r, msgcall::kClass, module);
//   registration::add_type_library(r, msgcall::kClass, module);
//   if (auto o = registration::write_all(store, r); o.error != 0) ...  // nothing was left behind
//
// Writing is all or nothing: when one step fails, every key it created is
// removed again and every value it replaced gets its old data back, so a
// registration that fails half-way leaves the registry as it found it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/table.h"

namespace pink::automation::registration {

// One step: the key `key` (below the classes root, parts joined by '\')
// with, when `has_value`, the value `name` ("" for the key's default value)
// set to the text `data`. Texts are UTF-8 (the registry holds UTF-16).
struct Entry {
  std::string key;
  std::string name;
  std::string data;
  bool has_value = true;
};

struct Registration {
  std::vector<Entry> entries;      // written in this order
  std::vector<std::string> owned;  // removed with everything below them on unregistration
  std::vector<std::string> pruned; // then removed when nothing is left in them, in this order
};

// The server module the entries point to.
struct Module {
  std::string path;    // the file (InprocServer32, the type library)
  std::string folder;  // its folder (the type library's HELPDIR)
  bool win64 = false;  // the type library's platform key: "win64" or "win32"
};

struct ClassOptions {
  const char* threading_model = nullptr;  // "Apartment", "Both" ...; none written when null
  // An ActiveX control: the "Control" marker, "ToolboxBitmap32" (the module
  // and the bitmap's resource number), "MiscStatus" (default "0", aspect 1 =
  // `misc_status`) and "Version" of the type library.
  bool control = false;
  int toolbox_bitmap = 1;
  std::uint32_t misc_status = 0;
};

// The class: both ProgIDs (description, CLSID, CurVer), and the class key
// (description, ProgID, VersionIndependentProgID, InprocServer32, TypeLib,
// Programmable, and what the options add).
void add_class(Registration& r, const ClassInfo& c, const Module& m, const ClassOptions& options = {});

// The class's type library (version key with its help text, the module as
// the library file for LCID 0, FLAGS, HELPDIR) and its two interfaces
// (name, the automation marshaller of a dual or a dispatch interface,
// TypeLib and its Version).
void add_type_library(Registration& r, const ClassInfo& c, const Module& m);

// A further class of the module that is created by CLSID only (a property
// page): description, InprocServer32, and a ProgID when given.
struct PlainClass {
  const char* clsid;
  const char* description;
  const char* progid = nullptr;
  const char* threading_model = nullptr;
};
void add_plain_class(Registration& r, const PlainClass& c, const Module& m);

// The registry as the rules need it, rooted at the classes key. Results are
// 0 or the system's error code.
class KeyStore {
 public:
  virtual ~KeyStore() = default;
  virtual bool exists(std::string_view key) = 0;
  // Creates one key whose parent exists.
  virtual long create(std::string_view key) = 0;
  // A value's data, or nothing when the key or value does not exist.
  virtual std::optional<std::string> read(std::string_view key, std::string_view name) = 0;
  virtual long write(std::string_view key, std::string_view name, std::string_view data) = 0;
  virtual long erase_value(std::string_view key, std::string_view name) = 0;
  // Removes the key with everything below it; 0 when it does not exist.
  virtual long erase_tree(std::string_view key) = 0;
  // True when the key has neither subkeys nor values.
  virtual bool empty(std::string_view key) = 0;
};

struct Outcome {
  long error = 0;   // 0: done
  std::string key;  // where it failed
};

// Writes every entry, or, when a step fails, undoes the steps before it (in
// reverse order) and reports the failure.
Outcome write_all(KeyStore& store, const Registration& r);

// Removes the owned keys and then the pruned keys left empty. Keys that do
// not exist are no failure (unregistering twice is fine); a key that cannot
// be removed is reported after the others were tried.
Outcome remove_all(KeyStore& store, const Registration& r);

}  // namespace pink::automation::registration
