#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Log.h"
#include "characters/Character.h"
#include "characters/CharacterModel.h"
#include "tests/characters/CharacterFixtures.h"

namespace {

std::vector<float> matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

void expectNear(const std::vector<float>& actual, const std::vector<float>& expected,
                float tolerance = 1e-5f) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

// Scene-space bounds (low x, y, z, high x, y, z) of what `drawIt` draws, read
// back through feedback with the identity view of the box -5..5.
template <typename Draw>
std::vector<float> drawnBounds(Draw drawIt) {
  glViewport(0, 0, 1000, 1000);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-5, 5, -5, 5, -5, 5);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  std::vector<GLfloat> buffer(1 << 20);
  glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
  glRenderMode(GL_FEEDBACK);
  drawIt();
  const GLint used = glRenderMode(GL_RENDER);
  std::vector<float> box = {1e9f, 1e9f, 1e9f, -1e9f, -1e9f, -1e9f};
  for (GLint i = 0; i < used;) {
    EXPECT_EQ(buffer[i++], static_cast<GLfloat>(GL_POLYGON_TOKEN));  // capsules give polygons only
    for (GLint k = static_cast<GLint>(buffer[i++]); k > 0; --k, i += 3) {
      const float p[3] = {buffer[i] / 100 - 5, buffer[i + 1] / 100 - 5, 5 - 10 * buffer[i + 2]};
      for (int a = 0; a < 3; ++a) {
        box[a] = std::min(box[a], p[a]);
        box[a + 3] = std::max(box[a + 3], p[a]);
      }
    }
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  return box;
}

// The model's box around the pose holds all that is drawn of it.
void expectPoseBoundsHold(const CharacterModel& model, const AnimationState& state,
                          const std::vector<float>& drawn) {
  float low[3], high[3];
  ASSERT_TRUE(model.poseBounds(state, low, high));
  for (int a = 0; a < 3; ++a) {
    EXPECT_LE(low[a], drawn[a]) << "axis " << a;
    EXPECT_GE(high[a], drawn[a + 3]) << "axis " << a;
  }
}

class CharacterDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_CHARACTER_GL();
    HeadlessGl::clearErrors();
    glDisable(GL_CULL_FACE);
    for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {
      glActiveTextureARB(unit);
      glMatrixMode(GL_TEXTURE);
      glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  void TearDown() override {
    if (!IsSkipped()) {
      EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
  }
  void loadModel(const std::string& contents) {
    TestDir::write("Models/capsuleman.txt", contents);
    ASSERT_TRUE(model.load("Models/capsuleman.txt", capsuleQuadric()));
    walker.attachModel(&model);
  }

  TestDir dir;
  CharacterModel model;
  Character walker;
};

TEST_F(CharacterDrawing, CapsuleStandsOnItsOriginAndRestoresTheTextureMatrix) {
  for (const auto& [r, length] : {std::pair{0.05f, 0.5f}, {0.2f, 1.0f}}) {
    SCOPED_TRACE("radius " + std::to_string(r) + ", length " + std::to_string(length));
    expectNear(drawnBounds([&] { drawCapsule(capsuleQuadric(), r, length); }),
               {-r, 0, -r, r, length, r}, 2e-3f);
    glMatrixMode(GL_TEXTURE);
    glTranslatef(0.3f, -2.0f, 7.0f);
    glRotatef(33.0f, 0.2f, 1.0f, 0.4f);
    const std::vector<float> entry = matrix(GL_TEXTURE_MATRIX);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);
    const std::vector<float> view = matrix(GL_MODELVIEW_MATRIX);
    drawCapsule(capsuleQuadric(), r, length);
    expectNear(matrix(GL_MODELVIEW_MATRIX), view);
    expectNear(matrix(GL_TEXTURE_MATRIX), entry);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
}

TEST_F(CharacterDrawing, LeavesTheModelviewStackAndAnIdentityTextureMatrixOnUnitOne) {
  ASSERT_NO_FATAL_FAILURE(
      loadModel("3 0 1 0.01 0 1 0.01 0 1 0.01 3 10 100 5 50 8 20 1"
                " 0 0 0 0 0 0 1  10 0 40 0.5 0.5 0.5 0.5  -20 5 0 0 0.7071068 0 0.7071068"
                " 0 0 0 0 0 1 0  10 0 40 0 0 0 1  -20 5 0 0.6 0 0 0.8"));
  walker.position.set(0.4f, -1.0f, 2.0f);
  walker.orientation = Quaternion::fromAxisAngle(1.1f, Vector3(0, 1, 0));
  walker.animation.phase = 0.4f;
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glMatrixMode(GL_TEXTURE);
  glTranslatef(5.0f, 6.0f, 7.0f);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glMatrixMode(GL_MODELVIEW);
  glRotatef(20.0f, 1.0f, 0.0f, 0.0f);
  glPushMatrix();
  const std::vector<float> view = matrix(GL_MODELVIEW_MATRIX);
  model.draw(&walker.animation);
  GLint depth = 0, unit = 0, mode = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(std::vector<GLint>({depth, unit, mode}),
            std::vector<GLint>({2, GL_TEXTURE1_ARB, GL_MODELVIEW}));
  expectNear(matrix(GL_MODELVIEW_MATRIX), view);
  expectNear(matrix(GL_TEXTURE_MATRIX), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  glPopMatrix();
}

TEST_F(CharacterDrawing, PlacesTheBlendedPoseAtTheCharacter) {
  // The second key stands 0.4 along x, turned a quarter about x.
  ASSERT_NO_FATAL_FAILURE(loadModel(oneBoneModel("80 0 0 0.7071068 0 0 0.7071068")));
  for (float t : {0.0f, 0.5f, 0.999f}) {
    SCOPED_TRACE("phase " + std::to_string(t));
    walker.animation.phase = t;
    const std::vector<float> box = drawnBounds([&] { model.draw(&walker.animation); });
    expectPoseBoundsHold(model, walker.animation, box);
    // The capsule's axis stands at 0.4 t and its far sphere's centre is 0.45
    // along the axis tilted t quarter turns towards +z.
    EXPECT_NEAR(0.5f * (box[0] + box[3]), 0.4f * t, 2e-3f);
    EXPECT_NEAR(box[4], 0.45f * std::cos(t * 1.5707963f) + 0.05f, 2e-3f);
    EXPECT_NEAR(box[5], 0.45f * std::sin(t * 1.5707963f) + 0.05f, 2e-3f);
  }
}

TEST_F(CharacterDrawing, AQuarterTurnedCharacterDrawsAForwardBoneToItsSide) {
  // Scene (0, 0, 1) is the file's (0, -200, 0).
  ASSERT_NO_FATAL_FAILURE(
      loadModel("3 0 1 0.01 0 1 0.01 0 1 0.01 1 10 100 1 0 -200 0 0 0 0 1 0 -200 0 0 0 0 1"));
  walker.position.set(2.0f, 0.5f, -1.0f);
  walker.orientation = Quaternion::fromAxisAngle(1.5707963f, Vector3(0, 1, 0));
  const std::vector<float> box = drawnBounds([&] { model.draw(&walker.animation); });
  expectNear(box, {2.95f, 0.5f, -1.05f, 3.05f, 1.0f, -0.95f}, 2e-3f);
  expectPoseBoundsHold(model, walker.animation, box);
}

TEST_F(CharacterDrawing, BonesOfNegativeRadiusAreNamedInOneLogEntry) {
  // The second and third bones stand beside the first, which alone is drawn.
  for (const bool negative : {false, true}) {
    SCOPED_TRACE(negative);
    Log::instance().truncateAtNextWrite();
    TestDir::write("Log.txt", "");
    const std::string sign = negative ? "-" : "";
    const std::string frame = "  0 0 0 0 0 0 1  200 0 0 0 0 0 1  -200 0 0 0 0 0 1";
    ASSERT_NO_FATAL_FAILURE(loadModel("3 0 1 0.01 0 1 0.01 0 1 0.01 3 10 100 " + sign + "10 100 " +
                                      sign + "10 50 1" + frame + frame));
    const std::vector<float> box = drawnBounds([&] { model.draw(&walker.animation); });
    if (!negative) {
      EXPECT_TRUE(TestDir::logEntries().empty());
      EXPECT_NEAR(box[3] - box[0], 2.1f, 2e-3f);
      continue;
    }
    EXPECT_EQ(TestDir::logEntries(),
              std::vector<std::string>{"Bones that cannot be drawn (negative radius): 2, 3"});
    expectNear(box, {-0.05f, 0.0f, -0.05f, 0.05f, 0.5f, 0.05f}, 2e-3f);
  }
}

TEST(CharacterDrawingBoxes, MissingStateOrOwnerIsReportedInABox) {
  FakeWindowSystem fake;
  fake.install();
  CharacterModel model;
  model.draw(nullptr);
  AnimationState orphan;
  orphan.model = &model;
  model.draw(&orphan);
  ASSERT_EQ(fake.boxes.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(fake.boxes[i].owner, nullptr);
    EXPECT_EQ(fake.boxes[i].text, i ? "not info parent" : "not info");
    EXPECT_EQ(fake.boxes[i].caption, "error");
    EXPECT_EQ(fake.boxes[i].type, ws::MbOk);
  }
}

}  // namespace
