// libcall: calls exported functions of a library the way a POS does, from
// the command line, for the tests of the Windows build.
//
//   libcall LIBRARY CALL [CALL ...]
//   CALL   = Name[,ARG...]
//   ARG    = i:NUMBER | s:TEXT | b:SIZE | n: | r:MS
//
// LIBRARY is a full path (loaded with its own folder searched for its
// dependencies) or a base name ("rcptlib" loads rcptlib.dll the usual way).
// i: passes a 32-bit number, s: a NUL-terminated string (the UTF-8 of the
// command line turned into cp949), b: a zeroed buffer of SIZE bytes, n: a
// null pointer. r:MS is no argument: the call is repeated every 20 ms until
// it returns something other than 0, for at most MS milliseconds (a scanner
// that has not answered yet). "sleep,i:MS" waits. Names are taken as they
// are, decorated ones ("_OpenDrawPort@0") too.
//
// Every call prints "Name=RESULT" on its own line, then, for each buffer
// argument k (counting from 1), "Name#k=TEXT" with the buffer's text up to
// its first NUL (cp949 bytes as they are). The status is 0 when every call
// could be made, 2 for a usage error or a missing library or export.
//
// Every argument travels in a full register or stack slot of the 64-bit
// calling convention, where a callee reads only the low half of a 32-bit
// argument and unused arguments are harmless: so one function type serves
// every export. (A 32-bit standard-call caller could not do this.)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

constexpr std::size_t kMaxArgs = 8;
using AnyCall = std::intptr_t(__stdcall*)(std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t,
                                          std::intptr_t, std::intptr_t, std::intptr_t, std::intptr_t);

struct Arg {
  char kind = 'i';
  std::intptr_t number = 0;
  std::vector<char> bytes;  // s: and b:
};

struct Call {
  std::string name;
  std::vector<Arg> args;
  std::uint32_t repeat_ms = 0;
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (;;) {
    const std::size_t next = s.find(sep, at);
    parts.push_back(s.substr(at, next == std::string::npos ? std::string::npos : next - at));
    if (next == std::string::npos) return parts;
    at = next + 1;
  }
}

bool parse_arg(const std::string& text, Arg& arg) {
  if (text.size() < 2 || text[1] != ':') return false;
  arg.kind = text[0];
  const std::string value = text.substr(2);
  switch (arg.kind) {
    case 'i': arg.number = static_cast<std::int32_t>(std::strtol(value.c_str(), nullptr, 10)); return true;
    case 's': {
      const std::string cp949 = pink::text::utf8_to_cp949(value);
      arg.bytes.assign(cp949.begin(), cp949.end());
      arg.bytes.push_back('\0');
      return true;
    }
    case 'b': arg.bytes.assign(static_cast<std::size_t>(std::strtoul(value.c_str(), nullptr, 10)) + 1, '\0'); return true;
    case 'n': return true;
    default: return false;
  }
}

// Parses "Name,ARG,..." (UTF-8, see main).
bool parse_call(const std::string& text, Call& call) {
  const std::vector<std::string> parts = split(text, ',');
  call.name = parts[0];
  if (call.name.empty()) return false;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].rfind("r:", 0) == 0) {
      call.repeat_ms = static_cast<std::uint32_t>(std::strtoul(parts[i].c_str() + 2, nullptr, 10));
      continue;
    }
    Arg a;
    if (!parse_arg(parts[i], a) || call.args.size() == kMaxArgs) return false;
    call.args.push_back(std::move(a));
  }
  return true;
}

std::intptr_t invoke(AnyCall fn, Call& call) {
  std::intptr_t v[kMaxArgs] = {};
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    Arg& a = call.args[i];
    v[i] = a.kind == 'i' ? a.number : a.kind == 'n' ? 0 : reinterpret_cast<std::intptr_t>(a.bytes.data());
  }
  return fn(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
}

void print_result(const Call& call, std::int32_t result) {
  std::string line = call.name + "=" + std::to_string(result) + "\n";
  int k = 0;
  for (const Arg& a : call.args) {
    ++k;
    if (a.kind == 'b') line += call.name + "#" + std::to_string(k) + "=" + std::string(a.bytes.data()) + "\n";
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

HMODULE load_library(const std::string& spec) {
  if (spec.find('\\') == std::string::npos && spec.find('/') == std::string::npos) {
    return LoadLibraryA((spec + ".dll").c_str());
  }
  // A full path: its dependencies are looked for beside it first.
  const std::u16string w = pink::text::cp949_to_utf16(spec);
  return LoadLibraryExW(reinterpret_cast<const wchar_t*>(w.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // lines end with LF alone, as on Linux
  // Arguments as the command line gave them, UTF-8 for the s: texts.
  std::vector<std::string> args;
  for (const std::string& a : pink::console::arguments(argc, argv)) args.push_back(pink::text::cp949_to_utf8(a));
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: libcall LIBRARY Name[,i:N|s:TEXT|b:SIZE|n:|r:MS...] ...\n");
    return 2;
  }
  HMODULE lib = load_library(pink::text::utf8_to_cp949(args[0]));
  if (lib == nullptr) {
    std::fprintf(stderr, "libcall: cannot load %s (error %lu)\n", args[0].c_str(), GetLastError());
    return 2;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    Call call;
    if (!parse_call(args[i], call)) {
      std::fprintf(stderr, "libcall: bad call %s\n", args[i].c_str());
      return 2;
    }
    if (call.name == "sleep") {
      pink::clock::sleep_ms(static_cast<std::uint32_t>(call.args.empty() ? 0 : call.args[0].number));
      continue;
    }
    const FARPROC proc = GetProcAddress(lib, call.name.c_str());
    if (proc == nullptr) {
      std::fprintf(stderr, "libcall: %s has no export %s\n", args[0].c_str(), call.name.c_str());
      return 2;
    }
    AnyCall fn = nullptr;
    static_assert(sizeof fn == sizeof proc);
    std::memcpy(&fn, &proc, sizeof fn);
    const std::uint64_t start = pink::clock::monotonic_ms();
    std::int32_t result = static_cast<std::int32_t>(invoke(fn, call));
    while (result == 0 && pink::clock::monotonic_ms() - start < call.repeat_ms) {
      pink::clock::sleep_ms(20);
      result = static_cast<std::int32_t>(invoke(fn, call));
    }
    print_result(call, result);
  }
  return 0;
}
