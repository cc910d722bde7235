// The shipped scene and waypoint network: the generator must reproduce the
// committed files, and the files must hold together as a world the demo can
// draw and the characters can walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestDir.h"

namespace {

struct Vec {
  double x = 0, y = 0, z = 0;
};
Vec operator+(const Vec& a, const Vec& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(const Vec& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Vec& a) { return std::sqrt(dot(a, a)); }
Vec unit(const Vec& a) { return a * (1 / length(a)); }

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// ---- the scene file, with the loader's conversions applied

struct Triangle {
  Vec p[3];  // scene space
  Vec n[3];  // vertex normals, scene space
  Vec faceNormal;
  int material = 0;  // zero-based
};

struct MeshCheck {
  int faces = 0;
  bool firstCornerClash = false;  // a later corner repeats face 0's first corner, other colour
};

struct ShippedScene {
  std::string error;  // empty when the file parsed completely
  int colourCount = 0;
  std::vector<Vec> colours;
  std::vector<MeshCheck> meshes;
  std::vector<Triangle> triangles;
};

Vec position(double x, double y, double z) { return {x * 0.01, y * 0.01, -z * 0.01}; }

ShippedScene parseScene(const std::string& text) {
  ShippedScene s;
  std::istringstream in(text);
  auto fail = [&](const std::string& what) {
    s.error = what;
    return s;
  };
  if (!(in >> s.colourCount) || s.colourCount < 1) return fail("colour count");
  for (int i = 0; i < s.colourCount; ++i) {
    Vec c;
    if (!(in >> c.x >> c.y >> c.z)) return fail("colour " + std::to_string(i));
    s.colours.push_back(c);
  }
  int meshCount = 0;
  if (!(in >> meshCount) || meshCount < 0) return fail("mesh count");
  for (int m = 0; m < meshCount; ++m) {
    const std::string where = "mesh " + std::to_string(m) + ": ";
    int vertexCount, texCount, faceCount;
    if (!(in >> vertexCount >> texCount >> faceCount) || vertexCount < 0 || texCount < 0 ||
        faceCount < 0)
      return fail(where + "header");
    std::vector<Vec> positions(vertexCount), normals(vertexCount);
    for (int i = 0; i < vertexCount; ++i) {
      double x, y, z, a, b, c;
      if (!(in >> x >> y >> z >> a >> b >> c)) return fail(where + "vertex " + std::to_string(i));
      positions[i] = position(x, y, z);
      normals[i] = {a, b, -c};
    }
    for (int i = 0; i < texCount; ++i) {
      double a, b, c;
      if (!(in >> a >> b >> c)) return fail(where + "texture coordinate " + std::to_string(i));
    }
    MeshCheck check;
    check.faces = faceCount;
    int firstV = -1, firstT = -1, firstMaterial = -1;
    for (int f = 0; f < faceCount; ++f) {
      int v[3], t[3], material;
      double nx, ny, nz;
      if (!(in >> v[0] >> v[1] >> v[2] >> t[0] >> t[1] >> t[2] >> nx >> ny >> nz >> material))
        return fail(where + "face " + std::to_string(f));
      Triangle tri;
      for (int k = 0; k < 3; ++k) {
        if (v[k] < 0 || v[k] >= vertexCount)
          return fail(where + "face " + std::to_string(f) + " vertex index out of range");
        if (t[k] < 0 || t[k] >= texCount)
          return fail(where + "face " + std::to_string(f) + " texture index out of range");
        tri.p[k] = positions[v[k]];
        tri.n[k] = normals[v[k]];
      }
      if (material < 1 || material > s.colourCount)
        return fail(where + "face " + std::to_string(f) + " material out of range");
      tri.material = material - 1;
      tri.faceNormal = {nx, ny, -nz};
      if (f == 0) {
        firstV = v[0];
        firstT = t[0];
        firstMaterial = tri.material;
      }
      for (int k = 0; k < 3; ++k)
        if ((f > 0 || k > 0) && v[k] == firstV && t[k] == firstT && tri.material != firstMaterial)
          check.firstCornerClash = true;
      s.triangles.push_back(tri);
    }
    s.meshes.push_back(check);
  }
  std::string rest;
  if (in >> rest) return fail("text after the last mesh: " + rest);
  return s;
}

const ShippedScene& shippedScene() {
  static const ShippedScene scene = parseScene(readFile(NPR_DATA_DIR "/scene/nprscene.scn"));
  return scene;
}

// Highest drawn surface straight above or below a point, from triangles binned
// on the ground plane.
class Surfaces {
 public:
  explicit Surfaces(const std::vector<Triangle>& triangles) : triangles_(triangles) {
    bins_.resize(static_cast<size_t>(kCells) * kCells);
    for (size_t t = 0; t < triangles.size(); ++t) {
      const Triangle& tr = triangles[t];
      const double lx = std::min({tr.p[0].x, tr.p[1].x, tr.p[2].x});
      const double hx = std::max({tr.p[0].x, tr.p[1].x, tr.p[2].x});
      const double lz = std::min({tr.p[0].z, tr.p[1].z, tr.p[2].z});
      const double hz = std::max({tr.p[0].z, tr.p[1].z, tr.p[2].z});
      for (int k = cell(lz); k <= cell(hz); ++k)
        for (int i = cell(lx); i <= cell(hx); ++i)
          bins_[static_cast<size_t>(k) * kCells + i].push_back(static_cast<int>(t));
    }
  }

  // -infinity where nothing is drawn (open water).
  double highest(double x, double z) const {
    double best = -INFINITY;
    for (int t : bins_[static_cast<size_t>(cell(z)) * kCells + cell(x)]) {
      const Triangle& tr = triangles_[t];
      const Vec& a = tr.p[0];
      const Vec& b = tr.p[1];
      const Vec& c = tr.p[2];
      const double d = (b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z);
      if (std::fabs(d) < 1e-12) continue;
      const double u = ((x - a.x) * (c.z - a.z) - (c.x - a.x) * (z - a.z)) / d;
      const double v = ((b.x - a.x) * (z - a.z) - (x - a.x) * (b.z - a.z)) / d;
      if (u < -1e-9 || v < -1e-9 || u + v > 1 + 1e-9) continue;
      best = std::max(best, a.y + u * (b.y - a.y) + v * (c.y - a.y));
    }
    return best;
  }

 private:
  static constexpr int kCells = 160;
  static constexpr double kCell = 0.25, kOrigin = -20;
  static int cell(double v) {
    return std::clamp(static_cast<int>(std::floor((v - kOrigin) / kCell)), 0, kCells - 1);
  }
  const std::vector<Triangle>& triangles_;
  std::vector<std::vector<int>> bins_;
};

const Surfaces& shippedSurfaces() {
  static const Surfaces surfaces(shippedScene().triangles);
  return surfaces;
}

// The fixed light's orthographic view: 17 x 13 units across, 150.1 to 200 deep.
struct LightSquare {
  Vec eye{-90, 140, -90}, forward, side, up;
  LightSquare() {
    forward = unit(Vec{0, 0, 0} - eye);
    side = unit(cross(forward, Vec{0, 1, 0}));
    up = cross(side, forward);
  }
  bool covers(const Vec& p) const {
    const Vec d = p - eye;
    const double depth = dot(d, forward);
    return std::fabs(dot(d, side)) <= 8.5 && std::fabs(dot(d, up)) <= 6.5 && depth >= 150.1 &&
           depth <= 200;
  }
};

const double kWater = -0.45;

// ---- the waypoint file, converted as the loader does

struct Point {
  Vec p;
  int number = 0;
  std::vector<int> links;  // zero-based
};

std::vector<Point> parseWaypoints(const std::string& text, std::string& error) {
  std::istringstream in(text);
  std::vector<Point> points;
  int count = 0;
  if (!(in >> count) || count < 1) {
    error = "waypoint count";
    return {};
  }
  for (int i = 0; i < count; ++i) {
    double x, y, z;
    int linkCount, number;
    if (!(in >> x >> y >> z >> linkCount >> number) || linkCount < 0) {
      error = "waypoint " + std::to_string(i + 1);
      return {};
    }
    Point p;
    p.p = position(x, y, z);
    p.number = number - 1;
    for (int l = 0; l < linkCount; ++l) {
      int link;
      if (!(in >> link)) {
        error = "link of waypoint " + std::to_string(i + 1);
        return {};
      }
      p.links.push_back(link - 1);
    }
    points.push_back(p);
  }
  std::string rest;
  if (in >> rest) error = "text after the last waypoint: " + rest;
  return points;
}

const std::vector<Point>& shippedWaypoints() {
  static std::string error;
  static const std::vector<Point> points =
      parseWaypoints(readFile(NPR_DATA_DIR "/scene/waypoints.txt"), error);
  EXPECT_EQ(error, "");
  return points;
}

// ---- reproduction

TEST(GeneratedWorld, GeneratorReproducesTheCommittedFiles) {
  namespace fs = std::filesystem;
  fs::path generator = NPR_BINARY_DIR "/tools/gen_world";
  if (!fs::exists(generator) && fs::exists(generator.string() + ".exe"))
    generator = generator.string() + ".exe";
  ASSERT_TRUE(fs::exists(generator)) << "build the gen_world target first: " << generator;
  TestDir dir;
  const fs::path out = dir.path() / "scene";
  std::string command = "\"" + generator.string() + "\" \"" + out.string() + "\" > \"" +
                        (dir.path() / "gen.log").string() + "\" 2>&1";
#ifdef _WIN32
  command = "\"" + command + "\"";  // cmd.exe strips one pair of outer quotes
#endif
  ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.path() / "gen.log");
  for (const char* name : {"nprscene.scn", "waypoints.txt"}) {
    SCOPED_TRACE(name);
    const std::string made = readFile(out / name);
    const std::string committed = readFile(fs::path(NPR_DATA_DIR) / "scene" / name);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made.size(), committed.size());
    EXPECT_TRUE(made == committed) << "regenerate with gen_world and commit the result";
  }
}

