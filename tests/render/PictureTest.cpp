// The demo on its shipped data: a clean initialisation, frames without GL
// errors in every look, and pictures that have what a pencil drawing must
// have. Where the world is, which pixels are silhouettes, shadowed or water is
// found from the depth buffers of the passes, independently of the shaders.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "app/Window.h"
#include "camera/Camera.h"
#include "render/FramePasses.h"
#include "tests/render/DemoHarness.h"
#include "world/Scene.h"

namespace {

using namespace demo_harness;
using Mat4 = std::array<double, 16>;  // column-major
using Vec3 = std::array<double, 3>;

Mat4 multiply(const Mat4& a, const Mat4& b) {
  Mat4 m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
  return m;
}

Mat4 inverse(const Mat4& m) {
  // Gauss-Jordan on rows of [m | I]; matrices here are well conditioned.
  double a[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      a[r][c] = m[c * 4 + r];
      a[r][c + 4] = r == c ? 1.0 : 0.0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    std::swap(a[col], a[pivot]);
    const double p = a[col][col];
    for (double& v : a[col]) v /= p;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double f = a[r][col];
      for (int c = 0; c < 8; ++c) a[r][c] -= f * a[col][c];
    }
  }
  Mat4 out{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[c * 4 + r] = a[r][c + 4];
  return out;
}

std::array<double, 4> transform(const Mat4& m, double x, double y, double z, double w) {
  std::array<double, 4> out{};
  for (int r = 0; r < 4; ++r) out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r] * w;
  return out;
}

