// The virtual printer's reading of byte streams: every command of its table
// with exact arguments and lengths, text and line ends, Korean mode, streams
// cut off anywhere, and random streams (run under address and
// undefined-behaviour checks).
#include "tools/vprinter/decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "tests/vprinter/streams.h"
#include "tools/vprinter/png.h"
#include "tools/vprinter/transcript.h"

namespace pink::vprinter {
namespace {

using testing::bytes;
using testing::cp949;
using testing::korean_mode;

Event command(Op op, std::size_t offset, std::size_t size, std::vector<std::uint32_t> args,
              std::string data = {}) {
  Event e;
  e.kind = EventKind::Command;
  e.offset = offset;
  e.size = size;
  e.command = &command_entry(op);
  e.args = std::move(args);
  e.data = std::move(data);
  return e;
}

Event text(std::size_t offset, std::string data, bool korean = false) {
  Event e;
  e.kind = EventKind::Text;
  e.offset = offset;
  e.size = data.size();
  e.data = std::move(data);
  e.korean = korean;
  return e;
}

Event line_end(std::size_t offset, LineEnd kind) {
  Event e;
  e.kind = EventKind::LineEnd;
  e.offset = offset;
  e.size = kind == LineEnd::CrLf ? 2 : 1;
  e.line_end = kind;
  return e;
}

Event control(std::size_t offset, int byte) {
  Event e;
  e.kind = EventKind::Control;
  e.offset = offset;
  e.size = 1;
  e.data = bytes({byte});
  return e;
}

Event truncated(std::size_t offset, std::string data, const CommandEntry* entry, bool korean = false) {
  Event e;
  e.kind = EventKind::Truncated;
  e.offset = offset;
  e.size = data.size();
  e.data = std::move(data);
  e.command = entry;
  e.korean = korean;
  return e;
}

struct Case {
  std::string bytes;
  Op op;
  std::vector<std::uint32_t> args;
  std::string data;
};

std::string row(int fill) { return std::string(kRasterRowBytes, static_cast<char>(fill)); }

// One or more complete instances of every command (Korean mode on aside,
// which changes how the bytes after it read).
std::vector<Case> command_cases() {
  const std::string image(16, '\x5A');
  const std::string two_rows = row(0xF0) + row(0x0F);
  return {
      {bytes({0x1B, 0x40}), Op::Initialise, {}, {}},
      {bytes({0x1B, 0x61, 0x31}), Op::Justify, {0x31}, {}},
      {bytes({0x1B, 0x61, 0x01}), Op::Justify, {1}, {}},
      {bytes({0x1B, 0x21, 0x38}), Op::PrintMode, {0x38}, {}},
      {bytes({0x1B, 0x45, 0x01}), Op::Emphasis, {1}, {}},
      {bytes({0x1B, 0x2D, 0x02}), Op::Underline, {2}, {}},
      {bytes({0x1B, 0x64, 0x03}), Op::FeedLines, {3}, {}},
      {bytes({0x1B, 0x32}), Op::DefaultLineSpacing, {}, {}},
      {bytes({0x1B, 0x33, 0x18}), Op::LineSpacing, {0x18}, {}},
      {bytes({0x1B, 0x70, 0x00, 0x40, 0x50}), Op::DrawerPulse, {0, 0x40, 0x50}, {}},
      {bytes({0x1B, 0x70, 0x30, 0x00, 0xFF}), Op::DrawerPulse, {0x30, 0, 0xFF}, {}},
      {bytes({0x1B, 0x70, 0x01, 0xFF, 0x10}), Op::DrawerPulse, {1, 0xFF, 0x10}, {}},
      {bytes({0x1B, 0x3D, 0x31}), Op::SelectDevice, {0x31}, {}},
      {bytes({0x1B, 0x56, 0x01, 0x00}) + row(0xA5), Op::RasterRows, {1, 0}, row(0xA5)},
      {bytes({0x1B, 0x56, 0x02, 0x00}) + two_rows, Op::RasterRows, {2, 0}, two_rows},
      {bytes({0x1B, 0x56, 0x00, 0x00}), Op::RasterRows, {0, 0}, {}},
      {bytes({0x1D, 0x6B, 0x04}) + "12345" + bytes({0x00}), Op::BarCode, {4}, "12345"},
      {bytes({0x1D, 0x6B, 0x02}) + "4901234567894" + bytes({0x00}), Op::BarCode, {2}, "4901234567894"},
      {bytes({0x1D, 0x6B, 0x00, 0x00}), Op::BarCode, {0}, {}},
      {bytes({0x1D, 0x6B, 0x49, 0x0A}) + "{B12345678", Op::BarCode, {0x49, 10}, "{B12345678"},
      {bytes({0x1D, 0x6B, 0x73, 0x0E}) + "12345678\r\n\x1b@  ", Op::BarCode, {0x73, 14},
       "12345678\r\n\x1b@  "},
      {bytes({0x1D, 0x6B, 0x08}), Op::BarCode, {8}, {}},
      {bytes({0x1D, 0x68, 0x30}), Op::BarCodeHeight, {0x30}, {}},
      {bytes({0x1D, 0x77, 0x02}), Op::BarCodeWidth, {2}, {}},
      {bytes({0x1D, 0x66, 0x01}), Op::HriFont, {1}, {}},
      {bytes({0x1D, 0x48, 0x02}), Op::HriPosition, {2}, {}},
      {bytes({0x1D, 0x21, 0x11}), Op::CharacterSize, {0x11}, {}},
      {bytes({0x1D, 0x56, 0x31}), Op::Cut, {0x31}, {}},
      {bytes({0x1D, 0x56, 0x41, 0x03}), Op::Cut, {0x41, 3}, {}},
      {bytes({0x1D, 0x2A, 0x02, 0x01}) + image, Op::DefineBitImage, {2, 1}, image},
      {bytes({0x1D, 0x2A, 0x00, 0x05}), Op::DefineBitImage, {0, 5}, {}},
      {bytes({0x1D, 0x2F, 0x30}), Op::PrintBitImage, {0x30}, {}},
      {bytes({0x1D, 0x2F, 0x00}), Op::PrintBitImage, {0}, {}},
      {bytes({0x1D, 0x47, 0x30}), Op::PrintLogo, {0x30}, {}},
      {bytes({0x1D, 0x50, 0x01, 0x02}), Op::MotionUnits, {1, 2}, {}},
      {bytes({0x1C, 0x70, 0x01, 0x00}), Op::PrintNvImage, {1, 0}, {}},
      {bytes({0x1C, 0x70, 0x02, 0x00}), Op::PrintNvImage, {2, 0}, {}},
      {bytes({0x1C, 0x2E}), Op::KoreanOff, {}, {}},
      {bytes({0x1C, 0x62, 0x01, 0xF4, 0x01, 0xFA, 0x00}), Op::Buzzer, {1, 500, 250}, {}},
      {bytes({0x1C, 0x62, 0x04, 0x34, 0x12, 0x00, 0x01}), Op::Buzzer, {4, 0x1234, 0x100}, {}},
      {bytes({0x1F, 0x30, 0x03}), Op::SelectLogo, {3}, {}},
      {bytes({0x12, 0x7E, 0x64}), Op::LogoStart, {0x64}, {}},
      {bytes({0x12, 0x7A, 0x00, 0x48, 0x21}), Op::LogoRowsBegin, {0x48, 0x21}, {}},
      {bytes({0x12, 0x7A, 0x01, 0x00}), Op::LogoRowsEnd, {0}, {}},
  };
}

TEST(VprinterDecoder, ReadsEveryCommandWithItsArguments) {
  std::set<Op> seen{Op::KoreanOn};  // in the Korean mode test
  for (const auto& c : command_cases()) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    seen.insert(c.op);
    // The command takes exactly its bytes: the text behind it stays text.
    const auto events = decode(c.bytes + "Z");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], command(c.op, 0, c.bytes.size(), c.args, c.data));
    EXPECT_EQ(events[1], text(c.bytes.size(), "Z"));
  }
  for (const auto& entry : kCommands) EXPECT_TRUE(seen.count(entry.op)) << entry.name;
}

