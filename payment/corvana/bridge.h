// The payment bridge: one card-payment exchange with the network, driven step
// by step through the network link library, with the request taken from and
// the outcome written to the settings mailbox (section "floyd", keys
// "corvana_state", "corvana_text", "corvana_power", "corvana_error").
//
// Every run ends with "corvana_state" = "End"; an error shows as a non-empty
// "corvana_error". A step marker (1 to 23; 19 and 20 are not used) follows the
// run and names the step of an unexpected failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailbox/mailbox.h"
#include "payment/corvana/fields.h"
#include "payment/corvana/message.h"
#include "payment/corvana/network.h"

namespace pink::corvana {

inline constexpr std::string_view kStateKey = "corvana_state";
inline constexpr std::string_view kTextKey = "corvana_text";
inline constexpr std::string_view kPowerKey = "corvana_power";
inline constexpr std::string_view kErrorKey = "corvana_error";

// Wait handed to every receive.
inline constexpr std::int16_t kReceiveWait = 45;

// The failures the bridge reports by name, with the step that finds them.
enum class Fault : std::uint8_t {
  StartState,      // 1  "corvana_state" is not "start"
  NoCommandLine,   // 2
  UnknownJob,      // 3
  NoRequest,       // 4  "corvana_text" empty
  ConnectSocket,   // 6  ServerConnect -1
  ConnectSsl,      // 6  ServerConnect other than 1
  ConnectReceive,  // 7  no ENQ (+ count)
  RequestSend,     // 8  (+ send result)
  RequestConfirm,  // 9  no response (+ count)
  ResponseEmpty,   // 11 empty or blank response
  ResponseLost,    // 11 response is one NAK
  MessageType,     // 12 (+ message type)
  DealKind,        // 13
  BitmapDigits,    // 14 bitmap shorter than 16 characters
  CheckText,       // 17 fields do not account for the data area
  FinalSend,       // 21 ACK not sent (+ result)
  FinalReceive,    // 22 no EOT (+ count)
};

// The error text of a failure (cp949), without the number or text that some
// of them are followed by.
const std::string& fault_text(Fault fault);
// "System 오류 : " (cp949), followed by the step marker on an unexpected failure.
const std::string& system_fault_text();

class Bridge {
 public:
  Bridge(Network& network, mailbox::Mailbox& mailbox) : net_(network), mb_(mailbox) {}

  // Runs one job for the command line "job/address/port" (cp949). Returns 0
  // when the job finished without error, 1 when "corvana_error" tells why it
  // did not (or the mailbox could not be written).
  int run(std::string_view command_line);

  // The error text written (cp949), empty after a success.
  const std::string& error_text() const noexcept { return error_; }
  // For an unexpected failure, what went wrong (for standard error).
  const std::string& detail() const noexcept { return detail_; }
  // The step markers the run went through, in order.
  const std::vector<int>& markers() const noexcept { return markers_; }

 private:
  int steps(std::string_view command_line);
  std::optional<Command> start_job(std::string_view command_line);
  std::string request_message_of();
  void send_request(const Command& command, const std::string& message);
  std::string await_response();
  FieldWalk check_response(const std::string& response);
  void finish_exchange(const std::string& response, const FieldWalk& fields);
  void step(int marker);
  std::int32_t receive(std::vector<std::uint8_t>& buffer);
  void drop_link() noexcept;
  int fail(const std::string& error) noexcept;

  Network& net_;
  mailbox::Mailbox& mb_;
  int marker_ = 0;
  bool link_open_ = false;
  std::vector<int> markers_;
  std::string error_;
  std::string detail_;
};

}  // namespace pink::corvana
