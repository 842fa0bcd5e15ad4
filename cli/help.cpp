#include "cli/help.h"

#include "cli/version.h"
#include "platform/console.h"

namespace pink::cli {
namespace {

// Appends `text` with every line indented by `indent`.
void add_indented(std::string& out, std::string_view text, std::string_view indent) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (!line.empty()) out += indent;
    out += line;
    out += '\n';
    at = end + 1;
  }
}

void add_section(std::string& out, std::string_view title, std::string_view text) {
  if (text.empty()) return;
  out += '\n';
  out += title;
  out += ":\n";
  add_indented(out, text, "  ");
}

}  // namespace

std::string_view suite_version() { return kSuiteVersion; }

std::string version_line(std::string_view program) {
  return std::string(program) + " (pink) " + std::string(kSuiteVersion) + "\n";
}

std::string render(const Help& help) {
  std::string out;
  std::string_view usage = help.usage;
  std::string_view lead = "usage: ";
  do {
    const std::size_t end = usage.find('\n');
    const std::string_view form = usage.substr(0, end);
    out += lead;
    out += help.program;
    if (!form.empty()) out += ' ';
    out += form;
    out += '\n';
    lead = "       ";
    usage = end == std::string_view::npos ? std::string_view() : usage.substr(end + 1);
  } while (!usage.empty());
  if (!help.about.empty()) {
    out += '\n';
    add_indented(out, help.about, "");
  }
  add_section(out, "Configuration", help.configuration);
  add_section(out, "Files", help.files);
  add_section(out, "Exit status", help.exit_status);
  return out;
}

std::optional<std::string> answer(const std::vector<std::string>& args, std::string_view program,
                                  std::string_view help_text) {
  if (args.empty()) return std::nullopt;
  if (args[0] == "--help" || args[0] == "-h") return std::string(help_text);
  if (args[0] == "--version") return version_line(program);
  return std::nullopt;
}

std::optional<int> respond(const std::vector<std::string>& args, std::string_view program,
                           std::string_view help_text) {
  const auto text = answer(args, program, help_text);
  if (!text) return std::nullopt;
  console::out(*text);
  return 0;
}

std::optional<int> respond(const std::vector<std::string>& args, const Help& help) {
  if (args.empty() || (args[0] != "--help" && args[0] != "-h" && args[0] != "--version")) {
    return std::nullopt;
  }
  return respond(args, help.program, render(help));
}

std::optional<int> respond(int argc, char** argv, const Help& help) {
  return respond(console::arguments(argc, argv), help);
}

}  // namespace pink::cli
