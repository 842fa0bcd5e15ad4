// The mailbox keys of the kitchen printers ("floyd" section) and the values
// they write and read.
#pragma once

#include <string_view>

namespace pink::kitchen::keys {

inline constexpr std::string_view kState = "kit_state";
inline constexpr std::string_view kError = "kit_error";
inline constexpr std::string_view kText = "kit_text";
inline constexpr std::string_view kProcess = "kit_process";  // progress markers
inline constexpr std::string_view kErrorNo = "kit_error_no";  // the one-job spooler's failure number
inline constexpr std::string_view kRequest = "kit_abc";       // the resident printers' job request

inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kEnd = "end";
inline constexpr std::string_view kSysError = "syserror";
inline constexpr std::string_view kYes = "Y";
inline constexpr std::string_view kNo = "N";

}  // namespace pink::kitchen::keys
