// The other end of the line, played by the test that runs this program
// under Wine: the Windows side asks for what it needs with one line on
// standard output each, and the test answers on the line.
//
//   peer send HEX      the test sends these bytes to the program
//   peer echo N        the test reads N bytes (10 s at most) and sends them back
//   peer line          the test sends the line settings it sees, as one text
//                      line "baud=B stop2=0|1 rtscts=0|1 xon=0|1 xoff=0|1\n"
//
// The port is COM<PINK_TEST_COM>.
#pragma once

#include <cstdio>
#include <string>

#include "platform/serial.h"
#include "tests/win/platform/win_helpers.h"

namespace pink::wintest {

inline std::string test_port() { return "COM" + given("PINK_TEST_COM"); }

inline void ask_peer(const std::string& request) {
  const std::string line = "peer " + request + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

inline std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// Reads until `n` bytes came or `ms` passed, with reads that return what
// waits at once.
inline std::string read_for(serial::Port& port, std::size_t n, std::uint32_t ms, char stop_at = '\0') {
  serial::Timeouts t;
  t.read_interval = clock::kWaitForever;
  port.set_timeouts(t);
  std::string got;
  const ULONGLONG start = GetTickCount64();
  while (got.size() < n && GetTickCount64() - start < ms) {
    std::uint8_t buf[4096];
    const long r = port.read(std::span<std::uint8_t>(buf, std::min<std::size_t>(sizeof buf, n - got.size())));
    if (r < 0) return got + "<failed>";
    got.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(r));
    if (stop_at != '\0' && got.find(stop_at) != std::string::npos) break;
    if (r == 0) Sleep(5);
  }
  return got;
}

}  // namespace pink::wintest
