// The registry below "Software\Classes" of the machine or of the user, as
// the registration rules (automation/registration.h) use it.
#pragma once

#include <windows.h>

#include "automation/registration.h"
#include "platform/win32/com/server.h"

namespace pink::com {

class ClassesKey final : public automation::registration::KeyStore {
 public:
  // Opens (creating when missing) HKLM or HKCU "Software\Classes"; error()
  // says why it could not.
  explicit ClassesKey(Scope scope);
  ~ClassesKey() override;
  ClassesKey(const ClassesKey&) = delete;
  ClassesKey& operator=(const ClassesKey&) = delete;

  long error() const noexcept { return error_; }

  bool exists(std::string_view key) override;
  long create(std::string_view key) override;
  std::optional<std::string> read(std::string_view key, std::string_view name) override;
  long write(std::string_view key, std::string_view name, std::string_view data) override;
  long erase_value(std::string_view key, std::string_view name) override;
  long erase_tree(std::string_view key) override;
  bool empty(std::string_view key) override;

 private:
  HKEY root_ = nullptr;
  long error_ = 0;
};

}  // namespace pink::com
