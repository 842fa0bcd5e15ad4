// What each export of the library does, with the exports' own argument types.
// The exported functions forward here one to one; nothing here throws.
// Every network step goes through transport() (ssllib32, or the transport a
// test puts in its place) and the process's one link.
#pragma once

namespace pink::corvanavan::api {

int start_dll() noexcept;
int stop_dll() noexcept;

int server_connect(const char* ip, short port) noexcept;
int server_send_data(const char* data, short length) noexcept;
int server_receive_data(char* buffer, short wait) noexcept;
int server_close() noexcept;

int ssl_conn_rcv_snd(const char* ip, short port, const char* request, short length,
                     char* response, short wait) noexcept;
int ssl_new_conn_rcv_snd(const char* ip, short port, const char* request, short length,
                         char* response, short wait) noexcept;
char* ssl_user_conn_rcv_snd(const char* ip, const char* port, const char* request,
                            const char* length, const char* wait, short log_flag) noexcept;
int crv_conn_snd_rcv(const char* ip, short port, const char* request, short length,
                     char* response) noexcept;

int make_arc(const char* data, short length, char* output) noexcept;
char* user_make_arc(const char* data, const char* length) noexcept;
int encrypt_pin(const char* pin, char* output) noexcept;
int enc_pin_data(const char* card_number, const char* pin, const char* key_index,
                 const char* working_key, char* output) noexcept;

// Releases a block the library handed out (null is ignored).
void free_block(void* block) noexcept;

// The number at the start of a text: the leading decimal digits among its
// first ten characters. 0 for a text that starts with no digit, for a text
// whose first ten characters are all digits, and for null.
int parse_leading_number(const char* text) noexcept;

}  // namespace pink::corvanavan::api
