#include "tools/drawerd/bridge.h"

#include <algorithm>

#include "pink/drawer.h"
#include "platform/clock.h"
#include "tools/drawerd/escpos.h"
#include "tools/vdrawer/model.h"

namespace pink::drawerd {

std::vector<std::uint8_t> pulse_command(int pin, std::uint32_t pulse_ms) {
  const std::uint32_t t1 = std::clamp<std::uint32_t>(pulse_ms / 2, 1, 255);
  const std::uint32_t t2 = std::min<std::uint32_t>(t1 * 4, 255);
  std::vector<std::uint8_t> out(escpos::kPulse.begin(), escpos::kPulse.end());
  out.push_back(pin == 5 ? escpos::kPulsePin5 : escpos::kPulsePin2);
  out.push_back(static_cast<std::uint8_t>(t1));
  out.push_back(static_cast<std::uint8_t>(t2));
  return out;
}

std::optional<std::uint8_t> drawer_status(std::uint8_t printer_status, bool open_when_high) {
  if ((printer_status & escpos::kStatusFixedMask) != escpos::kStatusFixedValue) return std::nullopt;
  const bool high = (printer_status & escpos::kStatusDrawerPin3) != 0;
  return static_cast<std::uint8_t>(high == open_when_high ? PINK_DRAWER_STATUS_OPEN : 0);
}

Bridge::Bridge(BridgeOptions options, LinkOpener opener, Note note)
    : o_(std::move(options)), opener_(std::move(opener)), note_(std::move(note)) {}

PrinterLink* Bridge::link() {
  if (!link_) {
    std::string error;
    link_ = opener_(error);
    if (!link_) note_("printer unavailable: " + error);
  }
  return link_.get();
}

void Bridge::drop_link(const std::string& why) {
  note_("printer " + why + "; the line is opened again at the next request");
  link_.reset();
}

void Bridge::done_with_link() {
  if (!o_.hold_line) link_.reset();
}

bool Bridge::pulse() {
  PrinterLink* l = link();
  if (l == nullptr) return false;
  const auto bytes = pulse_command(o_.pin, o_.pulse_ms);
  note_("printer send=" + vdrawer::hex(bytes));
  if (!l->write(bytes, o_.write_timeout_ms)) {
    drop_link("write failed");
    return false;
  }
  done_with_link();
  return true;
}

std::optional<std::uint8_t> Bridge::query_status() {
  PrinterLink* l = link();
  if (l == nullptr) return std::nullopt;
  const auto s = query_on_link(*l);
  if (link_) done_with_link();
  return s;
}

std::optional<std::uint8_t> Bridge::query_on_link(PrinterLink& l) {
  l.drop_input();
  const std::vector<std::uint8_t> query(escpos::kPrinterStatusQuery.begin(),
                                        escpos::kPrinterStatusQuery.end());
  note_("printer send=" + vdrawer::hex(query));
  if (!l.write(query, o_.write_timeout_ms)) {
    drop_link("write failed");
    return std::nullopt;
  }
  // Bytes that cannot be the answer (automatic status, flow control) are
  // passed over until the answer comes or the time is up.
  std::vector<std::uint8_t> skipped;
  const std::uint64_t deadline = clock::monotonic_ms() + o_.status_timeout_ms;
  for (;;) {
    const std::uint64_t now = clock::monotonic_ms();
    const auto b = l.read_byte(now >= deadline ? 0 : static_cast<std::uint32_t>(deadline - now));
    if (!b) break;
    if (const auto s = drawer_status(*b, o_.open_when_high)) {
      note_("printer status=" + vdrawer::hex({*b}));
      return s;
    }
    skipped.push_back(*b);
    if (skipped.size() >= 64) break;
  }
  note_("printer no status" + (skipped.empty() ? std::string() : " skipped=" + vdrawer::hex(skipped)));
  return std::nullopt;
}

vdrawer::Outcome Bridge::handle(const devctl::frame::Request& request) {
  vdrawer::Outcome out = vdrawer::check_request(request, o_.family, o_.refused);
  if (!out.accepted) return out;
  const drawer::Role role = drawer::meaning_of(request.code).code->role;
  if (role == drawer::Role::Status) {
    const auto s = query_status();
    out.accepted = s.has_value();
    if (s) out.output.push_back(*s);
    if (!s) out.why = "printer-silent";
  } else if (role == drawer::Role::ReleaseOn) {
    last_pulse_ok_ = pulse();
    out.accepted = last_pulse_ok_;
    if (!last_pulse_ok_) out.why = "printer-failed";
  } else {
    out.accepted = last_pulse_ok_;
    if (!last_pulse_ok_) out.why = "printer-failed";
  }
  return out;
}

}  // namespace pink::drawerd
