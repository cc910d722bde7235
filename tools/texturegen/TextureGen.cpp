// The four textures, made with the generators' own random numbers and sine.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/Deterministic.h"
#include "tools/texturegen/TextureGen.h"

namespace gentex {

namespace {

using gen::clamp01;
using gen::cosine;
using gen::kPi;
using gen::Random;
using gen::sine;
using gen::smooth;

inline int wrap(int v, int n) { return ((v % n) + n) % n; }

// One channel, square, values 0..1, addressed with wrap-around.
struct Plane {
  int size = 0;
  std::vector<double> v;
  explicit Plane(int n, double fill = 1.0) : size(n), v(static_cast<size_t>(n) * n, fill) {}
  double& at(int x, int y) { return v[static_cast<size_t>(wrap(y, size)) * size + wrap(x, size)]; }
  double at(int x, int y) const {
    return v[static_cast<size_t>(wrap(y, size)) * size + wrap(x, size)];
  }
};

// Tileable value noise: a random lattice of `cells` cells per side,
// interpolated smoothly. Summed over octaves it gives paper tooth.
Plane valueNoise(int size, int cells, Random& random) {
  std::vector<double> lattice(static_cast<size_t>(cells) * cells);
  for (double& value : lattice) value = random.uniform();
  Plane plane(size, 0.0);
  const double step = static_cast<double>(cells) / size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double fx = (x + 0.5) * step, fy = (y + 0.5) * step;
      const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
      const double tx = smooth(0.0, 1.0, fx - x0), ty = smooth(0.0, 1.0, fy - y0);
      auto corner = [&](int cx, int cy) {
        return lattice[static_cast<size_t>(wrap(cy, cells)) * cells + wrap(cx, cells)];
      };
      const double top = corner(x0, y0) + (corner(x0 + 1, y0) - corner(x0, y0)) * tx;
      const double bottom = corner(x0, y0 + 1) + (corner(x0 + 1, y0 + 1) - corner(x0, y0 + 1)) * tx;
      plane.at(x, y) = top + (bottom - top) * ty;
    }
  }
  return plane;
}

// Fractal noise normalised to 0..1.
Plane paperTooth(int size, Random& random) {
  Plane sum(size, 0.0);
  double weight = 0.0;
  const int cellCounts[] = {8, 16, 32, 64, 128, 256};
  const double amplitudes[] = {0.30, 0.35, 0.45, 0.60, 0.80, 0.70};
  for (int octave = 0; octave < 6; ++octave) {
    if (cellCounts[octave] > size) break;
    Plane layer = valueNoise(size, cellCounts[octave], random);
    for (size_t i = 0; i < sum.v.size(); ++i) sum.v[i] += amplitudes[octave] * layer.v[i];
    weight += amplitudes[octave];
  }
  double low = 1e9, high = -1e9;
  for (double& value : sum.v) {
    value /= weight;
    low = value < low ? value : low;
    high = value > high ? value : high;
  }
  for (double& value : sum.v) value = (value - low) / (high - low);
  return sum;
}

struct Stroke {
  double x, y;       // start of the centre line
  double angle;      // radians from the +x axis
  double length;     // texels
  double halfWidth;  // texels
  double darkness;   // graphite opacity at full pressure
  double bow;        // sideways bend at the middle, texels
};

