// The receipt spoolers' logic: the library path, the serial and parallel
// paths of `printer`, the logo file, and the reduced body of `enter`. Pure:
// job lines in, writes out through a Sink or the receipt library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mailbox/jobfile.h"
#include "mailbox/mailbox.h"
#include "mailbox/output.h"
#include "spoolers/rcptlib_binding.h"

namespace pink::spoolers {

using EditFn = std::function<std::string(std::string_view line)>;

// Control words of the body.
inline constexpr std::string_view kLogoWord = "LOGOPRT";
inline constexpr std::string_view kBarcodeWord = "BARPRT";
inline constexpr std::string_view kBarcode2Word = "BARPRT2";
inline constexpr std::string_view kSignWord = "SIGNPRT";

// Model "C" prints through the receipt library.
bool is_library_path(const mailbox::JobHeader& h);

// The library path's baud from the "prtspeed" value: the digits before the
// first ",n" (lower-case n), else 9600.
std::int32_t library_baud(std::string_view prtspeed_value);

struct SignatureFiles {
  std::string sign;     // c:\sign.bmp
  std::string zorsign;  // c:\zorsign.bmp
};
SignatureFiles signature_files();

// The library path: opens the printer library's port (a refusal throws a
// Failure with an empty description), prints the body and closes the port,
// also when the job fails.
void print_library_path(mailbox::JobFile& job, const mailbox::JobHeader& h, mailbox::Mailbox& mb,
                        ReceiptLibrary& lib, const SignatureFiles& sign);

enum class Port { Serial, Parallel };

// The body of a serial or parallel job of `printer`.
void print_body(mailbox::JobFile& job, const mailbox::JobHeader& h, Port port,
                mailbox::Sink& out, const EditFn& edit);

// The logo file "pv_logo.bmp" on the raw parallel handle (model "4"): rows
// are sent as they are read; a file too short for the picture fails (63)
// after the rows that could be read.
void print_logo_file(std::string_view logo, mailbox::Sink& raw);

// Model "4" bar code data as Code 128 values: each character's code minus 32.
// Throws Failure 5 for a character that is not printable ASCII.
std::string code128_values(std::string_view data);

// The body of an `enter` job.
void print_enter_body(mailbox::JobFile& job, const mailbox::JobHeader& h, Port port,
                      mailbox::Sink& out);

}  // namespace pink::spoolers
