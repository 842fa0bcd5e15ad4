// The exported functions of CorvanaVAN: thin shells over api.h. Standard-call
// on Windows with plain names (CorvanaVAN.def), default visibility on Linux.
#include "pink/CorvanaVAN.h"

#include "payment/corvanavan/api.h"
#include "platform/export.h"

namespace api = pink::corvanavan::api;

PINK_EXPORT int PINK_CALL StartDLL() { return api::start_dll(); }
PINK_EXPORT int PINK_CALL StopDLL() { return api::stop_dll(); }

PINK_EXPORT int PINK_CALL ServerConnect(const char* ip, short port) {
  return api::server_connect(ip, port);
}
PINK_EXPORT int PINK_CALL ServerSendData(const char* data, short length) {
  return api::server_send_data(data, length);
}
PINK_EXPORT int PINK_CALL ServerReceiveData(char* buffer, short wait) {
  return api::server_receive_data(buffer, wait);
}
PINK_EXPORT int PINK_CALL ServerClose() { return api::server_close(); }

PINK_EXPORT int PINK_CALL SSL_ConnRcvSnd(const char* ip, short port, const char* request,
                                         short request_length, char* response, short wait) {
  return api::ssl_conn_rcv_snd(ip, port, request, request_length, response, wait);
}
PINK_EXPORT int PINK_CALL SSL_NewConnRcvSnd(const char* ip, short port, const char* request,
                                            short request_length, char* response, short wait) {
  return api::ssl_new_conn_rcv_snd(ip, port, request, request_length, response, wait);
}
PINK_EXPORT char* PINK_CALL SSL_UserConnRcvSnd(const char* ip, const char* port,
                                               const char* request, const char* request_length,
                                               const char* wait, short log_flag) {
  return api::ssl_user_conn_rcv_snd(ip, port, request, request_length, wait, log_flag);
}
PINK_EXPORT int PINK_CALL CRV_ConnSndRcv(const char* ip, short port, const char* request,
                                         short request_length, char* response) {
  return api::crv_conn_snd_rcv(ip, port, request, request_length, response);
}

PINK_EXPORT int PINK_CALL make_arc(const char* data, short length, char* output) {
  return api::make_arc(data, length, output);
}
PINK_EXPORT char* PINK_CALL user_make_arc(const char* data, const char* length) {
  return api::user_make_arc(data, length);
}
PINK_EXPORT int PINK_CALL EncryptPin(const char* pin, char* output) {
  return api::encrypt_pin(pin, output);
}
PINK_EXPORT int PINK_CALL EncPinData(const char* card_number, const char* pin,
                                     const char* key_index, const char* working_key,
                                     char* output) {
  return api::enc_pin_data(card_number, pin, key_index, working_key, output);
}

PINK_EXPORT void PINK_CALL CRV_FreeBlock(void* block) { api::free_block(block); }

// Left over from the project template; nothing uses them.
PINK_EXPORT int PINK_CALL fnCorvanaVAN() { return 42; }
int nCorvanaVAN = 0;  // C name and visibility from the header's declaration

CCorvanaVAN::CCorvanaVAN() {}
CCorvanaVAN& CCorvanaVAN::operator=(const CCorvanaVAN& other) = default;
