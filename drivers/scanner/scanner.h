// The barcode scanner driver: one serial scanner on COM2, read either by a
// reader thread that hands each code to the caller's window (message mode)
// or by the caller asking for what has arrived (polling mode).
//
// Message mode: the reader thread waits for received characters, takes the
// port's input in chunks of at most 80 bytes and, for each code a chunk
// finishes, copies the code and its NUL into the caller's buffer and then
// posts (message, 0, 0) to the caller's window. Closing stops the thread at
// once: every wait of the thread is bounded, and a change of the port's
// event mask ends the wait in progress.
//
// The flags that the caller's thread and the reader thread share are
// atomics; each open gets a reader state of its own, so that a reader still
// ending from an earlier open never sees the flags of a later one.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "serialline/serialline.h"

namespace pink::scanio {

// COM2, 9600 baud, 7 data bits, odd parity, one stop bit, XON/XOFF.
inline constexpr serialline::Record kScannerLine{.port = 2,
                                                 .baud = 9600,
                                                 .data_bits = 7,
                                                 .parity = 1,
                                                 .stop_bits = 0,
                                                 .flow = serialline::kFlowXonXoff};

// Results of the exports.
inline constexpr std::int32_t kFailed = 0;
inline constexpr std::int32_t kDone = 1;
inline constexpr std::int32_t kAlreadyOpen = 2;
inline constexpr std::int32_t kNotOpen = -1;  // ScnReadP only; the closes give kFailed

// The event mask that tells the reader to stop: line errors, which it does
// not wait for.
inline constexpr std::uint32_t kStopMask = 0x40;

// How long the reader waits for a port event before it looks at its running
// flag again, and how long a close waits for the reader to end.
inline constexpr std::chrono::milliseconds kReaderWait{100};
inline constexpr std::chrono::milliseconds kStopWait{2000};

struct Reader;

class Scanner {
 public:
  Scanner() = default;
  ~Scanner();
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;

  // 1 opened and the reader started; 2 already open (nothing changes); 0
  // failed, and also for a null buffer, which the reader could not fill.
  std::int32_t open_message(std::intptr_t window, std::uint32_t message, char* buffer);
  // 1 closed, after the reader ended (or kStopWait passed); 0 not open.
  std::int32_t close_message();
  // 1 opened; 2 already open; 0 failed. The window is kept, not used.
  std::int32_t open_polling(std::intptr_t window);
  // The length of the text in the buffer after the call; -1 not open. A null
  // buffer reads nothing (0). In message mode the reader thread owns the
  // port's input and the buffer is only measured.
  std::int32_t read_polling(char* buffer);
  // 1 closed; 0 not open. Does not wait for a reader: it ends at its next
  // wake-up, which the close itself causes.
  std::int32_t close_polling();

 private:
  bool open_line();
  void close_line();
  // Waits (bounded) for the reader of an earlier open and lets its thread go.
  void settle_reader();

  serialline::Line line_;
  std::atomic<bool> open_{false};
  std::shared_ptr<Reader> reader_;
  std::thread thread_;
  std::intptr_t window_ = 0;
};

// The driver of the process.
Scanner& scanner();

}  // namespace pink::scanio
