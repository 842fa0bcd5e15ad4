#pragma once

#include <string_view>

namespace pink::kitchen {

// The two builds of the one-job kitchen spooler.
struct Variant {
  std::string_view job_file;  // "kitchen.zor" / "kitchenb.zor"
  bool honours_forced_speed;  // a model profile's 38400 speed (kitchen only)
  std::string_view program;   // the name on standard error
};

inline constexpr Variant kKitchen{"kitchen.zor", true, "kitchen"};
inline constexpr Variant kKitchenB{"kitchenb.zor", false, "kitchenb"};

// Runs one job in the current folder; returns the exit status (0 printed,
// 1 the job failed and the mailbox says why, 2 no mailbox).
int run_kitchen(const Variant& variant);

// The resident printers; they run until asked to stop.
int run_kitmux();
int run_kitfeed();

}  // namespace pink::kitchen
