#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "base/Config.h"
#include "camera/Camera.h"
#include "gl/GlApi.h"
#include "platform/fake/FakeWindowSystem.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

float elevation(const Vector3& v) { return std::asin(v.y / v.length()); }
float azimuth(const Vector3& v) { return std::atan2(v.x, -v.z); }
float angleBetween(const Vector3& a, const Vector3& b) {
  return std::acos(std::fmin(1.0f, a.normalized().dot(b.normalized())));
}
float wrapped(float angle) { return std::remainder(angle, 2 * 3.14159265f); }
ws::WindowHandle const ourWindow = reinterpret_cast<ws::WindowHandle>(0x4242);

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.install();
    fake_.focus = ourWindow;
    placeDemo();
  }
  // Placed, with a first step taken so that mouse look holds the pointer.
  void placeDemo(float upX = 0.0f) {
    camera_.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, upX, 1.0f, 0.0f);
    camera_.step();
  }
  Vector3 view() const { return camera_.target - camera_.eye; }
  void mouse(int dx, int dy) {
    fake_.cursor = {512 + dx, 384 + dy};
    camera_.step();
  }
  // Leaves an interval of `millis` for the next movement.
  void interval(std::uint32_t millis) {
    camera_.step();
    fake_.mmTime += millis;
    camera_.step();
  }

  FakeWindowSystem fake_;
  Camera camera_;
};

TEST_F(CameraTest, PlaceScalesTheTargetAndPullsTheCursorToTheConfiguredCentre) {
  EXPECT_NEAR(camera_.target.x, 0.298275f, 1e-6f);
  EXPECT_NEAR(camera_.target.z, -0.95448f, 1e-5f);
  TestDir dir;
  TestDir::write("config.cfg", "1023 767");
  Config::instance().read();
  fake_.cursor = {3, 1000};
  fake_.cursorMoves.clear();
  camera_.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);
  TestDir::write("config.cfg", "1024 768");
  Config::instance().read();
  EXPECT_EQ(camera_.mouseAreaWidth, 1023);
  ASSERT_EQ(fake_.cursorMoves.size(), 1u);
  EXPECT_EQ(fake_.cursorMoves[0].x, 511);
  EXPECT_EQ(fake_.cursorMoves[0].y, 383);

  // Moved before the first step, the pointer is taken back without a turn:
  // the opening view does not depend on where it was.
  const Vector3 placed = view();
  fake_.cursor = {700, 100};
  camera_.step();
  EXPECT_EQ((view() - placed).length(), 0.0f);
  EXPECT_EQ(fake_.cursorMoves.size(), 2u);
  EXPECT_EQ(fake_.cursor.x, 511);
  EXPECT_EQ(fake_.cursor.y, 383);
  fake_.cursor = {511 + 50, 383};
  camera_.step();
  EXPECT_NEAR(wrapped(azimuth(view()) - azimuth(placed)), 0.1f, 1e-5f);
}

TEST_F(CameraTest, AFreedPointerIsLeftAloneAndTakenBackWithoutATurn) {
  // Freed by F2 (the demo lets the pointer go and takes no steps), by
  // another window taking the focus (the steps go on), or with the focus
  // elsewhere while the camera is placed again (a rebuild) and steps.
  enum Freed { ByF2, ByFocus, PlacedWithoutFocus };
  for (const Freed freed : {ByF2, ByFocus, PlacedWithoutFocus}) {
    SCOPED_TRACE(freed);
    placeDemo();
    const Vector3 before = view();
    fake_.cursorMoves.clear();
    if (freed == ByF2) {
      camera_.releasePointer();
      fake_.cursor = {512 + 120, 384 - 40};
    } else {
      fake_.focus = nullptr;
      mouse(120, -40);
      if (freed == PlacedWithoutFocus)
        camera_.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);
      mouse(-30, 60);
    }
    EXPECT_TRUE(fake_.cursorMoves.empty());
    EXPECT_EQ((view() - before).length(), 0.0f);

    fake_.focus = ourWindow;
    mouse(-30, 60);
    EXPECT_EQ((view() - before).length(), 0.0f);
    ASSERT_EQ(fake_.cursorMoves.size(), 1u);
    EXPECT_EQ(fake_.cursor.x, 512);
    EXPECT_EQ(fake_.cursor.y, 384);
    mouse(50, 0);
    EXPECT_NEAR(wrapped(azimuth(view()) - azimuth(before)), 0.1f, 1e-5f);
  }
}

