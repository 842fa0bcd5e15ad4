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

// The C calling convention, where the caller removes the arguments: for the
// few exports that callers may hand any number of arguments.
#if defined(_WIN32)
#define PINK_CDECL __cdecl
#else
#define PINK_CDECL
#endif
