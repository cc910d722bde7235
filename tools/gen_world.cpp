// Writes the demo's static world ("nprscene.scn") and the characters' waypoint
// network ("waypoints.txt") into a folder (default data/scene).
//
// Everything is modelled in scene space (y up, the camera looks towards -z,
// one unit is roughly six metres: a character is 0.3 tall) and converted to
// the files' axes on output: positions are written as (100x, 100y, -100z),
// normals as (x, y, -z), texture coordinates (s, t, r) as the line "s r t".
//
// The output must be byte-identical on every machine, so the generator uses
// its own random numbers and trigonometry, and prints quantised integers.

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#endif
#if defined(__GNUC__) && !defined(__clang__) && defined(__i386__)
// x87 registers would keep extra precision and change the output.
#pragma GCC target("sse2", "fpmath=sse")
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- maths

constexpr double kPi = 3.14159265358979323846;

// Sine and cosine from +, *, / only: libm differs between platforms in the
// last bit, which would change printed digits now and then.
void sinCos(double a, double& s, double& c) {
  const double q = std::floor(a / (kPi / 2) + 0.5);
  // Two-part pi/2 keeps the reduction exact for the angles used here.
  const double r = (a - q * 1.5707963267341256) - q * 6.077100506506192e-11;
  const double r2 = r * r;
  double sr = 1.0, cr = 1.0, termS = 1.0, termC = 1.0;
  for (int k = 1; k <= 10; ++k) {
    termS *= -r2 / ((2 * k) * (2 * k + 1));
    termC *= -r2 / ((2 * k - 1) * (2 * k));
    sr += termS;
    cr += termC;
  }
  sr *= r;
  long long quadrant = static_cast<long long>(q) % 4;
  if (quadrant < 0) quadrant += 4;
  switch (quadrant) {
    case 0:
      s = sr;
      c = cr;
      break;
    case 1:
      s = cr;
      c = -sr;
      break;
    case 2:
      s = -sr;
      c = -cr;
      break;
    default:
      s = -cr;
      c = sr;
      break;
  }
}
double rad(double degrees) { return degrees * kPi / 180.0; }

// Arctangent by two argument halvings and a short series.
double datan(double x) {
  const bool negative = x < 0;
  if (negative) x = -x;
  const bool inverted = x > 1;
  if (inverted) x = 1 / x;
  for (int i = 0; i < 2; ++i) x = x / (1 + std::sqrt(1 + x * x));
  double sum = 0, term = x;
  for (int k = 0; k < 14; ++k) {
    sum += term / (2 * k + 1);
    term *= -x * x;
  }
  double a = 4 * sum;
  if (inverted) a = kPi / 2 - a;
  return negative ? -a : a;
}
double datan2(double y, double x) {
  if (x == 0 && y == 0) return 0;
  if (x == 0) return y > 0 ? kPi / 2 : -kPi / 2;
  const double a = datan(y / x);
  if (x > 0) return a;
  return y >= 0 ? a + kPi : a - kPi;
}

