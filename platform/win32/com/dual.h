// The v-table of a dual interface, made at compile time from the member
// table: one entry per row, in table order (the order of the IDL that
// automation/idl.h writes from the same table), each a function with the
// row's own parameters as an early-bound caller passes them:
//
//   row                                         entry
//   short Add([in] short a, [in] long b)        HRESULT (self, int16 a, int32 b, short* result)
//   MMSClose([in] long, [out, retval] long*)    HRESULT (self, int32, long*)
//   Name property get / put (BSTR)              HRESULT (self, BSTR*) / HRESULT (self, BSTR)
//
// In-arguments come by value (short, long, VARIANT_BOOL, BSTR, and a byte
// array as a VARIANT), everything by reference as a pointer. Each entry
// hands pointers to its arguments to one routine of the COM layer, which
// converts them like IDispatch::Invoke does and calls the object.
//
//   const com::ClassSpec kClasses[] = {{&kClass, &make, com::dual_slots<kMembers>()}};
//
// No Windows header is needed here: the argument types are spelled by size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <utility>

#include "automation/idl.h"
#include "automation/table.h"
#include "platform/export.h"

namespace pink::com {

using Slot = void (*)();  // one v-table entry, of whatever signature

namespace dual {

// A VARIANT passed by value: its size and alignment (checked against the
// system's VARIANT where the layer is built).
struct alignas(8) VariantArg {
  unsigned char bytes[sizeof(void*) == 8 ? 24 : 16];
};

template <automation::Type T, automation::Dir D>
struct Arg {
  using type = void*;  // by reference, a BSTR, or the implicit result
};
template <>
struct Arg<automation::Type::I2, automation::Dir::In> {
  using type = std::int16_t;
};
template <>
struct Arg<automation::Type::I4, automation::Dir::In> {
  using type = std::int32_t;
};
template <>
struct Arg<automation::Type::Bool, automation::Dir::In> {
  using type = std::int16_t;
};
template <>
struct Arg<automation::Type::Bytes, automation::Dir::In> {
  using type = VariantArg;
};

// Runs a row of the object behind the interface pointer `self` with the
// v-table's arguments: `args[i]` points to the i-th argument as the entry
// received it (the implicit result pointer last). Returns the HRESULT.
std::int32_t call(void* self, const automation::Member& row, const void* const* args) noexcept;

template <const auto& Members, std::size_t K>
inline constexpr std::size_t kArgCount =
    Members[K].params.size() + (automation::has_implicit_retval(Members[K]) ? 1 : 0);

template <const auto& Members, std::size_t K, std::size_t I>
constexpr std::pair<automation::Type, automation::Dir> arg_kind() {
  if constexpr (I < Members[K].params.size()) {
    return {Members[K].params[I].type, Members[K].params[I].dir};
  } else {
    return {automation::Type::Variant, automation::Dir::Retval};  // the implicit result: a pointer
  }
}

template <const auto& Members, std::size_t K, std::size_t I>
using ArgAt = typename Arg<arg_kind<Members, K, I>().first, arg_kind<Members, K, I>().second>::type;

template <const auto& Members, std::size_t K, typename Seq>
struct Entry;

template <const auto& Members, std::size_t K, std::size_t... I>
struct Entry<Members, K, std::index_sequence<I...>> {
  static std::int32_t PINK_CALL call(void* self, ArgAt<Members, K, I>... args) {
    const void* const pointers[] = {static_cast<const void*>(&args)..., nullptr};
    return dual::call(self, Members[K], pointers);
  }
};

template <const auto& Members, std::size_t... K>
std::array<Slot, sizeof...(K)> make_slots(std::index_sequence<K...>) {
  return {reinterpret_cast<Slot>(&Entry<Members, K, std::make_index_sequence<kArgCount<Members, K>>>::call)...};
}

}  // namespace dual

// The v-table entries of the dual interface whose rows are `Members` (a
// constexpr array of automation::Member), in row order.
template <const auto& Members>
std::span<const Slot> dual_slots() {
  static_assert(automation::table_fault(Members, false) == nullptr, "the member table is not well formed");
  static const auto slots = dual::make_slots<Members>(std::make_index_sequence<std::size(Members)>{});
  return slots;
}

}  // namespace pink::com
