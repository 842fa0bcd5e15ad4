// One connection of the simulated provider: reads the terminal's records in
// any order (LoginRequest "B", SendHeader "Q" with its MessageBody and
// attachments), answers them as the script says, keeps the messages in the
// store and logs every step.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "msgcall/records.h"
#include "platform/socket.h"
#include "tools/msgsim/options.h"
#include "tools/msgsim/store.h"

namespace pink::msgsim {

// Reads a connection through a buffer, each wait bounded.
class Reader {
 public:
  enum class Status { Ok, Closed, TimedOut, Failed };
  Reader(net::Socket& socket, std::uint32_t wait_ms);
  // Fills `out` exactly; `got` tells how much arrived either way.
  Status read(std::span<std::uint8_t> out, std::size_t& got);
  // Hands exactly `n` bytes to `sink` in pieces as they arrive.
  Status stream(std::uint64_t n, const std::function<void(std::span<const std::uint8_t>)>& sink,
                std::uint64_t& got);

 private:
  Status more();
  net::Socket& socket_;
  std::uint32_t wait_ms_;
  std::vector<std::uint8_t> buf_;
  std::size_t begin_ = 0, end_ = 0;
};

// A cp949 text as a log line shows it: control bytes as \xNN, "\" as "\\".
std::string shown(std::string_view bytes);

class Session {
 public:
  using Log = std::function<void(const std::string& cp949)>;
  // `log` takes every step; `errors` only what went wrong and the end.
  Session(net::Socket& socket, const Script& script, Store& store, Log log, Log errors);
  void run();

 private:
  bool on_login();
  bool on_message();
  std::optional<std::string> read_body();
  bool read_attachments(int count, const std::optional<std::filesystem::path>& folder, std::ofstream& raw,
                        std::string& lines);
  bool answer(Point point, std::span<const std::uint8_t> record, const std::string& what);
  bool read_record(std::span<std::uint8_t> out, std::string_view name);
  void wait_for_close();

  net::Socket& socket_;
  const Script& script_;
  Store& store_;
  Log log_, errors_;
  Reader reader_;
  std::vector<std::uint8_t> login_;  // the connection's LoginRequest, once it came
  std::size_t messages_ = 0;
};

}  // namespace pink::msgsim
