#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <sstream>
#include <vector>

#include "base/Log.h"
#include "characters/CharacterManager.h"
#include "gl/ViewVolume.h"
#include "tests/characters/CharacterFixtures.h"

// Counts operator new while a test asks, to show that update allocates nothing.
namespace {
bool countingAllocations = false;
std::size_t allocations = 0;
// Out of line, so the compiler does not pair the malloc with a delete.
[[gnu::noinline]] void releaseBlock(void* p) { std::free(p); }
}  // namespace

void* operator new(std::size_t size) {
  if (countingAllocations) ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { releaseBlock(p); }
void operator delete(void* p, std::size_t) noexcept { releaseBlock(p); }

namespace {

WaypointNetwork networkOf(const std::vector<Vector3>& positions,
                          const std::vector<std::vector<std::int32_t>>& links) {
  WaypointNetwork network;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    Waypoint w;
    w.position = positions[i];
    for (std::int32_t l : links[i]) w.addLink(l);
    network.add(w);
  }
  return network;
}

// A character following `network` towards `target` from `at`.
struct Walker {
  Walker(const WaypointNetwork& network, std::int32_t target, Vector3 at, float speed = 0.0001f) {
    character.setSpeed(speed);
    character.setController(0, &network);
    character.position = at;
    follower().targetWaypoint = target;
  }
  WaypointFollower& follower() { return *static_cast<WaypointFollower*>(character.controller()); }
  Character character;
};

TEST(Animation, StepsOneFrameAtATimeAndRestartsAtTheClipsFirst) {
  // Clip 0: frames 0 and 1; clip 1: frames 2 to 5; clip 2 ends at frame 0.
  std::ostringstream text;
  text << "3 0 1 0.01 2 5 0.01 0 0 0.01 1 10 100 6";
  for (int f = 0; f <= 6; ++f) text << " 0 0 0 0 0 0 1";
  CharacterModel model;
  std::istringstream in(text.str());
  std::string error;
  ASSERT_TRUE(model.parse(in, error)) << error;
  struct Case {
    std::int32_t clip;
    std::vector<float> elapsed;
    std::uint32_t frame, next;
    float phase;
  };
  const Case cases[] = {
      {0, {0.0f, 0.0f}, 0, 1, 0.0f},
      {0, {60.0f, 60.0f, 30.0f}, 0, 1, 0.3f},           // 0 into 1, then from 0 again
      {1, {100.0f, 100.0f, 100.0f}, 2, 3, 0.0f},        // 4 into 5 was the last blend
      {1, {250.0f}, 3, 4, 0.0f},                        // one step a call, the excess dropped
      {2, std::vector<float>(50, 100.0f), 0, 0, 0.0f},  // stays on its one frame
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("clip " + std::to_string(c.clip) + ", calls " + std::to_string(c.elapsed.size()));
    Character character;
    character.attachModel(&model);
    character.animation.startClip(c.clip);
    for (float ms : c.elapsed) character.update(ms);
    EXPECT_EQ(character.animation.frame, c.frame);
    EXPECT_EQ(character.animation.nextFrame, c.next);
    EXPECT_NEAR(character.animation.phase, c.phase, 1e-5f);
  }
}

TEST(Walking, StepsInAllThreeAxesAndOnArrivalMovesOn) {
  const WaypointNetwork network = networkOf({{0, 0, 0}, {3, 4, 0}, {0, 0, 5}}, {{1}, {2}, {0}});
  Walker far(network, 1, {0, 0, 0}, 0.001f);
  far.character.update(1000.0f);  // one unit of the five
  EXPECT_NEAR(far.character.position.x, 0.6f, 1e-5f);
  EXPECT_NEAR(far.character.position.y, 0.8f, 1e-5f);
  EXPECT_EQ(far.follower().targetWaypoint, 1);

  // Elapsed 0 moves nothing but still moves on from a waypoint within 0.1.
  Walker near(network, 0, {0.05f, 0.02f, -0.05f});
  near.follower().previousWaypoint = 2;
  near.character.update(0.0f);
  EXPECT_FLOAT_EQ(near.character.position.x, 0.05f);
  EXPECT_EQ(near.follower().previousWaypoint, 0);
  EXPECT_EQ(near.follower().targetWaypoint, 1);

  // Exactly on the target there is no direction: no step, no turn, no NaN.
  Walker on(network, 2, {0, 0, 5});
  on.follower().heading = 0.7f;
  on.character.update(16.0f);
  EXPECT_EQ(on.character.position.z, 5.0f);
  EXPECT_FLOAT_EQ(on.follower().heading, 0.7f);
  EXPECT_FALSE(std::isnan(on.character.orientation.w));
  EXPECT_EQ(on.follower().targetWaypoint, 0);
}

TEST(Walking, ArrivalAvoidsTheWaypointItCameFromWhenItCan) {
  struct Case {
    std::vector<std::int32_t> links;  // 3 is where the character came from
    std::uint32_t draw;
    std::int32_t next;
  };
  const Case cases[] = {
      {{3}, 0, 3},        // the single link leads back: turn back
      {{3, 1, 2}, 0, 2},  // (p, a, b) drawing p: b
      {{1, 3, 2}, 1, 1},  // (a, p, b) drawing p: a
      {{1, 3, 2}, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("draw " + std::to_string(c.draw));
    const WaypointNetwork network =
        networkOf({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}}, {c.links, {0}, {0}, {0}});
    Walker w(network, 0, {0.05f, 0, 0});
    w.follower().previousWaypoint = 3;
    // Seeds the generator so that its next rand() mod n is the draw wanted.
    const auto n = static_cast<unsigned>(c.links.size());
    unsigned seed = 1;
    for (std::srand(seed); static_cast<unsigned>(std::rand()) % n != c.draw; std::srand(++seed)) {
    }
    std::srand(seed);
    w.character.update(16.0f);
    EXPECT_EQ(w.follower().previousWaypoint, 0);
    EXPECT_EQ(w.follower().targetWaypoint, c.next);
  }
}

TEST(Walking, ADeadEndKeepsTheCharacterThereWithItsTarget) {
  const WaypointNetwork network = networkOf({{0, 0, 0}, {0, 0, 0.5f}}, {{1}, {}});
  Walker w(network, 1, {0, 0, 0.45f});
  std::srand(42);
  const int firstDraw = std::rand();
  std::srand(42);
  for (int i = 0; i < 100; ++i) w.character.update(16.0f);
  EXPECT_EQ(w.follower().targetWaypoint, 1);
  EXPECT_NEAR(w.character.position.z, 0.5f, 0.002f);
  EXPECT_EQ(std::rand(), firstDraw);  // nothing was drawn for it
}

TEST(Walking, HeadingTurnsTheShortWayAndWraps) {
  // Heading h faces (sin h, 0, cos h); speed 0.0001 for 100 ms turns 0.1.
  const float cases[][3] = {
      {0.05f, 6.2f, 6.28318f},  // through 0, wrapping to the top
      {6.25f, 0.3f, 0.0f},      // through the top, wrapping to 0
      {1.0f, 2.0f, 1.1f},      {2.0f, 1.0f, 1.9f}, {1.0f, 1.08f, 1.0f},  // within 0.1: kept
  };
  for (const auto& [heading, wanted, after] : cases) {
    SCOPED_TRACE(std::to_string(heading) + " towards " + std::to_string(wanted));
    const WaypointNetwork network =
        networkOf({{5.0f * std::sin(wanted), 0.0f, 5.0f * std::cos(wanted)}}, {{0}});
    Walker w(network, 0, {0, 0, 0});
    w.follower().heading = heading;
    w.character.update(100.0f);
    EXPECT_NEAR(w.follower().heading, after, 1e-4f);
    const Quaternion expected = Quaternion::fromAxisAngle(after, Vector3(0, 1, 0));
    EXPECT_NEAR(std::fabs(w.character.orientation.dot(expected)), 1.0f, 1e-5f);
  }
}

const char* const smallModel =
    "3 0 1 0.01 2 3 0.02 4 5 0.005 1 10 100 5 0 0 0 0 0 0 1 0 0 0 0 0 0 1 0 0 0 0 0 0 1"
    " 0 0 0 0 0 0 1 0 0 0 0 0 0 1 0 0 0 0 0 0 1";

// A grid of paths at mixed heights, linked both ways, with one-way diagonals.
std::string gridNetwork(int columns, int rows, float spacing) {
  std::ostringstream text;
  text << columns * rows << '\n';
  for (int r = 0, n = 1; r < rows; ++r) {
    for (int c = 0; c < columns; ++c, ++n) {
      std::vector<int> links;
      if (c > 0) links.push_back(n - 1);
      if (c + 1 < columns) links.push_back(n + 1);
      if (r > 0) links.push_back(n - columns);
      if (r + 1 < rows) links.push_back(n + columns);
      if (c + 1 < columns && r + 1 < rows) links.push_back(n + columns + 1);
      text << 100 * spacing * c - 700 << ' ' << 10 * ((r + c) % 3) << ' ' << 100 * spacing * r - 500
           << ' ' << links.size() << ' ' << n;
      for (int l : links) text << ' ' << l;
      text << '\n';
    }
  }
  return text.str();
}

class Manager : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_CHARACTER_GL();  // the model builds its capsule lists
    Log::instance().truncateAtNextWrite();
  }
  TestDir dir;
};

