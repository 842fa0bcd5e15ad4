// The reference pages as a reader meets them: linked from the README, every
// link leading somewhere, and the checking of examples refusing what it
// cannot read rather than passing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/docs/doc_blocks.h"

namespace fs = std::filesystem;
using namespace pink::docs;

namespace {

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

const fs::path kRoot = PINK_SOURCE_DIR;

std::vector<fs::path> pages() {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(kRoot / "docs")) {
    if (e.path().extension() == ".md") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(DocLinks, EveryPageIsReachableAndEveryLinkLeadsSomewhere) {
  const auto readme_links = relative_links(read_file(kRoot / "README.md"));
  EXPECT_NE(std::find(readme_links.begin(), readme_links.end(), "docs/README.md"), readme_links.end())
      << "the README links the reference pages";
  const auto index = relative_links(read_file(kRoot / "docs" / "README.md"));
  std::vector<fs::path> sources = pages();
  sources.push_back(kRoot / "README.md");
  for (const auto& page : pages()) {
    if (page.filename() == "README.md") continue;
    EXPECT_NE(std::find(index.begin(), index.end(), page.filename().string()), index.end())
        << page.filename() << " is not in docs/README.md";
  }
  for (const auto& source : sources) {
    for (const auto& link : relative_links(read_file(source))) {
      const auto hash = link.find('#');
      const std::string file = link.substr(0, hash);
      const fs::path target = file.empty() ? source : source.parent_path() / file;
      ASSERT_TRUE(fs::exists(target)) << source.filename() << ": " << link;
      if (hash == std::string::npos || fs::is_directory(target)) continue;
      const auto names = anchors(read_file(target));
      EXPECT_NE(std::find(names.begin(), names.end(), link.substr(hash + 1)), names.end())
          << source.filename() << ": no anchor for " << link;
    }
  }
}

TEST(DocBlocks, ExpectationsFollowTheExamplesBeforeThem) {
  const std::string page =
      "```c run none icapi\nint main(void){}\n```\n"
      "```python run none\nprint(1)\n```\n"
      "```output\n1\n```\n"
      "```job kitchen COM1\n1T0XN\nORDER\n```\n"
      "```bytes\n\"ORDER\" 0D 0A\n```\n"
      "```mailbox\nfloyd kit_state end\nfloyd kit_error\nfloyd kit_text 4-Port already open\n```\n"
      "```sh\nls\n```\n";
  const auto e = examples(fenced_blocks("p.md", page));
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].output, "1\n");
  EXPECT_EQ(e[1].output, "1\n");
  EXPECT_FALSE(e[0].bytes);
  EXPECT_FALSE(e[2].output);
  EXPECT_EQ(e[2].bytes, "\"ORDER\" 0D 0A\n");
  ASSERT_EQ(e[2].mailbox.size(), 3u);
  EXPECT_EQ(e[2].mailbox[1].key, "kit_error");
  EXPECT_EQ(e[2].mailbox[1].value, "");
  EXPECT_EQ(e[2].mailbox[2].value, "4-Port already open");
  EXPECT_EQ(e[2].run.body, "1T0XN\nORDER\n");
  EXPECT_EQ(e[2].run.line, 10);
}

TEST(DocBlocks, BytesBlocksReadHexTextAndCommentsAndRefuseTheRest) {
  std::string error;
  EXPECT_EQ(parse_bytes("1B 70 00  # pulse \"x\"\n\"합\" 0d0A", &error), std::nullopt)
      << "0d0A is no pair of bytes";
  EXPECT_EQ(parse_bytes("1B 70 00  # pulse \"x\"\n\"합\" 0d 0A", &error),
            std::string("\x1B\x70\x00\xC7\xD5\x0D\x0A", 7));
  EXPECT_EQ(parse_bytes("\"open", &error), std::nullopt);
  EXPECT_NE(error.find("unclosed"), std::string::npos);
  EXPECT_EQ(parse_bytes("1G", &error), std::nullopt);
  EXPECT_EQ(parse_bytes("ESC", &error), std::nullopt);
  EXPECT_EQ(parse_bytes("", &error), std::string());
}

TEST(DocBlocks, AnchorsFollowTheHeadingsAndNamedMarks) {
  const auto a = anchors(
      "# Job files\n## Receipt printer: `rcptlib`\n```sh\n# not a heading\n```\n"
      "## Text edit library: `XOposPrint` <a name=\"xoposprint\"></a>\n");
  EXPECT_EQ(a, (std::vector<std::string>{"job-files", "receipt-printer-rcptlib", "xoposprint",
                                         "text-edit-library-xoposprint"}));
}

}  // namespace
