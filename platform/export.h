// Exported functions of the suite's libraries: extern "C", standard-call on
// 32-bit Windows (names and decorations come from the library's .def file),
// default visibility on Linux where every other symbol is hidden.
#pragma once

#if defined(_WIN32)
#define PINK_CALL __stdcall
#define PINK_EXPORT extern "C"
#else
#define PINK_CALL
#define PINK_EXPORT extern "C" __attribute__((visibility("default")))
#endif
