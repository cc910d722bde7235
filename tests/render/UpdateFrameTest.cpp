#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <vector>

#include "app/Shell.h"
#include "base/Config.h"
#include "camera/Camera.h"
#include "contract/DemoContract.h"
#include "platform/fake/FakeWindowSystem.h"
#include "render/Demo.h"
#include "render/DemoRecord.h"

namespace {

class UpdateFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.install();
    window.window = reinterpret_cast<ws::WindowHandle>(0x4242);
    window.keys = &keys;
    demo.demoWindow = &window;
    demo.demoKeys = &keys;
    window.keepRunning = 1;
    system.focus = window.window;
    demo.demoCamera.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);
    // Placing rests the cursor at the centre, so the mouse turns nothing by itself.
    system.cursorMoves.clear();
  }
  void hold(std::initializer_list<int> virtualKeys) {
    for (int key : virtualKeys) keys.held[key] = 1;
  }
  std::vector<std::uint32_t> postedMessages() const {
    std::vector<std::uint32_t> messages;
    for (const ws::Message& m : system.posted) {
      EXPECT_EQ(m.window, window.window);
      messages.push_back(m.message);
    }
    return messages;
  }

  void updateFrame(std::uint32_t elapsedMs) { ::updateFrame(demo, elapsedMs); }

  FakeWindowSystem system;
  RenderWindow window;
  KeyStates keys;
  DemoRecord demo;
};

TEST_F(UpdateFrameTest, HeldKeysChooseStyleAndStereoLastTestedWins) {
  const struct {
    std::vector<int> held;
    std::int32_t styleBefore;
    std::uint8_t stereoBefore;
    std::int32_t styleAfter;
    std::uint8_t stereoAfter;
  } cases[] = {
      {{}, 2, 1, 2, 1},         {{'1'}, 3, 0, 1, 0},
      {{'2'}, 1, 0, 2, 0},      {{'1', '2', '3'}, 1, 0, 3, 0},
      {{'9'}, 1, 0, 1, 1},      {{'0'}, 1, 1, 1, 0},
      {{'9', '0'}, 1, 0, 1, 0}, {{'9', '0'}, 1, 1, 1, 0},
      {{'3', '9'}, 1, 0, 3, 1},
  };
  for (const auto& c : cases) {
    keys = KeyStates{};
    for (int key : c.held) keys.held[key] = 1;
    demo.compositeStyle = c.styleBefore;
    demo.stereoEnabled = c.stereoBefore;
    updateFrame(16);
    EXPECT_EQ(demo.compositeStyle, c.styleAfter) << "case " << &c - cases;
    EXPECT_EQ(demo.stereoEnabled, c.stereoAfter) << "case " << &c - cases;
  }
  EXPECT_TRUE(system.posted.empty());
}

TEST_F(UpdateFrameTest, EyeOffsetMovesOneHundredthPerSecondAndStopsAtItsLimits) {
  hold({'Q'});
  for (int frame = 0; frame < 2500; ++frame) updateFrame(20);  // 50 s
  EXPECT_NEAR(demo.eyeOffset, 0.5f, 1e-3f);
  for (int frame = 0; frame < 3000; ++frame) updateFrame(20);  // past 100 s
  EXPECT_EQ(demo.eyeOffset, 1.0f);

  keys = KeyStates{};
  hold({'E'});
  updateFrame(4000000000u);  // one enormous interval still ends at the limit
  EXPECT_EQ(demo.eyeOffset, -1.0f);
  hold({'Q'});  // both held cancel
  updateFrame(1000);
  EXPECT_EQ(demo.eyeOffset, -1.0f);
}

TEST_F(UpdateFrameTest, WaterPhaseAdvancesAndWrapsAboveTwoThousand) {
  updateFrame(1000);
  EXPECT_NEAR(demo.waterMove, 0.1f, 1e-6f);
  demo.waterMove = 1999.95f;
  updateFrame(1);
  EXPECT_GT(demo.waterMove, 1999.9f);
  updateFrame(1000);
  EXPECT_EQ(demo.waterMove, 0.0f);
}

