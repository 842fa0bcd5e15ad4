/* drawerio and cashbox: the cash drawer libraries, one per terminal family.
 *
 * Each library holds one process-wide handle to its family's drawer device.
 * Call the open function once, then the open-drawer and status functions
 * any number of times, then the close function; from one thread.
 *
 *   if (OpenDrawPort() == 1) {        -- or OpenCBX()
 *     OpenDraw();                     -- 1: the drawer's release was pulsed
 *     int s = GetDrawStatus();        -- the status byte, 0 when refused
 *     CloseDrawPort();
 *   }
 *
 * On Linux: libdrawerio.so and libcashbox.so. On Windows: drawerio.dll and
 * cashbox.dll; every function is standard-call, exported under its plain and
 * its decorated name (_OpenDrawPort@0 ...).
 *
 * Results
 *   open        1 opened; 0 failed (no such device). An earlier handle of the
 *               same library is closed first.
 *   open-drawer runs the family's whole sequence of requests with its waits
 *               (about 40 ms for drawerio, 35 ms for cashbox) and returns 1
 *               when the LAST request was accepted, 0 when it was refused;
 *               a refused request in the middle does not stop the sequence.
 *   status      the status byte as the device gives it (0 .. 255); 0 when
 *               the request is refused, so a byte of 0 and a refusal look
 *               alike.
 *   close       1 closed; 0 when nothing was open.
 *   Before a successful open every request is refused: open-drawer and
 *   status give 0 (open-drawer still takes its waits).
 *
 * ---------------------------------------------------------------------------
 * The drawer device on Linux
 *
 * No kernel driver exists for these drawers on Linux. A device is a
 * Unix-domain stream socket named after the Windows device without its
 * "\\.\" prefix, in the folder $PINK_DRAWERDIR (default /run/pink):
 *
 *   drawerio   $PINK_DRAWERDIR/TevDraw2kKwDev
 *   cashbox    $PINK_DRAWERDIR/DovCBXDev
 *
 * The open connects to the socket (a missing socket is a device that is not
 * installed: the open fails) and the close closes the connection. A program
 * serving the socket (vdrawer, drawerd, or one of your own) answers every
 * request with one reply, in order. All fields are unsigned 32-bit
 * little-endian integers:
 *
 *   request   offset 0   code           the device-control code (below)
 *                    4   input length   number of input bytes that follow
 *                    8   output size    the most output bytes the caller takes
 *                   12   input bytes    (input length bytes)
 *
 *   reply     offset 0   accepted       1 accepted, 0 refused
 *                    4   output length  at most the output size
 *                    8   output bytes   (output length bytes)
 *
 * Input and output are at most 65536 bytes. The libraries count a request
 * as refused, and the connection as broken (every later request is refused
 * until the device is opened again), when the reply takes longer than
 * 3 seconds, when "accepted" is neither 0 nor 1, when the output length
 * exceeds the output size, when the connection ends, or when the server sends
 * bytes nobody asked for. A refusal should carry an output length of 0.
 *
 * Requests, family by family (drive input: 5 bytes; status input: 4 zero
 * bytes, output size 1, the reply carries the status byte):
 *
 *   drawerio   drive input 00 00 00 00 10
 *     0x9C407C00  status        read the status byte
 *     0x9C40BC04  release-off   de-energise the drawer's release
 *     0x9C40BC08  release-on    energise the release
 *     open-drawer: release-off; 10 ms; release-on; 30 ms; release-off
 *
 *   cashbox    drive input 00 00 00 00 04
 *     0xA0287800  status        read the status byte
 *     0xA028B80C  arm           enable the release driver
 *     0xA028B804  release-off   de-energise the release
 *     0xA028B808  release-on    energise the release
 *     0xA028B810  disarm        disable the release driver
 *     open-drawer: arm; release-off; 5 ms; release-on; 30 ms; release-off;
 *                  disarm
 *
 * A release energised for 25 ms or more lets the drawer spring open.
 *
 * Status byte, as the servers of this suite set it (the libraries hand the
 * byte on without looking at it):
 */
#ifndef PINK_DRAWER_H
#define PINK_DRAWER_H

#include <stdint.h>

/* bit 0: the drawer is open. */
#define PINK_DRAWER_STATUS_OPEN 0x01
/* bit 1: the release is energised right now (vdrawer; drawerd never sets it). */
#define PINK_DRAWER_STATUS_RELEASE 0x02
/* Bits 2 to 7 are 0 from the suite's servers; a server for other hardware may
 * use them for its own purposes. */

/* The folder of the sockets when $PINK_DRAWERDIR is not set. */
#define PINK_DRAWER_DEFAULT_DIR "/run/pink"

#if defined(_WIN32)
#define DRAWER_CALL __stdcall
#else
#define DRAWER_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* drawerio (libdrawerio.so, drawerio.dll) */
int32_t DRAWER_CALL OpenDrawPort(void);
int32_t DRAWER_CALL OpenDraw(void);
int32_t DRAWER_CALL GetDrawStatus(void);
int32_t DRAWER_CALL CloseDrawPort(void);

/* cashbox (libcashbox.so, cashbox.dll) */
int32_t DRAWER_CALL OpenCBX(void);
int32_t DRAWER_CALL Trigger(void);
int32_t DRAWER_CALL GetStatus(void);
int32_t DRAWER_CALL CloseCBX(void);

#ifdef __cplusplus
}
#endif

#endif
