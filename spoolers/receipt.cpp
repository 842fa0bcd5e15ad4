#include "spoolers/receipt.h"

#include <algorithm>

#include "mailbox/bodylines.h"
#include "mailbox/models.h"
#include "platform/console.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/text.h"
#include "spoolers/receipt_codes.h"

namespace pink::spoolers {
namespace {

using mailbox::JobFile;
using mailbox::JobHeader;
using mailbox::Sink;

void send_option_logo(char option, Port port, Sink& out) {
  for (const auto& entry : codes::kOptionLogos) {
    if (entry.option != option) continue;
    for (std::string_view w : port == Port::Serial ? entry.serial : entry.parallel) {
      if (!w.empty()) out.send(w);
    }
  }
}

char option_char(const JobHeader& h) { return h.option.size() == 1 ? h.option[0] : '\0'; }

void send_logo_word(const JobHeader& h, const mailbox::ModelProfile& m, Port port, Sink& out) {
  switch (m.logo) {
    case mailbox::LogoWord::None:
      return;
    case mailbox::LogoWord::Stored1:
      out.send(codes::kLogoModel7);
      return;
    case mailbox::LogoWord::Selected:
      out.send(port == Port::Serial ? codes::kLogoModelBSerial : codes::kLogoModelBParallel);
      out.send(codes::kLogoModelBPrint);
      return;
    case mailbox::LogoWord::OptionLogo:
      send_option_logo(option_char(h), port, out);
      return;
  }
}

// The common bar code dialect: setup, GS k with NUL-terminated data, then the
// data again as text.
void send_common_barcode(std::string_view kind, const std::string& data, Sink& out) {
  for (auto w : codes::kBarcodeSetup) out.send(w);
  std::string code(kind);
  code += data;
  code.push_back('\0');
  out.send(code);
  out.send(data + "\r\n");
}

void send_barcode(const mailbox::ModelProfile& m, Port port, const std::string& data, Sink& out) {
  switch (m.barcode) {
    case mailbox::BarcodeDialect::Code128Parallel:
      if (port == Port::Serial) return;
      for (auto w : codes::kBarcodeModel4Setup) out.send(w);
      out.send(code128_values(data));
      out.send(codes::kBarcodeModel4End);
      return;
    case mailbox::BarcodeDialect::LengthByte:
      for (auto w : codes::kBarcodeModelASetup) out.send(w);
      out.send(std::string(codes::kBarcodeModelA) + data);
      out.send(codes::kBarcodeModelATail);
      return;
    case mailbox::BarcodeDialect::Common:
      send_common_barcode(codes::kBarcodeCode39, data, out);
      return;
  }
}

}  // namespace

bool is_library_path(const JobHeader& h) { return mailbox::model_profile(h.model).library_path; }

std::int32_t library_baud(std::string_view value) {
  const auto at = value.find(",n");
  std::string_view rate = at == std::string_view::npos ? std::string_view("9600") : value.substr(0, at);
  // The numeric value of the leading digits, after leading blanks.
  std::size_t i = 0;
  while (i < rate.size() && (rate[i] == ' ' || rate[i] == '\t')) ++i;
  std::int64_t baud = 0;
  for (; i < rate.size() && rate[i] >= '0' && rate[i] <= '9'; ++i) {
    baud = baud * 10 + (rate[i] - '0');
    if (baud > 0x7FFFFFFF) return 0;  // no such rate: the library refuses it
  }
  return static_cast<std::int32_t>(baud);
}

SignatureFiles signature_files() {
  return {files::fixed_file("sign.bmp"), files::fixed_file("zorsign.bmp")};
}

void print_library_path(JobFile& job, const JobHeader& h, mailbox::Mailbox& mb,
                        ReceiptLibrary& lib, const SignatureFiles& sign) {
  const std::string name = h.port == "P" ? std::string("LPT1") : "COM" + h.port;
  const std::string speed = mb.get(mailbox::kPrtSpeed, "com" + text::rtrim(h.port));
  const std::int32_t result = lib.open_port(name, library_baud(speed));
  if ((result & 0xFFFF) == 0xFFFF) {
    // The library does not say why: the failure text stays empty.
    throw Failure(Err::DeviceUnavailable, "", "the receipt library could not open " + name);
  }
  // Whatever happens to the job, the port is closed again.
  struct Closer {
    ReceiptLibrary& lib;
    ~Closer() { lib.close(); }
  } closer{lib};

  std::string text;
  while (!job.at_end()) {
    const std::string line = job.next_line();
    if (line == kLogoWord || line.empty()) continue;
    if (line == kBarcodeWord) {
      const std::string data = job.next_line();
      for (auto w : codes::kBarcodeSetup) text += w;
      text += codes::kBarcodeCode39;
      text += data;
      text.push_back('\0');
      text += data + "\r\n";
    } else if (line == kSignWord) {
      text += codes::kCentre;
      lib.print(text);
      text.clear();
      const bool has_sign = files::lookup_name(sign.sign) == std::string("sign.bmp");
      if (!has_sign && !files::exists(sign.zorsign)) {
        // The job goes on without the signature, as it always has; people
        // learn which files were looked for.
        console::err("printer: SIGNPRT: no signature file " + files::full_path(sign.sign) + " or " +
                     files::full_path(sign.zorsign) + ": no signature printed\n");
      }
      lib.print_bitmap(has_sign ? sign.sign : sign.zorsign);
    } else {
      text += line + "\r\n";
    }
  }
  lib.print(text);
}

void print_body(JobFile& job, const JobHeader& h, Port port, Sink& out, const EditFn& edit) {
  const mailbox::ModelProfile& m = mailbox::model_profile(h.model);
  const std::string_view end = mailbox::line_end(m);
  const bool null_token = mailbox::takes_null_token(m);
  while (!job.at_end()) {
    const std::string line = job.next_line();
    if (m.korean_mode) {
      for (const auto& w : mailbox::korean_double_byte_writes(line)) out.send(w);
      continue;
    }
    if (line == kLogoWord) {
      send_logo_word(h, m, port, out);
    } else if (line.empty() || line == kSignWord) {
      // nothing
    } else if (line == kBarcodeWord) {
      send_barcode(m, port, job.next_line(), out);
    } else if (line == kBarcode2Word) {
      const std::string data = job.next_line();
      if (m.second_barcode) send_common_barcode(codes::kBarcodeEan13, data, out);
    } else if (m.edited) {
      out.send(edit(line));
    } else {
      std::string bytes = null_token ? mailbox::replace_null_token(line) : line;
      bytes += end;
      out.send(bytes);
    }
  }
}

void print_logo_file(std::string_view logo, Sink& raw) {
  raw.send(codes::kLogoStart1);
  raw.send(codes::kLogoStart2);
  raw.send(codes::kLogoStart3);
  // 1-based position of the last 56 bytes; the rows go last row first.
  std::int64_t p = static_cast<std::int64_t>(logo.size()) - 55;
  for (std::size_t row = 0; row < codes::kLogoRows; ++row) {
    if (p < 1) throw Failure(Err::BadRecordNumber);
    std::string bytes(codes::kLogoRow);
    bytes.append(codes::kLogoMargin, '\0');
    for (std::size_t i = 0; i < codes::kLogoRowBytes; ++i) {
      // A white BMP bit becomes no dot.
      bytes.push_back(static_cast<char>(~static_cast<unsigned char>(logo[static_cast<std::size_t>(p - 1) + i])));
    }
    bytes.append(codes::kLogoMargin, '\0');
    raw.send(bytes);
    p -= static_cast<std::int64_t>(codes::kLogoRowBytes);
  }
  raw.send(codes::kLogoEnd);
}

std::string code128_values(std::string_view data) {
  std::string values;
  values.reserve(data.size());
  for (char c : data) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b >= 0x80) throw Failure(Err::InvalidProcedureCall);
    values.push_back(static_cast<char>(b - 32));
  }
  return values;
}

void print_enter_body(JobFile& job, const JobHeader& h, Port port, Sink& out) {
  const mailbox::ModelProfile& m = mailbox::model_profile(h.model);
  const bool null_token = mailbox::takes_null_token(m);
  while (!job.at_end()) {
    const std::string line = job.next_line();
    if (line.compare(0, 5, "START") == 0) {
      // The logo line: its text is not printed. Korean-mode printers on the
      // serial port and the parallel port take only the NV images.
      const char option = option_char(h);
      if (option == '1' || option == '2') {
        send_option_logo(option, Port::Parallel, out);
      } else if (option == '5' && port == Port::Serial && !m.korean_mode) {
        send_option_logo(option, Port::Serial, out);
      }
      continue;
    }
    if (m.korean_mode) {
      for (const auto& w : mailbox::korean_double_byte_writes(line)) out.send(w);
      continue;
    }
    std::string bytes = null_token ? mailbox::replace_null_token(line) : line;
    bytes += mailbox::kCrLf;
    out.send(bytes);
  }
}

}  // namespace pink::spoolers
