#include "signpad/quillpad_protocol.h"

#include <algorithm>

#include "platform/text.h"

namespace pink::signpad::quill {
namespace {

// The requests' layouts. Arguments: sign (card, amount, text); PIN (type,
// working key, card field, amount).
constexpr Piece kSignPieces[] = {
    {Fit::Fixed, kSignHead},      {Fit::Fixed, kSeparator}, {Fit::Field, {}, 0, 20},
    {Fit::Fixed, kSeparator},     {Fit::Left, {}, 1, 8},    {Fit::Fixed, kSeparator},
    {Fit::Whole, {}, 2},          {Fit::Fixed, kEnd},
};
constexpr Piece kCustInfoPieces[] = {{Fit::Fixed, kCustInfoHead}, {Fit::Fixed, kEnd}};
constexpr Piece kPinPieces[] = {
    {Fit::Fixed, kPinHead},   {Fit::Field, {}, 0, 1},  {Fit::Field, {}, 1, 16}, {Fit::Fixed, kSeparator},
    {Fit::Field, {}, 2, 16},  {Fit::Fixed, kSeparator}, {Fit::Left, {}, 3, 8},  {Fit::Fixed, kEnd},
};

std::string left_field(std::string_view s, std::size_t width) {
  if (s.size() >= width) return std::string(s.substr(0, width));
  return std::string(width - s.size(), ' ') + std::string(s);
}

// The longest head of `s` of at most `room` bytes that does not end inside
// a double-byte character.
std::string_view cut_at_character(std::string_view s, std::size_t room) {
  if (s.size() <= room) return s;
  std::size_t at = 0;
  while (at < room) {
    const std::size_t n = text::char_length_at(s, at);
    if (n == 0 || at + n > room) break;
    at += n;
  }
  return s.substr(0, at);
}

std::size_t fixed_size(const Piece& p) {
  switch (p.fit) {
    case Fit::Fixed: return p.bytes.size();
    case Fit::Field:
    case Fit::Left: return p.width;
    case Fit::Whole: break;
  }
  return 0;
}

}  // namespace

Bytes build(std::span<const Piece> pieces, std::span<const std::string> args) {
  std::size_t fixed = 1;  // the LRC
  for (const Piece& p : pieces) fixed += fixed_size(p);
  std::size_t room = kSendBufferBytes > fixed ? kSendBufferBytes - fixed : 0;
  Bytes out;
  out.reserve(std::min(kSendBufferBytes, fixed + room));
  for (const Piece& p : pieces) {
    const std::string_view arg = p.arg < args.size() ? std::string_view(args[p.arg]) : std::string_view();
    switch (p.fit) {
      case Fit::Fixed: out.insert(out.end(), p.bytes.begin(), p.bytes.end()); break;
      case Fit::Field: append(out, field(arg, p.width)); break;
      case Fit::Left: append(out, left_field(arg, p.width)); break;
      case Fit::Whole: {
        const std::string_view kept = cut_at_character(arg, room);
        append(out, kept);
        room -= kept.size();
        break;
      }
    }
  }
  out.push_back(quill_lrc(out));
  return out;
}

std::string sign_amount(std::string_view tr_info) {
  constexpr std::size_t kAt = 34, kWidth = 12;
  if (tr_info.size() <= kAt) return {};
  const std::string_view amount = tr_info.substr(kAt, kWidth);
  std::size_t from = 1;  // the first character is never part of the amount
  while (from < amount.size() && amount[from] == '0') ++from;
  return std::string(amount.substr(std::min(from, amount.size())));
}

std::string sign_text(std::string_view tr_info) {
  constexpr std::size_t kLongerThan = 60;
  std::string text(tr_info);
  if (text.size() <= kLongerThan) text.resize(kLongerThan + 1, ' ');
  return text;
}

std::string pin_card_field(std::string_view card_no) {
  const std::string card = text::trim(card_no);
  if (card.empty()) return "0000";
  const std::size_t end = card.size() - 1;  // the last character stays out
  const std::size_t from = end > 12 ? end - 12 : 0;
  return "0000" + card.substr(from, end - from);
}

Bytes sign_request(std::string_view card_no, std::string_view tr_info) {
  const std::string args[] = {std::string(card_no), sign_amount(tr_info), sign_text(tr_info)};
  return build(kSignPieces, args);
}

Bytes cust_info_request() { return build(kCustInfoPieces, {}); }

Bytes pin_request(int password_type, std::string_view card_no, std::string_view amount,
                  std::string_view working_key) {
  const std::string args[] = {password_type == 1 ? "2" : "1", std::string(working_key), pin_card_field(card_no),
                              std::string(amount)};
  return build(kPinPieces, args);
}

std::array<std::uint8_t, kQuillKeptBytes> kept_bytes(std::string_view card_no, std::string_view tr_info) {
  constexpr std::size_t kCard = 20, kText = 61;
  std::array<std::uint8_t, kQuillKeptBytes> kept{};
  const std::string_view card = card_no.substr(0, kCard);
  const std::string_view text = tr_info.substr(0, kText);
  std::copy(card.begin(), card.end(), kept.begin());
  std::copy(text.begin(), text.end(), kept.begin() + kCard);
  return kept;
}

// --- Receiver -------------------------------------------------------------------

void Receiver::reset(int job) {
  job_ = job;
  ring_.fill(0);
  restart();
  started_ = false;
  expected_ = kNoLength;
  more_blocks_ = false;
  success_ = false;
  answer_.clear();
  image_.fill(0);
}

void Receiver::restart() noexcept {
  index_ = 0;
  filled_ = 0;
}

void Receiver::put(std::uint8_t b) {
  ring_[index_] = b;
  index_ = index_ + 1 == kRingBytes ? 0 : index_ + 1;
  if (filled_ < kRingBytes) ++filled_;
}

int Receiver::back(std::size_t k) const noexcept {
  if (k >= filled_) return -1;
  return ring_[(index_ + kRingBytes - 1 - k) % kRingBytes];
}

bool Receiver::three(std::uint8_t b) const noexcept { return back(0) == b && back(1) == b && back(2) == b; }

void Receiver::feed(std::span<const std::uint8_t> bytes, std::vector<Effect>& out) {
  for (const std::uint8_t b : bytes) {
    put(b);
    if (is_signature(job_)) {
      sign_byte(out);
    } else if (job_ == kJobCustInfo || job_ == kJobPin) {
      answer_byte(out);
    }
  }
}

void Receiver::sign_byte(std::vector<Effect>& out) {
  using K = Effect::Kind;
  if (three(kAck)) out.push_back({K::Acknowledged});
  // STX 00 02 C0|C1 x y ETX, and the byte after ETX is the newest.
  const int code = back(4);
  if (back(7) == kStx && back(6) == 0x00 && back(5) == 0x02 && (code == kPointCode || code == kPointCodeAlt) &&
      back(1) == kEtx) {
    const int x = back(3), y = back(2);
    if (set_quill_point(image_, x, y)) {
      success_ = true;
      out.push_back({K::Point, x, y});
    }
  }
  if (three(kEnq)) out.push_back({K::Notify, 0, 0, Notice::SignEnd});
  if (three(kEsc)) out.push_back({K::Notify, 0, 0, Notice::SignCancel});
}

void Receiver::answer_byte(std::vector<Effect>& out) {
  using K = Effect::Kind;
  if (three(kAck)) {
    started_ = true;
    out.push_back({K::Acknowledged});
  }
  if (three(kNak)) {
    out.push_back({K::StopPad});
    out.push_back({K::Notify, 0, 0, Notice::InputDataError});
  }
  if (started_ && answer_header(out)) return;
  if (expected_ != kNoLength && filled_ == expected_) complete(out);
}

// STX len-high len-low code, the code newest: the answer's length, and the
// ring starts again for its data.
bool Receiver::answer_header(std::vector<Effect>& out) {
  const int code = back(0);
  const bool ours = job_ == kJobCustInfo ? (code == kInfoAnswer || code == kInfoAnswerAlt || code == kInfoMoreBlocks)
                                         : code == kPinAnswer;
  if (!ours || back(3) != kStx) return false;
  const std::uint32_t length = static_cast<std::uint32_t>(back(2)) << 8 | static_cast<std::uint32_t>(back(1));
  restart();
  more_blocks_ = code == kInfoMoreBlocks;
  expected_ = kNoLength;
  if (length > kRingBytes - 1) {
    // More than the ring can hold: the answer can never complete.
    out.push_back({Effect::Kind::StopPad});
    out.push_back({Effect::Kind::Notify, 0, 0, Notice::InputDataError});
    return true;
  }
  if (length == 0) {
    if (!more_blocks_) {
      expected_ = 0;
      complete(out);
    }
    return true;  // FC with no data: the next block follows
  }
  expected_ = length;
  return true;
}

void Receiver::complete(std::vector<Effect>& out) {
  using K = Effect::Kind;
  answer_.assign(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(expected_));
  expected_ = kNoLength;
  success_ = true;
  out.push_back({K::Answer});
  if (job_ == kJobPin) {
    out.push_back({K::StopPad});
    out.push_back({K::Notify, 0, 0, Notice::PinEnd});
    return;
  }
  if (!more_blocks_) out.push_back({K::StopPad});
  out.push_back({K::Notify, 0, 0, Notice::CustInfoEnd});
}

std::string Receiver::answer_text() const {
  if (answer_.size() <= 1) return {};
  const auto end = std::find(answer_.begin() + 1, answer_.end(), std::uint8_t{0});
  return std::string(answer_.begin() + 1, end);
}

}  // namespace pink::signpad::quill
