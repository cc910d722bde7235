// The shipped data: every generator must reproduce its committed files, and
// the scene and waypoint network, read by the program's own loaders, must
// hold together as a world the demo can draw and the characters can walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "characters/Waypoints.h"
#include "tests/support/TestDir.h"
#include "world/Scene.h"

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
Vec vec(const SceneVector& v) { return {v.x, v.y, v.z}; }

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const double kWater = -0.45;

struct Triangle {
  Vec p[3], n[3], faceNormal, colour;
};

// The shipped scene as the loader converts it, flattened to triangles.
const std::vector<Triangle>& shippedTriangles() {
  static const std::vector<Triangle> triangles = [] {
    TestDir dir;  // the loader's log goes here
    Scene scene;
    std::vector<Triangle> out;
    EXPECT_TRUE(scene.parse(NPR_DATA_DIR "/scene/nprscene.scn")) << TestDir::readLog();
    EXPECT_GE(scene.meshCount, 5);
    for (int m = 0; m < scene.meshCount; ++m) {
      const SceneMesh& mesh = scene.meshes[m];
      for (int f = 0; f < mesh.faceCount; ++f) {
        const SceneFace& face = mesh.faces[f];
        Triangle t;
        for (int k = 0; k < 3; ++k) {
          t.p[k] = vec(mesh.positions[face.vertexIndices.corner[k]]);
          t.n[k] = vec(mesh.normals[face.vertexIndices.corner[k]]);
        }
        t.faceNormal = vec(face.faceNormal);
        t.colour = vec(face.colour);
        out.push_back(t);
      }
    }
    return out;
  }();
  return triangles;
}

