#include "automation/registration.h"

#include <string>

namespace pink::automation::registration {
namespace {

// The system's marshallers of automation interfaces: of a dual interface
// (through its type information) and of a dispatch-only interface.
constexpr const char* kDualMarshaller = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchMarshaller = "{00020420-0000-0000-C000-000000000046}";

void value(Registration& r, std::string key, std::string name, std::string data) {
  r.entries.push_back(Entry{std::move(key), std::move(name), std::move(data), true});
}

void marker(Registration& r, std::string key) { r.entries.push_back(Entry{std::move(key), {}, {}, false}); }

std::string version_of(const TypeLibrary& lib) {
  return std::to_string(lib.major) + "." + std::to_string(lib.minor);
}

void add_progids(Registration& r, const ClassInfo& c) {
  const std::string versioned = c.progid;
  const std::string independent = c.version_independent_progid;
  value(r, versioned, "", c.description);
  value(r, versioned + "\\CLSID", "", c.clsid);
  value(r, independent, "", c.description);
  value(r, independent + "\\CLSID", "", c.clsid);
  value(r, independent + "\\CurVer", "", versioned);
  r.owned.push_back(versioned);
  r.owned.push_back(independent);
}

void add_control(Registration& r, const std::string& key, const ClassInfo& c, const Module& m,
                 const ClassOptions& o) {
  marker(r, key + "\\Control");
  value(r, key + "\\ToolboxBitmap32", "", m.path + ", " + std::to_string(o.toolbox_bitmap));
  value(r, key + "\\MiscStatus", "", "0");
  value(r, key + "\\MiscStatus\\1", "", std::to_string(o.misc_status));
  value(r, key + "\\Version", "", version_of(c.library));
}

void add_interface(Registration& r, const Interface& itf, const TypeLibrary& lib) {
  const std::string key = std::string("Interface\\") + itf.iid;
  const char* marshaller = itf.dual ? kDualMarshaller : kDispatchMarshaller;
  value(r, key, "", itf.name);
  value(r, key + "\\ProxyStubClsid", "", marshaller);
  value(r, key + "\\ProxyStubClsid32", "", marshaller);
  value(r, key + "\\TypeLib", "", lib.libid);
  value(r, key + "\\TypeLib", "Version", version_of(lib));
  r.owned.push_back(key);
}

// The parent keys of `key` ("A", "A\B" for "A\B\C"), then the key itself.
std::vector<std::string> path_of(std::string_view key) {
  std::vector<std::string> out;
  for (std::size_t at = key.find('\\'); at != std::string_view::npos; at = key.find('\\', at + 1)) {
    out.emplace_back(key.substr(0, at));
  }
  out.emplace_back(key);
  return out;
}

// What write_all did, to be undone in reverse order when a later step fails.
struct Undo {
  std::string key;
  std::string name;
  bool created_key;                   // else: a value was set
  std::optional<std::string> before;  // the value's data before, if it existed
};

void undo_all(KeyStore& store, const std::vector<Undo>& done) {
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    if (it->created_key) {
      store.erase_tree(it->key);
    } else if (it->before) {
      store.write(it->key, it->name, *it->before);
    } else {
      store.erase_value(it->key, it->name);
    }
  }
}

long write_entry(KeyStore& store, const Entry& e, std::vector<Undo>& done) {
  for (const std::string& key : path_of(e.key)) {
    if (store.exists(key)) continue;
    if (const long error = store.create(key)) return error;
    done.push_back(Undo{key, {}, true, std::nullopt});
  }
  if (!e.has_value) return 0;
  std::optional<std::string> before = store.read(e.key, e.name);
  if (const long error = store.write(e.key, e.name, e.data)) return error;
  done.push_back(Undo{e.key, e.name, false, std::move(before)});
  return 0;
}

}  // namespace

void add_class(Registration& r, const ClassInfo& c, const Module& m, const ClassOptions& o) {
  add_progids(r, c);
  const std::string key = std::string("CLSID\\") + c.clsid;
  value(r, key, "", c.description);
  value(r, key + "\\ProgID", "", c.progid);
  value(r, key + "\\VersionIndependentProgID", "", c.version_independent_progid);
  value(r, key + "\\InprocServer32", "", m.path);
  if (o.threading_model != nullptr) value(r, key + "\\InprocServer32", "ThreadingModel", o.threading_model);
  value(r, key + "\\TypeLib", "", c.library.libid);
  marker(r, key + "\\Programmable");
  if (o.control) add_control(r, key, c, m, o);
  r.owned.push_back(key);
}

void add_type_library(Registration& r, const ClassInfo& c, const Module& m) {
  const std::string lib = std::string("TypeLib\\") + c.library.libid;
  const std::string version = lib + "\\" + version_of(c.library);
  value(r, version, "", c.library.help);
  value(r, version + "\\0\\" + (m.win64 ? "win64" : "win32"), "", m.path);
  value(r, version + "\\FLAGS", "", "0");
  value(r, version + "\\HELPDIR", "", m.folder);
  r.owned.push_back(version);
  r.pruned.push_back(lib);
  add_interface(r, c.dispatch, c.library);
  add_interface(r, c.events, c.library);
}

void add_plain_class(Registration& r, const PlainClass& c, const Module& m) {
  const std::string key = std::string("CLSID\\") + c.clsid;
  value(r, key, "", c.description);
  value(r, key + "\\InprocServer32", "", m.path);
  if (c.threading_model != nullptr) value(r, key + "\\InprocServer32", "ThreadingModel", c.threading_model);
  if (c.progid != nullptr) {
    value(r, key + "\\ProgID", "", c.progid);
    value(r, c.progid, "", c.description);
    value(r, std::string(c.progid) + "\\CLSID", "", c.clsid);
    r.owned.push_back(c.progid);
  }
  r.owned.push_back(key);
}

Outcome write_all(KeyStore& store, const Registration& r) {
  std::vector<Undo> done;
  for (const Entry& e : r.entries) {
    if (const long error = write_entry(store, e, done)) {
      undo_all(store, done);
      return Outcome{error, e.key};
    }
  }
  return {};
}

Outcome remove_all(KeyStore& store, const Registration& r) {
  Outcome first;
  const auto note = [&first](long error, const std::string& key) {
    if (error != 0 && first.error == 0) first = Outcome{error, key};
  };
  for (const std::string& key : r.owned) note(store.erase_tree(key), key);
  for (const std::string& key : r.pruned) {
    if (store.exists(key) && store.empty(key)) note(store.erase_tree(key), key);
  }
  return first;
}

}  // namespace pink::automation::registration
