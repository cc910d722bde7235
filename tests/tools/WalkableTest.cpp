// The walk network of an imported scene: on small built scenes it lies on
// the floors, out of the solids, reads back as written, and the program's
// own walkers stay on the floors and out of the walls on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "characters/CharacterManager.h"
#include "tests/characters/CharacterFixtures.h"
#include "tools/scene_import/Walkable.h"

namespace {

using sceneimport::Triangle;
using sceneimport::WalkNetwork;
using sceneimport::WalkOptions;

constexpr double kPi = 3.14159265358979323846;

struct P3 {
  float x, y, z;
};

// A solid the walkers must stay out of: over its footprint, given in a frame
// turned 45 degrees about y when `turned`, nothing walks below its top,
// which rises linearly from u0 to u1 (a box, or a ramp's wedge).
struct Solid {
  bool turned;
  float u0, u1, v0, v1, top0, top1;
};

struct Scene {
  std::string name;
  std::vector<Triangle> triangles;
  std::vector<Solid> solids;
  float half;          // the ground and the area reach from -half to half
  float steepest = 0;  // rise per unit of its steepest floor
};

// Local (u, y, v) to the scene; u runs along (1, 0, -1), v along (1, 0, 1).
P3 place(bool turned, float u, float y, float v) {
  if (!turned) return {u, y, v};
  const float s = std::sqrt(0.5f);
  return {s * (u + v), y, s * (v - u)};
}

void addQuad(std::vector<Triangle>& out, P3 a, P3 b, P3 c, P3 d) {
  out.push_back({{{a.x, a.y, a.z}, {b.x, b.y, b.z}, {c.x, c.y, c.z}}});
  out.push_back({{{a.x, a.y, a.z}, {c.x, c.y, c.z}, {d.x, d.y, d.z}}});
}

// The box or wedge of a solid as closed faces.
void addSolid(Scene& scene, const Solid& s) {
  scene.solids.push_back(s);
  auto at = [&](float u, float y, float v) { return place(s.turned, u, y, v); };
  std::vector<Triangle>& t = scene.triangles;
  addQuad(t, at(s.u0, s.top0, s.v0), at(s.u1, s.top1, s.v0), at(s.u1, s.top1, s.v1),
          at(s.u0, s.top0, s.v1));
  addQuad(t, at(s.u0, 0, s.v0), at(s.u0, 0, s.v1), at(s.u1, 0, s.v1), at(s.u1, 0, s.v0));
  addQuad(t, at(s.u1, 0, s.v0), at(s.u1, 0, s.v1), at(s.u1, s.top1, s.v1), at(s.u1, s.top1, s.v0));
  if (s.top0 > 0)
    addQuad(t, at(s.u0, 0, s.v0), at(s.u0, s.top0, s.v0), at(s.u0, s.top0, s.v1),
            at(s.u0, 0, s.v1));
  for (float v : {s.v0, s.v1})
    addQuad(t, at(s.u0, 0, v), at(s.u1, 0, v), at(s.u1, s.top1, v), at(s.u0, s.top0, v));
}

Scene ground(const std::string& name, float half) {
  Scene scene{name, {}, {}, half};
  addQuad(scene.triangles, {-half, 0, -half}, {-half, 0, half}, {half, 0, half}, {half, 0, -half});
  return scene;
}

// A closed building too tall to climb: its roof and inside are no part of it.
Scene building() {
  Scene scene = ground("building", 3.0f);
  addSolid(scene, {false, -1.0f, 1.0f, -1.0f, 1.0f, 0.8f, 0.8f});
  return scene;
}

// A wall across the ground with a door too narrow for a walker's start,
// so that the two sides meet only by links that run through it.
Scene wallWithDoor() {
  Scene scene = ground("door", 3.0f);
  addSolid(scene, {false, -0.5f, 0.5f, -3.0f, -0.3f, 1.0f, 1.0f});
  addSolid(scene, {false, -0.5f, 0.5f, 0.3f, 3.0f, 1.0f, 1.0f});
  return scene;
}

// A ridge at 20 degrees: a link across its top runs below it by more than
// a link may.
Scene ridge() {
  Scene scene{"ridge", {}, {}, 3.0f, static_cast<float>(std::tan(20 * kPi / 180))};
  const float top = 3.0f * scene.steepest;
  addSolid(scene, {true, -3.0f, 0.0f, -4.3f, 4.3f, 0.0f, top});
  addSolid(scene, {true, 0.0f, 3.0f, -4.3f, 4.3f, top, 0.0f});
  return scene;
}

// A platform reached by a ramp that climbs 0.4 over 1.6 towards +x -z,
// across the walkers' start direction.
constexpr float platformTop = 0.4f;
Scene rampAndPlatform() {
  Scene scene = ground("ramp", 3.0f);
  scene.steepest = platformTop / 1.6f;
  addSolid(scene, {true, -1.2f, 0.4f, -1.0f, 1.0f, 0.0f, platformTop});
  addSolid(scene, {true, 0.4f, 2.8f, -1.3f, 1.3f, platformTop, platformTop});
  return scene;
}

// Whether a floor of the scene (30 degrees or less) lies under (x, z)
// within `tolerance` of height y.
bool onFloor(const Scene& scene, float x, float y, float z, float tolerance) {
  for (const Triangle& t : scene.triangles) {
    const float* a = t.p[0];
    const float* b = t.p[1];
    const float* c = t.p[2];
    const double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
    const double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length == 0 || std::fabs(ny) < std::cos(30 * kPi / 180) * length) continue;
    // Barycentric weights over the ground plane.
    const double s = ((x - a[0]) * vz - (z - a[2]) * vx) / (ux * vz - uz * vx);
    const double r = ((z - a[2]) * ux - (x - a[0]) * uz) / (ux * vz - uz * vx);
    if (s < -1e-6 || r < -1e-6 || s + r > 1 + 1e-6) continue;
    if (std::fabs(a[1] + s * uy + r * vy - y) <= tolerance) return true;
  }
  return false;
}

