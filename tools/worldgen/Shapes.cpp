// Value noise and the mesh shapes: boxes, surfaces of revolution, discs,
// frusta, lumpy ellipsoids and boulders.
#include <map>

#include "tools/worldgen/World.h"

namespace genworld {

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
           int segments, int material, double phase) {
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
          double phase) {
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

}  // namespace genworld
