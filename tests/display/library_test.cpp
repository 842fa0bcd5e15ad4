// The display driver libraries ldisp, ldisp2 and gdisp through their exported
// functions, loaded by file name as a POS loads them, against a virtual port
// on the library's fixed COM port. Every test runs in a process of its own,
// so each library starts closed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pink/pds.h"
#include "platform/dynlib.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "tools/testkit/testkit.h"
#include "tools/testkit/vport.h"

namespace pink {
namespace {

constexpr int kLdispPort = 6;
constexpr int kLinePort = 4;  // ldisp2 and gdisp

// One of the libraries with its three functions.
struct Driver {
  std::unique_ptr<dynlib::Library> lib;
  PdsOpenFn open = nullptr;
  PdsCloseFn close = nullptr;
  void* write = nullptr;

  explicit Driver(const std::string& name) {
    auto loaded = dynlib::load(name);
    if (!loaded) return;
    lib = std::move(*loaded);
    open = lib->function<PdsOpenFn>("PdsOpen");
    close = lib->function<PdsCloseFn>("PdsClose");
    write = lib->symbol("PdsWrite");
  }
  bool ok() const { return lib && open && close && write; }
  int32_t line(int32_t n, const char* text) const { return reinterpret_cast<PdsLineWriteFn>(write)(n, text); }
  int32_t raw(const char* text, int32_t length) const { return reinterpret_cast<PdsRawWriteFn>(write)(text, length); }
};

std::string cursor_ldisp2(char row) { return std::string("\x1b\x6c\x01", 3) + row; }
std::string cursor_gdisp(char digit) { return std::string("\x1b\x7b") + digit + "\x3b\x31\x48"; }
std::string cp949(const char* utf8) { return text::utf8_to_cp949(utf8); }

// Reads exactly what one write must have sent, and checks that nothing follows.
void expect_sent(testkit::VirtualPort& port, const std::string& expected) {
  EXPECT_EQ(port.read_exact(expected.size(), 5000), expected);
  EXPECT_EQ(port.read_available(50), "");
}

TEST(Ldisp2, RowsClampIntoOneAndTwoAndAShortTextIsPaddedWithSpaces) {
  testkit::VirtualPort port(kLinePort);
  Driver d("ldisp2");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  EXPECT_EQ(d.line(2, "ABC"), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x02') + "ABC" + std::string(17, ' '));
  for (const int32_t line : {0, -5, 1, INT32_MIN}) {
    EXPECT_EQ(d.line(line, "X"), PDS_WRITTEN);
    expect_sent(port, cursor_ldisp2('\x01') + "X" + std::string(19, ' '));
  }
  for (const int32_t line : {3, 99, INT32_MAX}) {
    EXPECT_EQ(d.line(line, ""), PDS_WRITTEN);
    expect_sent(port, cursor_ldisp2('\x02') + std::string(20, ' '));
  }
  EXPECT_EQ(d.line(1, nullptr), PDS_WRITTEN);  // a null text is the empty text
  expect_sent(port, cursor_ldisp2('\x01') + std::string(20, ' '));
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST(Ldisp2, FieldNeverEndsInHalfACharacterAndDropsWhatDoesNotFit) {
  testkit::VirtualPort port(kLinePort);
  Driver d("ldisp2");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);

  // 19 ASCII characters and a Korean one: its first byte lands in position
  // 20 and becomes a space; nothing of the character is shown.
  const std::string nineteen = "1234567890123456789";
  EXPECT_EQ(d.line(1, (nineteen + cp949("합")).c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x01') + nineteen + " ");

  // Ten Korean characters fill the 20 bytes exactly; more text is dropped.
  const std::string ten = cp949("가나다라마바사아자차");
  ASSERT_EQ(ten.size(), 20u);
  EXPECT_EQ(d.line(2, (ten + cp949("카") + "XYZ").c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x02') + ten);

  // The scan starts at the first byte: a field that ends in the second half
  // of a whole character (a byte of 0x7F or above) is left as it is.
  const std::string whole = "AB" + cp949("가나다라마바사아자");  // 2 + 18 bytes
  ASSERT_EQ(whole.size(), 20u);
  ASSERT_GE(static_cast<unsigned char>(whole.back()), 0x7F);
  EXPECT_EQ(d.line(1, (whole + "C").c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x01') + whole);
  // 0x7F opens a two-byte character too: in the last position it becomes a space.
  EXPECT_EQ(d.line(1, (nineteen + "\x7f").c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x01') + nineteen + " ");
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST(Ldisp2, TextWithoutANulIsReadNoFurtherThanTheField) {
  testkit::VirtualPort port(kLinePort);
  Driver d("ldisp2");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  // A heap block of exactly 20 bytes and no NUL: a read past it would be
  // caught by the address checker.
  const auto block = std::make_unique<char[]>(20);
  std::fill_n(block.get(), 20, 'Q');
  EXPECT_EQ(d.line(1, block.get()), PDS_WRITTEN);
  expect_sent(port, cursor_ldisp2('\x01') + std::string(20, 'Q'));
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST(Gdisp, EmptyLineOneIsTheCursorAndThirtyTwoSpaces) {
  testkit::VirtualPort port(kLinePort);
  Driver d("gdisp");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  EXPECT_EQ(d.line(1, ""), PDS_WRITTEN);
  expect_sent(port, std::string("\x1b\x7b\x31\x3b\x31\x48") + std::string(32, ' '));

  EXPECT_EQ(d.line(7, "TOTAL"), PDS_WRITTEN);
  expect_sent(port, cursor_gdisp('2') + "TOTAL" + std::string(27, ' '));
  EXPECT_EQ(d.line(-1, "A"), PDS_WRITTEN);
  expect_sent(port, cursor_gdisp('1') + "A" + std::string(31, ' '));

  // 31 ASCII bytes and a Korean character: the half in position 32 becomes a space.
  const std::string thirty_one(31, 'w');
  EXPECT_EQ(d.line(2, (thirty_one + cp949("원")).c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_gdisp('2') + thirty_one + " ");
  // Sixteen Korean characters fill the field; the rest is dropped.
  const std::string sixteen = cp949("합계금액부가세포함현금영수증발행");
  ASSERT_EQ(sixteen.size(), 32u);
  EXPECT_EQ(d.line(1, (sixteen + "MORE").c_str()), PDS_WRITTEN);
  expect_sent(port, cursor_gdisp('1') + sixteen);
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST(Ldisp, SendsTheFirstLengthBytesAndOneZeroWithinFiftyTwoBytes) {
  testkit::VirtualPort port(kLdispPort);
  Driver d("ldisp");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  const std::string text = "\x0b" "TOTAL  12,000";  // the caller's control codes pass as they are
  EXPECT_EQ(d.raw(text.c_str(), static_cast<int32_t>(text.size())), PDS_WRITTEN);
  expect_sent(port, text + std::string(1, '\0'));

  // A length beyond the text sends the zero-filled rest of the buffer.
  EXPECT_EQ(d.raw("AB", 5), PDS_WRITTEN);
  expect_sent(port, std::string("AB\0\0\0\0", 6));
  // The length counts from the buffer, not from the text: a length below the
  // text's sends one more byte of it, where the text's NUL would have been.
  EXPECT_EQ(d.raw("ABCDEF", 3), PDS_WRITTEN);
  expect_sent(port, "ABCD");

  std::string seventy;
  for (int i = 0; i < 70; ++i) seventy += static_cast<char>('0' + i % 10);
  // Lengths are taken into 0..51, so 1 to 52 bytes go out and no byte past
  // the buffer: text beyond 51 bytes is never taken, the 52nd byte is a zero.
  for (const int32_t length : {-1, INT32_MIN, 0}) {
    EXPECT_EQ(d.raw(seventy.c_str(), length), PDS_WRITTEN) << length;
    expect_sent(port, "0");
  }
  for (const int32_t length : {51, 52, 1000, INT32_MAX}) {
    EXPECT_EQ(d.raw(seventy.c_str(), length), PDS_WRITTEN) << length;
    expect_sent(port, seventy.substr(0, 51) + std::string(1, '\0'));
  }
  EXPECT_EQ(d.raw("", -1), PDS_WRITTEN);
  expect_sent(port, std::string(1, '\0'));
  // A null text is the empty text: zeros only.
  EXPECT_EQ(d.raw(nullptr, 3), PDS_WRITTEN);
  expect_sent(port, std::string(4, '\0'));
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST(Ldisp, TextWithoutANulIsReadNoFurtherThanFiftyOneBytes) {
  testkit::VirtualPort port(kLdispPort);
  Driver d("ldisp");
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  const auto block = std::make_unique<char[]>(51);
  std::fill_n(block.get(), 51, 'Z');
  EXPECT_EQ(d.raw(block.get(), 1000), PDS_WRITTEN);
  expect_sent(port, std::string(51, 'Z') + std::string(1, '\0'));
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

// The open and close protocol, the same in the three libraries.
class EveryDriver : public ::testing::TestWithParam<const char*> {
 protected:
  int port_number() const { return std::string(GetParam()) == "ldisp" ? kLdispPort : kLinePort; }
  int32_t write_something(const Driver& d) const {
    return std::string(GetParam()) == "ldisp" ? d.raw("HI", 2) : d.line(1, "HI");
  }
};

TEST_P(EveryDriver, OpensOnceRefusesASecondOpenAndOneCloseClosesThePort) {
  testkit::VirtualPort port(port_number());
  Driver d(GetParam());
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(write_something(d), PDS_WRITE_REFUSED);  // never opened
  EXPECT_EQ(d.close(), PDS_CLOSED);                   // closing a closed library

  EXPECT_EQ(d.open(), PDS_OPENED);
  EXPECT_EQ(d.open(), PDS_ALREADY_OPEN);
  // The port stayed open through the refused second open.
  EXPECT_EQ(write_something(d), PDS_WRITTEN);
  EXPECT_FALSE(port.read_available(2000).empty());
  // Nobody else can take it while it is open.
  EXPECT_EQ(serial::open("COM" + std::to_string(port_number())).status, serial::OpenStatus::InUse);

  EXPECT_EQ(d.close(), PDS_CLOSED);
  EXPECT_EQ(write_something(d), PDS_WRITE_REFUSED);
  EXPECT_EQ(port.read_available(100), "");
  auto again = serial::open("COM" + std::to_string(port_number()));
  EXPECT_EQ(again.status, serial::OpenStatus::Ok) << again.text;
  again.port.reset();
  EXPECT_EQ(d.close(), PDS_CLOSED);

  // Closed, it opens again.
  EXPECT_EQ(d.open(), PDS_OPENED);
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST_P(EveryDriver, RunsTheLineAt9600EightNoneOneWithXonXoff) {
  testkit::VirtualPort port(port_number());
  Driver d(GetParam());
  ASSERT_TRUE(d.ok());
  ASSERT_EQ(d.open(), PDS_OPENED);
  const testkit::LineView v = port.line();
  EXPECT_EQ(v.baud, 9600u);
  EXPECT_FALSE(v.odd);
  EXPECT_FALSE(v.stick);
  EXPECT_FALSE(v.two_stop_bits);
  EXPECT_FALSE(v.rts_cts);
  EXPECT_TRUE(v.xon_out);
  EXPECT_TRUE(v.xon_in);
  EXPECT_EQ(v.xon_char, 0x11);
  EXPECT_EQ(v.xoff_char, 0x13);
  EXPECT_TRUE(v.raw);
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

TEST_P(EveryDriver, AMissingOrBusyPortFailsTheOpenAndLeavesTheLibraryClosed) {
  Driver d(GetParam());
  ASSERT_TRUE(d.ok());
  {
    testkit::ScopedEnv nowhere("PINK_COM" + std::to_string(port_number()), "/nonexistent/tty");
    EXPECT_EQ(d.open(), PDS_OPEN_FAILED);
    EXPECT_EQ(write_something(d), PDS_WRITE_REFUSED);
  }
  testkit::VirtualPort port(port_number());
  auto holder = serial::open("COM" + std::to_string(port_number()));
  ASSERT_EQ(holder.status, serial::OpenStatus::Ok);
  EXPECT_EQ(d.open(), PDS_OPEN_FAILED);
  EXPECT_EQ(write_something(d), PDS_WRITE_REFUSED);
  holder.port.reset();
  EXPECT_EQ(d.open(), PDS_OPENED);  // a failed open left nothing behind
  EXPECT_EQ(d.close(), PDS_CLOSED);
}

INSTANTIATE_TEST_SUITE_P(Display, EveryDriver, ::testing::Values("ldisp", "ldisp2", "gdisp"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace pink
