// The transcript, line for line, for a typical receipt and for the other
// sequences the suite's spoolers send.
#include "tools/vprinter/transcript.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/vprinter/streams.h"

namespace pink::vprinter {
namespace {

using testing::as_span;
using testing::bytes;
using testing::cp949;
using testing::korean_mode;

std::string transcript_of(const std::string& stream) { return print(as_span(stream)).transcript; }

TEST(VprinterTranscript, ShowsATypicalReceipt) {
  const std::string raster(13 * 3 * 8, '\x3C');
  const std::string stream =
      bytes({0x1B, 0x40, 0x1B, 0x61, 0x31}) + korean_mode("주문 1번") + "\r\n" +
      cp949("합계 12,000원") + "\r\n" + bytes({0x1B, 0x61, 0x30}) + "ITEM A        2 x 6,000\r\n" +
      // The bar code of the library path.
      bytes({0x1D, 0x66, 0x01, 0x1D, 0x68, 0x30, 0x1D, 0x77, 0x02, 0x1B, 0x61, 0x31, 0x1D, 0x6B, 0x04}) +
      "12345" + bytes({0x00}) + "12345\r\n" +
      // A 100 x 20 signature as the printer library sends it.
      bytes({0x1D, 0x2A, 0x0D, 0x03}) + raster + bytes({0x1D, 0x2F, 0x30, 0x1B, 0x61, 0x31}) +
      bytes({0x1B, 0x70, 0x00, 0x40, 0x50, 0x1B, 0x64, 0x03, 0x1D, 0x56, 0x01}) +
      // The job breaks off in the middle of an image.
      "THANK YOU" + bytes({0x1D, 0x2A, 0x0D, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00});

  const Printout p = print(as_span(stream));
  EXPECT_EQ(p.transcript,
            "ESC @                      initialise\n"
            "ESC a '1'                  justification centre\n"
            "TEXT 주문 1번\n"
            "TEXT 합계 12,000원\n"
            "ESC a '0'                  justification left\n"
            "TEXT ITEM A        2 x 6,000\n"
            "GS f 1                     HRI font B\n"
            "GS h 48                    bar code height 48 dots\n"
            "GS w 2                     bar code module width 2\n"
            "ESC a '1'                  justification centre\n"
            "GS k 4 \"12345\"             bar code CODE39 data \"12345\"\n"
            "TEXT 12345\n"
            "GS * 13 3                  bit image 104 x 24 dots -> image-1.png\n"
            "GS / '0'                   print bit image, normal size\n"
            "ESC a '1'                  justification centre\n"
            "ESC p 0 64 80              drawer pulse pin 2, on 128 ms, off 160 ms\n"
            "ESC d 3                    print and feed 3 lines\n"
            "GS V 1                     partial cut\n"
            "TEXT THANK YOU<NO LINE END>\n"
            "GS *                       truncated after 9 bytes: 1d 2a 0d 03 00 00 00 00 00\n");
  ASSERT_EQ(p.pictures.size(), 1u);
  EXPECT_EQ(p.pictures[0].bitmap.width, 104u);
  EXPECT_EQ(p.pictures[0].bitmap.height, 24u);
}

TEST(VprinterTranscript, ShowsTheSpoolersOtherSequences) {
  const std::string row(kRasterRowBytes, '\x00');
  const std::string stream =
      // Stored logos: model B, model 7, option codes 1, 5 and 6.
      bytes({0x1F, 0x30, 0x03, 0x1D, 0x2F, 0x00}) + bytes({0x1D, 0x2F, 0x00, 0x01}) +
      bytes({0x1C, 0x70, 0x01, 0x00, 0x1D, 0x47, 0x30, 0x1B, 0x61, 0x31, 0x1C, 0x70, 0x02, 0x03}) +
      // Model A bar code.
      bytes({0x1B, 0x61, 0x01, 0x1D, 0x77, 0x02, 0x1D, 0x68, 0x32, 0x1D, 0x6B, 0x73, 0x0E}) +
      "88012345678905  \r\n" +
      // Model 4 bar code of the parallel path, data "AB12", read as a
      // standard printer reads it.
      bytes({0x1D, 0x68, 0x50, 0x1D, 0x77, 0x00, 0x01, 0x1D, 0x50, 0x01, 0x1D, 0x66, 0x00, 0x1D, 0x48,
             0x02, 0x1D, 0x6B, 0x08, 0x68, 0x21, 0x22, 0x11, 0x12, 0xFF, 0x0D, 0x0D, 0x0A}) +
      // The logo file on the parallel path (two rows of it).
      bytes({0x12, 0x7E, 0x64, 0x1B, 0x3D, 0x31, 0x12, 0x7A, 0x00, 0x48, 0x21}) +
      bytes({0x1B, 0x56, 0x01, 0x00}) + row + bytes({0x1B, 0x56, 0x01, 0x00}) + row +
      bytes({0x12, 0x7A, 0x01, 0x00}) +
      // Kitchen end signals.
      bytes({0x1C, 0x62, 0x02, 0xF4, 0x01, 0xFA, 0x00, 0x1B, 0x70, 0x01, 0xFF, 0x10, 0x1B, 0x70,
             0x30, 0x00, 0xFF}) +
      // Model 7 NUL token and line end; Korean mode around nothing; '<',
      // a byte that is no cp949 character, CR alone; a lone ESC at the end.
      "AB" + bytes({0x00}) + "CD\n" + bytes({0x1C, 0x26, 0x1C, 0x2E}) + "a<b" + bytes({0xFF}) +
      "\r" + bytes({0x1B});

  EXPECT_EQ(transcript_of(stream),
            "US 0 3                     select logo 3\n"
            "GS / 0                     print bit image, normal size (no bit image defined)\n"
            "GS / 0                     print bit image, normal size (no bit image defined)\n"
            "TEXT <01><NO LINE END>\n"
            "FS p 1 0                   print NV bit image 1, normal size\n"
            "GS G '0'                   print stored logo '0'\n"
            "ESC a '1'                  justification centre\n"
            "FS p 2 3                   print NV bit image 2, quadruple size\n"
            "ESC a 1                    justification centre\n"
            "GS w 2                     bar code module width 2\n"
            "GS h 50                    bar code height 50 dots\n"
            "GS k 115 14 \"88012345678905\" bar code system 115 data \"88012345678905\"\n"
            "TEXT   \n"
            "GS h 80                    bar code height 80 dots\n"
            "GS w 0                     bar code module width 0\n"
            "TEXT <01><NO LINE END>\n"
            "GS P 1 29                  motion units x 1, y 29\n"
            "TEXT f<00><NO LINE END>\n"
            "GS H 2                     HRI position below\n"
            "GS k 8                     bar code system 8 unknown, what follows is read as text\n"
            "TEXT h!\"<11><12><ff><CR>\n"
            "TEXT\n"
            "DC2 ~ d                    parallel logo start (12 7e 64)\n"
            "ESC = 49                   select peripheral device 49 (printer on)\n"
            "DC2 z 0 72 33              logo rows begin (12 7a 00 48 21)\n"
            "ESC V 1 0 x2               2 raster rows of 576 dots -> image-1.png\n"
            "DC2 z 1 0                  logo rows end (12 7a 01 00)\n"
            "FS b 2 500 250             buzzer signal 2, 500, 250\n"
            "ESC p 1 255 16             drawer pulse pin 5, on 510 ms, off 32 ms\n"
            "ESC p '0' 0 255            drawer pulse pin 2, on 0 ms, off 510 ms\n"
            "TEXT AB<00>CD<LF>\n"
            "FS &                       Korean mode on\n"
            "FS .                       Korean mode off\n"
            "TEXT a<3c>b<ff><CR>\n"
            "ESC                        truncated after 1 byte: 1b\n");
}

TEST(VprinterTranscript, NamesWhatItCannotPlace) {
  EXPECT_EQ(transcript_of(""), "");
  EXPECT_EQ(
      transcript_of(bytes({0x1B, 0x61, 0x07, 0x1D, 0x2F, 0x35, 0x1B, 0x70, 0x02, 0x01, 0x01, 0x1D,
                           0x2A, 0x01, 0x01}) +
                    std::string(8, '\x01') + bytes({0x1D, 0x2A, 0x00, 0x02, 0x1B, 0x56, 0x01, 0x00}) +
                    std::string(kRasterRowBytes, '\x01') + bytes({0x12, 0x7A})),
      "ESC a 7                    justification mode 7 (unknown)\n"
      "GS / '5'                   print bit image, size mode '5' (unknown) (no bit image defined)\n"
      "ESC p 2 1 1                drawer pulse pin selector 2 (unknown), on 2 ms, off 2 ms\n"
      "GS * 1 1                   bit image 8 x 8 dots (not printed)\n"
      "GS * 0 2                   bit image 0 x 16 dots (empty)\n"
      "ESC V 1 0                  1 raster row of 576 dots (not in a closed logo block, not collected)\n"
      "DC2 z                      truncated after 2 bytes: 12 7a\n");

  // A Korean character cut off, and a long cut-off command.
  EXPECT_EQ(transcript_of(bytes({0x1C, 0x26, 0x41})),
            "FS &                       Korean mode on\n"
            "Korean character           truncated after 1 byte: 41\n");
  EXPECT_EQ(transcript_of(bytes({0x1D, 0x2A, 0x10, 0x10}) + std::string(20, '\x11')),
            "GS *                       truncated after 24 bytes: 1d 2a 10 10 11 11 11 11 11 11 11 "
            "11 11 11 11 11 ...\n");
}

}  // namespace
}  // namespace pink::vprinter
