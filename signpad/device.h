// The pad's side of a family's protocol, for the virtual pad (tools/vpad) and
// the tests: what the pad answers to what the control sends, and what it
// sends on its own when the operator acts (signs, cancels, clears the
// screen, enters a PIN). Pure logic: the virtual pad owns the port and the
// clock and sends each piece after its delay.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pink::signpad {

// One piece the pad sends, `delay_ms` after the piece before it (or after
// the moment it was asked for, for the first piece of a batch).
struct Send {
  std::uint32_t delay_ms = 0;
  std::vector<std::uint8_t> bytes;
};

// How a virtual pad behaves; every family takes what applies to it.
struct PadScript {
  enum class Init { Answer, Silent, Esc };
  Init init = Init::Answer;                       // how the pad answers an init request
  std::vector<std::pair<int, int>> signature;     // pen points in pad coordinates, in order
  std::uint32_t point_interval_ms = 10;           // the pad's pace between pen points
  bool sign_automatically = true;                 // sign as soon as a sign request arrives
  std::string pin = "1234";                       // the PIN "entered" on the pad (cp949)
  std::string customer_info = "9410123412341234";  // quillpad's customer information answer
  std::vector<std::uint8_t> card_answer;          // the card reader's data (tallypad dongle answers)
};

class PadDevice {
 public:
  virtual ~PadDevice() = default;
  // The family's name: "tallypad", "stylpad" or "quillpad".
  virtual std::string_view family() const = 0;
  // Bytes that arrived from the control, in whatever pieces the line gave;
  // what the pad sends back goes to `out`.
  virtual void receive(std::span<const std::uint8_t> bytes, std::vector<Send>& out) = 0;
  // An operator action typed on the virtual pad: "sign" (stream the
  // signature and finish it), "cancel", "clear", "pin 1234", "enter" ...
  // False for an action the family does not know.
  virtual bool command(std::string_view action, std::vector<Send>& out) = 0;
  // The actions the family knows, one line each, for the virtual pad's help.
  virtual std::vector<std::string> actions() const = 0;
};

std::unique_ptr<PadDevice> make_tallypad_device(const PadScript& script);
std::unique_ptr<PadDevice> make_stylpad_device(const PadScript& script);
std::unique_ptr<PadDevice> make_quillpad_device(const PadScript& script);

}  // namespace pink::signpad