// Lays one pencil stroke onto the planes: anti-aliased across, pressure
// rising at the start and lifting off at the end, broken by the paper tooth.
void drawStroke(std::vector<Plane*>& planes, const Stroke& s, const Plane& tooth) {
  const double dx = cosine(s.angle), dy = sine(s.angle);
  const double reach = s.length + s.halfWidth + 2.0;
  const double margin = s.halfWidth + std::fabs(s.bow) + 2.0;
  const double ex = s.x + dx * s.length, ey = s.y + dy * s.length;
  const int x0 = static_cast<int>(std::floor((s.x < ex ? s.x : ex) - margin));
  const int x1 = static_cast<int>(std::ceil((s.x > ex ? s.x : ex) + margin));
  const int y0 = static_cast<int>(std::floor((s.y < ey ? s.y : ey) - margin));
  const int y1 = static_cast<int>(std::ceil((s.y > ey ? s.y : ey) + margin));
  for (int py = y0; py <= y1; ++py) {
    for (int px = x0; px <= x1; ++px) {
      const double rx = px + 0.5 - s.x, ry = py + 0.5 - s.y;
      const double u = rx * dx + ry * dy;
      if (u < -s.halfWidth - 1.0 || u > reach) continue;
      const double t = clamp01(u / s.length);
      const double centre = s.bow * 4.0 * t * (1.0 - t);
      const double v = -rx * dy + ry * dx - centre;
      // Thinner where the pressure is low.
      const double pressure = smooth(-0.02, 0.12, t) * (1.0 - smooth(0.72, 1.0, t));
      const double width = s.halfWidth * (0.55 + 0.45 * pressure);
      double across = clamp01(width + 0.5 - std::fabs(v));
      // Round the ends.
      if (u < 0.0) across *= clamp01(1.0 + u / (s.halfWidth + 0.5));
      if (u > s.length) across *= clamp01(1.0 - (u - s.length) / (s.halfWidth + 0.5));
      if (across <= 0.0) continue;
      const double grain = 0.7 + 0.3 * tooth.at(px, py);
      const double ink = clamp01(s.darkness * across * (0.5 + 0.5 * pressure) * grain);
      for (Plane* plane : planes) plane->at(px, py) *= 1.0 - ink;
    }
  }
}

struct HatchStyle {
  int size;
  int rowPitch;  // texels between neighbouring rows of the darkest level
  double minLength, maxLength;
  double minGap, maxGap;  // along a row, between strokes
  double angleJitter;     // radians
  double rowJitter;       // texels
  double halfWidth;
  double darkness[3];  // per level, light to dark
  double bow;          // largest bend, texels
};

// Three nested levels of near-horizontal strokes in rows. Row k belongs to
// level 0 when k is a multiple of 4, to level 1 when it is a further multiple
// of 2, else to level 2; a level's strokes are drawn into its own channel and
// every darker one. Rows fill the texture's height evenly, so it tiles.
// Strokes come in patches, the way a hand hatches: a band of neighbouring
// rows is cut into runs of strokes of about the same length, start and
// slant, and the next band is cut elsewhere.
void drawHatching(std::vector<Plane*> levels, const HatchStyle& style, Random& random,
                  const Plane& tooth) {
  const int rows = style.size / style.rowPitch;
  const int firstRow = random.below(rows);
  int bandStart = 0;
  while (bandStart < rows) {
    int bandRows = 5 + random.below(6);
    if (rows - bandStart < bandRows + 4) bandRows = rows - bandStart;
    // Walk along the band once around the texture, from a random start so
    // the gaps of neighbouring bands don't line up.
    double position = random.range(0.0, style.size);
    const double end = position + style.size;
    while (position < end) {
      double length = random.range(style.minLength, style.maxLength);
      const double gap = random.range(style.minGap, style.maxGap);
      if (position + length + gap > end) {
        // The last patch closes the band up to its first one.
        length = end - position - gap;
        if (length < style.minLength * 0.5) break;
      }
      const double angle = random.range(-style.angleJitter, style.angleJitter);
      const double bow = random.range(-style.bow, style.bow);
      for (int r = 0; r < bandRows; ++r) {
        const int row = (firstRow + bandStart + r) % rows;
        const int level = row % 4 == 0 ? 0 : (row % 2 == 0 ? 1 : 2);
        std::vector<Plane*> targets(levels.begin() + level, levels.end());
        Stroke stroke;
        // The darkest level's own rows ignore the patch borders, so the
        // patches' gaps don't leave holes in dark tones.
        const double slip = random.range(-0.15, 0.15) * length +
                            (level == 2 ? random.range(0.0, length + gap) : 0.0);
        stroke.x = position + slip;
        stroke.length = length * random.range(0.85, 1.0);
        stroke.y = row * style.rowPitch + random.range(-style.rowJitter, style.rowJitter);
        stroke.angle = angle + random.range(-0.01, 0.01);
        stroke.halfWidth = style.halfWidth * random.range(0.85, 1.15);
        stroke.darkness = style.darkness[level] * random.range(0.85, 1.1);
        stroke.bow = bow;
        drawStroke(targets, stroke, tooth);
      }
      position += length + gap;
    }
    bandStart += bandRows;
  }
}