TEST(VprinterDecoder, ReadsTextLineEndsAndStrayControlBytes) {
  const std::string won = cp949("원");
  const std::string stream = "AB\r\nC\nD\rE\r\r\n" + won + bytes({0x00, 0x7F, 0x1B, 0x99, 0x0C}) +
                             "x" + bytes({0x12, 0x7A, 0x05});
  const std::vector<Event> expected{
      text(0, "AB"),
      line_end(2, LineEnd::CrLf),
      text(4, "C"),
      line_end(5, LineEnd::Lf),
      text(6, "D"),
      line_end(7, LineEnd::Cr),
      text(8, "E"),
      line_end(9, LineEnd::Cr),
      line_end(10, LineEnd::CrLf),
      text(12, won),
      control(14, 0x00),
      control(15, 0x7F),
      // An ESC that begins no known command: the byte after it is read anew.
      control(16, 0x1B),
      text(17, bytes({0x99})),
      control(18, 0x0C),
      text(19, "x"),
      control(20, 0x12),
      text(21, "z"),
      control(22, 0x05),
  };
  EXPECT_EQ(decode(stream), expected);
  EXPECT_TRUE(decode(std::string_view()).empty());

  // The bar code data of GS k with m 0..6 runs up to the NUL, whatever it holds.
  EXPECT_EQ(decode(bytes({0x1D, 0x6B, 0x04, 0x41, 0x0D, 0x0A, 0x42, 0x00, 0x0A})),
            (std::vector<Event>{command(Op::BarCode, 0, 8, {4}, "A\r\nB"), line_end(8, LineEnd::Lf)}));
  // A bar code system without data of its own: what follows reads as usual,
  // as the model-4 bar code of the parallel path sends it.
  EXPECT_EQ(decode(bytes({0x1D, 0x6B, 0x08, 0x68, 0x11, 0x12, 0xFF, 0x0D, 0x0D, 0x0A})),
            (std::vector<Event>{command(Op::BarCode, 0, 3, {8}), text(3, "h"), control(4, 0x11),
                                control(5, 0x12), text(6, bytes({0xFF})), line_end(7, LineEnd::Cr),
                                line_end(8, LineEnd::CrLf)}));
}

