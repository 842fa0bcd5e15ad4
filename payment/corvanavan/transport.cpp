// The ssllib32 binding: the library is loaded by its base name at the first
// transport call and kept for the life of the process. A library that cannot
// be loaded, or lacks a call, makes every step fail the way ssllib32 reports
// a failure (no connection, no session, nothing to read, nothing sent); the
// load is tried again at the next call.
#include "payment/corvanavan/transport.h"

#include <memory>
#include <string_view>

#include "platform/dynlib.h"

namespace pink::corvanavan {
namespace {

constexpr std::string_view kLibraryName = "ssllib32";

class Ssllib32 final : public Transport {
 public:
  int sock_connect(const char* ip, int port) override {
    return bind() ? sock_connect_(ip, port) : -1;
  }
  int ssl_startup(int* sock) override { return bind() ? startup_(sock) : 0; }
  int ssl_start_client(int* sock) override { return bind() ? start_client_(sock) : 0; }
  int select_timeout(int sock, int wait) override {
    return bind() ? select_(sock, wait) : 0;
  }
  int recv_data(int ssl, char* buffer, int size) override {
    return bind() ? recv_(ssl, buffer, size) : -1;
  }
  int send_data(int ssl, const char* data, int length) override {
    return bind() ? send_(ssl, data, length) : -1;
  }
  int close(int ssl, int sock) override { return bind() ? close_(ssl, sock) : 0; }

 private:
  // A standard-call library may name its calls plainly or in decorated form
  // ("_sock_connect@8"); the plain name is tried first.
  template <typename Fn>
  Fn resolve(const dynlib::Library& lib, std::string_view name, std::string_view decorated) {
    if (auto f = lib.function<Fn>(name)) return f;
    return lib.function<Fn>(decorated);
  }

  bool bind() {
    if (library_) return true;
    auto lib = dynlib::load(kLibraryName);
    if (!lib) return false;
    sock_connect_ = resolve<SockConnectFn>(**lib, "sock_connect", "_sock_connect@8");
    startup_ = resolve<SslStartFn>(**lib, "SSL_StartUp", "_SSL_StartUp@4");
    start_client_ = resolve<SslStartFn>(**lib, "SSL_StartClient", "_SSL_StartClient@4");
    select_ = resolve<SslSelectTimeOutFn>(**lib, "SSL_SelectTimeOut", "_SSL_SelectTimeOut@8");
    recv_ = resolve<SslRecvDataFn>(**lib, "SSL_RecvData", "_SSL_RecvData@12");
    send_ = resolve<SslSendDataFn>(**lib, "SSL_SendData", "_SSL_SendData@12");
    close_ = resolve<SslCloseFn>(**lib, "SSL_Close", "_SSL_Close@8");
    if (!sock_connect_ || !startup_ || !start_client_ || !select_ || !recv_ || !send_ ||
        !close_) {
      return false;
    }
    library_ = std::move(*lib);
    return true;
  }

  std::unique_ptr<dynlib::Library> library_;
  SockConnectFn sock_connect_ = nullptr;
  SslStartFn startup_ = nullptr;
  SslStartFn start_client_ = nullptr;
  SslSelectTimeOutFn select_ = nullptr;
  SslRecvDataFn recv_ = nullptr;
  SslSendDataFn send_ = nullptr;
  SslCloseFn close_ = nullptr;
};

Transport* g_replacement = nullptr;

}  // namespace

Transport& transport() {
  if (g_replacement != nullptr) return *g_replacement;
  static Ssllib32 ssllib32;
  return ssllib32;
}

void set_transport(Transport* replacement) noexcept { g_replacement = replacement; }

}  // namespace pink::corvanavan
