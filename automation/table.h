// The description of an automation object as data: its class, its dispatch
// interface (one row per member function: name, DISPID, kind, parameters
// with their types and directions, result type) and its event interface.
//
// One table per object is the single description of its members: the Linux
// API (include/pink/automation.h) looks members up and checks and converts
// arguments by it, and the Windows IDispatch and type library are generated
// from it or checked against it. A row is what a type library calls a
// function: a property with a getter and a setter has two rows with the same
// name and DISPID, one of kind kGet and one of kind kPut.
//
//   inline constexpr Param kCloseParams[] = {
//       {"nSocketID", Type::I4, Dir::In}, {"nRetVal", Type::I4, Dir::Retval}};
//   inline constexpr Member kMembers[] = {{"MMSClose", 3, kMethod, kCloseParams, Type::I4}};
//   static_assert(table_fault(kMembers, false) == nullptr);
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pink::automation {

// Value types, numbered as the automation VARIANT types.
enum class Type : std::int32_t {
  Empty = 0,       // nothing: the result of a member that returns none
  I2 = 2,          // short
  I4 = 3,          // int, long
  Str = 8,         // a string (BSTR); cp949 inside the objects
  Bool = 11,       // VARIANT_BOOL: 0 false, -1 true
  Variant = 12,    // results only: a value whose type the call decides
  Bytes = 0x2011,  // an array of unsigned bytes (VT_ARRAY | VT_UI1), lower bound 0
};

// What a row is; a caller's request may combine kinds (a method call that
// also accepts a property get, as automation clients send).
enum Kind : std::int32_t { kMethod = 1, kGet = 2, kPut = 4 };

enum class Dir : std::uint8_t {
  In,      // [in]
  Out,     // [out]: passed by reference, written by the member
  InOut,   // [in, out]: passed by reference, read and written
  Retval,  // [out, retval]: the member's automation return value; passed by
           // reference in its place on this API, and also the call's result
};

struct Param {
  const char* name;
  Type type;
  Dir dir;
};

struct Member {
  const char* name;
  std::int32_t dispid;
  std::int32_t kind;  // exactly one Kind
  std::span<const Param> params;
  Type result;  // with a Retval parameter: that parameter's type
};

struct Interface {
  const char* name;
  const char* iid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  bool dual;        // dispatch and v-table (dual) or dispatch only
  std::span<const Member> members;
};

struct TypeLibrary {
  const char* name;
  const char* libid;
  std::uint16_t major, minor;
  const char* help;
};

struct ClassInfo {
  const char* name;         // the class (coclass)
  const char* description;  // the class key's default value
  const char* clsid;
  const char* progid;                      // versioned: "lib.Class.1"
  const char* version_independent_progid;  // "lib.Class"
  TypeLibrary library;
  Interface dispatch;  // methods and properties
  Interface events;    // the event interface (source); may declare none
};

// Parameter lists joined, for members that share a run of parameters.
template <std::size_t... N>
constexpr std::array<Param, (N + ...)> join(const std::array<Param, N>&... parts) {
  std::array<Param, (N + ...)> out{};
  std::size_t at = 0;
  ((std::copy(parts.begin(), parts.end(), out.begin() + static_cast<std::ptrdiff_t>(at)), at += N), ...);
  return out;
}

// DISPID_UNKNOWN: never a member's identifier.
inline constexpr std::int32_t kUnknownDispid = -1;

// ASCII letters folded to lower case, every other byte compared as it is:
// the way automation compares member names.
constexpr bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

namespace detail {

constexpr const char* row_fault(const Member& m, bool events) {
  if (m.name == nullptr || *m.name == '\0') return "a member without a name";
  if (m.dispid == kUnknownDispid) return "DISPID -1 is no member's";
  if (m.kind != kMethod && m.kind != kGet && m.kind != kPut) return "a row must be of one kind";
  if (events && (m.kind != kMethod || m.result != Type::Empty)) return "an event is a method without result";
  int retvals = 0;
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    const Param& p = m.params[i];
    if (p.type == Type::Empty || p.type == Type::Variant) return "a parameter needs a value type";
    if (p.dir == Dir::Retval) {
      if (events) return "an event has no return value";
      if (++retvals > 1 || i + 1 != m.params.size()) return "the retval parameter must be the last and only one";
      if (p.type != m.result) return "the result type must be the retval parameter's type";
    }
    if (m.kind == kPut && p.dir != Dir::In) return "a property put takes in-arguments only";
  }
  if (m.kind == kGet && m.result == Type::Empty) return "a property get must have a result";
  if (m.kind == kPut && (m.result != Type::Empty || m.params.empty())) {
    return "a property put takes a value and has no result";
  }
  return nullptr;
}

}  // namespace detail

// Why a member table is not well formed, or null when it is: every row has
// a name, a DISPID other than -1 and one kind; no two rows share DISPID and
// kind; rows with the same DISPID have the same name and names equal up to
// ASCII case have the same DISPID; a Retval parameter comes last, alone,
// with the result's type; property puts take in-arguments and return
// nothing, gets return something; events are methods without results.
constexpr const char* table_fault(std::span<const Member> members, bool events) {
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (const char* fault = detail::row_fault(members[i], events)) return fault;
    for (std::size_t j = 0; j < i; ++j) {
      const bool same_id = members[i].dispid == members[j].dispid;
      if (same_id && members[i].kind == members[j].kind) return "two rows with the same DISPID and kind";
      if (same_id != same_name(members[i].name, members[j].name)) {
        return "a name must belong to one DISPID and a DISPID to one name";
      }
    }
  }
  return nullptr;
}

// The class's two interfaces checked together, plus its identity texts.
constexpr const char* class_fault(const ClassInfo& c) {
  if (c.name == nullptr || c.progid == nullptr || c.version_independent_progid == nullptr) {
    return "a class needs its name and both ProgIDs";
  }
  if (const char* fault = table_fault(c.dispatch.members, false)) return fault;
  return table_fault(c.events.members, true);
}

}  // namespace pink::automation
