#include "msgcall/logtext.h"

#include <array>
#include <utility>

#include "platform/text.h"

namespace pink::msgcall::logtext {
namespace {

enum class Shape : std::uint8_t {
  Nret,         // SENDID, NRET, LINE
  Plain,        // SENDID, LINE
  Result,       // SENDID, RESULT, LINE
  CallNret,     // SENDID, CALL, SEQNO, NRET, LINE
  CallPlain,    // SENDID, CALL, SEQNO, LINE
  CallResult,   // SENDID, CALL, SEQNO, RESULT, LINE
  Unreachable,  // two hosts and ports, LINE
};

struct Row {
  Event event;
  Shape shape;
  std::string_view utf8;  // the message as written in the source
  int send_line, batch_line, connect_line;
};

// Message texts and their LINE numbers in MMSSend, MMSSendDongbo and MMSConnect.
constexpr std::array<Row, 11> kRows = {{
    {Event::Unreachable, Shape::Unreachable, "[%s][%d],[%s][%d]에 연결할수 없습니다.line[%d]\n", 441, 0, 1052},
    {Event::LoginNotSent, Shape::Nret, "[M인증요청실패] SENDID=[%s/%s] NRET=[%d] LINE=[%d]\n", 491, 797, 0},
    {Event::LoginReplyNotReceived, Shape::Nret, "[M인증요청실패]  SENDID=[%s/%s] NRET=[%d] LINE=[%d]\n", 505, 811,
     0},
    {Event::LoginAccepted, Shape::Plain, "[M인증성공] SENDID=[%s/%s] LINE=[%d]\n", 516, 822, 0},
    {Event::LoginRefused, Shape::Result, "[M인증실패] SENDID=[%s/%s] RESULT=[%c] LINE=[%d]\n", 524, 830, 0},
    {Event::HeaderNotSent, Shape::CallNret,
     "[M호출요청실패] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] NRET=[%d] LINE=[%d]\n", 616, 927, 0},
    {Event::BodyNotSent, Shape::CallNret,
     "[M호출요청실패] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] NRET=[%d] LINE=[%d]\n", 646, 957, 0},
    {Event::AttachmentFailed, Shape::CallNret,
     "[M호출요청실패] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] NRET=[%d] LINE=[%d]\n", 670, 981, 0},
    {Event::ResultNotReceived, Shape::CallNret,
     "[M호출요청실패] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] NRET=[%d] LINE=[%d]\n", 692, 1003, 0},
    {Event::MessageAccepted, Shape::CallPlain, "[M호출요청성공] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] LINE=[%d]\n",
     709, 1020, 0},
    {Event::MessageRefused, Shape::CallResult,
     "[M호출요청실패] SENDID=[%s/%s] CALL=[%s] SEQNO=[%s] RESULT=[%c] LINE=[%d]\n", 722, 1033, 0},
}};

template <std::size_t... I>
std::array<text::Literal, sizeof...(I)> literals(std::index_sequence<I...>) {
  return {text::Literal(kRows[I].utf8)...};
}

// The rows' texts in cp949, converted once.
const std::string& pattern_of(Event event) {
  static const auto patterns = literals(std::make_index_sequence<kRows.size()>());
  return patterns[static_cast<std::size_t>(event)].str();
}

const Row& row_of(Event event) { return kRows[static_cast<std::size_t>(event)]; }

constexpr bool rows_in_order() {
  for (std::size_t i = 0; i < kRows.size(); ++i) {
    if (static_cast<std::size_t>(kRows[i].event) != i) return false;
  }
  return true;
}
static_assert(rows_in_order(), "kRows is indexed by Event");

}  // namespace

int line_number(Event event, Caller caller) {
  const Row& r = row_of(event);
  switch (caller) {
    case Caller::Send: return r.send_line;
    case Caller::Batch: return r.batch_line;
    case Caller::Connect: return r.connect_line;
  }
  return 0;
}

std::string message(Event event, Caller caller, const Subject& who, int value) {
  const std::string& p = pattern_of(event);
  const long line = line_number(event, caller);
  const long n = value;
  const char c = static_cast<char>(value);
  switch (row_of(event).shape) {
    case Shape::Nret: return format(p, {who.user, who.dept, n, line});
    case Shape::Plain: return format(p, {who.user, who.dept, line});
    case Shape::Result: return format(p, {who.user, who.dept, c, line});
    case Shape::CallNret: return format(p, {who.user, who.dept, who.call, who.seq, n, line});
    case Shape::CallPlain: return format(p, {who.user, who.dept, who.call, who.seq, line});
    case Shape::CallResult: return format(p, {who.user, who.dept, who.call, who.seq, c, line});
    case Shape::Unreachable: break;
  }
  return {};
}

std::string unreachable(std::string_view primary, int primary_port, std::string_view secondary,
                        int secondary_port, Caller caller) {
  return format(pattern_of(Event::Unreachable),
                {primary, long{primary_port}, secondary, long{secondary_port},
                 long{line_number(Event::Unreachable, caller)}});
}

std::string lookup_failed(std::string_view host, int error) {
  return format("step2 host[%s][%d]\n", {host, long{error}});
}

std::string connect_failed() { return "step3\n"; }

std::string format(std::string_view pattern, std::initializer_list<Arg> args) {
  std::string out;
  out.reserve(pattern.size() + 64);
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char ch = pattern[i];
    const char spec = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (ch != '%' || (spec != 's' && spec != 'd' && spec != 'c' && spec != '%')) {
      out += ch;
      continue;
    }
    ++i;
    if (spec == '%') {
      out += '%';
      continue;
    }
    if (next == args.end()) continue;
    const Arg& a = *next++;
    if (const auto* s = std::get_if<std::string_view>(&a)) out.append(*s);
    if (const auto* d = std::get_if<long>(&a)) out.append(std::to_string(*d));
    if (const auto* c = std::get_if<char>(&a)) out += *c;
  }
  return out;
}

}  // namespace pink::msgcall::logtext
