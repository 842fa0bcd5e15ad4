// stylpad's protocol as the control speaks it: every frame it sends byte for
// byte, the recognition of the pad's answers (byte by byte and in bursts of
// every size alike), the sign and PIN handlers, the init watch, and the
// signature data's failures.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include "signpad/stylpad_protocol.h"

#include <climits>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "signpad/pad_keys.h"
#include "signpad/stylpad_device.h"

namespace pink::signpad::styl {
namespace {

std::string bytes_text(std::span<const std::uint8_t> b) { return std::string(b.begin(), b.end()); }
Bytes bytes_of(std::string_view s) { return Bytes(s.begin(), s.end()); }
std::string cp(std::string_view utf8) { return text::utf8_to_cp949(utf8); }

crypto::des::Block block_of(std::string_view hex) { return *key_from_hex(hex); }

// DES-ECB encryption by OpenSSL, the reference the suite's own DES is held to.
Bytes openssl_encrypt(Bytes plain, const crypto::des::Block& key) {
  plain.resize((plain.size() + 7) / 8 * 8, 0);
  DES_cblock k;
  std::memcpy(k, key.data(), 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&k, &schedule);
  for (std::size_t i = 0; i < plain.size(); i += 8) {
    DES_cblock in, out;
    std::memcpy(in, &plain[i], 8);
    DES_ecb_encrypt(&in, &out, &schedule, DES_ENCRYPT);
    std::memcpy(&plain[i], out, 8);
  }
  return plain;
}

// A B2 answer around the plain signature data (BCD length, run-coded image),
// encrypted under the build key and escaped as the pad does.
Bytes b2_frame(const Bytes& plain, int length_adjust = 0) {
  const Bytes cipher = openssl_encrypt(plain, block_of(kStylpadKey));
  Bytes escaped;
  for (const std::uint8_t b : cipher) {
    if (b < 0x20 || b == '#') {
      escaped.push_back('#');
      escaped.push_back(static_cast<std::uint8_t>(b ^ 0x40));
    } else {
      escaped.push_back(b);
    }
  }
  const std::size_t n = escaped.size() + static_cast<std::size_t>(length_adjust);
  Bytes body(16, '0');
  body.push_back(static_cast<std::uint8_t>(n >> 8));
  body.push_back(static_cast<std::uint8_t>(n & 0xFF));
  body.insert(body.end(), escaped.begin(), escaped.end());
  return frame(kAnsSignature, body);
}

// Plain data whose zero-run decoding gives `zeros` zero bytes: (0, 255) four
// times and (0, zeros - 1020), as one literal piece of run coding.
Bytes plain_of_zeros(std::size_t zeros) {
  const Bytes zero_coded{0, 255, 0, 255, 0, 255, 0, 255, 0, static_cast<std::uint8_t>(zeros - 1020)};
  Bytes plain{0x00, 0x10, static_cast<std::uint8_t>(256 - zero_coded.size())};
  plain.insert(plain.end(), zero_coded.begin(), zero_coded.end());
  return plain;
}

TEST(StylpadFrames, FixedFramesCarryTheirCheckBytes) {
  EXPECT_EQ(bytes_text(kInitFrame), std::string("\x02\x00\x04\xA0" "11\x03\xA7", 8));
  EXPECT_EQ(lrc(std::span(kInitFrame).first(7)), 0xA7);
  EXPECT_EQ(bytes_text(kAcceptFrame), std::string("\x02\x00\x02\xA2\x03\xA3", 6));
  EXPECT_EQ(bytes_text(kNoSignFrame), std::string("\x02\x00\x02\xAC\x03\xAD", 6));
  EXPECT_EQ(lrc(std::span(kNoSignFrame).first(5)), 0xAD);
  EXPECT_EQ(bytes_text(kClearFrame), std::string("\x02\xB1\xEE\xEE\x03\xB2", 6));
}

TEST(StylpadFrames, SignRequestCarriesTheWrappedKeyTheAmountAndTheLines) {
  DES_cblock key, wrap, out;
  std::memcpy(key, block_of(kStylpadKey).data(), 8);
  std::memcpy(wrap, block_of(kStylpadWrapKey).data(), 8);
  DES_key_schedule schedule;
  DES_set_key_unchecked(&wrap, &schedule);
  DES_ecb_encrypt(&key, &out, &schedule, DES_ENCRYPT);
  std::string key_hex;
  for (const unsigned char b : out) {
    char h[3];
    std::snprintf(h, sizeof h, "%02x", b);
    key_hex += h;
  }
  EXPECT_EQ(sign_key_text(), key_hex);

  const Bytes f = build(kSignRequest, {sign_key_text(), "50000", "04"});
  std::string expect("\x02\x00\x57\xA1", 4);
  expect += "0E" + key_hex + "         50000" + cp("원") + "\x1c" + cp("싸인해 주세요!! ") + "\x1c" +
            std::string(16, ' ') + "\x1c" + std::string(16, ' ') + "\x03";
  expect += static_cast<char>(lrc(bytes_of(expect)));
  ASSERT_EQ(f.size(), 91u);
  EXPECT_EQ(bytes_text(f), expect);

  // An amount that does not fit its 14 characters pushes the currency out
  // of the 16-byte field; the frame keeps its length.
  const Bytes wide = build(kSignRequest, {sign_key_text(), "123456789012345", "04"});
  ASSERT_EQ(wide.size(), 91u);
  EXPECT_EQ(bytes_text(std::span(wide).subspan(22, 16)), "123456789012345 ");
}

TEST(StylpadFrames, PinRequestFollowsThePinLength) {
  struct Case {
    const char* length;
    char flag;
    const char* line;  // UTF-8
  };
  const Case cases[] = {{"04", '0', "비밀번호 4자리  "}, {"06", '0', "비밀번호 6자리  "},
                        {"07", '1', "                "}, {"03", '0', "                "},
                        {"12", '1', "                "}, {"ab", '0', "                "}};
  for (const Case& c : cases) {
    const Bytes f = build(kPinRequest, {"", "", c.length});
    std::string expect("\x02\x00\x4B\xA3", 4);
    expect += std::string(1, c.flag) + c.length + cp(c.line) + "\x1c" + cp("입력대기 중     ") + "\x1c" +
              std::string(16, ' ') + "\x1c" + std::string(16, ' ') + "\x1c" + "01\x03";
    expect += static_cast<char>(lrc(bytes_of(expect)));
    ASSERT_EQ(f.size(), 79u) << c.length;
    EXPECT_EQ(bytes_text(f), expect) << c.length;
  }
}

TEST(StylpadFrames, FieldsAreCutWithoutSplittingACharacter) {
  EXPECT_EQ(fit(cp("가나다"), 5), cp("가나") + " ");
  EXPECT_EQ(fit("abc   ", 4), "abc ");
  EXPECT_EQ(fit("abcdef", 4), "abcd");
  EXPECT_EQ(fit("", 2), "  ");
  EXPECT_EQ(pin_length_value(" 4"), 4);
  EXPECT_EQ(pin_length_value("1x"), 1);
  EXPECT_EQ(pin_length_value("x1"), 0);
}

TEST(StylpadFrames, PinLengthWithMoreDigitsThanAnIntHoldsReadsAsTheLargest) {
  EXPECT_EQ(pin_length_value("2147483647"), INT_MAX);
  EXPECT_EQ(pin_length_value("  99999999999999999999"), INT_MAX);
  EXPECT_EQ(pin_length_value("2147483648x5"), INT_MAX);
  EXPECT_EQ(pin_length_value("0000000000000000000005"), 5);
  // Such a length asks for the long PIN and shows no length line; the frame
  // keeps its size with the given characters cut to their field.
  const Bytes f = build(kPinRequest, {"", "", "99999999999999999999"});
  ASSERT_EQ(f.size(), 79u);
  EXPECT_EQ(f[4], '1');
  EXPECT_EQ(bytes_text(std::span(f).subspan(5, 18)), "99" + std::string(16, ' '));
}

// ACK to init, points, a cleared screen, more points and the signature data:
// what a pad sends during one signature, back to back.
Bytes signing_stream() {
  Bytes all = short_answer(kAck);
  const std::pair<int, int> points[] = {{10, 5}, {11, 6}, {128, 64}, {0, 0}, {200, 3}, {40, 30}};
  for (const auto& [x, y] : points) {
    const Bytes p = point_answer(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y));
    all.insert(all.end(), p.begin(), p.end());
  }
  for (const Bytes& b : {point_answer(kCleared, kCleared), point_answer(3, 2),
                         signature_answer(image_of({{3, 2}, {64, 32}}))}) {
    all.insert(all.end(), b.begin(), b.end());
  }
  return all;
}

std::vector<Reaction> react_all(const std::vector<Bytes>& frames, Mode mode) {
  Session s;
  s.begin(mode);
  s.init_sent();
  std::vector<Reaction> out;
  for (const Bytes& f : frames) out.push_back(s.answer(f));
  return out;
}

TEST(StylpadRecognition, BurstsOfEverySizeGiveTheSameFramesAndReactions) {
  const Bytes stream = signing_stream();
  std::vector<Bytes> whole;
  Recognizer r;
  r.feed(stream, whole);
  ASSERT_EQ(whole.size(), 10u);
  EXPECT_FALSE(r.in_frame());
  const std::vector<Reaction> expected = react_all(whole, Mode::Sign);
  const std::vector<Step> steps = {Step::SendSignRequest, Step::Point, Step::Point, Step::Point, Step::Point,
                                   Step::Ignore,          Step::Point, Step::ScreenCleared, Step::Point,
                                   Step::Signature};
  ASSERT_EQ(expected.size(), steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(expected[i].step, steps[i]) << i;

  for (std::size_t size = 1; size <= stream.size(); ++size) {
    Recognizer burst;
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at < stream.size(); at += size) {
      burst.feed(std::span(stream).subspan(at, std::min(size, stream.size() - at)), frames);
    }
    ASSERT_EQ(frames, whole) << "bursts of " << size;
    ASSERT_EQ(react_all(frames, Mode::Sign), expected) << "bursts of " << size;
  }
}

TEST(StylpadRecognition, ABurstThatStartsOutsideAFrameIsDiscardedWhole) {
  Recognizer r;
  std::vector<Bytes> frames;
  const Bytes ack = short_answer(kAck);
  Bytes noisy{0xFF};
  noisy.insert(noisy.end(), ack.begin(), ack.end());
  r.feed(noisy, frames);
  EXPECT_TRUE(frames.empty());

  // After a frame, a stray byte ends the burst: the ACK behind it is lost.
  Bytes tail = ack;
  tail.push_back(0x30);
  tail.insert(tail.end(), ack.begin(), ack.end());
  r.feed(tail, frames);
  EXPECT_EQ(frames.size(), 1u);

  // 0x01 starts a frame as STX does.
  Bytes alt = ack;
  alt[0] = kAltStart;
  frames.clear();
  r.feed(alt, frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(react_all(frames, Mode::Sign)[0].step, Step::SendSignRequest);
}

TEST(StylpadRecognition, AFrameLongerThanTheRingIsNoFrame) {
  Recognizer r;
  std::vector<Bytes> frames;
  const std::uint8_t huge[] = {kStx, 0xFF, 0xFF, 0xB2, 0x00, 0x00};
  r.feed(huge, frames);
  EXPECT_FALSE(r.in_frame());
  r.feed(short_answer(kNak), frames);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(react_all(frames, Mode::Sign)[0].step, Step::End);

  // The longest frame kept is still taken.
  Bytes longest(kMaxFrameBytes, 0x20);
  longest[0] = kStx;
  longest[1] = static_cast<std::uint8_t>((kMaxFrameBytes - 4) >> 8);
  longest[2] = static_cast<std::uint8_t>((kMaxFrameBytes - 4) & 0xFF);
  frames.clear();
  r.feed(longest, frames);
  EXPECT_EQ(frames.size(), 1u);
}

TEST(StylpadHandlers, SignHandlerEndsTheJobOnNakCancelEscAndShortSignatureData) {
  Session s;
  s.begin(Mode::Sign);
  EXPECT_EQ(s.answer(short_answer(kNak)).step, Step::End);
  EXPECT_EQ(s.answer(short_answer(kAnsCancel)).step, Step::End);
  EXPECT_EQ(s.answer(short_answer(kEsc)).step, Step::EscapeEnd);
  EXPECT_EQ(s.answer(short_answer(kAnsSignature)).step, Step::End);
  EXPECT_EQ(s.answer(frame(kAnsSignature, bytes_of("x"))).step, Step::Signature);
  EXPECT_EQ(s.answer(pin_answer("1234")).step, Step::Ignore);
  EXPECT_EQ(s.answer(short_answer(0x99)).step, Step::Ignore);
  const Reaction point = s.answer(point_answer(128, 64));
  EXPECT_EQ(point.step, Step::Point);
  EXPECT_EQ(std::make_pair(point.x, point.y), std::make_pair(128, 64));
  EXPECT_EQ(s.answer(point_answer(129, 0)).step, Step::Ignore);
  EXPECT_EQ(s.answer(point_answer(0, 65)).step, Step::Ignore);

  const Reaction ack = s.answer(short_answer(kAck));
  EXPECT_EQ(ack.step, Step::SendSignRequest);
  EXPECT_TRUE(ack.stops_init_timer);
  s.request_close();
  EXPECT_EQ(s.answer(short_answer(kAck)).step, Step::CloseOnAck);
  s.begin(Mode::Sign);
  EXPECT_FALSE(s.close_requested());
}

TEST(StylpadHandlers, PinHandlerRetriesInitOnShortAnswersAndLeavesPinModeWithThePin) {
  Session s;
  s.begin(Mode::Pin);
  s.init_sent();
  const Reaction ack = s.answer(short_answer(kAck));
  EXPECT_EQ(ack.step, Step::SendPinRequest);
  EXPECT_TRUE(ack.stops_init_timer);
  const Reaction esc = s.answer(short_answer(kEsc));
  EXPECT_EQ(esc.step, Step::PinEscape);
  EXPECT_TRUE(esc.stops_init_timer);
  EXPECT_EQ(s.answer(short_answer(kNak)).step, Step::ResendInit);
  EXPECT_EQ(s.answer(short_answer(kAnsCancel)).step, Step::ResendInit);
  s.init_sent();
  s.init_sent();
  EXPECT_EQ(s.answer(short_answer(kNak)).step, Step::Ignore);  // three attempts made
  EXPECT_EQ(s.answer(point_answer(1, 1)).step, Step::Ignore);
  EXPECT_EQ(s.mode(), Mode::Pin);

  const Reaction pin = s.answer(pin_answer("123456"));
  EXPECT_EQ(pin.step, Step::Pin);
  EXPECT_EQ(pin.pin, "123456");
  EXPECT_EQ(s.mode(), Mode::Sign);
}

TEST(StylpadHandlers, PinValueNeverReachesPastTheAnswer) {
  EXPECT_EQ(pin_of(pin_answer("0000")), "0000");
  EXPECT_EQ(pin_of(pin_answer("")), "");
  // The digits announce 9 bytes; four are there.
  EXPECT_EQ(pin_of(frame(kAnsPin, bytes_of("091234"))), "1234");
  EXPECT_EQ(pin_of(frame(kAnsPin, bytes_of("4x1234"))), "");
  EXPECT_EQ(pin_of(frame(kAnsPin, bytes_of("0"))), "");
  EXPECT_EQ(pin_of(short_answer(kAnsPin)), "");
  EXPECT_EQ(pin_of(Bytes{kStx, 0x00}), "");
}

TEST(StylpadHandlers, InitIsSentAgainAfterMoreThanTwoTicksAndGivenUpAfterThreeAttempts) {
  Session s;
  s.begin(Mode::Sign);
  std::string seen;
  // init, its first tick at once, then one tick a second: W W R | W W R | W W G
  for (int attempt = 1; attempt <= 3; ++attempt) {
    s.init_sent();
    EXPECT_EQ(s.attempts(), attempt);
    for (;;) {
      const InitTick t = s.tick();
      seen += t == InitTick::Wait ? 'W' : t == InitTick::Resend ? 'R' : 'G';
      if (t != InitTick::Wait) break;
    }
  }
  EXPECT_EQ(seen, "WWRWWRWWG");
}

TEST(StylpadSignatureData, DecodesThePadsDataAndFailsOnEveryBrokenChain) {
  // What the virtual pad sends decodes to the image it was made of.
  const PointImage image = image_of({{0, 0}, {127, 63}, {64, 32}, {8, 1}});
  const SignatureBitmap fine = signature_bitmap(signature_answer(image));
  ASSERT_TRUE(fine.ok);
  EXPECT_EQ(fine.file, bitmap_file(image));

  // 1024 zero bytes: an empty page image, all white.
  const SignatureBitmap blank = signature_bitmap(b2_frame(plain_of_zeros(1024)));
  ASSERT_TRUE(blank.ok);
  for (std::size_t i = kBitmapHeaderBytes; i < kBitmapFileBytes; ++i) ASSERT_EQ(blank.file[i], 0xFF) << i;

  EXPECT_FALSE(signature_bitmap(b2_frame(plain_of_zeros(1023))).ok);
  EXPECT_FALSE(signature_bitmap(b2_frame(plain_of_zeros(1025))).ok);
  EXPECT_FALSE(signature_bitmap(b2_frame(Bytes{0x15, 0x37, 0x81, 0x00})).ok);  // BCD 1537
  EXPECT_FALSE(signature_bitmap(b2_frame(Bytes{0x0A, 0x00, 0x81, 0x00})).ok);  // not BCD

  // A data length one byte larger than the data before ETX.
  EXPECT_FALSE(signature_bitmap(b2_frame(plain_of_zeros(1024), 1)).ok);
  EXPECT_TRUE(signature_bitmap(b2_frame(plain_of_zeros(1024), 0)).ok);
  EXPECT_FALSE(signature_bitmap(frame(kAnsSignature, bytes_of("short"))).ok);
  EXPECT_FALSE(signature_bitmap({}).ok);
}

TEST(StylpadNames, ImageNamesGetTheirExtension) {
  EXPECT_EQ(image_name("sign"), "sign.bmp");
  EXPECT_EQ(image_name("sign.bmp"), "sign.bmp");
  EXPECT_EQ(image_name("SIGN.BMP"), "SIGN.BMP");
  EXPECT_EQ(image_name("sign.png"), "sign.png.bmp");
  EXPECT_EQ(image_name("c:\\my.dir\\sign"), "c:\\my.dir\\sign.bmp");
  EXPECT_EQ(image_name("bmpfile"), "bmpfile");  // no '.': its first three characters count
  EXPECT_EQ(image_name(""), ".bmp");
}

TEST(StylpadHandlers, PointListKeepsAtMostNineThousandPoints) {
  PointList list;
  for (int i = 0; i < 9000; ++i) ASSERT_TRUE(list.add(i % 129, i % 65)) << i;
  EXPECT_FALSE(list.add(1, 1));
  EXPECT_EQ(list.size(), 9000u);
  EXPECT_EQ(list.points().back(), std::make_pair(8999 % 129, 8999 % 65));
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(list.add(1, 1));
}

}  // namespace
}  // namespace pink::signpad::styl
