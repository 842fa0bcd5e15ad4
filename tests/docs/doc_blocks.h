// The runnable examples of the reference pages in docs/: fenced blocks whose
// info string marks them as a job file or a program to run, and the blocks
// after them that say what must come out.
//
//   ```job <program> <COMn|LPT1>      a job file (UTF-8, one line per line)
//   ```c run <harness> <library>      a C program linked with lib<library>.so
//   ```python run <harness>           a Python program loading the libraries
//   ```sh run <harness>               a shell script with the suite's programs on the path
//   ```bytes                          what the device receives: hex pairs and "text", # comments
//   ```output                         what the program prints
//   ```mailbox                        "section key [value]" lines that must hold afterwards
//
// Expectation blocks apply to every runnable block since the previous
// expectations, so a C and a Python example share the output they both print.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pink::docs {

struct Block {
  std::string file;                // the page's name, "job-files.md"
  int line = 0;                    // line of the opening fence
  std::vector<std::string> info;   // the info string's words
  std::string body;                // the lines between the fences, each ended by "\n"
};

// Every fenced block of a Markdown text, in order.
std::vector<Block> fenced_blocks(const std::string& file, const std::string& text);

struct MailboxLine {
  std::string section;
  std::string key;
  std::string value;  // UTF-8; empty when the line names only the key
};

struct Example {
  Block run;                              // the job or program block
  std::optional<std::string> bytes;       // the bytes block's source, unparsed
  std::optional<std::string> output;
  std::vector<MailboxLine> mailbox;
  std::string name() const;               // a test name: page, line, kind
};

// The runnable examples of the pages; a runnable block without any
// expectation is kept, with none set, so that the suite can refuse it.
std::vector<Example> examples(const std::vector<Block>& blocks);

// Parses a bytes block into the bytes it stands for (text converted to
// cp949). Returns nullopt and sets `error` on anything else than hex pairs,
// quoted text and comments.
std::optional<std::string> parse_bytes(const std::string& source, std::string* error);

// The relative links of a Markdown text: the targets of "](target)".
std::vector<std::string> relative_links(const std::string& text);

// The anchors a page offers: its headings' slugs (as the usual Markdown
// renderers make them) and its <a name="..."> marks.
std::vector<std::string> anchors(const std::string& text);

}  // namespace pink::docs
