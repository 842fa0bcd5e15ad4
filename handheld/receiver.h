// The handheld terminal transfer as pure logic: the decision that starts a
// transfer, the receive buffer that turns what the port delivered into
// actions, and the wait rule of the transfer's pauses. No I/O here: the
// program feeds in what the serial control's Input returned and carries out
// the actions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pink::handheld {

// A read of the idle port starts a transfer only when it is exactly one ENQ;
// anything else read (an ENQ with other characters too) is discarded.
bool starts_transfer(std::string_view input);

struct Action {
  enum class Kind {
    // Wait kAckDelaySeconds, then send ACK.
    SendAck,
    // Store `record` (its bytes as received, untrimmed): list, count, file.
    Record,
    // The end marker was answered: show the end line; the transfer is over.
    Done,
  };
  Kind kind;
  std::string record;
};

// The receive loop's buffer. The program feeds what arrives and asks for the
// actions of one pass at a time, until a pass ends with Done:
//
//   ACK at the head      -> SendAck (the ACK is dropped)
//   ">" at the head      -> SendAck, Done (the buffer is emptied)
//   anything else, up to the first ETX
//                        -> Record, SendAck; or only SendAck when the record
//                           is blank (spaces only) after trimming
//   no ETX yet           -> no action: wait for more input
//
// The record is what lies between the first character and the ETX: the first
// character (the terminal's STX) is dropped without being checked. A first
// character that is a double-byte cp949 character is dropped whole, as the
// run-time's text functions count it as one character. An ETX at the very
// head leaves an empty record, which is blank.
class Receiver {
 public:
  // Empties the buffer and clears the done flag (a new transfer).
  void reset();
  // Appends what the port's Input returned.
  void feed(std::string_view input);
  // The actions of one pass over the buffer; empty when the buffer holds
  // nothing complete (or nothing at all).
  std::vector<Action> step();

  bool done() const noexcept { return done_; }
  bool empty() const noexcept { return buffer_.empty(); }
  const std::string& buffer() const noexcept { return buffer_; }

 private:
  std::string buffer_;
  bool done_ = false;
};

// The pauses of the transfer count seconds since midnight (the run-time's
// timer): a pause has passed once the timer is beyond its start plus its
// length. A timer found more than kWrapSeconds away from the start (it went
// past midnight, or was set) takes the start again, so a pause begun before
// midnight still ends after it.
class Pause {
 public:
  static constexpr double kWrapSeconds = 1000.0;

  Pause(double seconds, double now) : start_(now), seconds_(seconds) {}
  // Whether the pause has passed at timer value `now`.
  bool passed(double now);
  // Seconds left at `now` (0 once passed); for choosing how long to sleep.
  double left(double now) const;

 private:
  double start_;
  double seconds_;
};

}  // namespace pink::handheld