// ---- the scene

TEST(ShippedScene, ParsesCompletelyWithEveryIndexInRange) {
  const ShippedScene& s = shippedScene();
  ASSERT_EQ(s.error, "");
  for (const Vec& c : s.colours)
    for (double v : {c.x, c.y, c.z}) EXPECT_TRUE(v >= 0 && v <= 1) << v;
  // A world to look at: several meshes, tens of thousands of triangles.
  EXPECT_GE(s.meshes.size(), 5u);
  EXPECT_GE(s.triangles.size(), 20000u);
  EXPECT_LE(s.triangles.size(), 200000u);
  for (size_t m = 0; m < s.meshes.size(); ++m)
    EXPECT_FALSE(s.meshes[m].firstCornerClash)
        << "mesh " << m << " repeats its first corner under another colour";
}

TEST(ShippedScene, UsesDistinctTonesFromLightToDark) {
  const ShippedScene& s = shippedScene();
  ASSERT_EQ(s.error, "");
  std::vector<int> used(s.colourCount, 0);
  for (const Triangle& t : s.triangles) ++used[t.material];
  double lightest = 0, darkest = 1;
  int materials = 0;
  for (int i = 0; i < s.colourCount; ++i) {
    if (used[i] == 0) continue;
    ++materials;
    const Vec& c = s.colours[i];
    const double luma = 0.299 * c.x + 0.587 * c.y + 0.114 * c.z;
    lightest = std::max(lightest, luma);
    darkest = std::min(darkest, luma);
  }
  EXPECT_GE(materials, 8);
  EXPECT_GT(lightest, 0.85);
  EXPECT_LT(darkest, 0.3);
}

