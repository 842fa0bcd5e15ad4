// Command-line arguments and console output of the console tools, as cp949
// text inside and the console's own encoding outside (UTF-8 on Linux; UTF-16
// on a Windows console, cp949 bytes when redirected).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pink::console {

// The program's arguments without the program name, as cp949.
std::vector<std::string> arguments(int argc, char** argv);

// Writes cp949 text to standard output / standard error.
void out(std::string_view cp949);
void err(std::string_view cp949);

}  // namespace pink::console