struct RgbTexture {
  int size;
  std::vector<unsigned char> rgb;  // rows bottom to top, R G B per pixel
};

inline unsigned char toByte(double value) {
  return static_cast<unsigned char>(std::floor(clamp01(value) * 255.0 + 0.5));
}

RgbTexture combine(const Plane& r, const Plane& g, const Plane& b) {
  RgbTexture out{r.size, std::vector<unsigned char>(static_cast<size_t>(r.size) * r.size * 3)};
  for (size_t i = 0; i < r.v.size(); ++i) {
    out.rgb[i * 3 + 0] = toByte(r.v[i]);
    out.rgb[i * 3 + 1] = toByte(g.v[i]);
    out.rgb[i * 3 + 2] = toByte(b.v[i]);
  }
  return out;
}

// Texture 0: the main hatching, three tone levels.
RgbTexture toneHatching() {
  const int size = 512;
  Random random(0x5EED0001);
  const Plane tooth = paperTooth(size, random);
  Plane r(size), g(size), b(size);
  HatchStyle style{size, 4, 24.0, 80.0, 1.0, 8.0, 0.05, 0.6, 1.45, {0.75, 0.9, 1.0}, 2.0};
  drawHatching({&r, &g, &b}, style, random, tooth);
  return combine(r, g, b);
}

// Texture 1: paper in R; in G and B a second, independent hatching used
// for cross-hatching the darkest tones.
RgbTexture paperAndCrossHatching() {
  const int size = 512;
  Random random(0x5EED0002);
  const Plane tooth = paperTooth(size, random);
  Plane paper(size);
  Plane fibres(size);
  // Faint long fibres pressed into the sheet.
  for (int i = 0; i < 260; ++i) {
    Stroke fibre{random.range(0.0, size),
                 random.range(0.0, size),
                 random.range(0.0, 2.0 * kPi),
                 random.range(20.0, 70.0),
                 0.45,
                 random.range(0.05, 0.12),
                 random.range(-6.0, 6.0)};
    std::vector<Plane*> target{&fibres};
    drawStroke(target, fibre, tooth);
  }
  // Keep the darkest grain light: the sheet must read as white paper.
  for (size_t i = 0; i < paper.v.size(); ++i) {
    const double fibre = 1.0 - fibres.v[i];
    paper.v[i] = (0.89 + 0.11 * tooth.v[i]) * (1.0 - 0.5 * fibre);
  }
  Plane unused(size), g(size), b(size);
  HatchStyle style{size, 4, 30.0, 100.0, 1.0, 10.0, 0.05, 0.7, 1.4, {0.8, 0.9, 1.0}, 2.5};
  // Only the mid and dark levels are kept; the light level is drawn into a
  // scratch plane so the row layout matches the other hatchings.
  drawHatching({&unused, &g, &b}, style, random, tooth);
  return combine(paper, g, b);
}

// Texture 2: cast-shadow hatching, tighter and darker than the tone levels.
RgbTexture shadowHatching() {
  const int size = 512;
  Random random(0x5EED0003);
  const Plane tooth = paperTooth(size, random);
  Plane r(size), g(size), b(size);
  HatchStyle style{size, 4, 25.0, 70.0, 1.0, 6.0, 0.03, 0.5, 1.4, {0.85, 0.95, 1.05}, 1.5};
  drawHatching({&r, &g, &b}, style, random, tooth);
  return combine(r, g, b);
}

