// The outcome of a platform call that can fail: its value, or the reason it
// failed.
//
// How the platform layer reports failure (one rule for every piece):
//  - A call that can fail and whose callers need not tell causes apart
//    returns Result<T>: the value on success, or why() on failure, a text a
//    person can act on (the system's message, the path, port or address
//    concerned). Loading a library, connecting, listening, a TLS handshake
//    and replacing a file's content are such calls.
//  - A call whose callers map causes to their own codes (a run-time error
//    number, a library's result code) returns its own result struct with a
//    status enum and a `text` (serial::OpenResult, files::ReadResult,
//    net::Transfer, ...).
//  - Only the settings store and the comm control throw pink::Failure: they
//    serve a program's single failure path, which catches it and writes the
//    mailbox keys.
//
//   auto lib = dynlib::load("rcptlib");
//   if (!lib) return report(lib.why());
//   auto fn = lib->function<Fn>("PdsOpen");
//
// Nothing here throws: value(), operator* and operator-> on a failure are a
// programming error (asserted in debug builds), as on an empty std::optional.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace pink {

template <typename T>
class [[nodiscard]] Result {
 public:
  // Success with a value (or anything a T is made from, such as a pointer to
  // a derived class for a pointer to its base).
  template <typename U = T>
    requires(std::is_constructible_v<T, U &&> && !std::is_same_v<std::remove_cvref_t<U>, Result>)
  Result(U&& value) : value_(std::in_place, std::forward<U>(value)) {}  // NOLINT(google-explicit-constructor)

  // Failure with the reason.
  static Result failure(std::string why) { return Result(Why{std::move(why)}); }

  bool ok() const noexcept { return value_.has_value(); }
  explicit operator bool() const noexcept { return ok(); }

  // The reason of a failure; empty on success.
  const std::string& why() const noexcept { return why_; }

  T& value() & noexcept { return checked(); }
  const T& value() const& noexcept {
    assert(value_.has_value() && "Result holds a failure");
    return *value_;
  }
  T&& value() && noexcept { return std::move(checked()); }

  T& operator*() & noexcept { return checked(); }
  const T& operator*() const& noexcept { return value(); }
  T&& operator*() && noexcept { return std::move(checked()); }
  // Member access; through a held smart pointer it reaches the object it
  // points to (result->path() for a Result<std::unique_ptr<Library>>).
  decltype(auto) operator->() noexcept {
    if constexpr (kPointerLike) {
      return (checked());
    } else {
      return &checked();
    }
  }
  decltype(auto) operator->() const noexcept {
    if constexpr (kPointerLike) {
      return (value());
    } else {
      return &value();
    }
  }

 private:
  static constexpr bool kPointerLike = requires(T& t) { t.operator->(); };
  struct Why {
    std::string text;
  };
  explicit Result(Why why) : why_(std::move(why.text)) {}
  T& checked() noexcept {
    assert(value_.has_value() && "Result holds a failure");
    return *value_;
  }

  std::optional<T> value_;
  std::string why_;
};

// Success or the reason of a failure, for a call with nothing to return.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;  // success

  static Result failure(std::string why) {
    Result r;
    r.failed_ = true;
    r.why_ = std::move(why);
    return r;
  }

  bool ok() const noexcept { return !failed_; }
  explicit operator bool() const noexcept { return ok(); }
  const std::string& why() const noexcept { return why_; }

 private:
  bool failed_ = false;
  std::string why_;
};

}  // namespace pink
