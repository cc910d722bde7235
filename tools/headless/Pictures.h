// Pictures read back from GL: RGBA bytes, bottom row first, with the few
// measures the render tests and the picture tool need, and a PNG/PPM writer.
#pragma once

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

// Writes RGB (alpha dropped), top row first as both formats expect. A name
// ending in ".ppm" gives a binary PPM; anything else a compressed PNG, where
// the build has the PNG library (the Windows build has not: false there).
bool writePicture(const Picture& picture, const std::string& path);
