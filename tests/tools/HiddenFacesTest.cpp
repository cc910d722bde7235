// The generator leaves out of the shipped scene the faces nobody can see:
// none lies wholly under the water, and leaving out the covered ones has
// punched no hole in the ground.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "tests/support/TestDir.h"
#include "world/Scene.h"

namespace {

// The water plane at its lowest (it rises and falls by 0.005 around -0.45),
// less a little margin.
constexpr double kLowestWater = -0.457;

struct Corner {
  double x, y, z;
};

std::vector<std::array<Corner, 3>> shippedFaces() {
  TestDir dir;  // the loader's log goes here
  Scene scene;
  std::vector<std::array<Corner, 3>> faces;
  EXPECT_TRUE(scene.parse(NPR_DATA_DIR "/scene/nprscene.scn")) << TestDir::readLog();
  for (int m = 0; m < scene.meshCount; ++m) {
    const SceneMesh& mesh = scene.meshes[m];
    for (int f = 0; f < mesh.faceCount; ++f) {
      std::array<Corner, 3> face;
      for (int k = 0; k < 3; ++k) {
        const SceneVector& p = mesh.positions[mesh.faces[f].vertexIndices.corner[k]];
        face[k] = {p.x, p.y, p.z};
      }
      faces.push_back(face);
    }
  }
  return faces;
}

TEST(ShippedScene, HoldsNoFaceWhollyUnderTheWater) {
  int underWater = 0;
  for (const auto& face : shippedFaces())
    underWater +=
        std::all_of(face.begin(), face.end(), [](const Corner& c) { return c.y < kLowestWater; });
  EXPECT_EQ(underWater, 0);
}

// The island's heart, 3 units round (-0.4, -1.5), is dry land with houses,
// the plaza and paths on it: seen from above, some face above the water
// covers every point, wherever the ground under a house or the plaza went.
TEST(ShippedScene, CoversTheIslandsHeartWithoutHoles) {
  constexpr double kCentreX = -0.4, kCentreZ = -1.5, kRadius = 3.0, kStep = 0.05;
  constexpr int kSide = static_cast<int>(2 * kRadius / kStep) + 1;
  std::vector<char> covered(static_cast<size_t>(kSide) * kSide, 0);
  auto sampleX = [&](int i) { return kCentreX - kRadius + i * kStep; };
  auto sampleZ = [&](int k) { return kCentreZ - kRadius + k * kStep; };
  for (const auto& f : shippedFaces()) {
    if (std::max({f[0].y, f[1].y, f[2].y}) < kLowestWater) continue;
    const double area =
        (f[1].x - f[0].x) * (f[2].z - f[0].z) - (f[2].x - f[0].x) * (f[1].z - f[0].z);
    if (std::fabs(area) < 1e-12) continue;  // seen edge-on from above
    const double lx = std::min({f[0].x, f[1].x, f[2].x}), hx = std::max({f[0].x, f[1].x, f[2].x});
    const double lz = std::min({f[0].z, f[1].z, f[2].z}), hz = std::max({f[0].z, f[1].z, f[2].z});
    const int i0 = std::max(0, static_cast<int>(std::ceil((lx - sampleX(0)) / kStep)));
    const int i1 = std::min(kSide - 1, static_cast<int>(std::floor((hx - sampleX(0)) / kStep)));
    const int k0 = std::max(0, static_cast<int>(std::ceil((lz - sampleZ(0)) / kStep)));
    const int k1 = std::min(kSide - 1, static_cast<int>(std::floor((hz - sampleZ(0)) / kStep)));
    for (int k = k0; k <= k1; ++k)
      for (int i = i0; i <= i1; ++i) {
        const double x = sampleX(i), z = sampleZ(k);
        const double u =
            ((x - f[0].x) * (f[2].z - f[0].z) - (f[2].x - f[0].x) * (z - f[0].z)) / area;
        const double v =
            ((f[1].x - f[0].x) * (z - f[0].z) - (x - f[0].x) * (f[1].z - f[0].z)) / area;
        if (u >= -1e-9 && v >= -1e-9 && u + v <= 1 + 1e-9)
          covered[static_cast<size_t>(k) * kSide + i] = 1;
      }
  }
  int holes = 0, samples = 0;
  for (int k = 0; k < kSide; ++k)
    for (int i = 0; i < kSide; ++i) {
      if (std::hypot(sampleX(i) - kCentreX, sampleZ(k) - kCentreZ) > kRadius) continue;
      ++samples;
      if (!covered[static_cast<size_t>(k) * kSide + i]) {
        if (holes < 5)
          ADD_FAILURE() << "nothing drawn at (" << sampleX(i) << ", " << sampleZ(k) << ")";
        ++holes;
      }
    }
  EXPECT_GT(samples, 10000);
  EXPECT_EQ(holes, 0);
}

}  // namespace
