// Text masks on Windows: GDI draws the text white on black into a 32-bit
// memory bitmap with the Korean UI font; the green channel is the coverage.
#include "platform/glyphs.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/text.h"

namespace pink::glyphs {

Mask render(std::string_view cp949, int pixel_height) {
  Mask mask;
  if (cp949.empty() || pixel_height <= 0 || pixel_height > 512) return mask;
  const std::u16string u = text::cp949_to_utf16(cp949);
  const std::wstring w(u.begin(), u.end());
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return mask;
  HFONT font = CreateFontW(-pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, HANGEUL_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH,
                           L"Gulim");
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  mask.width = std::max<int>(size.cx, 1);
  mask.height = pixel_height;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = mask.width;
  info.bmiHeader.biHeight = -mask.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, OPAQUE);
    TextOutW(dc, 0, 0, w.c_str(), static_cast<int>(w.size()));
    GdiFlush();
    mask.coverage.resize(static_cast<std::size_t>(mask.width * mask.height));
    const auto* px = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < mask.coverage.size(); ++i) mask.coverage[i] = px[4 * i + 1];
    SelectObject(dc, old_bitmap);
  } else {
    mask = Mask{};
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  SelectObject(dc, old_font);
  DeleteObject(font);
  DeleteDC(dc);
  return mask;
}

}  // namespace pink::glyphs
