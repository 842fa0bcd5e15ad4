// The wrapper around EditText shared by every spooler.
#include "textedit/textedit.h"

#include <algorithm>
#include <vector>

#include "platform/dynlib.h"

namespace pink::textedit {
namespace {

// Room behind the buffer's NUL. The library is only told about 100 bytes,
// but an outside library that writes a little past them must land in memory
// of ours rather than in someone else's.
constexpr std::size_t kGuardSize = 4096;

std::string error_text() { return std::string(kErrorText); }

// One call of EditText for `line`. May throw (allocation); the callers catch.
std::string call_edit_text(EditTextFn function, std::string_view line) {
  // A line holding a 00 byte ends there for the library: its input is a C
  // string.
  std::string input(line);
  input += "\r\n";

  // The library sees kBufferSize blanks and a NUL; the guard region behind
  // stays zero.
  std::vector<char> buffer(kBufferSize + 1 + kGuardSize, '\0');
  std::fill_n(buffer.begin(), kBufferSize, ' ');

  if (function(input.c_str(), buffer.data(), 0) != 0) return error_text();

  // The text runs to the first NUL, and never beyond the 100 bytes, whatever
  // the library did to the terminator.
  const char* text = buffer.data();
  std::size_t end = 0;
  while (end < kBufferSize && text[end] != '\0') ++end;
  std::size_t begin = 0;
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return std::string(text + begin, end - begin);
}

}  // namespace

Binding::Binding(std::string library_name) : library_name_(std::move(library_name)) {}

Binding::Binding(EditTextFn function) noexcept : function_(function), bound_(true) {}

Binding::~Binding() = default;

void Binding::bind() noexcept {
  bound_ = true;
  ++load_attempts_;
  try {
    auto loaded = dynlib::load(library_name_);
    if (!loaded) {
      load_error_ = loaded.why().empty() ? dynlib::file_name(library_name_) + ": not loaded" : loaded.why();
      return;
    }
    library_ = std::move(*loaded);
    function_ = library_->function<EditTextFn>(kFunctionName);
    if (function_ == nullptr) load_error_ = library_->path() + ": no " + std::string(kFunctionName);
  } catch (...) {
    function_ = nullptr;
    library_.reset();
  }
}

std::string Binding::edit(std::string_view line) noexcept {
  try {
    if (!bound_) bind();
    if (function_ == nullptr) return error_text();
    return call_edit_text(function_, line);
  } catch (...) {
    return error_text();
  }
}

Binding& process_binding() {
  // Kept until the process ends: the library stays loaded for every job.
  static Binding binding{std::string(kLibraryName)};
  return binding;
}

std::string edit(std::string_view line) noexcept {
  try {
    return process_binding().edit(line);
  } catch (...) {
    return error_text();
  }
}

}  // namespace pink::textedit
