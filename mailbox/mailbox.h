// The settings mailbox of the suite: state, errors, progress and results pass
// between the POS and the programs as short texts under application "pink".
#pragma once

#include <string>
#include <string_view>

namespace pink::mailbox {

inline constexpr std::string_view kApplication = "pink";
inline constexpr std::string_view kFloyd = "floyd";       // per-program job state
inline constexpr std::string_view kSpiro = "spiro";       // spooler options, port-busy flags
inline constexpr std::string_view kPrtSpeed = "prtspeed"; // serial line settings per port

// Access to the mailbox. The default reads and writes the settings store;
// tests substitute a map.
class Mailbox {
 public:
  virtual ~Mailbox() = default;
  // "" when the key does not exist. Throws pink::Failure when the store fails.
  virtual std::string get(std::string_view section, std::string_view key) = 0;
  // Throws pink::Failure when the store cannot be written.
  virtual void put(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// The mailbox in the settings store, application "pink". When the
// environment names a trace file ($PINK_MAILBOX_TRACE), every write is also
// appended to it as a line "section<TAB>key<TAB>value" (cp949), so that an
// integrator can follow a program's progress markers one by one. The line is
// written before the value is stored: whoever sees a value in the store
// finds it in the trace too, and a write the store then refuses shows up
// as the trace's last line.
class StoreMailbox final : public Mailbox {
 public:
  std::string get(std::string_view section, std::string_view key) override;
  void put(std::string_view section, std::string_view key, std::string_view value) override;
};

// Serial line settings of a port: "prtspeed"/"com" + port number (trailing
// blanks of the port field removed), trimmed; "9600,n,8,1" when empty;
// "38400,n,8,1" instead when `force_38400` is set.
inline constexpr std::string_view kDefaultSettings = "9600,n,8,1";
inline constexpr std::string_view kForcedSettings = "38400,n,8,1";
std::string serial_settings(Mailbox& mb, std::string_view port_field, bool force_38400 = false);

}  // namespace pink::mailbox
