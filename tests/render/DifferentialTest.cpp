// Every frame the demo draws against the plain frame, byte for byte: seeded
// random flights over the shipped world and over random scene files, with
// the eye above, at and below the water, under the pier, inside the
// characters' shadows, looking straight up and down and out to the far
// plane; resting stretches, single moves, style and stereo keys, walking
// characters and characters placed where shadows were once lost.
//
// The short run is part of every test run. A long one, from the build folder:
//   NPR_DIFF_FLIGHTS=100 NPR_DIFF_FRAMES=100 NPR_DIFF_SIZE=1280x720
//     tests/test_render --gtest_filter='Differential.*'
// NPR_DIFF_WITHOUT=GL_EXT_packed_depth_stencil,... flies them as on a driver
// without those extensions, NPR_DIFF_DEPTH=16 as on one that gives the
// targets 16-bit depth. A differing frame's window is saved as PNG under
// build/differential/, and the failure names the command that replays its
// flight.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "gl/Projection.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoSlots.h"
#include "render/FramePasses.h"
#include "render/Drawing.h"
#include "render/Frame.h"
#include "tests/render/DemoHarness.h"
#include "tools/headless/HiddenExtensions.h"
#include "world/Scene.h"

namespace {

using namespace demo_harness;

int setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

using Random = std::mt19937;

float uniform(Random& random, float low, float high) {
  return std::uniform_real_distribution<float>(low, high)(random);
}
int pick(Random& random, int count) {
  return std::uniform_int_distribution<int>(0, count - 1)(random);
}

float waterHeight(const DemoRecord& demo) {
  return static_cast<float>(std::sin(20.0 * static_cast<double>(demo.waterMove)) * 0.005 - 0.45);
}

// A scene file a user might bring: one mesh large enough to be cut into
// pieces, rolling through the water plane, with coplanar overlapping
// triangles of other materials later in the file and degenerate ones
// between; and small meshes standing in the water.
std::string randomScene(Random& random) {
  std::ostringstream out;
  const int colours = 5;
  out << colours << "\n";
  for (int c = 0; c < colours; ++c)
    out << uniform(random, 0, 1) << " " << uniform(random, 0, 1) << " " << uniform(random, 0, 1)
        << "\n";
  const int side = 24 + pick(random, 8), cells = side - 1;
  const float extent = uniform(random, 8.0f, 24.0f);  // scene units across
  struct Face {
    int v[3];
    int material;
  };
  std::vector<Face> faces;
  auto at = [side](int x, int z) { return z * side + x; };
  for (int z = 0; z < cells; ++z)
    for (int x = 0; x < cells; ++x) {
      const int m = 1 + pick(random, colours);
      faces.push_back({{at(x, z), at(x + 1, z), at(x, z + 1)}, m});
      faces.push_back({{at(x + 1, z), at(x + 1, z + 1), at(x, z + 1)}, m});
    }
  const int original = static_cast<int>(faces.size());
  for (int k = 0; k < original / 6; ++k) {
    Face copy = faces[static_cast<size_t>(pick(random, original))];
    copy.material = 1 + pick(random, colours);
    if (pick(random, 2)) std::swap(copy.v[0], copy.v[1]);  // the same plane, facing away
    faces.insert(faces.begin() + pick(random, static_cast<int>(faces.size()) + 1), copy);
    Face flat = copy;
    flat.v[1] = flat.v[0];
    faces.insert(faces.begin() + pick(random, static_cast<int>(faces.size()) + 1), flat);
  }
  const int smalls = 1 + pick(random, 3);
  out << 1 + smalls << "\n";
  out << side * side << " 1 " << faces.size() << "\n";
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) {
      const float height = uniform(random, -1.5f, 1.0f);
      out << 100.0f * extent * (static_cast<float>(x) / cells - 0.5f) << " " << 100.0f * height
          << " " << 100.0f * extent * (static_cast<float>(z) / cells - 0.5f) << "\n"
          << uniform(random, -0.3f, 0.3f) << " 1 " << uniform(random, -0.3f, 0.3f) << "\n";
    }
  out << "0 0 0\n";
  for (const Face& f : faces)
    out << f.v[0] << " " << f.v[1] << " " << f.v[2] << "\n0 0 0\n0 1 0\n" << f.material << "\n";
  // Upright quads crossing the water, two coplanar triangles of other
  // materials over each.
  for (int s = 0; s < smalls; ++s) {
    const float x = uniform(random, -6, 6), z = uniform(random, -6, 6),
                w = uniform(random, 0.2f, 2);
    out << "4 1 4\n";
    for (int k = 0; k < 4; ++k)
      out << 100 * (x + (k & 1 ? w : 0)) << " " << 100 * (k & 2 ? 0.5f : -1.5f) << " " << 100 * z
          << "\n0 0 1\n";
    out << "0 0 0\n";
    for (int k = 0; k < 2; ++k)
      out << "0 1 2\n0 0 0\n0 0 1\n"
          << 1 + pick(random, colours) << "\n1 3 2\n0 0 0\n0 0 1\n"
          << 1 + pick(random, colours) << "\n";
  }
  return out.str();
}

