/* CorvanaVAN: the payment network link library.
 *
 * Card-payment messages travel between the POS side and the payment network
 * over an SSL link. The library offers step-by-step primitives (StartDLL,
 * ServerConnect, ServerSendData, ServerReceiveData, ServerClose, StopDLL),
 * whole exchanges that connect, run the network's control-byte exchange
 * (ENQ 05, ACK 06, NAK 15, EOT 04, EM 19), close and hand back the answer in
 * one call, the message checksum and the PIN blocks.
 *
 *   char response[4096];
 *   int n = SSL_ConnRcvSnd("10.0.0.5", 7001, request, request_length, response, 45);
 *   if (n > 0) { ... the last response, n bytes, as received ... }
 *
 * Texts are zero-terminated cp949. "short" arguments are 16-bit values; a
 * port passed as a short is read as unsigned (0 to 65535).
 * Transport goes through the SSL client library ssllib32 (libssllib32.so
 * beside the program or on the library path; ssllib32.dll on Windows),
 * bound by name at the first network call. There is one link per process:
 * one exchange at a time, and a step-by-step link is finished with
 * ServerClose before a whole exchange is started.
 *
 * Every call runs in the current folder: StartDLL reads and writes
 * "corvana.ini" there, and the user exchange with its log flag set appends
 * to the day trace log "CRVyyyymmdd.log" there.
 *
 * On Linux: libCorvanaVAN.so; on Windows: CorvanaVAN.dll, standard-call,
 * plain export names.
 */
#ifndef PINK_CORVANAVAN_H
#define PINK_CORVANAVAN_H

#if defined(_WIN32)
#define CORVANAVAN_CALL __stdcall
#define CORVANAVAN_VISIBLE
#elif defined(__GNUC__)
#define CORVANAVAN_CALL
#define CORVANAVAN_VISIBLE __attribute__((visibility("default")))
#else
#define CORVANAVAN_CALL
#define CORVANAVAN_VISIBLE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Reads [COMM_PORT] PORT of "corvana.ini" in the current folder (at most its
 * first three characters, as a decimal number); when that is 0 or absent,
 * writes PORT=1 and returns 1. Loads and keeps the SSL libraries. */
int CORVANAVAN_CALL StartDLL(void);
/* Releases the libraries StartDLL loaded. Always 1. */
int CORVANAVAN_CALL StopDLL(void);

/* 1 connected; -1 socket connect failed (also for a null ip); -2 SSL session
 * failed. */
int CORVANAVAN_CALL ServerConnect(const char* ip, short port);
/* The result of the SSL send: negative on failure; -1 without sending for a
 * null `data` or a negative length. */
int CORVANAVAN_CALL ServerSendData(const char* data, short length);
/* `buffer` holds at least 1025 bytes. 0 when nothing arrived within the wait
 * (the buffer is left alone) and for a null buffer; else the count received
 * (at most 1024, with a zero byte stored behind the data), 0 or negative when
 * the link failed. */
int CORVANAVAN_CALL ServerReceiveData(char* buffer, short wait);
/* Closes the link. Always 1. */
int CORVANAVAN_CALL ServerClose(void);

/* Whole exchanges. `response` holds 4096 bytes and receives the last
 * response as received. Result: the length of the last response (EOT came
 * after it); -1 connect failed or EOT before any response; -2 SSL start-up
 * failed; -3 sending the request failed; -4 NAK received; -5 sending ACK
 * failed; -6 receive failed; -7 wait expired. On -3 to -7 the first four
 * bytes of `response` are zero; on -1 and -2 it is untouched. A null ip,
 * request or response gives -1 with nothing connected.
 * SSL_NewConnRcvSnd sends ACK and EM as four bytes each. */
int CORVANAVAN_CALL SSL_ConnRcvSnd(const char* ip, short port, const char* request,
                                   short request_length, char* response, short wait);
int CORVANAVAN_CALL SSL_NewConnRcvSnd(const char* ip, short port, const char* request,
                                      short request_length, char* response, short wait);

/* The same exchange with port, request length and wait as decimal texts
 * (leading digits, at most nine). With `log_flag` not 0 every step goes to
 * the day trace log. Returns a newly allocated copy of the last response,
 * with a zero byte behind it, or null (no response, or a failure). The
 * caller releases the block with CRV_FreeBlock (or with free() when it
 * shares the library's C runtime, as on Linux). */
char* CORVANAVAN_CALL SSL_UserConnRcvSnd(const char* ip, const char* port, const char* request,
                                         const char* request_length, const char* wait,
                                         short log_flag);

/* The plain exchange, without control bytes: send the request, wait, receive
 * once into `response` (4096 bytes). The received length; -1 connect failed;
 * -2 SSL session failed; -3 send failed; -4 receive failed; -5 wait expired.
 * A null ip, request or response gives -1 with nothing connected. */
int CORVANAVAN_CALL CRV_ConnSndRcv(const char* ip, short port, const char* request,
                                   short request_length, char* response);

/* CRC-16/ARC of the first `length` bytes as four upper-case hexadecimal
 * digits into `output` (no terminating zero). Always 0; a null `output`
 * receives nothing, null `data` counts as no bytes. */
int CORVANAVAN_CALL make_arc(const char* data, short length, char* output);
/* The same with the length as decimal text; a newly allocated block of the
 * four digits and a zero byte (null when memory runs out), released with
 * CRV_FreeBlock or free() as above. */
char* CORVANAVAN_CALL user_make_arc(const char* data, const char* length);

/* The PIN (its first four characters) encrypted under the library's fixed
 * key, as 16 hexadecimal digits into `output` (no terminating zero). 16;
 * 0 with nothing written when `pin` or `output` is null. */
int CORVANAVAN_CALL EncryptPin(const char* pin, char* output);
/* ISO 9564-1 format 0 PIN block of card number and PIN, encrypted under the
 * working key (16 hexadecimal digits, encrypted under the master key that
 * the two-digit key index selects), as 16 digits into `output` (no
 * terminating zero). 1; 0 with `output` untouched when a text is null or
 * empty, the PIN has more than nine digits, the card number has a blank
 * among its first twelve characters (or, with no blank among its first 16,
 * fewer than 15 characters), the key index more than two characters or the
 * working key more than 16 digits. */
int CORVANAVAN_CALL EncPinData(const char* card_number, const char* pin, const char* key_index,
                               const char* working_key, char* output);

/* Releases a block returned by SSL_UserConnRcvSnd or user_make_arc (null is
 * ignored). */
void CORVANAVAN_CALL CRV_FreeBlock(void* block);

/* Left over from the library's project template; nothing uses them. */
int CORVANAVAN_CALL fnCorvanaVAN(void); /* 42 */
extern CORVANAVAN_VISIBLE int nCorvanaVAN; /* 0 (on Windows: GetProcAddress) */

#ifdef __cplusplus
}

/* Left over from the project template as well: one integer field, a
 * constructor that does nothing and a member-wise assignment. */
class CORVANAVAN_VISIBLE CCorvanaVAN {
 public:
  CCorvanaVAN();
  CCorvanaVAN& operator=(const CCorvanaVAN& other);
  int m_value;
};
#endif

#endif
