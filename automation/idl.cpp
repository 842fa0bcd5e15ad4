#include "automation/idl.h"

#include <string>

namespace pink::automation {
namespace {

bool is_identifier(std::string_view s) {
  if (s.empty()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

// Printable ASCII without the quote and the backslash: written as it is.
bool is_plain_text(std::string_view s) {
  for (const char c : s) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// "{8-4-4-4-12}" -> "8-4-4-4-12"; empty when malformed.
std::string bare_guid(const char* text) {
  if (text == nullptr) return {};
  const std::string_view g(text);
  if (g.size() != 38 || g.front() != '{' || g.back() != '}') return {};
  for (std::size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? g[i] != '-' : !is_hex(g[i])) return {};
  }
  return std::string(g.substr(1, 36));
}

const char* name_fault(const Interface& itf) {
  if (itf.name == nullptr || !is_identifier(itf.name)) return "an interface name is no IDL identifier";
  if (bare_guid(itf.iid).empty()) return "an interface GUID is malformed";
  for (const Member& m : itf.members) {
    if (!is_identifier(m.name)) return "a member name is no IDL identifier";
    for (const Param& p : m.params) {
      if (p.name == nullptr || !is_identifier(p.name)) return "a parameter name is no IDL identifier";
      if (idl_type(p.type) == nullptr) return "a parameter type has no IDL spelling";
    }
  }
  return nullptr;
}

const char* class_text_fault(const ClassInfo& c) {
  if (const char* fault = class_fault(c)) return fault;
  if (!is_identifier(c.name) || c.library.name == nullptr || !is_identifier(c.library.name)) {
    return "a class or library name is no IDL identifier";
  }
  if (bare_guid(c.clsid).empty() || bare_guid(c.library.libid).empty()) return "a class or library GUID is malformed";
  if (c.description == nullptr || !is_plain_text(c.description) || c.library.help == nullptr ||
      !is_plain_text(c.library.help)) {
    return "a description must be printable ASCII without quotes or backslashes";
  }
  if (const char* fault = name_fault(c.dispatch)) return fault;
  return name_fault(c.events);
}

std::string param_text(const Param& p) {
  const std::string type = idl_type(p.type);
  switch (p.dir) {
    case Dir::In: return "[in] " + type + " " + p.name;
    case Dir::Out: return "[out] " + type + "* " + p.name;
    case Dir::InOut: return "[in, out] " + type + "* " + p.name;
    case Dir::Retval: return "[out, retval] " + type + "* " + p.name;
  }
  return {};
}

std::string attributes(const Member& m) {
  std::string a = "[id(" + std::to_string(m.dispid) + ")";
  if (m.kind == kGet) a += ", propget";
  if (m.kind == kPut) a += ", propput";
  return a + "]";
}

std::string join_params(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + ", " + second;
}

// A row of a dual interface: HRESULT, the retval parameter made explicit.
std::string dual_row(const Member& m) {
  std::string params;
  for (const Param& p : m.params) params = join_params(params, param_text(p));
  if (has_implicit_retval(m)) {
    params = join_params(params, std::string("[out, retval] ") + idl_type(m.result) + "* pResult");
  }
  return "    " + attributes(m) + " HRESULT " + m.name + "(" + params + ");\n";
}

// A row of a dispatch-only interface: the result is the row's return type;
// a retval parameter is the result, not a parameter.
std::string dispatch_row(const Member& m) {
  std::string params;
  for (const Param& p : m.params) {
    if (p.dir != Dir::Retval) params = join_params(params, param_text(p));
  }
  const char* result = m.result == Type::Empty ? "void" : idl_type(m.result);
  return "    " + attributes(m) + " " + result + " " + m.name + "(" + params + ");\n";
}

std::string interface_text(const Interface& itf) {
  std::string out;
  if (itf.dual) {
    out += "  [\n    object,\n    uuid(" + bare_guid(itf.iid) + "),\n    dual,\n    oleautomation,\n" +
           "    pointer_default(unique)\n  ]\n  interface " + itf.name + " : IDispatch\n  {\n";
    for (const Member& m : itf.members) out += dual_row(m);
  } else {
    out += "  [\n    uuid(" + bare_guid(itf.iid) + ")\n  ]\n  dispinterface " + itf.name +
           "\n  {\n  properties:\n  methods:\n";
    for (const Member& m : itf.members) out += dispatch_row(m);
  }
  return out + "  };\n\n";
}

std::string version_text(const TypeLibrary& lib) {
  return std::to_string(lib.major) + "." + std::to_string(lib.minor);
}

}  // namespace

const char* idl_type(Type t) {
  switch (t) {
    case Type::I2: return "short";
    case Type::I4: return "long";
    case Type::Str: return "BSTR";
    case Type::Bool: return "VARIANT_BOOL";
    case Type::Bytes:
    case Type::Variant: return "VARIANT";
    case Type::Empty: break;
  }
  return nullptr;
}

const char* idl_of(const ClassInfo& c, const IdlOptions& options, std::string& out) {
  if (const char* fault = class_text_fault(c)) return fault;
  std::string t = "// The type library of " + std::string(c.name) +
                  ", written from its member table at build time.\n\nimport \"" + std::string(options.prelude) +
                  "\";\n\n[\n  uuid(" + bare_guid(c.library.libid) + "),\n  version(" + version_text(c.library) +
                  "),\n  helpstring(\"" + c.library.help + "\")\n]\nlibrary " + c.library.name +
                  "\n{\n  importlib(\"stdole2.tlb\");\n\n";
  t += interface_text(c.dispatch);
  t += interface_text(c.events);
  t += "  [\n    uuid(" + bare_guid(c.clsid) + "),\n    helpstring(\"" + c.description + "\")" +
       (options.control ? ",\n    control\n" : "\n") + "  ]\n  coclass " + c.name + "\n  {\n    [default] " +
       (c.dispatch.dual ? "interface " : "dispinterface ") + c.dispatch.name +
       ";\n    [default, source] dispinterface " + c.events.name + ";\n  };\n};\n";
  out = std::move(t);
  return nullptr;
}

}  // namespace pink::automation
