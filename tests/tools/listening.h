// Test helper for the tools that listen on a virtual serial port ("vcom COMn
// --listen", "vprinter COMn --listen"): such a tool prints the device path of
// its port as its first line, and commsend reaches it through $PINK_COMn.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tools/testkit/testkit.h"

namespace pink::testkit {

// Waits up to 10 s for the listener's first line and takes it as the device
// path, which must be a pseudo-terminal. Call it in ASSERT_NO_FATAL_FAILURE.
inline void take_device_path(Process& listener, std::string& path) {
  ASSERT_TRUE(wait_until([&] { return listener.out().find('\n') != std::string::npos; }, 10000));
  const std::string out = listener.out();
  path = out.substr(0, out.find('\n'));
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
}

// Sends "PING\r\n" and then "PONG" with commsend on `port` ("COM64"), whose
// device is `path`.
inline void send_ping_pong(const std::string& port, const std::string& path) {
  RunOptions at;
  at.env["PINK_" + port] = path;
  auto r = run(program("commsend"), {port, "PING\r\n"}, at);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  r = run(program("commsend"), {port, "PONG"}, at);
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

}  // namespace pink::testkit
