// Messages of the payment network simulator: building responses in the
// network's layout, and showing received bytes in a log line.
//
// A response is a 12-character header, the 4-character message type
// ("0910" answer, "9910" refusal), a bitmap of 16 upper-case hexadecimal
// digits (bit n, most significant first, tells whether field n is present)
// and the present fields in field-number order.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payment/control_bytes.h"

namespace pink::paysim {

// Control bytes of the network's exchange.
using payment::kAck;
using payment::kEm;
using payment::kEnq;
using payment::kEot;
using payment::kNak;

struct Field {
  int number;        // 1..64
  std::string text;  // as it stands in the data area, length prefix included
};

// Header (padded or cut to 12 characters), type, bitmap and the fields in
// number order. Fields outside 1..64 are left out.
std::string build_message(std::string_view header, std::string_view type, std::vector<Field> fields);

// The default answer: an approval of type "0910" whose first field (3,
// processing code "100000") makes it a "10" response, with fields 3, 4, 7,
// 11, 12, 13, 37, 38, 39, 41, 42, 44 (LL) and 63 (LLL).
std::string approval_response();
// The refusal preset: type "9910" with fields 3, 39 ("51"), 58 (LLL) and
// 63 (LLL).
std::string refusal_response();

// Received or sent bytes as one log line: printable characters as they are
// (cp949 double-byte characters too, when the whole block is valid cp949),
// the control bytes of the exchange by name (<ENQ> <ACK> <NAK> <EOT> <EM>),
// a backslash as "\\" and every other byte as \xNN.
std::string show(std::span<const std::uint8_t> bytes);
std::string show(std::string_view bytes);

}  // namespace pink::paysim
