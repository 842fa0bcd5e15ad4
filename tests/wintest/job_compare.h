// One job run twice, by the Linux build and by the Windows build under Wine,
// with the same job file, mailbox keys and files, and everything it left
// behind collected for a byte-for-byte comparison: the bytes on its serial
// port and on the parallel port, the mailbox afterwards, the order of its
// mailbox writes, its log and its exit status.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/wintest/wine_fixture.h"

namespace pink::wintest {

struct Job {
  std::string program;                  // "printer" (".exe" is added on Windows)
  std::string job_file;                 // "printer.zor"; empty: none is written
  std::vector<std::string> lines;       // the job file's lines, UTF-8, CR LF added
  std::vector<Entry> mailbox;           // keys set before the run (UTF-8)
  int com = 0;                          // serial port whose bytes are taken (0: none)
  std::string sign_bmp;                 // "sign.bmp" at its fixed place (empty: none)
  std::vector<std::pair<std::string, std::string>> files;  // more files in the work folder
};

struct Outcome {
  int exit_code = -1;
  std::string serial;    // bytes that came out on COM<com>
  std::string parallel;  // bytes written to LPT1
  std::vector<Entry> mailbox;
  std::string trace;     // every mailbox write in order: section TAB key TAB value
  std::string log;       // zorlog\ZorVB.log with its digits masked (times differ)
};

Outcome run_on_linux(const Job& job);
Outcome run_on_windows(const Job& job);

// Runs the job on both sides and compares everything.
::testing::AssertionResult same_on_both(const Job& job, Outcome* linux_side = nullptr,
                                        Outcome* windows_side = nullptr);

// Bytes as C escapes, for failure messages.
std::string escaped(const std::string& bytes);

}  // namespace pink::wintest
