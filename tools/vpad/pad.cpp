#include "tools/vpad/pad.h"

#include <algorithm>

namespace pink::vpad {
namespace {

std::string_view trimmed(std::string_view s) {
  constexpr std::string_view kBlank = " \t\r\n";
  const auto first = s.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

}  // namespace

VirtualPad::VirtualPad(std::unique_ptr<signpad::PadDevice> device, std::ostream& log, Stamp stamp,
                       Scheduler::Limits limits)
    : device_(std::move(device)), log_(log), stamp_(std::move(stamp)), scheduler_(limits) {}

void VirtualPad::received(std::uint64_t now, std::span<const std::uint8_t> bytes) {
  std::vector<Unit> units;
  framer_.feed(now, bytes, units);
  for (const Unit& u : units) log(u.time, "rx", u.bytes);
  std::vector<signpad::Send> sends;
  device_->receive(bytes, sends);
  schedule(now, sends);
}

std::string VirtualPad::action(std::uint64_t now, std::string_view line) {
  const std::string_view act = trimmed(line);
  if (act.empty()) return "";
  if (act == "help") return help();
  std::vector<signpad::Send> sends;
  if (!device_->command(act, sends)) {
    return "vpad: " + std::string(device_->family()) + " has no action \"" + std::string(act) +
           "\" (\"help\" lists them)\n";
  }
  schedule(now, sends);
  return "vpad: " + std::string(act) + ": " + std::to_string(sends.size()) + " piece" +
         (sends.size() == 1 ? "" : "s") + " to send\n";
}

std::vector<std::vector<std::uint8_t>> VirtualPad::due(std::uint64_t now) {
  auto pieces = scheduler_.take_due(now);
  for (const auto& p : pieces) log(now, "tx", p);
  return pieces;
}

void VirtualPad::idle(std::uint64_t now) {
  if (!framer_.holding() || now < framer_.last_byte() + kQuietMs) return;
  std::vector<Unit> units;
  framer_.flush(units);
  for (const Unit& u : units) log(u.time, "rx", u.bytes);
}

std::optional<std::uint64_t> VirtualPad::next_wakeup() const {
  std::optional<std::uint64_t> at = scheduler_.next_due();
  if (framer_.holding()) {
    const std::uint64_t quiet = framer_.last_byte() + kQuietMs;
    at = at ? std::min(*at, quiet) : quiet;
  }
  return at;
}

std::string VirtualPad::help() const {
  std::string text = std::string(device_->family()) + " actions:\n";
  for (const std::string& a : device_->actions()) text += "  " + a + "\n";
  text += "  help  lists these actions\n  quit  ends vpad\n";
  return text;
}

void VirtualPad::schedule(std::uint64_t now, const std::vector<signpad::Send>& sends) {
  if (sends.empty() || scheduler_.add(now, sends)) return;
  log_ << stamp_(now) << " vpad: " << sends.size() << " pieces dropped: " << scheduler_.pending_pieces()
       << " pieces are still waiting to be sent" << std::endl;
}

void VirtualPad::log(std::uint64_t time, std::string_view direction, std::span<const std::uint8_t> bytes) {
  log_ << stamp_(time) << ' ' << direction << ' ' << hex_line(bytes) << std::endl;
}

}  // namespace pink::vpad
