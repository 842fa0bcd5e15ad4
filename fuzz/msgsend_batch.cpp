// msgsend's batch file over any bytes (after a few command-line options
// that give the defaults): a batch that parses gives messages in file order
// with at most three files each, and writing those messages out again as a
// batch file (values escaped) parses to the same messages. The checks that
// follow the parse take any message without failing.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "platform/text.h"
#include "tools/msgsend/batch.h"
#include "tools/msgsend/options.h"

using namespace pink::msgsend;

namespace {

constexpr std::string_view kNames[] = {"seq", "type", "user", "dept", "call", "req", "subject", "text", "rdate"};
constexpr std::string Fields::*kMembers[] = {&Fields::seq,  &Fields::type,    &Fields::user,
                                             &Fields::dept, &Fields::call,    &Fields::req,
                                             &Fields::subject, &Fields::text, &Fields::rdate};

std::string escaped(const std::string& cp949) {
  std::string out;
  for (const char c : pink::text::cp949_to_utf8(cp949)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

// The messages written out as a batch file: every given key, every file.
std::string batch_of(const std::vector<Fields>& messages) {
  std::string out;
  for (const Fields& m : messages) {
    for (std::size_t k = 0; k < std::size(kNames); ++k) {
      if (std::find(m.given.begin(), m.given.end(), kNames[k]) == m.given.end()) continue;
      out.append(kNames[k]).append("=").append(escaped(m.*kMembers[k])).append("\n");
    }
    for (const std::string& f : m.files) out.append("file=").append(escaped(f)).append("\n");
    out += "\n";
  }
  return out;
}

bool same(const Fields& a, const Fields& b) {
  for (const auto member : kMembers) {
    if (a.*member != b.*member) return false;
  }
  std::vector<std::string> ga = a.given, gb = b.given;
  std::sort(ga.begin(), ga.end());
  std::sort(gb.begin(), gb.end());
  return a.files == b.files && ga == gb;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<std::string> args;
  const int count = in.ConsumeIntegralInRange(0, 3);
  // The arguments reach the parser as the program's entry gives them: from
  // UTF-8 into cp949.
  for (int i = 0; i < count; ++i) args.push_back("--" + pink::text::utf8_to_cp949(in.ConsumeRandomLengthString(24)));
  std::string error;
  const std::optional<Options> options = parse_options(args, error);
  if (!options) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::string file = in.ConsumeRemainingBytesAsString();
  const auto messages = parse_batch(file, options->message, error);
  if (!messages) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(!messages->empty());
  int line = 0;
  for (const Fields& m : *messages) {
    FUZZ_CHECK(m.files.size() <= 3);
    FUZZ_CHECK(m.line > line);
    line = m.line;
    std::vector<std::string> warnings;
    (void)check(m, warnings);
    (void)report(0, m, 1);
  }
  (void)check_sender(*messages);

  std::string again_error;
  const std::string rewritten = batch_of(*messages);
  const auto again = parse_batch(rewritten, Fields{}, again_error);
  if (!again) std::fprintf(stderr, "rewritten batch refused: %s\n", again_error.c_str());
  FUZZ_CHECK(again.has_value() && again->size() == messages->size());
  for (std::size_t i = 0; i < messages->size(); ++i) FUZZ_CHECK(same((*messages)[i], (*again)[i]));
  return 0;
}
