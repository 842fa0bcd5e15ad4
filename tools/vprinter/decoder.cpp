#include "tools/vprinter/decoder.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace pink::vprinter {
namespace {

using Bytes = std::span<const std::uint8_t>;

bool starts_with(Bytes rest, Bytes prefix) {
  return rest.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), rest.begin());
}

// The entry whose prefix begins `rest`; the longest one when several do.
const CommandEntry* match(Bytes rest) {
  const CommandEntry* best = nullptr;
  for (const auto& entry : kCommands) {
    if (starts_with(rest, entry.prefix_bytes()) &&
        (best == nullptr || entry.prefix_size > best->prefix_size)) {
      best = &entry;
    }
  }
  return best;
}

// `rest` (the last bytes of the stream) is the beginning of one or more
// prefixes but none of them whole: a command cut off inside its prefix.
// Returns whether that is so and, in `only`, the entry when exactly one fits.
bool cut_in_prefix(Bytes rest, const CommandEntry*& only) {
  int count = 0;
  only = nullptr;
  for (const auto& entry : kCommands) {
    const Bytes prefix = entry.prefix_bytes();
    if (rest.size() < prefix.size() && starts_with(prefix, rest)) {
      ++count;
      only = &entry;
    }
  }
  if (count != 1) only = nullptr;
  return count > 0;
}

std::string as_string(Bytes bytes) { return {bytes.begin(), bytes.end()}; }

// A command read after its shape: nothing when the stream ends first.
struct Parsed {
  std::size_t size = 0;
  std::vector<std::uint32_t> args;
  std::string data;
};

std::optional<Parsed> read_command(const CommandEntry& entry, Bytes rest) {
  const std::size_t p = entry.prefix_size;
  // Whether n bytes after the prefix are there.
  const auto has = [&](std::size_t n) { return rest.size() - p >= n; };
  Parsed out;
  switch (entry.shape) {
    case Shape::Fixed:
      if (!has(entry.arg_count)) return std::nullopt;
      for (std::size_t i = 0; i < entry.arg_count; ++i) out.args.push_back(rest[p + i]);
      out.size = p + entry.arg_count;
      return out;

    case Shape::Buzzer:
      if (!has(5)) return std::nullopt;
      out.args = {rest[p], rest[p + 1] | (std::uint32_t{rest[p + 2]} << 8),
                  rest[p + 3] | (std::uint32_t{rest[p + 4]} << 8)};
      out.size = p + 5;
      return out;

    case Shape::BarCode: {
      if (!has(1)) return std::nullopt;
      const std::uint8_t m = rest[p];
      out.args.push_back(m);
      if (m <= 6) {
        const auto data = rest.subspan(p + 1);
        const auto nul = std::find(data.begin(), data.end(), std::uint8_t{0});
        if (nul == data.end()) return std::nullopt;
        const auto n = static_cast<std::size_t>(nul - data.begin());
        out.data = as_string(data.first(n));
        out.size = p + 1 + n + 1;
      } else if (m >= 65) {
        if (!has(2)) return std::nullopt;
        const std::size_t n = rest[p + 1];
        if (!has(2 + n)) return std::nullopt;
        out.args.push_back(static_cast<std::uint32_t>(n));
        out.data = as_string(rest.subspan(p + 2, n));
        out.size = p + 2 + n;
      } else {
        out.size = p + 1;
      }
      return out;
    }

    case Shape::Cut: {
      if (!has(1)) return std::nullopt;
      const std::uint8_t m = rest[p];
      out.args.push_back(m);
      out.size = p + 1;
      if (m >= 65) {
        if (!has(2)) return std::nullopt;
        out.args.push_back(rest[p + 1]);
        out.size = p + 2;
      }
      return out;
    }

    case Shape::BitImage: {
      if (!has(2)) return std::nullopt;
      const std::size_t k = std::size_t{rest[p]} * rest[p + 1] * 8;
      if (!has(2 + k)) return std::nullopt;
      out.args = {rest[p], rest[p + 1]};
      out.data = as_string(rest.subspan(p + 2, k));
      out.size = p + 2 + k;
      return out;
    }

    case Shape::LineBitImage: {
      if (!has(3)) return std::nullopt;
      const std::uint8_t m = rest[p];
      out.args = {m, rest[p + 1], rest[p + 2]};
      out.size = p + 3;
      const std::size_t columns = rest[p + 1] + std::size_t{rest[p + 2]} * 256;
      const std::size_t k = m <= 1 ? columns : (m == 32 || m == 33) ? columns * 3 : 0;
      if (!has(3 + k)) return std::nullopt;
      out.data = as_string(rest.subspan(p + 3, k));
      out.size += k;
      return out;
    }

    case Shape::RasterImage: {
      if (!has(5)) return std::nullopt;
      const std::size_t across = rest[p + 1] + std::size_t{rest[p + 2]} * 256;
      const std::size_t rows = rest[p + 3] + std::size_t{rest[p + 4]} * 256;
      const std::size_t k = across * rows;
      if (!has(5 + k)) return std::nullopt;
      out.args = {rest[p], rest[p + 1], rest[p + 2], rest[p + 3], rest[p + 4]};
      out.data = as_string(rest.subspan(p + 5, k));
      out.size = p + 5 + k;
      return out;
    }

    case Shape::RasterRows: {
      if (!has(2)) return std::nullopt;
      const std::size_t rows = rest[p] + std::size_t{rest[p + 1]} * 256;
      const std::size_t k = rows * kRasterRowBytes;
      if (!has(2 + k)) return std::nullopt;
      out.args = {rest[p], rest[p + 1]};
      out.data = as_string(rest.subspan(p + 2, k));
      out.size = p + 2 + k;
      return out;
    }
  }
  return std::nullopt;
}