TEST(ShippedScene, FacesWindCounterClockwiseAroundTheirNormals) {
  const ShippedScene& s = shippedScene();
  ASSERT_EQ(s.error, "");
  size_t degenerate = 0, againstFaceNormal = 0, againstVertexNormals = 0, unnormalised = 0;
  for (const Triangle& t : s.triangles) {
    const Vec g = cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
    if (length(g) < 1e-10) {
      ++degenerate;
      continue;
    }
    if (dot(g, t.faceNormal) <= 0) ++againstFaceNormal;
    if (dot(g, t.n[0] + t.n[1] + t.n[2]) <= 0) ++againstVertexNormals;
    for (const Vec& n : {t.faceNormal, t.n[0], t.n[1], t.n[2]})
      if (std::fabs(length(n) - 1) > 0.002) ++unnormalised;
  }
  EXPECT_EQ(degenerate, 0u);
  EXPECT_EQ(againstFaceNormal, 0u) << "front faces must be counter-clockwise after the z flip";
  EXPECT_EQ(againstVertexNormals, 0u);
  EXPECT_EQ(unnormalised, 0u);
}

TEST(ShippedScene, EverythingAboveTheWaterLiesInTheLightSquare) {
  const ShippedScene& s = shippedScene();
  ASSERT_EQ(s.error, "");
  const LightSquare light;
  size_t outside = 0, aboveWater = 0;
  for (const Triangle& t : s.triangles)
    for (const Vec& p : t.p) {
      if (p.y <= kWater) continue;
      ++aboveWater;
      if (!light.covers(p)) ++outside;
    }
  EXPECT_GT(aboveWater, 0u);
  EXPECT_EQ(outside, 0u);
}