Mat4 matrixOf(GLenum mode, GLenum which, void (*build)()) {
  glMatrixMode(mode);
  glPushMatrix();
  glLoadIdentity();
  build();
  Mat4 m{};
  glGetDoublev(which, m.data());
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  return m;
}

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

  void capture() {
    size = renderTargets.size(0);
    depth = readTargetDepth(0);
    const std::vector<float> lightDepth = readTargetDepth(2);
    const int lightSize = renderTargets.size(2);
    const Mat4 projection = matrixOf(GL_PROJECTION, GL_PROJECTION_MATRIX, [] {
      gluPerspective(75.0, static_cast<double>(viewWidth) / viewHeight, 0.1f, 200.0);
    });
    const Mat4 view = matrixOf(GL_MODELVIEW, GL_MODELVIEW_MATRIX, [] { demoCamera.applyView(); });
    const Mat4 unproject = inverse(multiply(projection, view));
    Mat4 lightProjectionD{}, lightModelviewD{};
    std::copy(lightProjection, lightProjection + 16, lightProjectionD.begin());
    std::copy(lightModelview, lightModelview + 16, lightModelviewD.begin());
    const Mat4 toLight = multiply(lightProjectionD, lightModelviewD);
    eye = {demoCamera.eye.x, demoCamera.eye.y, demoCamera.eye.z};

    const size_t n = static_cast<size_t>(size) * size;
    world.assign(n, Vec3{});
    normal.assign(n, Vec3{});
    shadow.assign(n, Unknown);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const int i = y * size + x;
        if (!valid(i)) continue;
        const auto p = transform(unproject, 2.0 * (x + 0.5) / size - 1.0,
                                 2.0 * (y + 0.5) / size - 1.0, 2.0 * depth[i] - 1.0, 1.0);
        world[i] = {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
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
        const auto l = transform(toLight, world[i][0], world[i][1], world[i][2], 1.0);
        const double u = (l[0] + 1.0) / 2.0, v = (l[1] + 1.0) / 2.0, d = (l[2] + 1.0) / 2.0;
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

  // Facing the light: the shading of the colour pass is at its brightest.
  bool facesLight(int i) const {
    const Vec3 toLight = {-90.0, 140.0, -90.0};
    return dot(normal[i], toLight) / length(toLight) > 0.5;
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
    for (int dx = -radius; dx <= radius; ++dx) {
      const int px = x + dx, py = y + dy;
      if (px < 0 || py < 0 || px >= window.width || py >= window.height) continue;
      if (window.luma(px, py) < threshold) return true;
    }
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
    W = viewWidth;
    H = viewHeight;
  }

  // Draws one frame of the look and reads the window.
  Picture draw(int style, int stereo = 0) {
    session.frames(1, style, stereo);
    return readWindow();
  }

  TestDir dir;
  DemoSession session;
  int W = 0, H = 0;
};

TEST_F(PictureTest, ShippedDataInitialisesWithoutComplaint) {
  const std::string log = logText();
  for (int slot = 0; slot < 6; ++slot)
    EXPECT_EQ(countEntries(log, "Shader Validation ID: " + std::to_string(slot) + ": "), 1)
        << "slot " << slot << "\n"
        << log;
  EXPECT_EQ(countEntries(log, "Framebuffer Complete"), 5) << log;
  for (const char* complaint : {"Compiling Error", "Linker Error", "Error", "not supported"})
    EXPECT_EQ(log.find(complaint), std::string::npos) << complaint << " in\n" << log;
  EXPECT_GT(worldScene.meshCount, 0);
}

TEST_F(PictureTest, NoFrameReportsAGlErrorInAnyLook) {
  const std::string before = logText();
  session.keys.held[ws::VkF2] = 1;  // time runs, the camera stays
  for (int style = 1; style <= 3; ++style)
    for (int stereo = 0; stereo <= 1; ++stereo) {
      eyeOffset = stereo ? 0.05f : 0.0f;
      for (int frame = 0; frame < 3; ++frame) {
        updateFrame(40);
        session.frames(1, style, stereo);
      }
    }
  EXPECT_EQ(logText(), before);
}

TEST_F(PictureTest, EveryStyleOutlinesSilhouettesShadesShadowsAndLeavesLightsBare) {
  for (int style = 1; style <= 3; ++style) {
    SCOPED_TRACE("style " + std::to_string(style));
    const Picture window = draw(style);
    keepPicture(window, "style" + std::to_string(style));
    FrameGeometry g;
    g.capture();
    const Picture colour = readTarget(0);
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
    double shadowSum = 0, litSum = 0;
    int shadowCount = 0, litCount = 0;
    for (int i = 0; i < g.size * g.size; ++i) {
      if (!g.valid(i) || !g.upward(i) || g.shadow[i] == FrameGeometry::Unknown) continue;
      const double l =
          window.meanLuma(std::max(0, map.wx(i % g.size) - 2), std::max(0, map.wy(i / g.size) - 2),
                          std::min(W, map.wx(i % g.size) + 3), std::min(H, map.wy(i / g.size) + 3));
      if (g.shadow[i] == FrameGeometry::Shadowed) {
        shadowSum += l;
        ++shadowCount;
      } else {
        litSum += l;
        ++litCount;
      }
    }
    ASSERT_GT(shadowCount, 500) << "no cast shadow on upward ground in view";
    ASSERT_GT(litCount, 500);
    EXPECT_LT(shadowSum / shadowCount, litSum / litCount - 0.05)
        << "shadowed " << shadowSum / shadowCount << " lit " << litSum / litCount;

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
    std::vector<double> all(window.rgba.size() / 4);
    for (size_t i = 0; i < all.size(); ++i)
      all[i] = window.luma(static_cast<int>(i % W), static_cast<int>(i / W));
    const double paper = quantile(all, 0.97);
    const double brightTone = quantile(tones, 0.9), darkTone = quantile(tones, 0.1);
    int bright = 0, brightPaper = 0, dark = 0, darkPaper = 0;
    for (size_t k = 0; k < flat.size(); ++k) {
      const int x = flat[k] % g.size, y = flat[k] / g.size;
      const bool bare = window.luma(map.wx(x), map.wy(y)) > paper - 0.1;
      if (tones[k] >= brightTone) {
        ++bright;
        brightPaper += bare;
      } else if (tones[k] <= darkTone) {
        ++dark;
        darkPaper += bare;
      }
    }
    ASSERT_GT(bright, 100);
    const double brightShare = static_cast<double>(brightPaper) / bright;
    const double darkShare = dark ? static_cast<double>(darkPaper) / dark : 0.0;
    EXPECT_GT(brightShare, 0.55) << "paper " << paper;
    EXPECT_GT(brightShare, darkShare + 0.25) << "dark regions show paper " << darkShare;
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
  std::vector<double> rows(static_cast<size_t>(p.width) * p.height), out(rows.size());
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      double sum = 0.0;
      for (int d = -4; d <= 4; ++d) sum += p.luma(std::clamp(x + d, 0, p.width - 1), y);
      rows[static_cast<size_t>(y) * p.width + x] = sum / 9.0;
    }
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      double sum = 0.0;
      for (int d = -4; d <= 4; ++d)
        sum += rows[static_cast<size_t>(std::clamp(y + d, 0, p.height - 1)) * p.width + x];
      out[static_cast<size_t>(y) * p.width + x] = sum / 9.0;
    }
  return out;
}

