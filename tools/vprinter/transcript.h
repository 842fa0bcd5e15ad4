// The transcript of a printout: what the virtual printer did, one line per
// command and one per printed text line, as UTF-8 text (the format is
// described in tools/vprinter/README.md and kept stable: tests and
// integrators compare against it). Pure.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/vprinter/decoder.h"
#include "tools/vprinter/images.h"

namespace pink::vprinter {

// The column where the meaning of a command starts.
inline constexpr std::size_t kMeaningColumn = 27;

// Every line ends with "\n"; an empty stream gives an empty transcript.
std::string transcript(std::span<const Event> events, std::span<const Picture> pictures);

// Everything the virtual printer makes of one captured stream.
struct Printout {
  std::vector<Event> events;
  std::vector<Picture> pictures;
  std::string transcript;
};

Printout print(std::span<const std::uint8_t> stream);

}  // namespace pink::vprinter
