#include "drivers/scanner/scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>

#include "drivers/scanner/codeline.h"
#include "platform/window.h"

namespace pink::scanio {

using Clock = std::chrono::steady_clock;

// What one open shares with its reader thread. The thread holds the port
// through its own reference, so the port stays valid for as long as the
// thread may touch it, whatever the caller's side does meanwhile.
struct Reader {
  Reader(std::shared_ptr<serial::Port> p, std::intptr_t w, std::uint32_t m, char* b)
      : port(std::move(p)), window(w), message(m), buffer(b) {}

  const std::shared_ptr<serial::Port> port;
  const std::intptr_t window;
  const std::uint32_t message;
  char* const buffer;
  std::atomic<bool> running{true};
  std::atomic<bool> ended{false};
};

namespace {

void deliver(Reader& r, const Code& code) {
  std::memcpy(r.buffer, code.c_str(), code.size() + 1);
  window::post_message(r.window, r.message, 0, 0);
}

// Takes chunks until one is empty; each chunk delivers at most one code.
void take_chunks(Reader& r, CarryScan& scan) {
  std::array<std::uint8_t, kChunkMax> chunk;
  while (r.running.load()) {
    const std::size_t n = serialline::read_chunk(*r.port, chunk);
    if (n == 0) return;
    if (auto code = scan.chunk(std::span(chunk).first(n))) deliver(r, *code);
  }
}

void run_reader(std::shared_ptr<Reader> r) {
  serial::Port& port = *r->port;
  if (port.set_event_mask(serial::kEventRxChar)) {
    CarryScan scan;
    const auto wait_ms = static_cast<std::uint32_t>(kReaderWait.count());
    while (r->running.load()) {
      if ((port.wait_event(wait_ms) & serial::kEventRxChar) == 0) continue;
      take_chunks(*r, scan);
    }
  }
  r->ended.store(true);
}

bool wait_ended(const Reader& r, Clock::time_point until) {
  while (!r.ended.load()) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Clears the reader's running flag and changes the event mask (a second
// time when the first change fails), which ends the wait in progress; again
// every 20 ms until the reader has ended, for at most kStopWait.
bool stop_reader(Reader& r) {
  const Clock::time_point give_up = Clock::now() + kStopWait;
  for (;;) {
    r.running.store(false);
    if (!r.port->set_event_mask(kStopMask)) r.port->set_event_mask(kStopMask);
    const Clock::time_point next = std::min(give_up, Clock::now() + std::chrono::milliseconds(20));
    if (wait_ended(r, next)) return true;
    if (Clock::now() >= give_up) return false;
  }
}

}  // namespace

Scanner::~Scanner() {
  settle_reader();
  line_.close();
}

Scanner& scanner() {
  static Scanner instance;
  return instance;
}

void Scanner::settle_reader() {
  if (reader_) {
    const bool ended = stop_reader(*reader_);
    // A reader that did not end in time still holds its port; it ends at
    // its next wake-up and closes the port then.
    if (thread_.joinable()) ended ? thread_.join() : thread_.detach();
    reader_.reset();
  }
}

bool Scanner::open_line() {
  settle_reader();
  return line_.open(kScannerLine, {.wait_cursor = false});
}

void Scanner::close_line() {
  if (reader_) reader_->running.store(false);
  line_.close();  // event mask none, DTR off, purge, close
  open_.store(false);
}

std::int32_t Scanner::open_message(std::intptr_t window, std::uint32_t message, char* buffer) {
  if (open_.load()) return kAlreadyOpen;
  if (buffer == nullptr) return kFailed;
  if (!open_line()) return kFailed;
  auto reader = std::make_shared<Reader>(line_.port(), window, message, buffer);
  open_.store(true);
  try {
    thread_ = std::thread(run_reader, reader);
  } catch (const std::system_error&) {
    close_line();
    return kFailed;
  }
  reader_ = std::move(reader);
  line_.port()->set_dtr(true);
  return kDone;
}

std::int32_t Scanner::close_message() {
  if (!open_.load()) return kFailed;
  settle_reader();
  close_line();
  return kDone;
}

std::int32_t Scanner::open_polling(std::intptr_t window) {
  if (open_.load()) return kAlreadyOpen;
  if (!open_line()) return kFailed;
  window_ = window;
  open_.store(true);
  return kDone;
}

std::int32_t Scanner::read_polling(char* buffer) {
  if (!open_.load()) return kNotOpen;
  if (buffer == nullptr) return 0;
  const bool reader_owns_input = reader_ && !reader_->ended.load();
  serial::Port& port = *line_.port();
  if (!reader_owns_input) {
    if ((port.event_mask() & serial::kEventRxChar) == 0) return 0;
    CallScan scan;
    std::array<std::uint8_t, kChunkMax> chunk;
    while (const std::size_t n = serialline::read_chunk(port, chunk)) {
      scan.chunk(std::span(chunk).first(n));
    }
    if (const auto& code = scan.last()) std::memcpy(buffer, code->c_str(), code->size() + 1);
  }
  // The caller's buffer holds at least kCodeBytes: never look past them.
  const void* nul = std::memchr(buffer, '\0', kCodeBytes);
  const std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : kCodeBytes;
  return static_cast<std::int32_t>(length);
}

std::int32_t Scanner::close_polling() {
  if (!open_.load()) return kFailed;
  close_line();
  return kDone;
}

}  // namespace pink::scanio
