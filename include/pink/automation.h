/* automation.h: the suite's automation objects for Linux callers.
 *
 * On Windows the suite's message sending object and signature pad controls
 * are COM objects reached through IDispatch. On Linux the same objects, with
 * the same members, DISPIDs, argument types and results, are created and
 * called through this C interface, implemented by libpinkauto.so:
 *
 *   pink_object* o = pink_create("msgcall.MSGCALLMSG");    NULL: unknown ProgID
 *   int32_t id = pink_dispid(o, "MMSConnect");              -1: no such member
 *   pink_value sock = {PINK_I4, 0, NULL, NULL, 0, 1};       byref: an out-argument
 *   pink_value r;
 *   if (pink_invoke(o, id, PINK_METHOD, &sock, 1, &r) == 0)
 *     printf("socket %d\n", sock.num);                      also r.num
 *   pink_release(o);
 *
 * The same from Python with ctypes:
 *
 *   import ctypes
 *   class Value(ctypes.Structure):
 *       _fields_ = [("type", ctypes.c_int32), ("num", ctypes.c_int32),
 *                   ("str", ctypes.c_char_p), ("bytes", ctypes.POINTER(ctypes.c_uint8)),
 *                   ("len", ctypes.c_int32), ("byref", ctypes.c_int32)]
 *   auto = ctypes.CDLL("libpinkauto.so")
 *   auto.pink_create.restype = ctypes.c_void_p
 *   auto.pink_create.argtypes = [ctypes.c_char_p]
 *   auto.pink_dispid.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
 *   auto.pink_invoke.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
 *                                ctypes.POINTER(Value), ctypes.c_int32,
 *                                ctypes.POINTER(Value)]
 *   auto.pink_release.argtypes = [ctypes.c_void_p]
 *   o = auto.pink_create(b"msgcall.MSGCALLMSG")
 *   args = (Value * 13)()
 *   for i, text in enumerate(["0001", "M", "user", "dept", "01012345678", "01087654321",
 *                             "제목", "본문", "", "", "", ""]):
 *       args[i].type, args[i].str = 8, text.encode()       UTF-8
 *   args[12].type, args[12].byref = 3, 1                   nRetVal
 *   result = Value()
 *   auto.pink_invoke(o, auto.pink_dispid(o, b"MMSSend"), 1, args, 13, ctypes.byref(result))
 *   print(args[12].num, result.num)
 *   auto.pink_release(o)
 *
 * Values. Types are the VARIANT type numbers: short is PINK_I2, int and
 * long are PINK_I4, a string is PINK_STR, a bool PINK_BOOL (0 false, -1
 * true; any other number given counts as true), a byte array PINK_BYTES.
 * Strings cross as UTF-8 and are NUL-terminated; a NULL str is the empty
 * string. The objects hold text in the Korean code page (cp949) inside, as
 * the Windows objects turn their strings into it: a character without a
 * cp949 code arrives as '?'. A byte array is `len` bytes at `bytes`; NULL
 * bytes is allowed only with len 0.
 *
 * Arguments go in declaration order, as the member's documentation lists
 * them. Every out-argument, including the one that is also the member's
 * automation return value, is passed by reference in its place (byref
 * non-zero) and written by the call: num for numbers, str or bytes/len for
 * strings and arrays, pointing into memory the object owns. The call
 * replaces the pointer only; what the caller's str pointed to before stays
 * the caller's. An out-argument may be given with type PINK_EMPTY: the call
 * sets the type. In-arguments may be byref too; they are read, never written.
 *
 * pink_invoke converts as automation does: a PINK_I2 argument is taken for
 * an int/long parameter, and a PINK_I4 one for a short parameter when its
 * value is -32768..32767 (otherwise -3). A by-reference out-argument for a
 * short may be PINK_I4 (it is written as a number in range); one for a long
 * must be PINK_I4. Nothing else is converted.
 *
 * Results. pink_invoke returns
 *    0  done: the member ran (its own failures are in its results);
 *   -1  no member with that DISPID and kind (also a NULL object);
 *   -2  wrong argument count (also nargs < 0, and NULL args with nargs > 0);
 *   -3  an argument of the wrong type, or a number out of range;
 *   -4  the member could not run or hand its results back (the object ran
 *       out of memory); out-arguments may then be half written.
 * On -1 to -3 nothing ran and nothing is written back. `result` receives
 * the member's result (PINK_EMPTY for members without one, and after an
 * error); it may be NULL when the caller does not want it. Strings and byte arrays of results and
 * out-arguments stay owned by the object and valid until the object's next
 * pink_invoke, pink_pump or pink_release.
 *
 * Events fire through the one callback given to pink_advise, only from
 * inside pink_invoke or pink_pump, on the thread that called them: as a
 * control's events fire on its window's thread. The event's arguments (byref
 * 0, strings UTF-8) are valid during the callback. A callback may call the
 * object again (invoke, pump, even release: the object then goes when the
 * outermost call returns); results obtained inside a callback are valid
 * until the callback returns at the latest.
 *
 * The window's work. Objects with a serial port or a timer have work that
 * their window runs on Windows (received data, timers, deferred events).
 * pink_pump runs it on the caller's thread: it waits up to timeout_ms for
 * work (0: does not wait; negative counts as 0), runs what is due and
 * returns how many pieces of work it ran (-1 for a NULL object, or when the
 * work could not run for want of memory; what did not run stays due). pink_fd
 * gives a descriptor that polls readable while there is work, for a POS
 * event loop:
 *
 *   struct pollfd p = {pink_fd(o), POLLIN, 0};
 *   while (poll(&p, 1, -1) > 0) pink_pump(o, 0);
 *
 * The descriptor is the object's: poll, select or epoll it, never read,
 * write or close it. It is valid until pink_release.
 *
 * Threads. An object is called from one thread at a time (the one whose
 * loop pumps it); different objects are independent.
 *
 * Every function handles NULL pointers without a crash, with the results
 * given at each; none raises a signal or lets an exception out.
 */
