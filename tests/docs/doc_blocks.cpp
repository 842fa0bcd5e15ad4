#include "tests/docs/doc_blocks.h"

#include <cctype>
#include <sstream>

#include "platform/text.h"

namespace pink::docs {
namespace {

std::vector<std::string> words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool is_runnable(const Block& b) {
  if (b.info.empty()) return false;
  if (b.info[0] == "job") return true;
  return (b.info[0] == "c" || b.info[0] == "python" || b.info[0] == "sh") && b.info.size() >= 2 &&
         b.info[1] == "run";
}

bool is_expectation(const Block& b) {
  return !b.info.empty() && b.info.size() == 1 &&
         (b.info[0] == "bytes" || b.info[0] == "output" || b.info[0] == "mailbox");
}

std::vector<MailboxLine> mailbox_lines(const std::string& body) {
  std::vector<MailboxLine> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) {
    auto w = words(line);
    if (w.empty()) continue;
    MailboxLine m;
    m.section = w[0];
    if (w.size() > 1) m.key = w[1];
    // The value is the rest of the line after the key, as written.
    const auto key_at = line.find(m.key, line.find(m.section) + m.section.size());
    if (w.size() > 2) {
      auto rest = line.substr(key_at + m.key.size());
      rest.erase(0, rest.find_first_not_of(' '));
      m.value = rest;
    }
    lines.push_back(m);
  }
  return lines;
}

}  // namespace

std::vector<Block> fenced_blocks(const std::string& file, const std::string& text) {
  std::vector<Block> blocks;
  std::istringstream in(text);
  std::optional<Block> open;
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    if (line.rfind("```", 0) == 0) {
      if (open) {
        blocks.push_back(*open);
        open.reset();
      } else {
        open = Block{file, n, words(line.substr(3)), ""};
      }
      continue;
    }
    if (open) open->body += line + "\n";
  }
  if (open) blocks.push_back(*open);  // an unclosed fence still counts
  return blocks;
}

std::string Example::name() const {
  std::string page;
  for (char c : run.file) page += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  std::string kind = run.info[0] == "job" ? "job_" + run.info.at(1) : run.info[0];
  return page + "_line" + std::to_string(run.line) + "_" + kind;
}

std::vector<Example> examples(const std::vector<Block>& blocks) {
  std::vector<Example> out;
  std::size_t group_start = 0;  // first example still waiting for expectations
  bool expectations_seen = false;
  for (const Block& b : blocks) {
    if (is_runnable(b)) {
      if (expectations_seen) group_start = out.size();
      expectations_seen = false;
      out.push_back(Example{b, {}, {}, {}});
    } else if (is_expectation(b) && group_start < out.size()) {
      expectations_seen = true;
      for (std::size_t i = group_start; i < out.size(); ++i) {
        Example& e = out[i];
        if (b.info[0] == "bytes") e.bytes = b.body;
        if (b.info[0] == "output") e.output = b.body;
        if (b.info[0] == "mailbox") e.mailbox = mailbox_lines(b.body);
      }
    }
  }
  return out;
}

std::optional<std::string> parse_bytes(const std::string& source, std::string* error) {
  std::string out;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) -> std::optional<std::string> {
    if (error) *error = why + " at offset " + std::to_string(i);
    return std::nullopt;
  };
  while (i < source.size()) {
    const char c = source[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '#') {
      while (i < source.size() && source[i] != '\n') ++i;
    } else if (c == '"') {
      const auto end = source.find('"', i + 1);
      if (end == std::string::npos || source.find('\n', i) < end) return fail("unclosed text");
      out += text::utf8_to_cp949(source.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (i + 1 < source.size() && std::isxdigit(static_cast<unsigned char>(c)) &&
               std::isxdigit(static_cast<unsigned char>(source[i + 1])) &&
               (i + 2 == source.size() || std::isspace(static_cast<unsigned char>(source[i + 2])))) {
      out += static_cast<char>(std::stoi(source.substr(i, 2), nullptr, 16));
      i += 2;
    } else {
      return fail("neither a hexadecimal byte nor text");
    }
  }
  return out;
}

std::vector<std::string> relative_links(const std::string& text) {
  std::vector<std::string> links;
  for (std::size_t at = text.find("]("); at != std::string::npos; at = text.find("](", at + 2)) {
    const auto end = text.find(')', at + 2);
    if (end == std::string::npos) break;
    std::string target = text.substr(at + 2, end - at - 2);
    if (target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0) continue;
    links.push_back(target);
  }
  return links;
}

std::vector<std::string> anchors(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  bool fenced = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("```", 0) == 0) fenced = !fenced;
    if (fenced) continue;
    for (auto at = line.find("<a name=\""); at != std::string::npos;
         at = line.find("<a name=\"", at + 1)) {
      const auto start = at + 9;
      out.push_back(line.substr(start, line.find('"', start) - start));
    }
    if (line.rfind('#', 0) != 0) continue;
    std::string title = line.substr(line.find_first_not_of('#'));
    if (auto mark = title.find("<a name"); mark != std::string::npos) title.resize(mark);
    std::string slug;
    for (unsigned char c : title) {
      if (std::isalnum(c) || c == '-' || c == '_' || c >= 0x80) {
        slug += static_cast<char>(std::tolower(c));
      } else if (c == ' ') {
        slug += '-';
      }
    }
    while (!slug.empty() && slug.front() == '-') slug.erase(0, 1);
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    out.push_back(slug);
  }
  return out;
}

}  // namespace pink::docs
