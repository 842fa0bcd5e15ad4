// A test class for the COM layer: a dual interface with members of every
// kind and type, events with by-value and by-reference arguments, work handed
// over by another thread and a timer, as the suite's objects and controls
// have them. Its type library is in the resources of the test program.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "automation/object.h"
#include "automation/table.h"

namespace pink::comtest {

using automation::Dir;
using automation::Member;
using automation::Param;
using automation::Type;

enum Dispid : std::int32_t {
  kAdd = 1,             // long Add(short a, long b)
  kEcho = 2,            // BSTR Echo(BSTR text)
  kCp949 = 3,           // byte array Cp949(BSTR text): the text's cp949 bytes
  kFromBytes = 4,       // BSTR FromBytes(byte array data): those bytes as cp949 text
  kSplit = 5,           // bool Split(BSTR text, [out] BSTR* head, [out] short* count, [in, out] long* total)
  kFetch = 6,           // VARIANT Fetch(short n, [out] short* ready): n bytes 0, 1 ... or EMPTY
  kLevel = 7,           // short property
  kName = 8,            // BSTR property
  kEnabled = 9,         // bool property
  kFire = 10,           // Fire(short count): OnTick(1..count, Name), then OnAdjust(count)
  kFireFromThread = 11, // FireFromThread(short count): a thread fires OnTick(1..count, "thread")
  kStartTimer = 12,     // StartTimer(long ms): OnTimer(tick number) per tick
  kStopTimer = 13,      // StopTimer()
  kThrow = 14,          // Throw(): fails for want of memory
  kTotal = 15,          // long Total([out, retval] long* value): the last Split total
};

enum EventDispid : std::int32_t { kOnTick = 1, kOnTimer = 2, kOnAdjust = 3 };

inline constexpr std::array<Param, 2> kAddParams{{{"a", Type::I2, Dir::In}, {"b", Type::I4, Dir::In}}};
inline constexpr std::array<Param, 1> kText{{{"text", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kData{{{"data", Type::Bytes, Dir::In}}};
inline constexpr std::array<Param, 4> kSplitParams{{{"text", Type::Str, Dir::In},
                                                    {"head", Type::Str, Dir::Out},
                                                    {"count", Type::I2, Dir::Out},
                                                    {"total", Type::I4, Dir::InOut}}};
inline constexpr std::array<Param, 2> kFetchParams{{{"n", Type::I2, Dir::In}, {"ready", Type::I2, Dir::Out}}};
inline constexpr std::array<Param, 1> kShort{{{"value", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 1> kLong{{{"value", Type::I4, Dir::In}}};
inline constexpr std::array<Param, 1> kBool{{{"value", Type::Bool, Dir::In}}};
inline constexpr std::array<Param, 1> kTotalParams{{{"value", Type::I4, Dir::Retval}}};

inline constexpr Member kMembers[] = {
    {"Add", kAdd, automation::kMethod, kAddParams, Type::I4},
    {"Echo", kEcho, automation::kMethod, kText, Type::Str},
    {"Cp949", kCp949, automation::kMethod, kText, Type::Bytes},
    {"FromBytes", kFromBytes, automation::kMethod, kData, Type::Str},
    {"Split", kSplit, automation::kMethod, kSplitParams, Type::Bool},
    {"Fetch", kFetch, automation::kMethod, kFetchParams, Type::Variant},
    {"Level", kLevel, automation::kGet, {}, Type::I2},
    {"Level", kLevel, automation::kPut, kShort, Type::Empty},
    {"Name", kName, automation::kGet, {}, Type::Str},
    {"Name", kName, automation::kPut, kText, Type::Empty},
    {"Enabled", kEnabled, automation::kGet, {}, Type::Bool},
    {"Enabled", kEnabled, automation::kPut, kBool, Type::Empty},
    {"Fire", kFire, automation::kMethod, kShort, Type::Empty},
    {"FireFromThread", kFireFromThread, automation::kMethod, kShort, Type::Empty},
    {"StartTimer", kStartTimer, automation::kMethod, kLong, Type::Empty},
    {"StopTimer", kStopTimer, automation::kMethod, {}, Type::Empty},
    {"Throw", kThrow, automation::kMethod, {}, Type::Empty},
    {"Total", kTotal, automation::kMethod, kTotalParams, Type::I4},
};

inline constexpr std::array<Param, 2> kTickParams{{{"n", Type::I4, Dir::In}, {"name", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kTimerParams{{{"tick", Type::I4, Dir::In}}};
inline constexpr std::array<Param, 1> kAdjustParams{{{"value", Type::I4, Dir::InOut}}};

inline constexpr Member kEvents[] = {
    {"OnTick", kOnTick, automation::kMethod, kTickParams, Type::Empty},
    {"OnTimer", kOnTimer, automation::kMethod, kTimerParams, Type::Empty},
    {"OnAdjust", kOnAdjust, automation::kMethod, kAdjustParams, Type::Empty},
};

inline constexpr automation::ClassInfo kSample{
    "Sample",
    "Sample Class",
    "{6C1F2E70-4B1D-4E77-9D0C-2A61C2F0B7A1}",
    "pinktest.ComSample.1",
    "pinktest.ComSample",
    {"COMSAMPLELib", "{6C1F2E71-4B1D-4E77-9D0C-2A61C2F0B7A1}", 1, 0, "comsample 1.0 Type Library"},
    {"ISample", "{6C1F2E72-4B1D-4E77-9D0C-2A61C2F0B7A1}", true, kMembers},
    {"_ISampleEvents", "{6C1F2E73-4B1D-4E77-9D0C-2A61C2F0B7A1}", false, kEvents},
};
static_assert(automation::class_fault(kSample) == nullptr);

std::unique_ptr<automation::Object> make_sample();

// How many sample objects are alive (to see that releasing one ends it).
int samples_alive();

}  // namespace pink::comtest