// Ray from the camera against front faces; distance to the nearest hit.
double castRay(const std::vector<Triangle>& triangles, const Vec& from, const Vec& dir) {
  double best = INFINITY;
  for (const Triangle& t : triangles) {
    const Vec e1 = t.p[1] - t.p[0], e2 = t.p[2] - t.p[0];
    if (dot(cross(e1, e2), dir) >= 0) continue;  // culled
    const Vec pv = cross(dir, e2);
    const double det = dot(e1, pv);
    const Vec tv = from - t.p[0];
    const double u = dot(tv, pv) / det;
    if (u < 0 || u > 1) continue;
    const Vec qv = cross(tv, e1);
    const double v = dot(dir, qv) / det;
    if (v < 0 || u + v > 1) continue;
    const double d = dot(e2, qv) / det;
    if (d > 1e-6 && d < best) best = d;
  }
  return best;
}

TEST(ShippedScene, StartingCameraSeesTheVillageTheShoreAndTheSea) {
  const ShippedScene& s = shippedScene();
  ASSERT_EQ(s.error, "");
  const Vec eye{0, 0.3125, 0};
  EXPECT_NEAR(shippedSurfaces().highest(0, 0), 0, 0.05) << "ground under the camera";
  const Vec forward = unit(Vec{0.298275, 0, -0.95448} - eye);
  const Vec right = unit(cross(forward, Vec{0, 1, 0}));
  const Vec up = cross(right, forward);
  const double tanHalf = std::tan(37.5 * 3.14159265358979 / 180);
  EXPECT_GE(castRay(s.triangles, eye, forward), 1.0);
  EXPECT_LE(castRay(s.triangles, eye, forward), 8.0);
  int rays = 0, nearby = 0, sea = 0, tooClose = 0;
  // Rows close together: the sea shows as a band under the horizon.
  for (int j = 0; j < 40; ++j)
    for (int i = 0; i < 16; ++i) {
      const double x = (i + 0.5) / 16 * 2 - 1, y = (j + 0.5) / 40 * 2 - 1;
      const Vec dir = unit(forward + right * (x * tanHalf * 4 / 3) + up * (y * tanHalf));
      const double hit = castRay(s.triangles, eye, dir);
      ++rays;
      if (hit < 0.15) ++tooClose;
      if (hit >= 1 && hit <= 8) ++nearby;
      if (dir.y < 0) {
        const double water = (kWater - eye.y) / dir.y;
        if (water < hit && water < 40) ++sea;
      }
    }
  EXPECT_EQ(tooClose, 0) << "the camera starts inside something";
  EXPECT_GE(nearby, rays / 5) << "little to look at within 1 to 8 units";
  EXPECT_GE(sea, 2) << "no water in the opening view";
}

// ---- the waypoints

TEST(ShippedWaypoints, NumbersAndLinksAreInRange) {
  const std::vector<Point>& w = shippedWaypoints();
  ASSERT_GE(w.size(), 20u) << "twenty characters need room";
  for (size_t i = 0; i < w.size(); ++i) {
    SCOPED_TRACE("waypoint " + std::to_string(i + 1));
    EXPECT_EQ(w[i].number, static_cast<int>(i));
    EXPECT_FALSE(w[i].links.empty());
    for (int l : w[i].links) {
      EXPECT_TRUE(l >= 0 && l < static_cast<int>(w.size())) << l + 1;
      EXPECT_NE(l, static_cast<int>(i));
    }
  }
}

TEST(ShippedWaypoints, StandOnTheDrawnGroundInsideTheLightSquare) {
  const std::vector<Point>& w = shippedWaypoints();
  ASSERT_FALSE(w.empty());
  const LightSquare light;
  for (size_t i = 0; i < w.size(); ++i) {
    SCOPED_TRACE("waypoint " + std::to_string(i + 1));
    const Vec& p = w[i].p;
    EXPECT_TRUE(light.covers(p));
    // The character's origin stands on the highest surface there: not under
    // a roof or a canopy, not in the water.
    EXPECT_NEAR(p.y, shippedSurfaces().highest(p.x, p.z), 0.005);
    EXPECT_GT(p.y, kWater + 0.1);
  }
}

