// The demo on its shipped data: a clean initialisation, frames without GL
// errors in every look, and pictures that have what a pencil drawing must
// have. Where the world is, which pixels are silhouettes, shadowed or water is
// found from the depth buffers of the passes, independently of the shaders.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "gl/Projection.h"
#include "render/FramePasses.h"
#include "render/Frame.h"
#include "render/ShadowPass.h"
#include "render/ShippedShaders.h"
#include "tests/render/DemoHarness.h"
#include "world/Scene.h"

namespace {

using namespace demo_harness;
using Vec3 = std::array<double, 3>;

Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double length(const Vec3& a) { return std::sqrt(dot(a, a)); }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The world as the single-view colour pass saw it, pixel by pixel of the
// colour image, rebuilt from the depth buffers of targets 0 and 2.
struct FrameGeometry {
  enum Shadow { Unknown, Lit, Shadowed };

  int size = 0;
  std::vector<float> depth;
  std::vector<Vec3> world;
  std::vector<Vec3> normal;  // zero where it cannot be had
  std::vector<Shadow> shadow;
  Vec3 eye{};

  bool valid(int i) const { return depth[i] < 1.0f; }
  double distance(int i) const { return length(sub(world[i], eye)); }

  void capture(DemoRecord& demo) {
    size = demo.renderTargets.size(0);
    depth = readTargetDepth(demo.renderTargets, 0);
    const std::vector<float> lightDepth = readTargetDepth(demo.renderTargets, 2);
    const int lightSize = demo.renderTargets.size(2);
    // The colour pass's matrices, rebuilt independently of the frame.
    double projection[16], view[16], toLightView[16], toLightProjection[16];
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(75.0, static_cast<double>(demo.viewWidth) / demo.viewHeight, 0.1f, 200.0);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    demo.demoCamera.applyView();
    glGetDoublev(GL_MODELVIEW_MATRIX, view);
    glPopMatrix();
    std::copy(demo.shadowPass.lightModelview, demo.shadowPass.lightModelview + 16, toLightView);
    std::copy(demo.shadowPass.lightProjection, demo.shadowPass.lightProjection + 16,
              toLightProjection);
    const GLint image[4] = {0, 0, size, size}, unitSquare[4] = {0, 0, 1, 1};
    eye = {demo.demoCamera.eye.x, demo.demoCamera.eye.y, demo.demoCamera.eye.z};

    const size_t n = static_cast<size_t>(size) * size;
    world.assign(n, Vec3{});
    normal.assign(n, Vec3{});
    shadow.assign(n, Unknown);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const int i = y * size + x;
        if (!valid(i)) continue;
        Vec3& p = world[i];
        gluUnProject(x + 0.5, y + 0.5, depth[i], view, projection, image, &p[0], &p[1], &p[2]);
      }
    for (int y = 0; y + 1 < size; ++y)
      for (int x = 0; x + 1 < size; ++x) {
        const int i = y * size + x;
        if (!valid(i) || !valid(i + 1) || !valid(i + size)) continue;
        const Vec3 right = sub(world[i + 1], world[i]);
        const Vec3 up = sub(world[i + size], world[i]);
        const double reach = 0.02 * distance(i);
        if (length(right) > reach || length(up) > reach) continue;  // another surface
        Vec3 nrm = cross(right, up);
        const double len = length(nrm);
        if (len == 0.0) continue;
        nrm = {nrm[0] / len, nrm[1] / len, nrm[2] / len};
        if (dot(nrm, sub(eye, world[i])) < 0.0) nrm = {-nrm[0], -nrm[1], -nrm[2]};
        normal[i] = nrm;

        // Shadowed where the light's depth image holds something clearly
        // nearer to the light; lit where it holds this surface itself.
        double u, v, d;
        gluProject(world[i][0], world[i][1], world[i][2], toLightView, toLightProjection,
                   unitSquare, &u, &v, &d);
        if (u <= 0.0 || u >= 1.0 || v <= 0.0 || v >= 1.0 || d >= 1.0) continue;
        const float stored = lightDepth[static_cast<size_t>(v * lightSize) * lightSize +
                                        static_cast<size_t>(u * lightSize)];
        if (stored < d - 0.004) {
          shadow[i] = Shadowed;
        } else if (stored > d - 0.0005) {
          shadow[i] = Lit;
        }
      }
  }

  bool upward(int i) const { return normal[i][1] > 0.9; }
  bool water(int i) const { return valid(i) && std::fabs(world[i][1] + 0.45) < 0.006; }

