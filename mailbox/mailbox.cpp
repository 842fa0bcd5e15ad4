#include "mailbox/mailbox.h"

#include "platform/env.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/text.h"

namespace pink::mailbox {

std::string StoreMailbox::get(std::string_view section, std::string_view key) {
  return settings::get(kApplication, section, key);
}

void StoreMailbox::put(std::string_view section, std::string_view key, std::string_view value) {
  static const std::optional<std::string> trace = env::get("PINK_MAILBOX_TRACE");
  if (trace) {
    files::append(*trace, std::string(section) + "\t" + std::string(key) + "\t" +
                              std::string(value) + "\n");
  }
  settings::put(kApplication, section, key, value);
}

std::string serial_settings(Mailbox& mb, std::string_view port_field, bool force_38400) {
  std::string key = "com" + text::rtrim(port_field);
  std::string value = text::trim(mb.get(kPrtSpeed, key));
  if (force_38400) return std::string(kForcedSettings);
  if (value.empty()) return std::string(kDefaultSettings);
  return value;
}

}  // namespace pink::mailbox
