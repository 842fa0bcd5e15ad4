#include "payment/corvanavan/api.h"

#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "payment/corvanavan/checksum.h"
#include "payment/corvanavan/exchange.h"
#include "payment/corvanavan/pinblock.h"
#include "payment/corvanavan/startup.h"
#include "payment/corvanavan/tracelog.h"

namespace pink::corvanavan::api {
namespace {

constexpr int kLeadingNumberWindow = 10;

// The text up to its zero byte, looking at no more than `limit` bytes.
std::string_view bounded(const char* text, std::size_t limit) {
  std::size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return {text, n};
}

// A port arrives as 16 bits; ports run from 0 to 65535, so the bits are read
// unsigned (a port above 32767 passed as a 16-bit value would otherwise reach
// the connect as a negative number and fail).
int port_number(short port) { return static_cast<unsigned short>(port); }

// The responses of the user exchange: each one in a block of its own (with a
// zero byte behind it), the block of a replaced response released at once.
class BlockSink final : public ResponseSink {
 public:
  ~BlockSink() override { std::free(block_); }
  void response(std::span<const char> bytes) override {
    auto* next = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (next != nullptr) {
      std::memcpy(next, bytes.data(), bytes.size());
      next[bytes.size()] = '\0';
    }
    std::free(block_);
    block_ = next;
  }
  void abandoned() override {}
  char* release() {
    char* b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  char* block_ = nullptr;
};

class DayLog final : public TraceSink {
 public:
  void message(std::string_view text) override { trace::write(text); }
};

int whole_exchange(const char* ip, short port, const char* request, short length, char* response,
                   short wait, bool four_byte_controls) {
  if (ip == nullptr || request == nullptr || response == nullptr) return kConnectFailed;
  ExchangeRequest r;
  r.ip = ip;
  r.port = port_number(port);
  r.request = request;
  r.length = length;
  r.wait = wait;
  r.four_byte_controls = four_byte_controls;
  BufferSink sink(response);
  return run_exchange(transport(), process_link(), r, sink);
}

}  // namespace

int parse_leading_number(const char* text) noexcept {
  if (text == nullptr) return 0;
  int digits = 0;
  while (digits < kLeadingNumberWindow && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == kLeadingNumberWindow) return 0;
  int value = 0;  // at most nine digits: always fits
  for (int i = 0; i < digits; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

int start_dll() noexcept {
  try {
    return start_libraries();
  } catch (...) {
    return 1;
  }
}

int stop_dll() noexcept {
  try {
    stop_libraries();
  } catch (...) {
  }
  return 1;
}

int server_connect(const char* ip, short port) noexcept {
  try {
    return corvanavan::server_connect(transport(), process_link(), ip, port_number(port));
  } catch (...) {
    return kConnectFailed;
  }
}

int server_send_data(const char* data, short length) noexcept {
  try {
    return corvanavan::server_send_data(transport(), process_link(), data, length);
  } catch (...) {
    return -1;
  }
}

int server_receive_data(char* buffer, short wait) noexcept {
  try {
    return corvanavan::server_receive_data(transport(), process_link(), buffer, wait);
  } catch (...) {
    return 0;
  }
}

int server_close() noexcept {
  try {
    return corvanavan::server_close(transport(), process_link());
  } catch (...) {
    return 1;
  }
}

int ssl_conn_rcv_snd(const char* ip, short port, const char* request, short length,
                     char* response, short wait) noexcept {
  try {
    return whole_exchange(ip, port, request, length, response, wait, false);
  } catch (...) {
    return kConnectFailed;
  }
}

int ssl_new_conn_rcv_snd(const char* ip, short port, const char* request, short length,
                         char* response, short wait) noexcept {
  try {
    return whole_exchange(ip, port, request, length, response, wait, true);
  } catch (...) {
    return kConnectFailed;
  }
}

char* ssl_user_conn_rcv_snd(const char* ip, const char* port, const char* request,
                            const char* length, const char* wait, short log_flag) noexcept {
  try {
    if (ip == nullptr || request == nullptr) return nullptr;
    ExchangeRequest r;
    r.ip = ip;
    r.port = parse_leading_number(port);
    r.request = request;
    r.length = parse_leading_number(length);
    r.wait = parse_leading_number(wait);
    BlockSink sink;
    DayLog log;
    const int code =
        run_exchange(transport(), process_link(), r, sink, log_flag != 0 ? &log : nullptr);
    return code > 0 ? sink.release() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

int crv_conn_snd_rcv(const char* ip, short port, const char* request, short length,
                     char* response) noexcept {
  try {
    if (ip == nullptr || request == nullptr || response == nullptr) return kConnectFailed;
    return run_plain_exchange(transport(), process_link(), ip, port_number(port), request, length,
                              response);
  } catch (...) {
    return kConnectFailed;
  }
}

int make_arc(const char* data, short length, char* output) noexcept {
  if (output == nullptr) return 0;
  std::memset(output, 0, 4);
  std::uint16_t crc = 0;
  if (data != nullptr && length > 0) {
    crc = crc16_arc({reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length)});
  }
  const auto digits = checksum_digits(crc);
  std::memcpy(output, digits.data(), digits.size());
  return 0;
}

char* user_make_arc(const char* data, const char* length) noexcept {
  const auto n = static_cast<short>(parse_leading_number(length));
  auto* block = static_cast<char*>(std::malloc(5));
  if (block == nullptr) return nullptr;
  make_arc(data, n, block);
  block[4] = '\0';
  return block;
}

int encrypt_pin(const char* pin, char* output) noexcept {
  try {
    if (pin == nullptr || output == nullptr) return 0;
    const std::string digits = pin::encrypt_pin(bounded(pin, 4));
    std::memcpy(output, digits.data(), digits.size());
    return 16;
  } catch (...) {
    return 0;
  }
}

int enc_pin_data(const char* card_number, const char* pin, const char* key_index,
                 const char* working_key, char* output) noexcept {
  try {
    if (card_number == nullptr || pin == nullptr || key_index == nullptr ||
        working_key == nullptr || output == nullptr) {
      return 0;
    }
    // Each text is read only as far as its rule looks, and one character
    // further where a longer text is refused.
    const auto block = pin::enc_pin_data(bounded(card_number, 16), bounded(pin, 10),
                                         bounded(key_index, 3), bounded(working_key, 17));
    if (!block) return 0;
    std::memcpy(output, block->data(), block->size());
    return 1;
  } catch (...) {
    return 0;
  }
}

void free_block(void* block) noexcept { std::free(block); }

}  // namespace pink::corvanavan::api
