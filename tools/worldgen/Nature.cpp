// Trees, rocks, grass and the small props of the town.
#include "tools/worldgen/World.h"

namespace genworld {

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

}  // namespace genworld
