// Pictures read back from GL: RGBA bytes, bottom row first, with the few
// measures the render tests and the picture tool need, and a PNG/PPM writer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;  // bottom row first

  const unsigned char* at(int x, int y) const {
    return &rgba[(static_cast<size_t>(y) * width + x) * 4];
  }
  // Luminance in 0..1.
  double luma(int x, int y) const {
    const unsigned char* p = at(x, y);
    return (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]) / 255.0;
  }
  double meanLuma(int x0, int y0, int x1, int y1) const {
    double sum = 0.0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x, ++n) sum += luma(x, y);
    return n ? sum / n : 0.0;
  }
};

namespace picture_detail {

inline std::uint32_t crc32(const unsigned char* data, size_t size, std::uint32_t crc = 0) {
  static std::uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

inline void put32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<unsigned char>(v >> shift));
}

inline void chunk(std::vector<unsigned char>& out, const char* type,
                  const std::vector<unsigned char>& body) {
  put32(out, static_cast<std::uint32_t>(body.size()));
  std::vector<unsigned char> typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  put32(out, crc32(typed.data(), typed.size()));
}

}  // namespace picture_detail

// Writes RGB (alpha dropped), top row first as both formats expect. A name
// ending in ".ppm" gives a binary PPM; anything else an uncompressed PNG.
inline bool writePicture(const Picture& picture, const std::string& path) {
  std::vector<unsigned char> rows;  // RGB, top row first
  rows.reserve(static_cast<size_t>(picture.width) * picture.height * 3);
  for (int y = picture.height - 1; y >= 0; --y)
    for (int x = 0; x < picture.width; ++x)
      rows.insert(rows.end(), picture.at(x, y), picture.at(x, y) + 3);

  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".ppm") == 0) {
    out << "P6\n" << picture.width << ' ' << picture.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rows.data()),
              static_cast<std::streamsize>(rows.size()));
    return static_cast<bool>(out);
  }

  using namespace picture_detail;
  // zlib stream of stored blocks: no compressor needed, any viewer reads it.
  const size_t stride = static_cast<size_t>(picture.width) * 3;
  std::vector<unsigned char> raw;
  raw.reserve((stride + 1) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);  // filter: none
    raw.insert(raw.end(), rows.begin() + y * stride, rows.begin() + (y + 1) * stride);
  }
  std::vector<unsigned char> z = {0x78, 0x01};
  for (size_t pos = 0;;) {
    const size_t len = std::min<size_t>(65535, raw.size() - pos);
    const bool last = pos + len == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<unsigned char>(len & 0xFF));
    z.push_back(static_cast<unsigned char>(len >> 8));
    z.push_back(static_cast<unsigned char>(~len & 0xFF));
    z.push_back(static_cast<unsigned char>((~len >> 8) & 0xFF));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
    pos += len;
    if (last) break;
  }
  std::uint32_t a = 1, b = 0;
  for (unsigned char byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  put32(z, (b << 16) | a);

  std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<unsigned char> header;
  put32(header, static_cast<std::uint32_t>(picture.width));
  put32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}
