#include "spoolers/rcptlib_binding.h"

#include "platform/dynlib.h"
#include "platform/export.h"
#include "platform/failure.h"

namespace pink::spoolers {
namespace {

using OpenPortFn = std::int32_t(PINK_CALL*)(const char*, std::int32_t);
using PrintBytesFn = std::int32_t(PINK_CALL*)(const char*, std::int32_t);
using PrintBitmapFn = std::int32_t(PINK_CALL*)(const char*, std::int32_t, std::int32_t);
using ClosePortFn = std::int32_t(PINK_CALL*)();

// The bitmap is centred (the text before it has just selected centring) and
// printed at normal size.
constexpr std::int32_t kCentre = 1;
constexpr std::int32_t kNormalSize = 0;

template <typename Fn>
Fn entry(const dynlib::Library& lib, const char* name) {
  auto fn = lib.function<Fn>(name);
  if (fn == nullptr) {
    throw Failure(Err::EntryPointNotFound,
                  std::string("Can't find DLL entry point ") + name + " in " + lib.path());
  }
  return fn;
}

class Rcptlib final : public ReceiptLibrary {
 public:
  explicit Rcptlib(std::unique_ptr<dynlib::Library> lib)
      : lib_(std::move(lib)),
        open_(entry<OpenPortFn>(*lib_, "OpenPort")),
        print_(entry<PrintBytesFn>(*lib_, "PrintBytes")),
        bitmap_(entry<PrintBitmapFn>(*lib_, "PrintBitmap")),
        close_(entry<ClosePortFn>(*lib_, "ClosePort")) {}

  std::int32_t open_port(const std::string& name, std::int32_t baud) override {
    return open_(name.c_str(), baud);
  }
  void print(std::string_view bytes) override {
    // The library splits long blocks itself; hand it at most what an int holds.
    constexpr std::size_t kMax = 0x40000000;
    for (std::size_t pos = 0; pos < bytes.size(); pos += kMax) {
      const auto piece = bytes.substr(pos, kMax);
      print_(piece.data(), static_cast<std::int32_t>(piece.size()));
    }
    if (bytes.empty()) print_("", 0);
  }
  void print_bitmap(const std::string& file) override {
    bitmap_(file.c_str(), kCentre, kNormalSize);
  }
  void close() override { close_(); }

 private:
  std::unique_ptr<dynlib::Library> lib_;
  OpenPortFn open_;
  PrintBytesFn print_;
  PrintBitmapFn bitmap_;
  ClosePortFn close_;
};

}  // namespace

std::unique_ptr<ReceiptLibrary> load_rcptlib() {
  auto lib = dynlib::load("rcptlib");
  if (!lib) {
    throw Failure(Err::FileNotFound, "File not found: " + dynlib::file_name("rcptlib"), lib.why());
  }
  return std::make_unique<Rcptlib>(std::move(*lib));
}

}  // namespace pink::spoolers
