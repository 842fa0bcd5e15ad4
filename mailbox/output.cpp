#include "mailbox/output.h"

#include "platform/failure.h"
#include "platform/text.h"

namespace pink::mailbox {
namespace {

// A device write may take the line time of a slow printer; beyond this a
// printer that takes nothing is a failed job, not a hung spooler.
constexpr std::uint32_t kDeviceWindowMs = 10000;

}  // namespace

DeviceSink::DeviceSink(std::string_view name) {
  auto r = device::open(name, device::Access::Write);
  if (!r.file) {
    const Err code = r.error != 0 ? static_cast<Err>(r.error) : Err::DeviceUnavailable;
    throw Failure(code, describe(code), r.text);
  }
  file_ = std::move(r.file);
}

void DeviceSink::send(std::string_view bytes) {
  if (!file_) throw Failure(Err::BadFileNameOrNumber);
  if (bytes.empty()) return;
  const long n = file_->write(bytes, kDeviceWindowMs);
  if (n != static_cast<long>(bytes.size())) {
    throw Failure(Err::DeviceIoError, describe(Err::DeviceIoError),
                  std::to_string(n < 0 ? 0 : n) + " of " + std::to_string(bytes.size()) +
                      " bytes written to " + file_->path());
  }
}

std::string RecordingSink::all() const {
  std::string s;
  for (const auto& w : writes) s += w;
  return s;
}

int port_number(std::string_view port_field) {
  const std::string t = text::trim(port_field);
  if (t.empty()) throw Failure(Err::TypeMismatch);
  long value = 0;
  for (char c : t) {
    if (c < '0' || c > '9') throw Failure(Err::TypeMismatch);
    value = value * 10 + (c - '0');
    if (value > 32767) throw Failure(Err::Overflow);
  }
  return static_cast<int>(value);
}

std::string bad_port_field(std::string_view port_field, int last_port) {
  return "the job header's port field \"" + std::string(port_field) + "\" is not 1.." +
         std::to_string(last_port) + " or \"P\"";
}

void open_spooler_port(comm::CommControl& port, std::string_view port_field,
                       std::string_view settings) {
  constexpr int kOutBufferSize = 512;
  constexpr int kLastPort = 16;
  // The mailbox keeps the standard texts; the detail tells people which field
  // of the header was wrong, as read.
  const auto with_field = [port_field](const Failure& f) {
    const std::string note = bad_port_field(port_field, kLastPort);
    return Failure(f.code(), f.description(), f.detail().empty() ? note : note + " (" + f.detail() + ")");
  };
  int number = 0;
  try {
    number = port_number(port_field);
    port.set_comm_port(number);
  } catch (const Failure& f) {
    throw with_field(f);
  }
  port.set_settings(settings);
  port.set_out_buffer_size(kOutBufferSize);
  try {
    port.set_port_open(true);
  } catch (const Failure& f) {
    if (number >= 1 && number <= kLastPort) throw;
    throw with_field(f);
  }
  port.set_out_buffer_count(0);
}

}  // namespace pink::mailbox