TEST_F(Manager, InitializePlacesTwentyWithTwoDrawsEachAndLogsItsProgress) {
  TestDir::write("Models/capsuleman.txt", smallModel);
  TestDir::write("scene/waypoints.txt", gridNetwork(4, 3, 1.5f));
  CharacterManager manager;
  std::srand(77);
  manager.initialize(capsuleQuadric());
  EXPECT_EQ(TestDir::logEntries(),
            (std::vector<std::string>{"Starting NPR Demo...", "Loading Models...",
                                      "Loading Waypoints...", "Initializing Characters..."}));
  ASSERT_EQ(manager.placedCount(), 20);
  const float speeds[3] = {0.0001f, 0.0005f, 0.000125f};
  std::srand(77);
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE("character " + std::to_string(i));
    const int clip = std::rand() % 3, start = std::rand() % 12;
    Character& c = manager.character(i);
    EXPECT_EQ(c.animation.clip, clip);
    EXPECT_EQ(c.animation.frame, manager.model().clip(clip).firstFrame);
    EXPECT_FLOAT_EQ(c.speed, speeds[clip]);
    // One unit in -x and -z from its first target.
    const Vector3& at = manager.network().waypoint(start).position;
    EXPECT_NEAR((c.position - Vector3(at.x - 1.0f, at.y, at.z - 1.0f)).length(), 0.0f, 1e-5f);
    EXPECT_EQ(c.controller()->targetWaypoint, start);
  }
}

