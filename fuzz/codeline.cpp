// The scanner's code-line framing over any stream cut into port-sized
// chunks: a code never holds a carriage return or more than 99 bytes, ends
// in the stream where a carriage return or the 99th byte is, carries its NUL,
// and the polling scan's last code is the reader thread's last code for the
// same chunks.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "drivers/scanner/codeline.h"
#include "fuzz/check.h"

using namespace pink::scanio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  CarryScan carry;
  CallScan call;
  std::optional<Code> last;
  std::string stream;  // every byte fed so far
  while (in.remaining_bytes() > 0) {
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, kChunkMax);
    const std::vector<std::uint8_t> chunk = in.ConsumeBytes<std::uint8_t>(n);
    const std::size_t pending = carry.pending();
    const std::size_t before = stream.size();
    stream.append(chunk.begin(), chunk.end());

    const std::optional<Code> code = carry.chunk(chunk);
    call.chunk(chunk);
    FUZZ_CHECK(carry.pending() < kCodeMax);
    if (!code) {
      // Nothing ended: every byte of the chunk joined the line.
      FUZZ_CHECK(carry.pending() == pending + chunk.size());
      FUZZ_CHECK(std::find(chunk.begin(), chunk.end(), kCodeEnd) == chunk.end());
      continue;
    }
    last = code;
    FUZZ_CHECK(carry.pending() == 0);
    const std::string_view text = code->text();
    FUZZ_CHECK(text.size() == code->size() && text.size() <= kCodeMax);
    FUZZ_CHECK(code->c_str()[code->size()] == '\0');
    FUZZ_CHECK(text.find(static_cast<char>(kCodeEnd)) == std::string_view::npos);
    // The code is the line carried in and the head of this chunk; it ended
    // at a carriage return or by reaching its limit.
    FUZZ_CHECK(text.size() >= pending);
    const std::size_t taken = text.size() - pending;
    FUZZ_CHECK(taken <= chunk.size());
    FUZZ_CHECK(stream.compare(before - pending, text.size(), text.data(), text.size()) == 0);
    FUZZ_CHECK(text.size() == kCodeMax || (taken < chunk.size() && chunk[taken] == kCodeEnd));
  }
  FUZZ_CHECK(call.last().has_value() == last.has_value());
  if (last) FUZZ_CHECK(*call.last() == *last);
  return 0;
}