enum Place { AboveWater, AtWater, BelowWater, UnderPier, InShadow, StraightUpOrDown, FarAway };
constexpr int placeCount = 7;

void placeEye(DemoRecord& demo, Random& random, Place place) {
  Vector3 eye, target;
  const float heading = uniform(random, 0.0f, 6.2831853f);
  auto ahead = [&](float drop) {
    return eye + Vector3(std::sin(heading), drop, std::cos(heading)) * uniform(random, 1.0f, 6.0f);
  };
  switch (place) {
    case AboveWater:
      eye =
          Vector3(uniform(random, -25, 25), uniform(random, 0.3f, 12.0f), uniform(random, -25, 25));
      target = ahead(uniform(random, -1.0f, 0.2f));
      break;
    case AtWater:  // within the near plane's reach of the surface, either side
      eye = Vector3(uniform(random, -12, 12), waterHeight(demo) + uniform(random, -0.1f, 0.2f),
                    uniform(random, -12, 12));
      target = ahead(uniform(random, -0.3f, 0.1f));
      break;
    case BelowWater:
      eye = Vector3(uniform(random, -12, 12), uniform(random, -3.0f, -0.5f),
                    uniform(random, -12, 12));
      target = ahead(uniform(random, -0.6f, 0.6f));
      break;
    case UnderPier:
      eye = Vector3(4.65f, -0.40f, -2.97f) + Vector3(uniform(random, -0.6f, 0.6f),
                                                     uniform(random, -0.1f, 0.1f),
                                                     uniform(random, -0.6f, 0.6f));
      target = eye + Vector3(uniform(random, -1, 1), uniform(random, -0.4f, 0.1f),
                             uniform(random, -1, 1));
      break;
    case InShadow: {
      std::vector<AxisBox> reaches;
      const Vector3 light = Vector3(90.0f, -140.0f, 90.0f).normalized();
      if (demo.characters && demo.characters->shadowReaches(light, -3.0f, reaches) &&
          !reaches.empty()) {
        const AxisBox& box =
            reaches[static_cast<size_t>(pick(random, static_cast<int>(reaches.size())))];
        eye = Vector3(uniform(random, box.low[0], box.high[0]),
                      uniform(random, box.low[1], box.high[1]),
                      uniform(random, box.low[2], box.high[2]));
      }
      target = ahead(uniform(random, -1.0f, 0.5f));
      break;
    }
    case StraightUpOrDown:
      eye =
          Vector3(uniform(random, -10, 10), uniform(random, -1.0f, 4.0f), uniform(random, -10, 10));
      target = eye + Vector3(0.0f, pick(random, 2) ? 1.0f : -1.0f, 0.0f);
      if (pick(random, 2)) target = target + Vector3(0.001f, 0.0f, 0.0f);
      break;
    case FarAway: {  // the island near the far plane, or the eye on it looking out
      const float distance = uniform(random, 150.0f, 205.0f);
      eye = Vector3(std::sin(heading), 0.1f, std::cos(heading)) * distance;
      target = pick(random, 2) ? Vector3(0, 0, 0) : eye * 2.0f;
      break;
    }
  }
  demo.demoCamera.eye = eye;
  demo.demoCamera.target = target;
}