TEST_F(Manager, UnusableFilesLeaveADemoWithoutCharacters) {
  const std::string grid = gridNetwork(2, 2, 1.0f);
  const char* const cases[][3] = {
      {nullptr, grid.c_str(), "Model Loading Error: Can't find File!"},
      {smallModel, "1 0 0 0 1 1 2",
       "Waypoint Loading Error: waypoint 1 of 1 links to 2, outside 1 to 1!"},
  };
  for (const auto& [modelText, waypointText, entry] : cases) {
    SCOPED_TRACE(entry);
    TestDir caseDir;
    Log::instance().truncateAtNextWrite();
    if (modelText) TestDir::write("Models/capsuleman.txt", modelText);
    TestDir::write("scene/waypoints.txt", waypointText);
    CharacterManager manager;
    manager.initialize(capsuleQuadric());
    const std::vector<std::string> entries = TestDir::logEntries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.back(), "Initializing Characters...");
    EXPECT_NE(std::find(entries.begin(), entries.end(), entry), entries.end());
    EXPECT_EQ(manager.placedCount(), 0);
    manager.update(16.0f);
    manager.draw();
  }
}

TEST_F(Manager, CloseCharactersStepApartInTurnAtTheirOwnHeights) {
  TestDir::write("Models/capsuleman.txt", smallModel);
  TestDir::write("scene/waypoints.txt", "2 0 0 500 1 1 2 0 0 -500 1 2 1");
  CharacterManager manager(2);
  manager.initialize(capsuleQuadric());
  ASSERT_EQ(manager.placedCount(), 2);
  Vector3& first = manager.character(0).position;
  Vector3& second = manager.character(1).position;
  first.set(0.0f, 0.30f, 0.0f);
  second.set(0.05f, 0.31f, 0.0f);
  manager.update(0.0f);
  EXPECT_NEAR(first.x, -0.025f, 1e-6f);
  EXPECT_NEAR(second.x, 0.0875f, 1e-6f);
  EXPECT_FLOAT_EQ(first.y, 0.30f);
  EXPECT_FLOAT_EQ(second.y, 0.31f);
}