struct V {
  double x = 0, y = 0, z = 0;
  V() = default;
  constexpr V(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  V operator+(const V& b) const { return {x + b.x, y + b.y, z + b.z}; }
  V operator-(const V& b) const { return {x - b.x, y - b.y, z - b.z}; }
  V operator-() const { return {-x, -y, -z}; }
  V operator*(double s) const { return {x * s, y * s, z * s}; }
  V operator/(double s) const { return {x / s, y / s, z / s}; }
};
double dot(const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V cross(const V& a, const V& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double len(const V& a) { return std::sqrt(dot(a, a)); }
V unit(const V& a) {
  const double l = len(a);
  return l > 0 ? a / l : V(0, 1, 0);
}
// Length on the ground plane (std::hypot may differ by a bit between libraries).
double planar(double a, double b) { return std::sqrt(a * a + b * b); }
double clamp01(double t) { return t < 0 ? 0 : (t > 1 ? 1 : t); }
double lerp(double a, double b, double t) { return a + (b - a) * t; }
double smooth(double e0, double e1, double x) {
  const double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- random numbers

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  double range(double a, double b) { return a + (b - a) * uniform(); }

 private:
  std::uint64_t state_;
};

double hashUnit(long long a, long long b, long long c, std::uint64_t seed) {
  std::uint64_t h = seed * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<std::uint64_t>(a) * 0xC2B2AE3D27D4EB4Full;
  h = (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
  h ^= static_cast<std::uint64_t>(b) * 0x165667B19E3779F9ull;
  h = (h ^ (h >> 32)) * 0x94D049BB133111EBull;
  h ^= static_cast<std::uint64_t>(c) * 0x27D4EB2F165667C5ull;
  h = (h ^ (h >> 31)) * 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

// Smooth value noise in [-1, 1].
double noise3(double x, double y, double z, std::uint64_t seed) {
  const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  const long long ix = static_cast<long long>(fx), iy = static_cast<long long>(fy),
                  iz = static_cast<long long>(fz);
  auto fade = [](double t) { return t * t * (3 - 2 * t); };
  const double tx = fade(x - fx), ty = fade(y - fy), tz = fade(z - fz);
  double c[2][2][2];
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int d = 0; d < 2; ++d) c[a][b][d] = hashUnit(ix + a, iy + b, iz + d, seed);
  const double x00 = lerp(c[0][0][0], c[1][0][0], tx), x10 = lerp(c[0][1][0], c[1][1][0], tx);
  const double x01 = lerp(c[0][0][1], c[1][0][1], tx), x11 = lerp(c[0][1][1], c[1][1][1], tx);
  return 2 * lerp(lerp(x00, x10, ty), lerp(x01, x11, ty), tz) - 1;
}
double noise2(double x, double z, std::uint64_t seed) { return noise3(x, 0.5, z, seed); }

// ---------------------------------------------------------------- output numbers

// Fixed-point text of a value rounded to `decimals` places, trailing zeros
// dropped; the rounding is done on integers so no printf variant matters.
std::string fixed(double value, int decimals) {
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const long long q = std::llround(value * static_cast<double>(scale));
  if (q == 0) return "0";
  const unsigned long long m = static_cast<unsigned long long>(q < 0 ? -q : q);
  std::string text = (q < 0 ? "-" : "") + std::to_string(m / scale);
  unsigned long long frac = m % scale;
  if (frac != 0) {
    std::string digits = std::to_string(frac);
    digits.insert(0, decimals - digits.size(), '0');
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

// ---------------------------------------------------------------- materials

enum Material {
  kGrass,
  kSand,
  kEarth,
  kCobble,
  kPlaster,
  kOchre,
  kStone,
  kDarkStone,
  kRoofTile,
  kSlate,
  kDoorWood,
  kGlass,
  kTrim,
  kPlank,
  kLeaves,
  kNeedles,
  kBark,
  kRock,
  kShutter,
  kHull,
  kCanvas,
  kMaterialCount
};

struct MaterialColour {
  Material id;
  double r, g, b;
};

// Light walls to dark roofs and doors: the pencil turns brightness into
// hatching density, so the tones are spread on purpose.
const MaterialColour kColours[kMaterialCount] = {
    {kGrass, 0.58, 0.70, 0.38},   {kSand, 0.90, 0.84, 0.64},      {kEarth, 0.56, 0.47, 0.36},
    {kCobble, 0.80, 0.76, 0.68},  {kPlaster, 0.96, 0.93, 0.86},   {kOchre, 0.92, 0.80, 0.58},
    {kStone, 0.76, 0.73, 0.67},   {kDarkStone, 0.50, 0.48, 0.46}, {kRoofTile, 0.52, 0.25, 0.18},
    {kSlate, 0.32, 0.32, 0.36},   {kDoorWood, 0.36, 0.23, 0.14},  {kGlass, 0.16, 0.20, 0.26},
    {kTrim, 0.98, 0.97, 0.94},    {kPlank, 0.64, 0.51, 0.37},     {kLeaves, 0.33, 0.52, 0.25},
    {kNeedles, 0.22, 0.38, 0.24}, {kBark, 0.38, 0.28, 0.20},      {kRock, 0.62, 0.60, 0.56},
    {kShutter, 0.30, 0.44, 0.40}, {kHull, 0.70, 0.28, 0.20},      {kCanvas, 0.93, 0.90, 0.82},
};

// ---------------------------------------------------------------- meshes

struct Face {
  int v[3];
  V normal;
  int material;
};

// A mesh keeps one texture coordinate per vertex; faces index both lists
// with the same number.
struct Mesh {
  std::vector<V> pos, nrm, tex;
  std::vector<Face> faces;

  int vertex(const V& p, const V& n, const V& t) {
    pos.push_back(p);
    nrm.push_back(n);
    tex.push_back(t);
    return static_cast<int>(pos.size()) - 1;
  }
  int vertex(const V& p, const V& n) { return vertex(p, n, boxUv(p, n)); }

  // Planar mapping along the normal's main axis, one repeat per unit.
  // Ties (faces at 45 degrees) go the same way whatever the last bit says.
  static V boxUv(const V& p, const V& n) {
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ay >= ax - 1e-6 && ay >= az - 1e-6) return {p.x, p.z, 0};
    if (ax >= az - 1e-6) return {p.z, p.y, 0};
    return {p.x, p.y, 0};
  }

  // Adds a triangle wound counter-clockwise as seen from the side `outward`
  // points to; degenerate triangles are dropped.
  void tri(int a, int b, int c, int material, const V& outward) {
    V g = cross(pos[b] - pos[a], pos[c] - pos[a]);
    if (dot(g, outward) < 0) {
      std::swap(b, c);
      g = -g;
    }
    const double l = len(g);
    if (l < 1e-9) return;
    faces.push_back({{a, b, c}, g / l, material});
  }
  // Outward taken from the vertex normals.
  void tri(int a, int b, int c, int material) { tri(a, b, c, material, nrm[a] + nrm[b] + nrm[c]); }

  // Flat convex polygon, corners in either cyclic order.
  void poly(const std::vector<V>& pts, const V& outward, int material) {
    V n(0, 0, 0);
    for (size_t i = 0; i < pts.size(); ++i) {
      const V& p = pts[i];
      const V& q = pts[(i + 1) % pts.size()];
      n = n + V((p.y - q.y) * (p.z + q.z), (p.z - q.z) * (p.x + q.x), (p.x - q.x) * (p.y + q.y));
    }
    if (len(n) < 1e-12) return;
    n = unit(n);
    if (dot(n, outward) < 0) n = -n;
    std::vector<int> ids;
    for (const V& p : pts) ids.push_back(vertex(p, n));
    for (size_t i = 1; i + 1 < ids.size(); ++i) tri(ids[0], ids[i], ids[i + 1], material, n);
  }
  void quad(const V& a, const V& b, const V& c, const V& d, const V& outward, int material) {
    poly({a, b, c, d}, outward, material);
  }

  // Six-sided solid from corners indexed x + 2y + 4z; each face points away
  // from the solid's centre.
  void hexa(const V c[8], int material) {
    static const int kFaces[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                     {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    V centre(0, 0, 0);
    for (int i = 0; i < 8; ++i) centre = centre + c[i];
    centre = centre / 8;
    for (const auto& f : kFaces) {
      const V mid = (c[f[0]] + c[f[1]] + c[f[2]] + c[f[3]]) / 4;
      quad(c[f[0]], c[f[1]], c[f[2]], c[f[3]], mid - centre, material);
    }
  }

  // Vertex normals as the area-weighted mean of the faces around each vertex.
  void smoothNormals(size_t firstVertex, size_t firstFace) {
    for (size_t i = firstVertex; i < pos.size(); ++i) nrm[i] = V(0, 0, 0);
    for (size_t f = firstFace; f < faces.size(); ++f) {
      const Face& face = faces[f];
      const V g = cross(pos[face.v[1]] - pos[face.v[0]], pos[face.v[2]] - pos[face.v[0]]);
      for (int k = 0; k < 3; ++k) nrm[face.v[k]] = nrm[face.v[k]] + g;
    }
    for (size_t i = firstVertex; i < pos.size(); ++i) nrm[i] = unit(nrm[i]);
  }
};

// A placement on the ground: origin plus a turn about y.
struct Frame {
  V origin;
  double c = 1, s = 0;
  Frame(const V& o, double degrees) : origin(o) { sinCos(rad(degrees), s, c); }
  // Turning by +degrees takes local +z towards +x.
  V dir(const V& d) const { return {c * d.x + s * d.z, d.y, -s * d.x + c * d.z}; }
  V at(const V& p) const { return origin + dir(p); }
  V at(double x, double y, double z) const { return at(V(x, y, z)); }
};

// Axis-aligned box in a frame's local space.
void box(Mesh& m, const Frame& f, const V& lo, const V& hi, int material) {
  V c[8];
  for (int i = 0; i < 8; ++i)
    c[i] = f.at((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
  m.hexa(c, material);
}

// Surface of revolution about the frame's y axis. Each profile segment is
// its own band: smooth around, creased where the profile turns.
void lathe(Mesh& m, const Frame& f, const std::vector<std::pair<double, double>>& profile,
           int segments, int material, double phase = 0) {
  for (size_t k = 0; k + 1 < profile.size(); ++k) {
    const double r0 = profile[k].first, y0 = profile[k].second;
    const double r1 = profile[k + 1].first, y1 = profile[k + 1].second;
    // Profile normal in (radial, y): the segment turned by -90 degrees.
    double nr = y1 - y0, ny = -(r1 - r0);
    const double nl = std::sqrt(nr * nr + ny * ny);
    if (nl < 1e-12) continue;
    nr /= nl;
    ny /= nl;
    std::vector<int> ring0, ring1;
    for (int i = 0; i <= segments; ++i) {
      double s, c;
      sinCos(phase + 2 * kPi * i / segments, s, c);
      const V radial = f.dir(V(s, 0, c));
      const V n = unit(radial * nr + V(0, ny, 0));
      const V t(static_cast<double>(i) / segments, 0, y0);
      ring0.push_back(m.vertex(f.at(s * r0, y0, c * r0), n, t));
      ring1.push_back(m.vertex(f.at(s * r1, y1, c * r1), n, V(t.x, 0, y1)));
    }
    for (int i = 0; i < segments; ++i) {
      if (r0 > 1e-9) m.tri(ring0[i], ring0[i + 1], ring1[i + 1], material);
      if (r1 > 1e-9) m.tri(ring0[i], ring1[i + 1], ring1[i], material);
    }
  }
}

// Flat disc facing up (+1) or down (-1).
void disc(Mesh& m, const Frame& f, double r, double y, int segments, double facing, int material,
          double phase = 0) {
  std::vector<V> pts;
  for (int i = 0; i < segments; ++i) {
    double s, c;
    sinCos(phase + 2 * kPi * i / segments, s, c);
    pts.push_back(f.at(s * r, y, c * r));
  }
  m.poly(pts, V(0, facing, 0), material);
}

// Cylinder or frustum with both caps.
void cylinder(Mesh& m, const Frame& f, double r0, double r1, double y0, double y1, int segments,
              int material) {
  lathe(m, f, {{r0, y0}, {r1, y1}}, segments, material);
  disc(m, f, r0, y0, segments, -1, material);
  if (r1 > 0) disc(m, f, r1, y1, segments, 1, material);
}

// A lumpy ellipsoid with smooth normals (canopies, shrubs, sacks, the sail).
void blob(Mesh& m, const V& centre, const V& radii, int rings, int segments, double lumps,
          std::uint64_t seed, int material) {
  const size_t firstVertex = m.pos.size(), firstFace = m.faces.size();
  auto point = [&](double theta, double phi) {
    double st, ct, sp, cp;
    sinCos(theta, st, ct);
    sinCos(phi, sp, cp);
    const V d(st * sp, ct, st * cp);
    const double k = 1 + lumps * noise3(d.x * 2.2 + 7, d.y * 2.2 + 3, d.z * 2.2 + 5, seed);
    return centre + V(d.x * radii.x, d.y * radii.y, d.z * radii.z) * k;
  };
  const int top = m.vertex(point(0, 0), V(0, 1, 0), V(0, 0, 1));
  std::vector<std::vector<int>> ring(rings - 1);
  for (int r = 1; r < rings; ++r)
    for (int i = 0; i < segments; ++i)
      ring[r - 1].push_back(
          m.vertex(point(kPi * r / rings, 2 * kPi * i / segments), V(0, 1, 0),
                   V(static_cast<double>(i) / segments, 0, 1 - static_cast<double>(r) / rings)));
  const int bottom = m.vertex(point(kPi, 0), V(0, -1, 0), V(0, 0, 0));
  // Outward as the ellipsoid's gradient, which holds for long thin blobs too.
  auto out = [&](int a, int b, int c) {
    const V d = (m.pos[a] + m.pos[b] + m.pos[c]) / 3 - centre;
    return V(d.x / (radii.x * radii.x), d.y / (radii.y * radii.y), d.z / (radii.z * radii.z));
  };
  for (int i = 0; i < segments; ++i) {
    const int j = (i + 1) % segments;
    m.tri(top, ring[0][i], ring[0][j], material, out(top, ring[0][i], ring[0][j]));
    for (int r = 0; r + 1 < rings - 1; ++r) {
      const int a = ring[r][i], b = ring[r][j], c = ring[r + 1][i], d = ring[r + 1][j];
      m.tri(a, c, d, material, out(a, c, d));
      m.tri(a, d, b, material, out(a, d, b));
    }
    const auto& last = ring[rings - 2];
    m.tri(bottom, last[j], last[i], material, out(bottom, last[j], last[i]));
  }
  m.smoothNormals(firstVertex, firstFace);
}

// A faceted boulder: a subdivided icosahedron pushed about by noise.
void boulder(Mesh& m, const V& centre, const V& radii, double turnDegrees, std::uint64_t seed,
             int material) {
  const double t = (1 + std::sqrt(5.0)) / 2;
  std::vector<V> p = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                      {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
  std::vector<std::array<int, 3>> tris = {
      {0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
      {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
      {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (V& v : p) v = unit(v);
  std::map<std::pair<int, int>, int> mid;
  auto midpoint = [&](int a, int b) {
    const auto key = std::make_pair(std::min(a, b), std::max(a, b));
    auto it = mid.find(key);
    if (it != mid.end()) return it->second;
    p.push_back(unit(p[a] + p[b]));
    mid[key] = static_cast<int>(p.size()) - 1;
    return static_cast<int>(p.size()) - 1;
  };
  std::vector<std::array<int, 3>> finer;
  for (const auto& tr : tris) {
    const int a = midpoint(tr[0], tr[1]), b = midpoint(tr[1], tr[2]), c = midpoint(tr[2], tr[0]);
    finer.push_back({tr[0], a, c});
    finer.push_back({tr[1], b, a});
    finer.push_back({tr[2], c, b});
    finer.push_back({a, b, c});
  }
  const Frame f(centre, turnDegrees);
  std::vector<V> world;
  for (const V& d : p) {
    const double k = 1 + 0.28 * noise3(d.x * 1.7 + 11, d.y * 1.7 + 13, d.z * 1.7 + 17, seed);
    world.push_back(f.at(d.x * radii.x * k, d.y * radii.y * k, d.z * radii.z * k));
  }
  for (const auto& tr : finer) {
    const V a = world[tr[0]], b = world[tr[1]], c = world[tr[2]];
    m.poly({a, b, c}, (a + b + c) / 3 - centre, material);
  }
}

// ---------------------------------------------------------------- layout

// The island's centre and the plaza, tower and bridge the paths meet at.
constexpr V kIslandCentre(-0.4, 0, -1.5);
constexpr V kPlaza(0.5, 0, -2.8);
const double kPlazaRadius = 1.15;
constexpr V kTower(2.6, 0, -6.25);
const double kTerraceHalf = 0.85;
const int kSteps = 4;
const double kTread = 0.09;
const double kBridgeX = -0.6, kBridgeZ = -6.3, kBridgeHalf = 1.1;
const double kInletEndZ = -5.65;
const double kQuayWest = 3.3, kQuayEast = 4.3, kQuayNorth = -5.2, kQuaySouth = -0.2;
const double kJettyZ = -2.6, kJettyEnd = 6.0;
const double kWater = -0.45;
const double kPathWidth = 0.36;
const double kPathLift = 0.012;

struct HouseSpec {
  double x, z, turn, width, depth, height;
  int wall, roof;
  bool chimney;
};

const std::vector<HouseSpec> kHouses = {
    {-1.75, -2.75, 90, 1.10, 0.95, 0.82, kPlaster, kRoofTile, true},  // by the plaza, door east
    {2.95, -2.3, -90, 1.10, 0.85, 0.88, kOchre, kSlate, true},        // by the plaza, door west
    {-4.3, -5.6, 15, 1.00, 0.85, 0.72, kOchre, kRoofTile, false},     // west of the inlet
    {-3.9, -0.30, 80, 1.20, 0.90, 0.80, kPlaster, kSlate, true},      // west path
    {0.8, 1.4, -10, 1.15, 0.90, 0.78, kPlaster, kRoofTile, true},     // behind the start
    {-2.10, 2.45, 20, 0.95, 0.80, 0.70, kOchre, kRoofTile, false},    // south hill
};

// ---------------------------------------------------------------- terrain

double pointSegmentDistance(double px, double pz, double ax, double az, double bx, double bz) {
  const double dx = bx - ax, dz = bz - az;
  const double t = clamp01(((px - ax) * dx + (pz - az) * dz) / (dx * dx + dz * dz));
  const double ex = px - (ax + dx * t), ez = pz - (az + dz * t);
  return std::sqrt(ex * ex + ez * ez);
}

// Rolling ground, before the flat pads, the coast and the carved water.
double inlandRaw(double x, double z) {
  auto bump = [&](double cx, double cz, double amp, double sigma) {
    const double dx = x - cx, dz = z - cz;
    const double q = (dx * dx + dz * dz) / (sigma * sigma);
    // Rational bump: smooth, and no exp() whose last bit varies.
    return amp / (1 + q * q * 0.5 + q);
  };
  double h = bump(-4.9, -2.6, 0.28, 1.6) + bump(-2.6, 2.9, 0.3, 1.3) + bump(-1.8, -7.0, 0.12, 0.9);
  h += 0.035 * noise2(x * 0.7, z * 0.7, 101) + 0.012 * noise2(x * 2.1, z * 2.1, 202);
  // The land leans down towards the north shore, so the sea shows from the village.
  h += 0.03 * z;
  return h;
}

// Paving of the quay and the jetty, level with the ground behind the quay.
double quayTop() { return inlandRaw(3.8, -2.7) - inlandRaw(0, 0) + 0.015; }

// Footprints that the terrain flattens (houses, plaza, terrace, quay).
struct Pad {
  double x, z, turn, halfW, halfD, margin, height;
  bool round;
};
std::vector<Pad>& pads() {
  static std::vector<Pad> list;
  return list;
}

double padMask(const Pad& p, double x, double z) {
  const double dx = x - p.x, dz = z - p.z;
  double outside;
  if (p.round) {
    outside = std::sqrt(dx * dx + dz * dz) - p.halfW;
  } else {
    double s, c;
    sinCos(rad(p.turn), s, c);
    // Inverse of Frame::dir.
    const double lx = c * dx - s * dz, lz = s * dx + c * dz;
    const double ox = std::max(0.0, std::fabs(lx) - p.halfW);
    const double oz = std::max(0.0, std::fabs(lz) - p.halfD);
    outside = std::sqrt(ox * ox + oz * oz);
  }
  return 1 - smooth(0, p.margin, outside);
}

double inlandHeight(double x, double z) {
  double h = inlandRaw(x, z) - inlandRaw(0, 0);
  for (const Pad& p : pads()) h = lerp(h, p.height, padMask(p, x, z));
  return h;
}

// Coast distance from the island's centre by compass bearing (0 = north,
// towards -z; 90 = east), every 22.5 degrees. The east side runs straight
// along the quay; the north-east stays inside the light's square.
const double kCoast[16] = {6.1, 6.7, 6.2, 5.2, 4.8, 5.2, 5.9, 6.0,
                           5.9, 6.1, 6.3, 6.4, 6.5, 6.6, 6.6, 6.3};

double coastDistance(double dx, double dz) {
  double bearing = datan2(dx, -dz) * 180 / kPi;
  if (bearing < 0) bearing += 360;
  const double f = bearing / 22.5;
  const int i = static_cast<int>(std::floor(f)) % 16;
  const double t = f - std::floor(f);
  auto at = [](int k) { return kCoast[((k % 16) + 16) % 16]; };
  const double p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
  const double t2 = t * t, t3 = t2 * t;
  double d = 0.5 * (2 * p1 + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                    (-p0 + 3 * p1 - 3 * p2 + p3) * t3);
  // Ragged shore away from the quay.
  const double quay = smooth(40, 52, bearing) * (1 - smooth(108, 120, bearing));
  const double r = std::sqrt(dx * dx + dz * dz);
  if (r > 1e-9) d += (1 - quay) * 0.3 * noise2(dx / r * 2.2 + 9, dz / r * 2.2 + 9, 404);
  return d;
}

double terrainHeight(double x, double z) {
  const double dx = x - kIslandCentre.x, dz = z - kIslandCentre.z;
  const double r = std::sqrt(dx * dx + dz * dz);
  // The water line falls at s = 0.89 of the profile below.
  const double s = r * 0.89 / coastDistance(dx, dz);
  double h = lerp(inlandHeight(x, z), -0.85, smooth(0.72, 1.04, s));
  if (s > 1.04) h -= (s - 1.04) * 2.5;
  // The inlet the bridge crosses.
  const double d = pointSegmentDistance(x, z, kBridgeX, kInletEndZ, kBridgeX, -11);
  h = lerp(-0.9, h, smooth(0.3, 0.85, d));
  // The harbour basin in front of the quay wall.
  const double beyond = std::max({x - (kQuayEast - 0.25), 0.0});
  const double along = std::max({kQuayNorth + 0.15 - z, z - (kQuaySouth - 0.15), 0.0});
  if (beyond > 0 && along < 1e-9) h = std::min(h, -0.05 - beyond * 4.0);
  return std::max(h, -1.6);
}

// The terrain as drawn: heights on a grid, two triangles per cell split
// along the same diagonal, so queries match the mesh exactly.
struct TerrainGrid {
  double x0 = -9.0, z0 = -10.5, step = 0.1;
  int nx = 180, nz = 170;
  std::vector<double> h;

  double at(int i, int k) const { return h[static_cast<size_t>(k) * (nx + 1) + i]; }
  void build() {
    h.resize(static_cast<size_t>(nx + 1) * (nz + 1));
    for (int k = 0; k <= nz; ++k)
      for (int i = 0; i <= nx; ++i)
        h[static_cast<size_t>(k) * (nx + 1) + i] = terrainHeight(x0 + i * step, z0 + k * step);
  }
  double height(double x, double z) const {
    const double gx = (x - x0) / step, gz = (z - z0) / step;
    int i = static_cast<int>(std::floor(gx)), k = static_cast<int>(std::floor(gz));
    i = std::clamp(i, 0, nx - 1);
    k = std::clamp(k, 0, nz - 1);
    const double fx = gx - i, fz = gz - k;
    const double h00 = at(i, k), h10 = at(i + 1, k), h01 = at(i, k + 1), h11 = at(i + 1, k + 1);
    if (fx >= fz) return h00 + (h10 - h00) * fx + (h11 - h10) * fz;
    return h00 + (h11 - h01) * fx + (h01 - h00) * fz;
  }
  V normal(double x, double z) const {
    const double e = step;
    return unit(V(height(x - e, z) - height(x + e, z), 2 * e, height(x, z - e) - height(x, z + e)));
  }
};

TerrainGrid& grid() {
  static TerrainGrid g;
  return g;
}

double ground(double x, double z) { return grid().height(x, z); }

// Lowest and highest ground under a footprint.
void groundRange(const Frame& f, double halfW, double halfD, double& lo, double& hi) {
  lo = 1e9;
  hi = -1e9;
  for (int i = 0; i <= 8; ++i)
    for (int k = 0; k <= 8; ++k) {
      const V p = f.at(-halfW + 2 * halfW * i / 8, 0, -halfD + 2 * halfD * k / 8);
      const double g = ground(p.x, p.z);
      lo = std::min(lo, g);
      hi = std::max(hi, g);
    }
}

// Terrain triangles are cut along the sand line and the steep-slope line,
// so the colour changes follow smooth contours instead of grid steps.
void buildTerrain(Mesh& m) {
  const TerrainGrid& g = grid();
  struct Corner {
    int id;
    double f[2];  // above the sand line; flatter than the earth slopes
  };
  std::vector<std::array<double, 2>> fields;
  auto fieldsAt = [](const V& p, const V& n) {
    return std::array<double, 2>{p.y - (-0.2 + 0.05 * noise2(p.x * 1.3, p.z * 1.3, 303)),
                                 n.y - 0.86};
  };
  std::vector<int> ids(static_cast<size_t>(g.nx + 1) * (g.nz + 1), -1);
  auto id = [&](int i, int k) {
    int& slot = ids[static_cast<size_t>(k) * (g.nx + 1) + i];
    if (slot < 0) {
      const double x = g.x0 + i * g.step, z = g.z0 + k * g.step;
      const double e = g.step;
      const double hx0 = g.at(std::max(i - 1, 0), k), hx1 = g.at(std::min(i + 1, g.nx), k);
      const double hz0 = g.at(i, std::max(k - 1, 0)), hz1 = g.at(i, std::min(k + 1, g.nz));
      const V n = unit(V(hx0 - hx1, 2 * e, hz0 - hz1));
      slot = m.vertex(V(x, g.at(i, k), z), n, V(x * 0.5, z * 0.5, 0));
      fields.push_back(fieldsAt(m.pos[slot], n));
    }
    return Corner{slot, {fields[slot][0], fields[slot][1]}};
  };
  std::map<std::array<int, 3>, int> cuts;
  auto cut = [&](const Corner& a, const Corner& b, int field) {
    const Corner& p = a.id < b.id ? a : b;
    const Corner& q = a.id < b.id ? b : a;
    const std::array<int, 3> key = {p.id, q.id, field};
    auto it = cuts.find(key);
    int v;
    if (it != cuts.end()) {
      v = it->second;
    } else {
      const double t = p.f[field] / (p.f[field] - q.f[field]);
      const V pos = m.pos[p.id] + (m.pos[q.id] - m.pos[p.id]) * t;
      const V n = unit(m.nrm[p.id] + (m.nrm[q.id] - m.nrm[p.id]) * t);
      v = m.vertex(pos, n, V(pos.x * 0.5, pos.z * 0.5, 0));
      std::array<double, 2> f;
      for (int k = 0; k < 2; ++k) f[k] = p.f[k] + (q.f[k] - p.f[k]) * t;
      f[field] = 0;
      fields.push_back(f);
      cuts[key] = v;
    }
    return Corner{v, {fields[v][0], fields[v][1]}};
  };
  std::function<void(const std::vector<Corner>&, int)> emit = [&](const std::vector<Corner>& poly,
                                                                  int field) {
    if (field == 2) {
      double mean[2] = {0, 0};
      for (const Corner& c : poly)
        for (int k = 0; k < 2; ++k) mean[k] += c.f[k];
      const int material = mean[0] < 0 ? kSand : (mean[1] < 0 ? kEarth : kGrass);
      for (size_t i = 1; i + 1 < poly.size(); ++i)
        m.tri(poly[0].id, poly[i].id, poly[i + 1].id, material, V(0, 1, 0));
      return;
    }
    bool anyBelow = false, anyAbove = false;
    for (const Corner& c : poly) {
      anyBelow = anyBelow || c.f[field] < 0;
      anyAbove = anyAbove || c.f[field] > 0;
    }
    if (!(anyBelow && anyAbove)) {
      emit(poly, field + 1);
      return;
    }
    for (int sign = -1; sign <= 1; sign += 2) {
      std::vector<Corner> part;
      for (size_t i = 0; i < poly.size(); ++i) {
        const Corner& a = poly[i];
        const Corner& b = poly[(i + 1) % poly.size()];
        if (sign * a.f[field] >= 0) part.push_back(a);
        if (a.f[field] * b.f[field] < 0) part.push_back(cut(a, b, field));
      }
      if (part.size() >= 3) emit(part, field + 1);
    }
  };
  for (int k = 0; k < g.nz; ++k)
    for (int i = 0; i < g.nx; ++i) {
      const double h00 = g.at(i, k), h10 = g.at(i + 1, k), h01 = g.at(i, k + 1),
                   h11 = g.at(i + 1, k + 1);
      if (std::max({h00, h10, h01, h11}) < -0.6) continue;
      const Corner a = id(i, k), b = id(i + 1, k), c = id(i + 1, k + 1), d = id(i, k + 1);
      emit({a, b, c}, 0);
      emit({a, c, d}, 0);
    }
}

// ---------------------------------------------------------------- paths

struct Node {
  std::string name;
  double x, z;
};

// A cobbled path between two named waypoints, through control points.
struct PathSpec {
  std::string from, to;
  std::vector<std::pair<double, double>> via;
};

// Uniform Catmull-Rom through the control points, resampled by arc length.
std::vector<std::pair<double, double>> samplePath(const std::vector<std::pair<double, double>>& ctl,
                                                  double spacing) {
  std::vector<std::pair<double, double>> dense;
  for (size_t i = 0; i + 1 < ctl.size(); ++i) {
    const auto p0 = ctl[i == 0 ? 0 : i - 1], p1 = ctl[i], p2 = ctl[i + 1],
               p3 = ctl[std::min(i + 2, ctl.size() - 1)];
    for (int k = 0; k < 40; ++k) {
      const double t = k / 40.0, t2 = t * t, t3 = t2 * t;
      auto cr = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                      (-a + 3 * b - 3 * c + d) * t3);
      };
      dense.push_back({cr(p0.first, p1.first, p2.first, p3.first),
                       cr(p0.second, p1.second, p2.second, p3.second)});
    }
  }
  dense.push_back(ctl.back());
  std::vector<double> acc(dense.size(), 0);
  for (size_t i = 1; i < dense.size(); ++i)
    acc[i] = acc[i - 1] +
             planar(dense[i].first - dense[i - 1].first, dense[i].second - dense[i - 1].second);
  const double total = acc.back();
  const int n = std::max(1, static_cast<int>(std::ceil(total / spacing)));
  std::vector<std::pair<double, double>> out;
  size_t j = 0;
  for (int i = 0; i <= n; ++i) {
    const double target = total * i / n;
    while (j + 2 < dense.size() && acc[j + 1] < target) ++j;
    const double seg = acc[j + 1] - acc[j];
    const double t = seg > 0 ? clamp01((target - acc[j]) / seg) : 0;
    out.push_back({lerp(dense[j].first, dense[j + 1].first, t),
                   lerp(dense[j].second, dense[j + 1].second, t)});
  }
  return out;
}

void ribbon(Mesh& m, const std::vector<std::pair<double, double>>& pts, double width, double lift,
            int material) {
  std::vector<std::array<int, 3>> rows;
  for (size_t i = 0; i < pts.size(); ++i) {
    const auto a = pts[i == 0 ? 0 : i - 1], b = pts[std::min(i + 1, pts.size() - 1)];
    double tx = b.first - a.first, tz = b.second - a.second;
    const double tl = planar(tx, tz);
    tx /= tl;
    tz /= tl;
    std::array<int, 3> row;
    for (int k = 0; k < 3; ++k) {
      const double off = (k - 1) * width / 2;
      const double x = pts[i].first - tz * off, z = pts[i].second + tx * off;
      row[k] = m.vertex(V(x, ground(x, z) + lift, z), grid().normal(x, z), V(x, z, 0));
    }
    rows.push_back(row);
  }
  for (size_t i = 0; i + 1 < rows.size(); ++i)
    for (int k = 0; k < 2; ++k) {
      m.tri(rows[i][k], rows[i][k + 1], rows[i + 1][k + 1], material);
      m.tri(rows[i][k], rows[i + 1][k + 1], rows[i + 1][k], material);
    }
}

// ---------------------------------------------------------------- buildings

struct Opening {
  double u, v, w, h;
  bool door;
};

// One outside wall of a house: the rectangle from u = 0..length and
// v = bottom..top (local to the panel) minus the openings, each opening
// recessed into the wall with reveals and a back face.
void wallPanel(Mesh& walls, Mesh& trim, const Frame& f, const V& origin, const V& along,
               const V& out, double length, double bottom, double top,
               const std::vector<Opening>& openings, int wallMaterial) {
  auto P = [&](double u, double v, double depth) {
    return f.at(origin + along * u + V(0, v, 0) + out * depth);
  };
  const V outward = f.dir(out);
  std::vector<double> us = {0, length}, vs = {bottom, top};
  for (const Opening& o : openings) {
    us.push_back(o.u - o.w / 2);
    us.push_back(o.u + o.w / 2);
    vs.push_back(o.v);
    vs.push_back(o.v + o.h);
  }
  std::sort(us.begin(), us.end());
  std::sort(vs.begin(), vs.end());
  us.erase(std::unique(us.begin(), us.end()), us.end());
  vs.erase(std::unique(vs.begin(), vs.end()), vs.end());
  for (size_t i = 0; i + 1 < us.size(); ++i)
    for (size_t k = 0; k + 1 < vs.size(); ++k) {
      const double cu = (us[i] + us[i + 1]) / 2, cv = (vs[k] + vs[k + 1]) / 2;
      bool hole = false;
      for (const Opening& o : openings)
        if (std::fabs(cu - o.u) < o.w / 2 && cv > o.v && cv < o.v + o.h) hole = true;
      if (hole) continue;
      walls.quad(P(us[i], vs[k], 0), P(us[i + 1], vs[k], 0), P(us[i + 1], vs[k + 1], 0),
                 P(us[i], vs[k + 1], 0), outward, wallMaterial);
    }
  const V alongW = f.dir(along);
  for (const Opening& o : openings) {
    const double u0 = o.u - o.w / 2, u1 = o.u + o.w / 2, v0 = o.v, v1 = o.v + o.h;
    const double d = o.door ? -0.05 : -0.04;
    walls.quad(P(u0, v0, 0), P(u0, v1, 0), P(u0, v1, d), P(u0, v0, d), alongW, wallMaterial);
    walls.quad(P(u1, v0, 0), P(u1, v1, 0), P(u1, v1, d), P(u1, v0, d), -alongW, wallMaterial);
    walls.quad(P(u0, v1, 0), P(u1, v1, 0), P(u1, v1, d), P(u0, v1, d), V(0, -1, 0), wallMaterial);
    walls.quad(P(u0, v0, 0), P(u1, v0, 0), P(u1, v0, d), P(u0, v0, d), V(0, 1, 0), wallMaterial);
    walls.quad(P(u0, v0, d), P(u1, v0, d), P(u1, v1, d), P(u0, v1, d), outward,
               o.door ? kDoorWood : kGlass);
    auto panelBox = [&](double a0, double a1, double b0, double b1, double c0, double c1,
                        int material) {
      V c[8];
      for (int i = 0; i < 8; ++i) c[i] = P((i & 1) ? a1 : a0, (i & 2) ? b1 : b0, (i & 4) ? c1 : c0);
      trim.hexa(c, material);
    };
    if (o.door) {
      // Door planks and a step up to the threshold.
      panelBox(o.u - 0.006, o.u + 0.006, v0, v1 - 0.02, d, d + 0.008, kBark);
      panelBox(u0 - 0.03, u1 + 0.03, v0 - 0.25, v0 + 0.025, -0.02, 0.08, kStone);
    } else {
      panelBox(u0 - 0.02, u1 + 0.02, v0 - 0.025, v0, -0.01, 0.035, kTrim);  // sill
      panelBox(o.u - 0.008, o.u + 0.008, v0, v1, d, d + 0.012, kTrim);      // mullion
      panelBox(u0, u1, v0 + o.h * 0.55 - 0.008, v0 + o.h * 0.55 + 0.008, d, d + 0.012, kTrim);
      panelBox(u0 - o.w / 2 - 0.012, u0 - 0.012, v0, v1, 0, 0.014, kShutter);  // shutters
      panelBox(u1 + 0.012, u1 + o.w / 2 + 0.012, v0, v1, 0, 0.014, kShutter);
    }
  }
}

void house(Mesh& walls, Mesh& roofs, Mesh& trim, const HouseSpec& spec, Random& random) {
  const double floorY = ground(spec.x, spec.z);
  const Frame f(V(spec.x, floorY, spec.z), spec.turn);
  const double W = spec.width, D = spec.depth, H = spec.height;
  const double bottom = -0.6;
  const double pitch = rad(38 + 6 * random.uniform());
  double sp, cp;
  sinCos(pitch, sp, cp);
  const double tp = sp / cp;
  const double rise = D / 2 * tp;

  // Front (+z) holds the door; the others windows. Panels run left to right
  // as seen from outside.
  const double lower = 0.13, upper = 0.5, winH = 0.22, winW = 0.15;
  std::vector<Opening> front = {{W * 0.5 + (random.uniform() - 0.5) * 0.1, 0, 0.2, 0.4, true}};
  std::vector<Opening> back, right, left;
  for (double u : {W * 0.2, W * 0.8}) front.push_back({u, upper, winW, winH, false});
  front.push_back({W * 0.18, lower + 0.02, winW, winH, false});
  front.push_back({W * 0.82, lower + 0.02, winW, winH, false});
  for (double u : {W * 0.25, W * 0.75}) {
    back.push_back({u, lower + 0.02, winW, winH, false});
    back.push_back({u, upper, winW, winH, false});
  }
  right.push_back({D * 0.5, upper, winW, winH, false});
  left.push_back({D * 0.5, lower + 0.02, winW, winH, false});
  if (H > 0.75) left.push_back({D * 0.5, upper, winW, winH, false});

  wallPanel(walls, trim, f, V(-W / 2, 0, D / 2), V(1, 0, 0), V(0, 0, 1), W, bottom, H, front,
            spec.wall);
  wallPanel(walls, trim, f, V(W / 2, 0, D / 2), V(0, 0, -1), V(1, 0, 0), D, bottom, H, right,
            spec.wall);
  wallPanel(walls, trim, f, V(W / 2, 0, -D / 2), V(-1, 0, 0), V(0, 0, -1), W, bottom, H, back,
            spec.wall);
  wallPanel(walls, trim, f, V(-W / 2, 0, -D / 2), V(0, 0, 1), V(-1, 0, 0), D, bottom, H, left,
            spec.wall);
  // Gables under the ridge, which runs along local x.
  for (int side = -1; side <= 1; side += 2) {
    const double x = side * W / 2;
    walls.poly({f.at(x, H, D / 2), f.at(x, H, -D / 2), f.at(x, H + rise, 0)}, f.dir(V(side, 0, 0)),
               spec.wall);
  }
  // Plinth around the foot of the walls.
  const double pl = 0.012;
  box(trim, f, V(-W / 2 - pl, bottom, D / 2 - 0.02), V(W / 2 + pl, 0.07, D / 2 + pl), kStone);
  box(trim, f, V(-W / 2 - pl, bottom, -D / 2 - pl), V(W / 2 + pl, 0.07, -D / 2 + 0.02), kStone);
  box(trim, f, V(-W / 2 - pl, bottom, -D / 2), V(-W / 2 + 0.02, 0.07, D / 2), kStone);
  box(trim, f, V(W / 2 - 0.02, bottom, -D / 2), V(W / 2 + pl, 0.07, D / 2), kStone);
  // Corner stones.
  for (int sx = -1; sx <= 1; sx += 2)
    for (int sz = -1; sz <= 1; sz += 2)
      for (double v = 0.12; v < H - 0.05; v += 0.16) {
        const double x0 = sx * (W / 2 + 0.006), z0 = sz * (D / 2 + 0.006);
        box(trim, f, V(std::min(x0, x0 - sx * 0.08), v, std::min(z0, z0 - sz * 0.05)),
            V(std::max(x0, x0 - sx * 0.08), v + 0.07, std::max(z0, z0 - sz * 0.05)), kStone);
      }

  // Roof: two slabs with eaves and gable overhangs, and a ridge cap.
  const double eave = 0.09, gable = 0.07, thick = 0.035;
  for (int side = -1; side <= 1; side += 2) {
    const double zE = side * (D / 2 + eave), yE = H - eave * tp;
    const double yR = H + rise;
    const V n(0, cp, side * sp);
    const V lowEave(0, yE, zE), lowRidge(0, yR, 0);
    const V upEave = lowEave + n * thick, upRidge(0, yR + thick / cp, 0);
    const V pts[4] = {lowEave, upEave, lowRidge, upRidge};
    V c[8];
    for (int i = 0; i < 8; ++i) {
      const double x = (i & 1) ? W / 2 + gable : -W / 2 - gable;
      const V p = pts[((i & 2) ? 1 : 0) + ((i & 4) ? 2 : 0)];
      c[i] = f.at(x, p.y, p.z);
    }
    roofs.hexa(c, spec.roof);
  }
  const double capY = H + rise + thick / cp;
  box(roofs, f, V(-W / 2 - gable - 0.01, capY - 0.03, -0.035),
      V(W / 2 + gable + 0.01, capY + 0.025, 0.035), spec.roof == kSlate ? kDarkStone : kRoofTile);
  if (spec.chimney) {
    const double cx = -W * 0.3, cz = -D * 0.22;
    box(trim, f, V(cx - 0.07, H, cz - 0.07), V(cx + 0.07, capY + 0.16, cz + 0.07), kStone);
    box(trim, f, V(cx - 0.085, capY + 0.16, cz - 0.085), V(cx + 0.085, capY + 0.2, cz + 0.085),
        kDarkStone);
  }
}

// ---------------------------------------------------------------- tower, bridge, harbour

double terraceTop() {
  double lo, hi;
  groundRange(Frame(kTower, 0), kTerraceHalf, kTerraceHalf, lo, hi);
  return hi + 0.12;
}

// A flight of steps rising from `foot` (on the ground) along `dir` to a
// landing at `topY`; the last riser is the landing's own edge, at
// (steps - 1) treads from the foot.
void stairs(Mesh& m, const V& foot, const V& dir, double width, double topY, int steps,
            double tread, int material) {
  const V side = unit(cross(dir, V(0, 1, 0)));
  const double g = foot.y, run = tread * (steps - 1);
  for (int k = 1; k < steps; ++k) {
    const double y = g + (topY - g) * k / steps;
    const double d0 = tread * (k - 1), d1 = run + 0.05;
    V c[8];
    for (int i = 0; i < 8; ++i) {
      const V p = foot + dir * ((i & 4) ? d1 : d0) + side * (((i & 1) ? 0.5 : -0.5) * width);
      c[i] = V(p.x, (i & 2) ? y : g - 0.3, p.z);
    }
    m.hexa(c, material);
  }
}

void tower(Mesh& m, Mesh& trim) {
  const double top = terraceTop();
  const Frame base(V(kTower.x, 0, kTower.z), 0);
  box(m, base, V(-kTerraceHalf, -0.5, -kTerraceHalf), V(kTerraceHalf, top, kTerraceHalf), kStone);
  // Coping round the terrace edge.
  const double e = kTerraceHalf + 0.015;
  box(trim, base, V(-e, top - 0.04, -e), V(e, top + 0.008, -e + 0.06), kDarkStone);
  box(trim, base, V(-e, top - 0.04, e - 0.06), V(-0.3, top + 0.008, e), kDarkStone);
  box(trim, base, V(0.3, top - 0.04, e - 0.06), V(e, top + 0.008, e), kDarkStone);
  box(trim, base, V(e - 0.06, top - 0.04, -e + 0.06), V(e, top + 0.008, e - 0.06), kDarkStone);
  box(trim, base, V(-e, top - 0.04, -e + 0.06), V(-e + 0.06, top + 0.008, -0.3), kDarkStone);
  box(trim, base, V(-e, top - 0.04, 0.3), V(-e + 0.06, top + 0.008, e - 0.06), kDarkStone);

  // Steps down to the south (towards the plaza) and to the west (the bridge).
  {
    const int n = kSteps;
    const double tread = kTread;
    V foot(kTower.x, 0, kTower.z + kTerraceHalf + (n - 1) * tread);
    foot.y = ground(foot.x, foot.z);
    stairs(m, foot, V(0, 0, -1), 0.56, top, n, tread, kStone);
    V footW(kTower.x - kTerraceHalf - (n - 1) * tread, 0, kTower.z);
    footW.y = ground(footW.x, footW.z);
    stairs(m, footW, V(1, 0, 0), 0.56, top, n, tread, kStone);
  }

  // Lighthouse: tapering white shaft with a dark band, gallery, lantern, cap.
  const Frame f(V(kTower.x, top, kTower.z), 0);
  const double r0 = 0.46, r1 = 0.38, h = 1.45;
  auto radiusAt = [&](double y) { return r0 + (r1 - r0) * y / h; };
  lathe(m, f, {{r0, -0.02}, {radiusAt(0.55), 0.55}}, 40, kPlaster);
  lathe(m, f, {{radiusAt(0.55), 0.55}, {radiusAt(0.85), 0.85}}, 40, kSlate);
  lathe(m, f, {{radiusAt(0.85), 0.85}, {r1, h}}, 40, kPlaster);
  lathe(m, f, {{r1, h}, {0.5, h + 0.05}, {0.5, h + 0.1}, {0.0, h + 0.1}}, 40, kDarkStone);
  for (int i = 0; i < 16; ++i) {
    double s, c;
    sinCos(2 * kPi * i / 16, s, c);
    cylinder(trim, Frame(f.at(s * 0.46, 0, c * 0.46), 0), 0.012, 0.012, h + 0.1, h + 0.25, 6,
             kDarkStone);
  }
  lathe(trim, f,
        {{0.45, h + 0.25}, {0.47, h + 0.25}, {0.47, h + 0.27}, {0.45, h + 0.27}, {0.45, h + 0.25}},
        40, kDarkStone);
  lathe(m, f, {{0.26, h + 0.1}, {0.26, h + 0.36}}, 24, kGlass);
  lathe(m, f, {{0.33, h + 0.36}, {0.33, h + 0.39}, {0.0, h + 0.62}}, 24, kRoofTile);
  disc(m, f, 0.33, h + 0.36, 24, -1, kRoofTile);
  blob(trim, f.at(0, h + 0.65, 0), V(0.04, 0.04, 0.04), 6, 8, 0, 1, kDarkStone);

  // Door portal facing the south steps, recessed between its jambs.
  const double zf = radiusAt(0.2) + 0.05;
  box(trim, f, V(-0.16, -0.02, zf - 0.12), V(-0.1, 0.46, zf), kStone);
  box(trim, f, V(0.1, -0.02, zf - 0.12), V(0.16, 0.46, zf), kStone);
  box(trim, f, V(-0.16, 0.4, zf - 0.12), V(0.16, 0.48, zf + 0.01), kStone);
  box(trim, f, V(-0.1, 0, zf - 0.12), V(0.1, 0.4, zf - 0.035), kDoorWood);
  // Windows up the shaft, each a dark pane in a stone frame.
  const double windows[][3] = {{0.95, 25, 0}, {1.2, -60, 0}, {0.7, 120, 0}, {1.15, 200, 0}};
  for (const auto& w : windows) {
    const Frame wf(f.at(0, 0, 0), w[1]);
    const double z = radiusAt(w[0]);
    box(trim, wf, V(-0.07, w[0] - 0.1, z - 0.05), V(0.07, w[0] + 0.12, z + 0.02), kStone);
    box(trim, wf, V(-0.045, w[0] - 0.075, z - 0.04), V(0.045, w[0] + 0.095, z + 0.03), kGlass);
  }
}

// Deck height of the humpbacked bridge at u along its axis (west to east).
double bridgeDeck(double u, double endWest, double endEast) {
  const double flat = 0.35, crown = std::max(endWest, endEast) + 0.2;
  if (u <= -flat) return lerp(endWest, crown, (u + kBridgeHalf) / (kBridgeHalf - flat));
  if (u >= flat) return lerp(crown, endEast, (u - flat) / (kBridgeHalf - flat));
  return crown;
}

double bridgeEnd(int side) {
  const double x = kBridgeX + side * kBridgeHalf;
  return ground(x, kBridgeZ) + 0.015;
}

void bridge(Mesh& m) {
  const double hw = 0.3, wall = 0.06, parapet = 0.11, span = 0.56, spring = -0.75;
  const double ew = bridgeEnd(-1), ee = bridgeEnd(1);
  const double crown = bridgeDeck(0, ew, ee);
  const double apex = crown - 0.13;
  std::vector<double> us;
  for (int i = 0; i <= 12; ++i) us.push_back(-kBridgeHalf + (kBridgeHalf - span) * i / 12);
  for (int i = 1; i < 28; ++i) {
    double s, c;
    sinCos(kPi - kPi * i / 28, s, c);
    us.push_back(span * c);
  }
  for (int i = 0; i <= 12; ++i) us.push_back(span + (kBridgeHalf - span) * i / 12);
  us.push_back(-0.35);
  us.push_back(0.35);
  std::sort(us.begin(), us.end());
  us.erase(
      std::unique(us.begin(), us.end(), [](double a, double b) { return std::fabs(a - b) < 1e-6; }),
      us.end());
  auto top = [&](double u) { return bridgeDeck(u, ew, ee); };
  auto under = [&](double u) {
    if (std::fabs(u) >= span - 1e-9) return -0.95;
    const double t = u / span;
    return spring + (apex - spring) * std::sqrt(std::max(0.0, 1 - t * t));
  };
  auto P = [&](double u, double y, double w) { return V(kBridgeX + u, y, kBridgeZ + w); };
  for (size_t i = 0; i + 1 < us.size(); ++i) {
    const double a = us[i], b = us[i + 1];
    // Outer faces from the arch or footing up to the parapet top.
    for (int side = -1; side <= 1; side += 2) {
      const double w = side * hw;
      m.quad(P(a, under(a), w), P(b, under(b), w), P(b, top(b) + parapet, w),
             P(a, top(a) + parapet, w), V(0, 0, side), kStone);
      const double wi = side * (hw - wall);
      m.quad(P(a, top(a), wi), P(b, top(b), wi), P(b, top(b) + parapet, wi),
             P(a, top(a) + parapet, wi), V(0, 0, -side), kStone);
      m.quad(P(a, top(a) + parapet, wi), P(b, top(b) + parapet, wi), P(b, top(b) + parapet, w),
             P(a, top(a) + parapet, w), V(0, 1, 0), kDarkStone);
    }
    m.quad(P(a, top(a), -(hw - wall)), P(b, top(b), -(hw - wall)), P(b, top(b), hw - wall),
           P(a, top(a), hw - wall), V(0, 1, 0), kCobble);
  }
  // Arch soffit, smooth as it curves.
  {
    std::vector<int> north, south;
    for (double u : us) {
      if (std::fabs(u) > span + 1e-9) continue;
      const double t = u / span;
      const double dy = std::fabs(t) < 1 ? -(apex - spring) * t / span / std::sqrt(1 - t * t) : 0;
      V n = std::fabs(t) < 0.999 ? unit(V(dy, -1, 0)) : V(-t, 0, 0);
      north.push_back(m.vertex(P(u, under(u), -hw), n, V(u, 0, -hw)));
      south.push_back(m.vertex(P(u, under(u), hw), n, V(u, 0, hw)));
    }
    for (size_t i = 0; i + 1 < north.size(); ++i) {
      m.tri(north[i], north[i + 1], south[i + 1], kStone);
      m.tri(north[i], south[i + 1], south[i], kStone);
    }
  }
  // Ends, mostly buried.
  for (int side = -1; side <= 1; side += 2) {
    const double u = side * kBridgeHalf;
    m.quad(P(u, -0.95, -hw), P(u, -0.95, hw), P(u, top(u), hw), P(u, top(u), -hw), V(side, 0, 0),
           kStone);
    for (int w = -1; w <= 1; w += 2)
      m.quad(P(u, top(u), w * hw), P(u, top(u), w * (hw - wall)),
             P(u, top(u) + parapet, w * (hw - wall)), P(u, top(u) + parapet, w * hw), V(side, 0, 0),
             kStone);
  }
  // Arch ring stones standing proud of the faces.
  for (int side = -1; side <= 1; side += 2)
    for (int i = 0; i < 11; ++i) {
      const double a0 = kPi * (i + 0.08) / 11, a1 = kPi * (i + 0.92) / 11;
      V c[8];
      for (int k = 0; k < 8; ++k) {
        const double ang = (k & 1) ? a1 : a0;
        double s, cs;
        sinCos(ang, s, cs);
        const double grow = (k & 2) ? 1.0 : 0.0;
        const double u = -cs * (span + 0.09 * grow);
        const double y = spring + s * (apex - spring + 0.09 * grow);
        const double w = side * (hw + ((k & 4) ? 0.012 : -0.01));
        c[k] = P(u, y, w);
      }
      m.hexa(c, kDarkStone);
    }
}

void harbour(Mesh& m, Mesh& props) {
  // Quay: a stone block from the sea bed up to its paving, with a kerb.
  const Frame f(V(0, 0, 0), 0);
  box(m, f, V(kQuayWest, -1.0, kQuayNorth), V(kQuayEast, quayTop(), kQuaySouth), kStone);
  box(m, f, V(kQuayEast - 0.07, quayTop(), kQuayNorth),
      V(kQuayEast + 0.01, quayTop() + 0.025, kJettyZ - 0.24), kDarkStone);
  box(m, f, V(kQuayEast - 0.07, quayTop(), kJettyZ + 0.24),
      V(kQuayEast + 0.01, quayTop() + 0.025, kQuaySouth), kDarkStone);
  // Bollards.
  for (double z : {-4.6, -3.4, -1.7, -0.7})
    lathe(props, Frame(V(kQuayEast - 0.12, quayTop(), z), 0),
          {{0.035, 0}, {0.035, 0.07}, {0.045, 0.08}, {0.045, 0.095}, {0, 0.1}}, 12, kDarkStone);
  // Steps down the quay wall to the water, south of the jetty.
  for (int k = 0; k < 8; ++k) {
    const double y = quayTop() - (k + 1) * 0.06;
    const double z0 = -1.75 + k * 0.1;
    box(m, f, V(kQuayEast - 0.01, -1.0, z0), V(kQuayEast + 0.3, y, z0 + 0.1), kStone);
  }
  // Jetty: planks across three beams, on posts.
  const double hw = 0.22;
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ - hw + 0.03),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ - hw + 0.09), kBark);
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ + hw - 0.09),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ + hw - 0.03), kBark);
  int plank = 0;
  box(m, f, V(kQuayEast - 0.05, -0.08, kJettyZ - 0.03),
      V(kJettyEnd, quayTop() - 0.03, kJettyZ + 0.03), kBark);
  for (double x = kQuayEast - 0.02; x + 0.07 <= kJettyEnd + 1e-9; x += 0.085, ++plank)
    box(m, f, V(x, quayTop() - 0.03, kJettyZ - hw - (plank % 3 == 0 ? 0.02 : 0)),
        V(x + 0.075, quayTop(), kJettyZ + hw + (plank % 3 == 1 ? 0.02 : 0)), kPlank);
  for (double x : {4.85, 5.45, kJettyEnd - 0.04})
    for (int side = -1; side <= 1; side += 2)
      cylinder(m, Frame(V(x, 0, kJettyZ + side * (hw + 0.03)), 0), 0.035, 0.032, -1.0,
               quayTop() + 0.1, 10, kBark);

  // A small sailing boat moored north of the jetty.
  {
    const V c(5.2, kWater, kJettyZ - 0.62);
    const int nu = 24, nv = 8;
    const double L = 0.72, B = 0.23;
    auto halfWidth = [&](double t) { return B * (1 - t * t) * (1.4 - 0.4 * t * t) / 1.4; };
    auto sheer = [&](double t) { return 0.13 + 0.06 * t * t; };
    auto keel = [&](double t) { return -0.14 + 0.1 * t * t; };
    const size_t fv = m.pos.size(), ff = m.faces.size();
    std::vector<std::vector<int>> grid(nu + 1, std::vector<int>(2 * nv + 1));
    for (int i = 0; i <= nu; ++i) {
      const double t = -1 + 2.0 * i / nu;
      for (int j = 0; j <= 2 * nv; ++j) {
        const double a = kPi * j / (2 * nv) - kPi / 2;  // -90 (port) .. 90 (starboard)
        double s, co;
        sinCos(a, s, co);
        const double y = keel(t) + (sheer(t) - keel(t)) * (1 - co);
        grid[i][j] = m.vertex(c + V(t * L, y, s * halfWidth(t)), V(0, 0, 0), V(t, 0, s));
      }
    }
    for (int i = 0; i < nu; ++i)
      for (int j = 0; j < 2 * nv; ++j) {
        const int a = grid[i][j], b = grid[i + 1][j], d = grid[i][j + 1], e = grid[i + 1][j + 1];
        const V mid = (m.pos[a] + m.pos[e]) / 2;
        const V out = V(0, mid.y - (c.y + 0.05), (mid.z - c.z) * 3);
        m.tri(a, b, e, kHull, out);
        m.tri(a, e, d, kHull, out);
      }
    m.smoothNormals(fv, ff);
    // Deck along the sheer line.
    for (int i = 0; i < nu; ++i) {
      const int a0 = grid[i][0], a1 = grid[i][2 * nv], b0 = grid[i + 1][0],
                b1 = grid[i + 1][2 * nv];
      m.quad(m.pos[a0], m.pos[b0], m.pos[b1], m.pos[a1], V(0, 1, 0), kPlank);
    }
    cylinder(props, Frame(c + V(0.12, 0.12, 0), 0), 0.014, 0.01, 0, 0.75, 8, kBark);
    // Furled sail along the boom.
    blob(props, c + V(-0.12, 0.3, 0), V(0.25, 0.035, 0.035), 6, 12, 0.15, 77, kCanvas);
  }
}

// ---------------------------------------------------------------- trees, rocks, props

// Lobes of one canopy overlap: a lobe's faces that lie wholly inside another
// lobe can never be seen. Inside the lobe's ellipsoid shrunk to this share
// counts as inside its faceted, lumpy surface (lumps of at most 16 % and
// faces spanning under 25 degrees keep the surface beyond 0.76).
const double kSurelyInsideLobe = 0.75;

bool insideLobe(const V& p, const V& centre, const V& radii) {
  const V q((p.x - centre.x) / radii.x, (p.y - centre.y) / radii.y, (p.z - centre.z) / radii.z);
  return dot(q, q) < kSurelyInsideLobe * kSurelyInsideLobe;
}

void deciduous(Mesh& m, const V& at, double size, std::uint64_t seed) {
  Random r(seed);
  const Frame f(at, r.range(0, 360));
  lathe(m, f, {{0.055 * size, -0.15}, {0.045 * size, 0.3 * size}, {0.03 * size, 0.62 * size}}, 10,
        kBark);
  const int lobes = 4;
  V centres[lobes], radii[lobes];
  size_t firstFaces[lobes + 1];
  for (int i = 0; i < lobes; ++i) {
    const double a = 2 * kPi * i / lobes + r.range(-0.4, 0.4);
    double s, c;
    sinCos(a, s, c);
    const double rr = i == 0 ? 0 : 0.17 * size;
    centres[i] = f.at(s * rr, (0.78 + (i == 0 ? 0.16 : r.range(-0.05, 0.05))) * size, c * rr);
    const double rad0 = (i == 0 ? 0.3 : 0.24) * size;
    radii[i] = V(rad0, rad0 * 0.85, rad0);
    firstFaces[i] = m.faces.size();
    blob(m, centres[i], radii[i], 8, 12, 0.16, seed * 31 + i, kLeaves);
  }
  firstFaces[lobes] = m.faces.size();
  // Normals are smoothed over each whole lobe above; only the faces go.
  std::vector<Face> kept(m.faces.begin(), m.faces.begin() + firstFaces[0]);
  for (int i = 0; i < lobes; ++i)
    for (size_t k = firstFaces[i]; k < firstFaces[i + 1]; ++k) {
      const Face& face = m.faces[k];
      bool hidden = false;
      for (int j = 0; j < lobes && !hidden; ++j)
        hidden = j != i && insideLobe(m.pos[face.v[0]], centres[j], radii[j]) &&
                 insideLobe(m.pos[face.v[1]], centres[j], radii[j]) &&
                 insideLobe(m.pos[face.v[2]], centres[j], radii[j]);
      if (!hidden) kept.push_back(face);
    }
  m.faces.swap(kept);
}

void conifer(Mesh& m, const V& at, double size, std::uint64_t seed) {
  Random r(seed);
  const Frame f(at, r.range(0, 360));
  lathe(m, f, {{0.04 * size, -0.15}, {0.03 * size, 0.4 * size}}, 8, kBark);
  const double tiers[3][3] = {{0.3, 0.26, 0.62}, {0.24, 0.52, 0.86}, {0.16, 0.76, 1.14}};
  for (const auto& t : tiers) {
    const double phase = r.range(0, 1);
    lathe(m, f, {{t[0] * size, t[1] * size}, {0, t[2] * size}}, 14, kNeedles, phase);
    disc(m, f, t[0] * size, t[1] * size, 14, -1, kNeedles, phase);
  }
}

void lamp(Mesh& m, double x, double z) {
  const Frame f(V(x, ground(x, z), z), 0);
  cylinder(m, f, 0.03, 0.03, -0.1, 0.04, 8, kDarkStone);
  lathe(m, f, {{0.012, 0.04}, {0.012, 0.55}}, 8, kDarkStone);
  box(m, f, V(-0.035, 0.55, -0.035), V(0.035, 0.64, 0.035), kGlass);
  lathe(m, f, {{0.055, 0.64}, {0.0, 0.7}}, 4, kDarkStone, kPi / 4);
  disc(m, f, 0.055, 0.64, 4, -1, kDarkStone, kPi / 4);
}

void bench(Mesh& m, double x, double z, double turn) {
  const Frame f(V(x, ground(x, z), z), turn);
  box(m, f, V(-0.17, 0.07, -0.05), V(0.17, 0.085, 0.05), kPlank);
  box(m, f, V(-0.17, 0.09, -0.055), V(0.17, 0.16, -0.045), kPlank);
  for (int s = -1; s <= 1; s += 2)
    box(m, f, V(s * 0.14 - 0.015, -0.05, -0.05), V(s * 0.14 + 0.015, 0.07, 0.04), kDarkStone);
}

void well(Mesh& m, Mesh& roofs) {
  const V c(kPlaza.x, ground(kPlaza.x, kPlaza.z) + kPathLift + 0.004, kPlaza.z);
  const Frame f(c, 25);
  lathe(m, f, {{0.24, -0.05}, {0.24, 0.2}, {0.25, 0.2}, {0.25, 0.23}, {0.17, 0.23}, {0.17, 0.1}},
        32, kStone);
  disc(m, f, 0.17, 0.1, 32, 1, kGlass);
  for (int s = -1; s <= 1; s += 2)
    box(m, f, V(s * 0.215 - 0.02, 0.2, -0.02), V(s * 0.215 + 0.02, 0.58, 0.02), kBark);
  box(m, f, V(-0.215, 0.45, -0.012), V(0.215, 0.475, 0.012), kBark);
  // Little gable roof on the posts.
  for (int side = -1; side <= 1; side += 2) {
    V cc[8];
    for (int i = 0; i < 8; ++i) {
      const double x = (i & 1) ? 0.3 : -0.3;
      const double z = (i & 4) ? 0.0 : side * 0.27;
      const double y = ((i & 4) ? 0.74 : 0.55) + ((i & 2) ? 0.025 : 0);
      cc[i] = f.at(x, y, z);
    }
    roofs.hexa(cc, kRoofTile);
  }
  cylinder(m, Frame(f.at(0, 0.32, 0), 0), 0.04, 0.04, 0, 0.08, 10, kBark);
}

// Cylinder between two points with flat caps; smooth round the side.
void rod(Mesh& m, const V& a, const V& b, double r, int segments, int material) {
  const V axis = unit(b - a);
  const V helper = std::fabs(axis.y) < 0.9 ? V(0, 1, 0) : V(1, 0, 0);
  const V u = unit(cross(axis, helper)), v = cross(axis, u);
  std::vector<int> ra, rb;
  std::vector<V> capA, capB;
  for (int i = 0; i <= segments; ++i) {
    double s, c;
    sinCos(2 * kPi * i / segments, s, c);
    const V n = u * c + v * s;
    ra.push_back(m.vertex(a + n * r, n, V(static_cast<double>(i) / segments, 0, 0)));
    rb.push_back(m.vertex(b + n * r, n, V(static_cast<double>(i) / segments, 0, 1)));
    if (i < segments) {
      capA.push_back(a + n * r);
      capB.push_back(b + n * r);
    }
  }
  for (int i = 0; i < segments; ++i) {
    m.tri(ra[i], ra[i + 1], rb[i + 1], material);
    m.tri(ra[i], rb[i + 1], rb[i], material);
  }
  m.poly(capA, -axis, material);
  m.poly(capB, axis, material);
}

// A hand cart with a load of barrels and sacks.
void cart(Mesh& m, double x, double z, double turn) {
  const Frame f(V(x, ground(x, z), z), turn);
  box(m, f, V(-0.26, 0.12, -0.15), V(0.2, 0.145, 0.15), kPlank);
  box(m, f, V(-0.26, 0.145, -0.15), V(0.2, 0.2, -0.13), kPlank);
  box(m, f, V(-0.26, 0.145, 0.13), V(0.2, 0.2, 0.15), kPlank);
  box(m, f, V(-0.26, 0.145, -0.13), V(-0.24, 0.2, 0.13), kPlank);
  for (int side = -1; side <= 1; side += 2) {
    rod(m, f.at(0.2, 0.13, side * 0.12), f.at(0.52, 0.02, side * 0.12), 0.012, 6, kBark);
    rod(m, f.at(-0.02, 0.1, side * 0.16), f.at(-0.02, 0.1, side * 0.19), 0.1, 16, kBark);
  }
  rod(m, f.at(-0.02, 0.1, -0.16), f.at(-0.02, 0.1, 0.16), 0.014, 6, kDarkStone);
  lathe(m, Frame(f.at(-0.12, 0.145, -0.05), 0),
        {{0.045, 0}, {0.052, 0.035}, {0.052, 0.065}, {0.045, 0.1}}, 12, kPlank);
  disc(m, Frame(f.at(-0.12, 0.145, -0.05), 0), 0.045, 0.1, 12, 1, kBark);
  blob(m, f.at(0.06, 0.19, 0.04), V(0.08, 0.05, 0.06), 6, 10, 0.2, 61, kCanvas);
  blob(m, f.at(-0.1, 0.19, 0.08), V(0.07, 0.045, 0.055), 6, 10, 0.2, 62, kCanvas);
}

// A dry-stone field wall along a polyline.
void stoneWall(Mesh& m, const std::vector<std::pair<double, double>>& line, std::uint64_t seed) {
  Random r(seed);
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    const double ax = line[i].first, az = line[i].second;
    const double bx = line[i + 1].first, bz = line[i + 1].second;
    const double length = planar(bx - ax, bz - az);
    const int stones = std::max(1, static_cast<int>(length / 0.16));
    const double dx = (bx - ax) / length, dz = (bz - az) / length;
    for (int k = 0; k < stones; ++k) {
      const double t0 = length * k / stones, t1 = length * (k + 1) / stones - 0.006;
      const V p0(ax + dx * t0, 0, az + dz * t0), p1(ax + dx * t1, 0, az + dz * t1);
      const V side(-dz, 0, dx);
      const double h = r.range(0.1, 0.135), w = r.range(0.045, 0.055);
      V c[8];
      for (int q = 0; q < 8; ++q) {
        const V base = (q & 1) ? p1 : p0;
        const V p = base + side * (((q & 4) ? 1 : -1) * (w - ((q & 2) ? 0.01 : 0)));
        const double g = ground(p.x, p.z);
        c[q] = V(p.x, (q & 2) ? g + h + r.range(-0.008, 0.008) : g - 0.08, p.z);
      }
      m.hexa(c, k % 3 == 1 ? kDarkStone : kRock);
    }
  }
}

// A tuft of grass: a few thin three-sided blades leaning outwards.
void tuft(Mesh& m, double x, double z, std::uint64_t seed) {
  Random r(seed);
  const double g = ground(x, z);
  const int blades = 4 + static_cast<int>(r.uniform() * 3);
  for (int b = 0; b < blades; ++b) {
    const double a = r.range(0, 2 * kPi), spread = r.range(0.0, 0.025);
    double s, c;
    sinCos(a, s, c);
    const V base(x + s * spread, g - 0.01, z + c * spread);
    const double height = r.range(0.035, 0.075), lean = r.range(0.2, 0.6);
    const V tip = base + V(s * lean * height, height, c * lean * height);
    V corner[3];
    for (int k = 0; k < 3; ++k) {
      double ks, kc;
      sinCos(a + 2 * kPi * k / 3, ks, kc);
      corner[k] = base + V(ks * 0.006, 0, kc * 0.006);
    }
    for (int k = 0; k < 3; ++k) {
      const V& p = corner[k];
      const V& q = corner[(k + 1) % 3];
      m.poly({p, q, tip}, (p + q) / 2 - base, kLeaves);
    }
  }
}

void barrel(Mesh& m, double x, double z, double y0) {
  lathe(m, Frame(V(x, y0, z), 0),
        {{0.05, 0}, {0.058, 0.04}, {0.06, 0.07}, {0.058, 0.1}, {0.05, 0.14}}, 14, kPlank);
  disc(m, Frame(V(x, y0, z), 0), 0.05, 0.14, 14, 1, kBark);
}

// ---------------------------------------------------------------- the network

struct Waypoint {
  double x, y, z;
  std::vector<int> links;
};

// Everything drawn, binned by xz cells for the walkable-height query.
struct SurfaceIndex {
  struct Tri {
    V a, b, c;
  };
  std::vector<Tri> tris;
  double cell = 0.25, x0 = -12, z0 = -14;
  int nx = 100, nz = 100;
  std::vector<std::vector<int>> bins;

  void add(const Mesh& m) {
    for (const Face& f : m.faces) tris.push_back({m.pos[f.v[0]], m.pos[f.v[1]], m.pos[f.v[2]]});
  }
  void finish() {
    bins.assign(static_cast<size_t>(nx) * nz, {});
    for (size_t t = 0; t < tris.size(); ++t) {
      const Tri& tr = tris[t];
      const double lx = std::min({tr.a.x, tr.b.x, tr.c.x}), hx = std::max({tr.a.x, tr.b.x, tr.c.x});
      const double lz = std::min({tr.a.z, tr.b.z, tr.c.z}), hz = std::max({tr.a.z, tr.b.z, tr.c.z});
      const int i0 = std::max(0, static_cast<int>((lx - x0) / cell));
      const int i1 = std::min(nx - 1, static_cast<int>((hx - x0) / cell));
      const int k0 = std::max(0, static_cast<int>((lz - z0) / cell));
      const int k1 = std::min(nz - 1, static_cast<int>((hz - z0) / cell));
      for (int k = k0; k <= k1; ++k)
        for (int i = i0; i <= i1; ++i)
          bins[static_cast<size_t>(k) * nx + i].push_back(static_cast<int>(t));
    }
  }
  // Highest surface straight above or below (x, z).
  double highest(double x, double z) const {
    const int i = static_cast<int>((x - x0) / cell), k = static_cast<int>((z - z0) / cell);
    double best = -1e9;
    if (i < 0 || k < 0 || i >= nx || k >= nz) return best;
    for (int t : bins[static_cast<size_t>(k) * nx + i]) {
      const Tri& tr = tris[t];
      const double d =
          (tr.b.x - tr.a.x) * (tr.c.z - tr.a.z) - (tr.c.x - tr.a.x) * (tr.b.z - tr.a.z);
      if (std::fabs(d) < 1e-12) continue;
      const double u = ((x - tr.a.x) * (tr.c.z - tr.a.z) - (tr.c.x - tr.a.x) * (z - tr.a.z)) / d;
      const double v = ((tr.b.x - tr.a.x) * (z - tr.a.z) - (x - tr.a.x) * (tr.b.z - tr.a.z)) / d;
      if (u < -1e-9 || v < -1e-9 || u + v > 1 + 1e-9) continue;
      best = std::max(best, tr.a.y + u * (tr.b.y - tr.a.y) + v * (tr.c.y - tr.a.y));
    }
    return best;
  }
};

std::vector<Node> nodes() {
  auto edge = [](double bearingDeg, double r) {
    double s, c;
    sinCos(rad(bearingDeg), s, c);
    return std::make_pair(kPlaza.x + s * r, kPlaza.z - c * r);
  };
  std::vector<Node> list;
  auto add = [&](const std::string& name, double x, double z) { list.push_back({name, x, z}); };
  // Round the well, one way; each also starts a path off the plaza.
  for (int i = 0; i < 6; ++i) {
    const auto p = edge(42 + 60 * i, 0.8);
    add("ring" + std::to_string(i), p.first, p.second);
  }
  add("door1", -1.07, -2.72);
  const double top = kTower.z + kTerraceHalf;
  add("towerFoot", kTower.x, top + (kSteps - 1) * kTread + 0.22);
  add("terraceS", kTower.x, top - 0.2);
  add("terraceW", kTower.x - kTerraceHalf + 0.2, kTower.z);
  const double q = 0.64;
  add("terraceSW", kTower.x - q, kTower.z + q);
  add("terraceSE", kTower.x + q, kTower.z + q);
  add("terraceNE", kTower.x + q, kTower.z - q);
  add("terraceNW", kTower.x - q, kTower.z - q);
  add("towerWestFoot", kTower.x - kTerraceHalf - (kSteps - 1) * kTread - 0.22, kTower.z);
  add("bridgeE", kBridgeX + kBridgeHalf - 0.05, kBridgeZ);
  add("bridgeEastJ", 1.0, kBridgeZ);
  add("bridgeCrownE", kBridgeX + 0.35, kBridgeZ);
  add("bridgeCrownW", kBridgeX - 0.35, kBridgeZ);
  add("bridgeW", kBridgeX - kBridgeHalf + 0.05, kBridgeZ);
  add("westJ", -2.6, -4.0);
  add("lookout", -4.35, -2.05);
  add("mainJ", -1.05, 1.25);
  add("southJ", -0.25, 3.15);
  add("quayN", 3.85, -4.8);
  add("quayE", 3.85, -3.45);
  add("quayJ", 3.85, kJettyZ);
  add("quayS", 3.85, -0.35);
  add("jettyMid", 5.0, kJettyZ);
  add("jettyEnd", kJettyEnd - 0.2, kJettyZ);
  add("eastBay", 3.25, 1.35);
  return list;
}

std::vector<PathSpec> paths() {
  return {
      {"ring3", "mainJ", {{0.05, -1.1}, {-0.55, -0.25}, {-0.95, 0.55}}},
      {"mainJ", "southJ", {{-0.85, 2.2}}},
      {"southJ", "eastBay", {{1.2, 3.1}, {2.4, 2.6}}},
      {"eastBay", "quayS", {{3.7, 0.35}}},
      {"ring2", "quayS", {{1.9, -0.95}, {3.1, -0.95}}},
      {"ring1", "quayE", {{2.3, -3.4}, {3.1, -3.55}}},
      {"ring0", "towerFoot", {{1.55, -4.45}, {2.35, -4.75}}},
      {"quayN", "towerFoot", {{3.2, -4.72}}},
      {"ring5", "bridgeEastJ", {{0.1, -4.7}, {0.75, -5.6}}},
      {"bridgeEastJ", "bridgeE", {}},
      {"bridgeEastJ", "towerWestFoot", {}},
      {"bridgeW", "westJ", {{-2.15, -5.7}, {-2.5, -4.9}}},
      {"westJ", "lookout", {{-3.5, -3.4}}},
      {"westJ", "mainJ", {{-2.75, -2.6}, {-2.5, -1.5}, {-2.45, -0.2}, {-1.85, 0.85}}},
  };
}

void addPads() {
  auto& list = pads();
  list.clear();
  auto rawAt = [](double x, double z) { return inlandRaw(x, z) - inlandRaw(0, 0); };
  for (const HouseSpec& h : kHouses)
    list.push_back(
        {h.x, h.z, h.turn, h.width / 2 + 0.12, h.depth / 2 + 0.12, 0.6, rawAt(h.x, h.z), false});
  list.push_back(
      {kPlaza.x, kPlaza.z, 0, kPlazaRadius + 0.1, 0, 0.9, rawAt(kPlaza.x, kPlaza.z), true});
  list.push_back({(kQuayWest + kQuayEast) / 2 - 0.3, (kQuayNorth + kQuaySouth) / 2, 0,
                  (kQuayEast - kQuayWest) / 2 + 0.3, (kQuaySouth - kQuayNorth) / 2, 0.8,
                  quayTop() - 0.015, false});
  // The tower's terrace stands on the quay's level.
  list.push_back({kTower.x, kTower.z, 0, kTerraceHalf + 0.4, kTerraceHalf + 0.4, 0.7,
                  quayTop() - 0.015, false});
}

struct World {
  Mesh terrain, paving, walls, roofs, trim, tower, bridge, harbour, trees, rocks, props;
  std::vector<Waypoint> waypoints;
  std::vector<Node> nodeList;
  std::vector<std::vector<std::pair<double, double>>> ribbons;
  // Every straight walk a character makes: the links, and the first walk
  // from one unit in -x and -z to each waypoint.
  std::vector<std::array<double, 4>> walks;
  Random random{20240611};
  bool crowded = false;
};

// Keep-out test for trees and rocks: paths, houses, plaza, terrace, bridge, quay.
bool blocked(const World& w, double x, double z, double clearance) {
  for (const auto& r : w.ribbons)
    for (const auto& p : r)
      if (planar(p.first - x, p.second - z) < kPathWidth / 2 + clearance) return true;
  if (planar(x - kPlaza.x, z - kPlaza.z) < kPlazaRadius + clearance) return true;
  for (const HouseSpec& h : kHouses) {
    double s, c;
    sinCos(rad(h.turn), s, c);
    const double dx = x - h.x, dz = z - h.z;
    const double lx = c * dx - s * dz, lz = s * dx + c * dz;
    if (std::fabs(lx) < h.width / 2 + 0.15 + clearance &&
        std::fabs(lz) < h.depth / 2 + 0.2 + clearance)
      return true;
  }
  if (std::fabs(x - kTower.x) < kTerraceHalf + 0.6 + clearance &&
      std::fabs(z - kTower.z) < kTerraceHalf + 0.6 + clearance)
    return true;
  if (std::fabs(z - kBridgeZ) < 0.35 + clearance && std::fabs(x - kBridgeX) < kBridgeHalf + 0.3)
    return true;
  if (x > kQuayWest - 0.2 - clearance && z > kQuayNorth - 0.2 - clearance &&
      z < kQuaySouth + 0.2 + clearance)
    return true;
  for (const auto& k : w.walks)
    if (pointSegmentDistance(x, z, k[0], k[1], k[2], k[3]) < clearance + 0.1) return true;
  return false;
}

// Ground, paths and everything built; trees and rocks come after the network.
void buildFixed(World& w) {
  Random& random = w.random;
  addPads();
  grid().build();
  buildTerrain(w.terrain);

  // Paths first: trees and rocks keep off them.
  w.nodeList = nodes();
  std::map<std::string, Node> byName;
  for (const Node& n : w.nodeList) byName[n.name] = n;
  for (const PathSpec& p : paths()) {
    std::vector<std::pair<double, double>> ctl = {{byName[p.from].x, byName[p.from].z}};
    for (const auto& v : p.via) ctl.push_back(v);
    ctl.push_back({byName[p.to].x, byName[p.to].z});
    const auto pts = samplePath(ctl, 0.08);
    w.ribbons.push_back(pts);
    ribbon(w.paving, pts, kPathWidth, kPathLift, kCobble);
  }
  // The plaza: a cobbled disc over the flattened ground.
  {
    const int rings = 12, seg = 64;
    const double lift = kPathLift + 0.003;
    std::vector<std::vector<int>> ids(rings + 1);
    for (int r = 0; r <= rings; ++r) {
      const int count = r == 0 ? 1 : seg;
      for (int i = 0; i < count; ++i) {
        double s, c;
        sinCos(2 * kPi * i / seg, s, c);
        const double rr = kPlazaRadius * r / rings;
        const double x = kPlaza.x + s * rr, z = kPlaza.z + c * rr;
        ids[r].push_back(
            w.paving.vertex(V(x, ground(x, z) + lift, z), grid().normal(x, z), V(x, z, 0)));
      }
    }
    for (int i = 0; i < seg; ++i) {
      const int j = (i + 1) % seg;
      w.paving.tri(ids[0][0], ids[1][i], ids[1][j], kCobble);
      for (int r = 1; r < rings; ++r) {
        w.paving.tri(ids[r][i], ids[r + 1][i], ids[r + 1][j], kCobble);
        w.paving.tri(ids[r][i], ids[r + 1][j], ids[r][j], kCobble);
      }
    }
    // Kerb ring so the plaza's edge reads as a line.
    for (int i = 0; i < seg; ++i) {
      const double a0 = 2 * kPi * i / seg, a1 = 2 * kPi * (i + 1) / seg;
      double s0, c0, s1, c1;
      sinCos(a0, s0, c0);
      sinCos(a1, s1, c1);
      V c[8];
      for (int k = 0; k < 8; ++k) {
        const double rr = kPlazaRadius + ((k & 4) ? 0.05 : 0.0);
        const double s = (k & 1) ? s1 : s0, cc = (k & 1) ? c1 : c0;
        const double x = kPlaza.x + s * rr, z = kPlaza.z + cc * rr;
        const double y = ground(x, z) + ((k & 2) ? kPathLift + 0.012 : -0.05);
        c[k] = V(x, y, z);
      }
      w.trim.hexa(c, kStone);
    }
  }

  for (const HouseSpec& h : kHouses) house(w.walls, w.roofs, w.trim, h, random);
  tower(w.tower, w.trim);
  bridge(w.bridge);
  harbour(w.harbour, w.props);
  well(w.props, w.roofs);
  for (double bearing : {55.0, 300.0}) {
    double s, c;
    sinCos(rad(bearing), s, c);
    lamp(w.props, kPlaza.x + s * (kPlazaRadius + 0.12), kPlaza.z - c * (kPlazaRadius + 0.12));
  }
  bench(w.props, -4.62, -1.85, -70);
  cart(w.props, 1.0, -0.95, -60);
  barrel(w.props, 1.25, -0.42, ground(1.25, -0.42));
  box(w.props, Frame(V(1.12, ground(1.12, -0.22), -0.22), 20), V(-0.07, -0.02, -0.07),
      V(0.07, 0.12, 0.07), kPlank);
  // Garden walls behind the start and along the west path.
  stoneWall(w.props, {{0.2, 0.45}, {0.8, 0.55}, {1.7, 0.5}}, 71);
  stoneWall(w.props, {{-2.15, -1.9}, {-2.05, -0.9}, {-1.85, 0.0}}, 72);
  bench(w.props, 1.65, -4.05, 200);
  for (int i = 0; i < 3; ++i) barrel(w.props, 4.1 + 0.04 * (i % 2), -2.1 + 0.14 * i, quayTop());
  box(w.props, Frame(V(4.1, quayTop(), -5.0), 12), V(-0.08, 0, -0.08), V(0.08, 0.14, 0.08), kPlank);
  box(w.props, Frame(V(4.12, quayTop() + 0.14, -5.0), 40), V(-0.06, 0, -0.06), V(0.06, 0.1, 0.06),
      kPlank);
}

void buildNature(World& w) {
  Random& random = w.random;
  // Trees: a few placed by hand for the opening view, the rest scattered.
  struct Tree {
    double x, z, size;
    bool pine;
  };
  const Tree placed[] = {
      {-1.1, -1.5, 1.1, false}, {-1.45, -7.25, 1.1, false}, {-2.3, -6.85, 0.95, true},
      {1.9, 0.05, 1.05, false}, {3.3, 2.2, 0.9, false},     {-3.2, 1.2, 1.1, false},
      {-5.1, -1.6, 1.0, false}, {-3.9, 3.0, 1.0, true},     {-1.6, 3.5, 0.9, false},
  };

  std::uint64_t seed = 1;
  for (const Tree& t : placed) {
    if (blocked(w, t.x, t.z, 0.3 * t.size)) {
      std::cerr << "gen_world: tree at (" << t.x << ", " << t.z << ") crowds a path or building\n";
      w.crowded = true;
    }
    const V at(t.x, ground(t.x, t.z), t.z);
    if (t.pine)
      conifer(w.trees, at, t.size, seed++);
    else
      deciduous(w.trees, at, t.size, seed++);
  }
  // Scatter more on open grass, apart from each other.
  std::vector<std::pair<double, double>> trunks;
  for (const Tree& t : placed) trunks.push_back({t.x, t.z});
  for (int tries = 0, made = 0; tries < 3000 && made < 30; ++tries) {
    const double x = random.range(-6.5, 5.0), z = random.range(-7.5, 4.5);
    const double g = ground(x, z);
    if (g < -0.12 || blocked(w, x, z, 0.4)) continue;
    // The opening view keeps the trees placed for it.
    if (planar(x, z) < 3.2 && z < 0.3) continue;
    bool near = false;
    for (const auto& t : trunks) near = near || planar(t.first - x, t.second - z) < 0.75;
    if (near) continue;
    const double size = random.range(0.8, 1.15);
    if (random.uniform() < 0.4)
      conifer(w.trees, V(x, g, z), size, 100 + tries);
    else
      deciduous(w.trees, V(x, g, z), size, 100 + tries);
    trunks.push_back({x, z});
    ++made;
  }
  // Shrubs along the house walls.
  for (const HouseSpec& h : kHouses) {
    const Frame f(V(h.x, 0, h.z), h.turn);
    for (int i = 0; i < 10; ++i) {
      const double u = random.range(-0.5, 0.5);
      const int side = static_cast<int>(random.uniform() * 4);
      const double off = 0.22;
      const V local = side == 0   ? V(u * h.width, 0, h.depth / 2 + off)
                      : side == 1 ? V(h.width / 2 + off, 0, u * h.depth)
                      : side == 2 ? V(u * h.width, 0, -h.depth / 2 - off)
                                  : V(-h.width / 2 - off, 0, u * h.depth);
      const V p = f.at(local);
      bool free = true;
      for (const auto& k : w.walks)
        free = free && pointSegmentDistance(p.x, p.z, k[0], k[1], k[2], k[3]) > 0.3;
      for (const auto& r : w.ribbons)
        for (const auto& q : r) free = free && planar(q.first - p.x, q.second - p.z) > 0.35;
      if (side == 0 && std::fabs(u) < 0.25) free = false;  // keep the door clear
      if (!free) continue;
      const double r0 = random.range(0.09, 0.15);
      blob(w.trees, V(p.x, ground(p.x, p.z) + r0 * 0.5, p.z), V(r0 * 1.2, r0, r0 * 1.2), 5, 8, 0.2,
           700 + static_cast<std::uint64_t>(i), kLeaves);
    }
  }
  // Grass tufts, thicker in front of the starting view.
  for (int tries = 0, made = 0; tries < 4000 && made < 320; ++tries) {
    const bool near = tries % 3 == 0;
    const double x = near ? random.range(-1.2, 2.6) : random.range(-6.5, 5.0);
    const double z = near ? random.range(-2.4, 0.4) : random.range(-7.5, 4.5);
    if (ground(x, z) < -0.15 || blocked(w, x, z, 0.04) || planar(x, z) < 0.8) continue;
    tuft(w.props, x, z, 2000 + tries);
    ++made;
  }
  // Rocks: along the shore and on the hills.
  for (int tries = 0, made = 0; tries < 3000 && made < 34; ++tries) {
    const double x = random.range(-7.5, 5.5), z = random.range(-8.5, 5.5);
    const double g = ground(x, z);
    const bool shore = g > -0.55 && g < -0.15;
    const bool hill = g > 0.18 && random.uniform() < 0.25;
    if (!(shore || hill) || blocked(w, x, z, 0.25)) continue;
    const double size = random.range(0.07, 0.2) * (shore ? 1.2 : 0.8);
    // One draw per statement: argument order is up to the compiler.
    const double length = size * random.range(1.0, 1.6);
    const double width = size * random.range(0.8, 1.3);
    const double turn = random.range(0, 180);
    boulder(w.rocks, V(x, g - size * 0.25, z), V(length, size, width), turn, 500 + tries, kRock);
    ++made;
  }
  // Rocks placed where the quay ends meet the natural shore.
  boulder(w.rocks, V(kQuayEast + 0.05, -0.4, kQuayNorth - 0.15), V(0.3, 0.25, 0.22), 20, 901,
          kRock);
  boulder(w.rocks, V(kQuayEast - 0.1, -0.38, kQuaySouth + 0.2), V(0.28, 0.22, 0.25), 70, 902,
          kRock);
}

// ---------------------------------------------------------------- hidden faces

// Faces that no view from above the water can show are left out of the file:
// every pass draws every face, and a software rasterizer pays for each one
// even where it ends up covered. The network is worked out before this, and
// a covered face is never the highest surface anywhere, so the walks stay as
// they are. (Canopy lobes drop the faces inside each other as they are made.)

// Below the water plane at its lowest (it rises and falls by 0.005).
bool underWater(const V& p) { return p.y < kWater - 0.006; }

// The closed solids standing on the ground: the house bodies (walls from
// below the floor up to the eaves, window and door recesses backed, the roof
// on top), the quay block, the tower's terrace, and the plaza's disc with its
// kerb all round. Terrain wholly inside one of them is covered on every side.
class Solids {
 public:
  Solids() : quayTop_(quayTop()), terraceTop_(terraceTop()) {
    double s, c;
    // The disc and its kerb are 64-gons: inside the circle their edges cut.
    sinCos(kPi / 64, s, c);
    plazaInside_ = kPlazaRadius * c - kMargin;
    for (const HouseSpec& h : kHouses) floors_.push_back(ground(h.x, h.z));
  }

  // Which solid holds p, or -1.
  int around(const V& p) const {
    const double e = kMargin;
    for (size_t i = 0; i < kHouses.size(); ++i) {
      const HouseSpec& h = kHouses[i];
      double s, c;
      sinCos(rad(h.turn), s, c);
      // Inverse of Frame::dir.
      const double dx = p.x - h.x, dz = p.z - h.z;
      const double lx = c * dx - s * dz, lz = s * dx + c * dz;
      if (std::fabs(lx) < h.width / 2 - e && std::fabs(lz) < h.depth / 2 - e &&
          p.y > floors_[i] - 0.6 + e && p.y < floors_[i] + h.height - e)
        return static_cast<int>(i);
    }
    const int next = static_cast<int>(kHouses.size());
    if (p.x > kQuayWest + e && p.x < kQuayEast - e && p.z > kQuayNorth + e &&
        p.z < kQuaySouth - e && p.y > -1.0 + e && p.y < quayTop_ - e)
      return next;
    if (std::fabs(p.x - kTower.x) < kTerraceHalf - e &&
        std::fabs(p.z - kTower.z) < kTerraceHalf - e && p.y > -0.5 + e && p.y < terraceTop_ - e)
      return next + 1;
    const double dx = p.x - kPlaza.x, dz = p.z - kPlaza.z;
    if (dx * dx + dz * dz < plazaInside_ * plazaInside_ && p.y < ground(p.x, p.z) + kPathLift)
      return next + 2;
    return -1;
  }

 private:
  static constexpr double kMargin = 0.001;
  double quayTop_, terraceTop_, plazaInside_;
  std::vector<double> floors_;
};

// Drops the mesh's faces under the water and, given the solids, its faces
// inside one of them (all three corners in the same convex solid), and the
// vertices only those faces used.
void dropHiddenFaces(Mesh& m, const Solids* solids) {
  std::vector<Face> kept;
  for (const Face& f : m.faces) {
    const V& a = m.pos[f.v[0]];
    const V& b = m.pos[f.v[1]];
    const V& c = m.pos[f.v[2]];
    if (underWater(a) && underWater(b) && underWater(c)) continue;
    if (solids) {
      const int solid = solids->around(a);
      if (solid >= 0 && solids->around(b) == solid && solids->around(c) == solid) continue;
    }
    kept.push_back(f);
  }
  std::vector<int> renumbered(m.pos.size(), -1);
  for (const Face& f : kept)
    for (int v : f.v) renumbered[v] = 0;
  Mesh out;
  for (size_t v = 0; v < m.pos.size(); ++v)
    if (renumbered[v] == 0) renumbered[v] = out.vertex(m.pos[v], m.nrm[v], m.tex[v]);
  for (Face f : kept) {
    for (int& v : f.v) v = renumbered[v];
    out.faces.push_back(f);
  }
  m = out;
}

// ---------------------------------------------------------------- output

void writeScene(const std::vector<const Mesh*>& meshes, const std::string& path) {
  std::string out;
  out.reserve(1 << 24);
  out += std::to_string(kMaterialCount) + "\n";
  for (const MaterialColour& c : kColours)
    out += fixed(c.r, 3) + " " + fixed(c.g, 3) + " " + fixed(c.b, 3) + "\n";
  out += std::to_string(meshes.size()) + "\n";
  for (const Mesh* m : meshes) {
    // If a later corner repeats the first corner's indices under another
    // colour, give the first corner a texture coordinate of its own, so no
    // loader can hand the first face's colour on to that corner.
    std::vector<V> tex = m->tex;
    int firstTex = m->faces.empty() ? 0 : m->faces[0].v[0];
    bool clash = false;
    for (size_t f = 0; f < m->faces.size() && !clash; ++f)
      for (int k = 0; k < 3; ++k)
        if ((f > 0 || k > 0) && m->faces[f].v[k] == firstTex &&
            m->faces[f].material != m->faces[0].material)
          clash = true;
    if (clash) {
      tex.push_back(tex[firstTex]);
      firstTex = static_cast<int>(tex.size()) - 1;
    }
    out += std::to_string(m->pos.size()) + " " + std::to_string(tex.size()) + " " +
           std::to_string(m->faces.size()) + "\n";
    for (size_t i = 0; i < m->pos.size(); ++i) {
      const V& p = m->pos[i];
      const V& n = m->nrm[i];
      out += fixed(p.x * 100, 2) + " " + fixed(p.y * 100, 2) + " " + fixed(-p.z * 100, 2) + "\n";
      out += fixed(n.x, 4) + " " + fixed(n.y, 4) + " " + fixed(-n.z, 4) + "\n";
    }
    for (const V& t : tex) out += fixed(t.x, 3) + " " + fixed(t.z, 3) + " " + fixed(t.y, 3) + "\n";
    for (size_t f = 0; f < m->faces.size(); ++f) {
      const Face& face = m->faces[f];
      const std::string a = std::to_string(face.v[0]), b = std::to_string(face.v[1]),
                        c = std::to_string(face.v[2]);
      out += a + " " + b + " " + c + "\n";
      out += (f == 0 ? std::to_string(firstTex) : a) + " " + b + " " + c + "\n";
      out += fixed(face.normal.x, 4) + " " + fixed(face.normal.y, 4) + " " +
             fixed(-face.normal.z, 4) + "\n";
      out += std::to_string(face.material + 1) + "\n";
    }
  }
  std::ofstream file(path, std::ios::binary);
  file << out;
}

// Whether the walk a character makes at the start, from one unit in -x and
// -z straight to the waypoint at the waypoint's height, stays on the ground.
bool startClear(const SurfaceIndex& surfaces, double x, double z) {
  const double y = surfaces.highest(x, z);
  for (int k = 0; k <= 28; ++k) {
    const double t = k / 28.0;
    const double h = surfaces.highest(x - 1 + t, z - 1 + t) - y;
    if (h >= 0.08 || h <= -0.12) return false;
  }
  return true;
}

void buildNetwork(World& w, const SurfaceIndex& surfaces) {
  std::map<std::string, int> index;
  auto addPoint = [&](double x, double z) {
    w.waypoints.push_back({x, surfaces.highest(x, z), z, {}});
    return static_cast<int>(w.waypoints.size()) - 1;
  };
  for (const Node& n : w.nodeList) index[n.name] = addPoint(n.x, n.z);
  auto link = [&](int a, int b) { w.waypoints[a].links.push_back(b); };
  auto both = [&](int a, int b) {
    link(a, b);
    link(b, a);
  };
  // Ring round the well, one way.
  for (int i = 0; i < 6; ++i)
    link(index["ring" + std::to_string(i)], index["ring" + std::to_string((i + 5) % 6)]);
  both(index["door1"], index["ring4"]);
  // Terrace round the tower, the steps, the bridge.
  both(index["towerFoot"], index["terraceS"]);
  both(index["terraceS"], index["terraceSW"]);
  both(index["terraceS"], index["terraceSE"]);
  both(index["terraceSE"], index["terraceNE"]);
  both(index["terraceNE"], index["terraceNW"]);
  both(index["terraceNW"], index["terraceW"]);
  both(index["terraceW"], index["terraceSW"]);
  both(index["terraceW"], index["towerWestFoot"]);
  both(index["bridgeE"], index["bridgeCrownE"]);
  both(index["bridgeCrownE"], index["bridgeCrownW"]);
  both(index["bridgeCrownW"], index["bridgeW"]);
  // Quay and jetty.
  both(index["quayN"], index["quayE"]);
  both(index["quayE"], index["quayJ"]);
  both(index["quayJ"], index["quayS"]);
  both(index["quayJ"], index["jettyMid"]);
  both(index["jettyMid"], index["jettyEnd"]);

  // Paths: intermediate points wherever the straight walk would leave the strip.
  std::map<std::string, Node> byName;
  for (const Node& n : w.nodeList) byName[n.name] = n;
  for (const PathSpec& p : paths()) {
    std::vector<std::pair<double, double>> ctl = {{byName[p.from].x, byName[p.from].z}};
    for (const auto& v : p.via) ctl.push_back(v);
    ctl.push_back({byName[p.to].x, byName[p.to].z});
    const auto pts = samplePath(ctl, 0.04);
    int previous = index[p.from];
    size_t start = 0;
    while (start + 1 < pts.size()) {
      // Points whose chord from `start` stays on the strip and under 1.4 long.
      std::vector<size_t> valid;
      for (size_t cand = start + 1; cand < pts.size(); ++cand) {
        const double cl =
            planar(pts[cand].first - pts[start].first, pts[cand].second - pts[start].second);
        if (cl > 1.4) break;
        bool ok = true;
        for (size_t k = start + 1; k < cand && ok; ++k)
          ok = pointSegmentDistance(pts[k].first, pts[k].second, pts[start].first,
                                    pts[start].second, pts[cand].first, pts[cand].second) < 0.05;
        if (ok) valid.push_back(cand);
      }
      size_t end = valid.empty() ? start + 1 : valid.back();
      if (end + 1 < pts.size()) {
        // Prefer the furthest point a character can also start towards (from
        // one unit in -x and -z); keep clear of stubs at either end.
        auto usable = [&](size_t k) {
          const double fromStart =
              planar(pts[k].first - pts[start].first, pts[k].second - pts[start].second);
          const double toEnd =
              planar(pts.back().first - pts[k].first, pts.back().second - pts[k].second);
          return fromStart >= 0.3 && toEnd >= 0.3;
        };
        size_t pick = 0;
        for (size_t k : valid)
          if (usable(k) && startClear(surfaces, pts[k].first, pts[k].second)) pick = k;
        if (pick == 0)
          for (size_t k : valid)
            if (usable(k)) pick = k;
        if (pick != 0) end = pick;
      }
      const int next =
          end + 1 >= pts.size() ? index[p.to] : addPoint(pts[end].first, pts[end].second);
      both(previous, next);
      previous = next;
      start = end;
    }
  }
  // Trees and rocks will keep off every link, and off the first walks that
  // are open so far.
  for (size_t i = 0; i < w.waypoints.size(); ++i) {
    const Waypoint& p = w.waypoints[i];
    if (startClear(surfaces, p.x, p.z)) w.walks.push_back({p.x - 1, p.z - 1, p.x, p.z});
    for (int l : p.links) w.walks.push_back({p.x, p.z, w.waypoints[l].x, w.waypoints[l].z});
  }
}

// Reports how the walks lie on the finished scene; false if a waypoint is
// unusable.
bool checkNetwork(const World& w, const SurfaceIndex& surfaces, int& openStarts) {
  bool ok = true;
  openStarts = 0;
  for (size_t i = 0; i < w.waypoints.size(); ++i) {
    const Waypoint& p = w.waypoints[i];
    openStarts += startClear(surfaces, p.x, p.z);
    if (p.links.empty() || p.y < kWater + 0.1 ||
        std::fabs(surfaces.highest(p.x, p.z) - p.y) > 1e-4) {
      std::cerr << "gen_world: waypoint " << i + 1 << " at (" << p.x << ", " << p.y << ", " << p.z
                << ") is not on open ground or has no links\n";
      ok = false;
    }
    // Characters follow the straight line and its interpolated height.
    for (int l : p.links) {
      const Waypoint& q = w.waypoints[l];
      const int n = static_cast<int>(planar(q.x - p.x, q.z - p.z) / 0.02) + 1;
      double worst = 0;
      for (int k = 0; k <= n; ++k) {
        const double t = static_cast<double>(k) / n;
        const double h = surfaces.highest(lerp(p.x, q.x, t), lerp(p.z, q.z, t));
        worst = std::max(worst, std::fabs(h - lerp(p.y, q.y, t)));
      }
      if (worst > 0.055) {
        std::cerr << "gen_world: link " << i + 1 << " -> " << l + 1 << " leaves the ground by "
                  << worst << "\n";
        ok = false;
      }
    }
  }
  return ok;
}

void writeWaypoints(const std::vector<Waypoint>& points, const std::string& path) {
  std::string out = std::to_string(points.size()) + "\n";
  for (size_t i = 0; i < points.size(); ++i) {
    const Waypoint& p = points[i];
    out += fixed(p.x * 100, 2) + " " + fixed(p.y * 100, 2) + " " + fixed(-p.z * 100, 2) + " " +
           std::to_string(p.links.size()) + " " + std::to_string(i + 1);
    for (int l : p.links) out += " " + std::to_string(l + 1);
    out += "\n";
  }
  std::ofstream file(path, std::ios::binary);
  file << out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "data/scene";
  std::error_code error;
  std::filesystem::create_directories(folder, error);

  World w;
  buildFixed(w);
  const std::vector<const Mesh*> meshes = {&w.terrain, &w.paving, &w.walls,  &w.roofs,
                                           &w.trim,    &w.tower,  &w.bridge, &w.harbour,
                                           &w.trees,   &w.rocks,  &w.props};
  {
    SurfaceIndex built;
    for (const Mesh* m : meshes) built.add(*m);
    built.finish();
    buildNetwork(w, built);
  }
  buildNature(w);
  SurfaceIndex surfaces;
  for (const Mesh* m : meshes) surfaces.add(*m);
  surfaces.finish();
  int openStarts = 0;
  const bool networkOk = checkNetwork(w, surfaces, openStarts);

  const Solids solids;
  dropHiddenFaces(w.terrain, &solids);
  for (Mesh* m : {&w.paving, &w.walls, &w.roofs, &w.trim, &w.tower, &w.bridge, &w.harbour, &w.trees,
                  &w.rocks, &w.props})
    dropHiddenFaces(*m, nullptr);
  writeScene(meshes, folder + "/nprscene.scn");
  writeWaypoints(w.waypoints, folder + "/waypoints.txt");
  size_t triangles = 0;
  for (const Mesh* m : meshes) triangles += m->faces.size();
  std::cout << "gen_world: " << meshes.size() << " meshes, " << triangles << " triangles, "
            << w.waypoints.size() << " waypoints (" << openStarts << " with an open first walk) -> "
            << folder << "\n";
  return networkOk && !w.crowded ? 0 : 1;
}
