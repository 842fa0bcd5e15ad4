// Reading back what the tests' controls draw and write: PNG snapshots (as
// the canvas writes them: 8-bit RGB, no filter), files, and the day logs.
#pragma once

#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "signpad/canvas.h"

namespace pink::signpad::testing {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // rows without their filter byte
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  int count(Rgb colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1 && y < height; ++y) {
      for (int x = x0; x < x1 && x < width; ++x) n += at(x, y) == colour;
    }
    return n;
  }
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::uint32_t be32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(s[at + i]);
  return v;
}

// The picture of a PNG file the canvas wrote; empty when it is not one.
inline Picture read_png(const std::string& path) {
  const std::string png = read_file(path);
  Picture p;
  if (png.size() < 45 || png.compare(1, 3, "PNG") != 0 || png.compare(37, 4, "IDAT") != 0) return p;
  const int w = static_cast<int>(be32(png, 16)), h = static_cast<int>(be32(png, 20));
  const std::size_t idat = be32(png, 33);
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(h) * (1 + 3 * static_cast<std::size_t>(w)));
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(png.data()) + 41, static_cast<uLong>(idat)) != Z_OK) {
    return p;
  }
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y) {
    const auto row = raw.begin() + static_cast<std::ptrdiff_t>(y) * (1 + 3 * w);
    p.rgb.insert(p.rgb.end(), row + 1, row + 1 + 3 * w);
  }
  return p;
}

// The content of the files in `dir` whose names start with `prefix`.
inline std::string read_logs(const std::string& dir, const std::string& prefix) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) all += read_file(entry.path().string());
  }
  return all;
}

// A signature of 60 pen points: a wave across the pad.
inline std::vector<std::pair<int, int>> sample_signature() {
  std::vector<std::pair<int, int>> points;
  for (int t = 0; t < 60; ++t) {
    points.emplace_back(8 + 2 * t, 32 + static_cast<int>(std::lround(20 * std::sin(t / 6.0))));
  }
  return points;
}

}  // namespace pink::signpad::testing
