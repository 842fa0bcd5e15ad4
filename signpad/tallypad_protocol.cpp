#include "signpad/tallypad_protocol.h"

#include <algorithm>

#include "platform/text.h"
#include "signpad/pad_keys.h"

namespace pink::signpad::tally {
namespace {

// --- request tables ------------------------------------------------------------

// What a chunk of a request's data is made of.
enum class Piece : std::uint8_t {
  Fixed,        // the bytes of `fixed`
  Byte,         // the byte `arg`
  Key,          // the 16-character key string
  Field,        // argument `arg` as a text field of `width` bytes
  Prompt,       // prompt `arg` (prompt_text) as a text field of `width` bytes
  CardNo,       // argument `arg`, trimmed, cut to `width` bytes, not padded
  IdBytes,      // the two bytes of argument `arg` (id_bytes)
  CardRecords,  // the count and records of argument `arg` (card_records)
};

struct Chunk {
  Piece piece;
  std::string_view fixed;
  std::uint8_t arg = 0;
  std::uint8_t width = 0;
};

constexpr Chunk fixed(std::string_view bytes) { return {Piece::Fixed, bytes}; }
constexpr Chunk byte(std::uint8_t b) { return {Piece::Byte, {}, b}; }
constexpr Chunk key() { return {Piece::Key, {}}; }
constexpr Chunk field_of(std::uint8_t arg, std::uint8_t width) { return {Piece::Field, {}, arg, width}; }
constexpr Chunk prompt(std::uint8_t id) { return {Piece::Prompt, {}, id, 16}; }
constexpr Chunk card_no(std::uint8_t arg) { return {Piece::CardNo, {}, arg, kCardNoMax}; }
constexpr Chunk id_pair(std::uint8_t arg) { return {Piece::IdBytes, {}, arg}; }
constexpr Chunk records(std::uint8_t arg) { return {Piece::CardRecords, {}, arg}; }

constexpr Chunk kFsChunk = byte(kFs);
// The card reader requests that ask for no id end with FF FF in its place.
constexpr Chunk kNoId = byte(0xFF);

// The pad's prompts while it works on a PIN, shown in its 16-byte fields.
constexpr std::uint8_t kPromptPrivacy = 0;     // "processing personal data"
constexpr std::uint8_t kPromptWait = 1;        // "please wait a moment"
constexpr std::uint8_t kPromptPinWorking = 2;  // "processing the PIN"
const std::string& prompt_text(std::uint8_t id) {
  static const text::Literal kPrompts[] = {
      text::Literal{"개인정보 처리중"},
      text::Literal{"잠시 기다리세요"},
      text::Literal{"비밀번호 처리중"},
  };
  return kPrompts[id < std::size(kPrompts) ? id : 0];
}

enum class Wrap : std::uint8_t { Pad, Dongle };

// A request: its frame family, the command (pad frames) or first body byte
// (dongle frames), and the chunks of data after it.
struct RequestRow {
  Mode mode;
  Wrap wrap;
  std::uint8_t command;
  std::span<const Chunk> chunks;
};

constexpr Chunk kInit[] = {fixed("07")};
constexpr Chunk kSignReq[] = {fixed("0B"), key(), field_of(0, 16), kFsChunk, field_of(1, 16), kFsChunk, kFsChunk};
constexpr Chunk kPin[] = {fixed("120"), field_of(0, 16), kFsChunk, field_of(1, 16), kFsChunk, prompt(kPromptPrivacy),
                          kFsChunk, prompt(kPromptWait), kFsChunk, fixed("02")};
constexpr Chunk kPinEnc[] = {card_no(0), kFsChunk, fixed("01"), key(), fixed("0206"), field_of(1, 16),
                             kFsChunk, field_of(2, 16), kFsChunk, prompt(kPromptPinWorking), kFsChunk,
                             prompt(kPromptWait), kFsChunk, fixed("02")};
constexpr Chunk kLogOn[] = {field_of(0, 10)};
// The card reader requests: transaction number, site id, the kind of card, the id.
constexpr Chunk kCard[] = {field_of(0, 7), field_of(1, 10), byte(kKindCard), kNoId, kNoId};
constexpr Chunk kMember[] = {field_of(0, 7), field_of(1, 10), byte(kKindMember), id_pair(2)};
constexpr Chunk kDebit[] = {field_of(0, 7), field_of(1, 10), byte(kKindDebit), id_pair(2)};
constexpr Chunk kTicket[] = {field_of(0, 7), field_of(1, 10), byte(kKindTicket), id_pair(2)};
constexpr Chunk kGift[] = {field_of(0, 7), field_of(1, 10), byte(kKindGift), id_pair(2)};
constexpr Chunk kSports[] = {field_of(0, 7), field_of(1, 10), byte(kKindSports), id_pair(2)};
constexpr Chunk kCash[] = {field_of(0, 7), field_of(1, 10), byte(kKindCash), id_pair(2)};
constexpr Chunk kCardMember[] = {field_of(0, 7), field_of(1, 10), byte(kKindCard), id_pair(2),
                                 byte(kKindMember), id_pair(3)};
constexpr Chunk kCardInfo[] = {field_of(0, 10), records(1)};

constexpr RequestRow kRequests[] = {
    {Mode::Init, Wrap::Pad, kCmdInit, kInit},
    {Mode::Sign, Wrap::Pad, kCmdSignReq, kSignReq},
    {Mode::SignSend, Wrap::Pad, kCmdSignSend, {}},
    {Mode::Pin, Wrap::Pad, kCmdPin, kPin},
    {Mode::PinEnc, Wrap::Pad, kCmdPinEnc, kPinEnc},
    {Mode::DongleCard, Wrap::Dongle, kDongleCardRequest, kCard},
    {Mode::DongleMember, Wrap::Dongle, kDongleCardRequest, kMember},
    {Mode::DongleDebit, Wrap::Dongle, kDongleCardRequest, kDebit},
    {Mode::DongleTicket, Wrap::Dongle, kDongleCardRequest, kTicket},
    {Mode::DongleGift, Wrap::Dongle, kDongleCardRequest, kGift},
    {Mode::DongleSports, Wrap::Dongle, kDongleCardRequest, kSports},
    {Mode::DongleCash, Wrap::Dongle, kDongleCardRequest, kCash},
    {Mode::DongleCardMember, Wrap::Dongle, kDongleCardRequest, kCardMember},
    {Mode::DongleLogOn, Wrap::Dongle, kDongleLogOnRequest, kLogOn},
    {Mode::DongleCardInfo, Wrap::Dongle, kDongleCardInfoRequest, kCardInfo},
    {Mode::DongleCancel, Wrap::Dongle, kDongleCancelRequest, {}},
};

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int hex_value(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::optional<std::uint8_t> hex_pair(std::string_view two) {
  if (two.size() != 2 || !is_hex(two[0]) || !is_hex(two[1])) return std::nullopt;
  return static_cast<std::uint8_t>(hex_value(two[0]) * 16 + hex_value(two[1]));
}

// Appends one piece; false when its argument cannot make it.
bool append_chunk(Bytes& out, const Chunk& chunk, std::span<const std::string_view> args) {
  const std::string_view arg = chunk.arg < args.size() ? args[chunk.arg] : std::string_view{};
  switch (chunk.piece) {
    case Piece::Fixed:
      append(out, chunk.fixed);
      return true;
    case Piece::Byte:
      out.push_back(chunk.arg);
      return true;
    case Piece::Key:
      append(out, signpad::field(kTallypadKey, 16));
      return true;
    case Piece::Field:
      append(out, signpad::field(arg, chunk.width));
      return true;
    case Piece::Prompt:
      append(out, signpad::field(prompt_text(chunk.arg), chunk.width));
      return true;
    case Piece::CardNo:
      append(out, text::rtrim(arg).substr(0, chunk.width));
      return true;
    case Piece::IdBytes:
      if (const auto two = id_bytes(arg)) {
        out.insert(out.end(), two->begin(), two->end());
        return true;
      }
      return false;
    case Piece::CardRecords:
      if (const auto r = card_records(arg)) {
        out.insert(out.end(), r->begin(), r->end());
        return true;
      }
      return false;
  }
  return false;
}

}  // namespace

std::uint8_t xor_all(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (const std::uint8_t b : bytes) x ^= b;
  return x;
}

Bytes dongle_frame(std::span<const std::uint8_t> body) {
  Bytes out(4 + body.size());
  out[0] = kDongleStart;
  out[3] = static_cast<std::uint8_t>(body.empty() ? 0 : body.size() - 1);
  std::copy(body.begin(), body.end(), out.begin() + 4);
  out.push_back(xor_all(out));
  return out;
}

std::optional<std::array<std::uint8_t, 2>> id_bytes(std::string_view id) {
  if (id.size() < 2) return std::nullopt;
  const auto first = hex_pair(id.substr(0, 2));
  const auto last = hex_pair(id.substr(id.size() - 2));
  if (!first || !last) return std::nullopt;
  return std::array<std::uint8_t, 2>{*first, *last};
}

std::optional<Bytes> card_records(std::string_view card_info) {
  if (card_info.size() < 2 || card_info[0] < '0' || card_info[0] > '9' || card_info[1] < '0' ||
      card_info[1] > '9') {
    return std::nullopt;
  }
  const std::size_t n = static_cast<std::size_t>((card_info[0] - '0') * 10 + (card_info[1] - '0'));
  const std::string_view rest = card_info.substr(2);
  if (n > kCardRecordsMax || rest.size() < n * kCardRecordBytes) return std::nullopt;
  Bytes out(card_info.begin(), card_info.begin() + 2);
  for (std::size_t i = 0; i < n; ++i) {
    std::string record = text::rtrim(rest.substr(i * kCardRecordBytes, kCardRecordBytes));
    record.resize(kCardRecordBytes, '\0');
    append(out, record);
  }
  return out;
}

std::optional<Bytes> request_frame(Mode mode, std::span<const std::string_view> args) {
  const auto row = std::find_if(std::begin(kRequests), std::end(kRequests),
                                [mode](const RequestRow& r) { return r.mode == mode; });
  if (row == std::end(kRequests)) return std::nullopt;
  Bytes data;
  if (row->wrap == Wrap::Dongle) data.push_back(row->command);
  for (const Chunk& chunk : row->chunks) {
    if (!append_chunk(data, chunk, args)) return std::nullopt;
  }
  return row->wrap == Wrap::Pad ? frame(row->command, data) : dongle_frame(data);
}

// --- answer rules --------------------------------------------------------------

// A byte the parser waits for (either of two); when it comes, the buffer
// restarts.
struct Gate {
  std::uint8_t a, b;
  bool opens(std::uint8_t byte) const { return byte == a || byte == b; }
};

// What follows the gates.
enum class Tail : std::uint8_t {
  Records,   // signing records up to each ETX
  Answer,    // the answer code with the length before it, then the answer
  Done,      // nothing: the last gate completes the exchange
  LastByte,  // any one byte completes the exchange
};

struct AnswerRule {
  Mode mode;
  std::uint8_t gates;  // how many of `gate` are waited for in turn
  std::array<Gate, 4> gate;
  Tail tail;
  Gate code;              // Answer: the answer code
  bool keep_code;         // Answer: the code is the answer's first byte
  std::uint8_t trailing;  // Answer: bytes received after the answer length (the XOR byte)
  Reply reply;
};

namespace {

constexpr Gate kGateStx{kStx, kStx};
constexpr Gate kGateAck{kAck, kAck};
constexpr Gate kGateK{kDongleStart, kDongleStart};
constexpr Gate kGateZero{0x00, kNak};
constexpr std::array<Gate, 4> kPadGates{kGateStx};
constexpr std::array<Gate, 4> kDongleGates{kGateAck, kGateK, kGateZero};

constexpr AnswerRule dongle_rule(Mode mode, std::uint8_t code) {
  return {mode, 3, kDongleGates, Tail::Answer, {code, code}, false, 1, Reply::Ack};
}

constexpr AnswerRule kRules[] = {
    {Mode::Init, 1, kPadGates, Tail::Answer, {kAck, kEsc}, true, 0, Reply::None},
    {Mode::Sign, 2, {kGateStx, Gate{kAnswerSigning, kAnswerSigning}}, Tail::Records, {}, false, 0, Reply::None},
    {Mode::SignSend, 1, kPadGates, Tail::Answer, {kAnswerSignData, kAnswerSignData}, false, 0, Reply::DataAck},
    {Mode::Pin, 1, kPadGates, Tail::Answer, {kAnswerPin, kAnswerPin}, false, 0, Reply::DataAck},
    {Mode::PinEnc, 1, kPadGates, Tail::Answer, {kAnswerPinEnc, kAnswerPinEnc}, false, 0, Reply::DataAck},
    dongle_rule(Mode::DongleCard, kAnswerCard),
    dongle_rule(Mode::DongleMember, kAnswerCard),
    dongle_rule(Mode::DongleDebit, kAnswerCard),
    dongle_rule(Mode::DongleTicket, kAnswerCard),
    dongle_rule(Mode::DongleGift, kAnswerCard),
    dongle_rule(Mode::DongleSports, kAnswerCard),
    dongle_rule(Mode::DongleCash, kAnswerCard),
    dongle_rule(Mode::DongleCardMember, kAnswerCard),
    dongle_rule(Mode::DongleLogOn, kAnswerLogOn),
    {Mode::DongleCardInfo, 1, {kGateAck}, Tail::Done, {}, false, 0, Reply::Ack},
    {Mode::DongleCancel, 4, {kGateAck, kGateK, kGateZero, Gate{kFs, kFs}}, Tail::LastByte, {}, false, 0,
     Reply::Ack},
};

}  // namespace

std::span<const std::uint8_t> reply_bytes(Reply reply) {
  switch (reply) {
    case Reply::DataAck:
      return kDataAck;
    case Reply::Ack:
      return kSingleAck;
    case Reply::None:
      break;
  }
  return {};
}

// --- the parser --------------------------------------------------------------

void AnswerParser::start(Mode mode) {
  mode_ = mode;
  rule_ = nullptr;
  for (const AnswerRule& r : kRules) {
    if (r.mode == mode) rule_ = &r;
  }
  buffer_.fill(0);
  index_ = 0;
  gate_ = 0;
  length_ = needed_ = 0;
  answer_.clear();
  phase_ = rule_ != nullptr ? Phase::Gates : Phase::Idle;
}

Reply AnswerParser::reply() const noexcept { return rule_ != nullptr ? rule_->reply : Reply::None; }

void AnswerParser::restart() {
  std::fill(buffer_.begin(), buffer_.begin() + kBufferBytes / 2, std::uint8_t{0});
  index_ = 0;
}

Step AnswerParser::feed(std::uint8_t byte) {
  if (phase_ == Phase::Idle || phase_ == Phase::Ended) return {};
  // The buffer keeps what arrived since the last restart; its index wraps
  // before it can leave the buffer, whatever the pad sends.
  buffer_[index_++] = byte;
  const Step s = step(byte);
  if (index_ > kWrapAfter) index_ = 0;
  return s;
}

std::vector<Step> AnswerParser::feed(std::span<const std::uint8_t> bytes) {
  std::vector<Step> steps;
  for (const std::uint8_t b : bytes) {
    if (const Step s = feed(b); s.kind != Step::Kind::None) steps.push_back(s);
  }
  return steps;
}

Step AnswerParser::step(std::uint8_t byte) {
  switch (phase_) {
    case Phase::Gates:
      return gate(byte);
    case Phase::Code:
      return code(byte);
    case Phase::Collect:
      answer_.push_back(byte);
      return answer_.size() >= needed_ ? complete() : Step{};
    case Phase::Records:
      return record(byte);
    case Phase::LastByte:
      return complete();
    case Phase::Idle:
    case Phase::Ended:
      break;
  }
  return {};
}

Step AnswerParser::gate(std::uint8_t byte) {
  if (!rule_->gate[gate_].opens(byte)) return {};
  restart();
  if (++gate_ < rule_->gates) return {};
  switch (rule_->tail) {
    case Tail::Records:
      phase_ = Phase::Records;
      return {};
    case Tail::Answer:
      phase_ = Phase::Code;
      return {};
    case Tail::LastByte:
      phase_ = Phase::LastByte;
      return {};
    case Tail::Done:
      break;
  }
  return complete();
}

// The answer code counts only with two bytes before it in the buffer: they
// are the answer's length.
Step AnswerParser::code(std::uint8_t byte) {
  if (!rule_->code.opens(byte) || index_ < 3) return {};
  length_ = std::size_t{buffer_[index_ - 3]} << 8 | buffer_[index_ - 2];
  restart();
  answer_.clear();
  if (rule_->keep_code) answer_.push_back(byte);
  needed_ = length_ + rule_->trailing + (rule_->keep_code ? 1 : 0);
  answer_.reserve(needed_);
  if (answer_.size() >= needed_) return complete();
  phase_ = Phase::Collect;
  return {};
}

// A record ends at an ETX with at least two bytes before it (a coordinate
// may itself be 3); the two bytes before the ETX are the record.
Step AnswerParser::record(std::uint8_t byte) {
  if (byte != kEtx || index_ < 3) return {};
  const std::uint8_t x = buffer_[index_ - 3], y = buffer_[index_ - 2];
  restart();
  switch (x) {
    case kRecordCleared:
      return {Step::Kind::Cleared};
    case kRecordCancelled:
      phase_ = Phase::Ended;
      return {Step::Kind::Cancelled};
    case kRecordEnter:
      return {Step::Kind::Input};
    default:
      break;
  }
  if (x == 0 || y == 0) return {};
  return {Step::Kind::Point, x, y};
}

Step AnswerParser::complete() {
  phase_ = Phase::Ended;
  if (answer_.size() > length_) answer_.resize(length_);
  return {Step::Kind::Complete};
}

}  // namespace pink::signpad::tally
