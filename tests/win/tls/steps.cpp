#include "tests/win/tls/steps.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace pink::wintls {

char pattern_byte(std::size_t i) { return static_cast<char>((i * 131 + i / 4096) & 0xFF); }

std::string shown(const char* p, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '\\') {
      s += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      s += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    }
  }
  return s;
}

std::string unescaped(const std::string& text) {
  std::string s;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      s += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      s += text[i];
    }
  }
  return s;
}

void print(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void print(const char* step, long value, const std::string& rest) {
  std::printf("%s %ld%s%s\n", step, value, rest.empty() ? "" : " ", rest.c_str());
  std::fflush(stdout);
}

namespace {

void recv_pattern(Link& link, std::size_t n) {
  std::vector<char> got;
  std::vector<char> buf(65536);
  while (got.size() < n && link.wait(link.pattern_wait()) > 0) {
    const int r = link.recv(buf.data(), static_cast<int>(buf.size()));
    if (r <= 0) break;
    got.insert(got.end(), buf.begin(), buf.begin() + r);
  }
  bool same = got.size() == n;
  for (std::size_t i = 0; same && i < n; ++i) same = got[i] == static_cast<char>(~pattern_byte(i));
  print("recvpattern", static_cast<long>(got.size()), same ? "same" : "differs");
}

// One step with an argument; false when the step is none of these.
bool run_step(Link& link, const std::string& step, const std::string& arg) {
  if (step == "wait") {
    const auto start = std::chrono::steady_clock::now();
    const int r = link.wait(std::atoi(arg.c_str()));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    print("wait", r, std::to_string(ms.count()));
  } else if (step == "recv") {
    std::vector<char> buf(65536);
    const int size = std::atoi(arg.c_str());
    const int n = link.recv(buf.data(), size < 65536 ? size : 65536);
    print("recv", n, n > 0 ? shown(buf.data(), n) : "");
  } else if (step == "send") {
    const std::string bytes = unescaped(arg);
    print("send", link.send(bytes.data(), static_cast<int>(bytes.size())));
  } else if (step == "sendpattern") {
    std::string bytes(static_cast<std::size_t>(std::atol(arg.c_str())), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = pattern_byte(i);
    print("send", link.send(bytes.data(), static_cast<int>(bytes.size())));
  } else if (step == "recvpattern") {
    recv_pattern(link, static_cast<std::size_t>(std::atol(arg.c_str())));
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool run_steps(Link& link, const std::vector<std::string>& args, std::size_t at, const ExtraStep& extra) {
  while (at < args.size()) {
    if (args[at] == "close") {
      print("close", link.close());
      ++at;
    } else if (at + 1 < args.size() && run_step(link, args[at], args[at + 1])) {
      at += 2;
    } else if (const std::size_t next = extra ? extra(args, at) : 0; next != 0) {
      at = next;
    } else {
      std::fprintf(stderr, "bad step list at \"%s\"\n", args[at].c_str());
      return false;
    }
  }
  return true;
}

}  // namespace pink::wintls