// A character standing still where the eye can see the ground under the
// water near it: on the sea floor below an eye just above the surface.
void standCharacterBelowEye(DemoRecord& demo, Random& random) {
  if (!demo.characters || demo.characters->placedCount() == 0) return;
  Character& walker = demo.characters->character(pick(random, demo.characters->placedCount()));
  const Vector3 ahead = demo.demoCamera.target - demo.demoCamera.eye;
  walker.position =
      demo.demoCamera.eye + Vector3(ahead.x, 0.0f, ahead.z) * uniform(random, 0.2f, 1.0f);
  walker.position.y = uniform(random, -2.5f, -0.6f);
  walker.setController(StandingKind, nullptr);
  walker.update(0.0f);
}

struct Images {
  Picture window;
  std::vector<Picture> targets;  // colour and normal images of each eye
};

std::vector<std::uint64_t> fingerprints(const Images& images) {
  std::vector<std::uint64_t> prints;
  auto print = [&prints](const Picture& picture) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : picture.rgba) hash = (hash ^ byte) * 1099511628211ull;
    prints.push_back(hash);
  };
  for (const Picture& target : images.targets) print(target);
  print(images.window);
  return prints;
}

Images drawAndRead(DemoRecord& demo, bool plain) {
  drawFrame(demo, plain);
  Images images;
  images.window = readWindow();
  for (int eye = 0; eye < (demo.stereoEnabled ? 2 : 1); ++eye) {
    images.targets.push_back(readTarget(demo.renderTargets, targetsOfEye(eye).colour));
    images.targets.push_back(readTarget(demo.renderTargets, targetsOfEye(eye).normal));
  }
  return images;
}

struct Difference {
  int pixels = 0;
  int x = 0, y = 0;  // the first of them, from the bottom left
};

Difference compare(const Picture& a, const Picture& b) {
  Difference difference;
  for (size_t i = 0; i + 3 < a.rgba.size(); i += 4) {
    if (a.rgba[i] == b.rgba[i] && a.rgba[i + 1] == b.rgba[i + 1] &&
        a.rgba[i + 2] == b.rgba[i + 2] && a.rgba[i + 3] == b.rgba[i + 3])
      continue;
    if (difference.pixels++ == 0) {
      difference.x = static_cast<int>(i / 4) % a.width;
      difference.y = static_cast<int>(i / 4) / a.width;
    }
  }
  return difference;
}

