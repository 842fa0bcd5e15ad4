// The receipt printer library as the receipt spooler uses it, bound by name
// ("rcptlib") at the first call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pink::spoolers {

class ReceiptLibrary {
 public:
  virtual ~ReceiptLibrary() = default;
  // OpenPort's result.
  virtual std::int32_t open_port(const std::string& name, std::int32_t baud) = 0;
  // The bytes exactly as given, 00 bytes included.
  virtual void print(std::string_view bytes) = 0;
  virtual void print_bitmap(const std::string& file) = 0;
  virtual void close() = 0;
};

// Loads rcptlib. Throws pink::Failure 53 (File not found: <library>) when it
// cannot be loaded, 453 when an entry point is missing.
std::unique_ptr<ReceiptLibrary> load_rcptlib();

}  // namespace pink::spoolers
