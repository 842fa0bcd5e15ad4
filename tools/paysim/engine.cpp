#include "tools/paysim/engine.h"

#include <algorithm>
#include <utility>

#include "tools/paysim/message.h"

namespace pink::paysim {
namespace {

Action send(std::string bytes) { return {Action::Kind::Send, std::move(bytes), 0}; }
Action send_byte(std::uint8_t b) { return send(std::string(1, static_cast<char>(b))); }
Action log(std::string line) { return {Action::Kind::Log, std::move(line), 0}; }
Action pause(std::uint32_t ms) { return {Action::Kind::Pause, {}, ms}; }
Action close_link() { return {Action::Kind::Close, {}, 0}; }

std::string count_text(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }
std::string seconds_text(std::uint32_t ms) { return std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) + " s"; }

}  // namespace

std::string check(const Script& s) {
  const int answers = int{s.nak} + int{s.silent} + int{s.nak_byte_as_response};
  if (answers > 1) return "choose one of --nak, --silent and --nak-byte-as-response";
  if (s.short_block.size() > 10) return "the short block must be 1 to 10 bytes long";
  if (s.response.empty() && answers == 0 && !s.close_early) return "the response is empty";
  if (s.quiet_ms == 0) return "the quiet gap must be at least 1 ms";
  if (s.wait_ms == 0 || s.end_wait_ms == 0) return "the waits must be at least 1 ms";
  return "";
}

Exchange::Exchange(Script script) : script_(std::move(script)) {}

std::vector<Action> Exchange::start() {
  std::vector<Action> out;
  if (state_ != State::Idle) return out;
  out.push_back(log("-> ENQ"));
  out.push_back(send_byte(kEnq));
  if (script_.close_early) {
    finish(out, "closing right after the ENQ (--close-early)");
    return out;
  }
  state_ = State::Request;
  return out;
}

std::uint32_t Exchange::wait_ms() const {
  switch (state_) {
    case State::Request:
      return !request_.empty() && script_.request_length == 0 ? script_.quiet_ms : script_.wait_ms;
    case State::AwaitEnd:
      return eot_sent_ ? std::min(script_.end_wait_ms, script_.wait_ms) : script_.wait_ms;
    default:
      return script_.wait_ms;
  }
}

std::vector<Action> Exchange::on_bytes(std::span<const std::uint8_t> bytes) {
  std::vector<Action> out;
  if (bytes.empty() || state_ == State::Done || state_ == State::Idle) return out;
  const std::string block(bytes.begin(), bytes.end());

  // EM at the start of a block: the terminal gives up, whatever we waited for.
  const bool starts_block = state_ != State::Request || request_.empty();
  if (starts_block && state_ != State::AwaitEnd && bytes[0] == kEm && ack_.empty()) {
    em_ = true;
    out.push_back(log("<- " + show(block) + ": the terminal abandoned the exchange"));
    finish(out, "closing");
    return out;
  }

  switch (state_) {
    case State::Request:
      request_ += block;
      if (script_.request_length > 0 && request_.size() >= script_.request_length) complete_request(out);
      break;

    case State::AwaitAck: {
      ack_ += block;
      const std::size_t expected = script_.ack4 ? 4 : 1;
      const bool all_ack = std::all_of(ack_.begin(), ack_.end(), [](char c) { return c == static_cast<char>(kAck); });
      if (!all_ack || ack_.size() > expected) {
        out.push_back(log("<- " + show(ack_) + ": expected " + (script_.ack4 ? "four ACK bytes" : "one ACK byte")));
        finish(out, "closing without EOT");
        break;
      }
      if (ack_.size() == expected) {
        out.push_back(log("<- " + show(ack_)));
        ++acks_;
        ack_.clear();
        after_ack(out);
      }
      break;
    }

    case State::AwaitEnd:
      if (bytes[0] == kEm) em_ = true;
      out.push_back(log("<- " + show(block) + (bytes[0] == kEm ? ": the terminal abandoned the exchange" : "")));
      break;

    default:
      break;
  }
  return out;
}