TEST_F(UpdateFrameTest, F2FreezesTheCameraButNotTheWater) {
  // Mouse pushed right and W held: an unfrozen frame would turn and fly.
  system.keysHeld['W'] = true;
  const Vector3 eye = demo.demoCamera.eye;
  const Vector3 target = demo.demoCamera.target;
  hold({ws::VkF2});
  system.cursor = ws::Point{(demo.demoCamera.mouseAreaWidth >> 1) + 40,
                            (demo.demoCamera.mouseAreaHeight >> 1) - 10};
  system.mmTime = 1000;
  updateFrame(500);
  system.mmTime = 2000;
  updateFrame(500);
  EXPECT_EQ((demo.demoCamera.eye - eye).length(), 0.0f);
  EXPECT_EQ((demo.demoCamera.target - target).length(), 0.0f);
  EXPECT_TRUE(system.cursorMoves.empty());
  EXPECT_NEAR(demo.waterMove, 0.1f, 1e-6f);

  // Released: the first frame takes the pointer back without turning, then
  // the mouse turns; the flight needs a measured interval.
  keys.held[ws::VkF2] = 0;
  system.mmTime = 3000;
  updateFrame(500);
  ASSERT_EQ(system.cursorMoves.size(), 1u);
  EXPECT_EQ(system.cursor.x, demo.demoCamera.mouseAreaWidth >> 1);
  EXPECT_EQ(((demo.demoCamera.target - demo.demoCamera.eye) - (target - eye)).length(), 0.0f);
  system.cursor = ws::Point{(demo.demoCamera.mouseAreaWidth >> 1) + 40,
                            (demo.demoCamera.mouseAreaHeight >> 1) - 10};
  for (std::uint32_t time : {4000u, 5000u}) {
    system.mmTime = time;
    updateFrame(500);
  }
  EXPECT_GT(((demo.demoCamera.target - demo.demoCamera.eye) - (target - eye)).length(), 0.05f);
  EXPECT_GT(std::fabs(demo.demoCamera.eye.z - eye.z), 0.0f);
}

TEST_F(UpdateFrameTest, EscapeAndF1PostTheirRequests) {
  updateFrame(16);
  EXPECT_TRUE(system.posted.empty());
  EXPECT_EQ(window.keepRunning, 1);

  hold({ws::VkF1});
  updateFrame(16);
  EXPECT_EQ(postedMessages(), std::vector<std::uint32_t>{MSG_TOGGLE_SCREEN_MODE});
  EXPECT_EQ(window.keepRunning, 1);

  system.posted.clear();
  hold({ws::VkEscape});
  updateFrame(16);
  EXPECT_EQ(postedMessages(), (std::vector<std::uint32_t>{ws::MsgQuit, MSG_TOGGLE_SCREEN_MODE}));
  EXPECT_EQ(window.keepRunning, 0);

  // Held keys act again on every frame.
  system.posted.clear();
  updateFrame(16);
  EXPECT_EQ(postedMessages(), (std::vector<std::uint32_t>{ws::MsgQuit, MSG_TOGGLE_SCREEN_MODE}));
}

TEST_F(UpdateFrameTest, KeysTappedBetweenUpdatesActOnceAndHeldKeysEveryUpdate) {
  // The shell's hooks carry no state: this test's record stands in for the
  // program's while it runs.
  static DemoRecord* updated;
  updated = &demo;
  DemoHooks hooks;
  hooks.update = [](std::uint32_t elapsedMs) { ::updateFrame(*updated, elapsedMs); };
  // What the window procedure leaves after a key went down (and, for a tap, up again).
  auto press = [this](int key, bool stillHeld) {
    keys.downSinceUpdate[key] = 1;
    keys.held[key] = stillHeld ? 1 : 0;
  };
  auto update = [&](std::uint32_t time) {
    system.mmTime = time;
    updateWithKeys(window, hooks, 16);
  };
  update(1000);
  update(1100);

  press(ws::VkEscape, false);
  press(ws::VkF1, false);
  press('2', false);
  press('W', false);
  const Vector3 eye = demo.demoCamera.eye;
  update(1200);
  EXPECT_EQ(postedMessages(), (std::vector<std::uint32_t>{ws::MsgQuit, MSG_TOGGLE_SCREEN_MODE}));
  EXPECT_EQ(window.keepRunning, 0);
  EXPECT_EQ(demo.compositeStyle, 2);
  const float moved = (demo.demoCamera.eye - eye).length();
  EXPECT_GT(moved, 0.0f);

  system.posted.clear();
  demo.compositeStyle = 1;
  update(1300);
  EXPECT_TRUE(system.posted.empty());
  EXPECT_EQ(demo.compositeStyle, 1);
  EXPECT_EQ((demo.demoCamera.eye - eye).length(), moved);

  press('9', true);
  for (std::uint32_t time : {1400u, 1500u}) {
    demo.stereoEnabled = 0;
    update(time);
    EXPECT_EQ(demo.stereoEnabled, 1);
  }
}

}  // namespace