// How far (x, z) lies outside the footprint of a solid the point is more
// than `sunk` below the top of (a negative distance: inside); large when it
// is not below it.
float clearOf(const Solid& s, float x, float y, float z, float sunk = 0.001f) {
  const float k = std::sqrt(0.5f);
  const float u = s.turned ? k * (x - z) : x, v = s.turned ? k * (x + z) : z;
  const float t = std::clamp((u - s.u0) / (s.u1 - s.u0), 0.0f, 1.0f);
  if (y > s.top0 + t * (s.top1 - s.top0) - sunk) return 1e9f;
  const float du = std::max(s.u0 - u, u - s.u1), dv = std::max(s.v0 - v, v - s.v1);
  if (du <= 0 && dv <= 0) return std::max(du, dv);
  return std::hypot(std::max(du, 0.0f), std::max(dv, 0.0f));
}

WalkOptions optionsFor(const Scene& scene) {
  WalkOptions options;
  options.minX = options.minZ = -scene.half;
  options.maxX = options.maxZ = scene.half;
  return options;
}

TEST(WalkNetwork, LiesOnTheFloorsOutOfTheSolidsLinkedBothWaysAndReadsBack) {
  struct Case {
    Scene scene;
    std::function<void(const WalkNetwork&)> more;
  };
  const Case cases[] = {
      {building(),
       [](const WalkNetwork& n) {
         // The roof and the inside are rooms of their own, smaller than outside.
         for (const auto& p : n.points) EXPECT_NEAR(p.y, 0.0f, 1e-4f);
       }},
      {rampAndPlatform(),
       [](const WalkNetwork& n) {
         // One network: the ramp's links join the two levels.
         auto up = [](const auto& p) { return p.y > platformTop - 1e-3f; };
         auto down = [](const auto& p) { return p.y < 1e-3f; };
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), up), 20);
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), down), 20);
       }},
      {wallWithDoor(),
       [](const WalkNetwork& n) {
         auto west = [](const auto& p) { return p.x < -0.5f; };
         auto east = [](const auto& p) { return p.x > 0.5f; };
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), west), 20);
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), east), 20);
       }},
      {ridge(),
       [](const WalkNetwork& n) {
         // Both slopes, joined over the top.
         auto side = [](float sign) {
           return [sign](const auto& p) { return sign * (p.x - p.z) > 0.3f; };
         };
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), side(1)), 5);
         EXPECT_GT(std::count_if(n.points.begin(), n.points.end(), side(-1)), 5);
       }},
      {ground("wide ground", 10.0f),
       [](const WalkNetwork& n) {
         // Coarser than asked, so as not to pass the cap.
         EXPECT_LE(n.points.size(), 2500u);
         EXPECT_GT(n.points.size(), 1500u);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene.name);
    const WalkNetwork network =
        sceneimport::buildWalkNetwork(c.scene.triangles, optionsFor(c.scene));
    ASSERT_GT(network.points.size(), 1u) << network.why;
    EXPECT_EQ(network.why, "");
    const int count = static_cast<int>(network.points.size());
    for (int i = 0; i < count; ++i) {
      const auto& p = network.points[i];
      EXPECT_FALSE(p.links.empty()) << i;
      for (int l : p.links) {
        ASSERT_TRUE(l >= 0 && l < count && l != i) << i << " -> " << l;
        const auto& back = network.points[l].links;
        EXPECT_EQ(std::count(back.begin(), back.end(), i), 1) << i << " <-> " << l;
      }
      // Its links: on the floor at their heights all the way.
      for (int l : p.links) {
        const auto& q = network.points[l];
        const int steps = static_cast<int>(std::hypot(q.x - p.x, q.z - p.z) / 0.02f) + 1;
        for (int k = 0; k <= steps; ++k) {
          const float t = static_cast<float>(k) / steps;
          ASSERT_TRUE(onFloor(c.scene, p.x + t * (q.x - p.x), p.y + t * (q.y - p.y),
                              p.z + t * (q.z - p.z), 0.031f))
              << i << " -> " << l << " at " << t;
        }
      }
      // Its start: from 1 in -x and -z, level, on the floor and clear.
      for (float t = 0; t <= 1.0f; t += 0.05f) {
        const float x = p.x - 1 + t, z = p.z - 1 + t;
        ASSERT_TRUE(onFloor(c.scene, x, p.y, z, 1e-3f)) << i << " at " << t;
        for (const Solid& s : c.scene.solids)
          ASSERT_GT(clearOf(s, x, p.y, z), 0.15f) << i << " at " << t;
      }
    }
    c.more(network);

    std::ostringstream file;
    sceneimport::writeWaypoints(file, network);
    std::istringstream in(file.str());
    WaypointNetwork read;
    std::string error;
    ASSERT_TRUE(read.parse(in, error)) << error;
    ASSERT_EQ(read.size(), count);
    for (int i = 0; i < count; ++i) {
      const auto& p = network.points[i];
      const Vector3& q = read.waypoint(i).position;
      EXPECT_NEAR(q.x, p.x, 1e-4f);
      EXPECT_NEAR(q.y, p.y, 1e-4f);
      EXPECT_NEAR(q.z, p.z, 1e-4f);
      EXPECT_EQ(read.waypoint(i).number, i);
      EXPECT_EQ(read.waypoint(i).links, std::vector<std::int32_t>(p.links.begin(), p.links.end()));
    }
  }
}

