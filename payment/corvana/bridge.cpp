#include "payment/corvana/bridge.h"

#include <algorithm>
#include <array>
#include <optional>

#include "payment/corvana/fields.h"
#include "payment/corvana/message.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace pink::corvana {
namespace {

using mailbox::kFloyd;

struct FaultEntry {
  Fault fault;
  int step;
  bool drops_link;        // EM is sent and the link closed before reporting
  std::string_view utf8;  // the error text as written in this source
};

constexpr std::array kFaults{
    FaultEntry{Fault::StartState, 1, false, "시작 상태 오류"},
    FaultEntry{Fault::NoCommandLine, 2, false, "시작 초기값 Null 오류"},
    FaultEntry{Fault::UnknownJob, 3, false, "시작 초기값 작업 구분 오류"},
    FaultEntry{Fault::NoRequest, 4, false, "전문 생성 오류"},
    FaultEntry{Fault::ConnectSocket, 6, false, "Connect Socket 오류"},
    FaultEntry{Fault::ConnectSsl, 6, false, "Connect SSL 오류"},
    FaultEntry{Fault::ConnectReceive, 7, true, "Connect Receive 오류 : "},
    FaultEntry{Fault::RequestSend, 8, true, "전문 전송 오류 : "},
    FaultEntry{Fault::RequestConfirm, 9, true, "전문 전송 확인 오류 : "},
    FaultEntry{Fault::ResponseEmpty, 11, true, "전문 해석 데이타 널(NULL) 오류"},
    FaultEntry{Fault::ResponseLost, 11, true, "전문 해석 망 데이타 손실 오류"},
    FaultEntry{Fault::MessageType, 12, true, "전문 해석 종류 오류 : "},
    FaultEntry{Fault::DealKind, 13, true, "전문 해석 거래 종류 오류"},
    FaultEntry{Fault::BitmapDigits, 14, true, "전문 해석 자릿수 오류"},
    FaultEntry{Fault::CheckText, 17, true, "전문 해석 결과값 오류"},
    FaultEntry{Fault::FinalSend, 21, true, "최종 응답 송신 오류 : "},
    FaultEntry{Fault::FinalReceive, 22, true, "최종 응답 수신 오류 : "},
};

constexpr bool faults_in_order() {
  for (std::size_t i = 0; i < kFaults.size(); ++i) {
    if (static_cast<std::size_t>(kFaults[i].fault) != i) return false;
    // The link is open from step 7 to step 22, and only then dropped.
    if (kFaults[i].drops_link != (kFaults[i].step >= 7)) return false;
  }
  return true;
}
static_assert(faults_in_order(), "one entry per fault, in the order of the enumeration");

const FaultEntry& entry_of(Fault fault) { return kFaults[static_cast<std::size_t>(fault)]; }

// A reported failure: its fault and the text that follows the error text.
struct Stop {
  Fault fault;
  std::string suffix;
};

Stop stop(Fault fault, std::string suffix = {}) { return Stop{fault, std::move(suffix)}; }
Stop stop(Fault fault, std::int32_t number) { return Stop{fault, std::to_string(number)}; }

constexpr std::string_view kStart = "start";
constexpr std::string_view kEnd = "End";

}  // namespace

const std::string& fault_text(Fault fault) {
  static const std::vector<text::Literal> texts = [] {
    std::vector<text::Literal> v;
    for (const auto& f : kFaults) v.emplace_back(f.utf8);
    return v;
  }();
  return texts[static_cast<std::size_t>(fault)].str();
}

const std::string& system_fault_text() {
  static const text::Literal text{"System 오류 : "};
  return text.str();
}

void Bridge::step(int marker) {
  marker_ = marker;
  markers_.push_back(marker);
}

std::int32_t Bridge::receive(std::vector<std::uint8_t>& buffer) {
  buffer.assign(kReceiveBufferSize, 0);
  return net_.server_receive_data(buffer, kReceiveWait);
}

int Bridge::run(std::string_view command_line) {
  marker_ = 0;
  link_open_ = false;
  markers_.clear();
  error_.clear();
  detail_.clear();
  try {
    return steps(command_line);
  } catch (const Stop& s) {
    if (entry_of(s.fault).drops_link) drop_link();
    return fail(fault_text(s.fault) + s.suffix);
  } catch (const Failure& f) {
    detail_ = f.full_text();
  } catch (const std::exception& e) {
    detail_ = e.what();
  } catch (...) {
    detail_ = "unknown failure";
  }
  if (marker_ >= 7) drop_link();
  return fail(system_fault_text() + std::to_string(marker_));
}

int Bridge::steps(std::string_view command_line) {
  const std::optional<Command> command = start_job(command_line);
  if (!command) return 0;  // the library was stopped or started: nothing more
  const std::string message = request_message_of();
  send_request(*command, message);
  const std::string response = await_response();
  const FieldWalk fields = check_response(response);
  finish_exchange(response, fields);
  return 0;
}