class Differential : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    copyShippedData();
    // NPR_DIFF_DATA flies over another data folder, such as an imported model's.
    if (const char* data = std::getenv("NPR_DIFF_DATA")) {
      std::filesystem::copy(data, std::filesystem::current_path(),
                            std::filesystem::copy_options::recursive |
                                std::filesystem::copy_options::overwrite_existing);
    }
    const std::string size = std::getenv("NPR_DIFF_SIZE") ? std::getenv("NPR_DIFF_SIZE") : "";
    TestDir::write("config.cfg", (size.empty() ? std::string("1024 768") : size) + "\n");
    if (size.find('x') != std::string::npos)
      TestDir::write("config.cfg",
                     size.substr(0, size.find('x')) + " " + size.substr(size.find('x') + 1) + "\n");
    without = std::getenv("NPR_DIFF_WITHOUT") ? std::getenv("NPR_DIFF_WITHOUT") : "";
    hideExtensions(extensionList(without));
    if (setting("NPR_DIFF_DEPTH", 0) == 16) setTargetDepthFormat(GL_DEPTH_COMPONENT16);
    session.start();
    ASSERT_TRUE(session.running);
    session.keys.held[ws::VkF2] = 1;  // time moves the world, never the camera
  }
  void TearDown() override {
    session.stop();
    hideExtensions({});
    setTargetDepthFormat(0);
  }

  // The demo started again as on a driver without the extensions, "A,B,...".
  void restartWithout(const std::string& names) {
    session.stop();
    without = names;
    hideExtensions(extensionList(names));
    session.start();
    ASSERT_TRUE(session.running);
    session.keys.held[ws::VkF2] = 1;
    onOwnScene = false;
  }

  // The world of a flight: the shipped scene or a random one, and the
  // characters placed afresh from the seed.
  void prepare(Random& random, unsigned seed, bool ownScene) {
    demo.releaseKeptImages();
    if (ownScene || onOwnScene) {
      if (ownScene) TestDir::write("own.scn", randomScene(random));
      demo.worldScene.deleteBuffers();
      demo.worldScene.load(ownScene ? "own.scn" : "scene/nprscene.scn");
      onOwnScene = ownScene;
    }
    std::srand(seed);
    demo.characters->initialize();
    demo.compositeStyle = 1 + pick(random, 3);
    demo.stereoEnabled = static_cast<std::uint8_t>(pick(random, 3) == 0);
    demo.eyeOffset = uniform(random, -0.3f, 0.3f);
    demo.waterMove = uniform(random, 0.0f, 1.0f);
  }

  // What sets a flight off from its seed: the world, the look, the eye.
  using Start = std::function<void(Random&, unsigned seed)>;

  // A random flight: seed by seed every place comes round, and every third
  // flight is over a scene file of its own. Returns the frames that differed.
  int fly(unsigned seed, int frameCount) {
    replay = (without.empty() ? "" : "NPR_DIFF_WITHOUT=" + without + " ") +
             "NPR_DIFF_SEED=" + std::to_string(seed) +
             " NPR_DIFF_FLIGHTS=1 NPR_DIFF_FRAMES=" + std::to_string(frameCount) +
             " NPR_DIFF_SIZE=" + std::to_string(demo.viewWidth) + "x" +
             std::to_string(demo.viewHeight) + " " + NPR_BINARY_DIR +
             "/tests/test_render --gtest_filter='Differential.*'";
    return fly("flight " + std::to_string(seed), seed, frameCount,
               [this](Random& random, unsigned s) {
                 const Place place = static_cast<Place>(s % placeCount);
                 prepare(random, s, s % 3 == 2);
                 placeEye(demo, random, place);
                 if (place == AtWater || place == UnderPier || pick(random, 4) == 0)
                   standCharacterBelowEye(demo, random);
               });
  }

  // A flight from a place where frames once differed.
  struct Probe {
    const char* name;
    Vector3 eye, target;
    int style;
    bool standBelow;
  };
  int fly(const Probe& probe, unsigned seed) {
    replay = (without.empty() ? "" : "NPR_DIFF_WITHOUT=" + without + " ") +
             std::string(NPR_BINARY_DIR) + "/tests/test_render --gtest_filter='Differential.*'";
    return fly(std::string("probe ") + probe.name, seed, 5,
               [this, &probe](Random& random, unsigned s) {
                 prepare(random, s, false);
                 demo.compositeStyle = probe.style;
                 demo.stereoEnabled = 0;
                 demo.eyeOffset = 0.0f;
                 demo.demoCamera.eye = probe.eye;
                 demo.demoCamera.target = probe.target;
                 if (probe.standBelow) standCharacterBelowEye(demo, random);
               });
  }

  // The flight flown twice from its seed: as the demo draws it, keeping
  // each frame's fingerprints, then as plain frames, compared with them. The
  // two never share a frame, so nothing the demo keeps between frames is
  // disturbed by a plain one.
  int fly(const std::string& flight, unsigned seed, int frameCount, const Start& start) {
    std::vector<std::vector<std::uint64_t>> fast(static_cast<std::size_t>(frameCount));
    frames(seed, frameCount, start, false, [&](int frame, const Images& images) {
      fast[static_cast<std::size_t>(frame)] = fingerprints(images);
      return true;
    });
    int differing = 0;
    frames(seed, frameCount, start, true, [&](int frame, const Images& plain) {
      const std::vector<std::uint64_t> want = fingerprints(plain);
      if (want == fast[static_cast<std::size_t>(frame)]) return true;
      ++differing;
      Images again;
      frames(seed, frame + 1, start, false, [&](int f, const Images& images) {
        if (f == frame) again = images;
        return true;
      });
      // Each eye's colour and normal image, then the window they make.
      for (size_t i = 0; i <= plain.targets.size() && i <= again.targets.size(); ++i) {
        const bool window = i == plain.targets.size();
        const Picture& a = window ? again.window : again.targets[i];
        const Picture& b = window ? plain.window : plain.targets[i];
        const Difference difference = compare(a, b);
        if (difference.pixels == 0) continue;
        report(flight, frame,
               window ? std::string("window")
                      : std::string(i % 2 ? "normal" : "colour") + " image of eye " +
                            std::to_string(i / 2),
               difference, a, b);
        break;
      }
      return true;
    });
    return differing;
  }

  // Frames from where the flight starts, each handed to `seen` (false
  // stops). The first few leave the eye at rest, so that what stands still
  // is kept and used.
  void frames(unsigned seed, int frameCount, const Start& start, bool plain,
              const std::function<bool(int, const Images&)>& seen) {
    Random random(seed);
    demo.releaseKeptImages();
    start(random, seed);
    for (int frame = 0; frame < frameCount; ++frame) {
      if (!seen(frame, drawAndRead(demo, plain))) return;
      if (frame < 3)
        updateFrame(demo, static_cast<std::uint32_t>(pick(random, 200)));
      else
        nextFrame(random);
    }
  }

  // What happens between two frames: mostly rest, so that the copies are
  // taken and used; sometimes time, a single move, a key or a new place.
  void nextFrame(Random& random) {
    switch (pick(random, 12)) {
      case 0:
      case 1:
      case 2:
        break;  // the eye rests, the world stands still
      case 3:
      case 4:
      case 5:
        updateFrame(demo,
                    static_cast<std::uint32_t>(20 + pick(random, 200)));  // walkers and water move
        break;
      case 6: {
        const Vector3 step(uniform(random, -0.3f, 0.3f), uniform(random, -0.15f, 0.15f),
                           uniform(random, -0.3f, 0.3f));
        demo.demoCamera.eye = demo.demoCamera.eye + step;
        demo.demoCamera.target = demo.demoCamera.target + step;
        break;
      }
      case 7:
        demo.demoCamera.target = demo.demoCamera.target + Vector3(uniform(random, -0.5f, 0.5f),
                                                                  uniform(random, -0.3f, 0.3f),
                                                                  uniform(random, -0.5f, 0.5f));
        break;
      case 8:
        demo.compositeStyle = 1 + pick(random, 3);
        break;
      case 9:
        demo.stereoEnabled = static_cast<std::uint8_t>(!demo.stereoEnabled);
        demo.eyeOffset =
            pick(random, 5) == 0 ? uniform(random, -1.0f, 1.0f) : uniform(random, -0.3f, 0.3f);
        break;
      case 10:
        placeEye(demo, random, static_cast<Place>(pick(random, placeCount)));
        break;
      default:
        demo.waterMove = uniform(random, 0.0f, 2000.0f);
        break;
    }
  }

  void report(const std::string& flight, int frame, const std::string& what,
              const Difference& difference, const Picture& fast, const Picture& plain) {
    static int reported = 0;
    const std::string name = "difference" + std::to_string(++reported);
    const std::filesystem::path folder = std::filesystem::path(NPR_BINARY_DIR) / "differential";
    std::filesystem::create_directories(folder);
    writePicture(fast, (folder / (name + "-fast.png")).string());
    writePicture(plain, (folder / (name + "-plain.png")).string());
    ADD_FAILURE() << flight << ", frame " << frame << ": the " << what << " differs in "
                  << difference.pixels << " pixels, the first at " << difference.x << ", "
                  << difference.y << " from the bottom left; pictures: " << (folder / name).string()
                  << "-fast.png, -plain.png; replay: " << replay;
  }

  TestDir dir;
  DemoSession session;
  DemoRecord& demo = session.demo;
  bool onOwnScene = false;
  std::string replay;   // the command that draws the flight again
  std::string without;  // the extensions hidden from the demo
};

