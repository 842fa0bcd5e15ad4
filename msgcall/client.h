// The four calls of msgcall.h over a given set of servers and a given file
// reader, so that tests can name both; the public calls use the configured
// servers and files::read_shared.
#pragma once

#include <cstdint>

#include "msgcall/attachment.h"
#include "msgcall/endpoints.h"
#include "msgcall/msgcall.h"

namespace pink::msgcall {

// A refusal byte of 0x01 would read as 1, "accepted"; it gives this instead
// (0x101: the byte in the low eight bits, and no other result has it).
inline constexpr std::int32_t kRefusedWithOne = 0x101;

// The result for a refusal byte: the byte as a signed 8-bit value (0x01
// gives kRefusedWithOne).
std::int32_t refusal_result(std::uint8_t code);

std::int32_t send_with(const Message& message, const Endpoints& servers, const FileReader& reader);
std::int32_t connect_with(const Endpoints& servers);
std::int32_t send_in_batch_with(std::int32_t socket_id, std::int32_t first, std::int32_t last,
                                const Message& message, const FileReader& reader);

}  // namespace pink::msgcall