std::vector<Action> Exchange::on_idle() {
  std::vector<Action> out;
  switch (state_) {
    case State::Request:
      if (!request_.empty() && script_.request_length == 0) {
        complete_request(out);
      } else if (!request_.empty()) {
        finish(out, "the request stopped after " + count_text(request_.size()) + " of " +
                        count_text(script_.request_length) + "; closing");
      } else {
        finish(out, "no request within " + seconds_text(script_.wait_ms) + "; closing");
      }
      break;
    case State::AwaitAck:
      if (!ack_.empty()) {
        out.push_back(log("<- " + show(ack_) + ": expected four ACK bytes"));
        finish(out, "closing without EOT");
      } else {
        finish(out, "no ACK within " + seconds_text(script_.wait_ms) + "; closing");
      }
      break;
    case State::AwaitEnd:
      finish(out, eot_sent_ ? "the terminal did not close; closing" : "nothing more from the terminal; closing");
      break;
    default:
      break;
  }
  return out;
}

std::vector<Action> Exchange::on_closed() {
  std::vector<Action> out;
  if (state_ == State::Done || state_ == State::Idle) return out;
  std::string when;
  switch (state_) {
    case State::Request:
      when = request_.empty() ? " before sending a request" : " in the middle of the request";
      break;
    case State::AwaitAck:
      when = " instead of acknowledging the response";
      break;
    default:
      break;
  }
  finish(out, "the terminal closed the connection" + when);
  return out;
}

void Exchange::complete_request(std::vector<Action>& out) {
  std::string request = request_;
  request_.clear();
  if (script_.request_length > 0 && request.size() > script_.request_length) {
    const std::string extra = request.substr(script_.request_length);
    request.resize(script_.request_length);
    out.push_back(log("<- request (" + count_text(request.size()) + "): " + show(request)));
    out.push_back(log("<- " + count_text(extra.size()) + " more, ignored: " + show(extra)));
  } else {
    out.push_back(log("<- request (" + count_text(request.size()) + "): " + show(request)));
  }
  requests_.push_back(request);

  if (script_.enq_twice && requests_.size() == 1) {
    out.push_back(log("-> ENQ again (--enq-twice)"));
    out.push_back(send_byte(kEnq));
    return;  // still reading a request
  }
  if (script_.enq_twice) {
    out.push_back(log(requests_[0] == requests_[1] ? "the request came again unchanged"
                                                   : "the second request differs from the first"));
  }

  if (script_.silent) {
    out.push_back(log("not answering (--silent)"));
    state_ = State::AwaitEnd;
    return;
  }
  if (script_.nak) {
    out.push_back(log("-> NAK (--nak)"));
    out.push_back(send_byte(kNak));
    state_ = State::AwaitEnd;
    return;
  }
  if (!script_.short_block.empty()) {
    out.push_back(log("-> short block (" + count_text(script_.short_block.size()) + "): " + show(script_.short_block)));
    out.push_back(send(script_.short_block));
    // Apart from the response, so that the two cannot arrive as one block.
    out.push_back(pause(script_.quiet_ms));
  }
  send_response(out);
}

void Exchange::send_response(std::vector<Action>& out) {
  ++responses_sent_;
  ack_.clear();
  state_ = State::AwaitAck;
  if (script_.nak_byte_as_response) {
    out.push_back(log("-> NAK in place of the response (--nak-byte-as-response)"));
    out.push_back(send_byte(kNak));
    return;
  }
  const bool second = responses_sent_ == 2 && !script_.second_response.empty();
  const std::string& text = second ? script_.second_response : script_.response;
  out.push_back(log("-> response" + std::string(script_.two_responses ? " " + std::to_string(responses_sent_) : "") +
                    " (" + count_text(text.size()) + "): " + show(text)));
  out.push_back(send(text));
}

void Exchange::after_ack(std::vector<Action>& out) {
  if (script_.two_responses && responses_sent_ == 1) {
    send_response(out);
    return;
  }
  state_ = State::AwaitEnd;
  if (script_.no_eot) {
    out.push_back(log("not sending EOT (--no-eot)"));
    return;
  }
  out.push_back(log("-> EOT"));
  out.push_back(send_byte(kEot));
  eot_sent_ = true;
}

void Exchange::finish(std::vector<Action>& out, std::string why) {
  out.push_back(log(std::move(why)));
  out.push_back(close_link());
  state_ = State::Done;
}

}  // namespace pink::paysim