TEST_F(Differential, EveryFrameIsThePlainFrame) {
  // Where frames differed once: the ground under the water lit, and shadows
  // lost under an eye so near the water that the near plane cuts it away.
  const Probe probes[] = {
      {"below the water", {-1.0f, -0.6f, -4.5f}, {-1.7f, -0.9f, -6.6f}, 2, false},
      {"below the water, further out", {1.5f, -0.62f, -9.5f}, {1.5f, -0.8f, -7.5f}, 2, false},
      {"under the pier", {4.65f, -0.40f, -2.97f}, {4.82f, -0.65f, -2.87f}, 1, false},
      {"just above the water", {-1.0f, -0.33f, -4.5f}, {-1.7f, -0.9f, -6.6f}, 2, true},
  };
  int differing = 0;
  for (const Probe& probe : probes) differing += fly(probe, 7);
  const unsigned first = static_cast<unsigned>(setting("NPR_DIFF_SEED", 1));
  const int frames = setting("NPR_DIFF_FRAMES", 8);
  std::vector<unsigned> seeds;
  for (int f = 0; f < setting("NPR_DIFF_FLIGHTS", 9); ++f) seeds.push_back(first + f);
  // Flights that once found a fault: 23, a character touching the ground at
  // exactly its depth in the normal image of a resting eye; 64, a character
  // lower than the scene reaches, in the water's shadow, seen through the
  // near plane; 1030, a tree's sliver seen edge-on from the water, kept or
  // dropped by how the scene's draws were batched.
  if (!std::getenv("NPR_DIFF_SEED")) seeds.insert(seeds.end(), {23, 64, 1030});
  for (unsigned seed : seeds) differing += fly(seed, frames);
  const int flights = static_cast<int>(seeds.size());
  const int total = static_cast<int>(std::size(probes)) * 5 + flights * frames;
  EXPECT_EQ(differing, 0) << "of " << total << " frames";
  std::printf("%d frames in %d flights at %dx%d: %d differ\n", total,
              flights + static_cast<int>(std::size(probes)), demo.viewWidth, demo.viewHeight,
              differing);
}