TEST_F(Manager, TheShadowPassDrawsOnlyCharactersWhoseShadowsCanBeSeen) {
  TestDir::write("Models/capsuleman.txt", smallModel);
  TestDir::write("scene/waypoints.txt", "2 0 0 500 1 1 2 0 0 -500 1 2 1");
  CharacterManager manager(3);
  manager.initialize(capsuleQuadric());
  ASSERT_EQ(manager.placedCount(), 3);
  // The view sees the box 0..1 in x, -1..1 in y and z.
  const Matrix4 ortho = {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, -1, 0, 0, 1};
  const Matrix4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const ViewVolume view(ortho, identity);
  // Only the count matters: the capsules go to a feedback buffer.
  std::vector<GLfloat> feedback(1 << 16);
  glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
  glRenderMode(GL_FEEDBACK);
  const float r = manager.model().reach() + 0.05f;
  // High up left of the view: its shadow falls down and to the right, in.
  manager.character(0).position.set(-r - 0.5f, 0.8f, 0.0f);
  // Right of the view: its shadow falls away from it.
  manager.character(1).position.set(1.2f + r, 0.8f, 0.0f);
  // Low on the left: its shadow meets the lowest point before the view.
  manager.character(2).position.set(-3.0f * r - 0.2f, -0.8f, 0.0f);
  manager.drawShadowCasters(&view, 1, Vector3(1.0f, -1.0f, 0.0f).normalized(), -0.8f);
  EXPECT_EQ(manager.drawnCount(), 1);
  // Farther left its shadow falls short of the view.
  manager.character(0).position.x = -1.6f - 4.0f * r - 0.2f;
  manager.drawShadowCasters(&view, 1, Vector3(1.0f, -1.0f, 0.0f).normalized(), -0.8f);
  EXPECT_EQ(manager.drawnCount(), 0);
  glRenderMode(GL_RENDER);
}

// Distance across the ground from p to the nearest link of the network.
float distanceToNetwork(const Vector3& p, const WaypointNetwork& network) {
  float best = 1e9f;
  for (std::int32_t i = 0; i < network.size(); ++i) {
    for (std::int32_t l : network.waypoint(i).links) {
      const Vector3 a = network.waypoint(i).position, ab = network.waypoint(l).position - a;
      const float squared = ab.x * ab.x + ab.z * ab.z;
      const float t = std::clamp(
          squared > 0 ? ((p.x - a.x) * ab.x + (p.z - a.z) * ab.z) / squared : 0.0f, 0.0f, 1.0f);
      best = std::min(best, std::hypot(p.x - a.x - t * ab.x, p.z - a.z - t * ab.z));
    }
  }
  return best;
}

class LongRun : public Manager, public ::testing::WithParamInterface<bool> {};

TEST_P(LongRun, TwentyWalkersStayFiniteOnTheNetworkAndApartWithoutAllocating) {
  TestDir::write("Models/capsuleman.txt", smallModel);
  std::string waypoints = gridNetwork(5, 4, 1.2f);
  if (GetParam()) {
    std::ifstream shipped(std::string(NPR_DATA_DIR) + "/scene/waypoints.txt");
    if (!shipped) GTEST_SKIP() << "no shipped waypoint file";
    waypoints.assign(std::istreambuf_iterator<char>(shipped), {});
  }
  TestDir::write("scene/waypoints.txt", waypoints);
  CharacterManager manager;
  std::srand(2024);
  manager.initialize(capsuleQuadric());
  ASSERT_EQ(manager.placedCount(), 20);

  std::mt19937 frames(7);
  std::uniform_int_distribution<int> elapsed(1, 60);
  int samples = 0, crowded = 0, offPath = 0;
  std::vector<int> targetChanges(20, 0);
  for (int frame = 0; frame < 100000; ++frame) {
    int targets[20];
    for (int i = 0; i < 20; ++i) targets[i] = manager.character(i).controller()->targetWaypoint;
    countingAllocations = true;
    manager.update(static_cast<float>(elapsed(frames)));
    countingAllocations = false;
    ASSERT_EQ(allocations, 0u) << "frame " << frame;
    for (int i = 0; i < 20; ++i) {
      const Vector3& p = manager.character(i).position;
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << frame;
      targetChanges[i] += manager.character(i).controller()->targetWaypoint != targets[i];
    }
    if (frame < 5000 || frame % 100 != 0) continue;  // sampled once all are on the paths
    for (int i = 0; i < 20; ++i, ++samples) {
      const Vector3& p = manager.character(i).position;
      offPath += distanceToNetwork(p, manager.network()) > 0.3f;
      for (int j = i + 1; j < 20; ++j)
        crowded += (p - manager.character(j).position).length() < 0.05f;
    }
  }
  for (int i = 0; i < 20; ++i) EXPECT_GT(targetChanges[i], 20) << "character " << i << " stuck";
  EXPECT_EQ(offPath, 0) << "of " << samples << " samples";
  // Passing and crossing brings walkers close for a moment, never for long.
  EXPECT_LT(crowded, samples / 200) << "close pairs in " << samples << " samples";
}

INSTANTIATE_TEST_SUITE_P(Networks, LongRun, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Shipped" : "Grid"; });

}  // namespace
