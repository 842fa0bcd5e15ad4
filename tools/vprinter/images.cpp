#include "tools/vprinter/images.h"


namespace pink::vprinter {

Bitmap bit_image_dots(std::uint32_t x, std::uint32_t y, std::span<const std::uint8_t> data) {
  Bitmap out;
  out.width = x * 8;
  out.height = y * 8;
  out.bits.assign(out.stride() * out.height, 0);
  for (std::uint32_t column = 0; column < out.width; ++column) {
    for (std::uint32_t band = 0; band < y; ++band) {
      const std::size_t at = std::size_t{column} * y + band;
      if (at >= data.size()) return out;
      const std::uint8_t byte = data[at];
      for (std::uint32_t k = 0; k < 8; ++k) {
        if (byte & (0x80u >> k)) {
          const std::size_t row = std::size_t{band} * 8 + k;
          out.bits[row * out.stride() + column / 8] |= static_cast<std::uint8_t>(0x80u >> (column % 8));
        }
      }
    }
  }
  return out;
}

std::vector<Picture> pictures(std::span<const Event> events) {
  std::vector<Picture> out;
  const auto name = [&] { return "image-" + std::to_string(out.size() + 1) + ".png"; };

  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t defined = kNone;  // the last GS *, until a GS / prints it
  bool block_open = false;      // between DC2 z 0 and DC2 z 1
  Picture block;                // the rows of the open logo block

  for (std::size_t i = 0; i < events.size(); ++i) {
    const Event& e = events[i];
    if (e.kind != EventKind::Command) continue;
    switch (e.command->op) {
      case Op::DefineBitImage:
        defined = i;
        break;
      case Op::PrintBitImage:
        if (defined != kNone) {
          const Event& image = events[defined];
          const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.data.data());
          Bitmap dots = bit_image_dots(image.args[0], image.args[1], {bytes, image.data.size()});
          if (dots.width > 0 && dots.height > 0) {
            out.push_back({name(), std::move(dots), {defined}});
          }
          // Printed again, it is the same picture.
          defined = kNone;
        }
        break;
      case Op::LogoRowsBegin:
        if (!block_open) {
          block_open = true;
          block = Picture{};
          block.bitmap.width = kRasterRowDots;
        }
        break;
      case Op::RasterRows:
        if (block_open) {
          block.bitmap.bits.insert(block.bitmap.bits.end(), e.data.begin(), e.data.end());
          block.bitmap.height += static_cast<std::uint32_t>(e.data.size() / kRasterRowBytes);
          block.sources.push_back(i);
        }
        break;
      case Op::LogoRowsEnd:
        if (block_open && block.bitmap.height > 0) {
          block.file_name = name();
          out.push_back(std::move(block));
        }
        block_open = false;
        break;
      default:
        break;
    }
  }
  return out;
}

}  // namespace pink::vprinter