TEST(VprinterDecoder, KoreanModeTurnsTheCodesBackIntoCharacters) {
  // "주문 1번" as the Korean double-byte mode sends it.
  const std::string ju = cp949("주"), mun = cp949("문"), beon = cp949("번");
  const std::string stream = korean_mode("주문 1번") + "\r\n";
  const std::vector<Event> expected{
      command(Op::KoreanOn, 0, 2, {}),   text(2, ju, true),  command(Op::KoreanOff, 4, 2, {}),
      command(Op::KoreanOn, 6, 2, {}),   text(8, mun, true), command(Op::KoreanOff, 10, 2, {}),
      text(12, " 1"),
      command(Op::KoreanOn, 14, 2, {}),  text(16, beon, true), command(Op::KoreanOff, 18, 2, {}),
      line_end(20, LineEnd::CrLf),
  };
  EXPECT_EQ(decode(stream), expected);

  // Several characters in one Korean mode are one text event.
  const std::string two = cp949("주문");
  EXPECT_EQ(decode(bytes({0x1C, 0x26, two[0] & 0x7F, two[1] & 0x7F, two[2] & 0x7F, two[3] & 0x7F,
                          0x1C, 0x2E})),
            (std::vector<Event>{command(Op::KoreanOn, 0, 2, {}), text(2, two, true),
                                command(Op::KoreanOff, 6, 2, {})}));

  // A masked code may look like a command (lead byte 0x9B becomes ESC) or a
  // line end: inside Korean mode it is a character all the same.
  const std::string esc_like = bytes({0x9B, 0xC0});
  const std::string lf_like = bytes({0x8A, 0x8D});
  ASSERT_TRUE(text::is_valid_cp949(esc_like));
  ASSERT_TRUE(text::is_valid_cp949(lf_like));
  EXPECT_EQ(decode(bytes({0x1C, 0x26, 0x1B, 0x40, 0x0A, 0x0D, 0x1C, 0x2E, 0x1B, 0x40})),
            (std::vector<Event>{command(Op::KoreanOn, 0, 2, {}), text(2, esc_like + lf_like, true),
                                command(Op::KoreanOff, 6, 2, {}), command(Op::Initialise, 8, 2, {})}));

  // Bytes with the top bit set inside Korean mode are plain cp949 text, one
  // character at a time; the pairs after them are Korean codes again.
  const std::string won = cp949("원");
  EXPECT_EQ(decode(bytes({0x1C, 0x26}) + won + bytes({0x30, 0x41, 0xFF, 0x41, 0xC1, 0x1C, 0x2E})),
            (std::vector<Event>{command(Op::KoreanOn, 0, 2, {}), text(2, won),
                                text(4, bytes({0xB0, 0xC1}), true), text(6, bytes({0xFF})),
                                text(7, "A"), text(8, bytes({0xC1})),
                                command(Op::KoreanOff, 9, 2, {})}));
}

TEST(VprinterDecoder, ReportsACommandCutOffAtEveryLength) {
  std::vector<std::pair<std::string, const CommandEntry*>> complete;
  for (const auto& c : command_cases()) complete.emplace_back(c.bytes, &command_entry(c.op));
  for (const auto& [whole, entry] : complete) {
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
      SCOPED_TRACE(::testing::PrintToString(whole.substr(0, cut)));
      // A cut inside the prefix names the command when only one begins so.
      const CommandEntry* named =
          cut >= entry->prefix_size || entry->prefix[0] == kUs ? entry : nullptr;
      EXPECT_EQ(decode("A" + whole.substr(0, cut)),
                (std::vector<Event>{text(0, "A"), truncated(1, whole.substr(0, cut), named)}));
    }
  }

  // Bar code data without its NUL, and counted data cut short.
  const std::string no_nul = bytes({0x1D, 0x6B, 0x04, 0x31, 0x32, 0x0D, 0x0A});
  EXPECT_EQ(decode(no_nul),
            (std::vector<Event>{truncated(0, no_nul, &command_entry(Op::BarCode))}));
  const std::string short_image = bytes({0x1D, 0x2A, 0xFF, 0xFF, 0x00});
  EXPECT_EQ(decode(short_image),
            (std::vector<Event>{truncated(0, short_image, &command_entry(Op::DefineBitImage))}));
  const std::string short_rows = bytes({0x1B, 0x56, 0xFF, 0xFF}) + row(0);
  EXPECT_EQ(decode(short_rows),
            (std::vector<Event>{truncated(0, short_rows, &command_entry(Op::RasterRows))}));

  // A Korean character cut after its first byte.
  EXPECT_EQ(decode(bytes({0x1C, 0x26, 0x41})),
            (std::vector<Event>{command(Op::KoreanOn, 0, 2, {}), truncated(2, "A", nullptr, true)}));
  EXPECT_EQ(decode(bytes({0x1C, 0x26, 0x1C})),
            (std::vector<Event>{command(Op::KoreanOn, 0, 2, {}),
                                truncated(2, bytes({0x1C}), nullptr, true)}));
}