TEST(WalkNetwork, WithoutRoomToWalkItIsEmptyAndSaysWhyInOneLine) {
  std::vector<Scene> scenes = {{"nothing", {}, {}, 3.0f}, ground("small tile", 0.15f)};
  scenes[1].half = 3.0f;
  Scene walls{"walls", {}, {}, 3.0f};
  for (float x : {-1.0f, 1.0f})
    addQuad(walls.triangles, {x, 0, -2}, {x, 2, -2}, {x, 2, 2}, {x, 0, 2});
  scenes.push_back(walls);
  Scene steep{"steep ground", {}, {}, 3.0f};
  addQuad(steep.triangles, {-3, -3, -3}, {-3, -3, 3}, {3, 3, 3}, {3, 3, -3});
  scenes.push_back(steep);
  // Two level tiles, each with room for one start, too far apart to link.
  Scene islands = ground("islands", 0.8f);
  addQuad(islands.triangles, {2, 0, 2}, {2, 0, 3.6f}, {3.6f, 0, 3.6f}, {3.6f, 0, 2});
  islands.half = 4.0f;
  scenes.push_back(islands);
  for (const Scene& scene : scenes) {
    SCOPED_TRACE(scene.name);
    const WalkNetwork network = sceneimport::buildWalkNetwork(scene.triangles, optionsFor(scene));
    EXPECT_TRUE(network.points.empty());
    EXPECT_NE(network.why, "");
    EXPECT_EQ(network.why.find('\n'), std::string::npos) << network.why;
  }
}

class Walkers : public ::testing::Test {
 protected:
  void SetUp() override { REQUIRE_CHARACTER_GL(); }
  TestDir dir;
};

// The program's twenty walkers for a minute of 16 ms frames: at every step
// each stands on a floor at its height and out of every solid.
TEST_F(Walkers, StayOnTheFloorsAndOutOfTheWallsForAMinute) {
  TestDir::write("Models/capsuleman.txt", TestDir::read(NPR_DATA_DIR "/Models/capsuleman.txt"));
  for (const Scene& scene : {building(), rampAndPlatform(), wallWithDoor(), ridge()}) {
    SCOPED_TRACE(scene.name);
    // A link's own 0.03; on a slope, a walker off its line at its height
    // by turning up to 0.1 early and being pushed 0.05 aside.
    const float heightTolerance = 0.031f + 0.15f * scene.steepest;
    const WalkNetwork network = sceneimport::buildWalkNetwork(scene.triangles, optionsFor(scene));
    std::ostringstream file;
    sceneimport::writeWaypoints(file, network);
    TestDir::write("scene/waypoints.txt", file.str());
    CharacterManager manager;
    std::srand(11);
    manager.initialize(capsuleQuadric());
    ASSERT_EQ(manager.placedCount(), 20);
    float nearest = 1e9f;
    int onPlatform = 0;
    for (int frame = 0; frame < 3750; ++frame) {
      manager.update(16.0f);
      for (int i = 0; i < 20; ++i) {
        const Vector3& p = manager.character(i).position;
        ASSERT_TRUE(onFloor(scene, p.x, p.y, p.z, heightTolerance))
            << "walker " << i << " at frame " << frame << ": " << p.x << ' ' << p.y << ' ' << p.z;
        for (const Solid& s : scene.solids)
          nearest = std::min(nearest, clearOf(s, p.x, p.y, p.z, heightTolerance));
        onPlatform += p.y > platformTop - 0.01f;
      }
    }
    // Not even its body (0.106 round) touches a wall.
    EXPECT_GT(nearest, 0.106f);
    if (scene.name == "ramp") {
      EXPECT_GT(onPlatform, 0);
    }
  }
}

}  // namespace
