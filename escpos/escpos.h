// The ESC/POS control sequences the suite sends to receipt and kitchen
// printers, each built from the named control characters and command letters
// that make it. Programs and libraries name these; no other file spells a
// printer control byte. Parameters that vary at run time (an image's size, a
// caller's justification) are added by the code that sends the command.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pink::escpos {

// ---------------------------------------------------------------------------
// Control characters.

inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t DLE = 0x10;
inline constexpr std::uint8_t DC2 = 0x12;
inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t FS = 0x1C;
inline constexpr std::uint8_t GS = 0x1D;
inline constexpr std::uint8_t US = 0x1F;

// A command as the exact bytes that reach the printer. It reads as a
// string_view (the spoolers' writes) and byte by byte (the libraries').
template <std::size_t N>
struct Sequence {
  std::array<char, N> bytes;

  constexpr std::string_view view() const { return {bytes.data(), N}; }
  constexpr operator std::string_view() const { return view(); }
  constexpr std::uint8_t operator[](std::size_t i) const { return static_cast<std::uint8_t>(bytes[i]); }
  static constexpr std::size_t size() { return N; }
  constexpr const char* begin() const { return bytes.data(); }
  constexpr const char* end() const { return bytes.data() + N; }
};

template <class... Parts>
constexpr Sequence<sizeof...(Parts)> seq(Parts... parts) {
  return {{static_cast<char>(static_cast<std::uint8_t>(parts))...}};
}

// ---------------------------------------------------------------------------
// Justification: ESC a n, n = 0 / '0' left, 1 / '1' centre, 2 / '2' right.

inline constexpr auto kJustify = seq(ESC, 'a');  // the caller adds n
inline constexpr auto kCentre = seq(ESC, 'a', '1');
inline constexpr auto kCentreBinary = seq(ESC, 'a', 1);

// ---------------------------------------------------------------------------
// Stored and NV logos.

// FS p n m: print NV image n in mode m (0 normal, 3 double width and height).
inline constexpr auto kNvImage1 = seq(FS, 'p', 1, 0);
inline constexpr auto kNvImage1Quadruple = seq(FS, 'p', 1, 3);
inline constexpr auto kNvImage2 = seq(FS, 'p', 2, 0);
// GS G '0': print the printer's own stored logo.
inline constexpr auto kStoredLogo = seq(GS, 'G', '0');
// GS / 0 1: print stored logo 1 (the LF-only printer).
inline constexpr auto kPrintStoredLogo1 = seq(GS, '/', 0, 1);
// US '0' n: select stored logo n; GS / 0 prints the one selected.
inline constexpr auto kSelectLogo3 = seq(US, '0', 3);
inline constexpr auto kSelectLogo4 = seq(US, '0', 4);
inline constexpr auto kPrintSelectedLogo = seq(GS, '/', 0);

// Raster logo rows on the parallel port (the logo file printer): start the
// picture, one ESC V row at a time, end.
inline constexpr auto kLogoFileStart1 = seq(DC2, '~', 'd');
inline constexpr auto kLogoFileStart2 = seq(ESC, '=', '1');
inline constexpr auto kLogoFileStart3 = seq(DC2, 'z', 0, 0x48, 0x21);
inline constexpr auto kLogoFileRow = seq(ESC, 'V', 1, 0);
inline constexpr auto kLogoFileEnd = seq(DC2, 'z', 1, 0);

// ---------------------------------------------------------------------------
// Bar codes.

