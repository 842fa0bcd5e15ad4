#include "automation/persist.h"

#include <algorithm>
#include <stdexcept>

namespace pink::automation::persist {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 0; s < 32; s += 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

// Reads little-endian fields off the front of a span, refusing to run past
// its end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool done() const { return at_ == bytes_.size(); }
  std::optional<std::uint32_t> number(std::size_t width) {
    if (bytes_.size() - at_ < width) return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
    at_ += width;
    return v;
  }
  std::optional<std::span<const std::uint8_t>> take(std::size_t n) {
    if (bytes_.size() - at_ < n) return std::nullopt;
    const auto part = bytes_.subspan(at_, n);
    at_ += n;
    return part;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

void put_value(std::vector<std::uint8_t>& out, const Value& v) {
  switch (v.type) {
    case Type::I2:
    case Type::Bool: put16(out, static_cast<std::uint16_t>(v.num)); return;
    case Type::I4: put32(out, static_cast<std::uint32_t>(v.num)); return;
    case Type::Str:
      put32(out, static_cast<std::uint32_t>(v.str.size()));
      out.insert(out.end(), v.str.begin(), v.str.end());
      return;
    case Type::Bytes:
      put32(out, static_cast<std::uint32_t>(v.bytes.size()));
      out.insert(out.end(), v.bytes.begin(), v.bytes.end());
      return;
    default: throw std::invalid_argument("a value of this type is not persisted");
  }
}

std::optional<Value> take_value(Reader& r, std::uint32_t type) {
  switch (static_cast<Type>(type)) {
    case Type::I2:
    case Type::Bool: {
      const auto n = r.number(2);
      if (!n) return std::nullopt;
      const auto v = static_cast<std::int16_t>(*n);
      return static_cast<Type>(type) == Type::I2 ? Value::i2(v) : Value::boolean(v != 0);
    }
    case Type::I4: {
      const auto n = r.number(4);
      if (!n) return std::nullopt;
      return Value::i4(static_cast<std::int32_t>(*n));
    }
    case Type::Str:
    case Type::Bytes: {
      const auto n = r.number(4);
      const auto bytes = n ? r.take(*n) : std::nullopt;
      if (!bytes) return std::nullopt;
      if (static_cast<Type>(type) == Type::Bytes) return Value::array({bytes->begin(), bytes->end()});
      return Value::string(std::string(bytes->begin(), bytes->end()));
    }
    default: return std::nullopt;
  }
}

const Member* row_of(const Object& object, std::string_view name, std::int32_t kind) {
  for (const Member& m : object.info().dispatch.members) {
    if (m.kind == kind && same_name(m.name, name)) return &m;
  }
  return nullptr;
}

bool named(std::span<const std::string_view> allowed, std::string_view name) {
  return std::any_of(allowed.begin(), allowed.end(), [&](std::string_view a) { return same_name(a, name); });
}

}  // namespace

std::vector<std::uint8_t> encode(std::span<const Property> properties) {
  std::vector<std::uint8_t> body;
  for (const Property& p : properties) {
    if (p.name.empty() || p.name.size() > 255) throw std::invalid_argument("a property name of 1 to 255 bytes");
    body.push_back(static_cast<std::uint8_t>(p.name.size()));
    body.insert(body.end(), p.name.begin(), p.name.end());
    put16(body, static_cast<std::uint16_t>(p.value.type));
    put_value(body, p.value);
  }
  if (body.size() > kMaxBody) throw std::invalid_argument("the properties are too large to persist");
  std::vector<std::uint8_t> out;
  put16(out, kVersion);
  put32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::optional<std::uint32_t> body_length(std::span<const std::uint8_t> header) {
  Reader r(header);
  const auto version = r.number(2);
  const auto length = r.number(4);
  if (!version || !length || *version != kVersion || *length > kMaxBody) return std::nullopt;
  return length;
}

std::optional<std::vector<Property>> decode_body(std::span<const std::uint8_t> body) {
  Reader r(body);
  std::vector<Property> out;
  while (!r.done()) {
    const auto length = r.number(1);
    const auto name = length && *length > 0 ? r.take(*length) : std::nullopt;
    const auto type = name ? r.number(2) : std::nullopt;
    auto value = type ? take_value(r, *type) : std::nullopt;
    if (!value) return std::nullopt;
    out.push_back(Property{std::string(name->begin(), name->end()), std::move(*value)});
  }
  return out;
}

std::optional<Type> property_type(const Object& object, std::string_view name) {
  const Member* get = row_of(object, name, kGet);
  const Member* put = row_of(object, name, kPut);
  if (get == nullptr || put == nullptr || put->params.size() != 1) return std::nullopt;
  return put->params[0].type;
}

std::vector<Property> read(Object& object, std::span<const std::string_view> names) {
  std::vector<Property> out;
  for (const std::string_view name : names) {
    const Member* get = row_of(object, name, kGet);
    if (get == nullptr || !property_type(object, name)) continue;
    Value result = Value::of(get->result);
    object.call(*get, {}, result);
    out.push_back(Property{get->name, std::move(result)});
  }
  return out;
}

bool write(Object& object, std::span<const std::string_view> allowed, std::span<const Property> properties) {
  std::vector<const Member*> rows;
  for (const Property& p : properties) {
    const auto type = named(allowed, p.name) ? property_type(object, p.name) : std::nullopt;
    if (!type || *type != p.value.type) return false;
    rows.push_back(row_of(object, p.name, kPut));
  }
  for (std::size_t i = 0; i < properties.size(); ++i) {
    Value arg = properties[i].value;
    Value result;
    object.call(*rows[i], std::span<Value>(&arg, 1), result);
  }
  return true;
}

}  // namespace pink::automation::persist