  // On the near side of a depth jump, or next to the sky.
  bool silhouette(int x, int y) const {
    const int i = y * size + x;
    if (!valid(i) || x < 2 || y < 2 || x >= size - 2 || y >= size - 2) return false;
    const double here = distance(i);
    for (int j : {i - 1, i + 1, i - size, i + size})
      if (!valid(j) || distance(j) > here * 1.15) return true;
    return false;
  }
};

// Window pixel showing colour-image pixel (x, y): the composite stretches the
// square image over the window.
struct WindowMap {
  int imageSize, width, height;
  int wx(int x) const { return static_cast<int>((x + 0.5) * width / imageSize); }
  int wy(int y) const { return static_cast<int>((y + 0.5) * height / imageSize); }
};

bool darkNear(const Picture& window, int x, int y, int radius, double threshold) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (window.luma(std::clamp(x + dx, 0, window.width - 1),
                      std::clamp(y + dy, 0, window.height - 1)) < threshold)
        return true;
  return false;
}

double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * (values.size() - 1))];
}

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    const std::vector<std::string> missing = missingShippedFiles();
    ASSERT_TRUE(missing.empty()) << "shipped data lacks " << missing.front();
    copyShippedData();
    session.start();
    W = demo.viewWidth;
    H = demo.viewHeight;
  }

  // Draws one frame of the look and reads the window.
  Picture draw(int style, int stereo = 0, bool plain = false) {
    session.frames(1, style, stereo, plain);
    return readWindow();
  }

  TestDir dir;
  DemoSession session;
  DemoRecord& demo = session.demo;
  int W = 0, H = 0;
};

TEST_F(PictureTest, ShippedDataInitialisesAndRunsEveryLookWithoutComplaint) {
  const std::string log = logText();
  for (int slot = 0; slot < 6; ++slot)
    EXPECT_EQ(countEntries("Shader Validation ID: " + std::to_string(slot) + ": "), 1)
        << "slot " << slot << "\n"
        << log;
  EXPECT_EQ(countEntries("Framebuffer Complete"), 5) << log;
  for (const char* complaint : {"Error", "not supported"})
    EXPECT_EQ(log.find(complaint), std::string::npos) << complaint << " in\n" << log;
  EXPECT_GT(demo.worldScene.meshCount, 0);
  // The shipped pass shaders are known for what they are.
  std::ostringstream hashes;
  for (const auto& file : std::filesystem::directory_iterator("Shaders"))
    hashes << file.path().generic_string() << " 0x" << std::hex
           << shaderTextHash(TestDir::read(file.path().string())) << "\n";
  EXPECT_TRUE(demo.passShadersShipped) << "render/ShippedShaders.cpp is behind:\n" << hashes.str();

  // No frame reports a GL error.
  session.keys.held[ws::VkF2] = 1;  // time runs, the camera stays
  for (int style = 1; style <= 3; ++style)
    for (int stereo = 0; stereo <= 1; ++stereo) {
      demo.eyeOffset = stereo ? 0.05f : 0.0f;
      for (int frame = 0; frame < 3; ++frame) {
        updateFrame(demo, 40);
        session.frames(1, style, stereo);
      }
    }
  EXPECT_EQ(logText(), log);
}