// Steps 1 to 3: the state the POS left, the command line, the job letter.
// "S" and "E" stop (and "S" starts again) the link library and end here.
std::optional<Command> Bridge::start_job(std::string_view command_line) {
  step(1);
  if (mb_.get(kFloyd, kStateKey) != kStart) throw stop(Fault::StartState);

  step(2);
  mb_.put(kFloyd, kErrorKey, "");
  mb_.put(kFloyd, kStateKey, "");
  if (command_line.empty()) throw stop(Fault::NoCommandLine);
  Command command = parse_command(command_line);

  step(3);
  if (command.job == "S" || command.job == "E") {
    net_.stop_dll();
    if (command.job == "S") net_.start_dll();
    mb_.put(kFloyd, kStateKey, kEnd);
    return std::nullopt;
  }
  if (command.job != "C") throw stop(Fault::UnknownJob);
  return command;
}

// Steps 4 and 5: the request text from the mailbox, framed with its checksum.
std::string Bridge::request_message_of() {
  step(4);
  const std::string request = mb_.get(kFloyd, kTextKey);
  if (request.empty()) throw stop(Fault::NoRequest);

  step(5);
  const std::string_view covered = checksum_input(request);
  short_length(covered.size());
  return request_message(request, net_.make_arc(covered));
}

// Steps 6 to 8: connect, wait for the network's ENQ, send the request.
void Bridge::send_request(const Command& command, const std::string& message) {
  step(6);
  const std::int32_t connected = net_.server_connect(command.address, command.port);
  if (connected == -1) throw stop(Fault::ConnectSocket);
  if (connected != 1) throw stop(Fault::ConnectSsl);
  link_open_ = true;

  std::vector<std::uint8_t> block;
  step(7);
  std::int32_t n = receive(block);
  if (n < 1 || block[0] != kEnq) throw stop(Fault::ConnectReceive, n);

  step(8);
  short_length(message.size());
  n = net_.server_send_data(message);
  if (n < 1) throw stop(Fault::RequestSend, n);
}

// Steps 9 and 10: the network's answer, as text.
std::string Bridge::await_response() {
  step(9);
  std::vector<std::uint8_t> answer;
  const std::int32_t n = receive(answer);
  if (n < 1) throw stop(Fault::RequestConfirm, n);

  step(10);
  return response_text(answer, n);
}

// Steps 11 to 17: the answer checked part by part and its fields taken.
FieldWalk Bridge::check_response(const std::string& response) {
  step(11);
  if (is_blank(response)) throw stop(Fault::ResponseEmpty);
  if (response == std::string(1, static_cast<char>(kNak))) throw stop(Fault::ResponseLost);

  step(12);
  const std::string_view type = message_type(response);
  if (type != "0910" && type != "9910") throw stop(Fault::MessageType, std::string(type));

  step(13);
  const std::optional<Kind> kind = response_kind(response);
  if (!kind) throw stop(Fault::DealKind);

  step(14);
  const std::string_view bitmap = bitmap_text(response);
  if (char_count(bitmap) < 16) throw stop(Fault::BitmapDigits);

  step(15);
  const std::string bits = expand_bitmap(bitmap);

  step(16);
  const std::string_view data = data_area(response);
  FieldWalk fields = walk_fields(data, bits, *kind);

  step(17);
  if (fields.taken != data) throw stop(Fault::CheckText);
  return fields;
}

// Steps 18 to 23: ACK, the network's EOT, close, and the results written.
void Bridge::finish_exchange(const std::string& response, const FieldWalk& fields) {
  step(18);

  step(21);
  std::int32_t n = net_.server_send_data(std::string(1, static_cast<char>(kAck)));
  if (n < 1) throw stop(Fault::FinalSend, n);

  step(22);
  std::vector<std::uint8_t> block;
  n = receive(block);
  if (n < 1 || block[0] != kEot) throw stop(Fault::FinalReceive, n);

  step(23);
  net_.server_close();
  link_open_ = false;
  mb_.put(kFloyd, kPowerKey, fields.normalised);
  mb_.put(kFloyd, kTextKey, response);
  mb_.put(kFloyd, kStateKey, kEnd);
}

// Abandons an open link: EM to the network, then close. Failures here change
// nothing about what is reported.
void Bridge::drop_link() noexcept {
  if (!link_open_) return;
  link_open_ = false;
  try {
    net_.server_send_data(std::string(1, static_cast<char>(kEm)));
  } catch (...) {
  }
  try {
    net_.server_close();
  } catch (...) {
  }
}

int Bridge::fail(const std::string& error) noexcept {
  error_ = error;
  try {
    mb_.put(kFloyd, kPowerKey, "");
    mb_.put(kFloyd, kTextKey, "");
    mb_.put(kFloyd, kErrorKey, error);
    mb_.put(kFloyd, kStateKey, kEnd);
  } catch (const Failure& f) {
    detail_ += (detail_.empty() ? "" : "; ") + std::string("mailbox: ") + f.full_text();
  } catch (...) {
    detail_ += (detail_.empty() ? "" : "; ") + std::string("mailbox not written");
  }
  return 1;
}

}  // namespace pink::corvana
