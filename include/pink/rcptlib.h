/* rcptlib: the receipt printer library.
 *
 * One printer connection at a time, over a serial port ("COM1"...), a plain
 * device or the parallel port ("LPT1", any path), the USB printer ("USB...")
 * or a network printer on TCP port 9100 (OpenTcpip with a dotted IPv4
 * address). Text passes through unchanged: the caller embeds the printer's
 * control codes and line ends.
 *
 *   if (OpenPort("COM1", 9600) == -1) { ... not available ... }
 *   PrintString("Hello\r\n");
 *   PrintBitmap("logo.bmp", 1, 0);
 *   ClosePort();
 *
 * On Linux: librcptlib.so; COMn is $PINK_COMn or /dev/ttyS(n-1), LPT1 is
 * $PINK_LPT1 or /dev/lp0, the USB printer is found under $PINK_SYSFS (/sys)
 * and opened under $PINK_DEVROOT (/dev). On Windows: rcptlib.dll, standard-call.
 */
#ifndef PINK_RCPTLIB_H
#define PINK_RCPTLIB_H

#include <stdint.h>

#if defined(_WIN32)
#define RCPTLIB_CALL __stdcall
#else
#define RCPTLIB_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 0 opened, -1 failed. The baud rate (1200 ... 115200) is used for serial ports only. */
int32_t RCPTLIB_CALL OpenPort(const char* port_name, int32_t baud);
/* Closes the connection of the current kind. Always 0. */
int32_t RCPTLIB_CALL ClosePort(void);
/* 0 connected, -1 failed (no host-name lookup). */
int32_t RCPTLIB_CALL OpenTcpip(const char* ipv4_address);
int32_t RCPTLIB_CALL CloseTcpip(void);
/* Prints NUL-terminated cp949 text. Always 0. */
int32_t RCPTLIB_CALL PrintString(const char* text);
int32_t RCPTLIB_CALL PrintStringTcpip(const char* text);
/* Prints `length` bytes as given, 00 bytes included. Always 0. */
int32_t RCPTLIB_CALL PrintBytes(const char* bytes, int32_t length);
/* Prints a BMP file as a downloaded bit image. justification: 0 left,
 * 2 right, other centre; size_mode 1..3 (other: normal). Always 0. */
int32_t RCPTLIB_CALL PrintBitmap(const char* bmp_file, int32_t justification, int32_t size_mode);
int32_t RCPTLIB_CALL PrintBitmapTcpip(const char* bmp_file, int32_t justification,
                                      int32_t size_mode);

/* The standard in-process server entry points. The library defines no
 * classes: registration registers nothing and reports success (0). */
int32_t RCPTLIB_CALL DllCanUnloadNow(void);
int32_t RCPTLIB_CALL DllGetClassObject(const void* clsid, const void* iid, void** object);
int32_t RCPTLIB_CALL DllRegisterServer(void);

#ifdef __cplusplus
}
#endif

#endif