// Highest drawn surface straight above or below a point (-infinity over open
// water), from triangles binned on the ground plane.
class Surfaces {
 public:
  explicit Surfaces(const std::vector<Triangle>& triangles) : triangles_(triangles) {
    bins_.resize(static_cast<size_t>(kCells) * kCells);
    for (size_t t = 0; t < triangles.size(); ++t) {
      const Vec* p = triangles[t].p;
      const auto [lx, hx] = std::minmax({p[0].x, p[1].x, p[2].x});
      const auto [lz, hz] = std::minmax({p[0].z, p[1].z, p[2].z});
      for (int k = cell(lz); k <= cell(hz); ++k)
        for (int i = cell(lx); i <= cell(hx); ++i)
          bins_[static_cast<size_t>(k) * kCells + i].push_back(static_cast<int>(t));
    }
  }
  double highest(double x, double z) const {
    double best = -INFINITY;
    for (int t : bins_[static_cast<size_t>(cell(z)) * kCells + cell(x)]) {
      const Vec &a = triangles_[t].p[0], &b = triangles_[t].p[1], &c = triangles_[t].p[2];
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
  static int cell(double v) {
    return std::clamp(static_cast<int>(std::floor((v + 20) / 0.25)), 0, kCells - 1);
  }
  const std::vector<Triangle>& triangles_;
  std::vector<std::vector<int>> bins_;
};

const Surfaces& shippedSurfaces() {
  static const Surfaces surfaces(shippedTriangles());
  return surfaces;
}

// The fixed light's orthographic view: 17 x 13 units across, 150.1 to 200 deep.
bool inLightSquare(const Vec& p) {
  const Vec eye{-90, 140, -90};
  const Vec forward = unit(Vec{} - eye), side = unit(cross(forward, Vec{0, 1, 0}));
  const Vec up = cross(side, forward), d = p - eye;
  return std::fabs(dot(d, side)) <= 8.5 && std::fabs(dot(d, up)) <= 6.5 &&
         dot(d, forward) >= 150.1 && dot(d, forward) <= 200;
}

const WaypointNetwork& shippedWaypoints() {
  static const WaypointNetwork network = [] {
    WaypointNetwork w;
    std::ifstream in(NPR_DATA_DIR "/scene/waypoints.txt");
    std::string error;
    EXPECT_TRUE(w.parse(in, error)) << error;
    return w;
  }();
  return network;
}

Vec at(const Waypoint& w) { return {w.position.x, w.position.y, w.position.z}; }

// Every generator, run as a program, writes exactly the committed files.
TEST(GeneratedData, EveryGeneratorReproducesItsCommittedFiles) {
  namespace fs = std::filesystem;
  const struct {
    const char* tool;
    const char* output;  // the argument: a folder, or the one file written
    std::vector<const char*> files;
  } generators[] = {
      {"gen_world", "scene", {"scene/nprscene.scn", "scene/waypoints.txt"}},
      {"gen_model", "Models/capsuleman.txt", {"Models/capsuleman.txt"}},
      {"gen_textures",
       "Textures",
       {"Textures/water_normal3.bmp", "Textures/hatch2.bmp", "Textures/hatch1.bmp",
        "Textures/water_normal4.bmp"}},
  };
  TestDir dir;
  fs::create_directories(dir.path() / "Models");
  fs::create_directories(dir.path() / "Textures");
  for (const auto& g : generators) {
    SCOPED_TRACE(g.tool);
    fs::path generator = fs::path(NPR_BINARY_DIR) / "tools" / g.tool;
    if (!fs::exists(generator) && fs::exists(generator.string() + ".exe"))
      generator = generator.string() + ".exe";
    ASSERT_TRUE(fs::exists(generator)) << "build the generators first: " << generator;
    const fs::path log = dir.path() / (std::string(g.tool) + ".log");
    std::string command = "\"" + generator.string() + "\" \"" + (dir.path() / g.output).string() +
                          "\" > \"" + log.string() + "\" 2>&1";
#ifdef _WIN32
    command = "\"" + command + "\"";  // cmd.exe strips one pair of outer quotes
#endif
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(log);
    for (const char* name : g.files) {
      const std::string made = readFile(dir.path() / name);
      ASSERT_FALSE(made.empty()) << name;
      EXPECT_TRUE(made == readFile(fs::path(NPR_DATA_DIR) / name))
          << name << ": regenerate with " << g.tool << " and commit the result";
    }
  }
}

TEST(ShippedScene, IsSizedTonedAndWoundForTheDemo) {
  const std::vector<Triangle>& triangles = shippedTriangles();
  EXPECT_GE(triangles.size(), 20000u);
  EXPECT_LE(triangles.size(), 200000u);
  std::vector<double> tones;
  size_t degenerate = 0, againstFaceNormal = 0, againstVertexNormals = 0, unnormalised = 0,
         aboveWater = 0, outsideLight = 0;
  for (const Triangle& t : triangles) {
    const double luma = 0.299 * t.colour.x + 0.587 * t.colour.y + 0.114 * t.colour.z;
    if (std::find(tones.begin(), tones.end(), luma) == tones.end()) tones.push_back(luma);
    for (const Vec& p : t.p)
      if (p.y > kWater) ++aboveWater, outsideLight += !inLightSquare(p);
    const Vec g = cross(t.p[1] - t.p[0], t.p[2] - t.p[0]);
    if (length(g) < 1e-10) {
      ++degenerate;
      continue;
    }
    againstFaceNormal += dot(g, t.faceNormal) <= 0;
    againstVertexNormals += dot(g, t.n[0] + t.n[1] + t.n[2]) <= 0;
    for (const Vec& n : {t.faceNormal, t.n[0], t.n[1], t.n[2]})
      unnormalised += std::fabs(length(n) - 1) > 0.002;
  }
  // Several materials, from nearly white to dark.
  EXPECT_GE(tones.size(), 8u);
  EXPECT_GT(*std::max_element(tones.begin(), tones.end()), 0.85);
  EXPECT_LT(*std::min_element(tones.begin(), tones.end()), 0.3);
  EXPECT_EQ(degenerate, 0u);
  EXPECT_EQ(againstFaceNormal, 0u) << "front faces must be counter-clockwise after the z flip";
  EXPECT_EQ(againstVertexNormals, 0u);
  EXPECT_EQ(unnormalised, 0u);
  // Shadows fall only inside the light's square.
  EXPECT_GT(aboveWater, 0u);
  EXPECT_EQ(outsideLight, 0u);
  // The starting camera stands on the ground; what it sees is the picture tests' concern.
  EXPECT_NEAR(shippedSurfaces().highest(0, 0), 0, 0.05);
}

TEST(ShippedWaypoints, StandAndLinkOnWalkableGroundInsideTheLightSquare) {
  const WaypointNetwork& w = shippedWaypoints();
  ASSERT_GE(w.size(), 20) << "twenty characters need room";
  for (int i = 0; i < w.size(); ++i) {
    SCOPED_TRACE("waypoint " + std::to_string(i + 1));
    const Vec a = at(w.waypoint(i));
    EXPECT_EQ(w.waypoint(i).number, i);
    EXPECT_TRUE(inLightSquare(a));
    // On the highest surface there: not under a roof, not in the water.
    EXPECT_NEAR(a.y, shippedSurfaces().highest(a.x, a.z), 0.005);
    EXPECT_GT(a.y, kWater + 0.1);
    EXPECT_FALSE(w.waypoint(i).links.empty());
    for (int l : w.waypoint(i).links) {
      EXPECT_NE(l, i);
      const Vec b = at(w.waypoint(l));
      const double span = std::hypot(b.x - a.x, b.z - a.z);
      EXPECT_GE(span, 0.15) << "link to " << l + 1 << " is shorter than the arrival radius";
      // Stairs and the ground's curve stay within a few centimetres; a wall,
      // a tree or open water does not.
      double worst = 0;
      for (double t = 0; t <= 1; t += 0.02 / span) {
        const Vec p = a + (b - a) * t;
        worst = std::max(worst, std::fabs(shippedSurfaces().highest(p.x, p.z) - p.y));
      }
      EXPECT_LT(worst, 0.06) << "link to " << l + 1;
    }
  }
}

TEST(ShippedWaypoints, NetworkIsConnectedBothWaysAndSpreadOut) {
  const WaypointNetwork& w = shippedWaypoints();
  ASSERT_GT(w.size(), 0);
  for (bool reverse : {false, true}) {
    std::vector<bool> seen(w.size(), false);
    seen[0] = true;
    for (bool grew = true; grew;) {
      grew = false;
      for (int i = 0; i < w.size(); ++i)
        for (int l : w.waypoint(i).links)
          if (seen[reverse ? l : i] && !seen[reverse ? i : l]) seen[reverse ? i : l] = grew = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0)
        << (reverse ? "some waypoint cannot reach" : "some waypoint is not reached from")
        << " waypoint 1";
  }
  size_t links = 0, twoWay = 0, junctions = 0;
  double minX = INFINITY, maxX = -INFINITY, minZ = INFINITY, maxZ = -INFINITY;
  for (int i = 0; i < w.size(); ++i) {
    const Waypoint& p = w.waypoint(i);
    for (int l : p.links) {
      ++links;
      const auto& back = w.waypoint(l).links;
      twoWay += std::find(back.begin(), back.end(), i) != back.end();
    }
    junctions += p.links.size() >= 3;
    minX = std::min(minX, double(p.position.x)), maxX = std::max(maxX, double(p.position.x));
    minZ = std::min(minZ, double(p.position.z)), maxZ = std::max(maxZ, double(p.position.z));
  }
  EXPECT_GE(twoWay * 10, links * 8) << "most links should go both ways";
  EXPECT_GE(junctions, 5u);
  EXPECT_GE(maxX - minX, 6.0);
  EXPECT_GE(maxZ - minZ, 6.0);
}

}  // namespace
