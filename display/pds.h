// pds: shows up to three lines on the customer display pole and ends. The
// POS leaves the display type, the port and the texts in the mailbox; the
// program drives the display through the serial control in the dialect of
// the type, and reports only failures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "display/dialects.h"
#include "mailbox/mailbox.h"
#include "platform/comm.h"

namespace pink::display::pds {

// The program's mailbox keys, section "floyd".
inline constexpr std::string_view kKeyType = "pds_hw";     // type code, one character
inline constexpr std::string_view kKeyPort = "pds_port";   // serial port number
inline constexpr std::string_view kKeyLine1 = "pds_1";
inline constexpr std::string_view kKeyLine2 = "pds_2";
inline constexpr std::string_view kKeyLine3 = "pds_3";
inline constexpr std::string_view kKeyError = "pds_error"; // written on failure only

// Exit statuses.
inline constexpr int kExitDone = 0;      // shown, or a type outside the table
inline constexpr int kExitFailed = 1;    // a run-time failure, described in pds_error
inline constexpr int kExitNoMailbox = 2; // the mailbox itself cannot be used

struct Job {
  std::string type;
  std::string port;
  Texts texts;
};

// Reads the five keys. Throws pink::Failure when the store fails.
Job read_job(mailbox::Mailbox& mb);

// Sets the port up as the dialect says, opens it, sends the dialect's writes
// and closes it. `doing` tells at every moment what is being done, for the
// message of a failure. Throws pink::Failure.
void show(comm::CommControl& control, const Dialect& dialect, const Job& job, std::string& doing);

// The whole program on a mailbox: the exit status.
int run(mailbox::Mailbox& mb);

// The text of "pds --help" (UTF-8).
std::string help_text();  // ASCII

// The program's entry: "--help" prints the help and touches nothing; any other
// argument is ignored.
int main_with(const std::vector<std::string>& args);

}  // namespace pink::display::pds