TEST_F(PictureTest, EveryStyleOutlinesSilhouettesShadesShadowsAndLeavesLightsBare) {
  for (int style = 1; style <= 3; ++style) {
    SCOPED_TRACE("style " + std::to_string(style));
    const Picture window = draw(style);
    keepPicture(window, "style" + std::to_string(style));
    FrameGeometry g;
    g.capture(demo);
    const Picture colour = readTarget(demo.renderTargets, 0);
    const WindowMap map{g.size, W, H};

    // Outlines: nearly every silhouette has graphite within two pixels.
    int silhouettes = 0, outlined = 0;
    for (int y = 0; y < g.size; y += 2)
      for (int x = 0; x < g.size; x += 2)
        if (g.silhouette(x, y)) {
          ++silhouettes;
          outlined += darkNear(window, map.wx(x), map.wy(y), 2, 0.4);
        }
    ASSERT_GT(silhouettes, 100) << "the default view shows no silhouettes";
    EXPECT_GT(static_cast<double>(outlined) / silhouettes, 0.7)
        << outlined << " of " << silhouettes << " silhouette samples outlined";

    // Cast shadows: darker than the same kind of ground in the light.
    double sum[3] = {};  // by FrameGeometry::Shadow
    int count[3] = {};
    for (int i = 0; i < g.size * g.size; ++i) {
      if (!g.valid(i) || !g.upward(i)) continue;
      const int x = map.wx(i % g.size), y = map.wy(i / g.size);
      sum[g.shadow[i]] += window.meanLuma(std::max(0, x - 2), std::max(0, y - 2),
                                          std::min(W, x + 3), std::min(H, y + 3));
      ++count[g.shadow[i]];
    }
    const int lit = FrameGeometry::Lit, shadowed = FrameGeometry::Shadowed;
    ASSERT_GT(count[shadowed], 500) << "no cast shadow on upward ground in view";
    ASSERT_GT(count[lit], 500);
    EXPECT_LT(sum[shadowed] / count[shadowed], sum[lit] / count[lit] - 0.05)
        << "shadowed " << sum[shadowed] / count[shadowed] << " lit " << sum[lit] / count[lit];

    // The brightest tenth of the colour image away from outlines: mostly
    // bare paper, much more than in the darkest tenth.
    std::vector<double> tones;
    std::vector<int> flat;
    for (int y = 8; y < g.size - 8; y += 3)
      for (int x = 8; x < g.size - 8; x += 3) {
        bool nearEdge = false;
        for (int d = -4; d <= 4 && !nearEdge; d += 2)
          nearEdge = g.silhouette(x + d, y) || g.silhouette(x, y + d);
        if (!g.valid(y * g.size + x) || nearEdge) continue;
        flat.push_back(y * g.size + x);
        tones.push_back(colour.luma(x, y));
      }
    std::vector<double> all;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) all.push_back(window.luma(x, y));
    const double paper = quantile(all, 0.97);
    const double brightTone = quantile(tones, 0.9), darkTone = quantile(tones, 0.1);
    double bright = 0, brightPaper = 0, dark = 0, darkPaper = 0;
    for (size_t k = 0; k < flat.size(); ++k) {
      const int x = map.wx(flat[k] % g.size), y = map.wy(flat[k] / g.size);
      const bool bare = window.luma(x, y) > paper - 0.1;
      if (tones[k] >= brightTone) ++bright, brightPaper += bare;
      if (tones[k] <= darkTone) ++dark, darkPaper += bare;
    }
    ASSERT_GT(bright, 100);
    EXPECT_GT(brightPaper / bright, 0.55) << "paper " << paper;
    EXPECT_GT(brightPaper / bright, darkPaper / std::max(dark, 1.0) + 0.25)
        << "dark regions show paper " << darkPaper / std::max(dark, 1.0);
  }
}

TEST_F(PictureTest, BluePencilIsBluerThanGreyPencil) {
  auto blueness = [](const Picture& p) {
    double sum = 0.0;
    for (size_t i = 0; i < p.rgba.size(); i += 4)
      sum += p.rgba[i + 2] - 0.5 * (p.rgba[i] + p.rgba[i + 1]);
    return sum / (p.rgba.size() / 4) / 255.0;
  };
  const double grey = blueness(draw(2));
  const double blue = blueness(draw(3));
  EXPECT_GT(blue, grey + 0.03) << "grey " << grey << " blue " << blue;
}

