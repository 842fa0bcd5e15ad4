// The network link library as the payment bridge uses it: the step-by-step
// link primitives and the message checksum, one call each. The real binding
// loads the library by file name at its first call; tests script a fake.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "payment/control_bytes.h"

namespace pink::corvana {

// Control bytes of the network's exchange.
using payment::kAck;
using payment::kEm;
using payment::kEnq;
using payment::kEot;
using payment::kNak;

// The library receives at most this many bytes per call and stores a zero
// byte behind them, so a receive buffer holds at least one byte more.
inline constexpr std::size_t kMaxReceive = 1024;
inline constexpr std::size_t kReceiveBufferSize = kMaxReceive + 1;

class Network {
 public:
  virtual ~Network() = default;

  // StartDLL / StopDLL: load and release the SSL libraries.
  virtual std::int32_t start_dll() = 0;
  virtual std::int32_t stop_dll() = 0;
  // ServerConnect: 1 connected, -1 socket connect failed, other: SSL failed.
  virtual std::int32_t server_connect(const std::string& ip, std::int16_t port) = 0;
  // ServerSendData: the bytes (at most 32767 of them); negative on failure.
  virtual std::int32_t server_send_data(std::string_view bytes) = 0;
  // ServerReceiveData: 0 when nothing arrived within the wait, else the
  // count; `buffer` holds at least kReceiveBufferSize bytes.
  virtual std::int32_t server_receive_data(std::span<std::uint8_t> buffer, std::int16_t wait) = 0;
  // ServerClose.
  virtual std::int32_t server_close() = 0;
  // make_arc: the four checksum digits of the bytes (at most 32767), in the
  // order the library writes them.
  virtual std::array<char, 4> make_arc(std::string_view bytes) = 0;
};

// The library CorvanaVAN, bound by file name at the first call. A call that
// cannot be made (library or entry point missing) throws pink::Failure.
std::unique_ptr<Network> bind_corvanavan();

}  // namespace pink::corvana