TEST_F(Differential, OwnPassShadersDrawThePlainFrame) {
  // The user's own colour shader, looking its shadow up thirty times further
  // off the surface than the shipped one: what the kept images and the
  // culled shadows count on no longer holds.
  session.stop();
  std::string source = TestDir::read("Shaders/colout.vsh");
  const std::string offset = "0.010 + 0.012 * slope";
  ASSERT_NE(source.find(offset), std::string::npos);
  source.replace(source.find(offset), offset.size(), "0.30 + 0.36 * slope");
  TestDir::write("Shaders/colout.vsh", source);
  TestDir::write("config.cfg", "640 480\n");
  session.start();
  ASSERT_TRUE(session.running);
  const Probe probes[] = {
      {"own, under water", {-2.149f, -0.870f, -9.072f}, {-1.916f, -1.523f, -8.100f}, 2, false},
      {"own, above water", {-2.149f, 0.4f, -9.072f}, {-1.916f, -0.6f, -8.100f}, 2, true},
  };
  int differing = 0;
  for (const Probe& probe : probes) differing += fly(probe, 7);
  EXPECT_EQ(differing, 0);
}

// The shipped model with every bone `thicker` times as thick and `longer`
// times as long, standing where the shipped bones stand: a user's figure
// that reaches further than the shipped one.
std::string grownModel(float thicker, float longer) {
  std::istringstream in(TestDir::read("Models/capsuleman.txt"));
  std::ostringstream out;
  int clips = 0, bones = 0;
  in >> clips;
  out << clips << "\n";
  std::string number;
  for (int i = 0; i < 3 * clips && in >> number; ++i) out << number << " ";
  in >> bones;
  out << "\n" << bones << "\n";
  for (int b = 0; b < bones; ++b) {
    float radius = 0.0f, length = 0.0f;
    in >> radius >> length;
    out << radius * thicker << " " << length * longer << "\n";
  }
  out << in.rdbuf();
  return out.str();
}

