#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "base/Log.h"
#include "characters/CharacterModel.h"
#include "tests/characters/CharacterFixtures.h"

namespace {

TEST(ModelFile, ReadsWithItsConversionsWhateverTheLineBreaks) {
  const std::string quarterTurn = "100 200 300 0 0 0.7071068 0.7071068";
  for (const char* gap : {"\n", "\r\n", " \n\n  \t"}) {
    SCOPED_TRACE(std::string("gap of ") + std::to_string(std::string(gap).size()));
    CharacterModel model;
    std::istringstream in(std::regex_replace(oneBoneModel(quarterTurn), std::regex(" "), gap));
    std::string error;
    ASSERT_TRUE(model.parse(in, error)) << error;
    ASSERT_EQ(model.clipCount(), 3);
    EXPECT_EQ(model.boneCount(), 1);
    EXPECT_EQ(model.frameCount(), 2);
    EXPECT_EQ(model.clip(2).firstFrame, 1u);
    EXPECT_FLOAT_EQ(model.clip(1).rate, 0.02f);
    EXPECT_FLOAT_EQ(model.bone(0).radius, 0.05f);
    EXPECT_FLOAT_EQ(model.bone(0).length, 0.5f);
    const BoneKey& turned = model.key(1, 0);
    EXPECT_NEAR((turned.position - Vector3(0.5f, 1.5f, -1.0f)).length(), 0.0f, 1e-6f);
    // A quarter turn about the file's z axis is one about the scene's y axis.
    EXPECT_NEAR((turned.rotation.v - Vector3(0, 0.7071068f, 0)).length(), 0.0f, 2e-6f);
    EXPECT_NEAR(turned.rotation.w, 0.7071068f, 1e-6f);
  }
}

TEST(ModelFile, AnyUnitFileRotationBecomesTheSameTurnAboutTheSceneAxes) {
  // File (x, y, z, w) is the scene's (x, z, -y, w).
  CharacterModel model;
  std::istringstream in(oneBoneModel("0 0 0 0.1 -0.7 0.3 -0.6403124"));
  std::string error;
  ASSERT_TRUE(model.parse(in, error)) << error;
  const Quaternion& r = model.key(1, 0).rotation;
  EXPECT_NEAR((r.v - Vector3(0.1f, 0.3f, 0.7f)).length() + std::fabs(r.w + 0.6403124f), 0, 4e-6f);
}

TEST(ModelFile, BrokenFilesAreRejectedWithOneEntrySayingWhy) {
  const std::pair<const char*, std::string> cases[] = {
      {nullptr, "Can't find File"},
      {"  \n\t ", "the file ends in the clip count"},
      {"three", "unreadable number in the clip count"},
      {"2 0 1 0.01 0 1 0.01 1 10 100 1", "2 clips, at least 3 are needed"},
      {"-1", "clip count -1 is negative"},
      {"2000000000", "clip count 2000000000 is outside 3 to 1024"},
      {"3 0 1 0.01 0 1", "the file ends in the clip records (clip 2 of 3)"},
      {"3 0 1 0.01 0 1 fast", "unreadable number in the clip records (clip 2 of 3)"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 ", "the file ends in the bone count"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 0 1", "bone count 0 is outside 1 to 256"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 257 10 100 1", "bone count 257 is outside 1 to 256"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 ten 100 1",
       "unreadable number in the bone records (bone 1 of 1)"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 2 10 100", "the file ends in the bone records (bone 2 of 2)"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 -1", "last frame index -1 is outside 0 to 100000"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 100001",
       "last frame index 100001 is outside 0 to 100000"},
      {"3 0 1 0.01 0 2 0.01 0 1 0.01 1 10 100 1",
       "clip 2 ends at frame 2, beyond the last frame 1"},
      {"3 0 1 0.01 1 0 0.01 0 1 0.01 1 10 100 1",
       "clip 2 ends at frame 0, before its first frame 1"},
      {"3 0 1 0.01 -1 1 0.01 0 1 0.01 1 10 100 1", "clip 2 starts at frame -1, before frame 0"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 99999",
       "the file ends in the key records (frame 0, bone 1)"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 1 0 0 0 0 0 0 1 0 0 1x 0 0 0 1",
       "unreadable number in the key records (frame 1, bone 1)"},
      {"3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 1 0 0 0 0 0 0 1 0 0 1e999 0 0 0 1",
       "unreadable number in the key records (frame 1, bone 1)"},
  };
  for (const auto& [contents, why] : cases) {
    SCOPED_TRACE(contents ? contents : "(no file)");
    TestDir dir;
    Log::instance().truncateAtNextWrite();
    if (contents) TestDir::write("Models/capsuleman.txt", contents);
    CharacterModel model;
    EXPECT_FALSE(model.load("Models/capsuleman.txt", nullptr));
    EXPECT_EQ(TestDir::logEntries(), std::vector<std::string>{"Model Loading Error: " + why + "!"});
    EXPECT_FALSE(model.loaded());
    EXPECT_EQ(model.boneCount(), 0);
    EXPECT_EQ(model.frameCount(), 0);
  }
}

// The shipped figure: looping clips whose feet keep still on the ground while
// the character walks at its clip's speed.
TEST(ShippedModel, IsAThirdOfAUnitTallAndItsFeetDoNotSlide) {
  std::ifstream in(std::string(NPR_DATA_DIR) + "/Models/capsuleman.txt");
  CharacterModel model;
  std::string error;
  ASSERT_TRUE(model.parse(in, error)) << error;
  ASSERT_GE(model.clipCount(), 3);
  // Height of bone b's lower end in frame f, and where along z it is.
  auto lowEnd = [&](std::uint32_t f, std::int32_t b, float& y, float& z) {
    const BoneKey& k = model.key(f, b);
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    k.rotation.toMatrix(m);
    const float r = model.bone(b).radius, far = model.bone(b).length - r;
    const bool down = m[5] < 0.0f;  // the bone's +y points downwards
    y = k.position.y + m[5] * (down ? far : r) - r;
    z = k.position.z + m[6] * (down ? far : r);
  };
  const float speeds[3] = {0.0001f, 0.0005f, 0.000125f};
  float top = 0.0f, bottom = 1.0f;
  for (std::int32_t c = 0; c < 3; ++c) {
    const AnimationClip& clip = model.clip(c);
    ASSERT_LT(clip.firstFrame, clip.lastFrame);
    const float stride = speeds[c] / clip.rate;  // walked per frame step
    int planted = 0;
    for (std::int32_t b = 0; b < model.boneCount(); ++b) {
      // The blend from the last frame back to the first is never drawn.
      const BoneKey &first = model.key(clip.firstFrame, b), &last = model.key(clip.lastFrame, b);
      EXPECT_NEAR((first.position - last.position).length(), 0.0f, 1e-6f);
      EXPECT_NEAR(std::fabs(first.rotation.dot(last.rotation)), 1.0f, 1e-6f);
      for (std::uint32_t f = clip.firstFrame; f <= clip.lastFrame; ++f) {
        float y0, z0, y1, z1;
        lowEnd(f, b, y0, z0);
        bottom = std::min(bottom, y0);
        top = std::max(top, model.key(f, b).position.y + model.bone(b).length);
        if (f == clip.lastFrame) continue;
        lowEnd(f + 1, b, y1, z1);
        if (y0 > 0.001f || y1 > 0.001f) continue;
        ++planted;
        EXPECT_NEAR(z1 + stride, z0, 0.002f) << "clip " << c << " bone " << b << " frame " << f;
      }
    }
    EXPECT_GT(planted, 0) << "clip " << c << " never touches the ground";
  }
  EXPECT_NEAR(top, 0.3f, 0.03f);
  EXPECT_NEAR(bottom, 0.0f, 0.002f);
}

}  // namespace