// What every decoded stream must be, whatever its bytes.
void expect_well_formed(const std::string& stream, const std::vector<Event>& events) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    ASSERT_EQ(e.offset, at) << "event " << i;
    ASSERT_GT(e.size, 0u) << "event " << i;
    at += e.size;
    switch (e.kind) {
      case EventKind::Text:
        if (!e.korean) {
          EXPECT_EQ(e.data, stream.substr(e.offset, e.size));
        }
        EXPECT_EQ(e.data.size(), e.size);
        break;
      case EventKind::Control:
        EXPECT_EQ(e.data, stream.substr(e.offset, 1));
        break;
      case EventKind::Truncated:
        EXPECT_EQ(i + 1, events.size()) << "a cut-off command is the last event";
        EXPECT_EQ(e.data, stream.substr(e.offset));
        break;
      case EventKind::Command:
        ASSERT_NE(e.command, nullptr);
        EXPECT_EQ(stream.compare(e.offset, e.command->prefix_size,
                                 reinterpret_cast<const char*>(e.command->prefix.data()),
                                 e.command->prefix_size),
                  0);
        if (e.command->op == Op::DefineBitImage) {
          EXPECT_EQ(e.data.size(), std::size_t{e.args[0]} * e.args[1] * 8);
        }
        if (e.command->op == Op::RasterRows) {
          EXPECT_EQ(e.data.size(), (e.args[0] + 256 * std::size_t{e.args[1]}) * kRasterRowBytes);
        }
        break;
      case EventKind::LineEnd:
        break;
    }
  }
  EXPECT_EQ(at, stream.size());
}

TEST(VprinterDecoder, RandomStreamsAreReadWithinTheirBounds) {
  // Bytes drawn mostly from command starts, small numbers and line ends, so
  // that commands, truncations and Korean mode come up often.
  const std::string favoured = bytes({0x00, 0x01, 0x02, 0x0A, 0x0D, 0x12, 0x1B, 0x1C, 0x1D, 0x1F,
                                      0x26, 0x2A, 0x2E, 0x2F, 0x30, 0x56, 0x61, 0x62, 0x6B, 0x70,
                                      0x7A, 0x7E, 0x80, 0xB0, 0xFF});
  for (unsigned seed = 1; seed <= 400; ++seed) {
    std::mt19937 rng(seed);
    const std::size_t length = rng() % 600;
    std::string stream;
    for (std::size_t i = 0; i < length; ++i) {
      stream += (rng() % 3 == 0) ? static_cast<char>(rng() & 0xFF) : favoured[rng() % favoured.size()];
    }
    SCOPED_TRACE(seed);
    const auto events = decode(stream);
    expect_well_formed(stream, events);
    // The rest of the printer digests whatever the decoder gives.
    const auto printout = print(testing::as_span(stream));
    EXPECT_EQ(printout.events, events);
    for (const auto& picture : printout.pictures) EXPECT_FALSE(encode_png(picture.bitmap).empty());
  }

  // Complete commands in random order, separated by text, read back as the
  // same commands.
  const auto cases = command_cases();
  for (unsigned seed = 1; seed <= 50; ++seed) {
    std::mt19937 rng(seed);
    std::string stream;
    std::vector<Op> ops;
    for (int i = 0; i < 40; ++i) {
      const auto& c = cases[rng() % cases.size()];
      stream += c.bytes + "Z";
      ops.push_back(c.op);
    }
    const auto events = decode(stream);
    expect_well_formed(stream, events);
    std::vector<Op> read;
    for (const auto& e : events) {
      if (e.kind == EventKind::Command) read.push_back(e.command->op);
    }
    EXPECT_EQ(read, ops) << "seed " << seed;
  }
}

}  // namespace
}  // namespace pink::vprinter