TEST_F(Differential, OwnModelWithLongerBones) {
  session.stop();
  TestDir::write("Models/capsuleman.txt", grownModel(2.0f, 10.0f));
  session.start();
  ASSERT_TRUE(session.running);
  ASSERT_GT(demo.characters->placedCount(), 0);
  session.keys.held[ws::VkF2] = 1;
  // At the water, in the characters' shadows and over a scene of its own.
  int differing = 0;
  for (unsigned seed : {1u, 4u, 11u}) differing += fly(seed, 5);
  EXPECT_EQ(differing, 0);
}

// The same kind of flights on drivers without the extensions the fast path
// uses, one at a time and all together: every fallback draws the plain frame.
TEST_F(Differential, EveryFallbackIsThePlainFrame) {
  struct Fallback {
    const char* without;
    int flights;  // seed 4, in the characters' shadows, then 23, below the water
  };
  const Fallback fallbacks[] = {
      {"GL_ARB_occlusion_query", 2},
      {"GL_EXT_packed_depth_stencil", 2},
      {"GL_EXT_framebuffer_blit", 2},
      {"GL_ARB_occlusion_query,GL_EXT_packed_depth_stencil,GL_EXT_framebuffer_blit", 2},
      // What the demo runs without, with less of its picture.
      {"GL_ARB_shader_objects", 1},
      {"GL_ARB_multitexture", 1},
      {"GL_EXT_framebuffer_object", 1},
  };
  const int frames = setting("NPR_DIFF_FRAMES", 6);
  int differing = 0, total = 0;
  for (const Fallback& fallback : fallbacks) {
    restartWithout(fallback.without);
    for (int f = 0; f < fallback.flights; ++f) {
      differing += fly(f == 0 ? 4u : 23u, frames);
      total += frames;
    }
  }
  EXPECT_EQ(differing, 0) << "of " << total << " frames";
}

// The far plane is made by subtracting two nearly equal rows, so whether a
// piece there lies outside is the least certain: eyes walking out until the
// island's far edge lies at the far plane, and one from the side. The scene
// alone into the colour target, drawn with pieces left out and as filed.
TEST_F(Differential, FarPlaneSweepIsThePlainFrame) {
  std::vector<Vector3> eyes;
  for (int step = 0; step <= 200; ++step)
    eyes.push_back(Vector3(0.0f, 0.5f, 190.0f + 0.05f * static_cast<float>(step)));
  eyes.push_back(Vector3(-196.706f, 0.5f, 0.0f));
  const int size = demo.renderTargets.size(targetsOfEye(0).colour);
  int differing = 0;
  for (const Vector3& at : eyes) {
    demo.demoCamera.eye = at;
    demo.demoCamera.target = Vector3(0.0f, 0.5f, 0.0f);
    const EyeView eye = eyeOf(demo, 0);
    Picture drawn[2];
    for (int plain = 0; plain < 2; ++plain) {
      glPushAttrib(GL_ALL_ATTRIB_BITS);
      setPerspectiveView(demo.viewWidth, demo.viewHeight);
      glViewport(0, 0, size, size);
      demo.renderTargets.bind(eye.targets.colour);
      glLoadIdentity();
      applyEyeView(eye);
      if (demo.shaderPrograms.ready()) demo.shaderPrograms.unuse();
      glDisable(GL_TEXTURE_2D);
      glDisable(GL_LIGHTING);
      clearTarget();
      drawScene(demo, plain == 1, eye.volume);
      demo.renderTargets.unbind();
      glPopAttrib();
      drawn[plain] = readTarget(demo.renderTargets, eye.targets.colour);
    }
    const Difference difference = compare(drawn[0], drawn[1]);
    if (difference.pixels == 0) continue;
    ++differing;
    ADD_FAILURE() << "eye at " << at.x << ", " << at.y << ", " << at.z << ": " << difference.pixels
                  << " pixels differ, the first at " << difference.x << ", " << difference.y;
  }
  EXPECT_EQ(differing, 0) << "of " << eyes.size() << " eyes";
}

}  // namespace
