/* scanio: the barcode scanner library.
 *
 * One serial scanner on COM2 (9600 baud, 7 data bits, odd parity, one stop
 * bit, XON/XOFF). A code is what the scanner sends up to a carriage return
 * (which is not part of it); a line feed is part of the next code. A code
 * holds at most 99 characters: the 99th ends it. Of the bytes taken from the
 * port at once (at most 80), those behind the end of a code are dropped.
 *
 * Message mode: a reader thread copies each code, NUL-terminated, into the
 * caller's buffer and then posts the caller's message number, with both
 * parameters 0, to the caller's window. The caller must not reuse the buffer
 * between the message and its handling, and the buffer must stay valid
 * until ScnCloseI or ScnCloseP returns.
 *
 *   char code[100];
 *   ScnOpenI(window, WM_APP + 1, code);   -- 1 opened, 2 already open, 0 failed
 *   ... on the message: code holds the barcode ...
 *   ScnCloseI();                          -- 1 closed, 0 was not open
 *
 * Polling mode: the caller asks for what has arrived. ScnReadP returns the
 * length of the text in the buffer after the call: the last code finished
 * during the call, or, when none was, what the buffer held before (an
 * unfinished code is dropped).
 *
 *   ScnOpenP(window);                     -- 1 opened, 2 already open, 0 failed
 *   n = ScnReadP(code);                   -- -1 when not open
 *   ScnCloseP();                          -- 1 closed, 0 was not open
 *
 * Either close call closes the port, whichever open opened it. Buffers are at
 * least 100 bytes. A null buffer makes ScnOpenI fail (0); ScnReadP with a
 * null buffer reads nothing and returns 0. In message mode ScnReadP leaves
 * the port to the reader thread and returns the length of the buffer's text.
 *
 * On Windows: scanio.dll, standard-call, each function also under its
 * decorated name (_ScnOpenI@12 ...); the window is an HWND and the message is
 * posted with PostMessage.
 *
 * On Linux: libscanio.so; COM2 is $PINK_COM2 or /dev/ttyS1. The window is a
 * file descriptor that the caller owns and watches: a pipe, a socket or an
 * eventfd (0 or below: no window, nothing is posted). Each message is one
 * 12-byte record written at once:
 *
 *   offset 0  message number  uint32, little-endian
 *   offset 4  wParam (0)      uint32, little-endian
 *   offset 8  lParam (0)      uint32, little-endian
 *
 * An eventfd is incremented by 1 per message instead (it takes only 8-byte
 * counter writes). When the caller does not read and its pipe or socket is
 * full, the reader waits at most 200 ms for room and the message is then
 * lost, as a message posted to a full Windows message queue is. Posting never
 * raises SIGPIPE. The record is never split on a pipe (the library must be
 * the only writer) or a datagram socket.
 */
#ifndef PINK_SCANIO_H
#define PINK_SCANIO_H

#include <stdint.h>

#if defined(_WIN32)
#define SCANIO_CALL __stdcall
#else
#define SCANIO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens the scanner in message mode and starts the reader thread.
 * 1 opened; 2 already open (nothing changes); 0 failed. */
int32_t SCANIO_CALL ScnOpenI(intptr_t window, uint32_t message, char* buffer);
/* Stops the reader thread (at once) and closes the port. 1 closed; 0 not open. */
int32_t SCANIO_CALL ScnCloseI(void);
/* Opens the scanner in polling mode; the window is kept, not used.
 * 1 opened; 2 already open; 0 failed. */
int32_t SCANIO_CALL ScnOpenP(intptr_t window);
/* Reads what has arrived. The length of the text in the buffer after the
 * call; -1 not open. */
int32_t SCANIO_CALL ScnReadP(char* buffer);
/* Closes the port. 1 closed; 0 not open. */
int32_t SCANIO_CALL ScnCloseP(void);

#ifdef __cplusplus
}
#endif

#endif
