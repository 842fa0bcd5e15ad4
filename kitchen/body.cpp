#include "kitchen/body.h"

#include "mailbox/bodylines.h"
#include "mailbox/models.h"
#include "platform/clock.h"
#include "platform/failure.h"

namespace pink::kitchen {

std::string_view end_signal(std::string_view signal, std::string_view model, const Dialect& dialect) {
  if (signal.size() != 1 || signal == "N") return {};
  if (dialect.model_pulse && mailbox::model_profile(model).own_end_pulse) return kModelPulse;
  for (const auto& s : kSignals) {
    if (s.code == signal[0] && (dialect.all_signals || s.resident_serial)) return s.bytes;
  }
  return {};
}

std::size_t send_body(mailbox::JobFile& job, std::string_view model, const Dialect& dialect,
                      mailbox::Sink& out, const EditFn& edit) {
  const mailbox::ModelProfile& m = mailbox::model_profile(model);
  const std::string_view end = mailbox::line_end(m);
  const bool null_token = mailbox::takes_null_token(m, dialect.resident_serial);
  const bool korean = dialect.korean_mode && m.korean_mode;
  std::size_t sent = 0;
  auto send = [&](std::string_view bytes) {
    out.send(bytes);
    sent += bytes.size();
  };
  while (!job.at_end()) {
    const std::string line = job.next_line();
    if (korean) {
      for (const auto& w : mailbox::korean_double_byte_writes(line)) send(w);
    } else if (m.edited) {
      send(edit(line));
    } else {
      std::string bytes = null_token ? mailbox::replace_null_token(line) : line;
      bytes += end;
      send(bytes);
    }
  }
  return sent;
}

std::uint64_t drain_limit_ms(std::size_t bytes_sent, std::uint32_t baud) {
  if (baud == 0) baud = 9600;
  const std::uint64_t line_ms = static_cast<std::uint64_t>(bytes_sent) * 10 * 1000 / baud;
  return 2 * line_ms + 5000;
}

void drain(const std::function<int()>& out_count, std::uint64_t limit_ms,
           const std::function<void()>& pump) {
  const std::uint64_t deadline = clock::monotonic_ms() + limit_ms;
  while (out_count() != 0) {
    if (pump) pump();
    if (clock::monotonic_ms() > deadline) {
      throw Failure(Err::DeviceIoError, "Device I/O error: the output did not drain in time");
    }
    clock::sleep_ms(1);
  }
}

void drain(comm::CommControl& port, std::size_t bytes_sent, const std::function<void()>& pump) {
  comm::Settings s;
  const std::uint32_t baud = comm::parse_settings(port.settings(), s) ? s.baud : 9600;
  drain([&port] { return port.out_buffer_count(); }, drain_limit_ms(bytes_sent, baud), pump);
}

}  // namespace pink::kitchen
