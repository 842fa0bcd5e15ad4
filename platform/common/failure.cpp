#include "platform/failure.h"

#include <array>
#include <utility>

namespace pink {
namespace {

struct Text {
  Err number;
  const char* text;
};

constexpr std::array kTexts{
    Text{Err::InvalidProcedureCall, "Invalid procedure call or argument"},
    Text{Err::Overflow, "Overflow"},
    Text{Err::SubscriptOutOfRange, "Subscript out of range"},
    Text{Err::TypeMismatch, "Type mismatch"},
    Text{Err::InternalError, "Internal error"},
    Text{Err::BadFileNameOrNumber, "Bad file name or number"},
    Text{Err::FileNotFound, "File not found"},
    Text{Err::BadFileMode, "Bad file mode"},
    Text{Err::FileAlreadyOpen, "File already open"},
    Text{Err::DeviceIoError, "Device I/O error"},
    Text{Err::InputPastEndOfFile, "Input past end of file"},
    Text{Err::BadRecordNumber, "Bad record number"},
    Text{Err::DeviceUnavailable, "Device unavailable"},
    Text{Err::PermissionDenied, "Permission denied"},
    Text{Err::PathFileAccessError, "Path/File access error"},
    Text{Err::PathNotFound, "Path not found"},
    Text{Err::ObjectNotSet, "Object variable or With block variable not set"},
    Text{Err::InvalidPropertyValue, "Invalid property value"},
    Text{Err::PortOpenNotValid, "Operation not valid while the port is opened"},
    Text{Err::EntryPointNotFound, "Can't find DLL entry point"},
    Text{Err::InvalidPortNumber, "Invalid port number"},
    Text{Err::PortAlreadyOpen, "Port already open"},
    Text{Err::DeviceNotOpen, "The device is not open"},
    Text{Err::CouldNotSetCommState, "Could not set comm state"},
    Text{Err::PortNotOpen, "Operation valid only when the port is open"},
    Text{Err::ReadError, "Error reading comm device"},
};

}  // namespace

const char* describe(Err number) noexcept {
  for (const auto& t : kTexts) {
    if (t.number == number) return t.text;
  }
  return "Application-defined or object-defined error";
}

Failure::Failure(Err number) : Failure(number, describe(number)) {}

Failure::Failure(Err number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

Failure::Failure(Err number, std::string description, std::string detail)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      detail_(std::move(detail)) {}

std::string Failure::full_text() const {
  if (detail_.empty()) return description_;
  if (description_.empty()) return detail_;
  return description_ + ": " + detail_;
}

}  // namespace pink