TEST_F(CameraTest, MouseRightTurnsRightAndMouseUpLooksUp) {
  const int moves[][2] = {{0, 0}, {100, 0}, {0, -100}, {-40, 70}};
  for (const auto& m : moves) {
    placeDemo();
    camera_.pitchTotal = 0.0f;
    const Vector3 before = view();
    fake_.cursorMoves.clear();
    mouse(m[0], m[1]);
    // A resting cursor is left alone.
    EXPECT_EQ(fake_.cursorMoves.size(), m[0] || m[1] ? 1u : 0u);
    EXPECT_NEAR(wrapped(azimuth(view()) - azimuth(before)), m[0] * 0.002f, 1e-5f);
    EXPECT_NEAR(elevation(view()) - elevation(before), -m[1] * 0.002f, 1e-5f);
    EXPECT_NEAR(view().length(), before.length(), 1e-6f);
    EXPECT_EQ(fake_.cursor.x, 512);
    EXPECT_EQ(fake_.cursor.y, 384);
  }
}

TEST_F(CameraTest, PitchStopsAtItsLimitsWhileYawGoesOn) {
  const struct {
    int push;
    float limit;
  } cases[] = {{-10000, 1.0f}, {10000, -1.4f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    placeDemo();
    camera_.pitchTotal = 0.0f;
    const Vector3 start = view();
    mouse(0, c.push);
    EXPECT_EQ(camera_.pitchTotal, c.limit);
    EXPECT_NEAR(angleBetween(start, view()), std::fabs(c.limit), 1e-5f);
    EXPECT_EQ(view().y > start.y, c.limit > 0);
    const Vector3 atLimit = view();
    mouse(50, c.push);
    EXPECT_EQ(camera_.pitchTotal, c.limit);
    EXPECT_NEAR(elevation(view()), elevation(atLimit), 1e-5f);
    EXPECT_NEAR(wrapped(azimuth(view()) - azimuth(atLimit)), 0.1f, 1e-4f);
  }
  // Placing again keeps the pitch already used up.
  mouse(0, -300);
  placeDemo();
  const Vector3 placed = view();
  mouse(0, -10000);
  EXPECT_NEAR(angleBetween(placed, view()), 1.4f + 0.4f, 1e-5f);
}

TEST_F(CameraTest, KeysWalkAndSidestepByTheInterval) {
  const struct {
    std::vector<int> keys;
    float forward, right, upX = 0.0f;
  } cases[] = {
      // A tilted up gives the side axis a vertical part, which sidesteps ignore.
      {{'D'}, 0, 1, 0.3f},   {{'W'}, 1, 0},         {{ws::VkUp}, 1, 0},
      {{'S'}, -1, 0},        {{ws::VkDown}, -1, 0}, {{'A'}, 0, -1},
      {{ws::VkLeft}, 0, -1}, {{'D'}, 0, 1},         {{ws::VkRight}, 0, 1},
      {{'W', 'S'}, 0, 0},    {{'W', 'D'}, 1, 1},    {{ws::VkLeft, 'D', ws::VkUp, 'S'}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys.size());
    placeDemo(c.upX);
    interval(200);
    const Vector3 eye = camera_.eye, before = view();
    Vector3 side = Vector3(-before.z, c.upX * before.z, before.x - c.upX * before.y).normalized();
    side.y = 0;
    for (int key : c.keys) fake_.keysHeld[key] = true;
    camera_.step();
    fake_.keysHeld.clear();
    const Vector3 expected = before.normalized() * (0.1f * c.forward) + side * (0.1f * c.right);
    const Vector3 moved = camera_.eye - eye;
    EXPECT_NEAR((moved - expected).length(), 0.0f, 1e-6f);
    EXPECT_NEAR((view() - before).length(), 0.0f, 1e-6f);
  }
}

TEST_F(CameraTest, FirstMovesAfterFreezingUseTheLastIntervalThenTheFrozenTime) {
  fake_.mmTime = 1000;
  interval(16);
  fake_.mmTime += 4000;  // F2 held: no steps
  fake_.keysHeld['W'] = true;
  const Vector3 start = camera_.eye;
  camera_.step();
  EXPECT_NEAR((camera_.eye - start).length(), 0.008f, 1e-6f);
  const Vector3 second = camera_.eye;
  fake_.mmTime += 16;
  camera_.step();
  EXPECT_NEAR((camera_.eye - second).length(), 2.0f, 1e-5f);
}

TEST(FrameTimer, MeasuresWholeMillisecondsAcrossLongUptimesAndTheWrap) {
  FakeWindowSystem fake;
  fake.install();
  const struct {
    std::uint32_t first, second;
    float seconds;
  } cases[] = {{1000, 1016, 0.016f},
               {400000000, 400000016, 0.016f},
               {0xFFFFFFF0u, 0x10, 0.032f},
               {7, 7, 0.0f}};
  FrameTimer timer;
  for (const auto& c : cases) {
    timer.reset();
    fake.mmTime = c.first;
    timer.tick();
    EXPECT_EQ(timer.frameSeconds, 0.0f);
    fake.mmTime = c.second;
    timer.tick();
    EXPECT_FLOAT_EQ(timer.frameSeconds, c.seconds);
  }
}

TEST_F(CameraTest, AViewParallelToUpKeepsTheLastSideAxis) {
  interval(200);
  const Vector3 side = camera_.side;
  camera_.target = camera_.eye + Vector3(0, -1, 0);
  fake_.keysHeld['D'] = true;
  const Vector3 eye = camera_.eye;
  mouse(30, -30);
  EXPECT_EQ(std::vector<float>({camera_.side.x, camera_.side.z}),
            std::vector<float>({side.x, side.z}));
  EXPECT_NEAR((camera_.eye - eye - side * 0.1f).length(), 0.0f, 1e-6f);
  EXPECT_NEAR(view().length(), 1.0f, 1e-6f);  // fails on not-a-number too
}

// What the passes cull with is the view they draw with: both are made of one
// pose, one by gluLookAt, the other here.
TEST(CameraView, OffsetViewsMoveTheEyeSidewaysAndCullAsTheyDraw) {
  REQUIRE_HEADLESS_GL();
  const struct {
    Vector3 eye, target, up;
  } cameras[] = {
      {{0.0f, 0.3125f, 0.0f}, {0.3125f, 0.0f, -1.0f}, {0.0f, 1.0f, 0.0f}},
      {{3.0f, 2.0f, -4.0f}, {3.001f, -5.0f, -4.0f}, {0.0f, 1.0f, 0.0f}},  // nearly straight down
      {{0.0f, 0.5f, 199.8f}, {0.0f, 0.5f, 0.0f}, {0.0f, 1.0f, 0.0f}},     // out at the far plane
      {{-196.706f, 0.5f, 0.0f}, {0.0f, 0.5f, 0.0f}, {0.0f, 0.0f, 1.0f}},  // up not upright
  };
  for (const auto& c : cameras) {
    Camera camera;
    camera.place(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, c.up.x, c.up.y,
                 c.up.z);
    const float distance = (camera.target - camera.eye).length();
    for (float d : {0.05f, -0.05f, 0.0f, 0.3f}) {
      SCOPED_TRACE(::testing::Message() << "eye " << c.eye.x << ", offset " << d);
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      d == 0.0f ? camera.applyView() : camera.applyOffsetView(d);
      float m[16];
      glGetFloatv(GL_MODELVIEW_MATRIX, m);
      Matrix4 made;
      camera.viewMatrix(d, made);
      const float scale = 1.0f + camera.eye.length() + camera.target.length();
      for (int i = 0; i < 16; ++i) EXPECT_NEAR(made[i], m[i], 4e-7f * scale) << "element " << i;
      // Where the unshifted eye and target land in the shifted eye's space.
      for (const auto& [point, z] :
           {std::pair{camera.eye, 0.0f}, std::pair{camera.target, -distance}}) {
        const float expected[3] = {-d, 0.0f, z};
        for (int r = 0; r < 3; ++r)
          EXPECT_NEAR(m[r] * point.x + m[4 + r] * point.y + m[8 + r] * point.z + m[12 + r],
                      expected[r], 2e-6f * scale)
              << "row " << r;
      }
    }
  }
}

}  // namespace