TEST_F(PictureTest, StereoHalvesShowTheWorldShiftedByTheEyeDistance) {
  for (float offset : {0.0f, 0.15f}) {
    SCOPED_TRACE("eye offset " + std::to_string(offset));
    eyeOffset = offset;
    const Picture window = draw(1, 1);
    keepPicture(window, offset == 0.0f ? "stereo-same" : "stereo-apart");
    const int half = W / 2;
    for (int side = 0; side < 2; ++side) {
      // Each half is a drawing: paper and a good amount of graphite.
      int graphite = 0, paper = 0;
      for (int y = 0; y < H; y += 2)
        for (int x = side * half; x < (side + 1) * half; x += 2) {
          const double l = window.luma(x, y);
          graphite += l < 0.4;
          paper += l > 0.8;
        }
      EXPECT_GT(graphite, W * H / 200) << "half " << side;
      EXPECT_GT(paper, W * H / 50) << "half " << side;
    }

    // Block by block, the shift of the left half that best matches the right.
    const std::vector<double> blurred = blurredLuma(window);
    auto at = [&](int x, int y) { return blurred[static_cast<size_t>(y) * W + x]; };
    const int block = 64, reach = 40;
    int shiftedBlocks = 0, backwardBlocks = 0, textured = 0;
    for (int by = 0; by + block <= H; by += block)
      for (int bx = reach; bx + block + reach <= half; bx += block) {
        double mean = 0.0, variance = 0.0;
        for (int y = by; y < by + block; ++y)
          for (int x = bx; x < bx + block; ++x) mean += at(half + x, y);
        mean /= block * block;
        for (int y = by; y < by + block; ++y)
          for (int x = bx; x < bx + block; ++x) variance += std::pow(at(half + x, y) - mean, 2);
        if (variance / (block * block) < 0.002) continue;  // plain paper says nothing
        ++textured;
        int best = 0;
        double bestError = 1e30;
        for (int dx = -reach; dx <= reach; ++dx) {
          double error = 0.0;
          for (int y = by; y < by + block; y += 2)
            for (int x = bx; x < bx + block; x += 2)
              error += std::fabs(at(x + dx, y) - at(half + x, y));
          if (error < bestError - 1e-9) {
            bestError = error;
            best = dx;
          }
        }
        if (offset == 0.0f) {
          EXPECT_EQ(best, 0) << "block at " << bx << ", " << by;
        }
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

TEST_F(PictureTest, WaterPhaseMovesTheWaterStrokesOnly) {
  // From the sea towards the island: water in front, land behind.
  demoCamera.eye = Vector3(0.0f, 1.5f, 12.0f);
  demoCamera.target = Vector3(0.0f, 0.0f, 4.0f);
  waterMove = 0.0f;
  const Picture before = draw(1);
  FrameGeometry g;
  g.capture();
  waterMove = 0.05f;
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
