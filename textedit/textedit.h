// Binding to the outside text edit library "XOposPrint".
//
// The print spoolers hand every text line of a model-"8" job to the library's
// EditText and send what it gives back in place of the line, with no line end
// of their own. This is the one wrapper they all use: it loads the library by
// name at the first call, keeps it for the life of the process, and turns
// every kind of failure (no library, no function, a refused line, an
// exception) into the five letters "Error" that the printer then receives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace pink::dynlib {
class Library;
}

namespace pink::textedit {

// EditText(input, output, mode): input is the line with CR LF, NUL-terminated
// cp949; output is a 100-byte buffer of blanks followed by a NUL; mode is 0.
// 0 means success with the edited text in the buffer.
using EditTextFn = std::int32_t(PINK_CALL*)(const char* input, char* output, std::int32_t mode);

inline constexpr std::string_view kLibraryName = "XOposPrint";
inline constexpr std::string_view kFunctionName = "EditText";
// Size of the text buffer the library writes into (a NUL follows it).
inline constexpr std::size_t kBufferSize = 100;
// What a line becomes whenever editing fails.
inline constexpr std::string_view kErrorText = "Error";

// One way to reach EditText: a library loaded by base name at the first
// edit() (tried once, a failed load is remembered), or a function given
// directly.
class Binding {
 public:
  explicit Binding(std::string library_name);
  explicit Binding(EditTextFn function) noexcept;
  ~Binding();
  Binding(const Binding&) = delete;
  Binding& operator=(const Binding&) = delete;

  // The text to send for `line`: the edited buffer text with leading and
  // trailing blanks removed, or "Error". Never throws.
  std::string edit(std::string_view line) noexcept;

  // How many times loading the library was tried (0 before the first edit,
  // then 1 whether it succeeded or not; always 0 for a given function).
  int load_attempts() const noexcept { return load_attempts_; }
  // Why the library or its function could not be bound ("" when bound or not
  // tried yet).
  const std::string& load_error() const noexcept { return load_error_; }

 private:
  void bind() noexcept;

  std::string library_name_;
  std::unique_ptr<dynlib::Library> library_;
  EditTextFn function_ = nullptr;
  bool bound_ = false;
  int load_attempts_ = 0;
  std::string load_error_;
};

// The binding of this process to "XOposPrint", created at its first use.
Binding& process_binding();

// The text to send for one body line, through the process's binding. Never
// throws.
std::string edit(std::string_view line) noexcept;

}  // namespace pink::textedit