// Window luma blurred over 9 x 9 pixels: the shapes without the hatching,
// which is laid out in window pixels and so never moves between the halves.
std::vector<double> blurredLuma(const Picture& p) {
  std::vector<double> out(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
          out[static_cast<size_t>(y) * p.width + x] +=
              p.luma(std::clamp(x + dx, 0, p.width - 1), std::clamp(y + dy, 0, p.height - 1)) / 81;
  return out;
}

TEST_F(PictureTest, StereoHalvesShowTheWorldShiftedByTheEyeDistance) {
  for (float offset : {0.0f, 0.15f}) {
    SCOPED_TRACE("eye offset " + std::to_string(offset));
    demo.eyeOffset = offset;
    const Picture window = draw(1, 1);
    keepPicture(window, offset == 0.0f ? "stereo-same" : "stereo-apart");
    const int half = W / 2;
    // Block by block, the shift of the left half that best matches the right;
    // textured blocks that match show that each half is a drawing of the world.
    const std::vector<double> blurred = blurredLuma(window);
    auto at = [&](int x, int y) { return blurred[static_cast<size_t>(y) * W + x]; };
    const int block = 64, reach = 40;
    int shiftedBlocks = 0, backwardBlocks = 0, textured = 0;
    for (int by = 0; by + block <= H; by += block)
      for (int bx = reach; bx + block + reach <= half; bx += block) {
        double sum = 0.0, squares = 0.0, n = block * block;
        for (int y = by; y < by + block; ++y)
          for (int x = bx; x < bx + block; ++x)
            sum += at(half + x, y), squares += at(half + x, y) * at(half + x, y);
        if (squares / n - (sum / n) * (sum / n) < 0.002) continue;  // plain paper says nothing
        ++textured;
        int best = 0;
        double bestError = 1e30;
        for (int dx = -reach; dx <= reach; ++dx) {
          double error = 0.0;
          for (int y = by; y < by + block; y += 2)
            for (int x = bx; x < bx + block; x += 2)
              error += std::fabs(at(x + dx, y) - at(half + x, y));
          if (error < bestError - 1e-9) bestError = error, best = dx;
        }
        EXPECT_TRUE(offset != 0.0f || best == 0) << "block at " << bx << ", " << by;
        shiftedBlocks += best >= 2;
        backwardBlocks += best <= -2;
      }
    ASSERT_GT(textured, 10);
    if (offset != 0.0f) {
      // The right eye sits to the right: near things appear further left.
      EXPECT_GE(shiftedBlocks, 3) << "of " << textured << " blocks";
      EXPECT_LE(backwardBlocks, shiftedBlocks / 4) << "of " << textured << " blocks";
    }
  }
}

TEST_F(PictureTest, LeavingOutWhatLiesOutsideEachPassChangesNoPixel) {
  // Standing in the town: characters and parts of the scene lie behind the
  // camera or beside it.
  for (int stereo = 0; stereo <= 1; ++stereo)
    for (int style : {1, 2}) {
      SCOPED_TRACE("style " + std::to_string(style) + ", stereo " + std::to_string(stereo));
      demo.eyeOffset = stereo ? 0.05f : 0.0f;
      const Picture everything = draw(style, stereo, true);
      EXPECT_EQ(demo.characters->drawnCount(), demo.characters->placedCount());
      const Picture culled = draw(style, stereo);
      EXPECT_GT(demo.characters->drawnCount(), 0);
      EXPECT_LT(demo.characters->drawnCount(), demo.characters->placedCount());
      EXPECT_TRUE(everything.rgba == culled.rgba);
      // The shadow pass, too, leaves out characters whose shadows no eye sees.
      shadowPass(demo, frameOf(demo, false));
      EXPECT_LT(demo.characters->drawnCount(), demo.characters->placedCount());
    }
}

TEST_F(PictureTest, WhatStandsStillIsCopiedInOnlyWhileItStaysTheSame) {
  auto same = [&](const Picture& withCopies) {
    const bool equal = draw(1, 0, true).rgba == withCopies.rgba;
    return equal;
  };
  const Picture first = draw(1);
  EXPECT_TRUE(same(draw(1)));       // the copies are taken here...
  demo.characters->update(400.0f);  // with the characters' shadows moved
  EXPECT_TRUE(same(draw(1)));       // ...and copied in here
  // A camera that moved sees the scene afresh.
  demo.demoCamera.eye = demo.demoCamera.eye + Vector3(0.2f, 0.1f, 0.0f);
  const Picture moved = draw(1);
  EXPECT_TRUE(same(moved));
  EXPECT_FALSE(moved.rgba == first.rgba);
  // Without the scene its shadows are gone from the water too.
  draw(1);
  demo.worldScene.clear();
  const Picture bare = draw(1);
  EXPECT_TRUE(same(bare));
  EXPECT_FALSE(bare.rgba == moved.rgba);
}

TEST_F(PictureTest, WaterPhaseMovesTheWaterStrokesOnly) {
  // From the sea towards the island: water in front, land behind.
  demo.demoCamera.eye = Vector3(0.0f, 1.5f, 12.0f);
  demo.demoCamera.target = Vector3(0.0f, 0.0f, 4.0f);
  demo.waterMove = 0.0f;
  const Picture before = draw(1);
  FrameGeometry g;
  g.capture(demo);
  demo.waterMove = 0.05f;
  const Picture after = draw(1);
  const WindowMap map{g.size, W, H};
  double waterDiff = 0.0, landDiff = 0.0;
  int water = 0, land = 0;
  for (int y = 4; y < g.size - 4; y += 2)
    for (int x = 4; x < g.size - 4; x += 2) {
      const int i = y * g.size + x;
      if (!g.valid(i) || g.silhouette(x, y)) continue;
      const double d =
          std::fabs(before.luma(map.wx(x), map.wy(y)) - after.luma(map.wx(x), map.wy(y)));
      if (g.water(i)) {
        waterDiff += d;
        ++water;
      } else if (g.world[i][1] > -0.3) {
        landDiff += d;
        ++land;
      }
    }
  ASSERT_GT(water, 1000) << "no water in view";
  ASSERT_GT(land, 1000) << "no land in view";
  EXPECT_GT(waterDiff / water, 0.01);
  EXPECT_LT(landDiff / land, waterDiff / water / 3.0);
}

}  // namespace
