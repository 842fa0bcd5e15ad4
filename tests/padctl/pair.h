// The virtual pad and padctl run together the way an integrator runs them,
// and what they should give: the bitmap a family's control writes for the
// pen points a pad sent.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "signpad/capture.h"
#include "tests/padctl/operated.h"
#include "tools/testkit/testkit.h"
#include "tools/vpad/trace.h"

namespace pink::testkit {

// vpad FAMILY COMn VPAD_OPTIONS -- padctl FAMILY --port n PADCTL_ARGS, in `dir`.
inline RunResult pad_and_control(const TempDir& dir, const std::string& family, int com,
                                 const std::vector<std::string>& vpad_options,
                                 const std::vector<std::string>& padctl_args) {
  std::vector<std::string> args{family, "COM" + std::to_string(com)};
  args.insert(args.end(), vpad_options.begin(), vpad_options.end());
  args.insert(args.end(), {"--", program("padctl"), family, "--port", std::to_string(com)});
  args.insert(args.end(), padctl_args.begin(), padctl_args.end());
  RunOptions o;
  o.cwd = dir.path();
  o.timeout_ms = 120000;
  return run(program("vpad"), args, o);
}

// vpad FAMILY COMn --listen OPTIONS, operated from the test: its first line
// is the device path that `control_env` hands to padctl.
struct ListeningPad {
  Operated pad;
  std::string path;
  ListeningPad(const TempDir& dir, const std::string& family, int com, std::vector<std::string> options)
      : pad(program("vpad"), with(family, com, std::move(options)), dir.path()) {}
  static std::vector<std::string> with(const std::string& family, int com, std::vector<std::string> options) {
    options.insert(options.begin(), {family, "COM" + std::to_string(com), "--listen"});
    return options;
  }
  // Waits for the device path; false when it did not come.
  bool ready() {
    if (!pad.wait_for("\n", 20000)) return false;
    path = pad.printed().substr(0, pad.printed().find('\n'));
    return path.rfind("/dev/pts/", 0) == 0;
  }
};

// padctl FAMILY --port n ARGS against a listening pad, operated from the test.
inline std::unique_ptr<Operated> control(const TempDir& dir, const ListeningPad& pad, const std::string& family,
                                         int com, std::vector<std::string> args) {
  args.insert(args.begin(), {family, "--port", std::to_string(com)});
  return std::make_unique<Operated>(program("padctl"), args, dir.path(),
                                    std::map<std::string, std::string>{{"PINK_COM" + std::to_string(com), pad.path}});
}

inline std::string bytes_of(const signpad::BitmapFile& f) { return std::string(f.begin(), f.end()); }

// A bitmap for `image`, as the controls write them.
inline std::string bitmap(const signpad::PointImage& image) { return bytes_of(signpad::bitmap_file(image)); }

// Ink like handwriting away from the edges: two loops, a slanted bar, a
// dot, lines that cross.
inline signpad::PointImage written_ink() {
  signpad::PointImage ink{};
  const auto set = [&](int x, int y) {
    const int bit = y * 128 + x;
    ink[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
  };
  for (int a = 0; a < 360; a += 3) {
    const double r = a * 3.14159265 / 180;
    set(24 + static_cast<int>(12 * std::cos(r)), 30 + static_cast<int>(18 * std::sin(r)));
    set(70 + static_cast<int>(9 * std::cos(r)), 26 + static_cast<int>(9 * std::sin(r)));
  }
  for (int x = 40; x < 116; ++x) set(x, 50 - (x - 40) / 4);
  for (int y = 8; y < 58; ++y) set(96, y);
  set(110, 12), set(111, 12), set(110, 13);
  return ink;
}

// How many lines of `text` contain `part` and end with `end`.
inline int lines_with(const std::string& text, const std::string& part, const std::string& end = "") {
  int n = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t stop = text.find('\n', at);
    if (stop == std::string::npos) stop = text.size();
    const std::string line = text.substr(at, stop - at);
    if (line.find(part) != std::string::npos && line.size() >= end.size() &&
        line.compare(line.size() - end.size(), end.size(), end) == 0) {
      ++n;
    }
    at = stop + 1;
  }
  return n;
}

// The bytes padctl showed for the call that starts with `call`: the hex
// after "] " to the line's end ("" when there is no such call).
inline std::string shown_bytes(const std::string& text, const std::string& call) {
  const std::size_t at = text.find(call);
  if (at == std::string::npos) return "";
  const std::size_t from = text.find("] ", at);
  if (from == std::string::npos) return "";
  return text.substr(from + 2, text.find('\n', from) - from - 2);
}

// What vpad printed (its log lines start with the time, its own with
// "vpad:") and what the program it ran printed, each in its own order: the
// two processes' lines interleave as they happen to.
inline std::string split_lines(const std::string& text, bool pad) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t stop = text.find('\n', at);
    if (stop == std::string::npos) stop = text.size() - 1;
    const std::string line = text.substr(at, stop + 1 - at);
    const bool of_pad = (line[0] >= '0' && line[0] <= '9') || line.rfind("vpad:", 0) == 0;
    if (of_pad == pad) out += line;
    at = stop + 1;
  }
  return out;
}
inline std::string pad_part(const std::string& text) { return split_lines(text, true); }
inline std::string control_part(const std::string& text) { return split_lines(text, false); }

// The lines of `expected` appear in `text` in this order.
inline void expect_in_order(const std::string& text, const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& line : expected) {
    const std::size_t found = text.find(line, at);
    EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << line << "\n" << text;
    if (found == std::string::npos) return;
    at = found + line.size();
  }
}

}  // namespace pink::testkit
