// The network link library bound by file name ("CorvanaVAN"): loaded at the
// first call into it, each entry point looked up at its first call, as the
// exports are declared by the library (standard-call on Windows, 16-bit
// lengths, ports and waits).
#include "payment/corvana/message.h"
#include "payment/corvana/network.h"
#include "platform/dynlib.h"
#include "platform/export.h"
#include "platform/failure.h"

namespace pink::corvana {
namespace {

using StartDllFn = std::int32_t(PINK_CALL*)();
using StopDllFn = std::int32_t(PINK_CALL*)();
using ServerConnectFn = std::int32_t(PINK_CALL*)(const char* ip, std::int16_t port);
using ServerSendDataFn = std::int32_t(PINK_CALL*)(const char* data, std::int16_t length);
using ServerReceiveDataFn = std::int32_t(PINK_CALL*)(char* buffer, std::int16_t wait);
using ServerCloseFn = std::int32_t(PINK_CALL*)();
using MakeArcFn = std::int32_t(PINK_CALL*)(const char* data, std::int16_t length, char* out);

constexpr std::string_view kLibrary = "CorvanaVAN";

class CorvanaVan final : public Network {
 public:
  std::int32_t start_dll() override { return entry<StartDllFn>("StartDLL")(); }
  std::int32_t stop_dll() override { return entry<StopDllFn>("StopDLL")(); }

  std::int32_t server_connect(const std::string& ip, std::int16_t port) override {
    return entry<ServerConnectFn>("ServerConnect")(ip.c_str(), port);
  }

  std::int32_t server_send_data(std::string_view bytes) override {
    const std::int16_t length = short_length(bytes.size());
    return entry<ServerSendDataFn>("ServerSendData")(bytes.data(), length);
  }

  std::int32_t server_receive_data(std::span<std::uint8_t> buffer, std::int16_t wait) override {
    if (buffer.size() < kReceiveBufferSize) {
      throw Failure(Err::InternalError, describe(Err::InternalError), "receive buffer too small");
    }
    return entry<ServerReceiveDataFn>("ServerReceiveData")(reinterpret_cast<char*>(buffer.data()),
                                                           wait);
  }

  std::int32_t server_close() override { return entry<ServerCloseFn>("ServerClose")(); }

  std::array<char, 4> make_arc(std::string_view bytes) override {
    const std::int16_t length = short_length(bytes.size());
    // The library writes exactly four digits; a spare zero behind them costs nothing.
    char out[5] = {};
    entry<MakeArcFn>("make_arc")(bytes.data(), length, out);
    return {out[0], out[1], out[2], out[3]};
  }

 private:
  template <typename Fn>
  Fn entry(const char* name) {
    if (!lib_) {
      auto loaded = dynlib::load(kLibrary);
      if (!loaded) {
        const std::string& why = loaded.why();
        throw Failure(Err::FileNotFound, describe(Err::FileNotFound),
                      "File not found: " + dynlib::file_name(kLibrary) +
                          (why.empty() ? "" : ": " + why));
      }
      lib_ = std::move(*loaded);
    }
    auto fn = lib_->function<Fn>(name);
    if (fn == nullptr) {
      throw Failure(Err::EntryPointNotFound, describe(Err::EntryPointNotFound),
                    std::string("Can't find DLL entry point ") + name + " in " + lib_->path());
    }
    return fn;
  }

  std::unique_ptr<dynlib::Library> lib_;
};

}  // namespace

std::unique_ptr<Network> bind_corvanavan() { return std::make_unique<CorvanaVan>(); }

}  // namespace pink::corvana
