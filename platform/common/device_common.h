// Name and timing rules of device files shared by the POSIX and Win32 sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pink::device::detail {

// The parallel port a name stands for: "Lpt1:", "LPT1:", "lpt1" -> 1 ...
// "LPT9" -> 9; 0 when the name is not a parallel port name.
int lpt_number(std::string_view name);

// How long one write may stay pending before it is cancelled: the window,
// plus 1 ms per byte for a block of 512 bytes or more, which a slow printer
// needs to take in a large block at all.
std::uint64_t pending_limit_ms(std::uint32_t window_ms, std::size_t block_size);

}  // namespace pink::device::detail
