/* pds.h: the customer display drivers ldisp, ldisp2 and gdisp.
 *
 * The three libraries export the same three functions; only PdsWrite's
 * arguments differ:
 *
 *   library  port  PdsWrite and what it sends
 *   ldisp    COM6  PdsWrite(const char* text, int32_t length)
 *                  the text (up to its NUL, at most 51 bytes) is put in a
 *                  zero-filled 52-byte buffer, and the first length + 1 bytes
 *                  of the buffer go out, length taken into 0..51: with length
 *                  = the text's length, the text and one 0x00. The text
 *                  carries whatever control codes the display needs.
 *   ldisp2   COM4  PdsWrite(int32_t line, const char* text)
 *                  ESC l 1 line, then a 20-byte text field
 *   gdisp    COM4  PdsWrite(int32_t line, const char* text)
 *                  ESC { line ; 1 H (line as a digit), then a 32-byte field
 *
 * line is 1 or 2 (below 1 counts as 1, above 2 as 2). Texts are
 * NUL-terminated cp949; a null text is the empty text. A text field is padded
 * with spaces, longer text is dropped, and a two-byte character (first byte
 * 0x7F or above) that would be cut in half at the end is replaced by a space.
 * The line runs at 9600 baud, 8 data bits, no parity, 1 stop bit, XON/XOFF.
 *
 *   PdsOpen()   1 opened, 2 already open (nothing done), 0 failed
 *   PdsWrite()  1 written (or the wait for it ended), 0 refused (also when
 *               the library is not open)
 *   PdsClose()  always 1, also when not open
 *
 * Callers that load one of the libraries at run time use the function types:
 *
 *   void* lib = dlopen("libldisp2.so", RTLD_NOW);
 *   PdsOpenFn open = (PdsOpenFn)dlsym(lib, "PdsOpen");
 *   PdsLineWriteFn write = (PdsLineWriteFn)dlsym(lib, "PdsWrite");
 *
 * Callers that link one library define which one before including this file,
 * and get the prototypes of that library:
 *
 *   #define PDS_LIBRARY_GDISP      (or PDS_LIBRARY_LDISP, PDS_LIBRARY_LDISP2)
 *   #include <pink/pds.h>
 *
 * On Linux: libldisp.so, libldisp2.so, libgdisp.so; COMn is $PINK_COMn or
 * /dev/ttyS(n-1). On Windows: ldisp.dll, ldisp2.dll, gdisp.dll, standard-call,
 * each function also under its decorated name (_PdsOpen@0, _PdsWrite@8,
 * _PdsClose@0).
 */
#ifndef PINK_PDS_H
#define PINK_PDS_H

#include <stdint.h>

#if defined(_WIN32)
#define PDS_CALL __stdcall
#define PDS_API
#else
#define PDS_CALL
#define PDS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  PDS_OPEN_FAILED = 0,
  PDS_OPENED = 1,
  PDS_ALREADY_OPEN = 2,
  PDS_WRITE_REFUSED = 0,
  PDS_WRITTEN = 1,
  PDS_CLOSED = 1
};

typedef int32_t(PDS_CALL* PdsOpenFn)(void);
typedef int32_t(PDS_CALL* PdsCloseFn)(void);
/* ldisp's PdsWrite. */
typedef int32_t(PDS_CALL* PdsRawWriteFn)(const char* text, int32_t length);
/* ldisp2's and gdisp's PdsWrite. */
typedef int32_t(PDS_CALL* PdsLineWriteFn)(int32_t line, const char* text);

#if defined(PDS_LIBRARY_LDISP) + defined(PDS_LIBRARY_LDISP2) + defined(PDS_LIBRARY_GDISP) > 1
#error "define only one of PDS_LIBRARY_LDISP, PDS_LIBRARY_LDISP2, PDS_LIBRARY_GDISP"
#endif

#if defined(PDS_LIBRARY_LDISP) || defined(PDS_LIBRARY_LDISP2) || defined(PDS_LIBRARY_GDISP)
PDS_API int32_t PDS_CALL PdsOpen(void);
PDS_API int32_t PDS_CALL PdsClose(void);
#endif
#if defined(PDS_LIBRARY_LDISP)
PDS_API int32_t PDS_CALL PdsWrite(const char* text, int32_t length);
#elif defined(PDS_LIBRARY_LDISP2) || defined(PDS_LIBRARY_GDISP)
PDS_API int32_t PDS_CALL PdsWrite(int32_t line, const char* text);
#endif

#ifdef __cplusplus
}
#endif

#endif
