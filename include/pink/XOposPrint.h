/* XOposPrint: the text edit library of the print spoolers.
 *
 * EditText takes one body line followed by CR LF (NUL-terminated cp949) and
 * writes the bytes to print in its place into the caller's 100-byte buffer,
 * which the caller fills with blanks and ends with a NUL beforehand. The
 * caller takes the buffer's text up to its first NUL (at most 100 bytes) and
 * removes leading and trailing blanks.
 *
 *   char buffer[101];
 *   memset(buffer, ' ', 100);
 *   buffer[100] = '\0';
 *   if (EditText("Total 1,000\r\n", buffer, 0) == 0) { ... print buffer ... }
 *
 * The suite ships a stand-in that copies the line unchanged (at most 100
 * bytes, no NUL written) and returns 0; a terminal may carry its own editing
 * library under the same name. On Linux: libXOposPrint.so; on Windows:
 * XOposPrint.dll, standard-call.
 */
#ifndef PINK_XOPOSPRINT_H
#define PINK_XOPOSPRINT_H

#include <stdint.h>

#if defined(_WIN32)
#define XOPOSPRINT_CALL __stdcall
#else
#define XOPOSPRINT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 0: the edited text is in `output`; any other value: the line could not be
 * edited (the stand-in gives -1 for a null pointer). `mode` is 0. */
int32_t XOPOSPRINT_CALL EditText(const char* input, char* output, int32_t mode);

#ifdef __cplusplus
}
#endif

#endif
