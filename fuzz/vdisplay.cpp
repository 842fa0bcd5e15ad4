// The virtual display's interpreter over any byte stream: the transcript and
// the screen do not depend on how the port cut the stream (commands and
// Korean characters may span reads), the cursor stays on the screen, and the
// rows and the frame are well-formed UTF-8 text of the display's shape.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "tools/vdisplay/screen.h"

using namespace pink::vdisplay;

namespace {

bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    if (n == 9 || i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

struct Shown {
  std::vector<std::string> transcript;
  std::string rows[kRows];
  std::size_t row = 0, column = 0;
};

Shown show_cut(std::span<const std::uint8_t> stream, std::size_t width, std::size_t piece) {
  Screen screen(width);
  Shown s;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    for (std::string& line : screen.feed(stream.subspan(at, std::min(piece, stream.size() - at)))) {
      s.transcript.push_back(std::move(line));
    }
    FUZZ_CHECK(screen.cursor_row() >= 1 && screen.cursor_row() <= kRows);
    FUZZ_CHECK(screen.cursor_column() >= 1 && screen.cursor_column() <= screen.width());
  }
  for (std::string& line : screen.finish()) s.transcript.push_back(std::move(line));
  for (std::size_t r = 0; r < kRows; ++r) s.rows[r] = screen.row(r + 1);
  s.row = screen.cursor_row();
  s.column = screen.cursor_column();
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t width = in.ConsumeIntegralInRange<std::size_t>(0, kMaxWidth + 2);
  const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, 16);
  const std::vector<std::uint8_t> stream = in.ConsumeRemainingBytes<std::uint8_t>();

  const Shown whole = show_cut(stream, width, stream.size() + 1);
  const Shown cut = show_cut(stream, width, piece);
  FUZZ_CHECK(cut.transcript == whole.transcript);
  for (std::size_t r = 0; r < kRows; ++r) {
    FUZZ_CHECK(cut.rows[r] == whole.rows[r]);
    FUZZ_CHECK(valid_utf8(whole.rows[r]));
  }
  FUZZ_CHECK(cut.row == whole.row && cut.column == whole.column);
  for (const std::string& line : whole.transcript) FUZZ_CHECK(valid_utf8(line));

  Screen screen(width);
  FUZZ_CHECK(screen.width() >= kMinWidth && screen.width() <= kMaxWidth);
  (void)screen.feed(stream);
  const std::string frame = framed(screen);
  FUZZ_CHECK(valid_utf8(frame) && !frame.empty() && frame.back() == '\n');
  FUZZ_CHECK(std::count(frame.begin(), frame.end(), '\n') == static_cast<std::ptrdiff_t>(kRows + 2));
  return 0;
}
