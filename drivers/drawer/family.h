// The two cash drawer families as data: the kernel device each library
// opens, its status request, the input of its drive requests, its
// open-drawer sequence and what each of its request codes does. The
// libraries, the virtual drawer and the printer-port drawer server all read
// these rows; nothing else spells a code.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace pink::drawer {

// What a request code does to the drawer's release (the solenoid that lets
// the drawer spring open).
enum class Role : std::uint8_t {
  Status,      // reads the status byte
  ReleaseOff,  // de-energises the release
  ReleaseOn,   // energises the release
  Arm,         // enables the release driver before a pulse
  Disarm,      // disables it again afterwards
};

struct CodeMeaning {
  std::uint32_t code;
  Role role;
  const char* name;  // as the servers log it: "status", "release-on" ...
};

// One request of the open-drawer sequence and the wait that follows it.
struct Step {
  std::uint32_t code;
  std::uint32_t wait_after_ms;
};

struct Family {
  const char* library;  // "drawerio"
  const char* device;   // the kernel device name, "\\.\TevDraw2kKwDev"
  std::uint32_t status_code;
  std::array<std::uint8_t, 4> status_input;
  std::uint32_t status_output_size;
  std::array<std::uint8_t, 5> drive_input;
  std::span<const Step> open_sequence;
  std::span<const CodeMeaning> codes;
};

inline constexpr Step kDrawerioSequence[] = {
    {0x9C40BC04u, 10},
    {0x9C40BC08u, 30},
    {0x9C40BC04u, 0},
};

inline constexpr CodeMeaning kDrawerioCodes[] = {
    {0x9C407C00u, Role::Status, "status"},
    {0x9C40BC04u, Role::ReleaseOff, "release-off"},
    {0x9C40BC08u, Role::ReleaseOn, "release-on"},
};

inline constexpr Step kCashboxSequence[] = {
    {0xA028B80Cu, 0},
    {0xA028B804u, 5},
    {0xA028B808u, 30},
    {0xA028B804u, 0},
    {0xA028B810u, 0},
};

inline constexpr CodeMeaning kCashboxCodes[] = {
    {0xA0287800u, Role::Status, "status"},
    {0xA028B80Cu, Role::Arm, "arm"},
    {0xA028B804u, Role::ReleaseOff, "release-off"},
    {0xA028B808u, Role::ReleaseOn, "release-on"},
    {0xA028B810u, Role::Disarm, "disarm"},
};

inline constexpr Family kDrawerio{
    "drawerio", "\\\\.\\TevDraw2kKwDev", 0x9C407C00u, {0x00, 0x00, 0x00, 0x00}, 1,
    {0x00, 0x00, 0x00, 0x00, 0x10},     kDrawerioSequence,    kDrawerioCodes,
};

inline constexpr Family kCashbox{
    "cashbox", "\\\\.\\DovCBXDev", 0xA0287800u, {0x00, 0x00, 0x00, 0x00}, 1,
    {0x00, 0x00, 0x00, 0x00, 0x04}, kCashboxSequence, kCashboxCodes,
};

inline constexpr const Family* kFamilies[] = {&kDrawerio, &kCashbox};

// The family whose device this is ("\\.\DovCBXDev" or "DovCBXDev"; the case
// of the letters does not matter, as with Windows device names), or null.
const Family* family_by_device(std::string_view name);
// The family by its library name ("drawerio", "cashbox"), or null.
const Family* family_by_library(std::string_view name);

// What a code does, and in which family; null for a code of no family.
struct Meaning {
  const Family* family;
  const CodeMeaning* code;
};
Meaning meaning_of(std::uint32_t code);

// The sum of the sequence's waits (40 ms for drawerio, 35 ms for cashbox).
std::uint32_t sequence_wait_ms(const Family& f);

}  // namespace pink::drawer
