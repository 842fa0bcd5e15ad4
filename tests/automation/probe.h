// A test object with members of every kind and type, events, a timer, work
// handed over by another thread and deferred events: what the suite's
// controls do, in a small form the tests can drive. Registered as
// "pinktest.Probe" and "pinktest.Probe.1" wherever probe.cpp is linked.
#pragma once

#include <cstdint>

namespace pink::automation::testing {

enum ProbeDispid : std::int32_t {
  kAdd = 1,           // Add(short a, long b) -> long a + b
  kEcho = 2,          // Echo(BSTR text) -> BSTR text
  kCp949 = 3,         // Cp949(BSTR text) -> byte array: the text's bytes inside
  kFromBytes = 4,     // FromBytes(byte array) -> BSTR of those cp949 bytes
  kSplit = 5,         // Split(BSTR text, [out] BSTR* head, [out] short* count,
                      //       [in, out] long* total) -> bool (false for "")
  kFetch = 6,         // Fetch(short n, [out] short* nEventRet) -> VARIANT:
                      //   n bytes 0, 1, 2 ... and 1, or EMPTY and 0 when n <= 0
  kLevel = 7,         // short property Level
  kName = 8,          // BSTR property Name
  kEnabled = 9,       // bool property Enabled
  kFire = 10,         // Fire(short count): OnTick(1..count, Name) at once
  kFireFromThread = 11,  // FireFromThread(short count): a thread fires OnTick
  kReceive = 12,      // Receive(byte array): a thread hands the bytes over; OnData
  kStartTimer = 13,   // StartTimer(long ms): OnTimer(tick number) per tick
  kStopTimer = 14,    // StopTimer()
  kDefer = 15,        // Defer(BSTR text): OnDeferred(text) from the next pump
  kThrow = 16,        // Throw(): fails for want of memory
  kTotal = 17,        // Total([out, retval] long* value): the last Split total
  kReceiveLater = 18, // ReceiveLater(byte array, long ms): as Receive, ms later
};

enum ProbeEvent : std::int32_t { kOnTick = 1, kOnData = 2, kOnTimer = 3, kOnDeferred = 4 };

}  // namespace pink::automation::testing
