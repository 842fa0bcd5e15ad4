/* msgcall: the message sending client's plain calls.
 *
 * Sends MMS/SMS messages (a subject, a text and up to three attached files)
 * through the messaging provider's servers. Texts are NUL-terminated cp949;
 * a null text counts as empty. The last argument of each call receives the
 * result, which is also returned (it may be null).
 *
 *   int32_t ret;
 *   MMSSend("20240131-0001", "M", "user01", "dept01", "01012345678", "0212345678",
 *           "Receipt", "Thank you", "2024013112000000", "c:\\receipt.jpg", "", "", &ret);
 *   if (ret != 1) ... not accepted ...
 *
 *   int32_t s;
 *   MMSConnect(&s);                              // -1: no server reachable
 *   MMSSendDongbo(s, 1, 0, ... first ..., &ret);  // logs in; more follow
 *   MMSSendDongbo(s, 0, 1, ... last ..., &ret);   // the last one
 *   MMSClose(s, &ret);
 *
 * Results of MMSSend and MMSSendDongbo: 1 accepted; -1 no server reachable
 * (MMSSend); -2 the login was not sent whole; -3 its reply was not received
 * whole; -4 the header was not sent whole; -5 the text was not sent whole or
 * is 10000 bytes or longer (then nothing of the message is sent); -6 an
 * attached file failed (no "." in its path, unreadable, not sent); -7 the
 * result was not received whole; any other value is the provider's refusal
 * byte as a signed 8-bit value (257 for a refusal byte 0x01). Every failure
 * of MMSSendDongbo, and a refused login, closes the connection; a refused
 * message leaves it open.
 *
 * Servers: msgcall.ini beside the library, section [provider], keys
 * primary, secondary (host or host:port) and port (default 7744); the
 * variables PINK_MSG_PRIMARY and PINK_MSG_SECONDARY override them. Without
 * settings: 127.0.0.1, then localhost. Day log: C:\TEMP\MMSyyyymmdd.LOG on
 * Windows, $PINK_MSG_LOGDIR (default /tmp)/MMSyyyymmdd.LOG on Linux.
 *
 * Linux: libmsgcall.so. Windows: msgcall.dll, standard-call, each function
 * also under its decorated name (_MMSSend@52 ...).
 */
#ifndef PINK_MSGCALL_H
#define PINK_MSGCALL_H

#include <stdint.h>

#if defined(_WIN32)
#define MSGCALL_CALL __stdcall
#else
#define MSGCALL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

int32_t MSGCALL_CALL MMSSend(const char* seq_no, const char* type, const char* user_code,
                             const char* dept_code, const char* call_phone, const char* req_phone,
                             const char* subject, const char* call_message, const char* rdatetime,
                             const char* file_path1, const char* file_path2, const char* file_path3,
                             int32_t* ret);
/* The connection's identifier (positive), or -1 when no server was reached. */
int32_t MSGCALL_CALL MMSConnect(int32_t* socket_id);
/* Closes a connection from MMSConnect. Always 0. */
int32_t MSGCALL_CALL MMSClose(int32_t socket_id, int32_t* ret);
/* first == 1: log in first; last == 1: the last message of the connection. */
int32_t MSGCALL_CALL MMSSendDongbo(int32_t socket_id, int32_t first, int32_t last, const char* seq_no,
                                   const char* type, const char* user_code, const char* dept_code,
                                   const char* call_phone, const char* req_phone, const char* subject,
                                   const char* call_message, const char* rdatetime,
                                   const char* file_path1, const char* file_path2,
                                   const char* file_path3, int32_t* ret);

#ifdef __cplusplus
}
#endif

#endif