#ifndef PINK_AUTOMATION_H
#define PINK_AUTOMATION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pink_object pink_object;

enum { PINK_EMPTY = 0, PINK_I2 = 2, PINK_I4 = 3, PINK_STR = 8, PINK_BOOL = 11,
       PINK_BYTES = 0x2011 };                 /* the VARIANT type numbers */

typedef struct pink_value {
  int32_t type;          /* PINK_* */
  int32_t num;           /* I2, I4, BOOL (0 false, -1 true) */
  const char* str;       /* STR: UTF-8, NUL-terminated; NULL counts as empty */
  const uint8_t* bytes;  /* BYTES */
  int32_t len;           /* BYTES: element count */
  int32_t byref;         /* non-zero: an out-argument; the call writes num (or str/bytes) */
} pink_value;

/* A new object of the class with this ProgID ("msgcall.MSGCALLMSG" or
 * "msgcall.MSGCALLMSG.1"; ASCII case does not matter). NULL: unknown ProgID
 * (also a NULL progid), or the object could not be made. */
pink_object* pink_create(const char* progid);

/* Ends the object and everything it owns. NULL: nothing happens. */
void pink_release(pink_object* o);

/* The DISPID of a member by name, ASCII case-insensitive (as automation
 * compares names); -1 when there is none (also NULL o or member). */
int32_t pink_dispid(pink_object* o, const char* member);

enum { PINK_METHOD = 1, PINK_GET = 2, PINK_PUT = 4 };
enum { PINK_OK = 0, PINK_E_MEMBER = -1, PINK_E_COUNT = -2, PINK_E_TYPE = -3,
       PINK_E_FAILED = -4 };

/* Calls a member: kind is PINK_METHOD, PINK_GET or PINK_PUT, or several of
 * them or-ed (the first row of the member that matches runs). Results as
 * described above: 0, -1, -2, -3, -4. */
int32_t pink_invoke(pink_object* o, int32_t dispid, int32_t kind,
                    pink_value* args, int32_t nargs, pink_value* result);

typedef void (*pink_event_fn)(void* ctx, int32_t dispid, const char* name,
                              const pink_value* args, int32_t nargs);

/* Sends the object's events to fn with ctx; NULL fn stops them. NULL o:
 * nothing happens. */
void pink_advise(pink_object* o, pink_event_fn fn, void* ctx);

/* Runs, on the caller's thread, what the object's window would run: received
 * data, timers, deferred events; waits up to timeout_ms for work; returns how
 * many it ran (-1 for a NULL object). */
int32_t pink_pump(pink_object* o, int32_t timeout_ms);

/* Readable when pink_pump has work; for POS event loops. -1 for NULL o. */
int pink_fd(pink_object* o);

/* Draws what the control's window shows now (pen points, status text) at the
 * given size into a PNG file (UTF-8 path); 0 done, -1 failed. Objects without
 * a window return -1, as do NULL o or path and sizes below 1. */
int32_t pink_snapshot(pink_object* o, const char* png_path, int32_t width, int32_t height);

#ifdef __cplusplus
}
#endif

#endif /* PINK_AUTOMATION_H */