class Decoder {
 public:
  explicit Decoder(Bytes stream) : in_(stream) {}

  std::vector<Event> run() {
    while (pos_ < in_.size()) {
      if (!korean_ || !korean_step()) plain_step(korean_);
    }
    return std::move(out_);
  }

 private:
  Bytes rest() const { return in_.subspan(pos_); }

  Event& add(EventKind kind, std::size_t size) {
    Event e;
    e.kind = kind;
    e.offset = pos_;
    e.size = size;
    out_.push_back(std::move(e));
    pos_ += size;
    return out_.back();
  }

  void truncated(const CommandEntry* entry, bool korean = false) {
    Event& e = add(EventKind::Truncated, in_.size() - pos_);
    e.command = entry;
    e.data = as_string(in_.subspan(e.offset));
    e.korean = korean;
  }

  // Inside Korean mode: FS ., or a character of two bytes below 0x80.
  // False when the byte here is to be read the plain way.
  bool korean_step() {
    const Bytes r = rest();
    const CommandEntry& off = command_entry(Op::KoreanOff);
    if (starts_with(r, off.prefix_bytes())) {
      add(EventKind::Command, off.prefix_size).command = &off;
      korean_ = false;
      return true;
    }
    if (r[0] >= 0x80) return false;
    if (r.size() == 1) {
      truncated(nullptr, true);
      return true;
    }
    if (r[1] >= 0x80) return false;
    const char ch[2] = {static_cast<char>(r[0] | 0x80), static_cast<char>(r[1] | 0x80)};
    if (!out_.empty() && out_.back().kind == EventKind::Text && out_.back().korean &&
        out_.back().offset + out_.back().size == pos_) {
      out_.back().data.append(ch, 2);
      out_.back().size += 2;
      pos_ += 2;
    } else {
      Event& e = add(EventKind::Text, 2);
      e.data.assign(ch, 2);
      e.korean = true;
    }
    return true;
  }

  // A line end, a command, a control byte or a text run. `one_char` keeps
  // the text to one cp949 character (a stray plain byte inside Korean mode).
  void plain_step(bool one_char) {
    const Bytes r = rest();
    const std::uint8_t b = r[0];
    if (b == 0x0D) {
      const bool lf = r.size() > 1 && r[1] == 0x0A;
      add(EventKind::LineEnd, lf ? 2 : 1).line_end = lf ? LineEnd::CrLf : LineEnd::Cr;
      return;
    }
    if (b == 0x0A) {
      add(EventKind::LineEnd, 1).line_end = LineEnd::Lf;
      return;
    }
    if (const CommandEntry* entry = match(r)) {
      auto parsed = read_command(*entry, r);
      if (!parsed) {
        truncated(entry);
        return;
      }
      Event& e = add(EventKind::Command, parsed->size);
      e.command = entry;
      e.args = std::move(parsed->args);
      e.data = std::move(parsed->data);
      if (entry->op == Op::KoreanOn) korean_ = true;
      if (entry->op == Op::KoreanOff) korean_ = false;
      return;
    }
    if (const CommandEntry* only = nullptr; cut_in_prefix(r, only)) {
      truncated(only);
      return;
    }
    if (b < 0x20 || b == 0x7F) {
      add(EventKind::Control, 1).data.assign(1, static_cast<char>(b));
      return;
    }
    std::size_t n = 1;
    if (one_char) {
      // A lead byte keeps its trail byte.
      if (b >= 0x81 && b <= 0xFE && r.size() > 1 && r[1] >= 0x41) n = 2;
    } else {
      while (n < r.size() && r[n] >= 0x20 && r[n] != 0x7F) ++n;
    }
    add(EventKind::Text, n).data = as_string(r.first(n));
  }

  Bytes in_;
  std::size_t pos_ = 0;
  bool korean_ = false;
  std::vector<Event> out_;
};

}  // namespace

const CommandEntry& command_entry(Op op) {
  for (const auto& entry : kCommands) {
    if (entry.op == op) return entry;
  }
  throw std::logic_error("command table lacks an operation");
}

std::vector<Event> decode(std::span<const std::uint8_t> stream) { return Decoder(stream).run(); }

std::vector<Event> decode(std::string_view stream) {
  return decode(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()));
}

}  // namespace pink::vprinter
