// Helpers of the install, package and service tests: the build's own install
// rules run into a temporary prefix, and what the files say about themselves.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/testkit/testkit.h"

namespace pink::packaging {

// What every install must hold.
inline const std::vector<std::string> kPrograms = {
    "printer", "enter", "kitchen", "kitchenb", "kitmux", "kitfeed", "pds", "corvana", "hx410",
    "mailbox", "commsend", "drawerd", "msgsend", "padctl", "vprinter", "vcom", "vdisplay",
    "vdrawer", "vhandy", "vpad", "vscanner", "paysim", "msgsim"};
inline const std::vector<std::string> kLibraries = {
    "rcptlib", "ldisp", "ldisp2", "gdisp", "drawerio", "cashbox", "scanio",
    "CorvanaVAN", "ssllib32", "icapi", "XOposPrint", "msgcall", "pinkauto"};

// Runs a shell command line in `cwd` with `env` added.
testkit::RunResult shell(const std::string& command, const std::string& cwd,
                         const std::map<std::string, std::string>& env = {},
                         std::uint32_t timeout_ms = 120000);

// `cmake --install` of this build into `prefix`; fails the test when it fails.
void install_tree(const std::string& prefix);

// The value of a dynamic-section entry ("SONAME", "RUNPATH") of an ELF file,
// "" when it has none.
std::string dynamic_entry(const std::string& file, const std::string& tag);

std::string read_text(const std::string& path);

// The value of `key=` in a unit file's text (the first one), "" when absent.
std::string unit_value(const std::string& unit_text, const std::string& key);

}  // namespace pink::packaging
