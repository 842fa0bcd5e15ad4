// The PIN keys of the library: a fixed single-DES key and the table of ten
// master keys under which working keys arrive. Their values are build
// configuration, kept in keys.cpp alone; nothing ever writes them to a log.
#pragma once

#include <cstddef>
#include <string_view>

namespace pink::corvanavan::keys {

// 16 hexadecimal digits.
std::string_view pin_fixed_key();

// Ten entries of 26 characters: a two-digit index ("00" ... "09" in order),
// four blanks, the key as 16 hexadecimal digits, four blanks.
std::string_view pin_master_key_table();

inline constexpr std::size_t kMasterKeyEntries = 10;
inline constexpr std::size_t kMasterKeyEntrySize = 26;
inline constexpr std::size_t kMasterKeyOffset = 6;  // the key within an entry

}  // namespace pink::corvanavan::keys