inline constexpr auto kHriFontB = seq(GS, 'f', 1);          // GS f 1
inline constexpr auto kHriFontA = seq(GS, 'f', 0);          // GS f 0
inline constexpr auto kHriBelow = seq(GS, 'H', 2);          // GS H 2
inline constexpr auto kBarcodeHeight48 = seq(GS, 'h', 48);  // GS h n: n dots high
inline constexpr auto kBarcodeHeight50 = seq(GS, 'h', 50);
inline constexpr auto kBarcodeHeight80 = seq(GS, 'h', 80);
inline constexpr auto kModuleWidth2 = seq(GS, 'w', 2);      // GS w n: module width
inline constexpr auto kModuleWidth0Then1 = seq(GS, 'w', 0, 1);
inline constexpr auto kMotionUnits1 = seq(GS, 'P', 1);      // GS P 1
// GS k m: the bar code system; NUL-terminated data follow.
inline constexpr auto kCode39 = seq(GS, 'k', 4);
inline constexpr auto kEan13 = seq(GS, 'k', 2);
// GS k 's' 14: the length-byte dialect, fourteen data bytes follow.
inline constexpr auto kLengthByteBarcode = seq(GS, 'k', 's', 14);
// GS k 8 104: Code 128 in code set B (start value 104), values follow,
// ended by FF 0D.
inline constexpr auto kCode128SetB = seq(GS, 'k', 8, 104);
inline constexpr auto kCode128End = seq(0xFF, 0x0D, '\r', '\n');

// ---------------------------------------------------------------------------
// Downloaded bit images.

// GS * x y d1 ... dk: define a downloaded bit image of x * 8 dots across and
// y * 8 dots down. The data are x * y * 8 bytes, column after column; in each
// column the bytes run from the top band down, bit 7 the topmost dot of the
// band, a set bit a printed dot. x and y are one byte each.
inline constexpr auto kDefineBitImage = seq(GS, '*');
// GS / m: print the downloaded bit image in size mode m ('0' ... '3').
inline constexpr auto kPrintBitImage = seq(GS, '/');

// ---------------------------------------------------------------------------
// Korean double-byte characters: FS & before a character's two bytes, FS .
// after them.

inline constexpr auto kKanjiOn = seq(FS, '&');
inline constexpr auto kKanjiOff = seq(FS, '.');

// ---------------------------------------------------------------------------
// End-of-job signals of the kitchen printers.

// FS b n t1 t2: sound the buzzer n times, on 500 ms and off 250 ms (16-bit
// little-endian times).
constexpr auto buzzer(std::uint8_t times) { return seq(FS, 'b', times, 0xF4, 0x01, 0xFA, 0x00); }
inline constexpr auto kBuzzer1 = buzzer(1);
inline constexpr auto kBuzzer2 = buzzer(2);
inline constexpr auto kBuzzer3 = buzzer(3);
inline constexpr auto kBuzzer4 = buzzer(4);
// ESC p m t1 t2: a pulse on the drawer kick-out connector; m 0 is pin 2,
// m 1 is pin 5; on for t1 x 2 ms, then off for t2 x 2 ms.
inline constexpr auto kPulse = seq(ESC, 'p');
inline constexpr std::uint8_t kPulsePin2 = 0;
inline constexpr std::uint8_t kPulsePin5 = 1;
inline constexpr auto kPulsePin2Short = seq(ESC, 'p', kPulsePin2, 0x40, 0x50);  // 128 / 160 ms
inline constexpr auto kPulsePin5Short = seq(ESC, 'p', kPulsePin5, 0x40, 0x50);
inline constexpr auto kPulsePin2Off = seq(ESC, 'p', '0', 0x00, 0xFF);  // m '0', 0 / 510 ms
inline constexpr auto kPulsePin5Long = seq(ESC, 'p', kPulsePin5, 0xFF, 0x10);  // 510 / 32 ms

// ---------------------------------------------------------------------------
// Status.

// DLE EOT 1: real-time request of the printer status byte.
inline constexpr auto kPrinterStatusQuery = seq(DLE, EOT, 1);
// The printer status byte: bits 1 and 4 are always 1, bits 0 and 7 always
// 0 (automatic status bytes, which may arrive at any time, have bit 4 at 0).
inline constexpr std::uint8_t kStatusFixedMask = 0x93;
inline constexpr std::uint8_t kStatusFixedValue = 0x12;
// Bit 2: the level of pin 3 of the drawer kick-out connector (1 high).
inline constexpr std::uint8_t kStatusDrawerPin3 = 0x04;
// Bit 3: the printer is off line.
inline constexpr std::uint8_t kStatusOffline = 0x08;

}  // namespace pink::escpos