TEST(ShippedWaypoints, LinksRunOverWalkableGround) {
  const std::vector<Point>& w = shippedWaypoints();
  for (size_t i = 0; i < w.size(); ++i)
    for (int l : w[i].links) {
      if (l < 0 || l >= static_cast<int>(w.size())) continue;
      const Vec a = w[i].p, b = w[l].p;
      const double span = std::hypot(b.x - a.x, b.z - a.z);
      EXPECT_GE(span, 0.15) << i + 1 << " -> " << l + 1 << " is shorter than the arrival radius";
      const int samples = static_cast<int>(span / 0.02) + 1;
      double worst = 0;
      for (int k = 0; k <= samples; ++k) {
        const double t = static_cast<double>(k) / samples;
        const Vec p = a + (b - a) * t;
        worst = std::max(worst, std::fabs(shippedSurfaces().highest(p.x, p.z) - p.y));
      }
      // Stairs and the ground's curve stay within a few centimetres; a wall,
      // a tree or open water does not.
      EXPECT_LT(worst, 0.06) << "link " << i + 1 << " -> " << l + 1;
    }
}

std::vector<bool> reachable(const std::vector<Point>& w, bool reverse) {
  std::vector<std::vector<int>> next(w.size());
  for (size_t i = 0; i < w.size(); ++i)
    for (int l : w[i].links)
      if (l >= 0 && l < static_cast<int>(w.size()))
        reverse ? next[l].push_back(static_cast<int>(i)) : next[i].push_back(l);
  std::vector<bool> seen(w.size(), false);
  std::queue<int> todo;
  todo.push(0);
  seen[0] = true;
  while (!todo.empty()) {
    const int i = todo.front();
    todo.pop();
    for (int n : next[i])
      if (!seen[n]) {
        seen[n] = true;
        todo.push(n);
      }
  }
  return seen;
}

TEST(ShippedWaypoints, NetworkIsConnectedBothWaysWithJunctionsToSpreadOut) {
  const std::vector<Point>& w = shippedWaypoints();
  ASSERT_FALSE(w.empty());
  for (bool reverse : {false, true}) {
    const std::vector<bool> seen = reachable(w, reverse);
    for (size_t i = 0; i < w.size(); ++i)
      EXPECT_TRUE(seen[i]) << "waypoint " << i + 1
                           << (reverse ? " cannot reach" : " is not reached from") << " waypoint 1";
  }
  size_t links = 0, twoWay = 0, junctions = 0;
  double minX = INFINITY, maxX = -INFINITY, minZ = INFINITY, maxZ = -INFINITY;
  for (size_t i = 0; i < w.size(); ++i) {
    for (int l : w[i].links) {
      ++links;
      const auto& back = w[l].links;
      if (std::find(back.begin(), back.end(), static_cast<int>(i)) != back.end()) ++twoWay;
    }
    if (w[i].links.size() >= 3) ++junctions;
    minX = std::min(minX, w[i].p.x);
    maxX = std::max(maxX, w[i].p.x);
    minZ = std::min(minZ, w[i].p.z);
    maxZ = std::max(maxZ, w[i].p.z);
  }
  EXPECT_GE(twoWay * 10, links * 8) << "most links should go both ways";
  EXPECT_GE(junctions, 5u);
  EXPECT_GE(maxX - minX, 6.0);
  EXPECT_GE(maxZ - minZ, 6.0);
}

TEST(ShippedWaypoints, MostCharactersStartOnOpenGround) {
  // A character starts one unit in -x and -z from its waypoint and walks
  // straight to it at the waypoint's height.
  const std::vector<Point>& w = shippedWaypoints();
  ASSERT_FALSE(w.empty());
  size_t open = 0;
  for (const Point& p : w) {
    bool clear = true;
    for (int k = 0; k <= 28 && clear; ++k) {
      const double t = k / 28.0;
      const double d = shippedSurfaces().highest(p.p.x - 1 + t, p.p.z - 1 + t) - p.p.y;
      clear = d < 0.08 && d > -0.12;
    }
    open += clear;
  }
  EXPECT_GE(open * 10, w.size() * 6) << open << " of " << w.size();
}

}  // namespace