// Texture 3: the water's surface. R and G hold the normal's x and y
// (tangent space, s and t, z implied), B the height 0..1. The height field
// is a sum of sharp-crested waves running in all directions, each with a
// whole number of waves across the tile; where several crests meet it peaks
// in small islands, which the water shader turns into wave marks.
RgbTexture waterSurface() {
  const int size = 256;
  Random random(0x5EED0004);
  struct Wave {
    int m, n;          // waves across the tile along s and t
    double amplitude;  // relative height
    double phase;
    double sharpness;  // 0 = sine, towards 1 = narrow crests
  };
  std::vector<Wave> waves;
  while (waves.size() < 12) {
    Wave wave;
    wave.m = random.below(17) - 8;
    wave.n = random.below(17) - 8;
    const int k2 = wave.m * wave.m + wave.n * wave.n;
    if (k2 < 9 || k2 > 64) continue;
    wave.amplitude = random.range(0.7, 1.0) / std::sqrt(static_cast<double>(k2));
    wave.phase = random.range(0.0, 2.0 * kPi);
    wave.sharpness = random.range(0.5, 0.9);
    waves.push_back(wave);
  }
  Plane height(size, 0.0);
  double low = 1e9, high = -1e9;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double h = 0.0;
      for (const Wave& wave : waves) {
        const double theta =
            2.0 * kPi * (wave.m * (x + 0.5) + wave.n * (y + 0.5)) / size + wave.phase;
        // Raising the sine to higher powers narrows its crests.
        const double s = 0.5 + 0.5 * sine(theta);
        const double s2 = s * s;
        h += wave.amplitude * (s2 * (1.0 - wave.sharpness) + wave.sharpness * s2 * s2);
      }
      height.at(x, y) = h;
      low = h < low ? h : low;
      high = h > high ? h : high;
    }
  }
  for (double& h : height.v) h = (h - low) / (high - low);
  Plane nx(size, 0.0), ny(size, 0.0);
  const double strength = 24.0;  // height units per texel of slope
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double gx = (height.at(x + 1, y) - height.at(x - 1, y)) * 0.5 * strength;
      const double gy = (height.at(x, y + 1) - height.at(x, y - 1)) * 0.5 * strength;
      const double length = std::sqrt(gx * gx + gy * gy + 1.0);
      nx.at(x, y) = 0.5 - 0.5 * gx / length;
      ny.at(x, y) = 0.5 - 0.5 * gy / length;
    }
  }
  return combine(nx, ny, height);
}

// A 24-bit bottom-up bitmap with the 14-byte file header and the 40-byte
// info header.
std::vector<unsigned char> encodeBmp(const RgbTexture& texture) {
  const int size = texture.size;
  const std::uint32_t rowBytes = static_cast<std::uint32_t>((size * 3 + 3) & ~3);
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(size);
  std::vector<unsigned char> file(54 + imageBytes, 0);
  auto put16 = [&](size_t at, std::uint32_t v) {
    file[at] = static_cast<unsigned char>(v);
    file[at + 1] = static_cast<unsigned char>(v >> 8);
  };
  auto put32 = [&](size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(size));
  put32(22, static_cast<std::uint32_t>(size));
  put16(26, 1);
  put16(28, 24);
  put32(30, 0);
  put32(34, imageBytes);
  put32(38, 2835);  // 72 dpi
  put32(42, 2835);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const unsigned char* in = &texture.rgb[(static_cast<size_t>(y) * size + x) * 3];
      unsigned char* out = &file[54 + y * rowBytes + x * 3];
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return file;
}

}  // namespace

std::vector<NamedFile> generateAll() {
  return {{"water_normal3.bmp", encodeBmp(toneHatching())},
          {"hatch2.bmp", encodeBmp(paperAndCrossHatching())},
          {"hatch1.bmp", encodeBmp(shadowHatching())},
          {"water_normal4.bmp", encodeBmp(waterSurface())}};
}

}  // namespace gentex
