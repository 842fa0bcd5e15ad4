/* ssllib32: the TLS client library the payment library binds to by name.
 *
 * Seven plain C calls (standard-call on Windows): connect a TCP socket, start
 * a TLS session on it, wait for data, receive, send, close. Built on OpenSSL
 * as libssllib32.so on Linux, and on the Windows TLS stack (SChannel) as
 * ssllib32.dll for terminals that do not carry an ssllib32.dll of their own
 * (the terminal's own library stays the default; this one is a drop-in).
 *
 * The server is always verified: TLS 1.2 or later; trust anchors from
 * $PINK_TLS_CAFILE (a PEM bundle; only those anchors are trusted then), else
 * from key CAFile of section [ssllib32] in "ssllib32.ini" beside the library
 * (relative to the library's folder), else the system trust store; the
 * certificate must be issued to the IPv4 address connected to, or to the host
 * name in $PINK_TLS_PEERNAME (else key PeerName of the same section) when one
 * is set (also sent as SNI). The settings are read at every session start.
 *
 *   int s = sock_connect("127.0.0.1", 4433);          // < 0: failed
 *   int t = SSL_StartUp(&s);                           // 0: failed (socket closed)
 *   if (SSL_SelectTimeOut(s, 45) > 0) n = SSL_RecvData(t, buf, 4096);
 *   SSL_SendData(t, request, len);
 *   SSL_Close(t, s);
 *
 * Socket handles are 1..65535, SSL handles 65537..131071 (plain ints on every
 * platform; the system's sockets stay inside the library); a handle of the
 * wrong kind, a closed one or one never handed out is "bad". No call crashes
 * on bad handles, null pointers or negative sizes; each returns its failure
 * value. One connection must not be used from two threads at once (calls on
 * it wait for each other); different connections are independent.
 */
#ifndef PINK_SSLLIB32_H
#define PINK_SSLLIB32_H

#if defined(_WIN32)
#define SSLLIB32_CALL __stdcall
#else
#define SSLLIB32_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a TCP connection to a dotted IPv4 address (no name lookup), waiting
 * at most 30 s. The socket handle (> 0), or -1 bad arguments (null or not a
 * dotted IPv4 address, port outside 1..65535), -2 the connection failed,
 * -3 too many open connections (256). */
int SSLLIB32_CALL sock_connect(const char* ip, int port);

/* Runs the TLS client handshake on the socket (at most 30 s) and verifies the
 * server. The SSL handle (nonzero), or 0 on failure: a null pointer or bad
 * socket handle, or a failed handshake or verification, in which case the
 * socket is closed and its handle let go (nothing is left to close). When the
 * socket already carries a session its SSL handle is returned again. The two
 * calls are the same. */
int SSLLIB32_CALL SSL_StartUp(int* socket_handle);
int SSLLIB32_CALL SSL_StartClient(int* socket_handle);

/* Waits up to `wait` SECONDS (0: just look) until SSL_RecvData has something
 * to report: 1 data can be read (or the peer closed), 0 the wait expired,
 * -1 bad handle, negative wait or failed session. Data already decrypted and
 * buffered counts as readable. */
int SSLLIB32_CALL SSL_SelectTimeOut(int socket_handle, int wait);

/* Reads what has arrived, at most `size` bytes (waiting up to 60 s when
 * nothing has): the count, 0 the peer ended the session, -1 failure, time-out,
 * bad handle, null buffer or size <= 0. */
int SSLLIB32_CALL SSL_RecvData(int ssl_handle, char* buf, int size);

/* Sends `len` bytes (all of them, within 60 s): the count, 0 for len 0, -1
 * failure, bad handle, negative len or a null pointer with len > 0. */
int SSLLIB32_CALL SSL_SendData(int ssl_handle, const char* data, int len);

/* Ends the session (close_notify) and closes the socket; either handle may be
 * 0 or bad, and the connection of each good one is closed. Always 0. */
int SSLLIB32_CALL SSL_Close(int ssl_handle, int socket_handle);

#ifdef __cplusplus
}
#endif

#endif
