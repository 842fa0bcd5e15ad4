// The network's side of one payment exchange, as a script engine.
//
// For each connection the simulator plays the network: ENQ, read the
// terminal's request, answer, wait for the ACK, EOT. The script says how it
// answers and which misbehaviour to play. The engine does no I/O: the shell
// feeds it what happened (bytes arrived, the wait it asked for passed, the
// terminal closed) and carries out the actions it returns (send bytes, pause,
// close, write a log line), so tests drive it directly.
//
//   Exchange ex(script);
//   run(ex.start());
//   while (!ex.done()) {
//     switch (wait for bytes up to ex.wait_ms()) {
//       bytes:   run(ex.on_bytes(bytes)); break;
//       nothing: run(ex.on_idle()); break;
//       closed:  run(ex.on_closed()); break;
//     }
//   }
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pink::paysim {

struct Script {
  std::string response;         // the answer to the request (bytes as sent)
  std::string second_response;  // with two_responses: the second answer ("" = the first again)
  std::size_t request_length = 0;  // 0: the request ends at a quiet gap
  std::uint32_t quiet_ms = 300;    // the quiet gap that ends a request
  std::uint32_t wait_ms = 60000;   // for the request, the ACK and the terminal's end
  std::uint32_t end_wait_ms = 5000;  // for the terminal to close after EOT

  bool nak = false;                   // answer the request with NAK
  bool silent = false;                // never answer the request
  std::string short_block;            // sent (1..10 bytes) shortly before the response
  bool two_responses = false;         // a second response after the first ACK
  bool no_eot = false;                // no EOT after the ACK
  bool nak_byte_as_response = false;  // a single NAK byte in place of the response
  bool close_early = false;           // close right after the ENQ
  bool enq_twice = false;             // a second ENQ after the first request; answer the second
  bool ack4 = false;                  // the ACK is four bytes 06 06 06 06
};

// What is wrong with a script, or "" when it can be played.
std::string check(const Script& script);

struct Action {
  enum class Kind { Send, Pause, Close, Log };
  Kind kind = Kind::Log;
  std::string bytes;     // Send: the bytes; Log: the line
  std::uint32_t ms = 0;  // Pause: how long
};

class Exchange {
 public:
  explicit Exchange(Script script);

  // The connection is up: ENQ goes out.
  std::vector<Action> start();
  // Bytes arrived from the terminal.
  std::vector<Action> on_bytes(std::span<const std::uint8_t> bytes);
  // wait_ms() passed with nothing arriving.
  std::vector<Action> on_idle();
  // The terminal closed the connection (or it failed).
  std::vector<Action> on_closed();

  // How long to wait for bytes before on_idle.
  std::uint32_t wait_ms() const;
  bool done() const { return state_ == State::Done; }

  // The requests received, in order.
  const std::vector<std::string>& requests() const { return requests_; }
  // Responses sent and ACKs received so far; whether EOT went out.
  int responses_sent() const { return responses_sent_; }
  int acks_received() const { return acks_; }
  bool eot_sent() const { return eot_sent_; }
  // Whether the terminal abandoned the exchange with EM.
  bool em_received() const { return em_; }

 private:
  enum class State { Idle, Request, AwaitAck, AwaitEnd, Done };

  void complete_request(std::vector<Action>& out);
  void send_response(std::vector<Action>& out);
  void after_ack(std::vector<Action>& out);
  void finish(std::vector<Action>& out, std::string why);

  Script script_;
  State state_ = State::Idle;
  std::string request_;
  std::string ack_;
  std::vector<std::string> requests_;
  int responses_sent_ = 0;
  int acks_ = 0;
  bool eot_sent_ = false;
  bool em_ = false;
};

}  // namespace pink::paysim
