// One exception type for the run-time failures of the suite's programs.
//
// A failing operation inside a program throws Failure; the program's single
// failure path catches it and reports number and description through the
// settings mailbox. Numbers and texts are the ones operators and POS code have
// always seen from the run-time and the serial control, so they are fixed here
// in one table.
#pragma once

#include <stdexcept>
#include <string>

namespace pink {

enum class Err : int {
  InvalidProcedureCall = 5,
  Overflow = 6,
  SubscriptOutOfRange = 9,
  TypeMismatch = 13,
  BadFileNameOrNumber = 52,
  FileNotFound = 53,
  BadFileMode = 54,
  FileAlreadyOpen = 55,
  InternalError = 51,
  DeviceIoError = 57,
  InputPastEndOfFile = 62,
  BadRecordNumber = 63,
  DeviceUnavailable = 68,
  PermissionDenied = 70,
  PathFileAccessError = 75,
  PathNotFound = 76,
  ObjectNotSet = 91,
  InvalidPropertyValue = 380,
  EntryPointNotFound = 453,
  PortOpenNotValid = 8000,
  InvalidPortNumber = 8002,
  PortAlreadyOpen = 8005,
  DeviceNotOpen = 8012,
  CouldNotSetCommState = 8015,
  PortNotOpen = 8018,
  ReadError = 8020,
};

// The standard description of a failure number ("Path not found" for 76).
// Unknown numbers give "Application-defined or object-defined error".
const char* describe(Err number) noexcept;

class Failure : public std::runtime_error {
 public:
  explicit Failure(Err number);
  // A failure with the standard number but a description of its own (used
  // where the standard text would not tell an operator what went wrong).
  Failure(Err number, std::string description);
  // Adds a detail for logs and standard error; the description stays the
  // standard one, since that is what goes into the mailbox.
  Failure(Err number, std::string description, std::string detail);

  int number() const noexcept { return static_cast<int>(number_); }
  Err code() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  // Description followed by the detail, when there is one.
  std::string full_text() const;
  const std::string& detail() const noexcept { return detail_; }

 private:
  Err number_;
  std::string description_;
  std::string detail_;
};

}  // namespace pink
