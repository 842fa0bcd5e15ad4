#include "automation/marshal.h"

#include <utility>

#include "platform/text.h"

namespace pink::automation {
namespace {

constexpr std::int32_t kShortMin = -32768;
constexpr std::int32_t kShortMax = 32767;

bool fits_short(std::int32_t n) { return n >= kShortMin && n <= kShortMax; }

// A number given as I2 or I4, checked for the declared width. An I2 value
// outside the short range is malformed whatever it is given for.
bool read_number(Type declared, const pink_value& a, Value& v) {
  if (a.type != PINK_I2 && a.type != PINK_I4) return false;
  if (a.type == PINK_I2 && !fits_short(a.num)) return false;
  if (declared == Type::I2) {
    if (!fits_short(a.num)) return false;
    v = Value::i2(static_cast<std::int16_t>(a.num));
  } else {
    v = Value::i4(a.num);
  }
  return true;
}

// The value of an in- or in/out-argument, converted to the declared type.
bool read_value(Type declared, const pink_value& a, Value& v) {
  switch (declared) {
    case Type::I2:
    case Type::I4:
      return read_number(declared, a, v);
    case Type::Str:
      if (a.type != PINK_STR) return false;
      v = Value::string(text::utf8_to_cp949(a.str != nullptr ? a.str : ""));
      return true;
    case Type::Bool:
      if (a.type != PINK_BOOL) return false;
      v = Value::boolean(a.num != 0);
      return true;
    case Type::Bytes:
      if (a.type != PINK_BYTES || a.len < 0 || (a.bytes == nullptr && a.len > 0)) return false;
      v = Value::array(std::vector<std::uint8_t>(a.bytes, a.bytes + a.len));
      return true;
    default:
      return false;
  }
}

// The type a by-reference out-argument may be given with: its own, EMPTY
// (the call sets the type), or I4 for a short (written in range).
bool out_type_fits(Type declared, std::int32_t given) {
  return given == PINK_EMPTY || given == static_cast<std::int32_t>(declared) ||
         (declared == Type::I2 && given == PINK_I4);
}

std::int32_t take_one(const Param& p, const pink_value& a, Value& v) {
  if (p.dir != Dir::In && a.byref == 0) return PINK_E_TYPE;
  if (p.dir == Dir::Out || p.dir == Dir::Retval) {
    if (!out_type_fits(p.type, a.type)) return PINK_E_TYPE;
    v = Value::of(p.type);
    return PINK_OK;
  }
  if (p.dir == Dir::InOut && a.type == PINK_EMPTY) {
    v = Value::of(p.type);
    return PINK_OK;
  }
  if (p.dir == Dir::InOut && !out_type_fits(p.type, a.type)) return PINK_E_TYPE;
  return read_value(p.type, a, v) ? PINK_OK : PINK_E_TYPE;
}

// Fills a caller's value of type `type` from `v`.
void write(std::int32_t type, const Value& v, pink_value& a, Store& store) {
  a.type = type;
  switch (type) {
    case PINK_STR:
      a.str = store.keep(text::cp949_to_utf8(v.str));
      break;
    case PINK_BYTES:
      a.bytes = store.keep(v.bytes);
      a.len = static_cast<std::int32_t>(v.bytes.size());
      break;
    case PINK_BOOL:
      a.num = v.num != 0 ? -1 : 0;
      break;
    default:
      a.num = v.num;
      break;
  }
}

}  // namespace

const char* Store::keep(std::string text) { return strings_.emplace_back(std::move(text)).c_str(); }

const std::uint8_t* Store::keep(std::vector<std::uint8_t> bytes) {
  static const std::uint8_t kNone = 0;
  const auto& kept = arrays_.emplace_back(std::move(bytes));
  return kept.empty() ? &kNone : kept.data();
}

void Store::clear() noexcept {
  strings_.clear();
  arrays_.clear();
}

const Member* find_row(std::span<const Member> rows, std::int32_t dispid, std::int32_t kind) {
  if (dispid == kUnknownDispid) return nullptr;
  for (const Member& m : rows) {
    if (m.dispid == dispid && (m.kind & kind) != 0) return &m;
  }
  return nullptr;
}

std::int32_t find_dispid(std::span<const Member> rows, std::string_view name) {
  for (const Member& m : rows) {
    if (same_name(m.name, name)) return m.dispid;
  }
  return kUnknownDispid;
}

std::int32_t take_arguments(const Member& row, const pink_value* args, std::int32_t nargs,
                            std::vector<Value>& values) {
  if (nargs < 0 || static_cast<std::size_t>(nargs) != row.params.size()) return PINK_E_COUNT;
  if (args == nullptr && nargs > 0) return PINK_E_COUNT;
  values.assign(row.params.size(), Value{});
  for (std::size_t i = 0; i < row.params.size(); ++i) {
    if (const std::int32_t status = take_one(row.params[i], args[i], values[i]); status != PINK_OK) {
      return status;
    }
  }
  return PINK_OK;
}

void give_back(const Member& row, std::span<const Value> values, pink_value* args, Store& store) {
  for (std::size_t i = 0; i < row.params.size() && i < values.size(); ++i) {
    const Param& p = row.params[i];
    if (p.dir == Dir::In) continue;
    pink_value& a = args[i];
    write(a.type == PINK_EMPTY ? static_cast<std::int32_t>(p.type) : a.type, values[i], a, store);
  }
}

pink_value to_caller(const Value& value, Store& store) {
  pink_value v{};
  if (value.type == Type::Empty || value.type == Type::Variant) return v;
  write(static_cast<std::int32_t>(value.type), value, v, store);
  return v;
}

}  // namespace pink::automation

