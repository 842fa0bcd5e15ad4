// A network link that plays a script: the blocks the network sends, the
// results of connects and sends, and a call that fails the way a missing
// library or entry point does. It records every call in order.
#pragma once

#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "payment/corvana/network.h"
#include "platform/failure.h"

namespace pink::corvana::testing {

// CRC-16/ARC bit by bit: polynomial 0x8005 reflected (0xA001), initial value 0.
inline std::uint16_t crc16_arc(std::string_view bytes) {
  std::uint16_t crc = 0;
  for (const char ch : bytes) {
    crc ^= static_cast<std::uint8_t>(ch);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

inline std::string crc_digits(std::string_view bytes) {
  char out[8];
  std::snprintf(out, sizeof out, "%04X", crc16_arc(bytes));
  return out;
}

class ScriptedNetwork : public Network {
 public:
  struct Block {
    std::string bytes;
    std::optional<std::int32_t> count;  // what the receive returns; the byte count when unset
  };

  // The network's side of a complete exchange: ENQ, the response, EOT.
  void answer(const std::string& response) {
    blocks = {{"\x05", {}}, {response, {}}, {"\x04", {}}};
  }

  std::int32_t start_dll() override { return call("StartDLL", 1); }
  std::int32_t stop_dll() override { return call("StopDLL", 1); }

  std::int32_t server_connect(const std::string& ip, std::int16_t port) override {
    return call("ServerConnect " + ip + " " + std::to_string(port), connect_result);
  }

  std::int32_t server_send_data(std::string_view bytes) override {
    const std::int32_t result = call("ServerSendData", static_cast<std::int32_t>(bytes.size()));
    sent.emplace_back(bytes);
    if (!send_results.empty()) {
      const std::int32_t r = send_results.front();
      send_results.pop_front();
      return r;
    }
    return result;
  }

  std::int32_t server_receive_data(std::span<std::uint8_t> buffer, std::int16_t wait) override {
    call("ServerReceiveData " + std::to_string(wait), 0);
    if (buffer.size() < kReceiveBufferSize) throw Failure(Err::InternalError);
    if (blocks.empty()) return 0;  // the wait expired
    const Block b = blocks.front();
    blocks.pop_front();
    const std::size_t n = std::min(b.bytes.size(), kMaxReceive);
    if (n > 0) {
      std::copy_n(b.bytes.begin(), n, buffer.begin());
      buffer[n] = 0;
    }
    return b.count.value_or(static_cast<std::int32_t>(n));
  }

  std::int32_t server_close() override { return call("ServerClose", 1); }

  std::array<char, 4> make_arc(std::string_view bytes) override {
    call("make_arc " + std::string(bytes), 0);
    const std::string d = crc_digits(bytes);
    return {d[0], d[1], d[2], d[3]};
  }

  // The calls made, in order ("ServerConnect 10.1.2.3 7000", "make_arc 1234"...).
  std::vector<std::string> calls;
  // Every block handed to ServerSendData.
  std::vector<std::string> sent;
  std::deque<Block> blocks;
  std::deque<std::int32_t> send_results;
  std::int32_t connect_result = 1;
  // The call with this number (counted from 1) throws instead of running.
  int fail_call = 0;

 private:
  std::int32_t call(std::string name, std::int32_t result) {
    calls.push_back(std::move(name));
    if (static_cast<int>(calls.size()) == fail_call) {
      throw Failure(Err::FileNotFound, describe(Err::FileNotFound), "scripted failure");
    }
    return result;
  }
};

}  // namespace pink::corvana::testing
