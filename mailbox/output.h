// Where a spooler's bytes go: the serial control, or a device file such as
// the parallel port. Each send() is one write of the given bytes, nothing
// appended; a write that fails is a run-time failure of the job.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/comm.h"
#include "platform/device.h"

namespace pink::mailbox {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void send(std::string_view bytes) = 0;
};

// One Output write per send.
class CommSink final : public Sink {
 public:
  explicit CommSink(comm::CommControl& control) : control_(control) {}
  void send(std::string_view bytes) override { control_.output(bytes); }

 private:
  comm::CommControl& control_;
};

// A device opened for output ("Lpt1:" for the parallel port). Throws
// pink::Failure when it cannot be opened (the device's own number) or a write
// does not complete (57, Device I/O error).
class DeviceSink final : public Sink {
 public:
  explicit DeviceSink(std::string_view name);
  void send(std::string_view bytes) override;
  void close() noexcept { file_.reset(); }
  bool is_open() const noexcept { return file_ != nullptr; }

 private:
  std::unique_ptr<device::File> file_;
};

// Records every send apart: for tests of the spoolers' logic.
class RecordingSink final : public Sink {
 public:
  void send(std::string_view bytes) override { writes.emplace_back(bytes); }
  std::string all() const;
  std::vector<std::string> writes;
};

// The numeric value of a port field for the serial control's CommPort, the
// way the run-time converts text to a number: blanks around digits are
// allowed; empty or non-numeric text is a Type mismatch (13); a value that
// does not fit a 16-bit integer is an Overflow (6).
int port_number(std::string_view port_field);

// "the job header's port field "<field>" is not 1..<last_port> or "P"", for
// standard error.
std::string bad_port_field(std::string_view port_field, int last_port);

// Opens a spooler's serial port as every spooler does: CommPort from the port
// field, the line settings, a 512-byte output buffer, PortOpen, and
// OutBufferCount = 0 so that nothing stale goes out first. A port field that
// names no port (not a number, or a port outside 1..16 that cannot be opened)
// fails with the usual number and text, and a detail quoting the field.
void open_spooler_port(comm::CommControl& port, std::string_view port_field,
                       std::string_view settings);

}  // namespace pink::mailbox
