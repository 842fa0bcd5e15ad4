// Serial port on the Win32 comm functions: "\\.\COMn" opened for overlapped
// I/O, no sharing.
#include "platform/serial.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/system_text.h"

namespace pink::serial {
namespace {

using win32::system_text;

constexpr std::array<std::uint32_t, 18> kBauds{
    110,   300,   600,    1200,   2400,   4800,   9600,   14400,  19200,
    38400, 56000, 57600, 115200, 128000, 230400, 256000, 460800, 921600,
};

// Owns a kernel handle.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : h_(o.release()) {}
  Handle& operator=(Handle&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = o.release();
    }
    return *this;
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = nullptr;
    return h;
  }
  void reset() {
    if (valid()) ::CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

Handle manual_reset_event() { return Handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// The one mapping from line settings to the DCB. Starts from what the driver
// reports; besides the line settings it fixes the fields that would change or
// hold back the data (binary mode, no NUL stripping, no error character, no
// abort on error, no DSR sensitivity).
bool to_dcb(const LineSettings& line, DCB& dcb) {
  if (line.data_bits < 5 || line.data_bits > 8) return false;
  // What a UART cannot do is refused here, as the serial driver refuses it,
  // rather than left to drivers that take anything (virtual ports, Wine):
  // one and a half stop bits exist only with five data bits, two stop bits
  // not with five.
  if (line.stop_bits == StopBits::OneAndHalf && line.data_bits != 5) return false;
  if (line.stop_bits == StopBits::Two && line.data_bits == 5) return false;
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = line.baud;
  dcb.ByteSize = line.data_bits;
  switch (line.parity) {
    case Parity::None: dcb.Parity = NOPARITY; break;
    case Parity::Odd: dcb.Parity = ODDPARITY; break;
    case Parity::Even: dcb.Parity = EVENPARITY; break;
    case Parity::Mark: dcb.Parity = MARKPARITY; break;
    case Parity::Space: dcb.Parity = SPACEPARITY; break;
  }
  switch (line.stop_bits) {
    case StopBits::One: dcb.StopBits = ONESTOPBIT; break;
    case StopBits::OneAndHalf: dcb.StopBits = ONE5STOPBITS; break;
    case StopBits::Two: dcb.StopBits = TWOSTOPBITS; break;
  }
  dcb.fBinary = TRUE;
  dcb.fParity = line.parity_check ? TRUE : FALSE;
  dcb.fOutxCtsFlow = line.cts_flow ? TRUE : FALSE;
  dcb.fOutxDsrFlow = line.dsr_flow ? TRUE : FALSE;
  dcb.fDtrControl = line.dsr_flow ? DTR_CONTROL_HANDSHAKE
                                  : (line.dtr_on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE);
  dcb.fRtsControl = line.cts_flow ? RTS_CONTROL_HANDSHAKE
                                  : (line.rts_on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
  dcb.fDsrSensitivity = FALSE;
  dcb.fTXContinueOnXoff = TRUE;
  dcb.fOutX = line.xon_xoff_out ? TRUE : FALSE;
  dcb.fInX = line.xon_xoff_in ? TRUE : FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fAbortOnError = FALSE;
  dcb.XonChar = static_cast<char>(line.xon_char);
  dcb.XoffChar = static_cast<char>(line.xoff_char);
  dcb.XonLim = line.xon_limit;
  dcb.XoffLim = line.xoff_limit;
  return true;
}

LineSettings from_dcb(const DCB& dcb) {
  LineSettings line;
  line.baud = dcb.BaudRate;
  line.data_bits = dcb.ByteSize;
  switch (dcb.Parity) {
    case ODDPARITY: line.parity = Parity::Odd; break;
    case EVENPARITY: line.parity = Parity::Even; break;
    case MARKPARITY: line.parity = Parity::Mark; break;
    case SPACEPARITY: line.parity = Parity::Space; break;
    default: line.parity = Parity::None; break;
  }
  switch (dcb.StopBits) {
    case ONE5STOPBITS: line.stop_bits = StopBits::OneAndHalf; break;
    case TWOSTOPBITS: line.stop_bits = StopBits::Two; break;
    default: line.stop_bits = StopBits::One; break;
  }
  line.parity_check = dcb.fParity != 0;
  line.cts_flow = dcb.fOutxCtsFlow != 0;
  line.dsr_flow = dcb.fOutxDsrFlow != 0;
  line.xon_xoff_out = dcb.fOutX != 0;
  line.xon_xoff_in = dcb.fInX != 0;
  line.dtr_on = dcb.fDtrControl != DTR_CONTROL_DISABLE;
  line.rts_on = dcb.fRtsControl != RTS_CONTROL_DISABLE;
  line.xon_char = static_cast<std::uint8_t>(dcb.XonChar);
  line.xoff_char = static_cast<std::uint8_t>(dcb.XoffChar);
  line.xon_limit = dcb.XonLim;
  line.xoff_limit = dcb.XoffLim;
  return line;
}

DWORD purge_flags(unsigned flags) {
  DWORD f = 0;
  if (flags & kAbortTx) f |= PURGE_TXABORT;
  if (flags & kAbortRx) f |= PURGE_RXABORT;
  if (flags & kClearTx) f |= PURGE_TXCLEAR;
  if (flags & kClearRx) f |= PURGE_RXCLEAR;
  return f;
}

DWORD wait_time(std::uint32_t ms) { return ms == clock::kWaitForever ? INFINITE : ms; }

// A write whose completion wait ended first. The driver still owns the
// buffer and the OVERLAPPED, so both live here until the write is finished.
struct PendingWrite {
  OVERLAPPED ov{};
  Handle event;
  std::vector<std::uint8_t> data;
};

class Win32Port final : public Port {
 public:
  Win32Port(std::string name, Handle port, Handle read_event, Handle wait_event)
      : Port(std::move(name)),
        h_(std::move(port)),
        read_event_(std::move(read_event)),
        wait_event_(std::move(wait_event)) {}

  ~Win32Port() override {
    ::SetCommMask(h_.get(), 0);
    finish_pending(false);
    if (!pending_.empty()) {
      cancel_pending();
      ::PurgeComm(h_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
      finish_pending(true);
    } else {
      // Completed writes may still wait in the driver's queue, and some
      // drivers drop that queue when the handle closes.
      drain_output();
    }
  }

  bool set_queues(std::uint32_t in_bytes, std::uint32_t out_bytes) override {
    return ::SetupComm(h_.get(), in_bytes, out_bytes) != 0;
  }

  bool get_line(LineSettings& out) override {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!::GetCommState(h_.get(), &dcb)) return false;
    out = from_dcb(dcb);
    return true;
  }

  bool set_line(const LineSettings& line) override {
    if (!is_supported_baud(line.baud)) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!::GetCommState(h_.get(), &dcb)) return false;
    if (!to_dcb(line, dcb)) return false;
    return ::SetCommState(h_.get(), &dcb) != 0;
  }

  bool set_timeouts(const Timeouts& t) override {
    COMMTIMEOUTS ct{};
    ct.ReadIntervalTimeout = t.read_interval;
    ct.ReadTotalTimeoutMultiplier = t.read_total_multiplier;
    ct.ReadTotalTimeoutConstant = t.read_total_constant;
    ct.WriteTotalTimeoutMultiplier = t.write_total_multiplier;
    ct.WriteTotalTimeoutConstant = t.write_total_constant;
    if (!::SetCommTimeouts(h_.get(), &ct)) return false;
    timeouts_ = t;
    return true;
  }

  const Timeouts& timeouts() const override { return timeouts_; }

  // The output side is purged only while a write has not completed: a
  // driver may complete a write while its bytes still wait in its own
  // queue (USB adapters, virtual ports, Wine's ports on Unix terminals),
  // and clearing that queue would drop bytes the caller was told went out.
  bool purge(unsigned flags) override {
    finish_pending(false);
    DWORD f = purge_flags(flags);
    const bool incomplete = !pending_.empty();
    if (!incomplete) f &= ~static_cast<DWORD>(PURGE_TXABORT | PURGE_TXCLEAR);
    // Cancelled first, so that no further byte of them is handed over while
    // the queue is cleared (not every driver cancels on PURGE_TXABORT).
    if (incomplete && (flags & kAbortTx)) cancel_pending();
    const bool ok = f == 0 || ::PurgeComm(h_.get(), f) != 0;
    // Aborted writes complete now; collect them.
    if (incomplete && (flags & kAbortTx)) finish_pending(true);
    return ok;
  }

  WriteResult write(std::span<const std::uint8_t> bytes, std::uint32_t wait_ms) override {
    WriteResult r;
    finish_pending(false);
    if (bytes.empty()) {
      r.status = WriteStatus::Completed;
      return r;
    }
    auto w = std::make_unique<PendingWrite>();
    w->event = manual_reset_event();
    if (!w->event.valid()) return r;
    w->data.assign(bytes.begin(), bytes.end());
    w->ov.hEvent = w->event.get();

    const DWORD size = static_cast<DWORD>(w->data.size());
    DWORD done = 0;
    if (::WriteFile(h_.get(), w->data.data(), size, &done, &w->ov)) {
      return finished(done, size);
    }
    if (const DWORD err = ::GetLastError(); err != ERROR_IO_PENDING) {
      r.text = system_text(err);
      clear_errors();
      return r;  // Failed
    }
    const DWORD waited = ::WaitForSingleObject(w->event.get(), wait_time(wait_ms));
    if (waited == WAIT_OBJECT_0) {
      if (!::GetOverlappedResult(h_.get(), &w->ov, &done, FALSE)) {
        r.text = system_text(::GetLastError());
        clear_errors();
        r.written = done;
        return r;  // Failed
      }
      return finished(done, size);
    }
    // Still going: leave it with the driver; a purge aborts it.
    pending_.push_back(std::move(w));
    r.status = WriteStatus::TimedOut;
    r.written = 0;
    return r;
  }

  long read(std::span<std::uint8_t> out) override {
    if (out.empty()) return 0;
    std::size_t want = std::min<std::size_t>(out.size(), 0x7FFFFFFF);
    if (returns_at_once()) {
      // Only what waits is asked for: a driver that does not honour these
      // time-outs (Wine's) would otherwise hold the read until bytes come.
      want = std::min<std::size_t>(want, input_count());
      if (want == 0) return 0;
    }
    OVERLAPPED ov{};
    ov.hEvent = read_event_.get();
    ::ResetEvent(read_event_.get());
    DWORD got = 0;
    if (::ReadFile(h_.get(), out.data(), static_cast<DWORD>(want), &got, &ov)) return static_cast<long>(got);
    if (::GetLastError() != ERROR_IO_PENDING) {
      clear_errors();
      return -1;
    }
    // The read time-outs bound this wait. A read they end is not a failure,
    // even where the driver reports it as one (Wine: ERROR_TIMEOUT).
    if (!::GetOverlappedResult(h_.get(), &ov, &got, TRUE)) {
      const DWORD err = ::GetLastError();
      if (err == ERROR_TIMEOUT || err == ERROR_SEM_TIMEOUT) return static_cast<long>(got);
      clear_errors();
      return -1;
    }
    return static_cast<long>(got);
  }

  std::uint32_t input_count() override {
    COMSTAT stat{};
    DWORD errors = 0;
    if (!::ClearCommError(h_.get(), &errors, &stat)) return 0;
    return stat.cbInQue;
  }

  std::uint32_t output_count() override {
    COMSTAT stat{};
    DWORD errors = 0;
    if (!::ClearCommError(h_.get(), &errors, &stat)) return 0;
    return stat.cbOutQue;
  }

  bool set_event_mask(std::uint32_t mask) override {
    // Ends a WaitCommEvent in progress, which then reports no event (and a
    // watch by polling, through the generation, counted first so that the
    // waiter never takes the ended wait for a driver fault).
    generation_.fetch_add(1);
    if (!::SetCommMask(h_.get(), mask)) return false;
    mask_.store(mask);
    return true;
  }

  std::uint32_t event_mask() const override { return mask_.load(); }

  std::uint32_t wait_event(std::uint32_t timeout_ms) override {
    const std::uint64_t generation = generation_.load();
    const ULONGLONG start = ::GetTickCount64();
    if (!event_wait_works_.load()) return poll_events(generation, start, timeout_ms);
    OVERLAPPED ov{};
    ov.hEvent = wait_event_.get();
    ::ResetEvent(wait_event_.get());
    DWORD events = 0;
    if (::WaitCommEvent(h_.get(), &events, &ov)) return events;
    if (::GetLastError() != ERROR_IO_PENDING) {
      // A device that is gone fails every wait at once: a caller waiting in
      // a loop would spin. The wait is kept by looking at the queues instead.
      clear_errors();
      return poll_events(generation, start, timeout_ms);
    }
    DWORD n = 0;
    if (::WaitForSingleObject(wait_event_.get(), wait_time(timeout_ms)) != WAIT_OBJECT_0) {
      // Time-out: withdraw the wait before `events` goes out of scope.
      ::CancelIoEx(h_.get(), &ov);
      if (!::GetOverlappedResult(h_.get(), &ov, &n, TRUE)) return 0;
      return events;
    }
    if (!::GetOverlappedResult(h_.get(), &ov, &n, FALSE)) {
      // Ended as cancelled although nobody cancelled it and the mask stayed:
      // a driver whose event wait does not work (Wine on a pseudo-terminal,
      // some virtual ports). From now on its queues are watched instead.
      if (::GetLastError() == ERROR_OPERATION_ABORTED && generation_.load() == generation) {
        event_wait_works_.store(false);
        return poll_events(generation, start, timeout_ms);
      }
      return 0;
    }
    return events;
  }

  bool set_dtr(bool on) override { return ::EscapeCommFunction(h_.get(), on ? SETDTR : CLRDTR) != 0; }
  bool set_rts(bool on) override { return ::EscapeCommFunction(h_.get(), on ? SETRTS : CLRRTS) != 0; }

  void clear_errors() override {
    DWORD errors = 0;
    ::ClearCommError(h_.get(), &errors, nullptr);
  }

 private:
  WriteResult finished(DWORD done, DWORD size) {
    WriteResult r;
    r.written = done;
    // The driver ends a write short when the write time-outs expire.
    r.status = done == size ? WriteStatus::Completed : WriteStatus::TimedOut;
    return r;
  }

  // Waits until the driver's output queue is empty, for at most twice the
  // line time of what it holds plus a second: a line held back by flow
  // control does not keep the caller for ever.
  void drain_output() {
    std::uint32_t queued = output_count();
    if (queued == 0) return;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    const std::uint64_t baud = ::GetCommState(h_.get(), &dcb) && dcb.BaudRate > 0 ? dcb.BaudRate : 9600;
    const ULONGLONG limit = 2 * std::uint64_t{queued} * 10 * 1000 / baud + 1000;
    const ULONGLONG start = ::GetTickCount64();
    while (queued > 0 && ::GetTickCount64() - start < limit) {
      ::Sleep(5);
      queued = output_count();
    }
  }

  bool returns_at_once() const {
    return timeouts_.read_interval == clock::kWaitForever && timeouts_.read_total_multiplier == 0 &&
           timeouts_.read_total_constant == 0;
  }

  // The event wait done by looking at the queues every 10 ms: characters
  // received, the output queue empty. Ends with 0 on time-out or when the
  // mask changes.
  std::uint32_t poll_events(std::uint64_t generation, ULONGLONG start, std::uint32_t timeout_ms) {
    std::uint32_t queued_before = output_count();
    for (;;) {
      const std::uint32_t mask = mask_.load();
      if (generation_.load() != generation) return 0;
      if ((mask & kEventRxChar) && input_count() > 0) return kEventRxChar;
      const std::uint32_t queued = output_count();
      if ((mask & kEventTxEmpty) && queued_before > 0 && queued == 0) return kEventTxEmpty;
      queued_before = queued;
      if (timeout_ms != clock::kWaitForever && ::GetTickCount64() - start >= timeout_ms) return 0;
      ::Sleep(10);
    }
  }

  void cancel_pending() {
    for (auto& w : pending_) ::CancelIoEx(h_.get(), &w->ov);
  }

  // Collects writes left pending by earlier calls: those that have finished,
  // or (wait) all of them, after a purge has aborted them.
  void finish_pending(bool wait) {
    for (auto it = pending_.begin(); it != pending_.end();) {
      PendingWrite& w = **it;
      DWORD n = 0;
      if (wait) {
        if (::WaitForSingleObject(w.event.get(), 1000) != WAIT_OBJECT_0) ::CancelIoEx(h_.get(), &w.ov);
        ::GetOverlappedResult(h_.get(), &w.ov, &n, TRUE);
        it = pending_.erase(it);
      } else if (HasOverlappedIoCompleted(&w.ov)) {
        ::GetOverlappedResult(h_.get(), &w.ov, &n, FALSE);
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
  }

  Handle h_;
  Handle read_event_;
  Handle wait_event_;
  Timeouts timeouts_{};
  std::atomic<std::uint32_t> mask_{0};
  std::atomic<std::uint64_t> generation_{0};     // mask changes, which end a wait
  std::atomic<bool> event_wait_works_{true};    // false: wait_event polls the queues
  std::vector<std::unique_ptr<PendingWrite>> pending_;
};

OpenResult fail(OpenStatus status, std::string text) {
  OpenResult r;
  r.status = status;
  r.text = std::move(text);
  return r;
}

}  // namespace

bool is_supported_baud(std::uint32_t baud) {
  return std::find(kBauds.begin(), kBauds.end(), baud) != kBauds.end();
}

std::string device_path(std::string_view name) {
  const int n = port_number(name);
  if (n == 0) return {};
  return "\\\\.\\COM" + std::to_string(n);
}

OpenResult open(std::string_view name) {
  const int n = port_number(name);
  if (n == 0) return fail(OpenStatus::NoSuchPort, "not a serial port name: " + std::string(name));
  const std::string canonical = "COM" + std::to_string(n);
  const std::wstring path = L"\\\\.\\COM" + std::to_wstring(n);

  Handle h(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr));
  if (!h.valid()) {
    const DWORD err = ::GetLastError();
    const std::string why = canonical + ": " + system_text(err);
    switch (err) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
        return fail(OpenStatus::NoSuchPort, why);
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION:
        return fail(OpenStatus::InUse, why);
      default:
        return fail(OpenStatus::Failed, why);
    }
  }
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!::GetCommState(h.get(), &dcb)) {
    return fail(OpenStatus::NoSuchPort,
                canonical + ": not a serial device (error " + std::to_string(::GetLastError()) + ")");
  }
  Handle read_event = manual_reset_event();
  Handle wait_event = manual_reset_event();
  if (!read_event.valid() || !wait_event.valid()) {
    return fail(OpenStatus::Failed, "CreateEvent: error " + std::to_string(::GetLastError()));
  }
  OpenResult r;
  r.status = OpenStatus::Ok;
  r.port = std::make_unique<Win32Port>(canonical, std::move(h), std::move(read_event),
                                       std::move(wait_event));
  return r;
}

}  // namespace pink::serial
