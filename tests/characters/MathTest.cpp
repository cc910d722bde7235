#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "characters/Math.h"
#include "gl/GlApi.h"
#include "tests/support/HeadlessGl.h"

namespace {

constexpr float pi = 3.14159265f;

void expectNear(const Quaternion& a, const Quaternion& b, float tolerance = 1e-6f) {
  EXPECT_NEAR(a.x(), b.x(), tolerance);
  EXPECT_NEAR(a.y(), b.y(), tolerance);
  EXPECT_NEAR(a.z(), b.z(), tolerance);
  EXPECT_NEAR(a.w, b.w, tolerance);
}

TEST(Math, ZeroVectorsNormalizeToZeroAndOthersToUnitLength) {
  const Vector3 zero = Vector3().normalized();
  EXPECT_EQ(std::vector<float>({zero.x, zero.y, zero.z}), std::vector<float>({0, 0, 0}));
  const Vector3 unit = Vector3(3, 0, -4).normalized();
  EXPECT_FLOAT_EQ(unit.x, 0.6f);
  EXPECT_FLOAT_EQ(unit.z, -0.8f);
  const Quaternion none = Quaternion(0, 0, 0, 0).normalized();
  EXPECT_EQ(none.norm(), 0.0f);
  EXPECT_FLOAT_EQ(Quaternion(1, 2, 3, 4).normalized().norm(), 1.0f);
}

TEST(Math, FromAxisAngle) {
  expectNear(Quaternion::fromAxisAngle(0, Vector3(0.3f, 5, -2)), Quaternion(0, 0, 0, 1));
  expectNear(Quaternion::fromAxisAngle(pi, Vector3(0, 1, 0)), Quaternion(0, 1, 0, 0));
  const float h = std::sqrt(0.5f);
  expectNear(Quaternion::fromAxisAngle(pi / 2, Vector3(1, 0, 0)), Quaternion(h, 0, 0, h));
}

TEST(Math, ToAxisAngleRoundTripsAndHasDefinedResultsWithoutAVectorPart) {
  const Vector3 axis = Vector3(1, -2, 3).normalized();
  for (float angle : {0.3f, 1.0f, pi, 4.0f, 2 * pi - 0.01f}) {
    SCOPED_TRACE(angle);
    Vector3 gotAxis;
    float gotAngle = -1;
    Quaternion::fromAxisAngle(angle, axis).toAxisAngle(gotAxis, gotAngle);
    EXPECT_NEAR(gotAngle, angle, 1e-3f);
    EXPECT_NEAR(gotAxis.dot(axis), 1.0f, 1e-5f);
  }
  struct Case {
    Quaternion q;
    float angle;
  } cases[] = {{Quaternion(0, 0, 0, 1), 0}, {Quaternion(0, 0, 0, -1), 0},
               // A scalar part just past 1 from rounding must not give NaN.
               {Quaternion(1e-4f, 0, 0, 1.0000002f), 0}};
  for (const Case& c : cases) {
    Vector3 gotAxis(9, 9, 9);
    float gotAngle = -1;
    c.q.toAxisAngle(gotAxis, gotAngle);
    EXPECT_EQ(gotAngle, c.angle);
    if (c.q.v.length() == 0) {
      EXPECT_EQ(gotAxis.y, 1.0f);
    }
  }
}

TEST(Math, ToMatrixMatchesGlRotateAndLeavesTheTranslationAlone) {
  float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
  Quaternion().toMatrix(identity);
  EXPECT_EQ(std::vector<float>(identity, identity + 16),
            std::vector<float>({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1}));

  REQUIRE_HEADLESS_GL();
  const Vector3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, Vector3(1, 2, -3).normalized()};
  for (const Vector3& axis : axes) {
    for (float degrees : {30.0f, -75.0f, 180.0f, 290.0f}) {
      SCOPED_TRACE(testing::Message() << degrees << " degrees about " << axis.x << ","
                                      << axis.y << "," << axis.z);
      float expected[16];
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glRotatef(degrees, axis.x, axis.y, axis.z);
      glGetFloatv(GL_MODELVIEW_MATRIX, expected);
      float got[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
      Quaternion::fromAxisAngle(degrees * pi / 180, axis).toMatrix(got);
      for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expected[i], 1e-5f) << "element " << i;
    }
  }
}

TEST(Math, SlerpHitsItsEndsAndTakesTheShorterArc) {
  const Quaternion a = Quaternion::fromAxisAngle(0.4f, Vector3(0, 1, 0));
  const Quaternion b = Quaternion::fromAxisAngle(2.0f, Vector3(0.6f, 0, 0.8f));
  expectNear(a.slerp(b, 0), a);
  expectNear(a.slerp(b, 1), b);
  for (float t : {0.0f, 0.3f, 1.0f}) {
    expectNear(a.slerp(a, t), a);
    expectNear(a.slerp(-a, t), -a);
  }
  // From the identity to the negated form of a quarter turn: still an eighth turn.
  const Quaternion quarter = Quaternion::fromAxisAngle(pi / 2, Vector3(0, 0, 1));
  const Quaternion mid = Quaternion().slerp(-quarter, 0.5f);
  EXPECT_NEAR(std::fabs(mid.w), std::cos(pi / 8), 1e-6f);
  EXPECT_NEAR(mid.norm(), 1.0f, 1e-6f);
  // Nearly equal rotations stay finite.
  const Quaternion close = Quaternion(1e-4f, 0, 0, 1).normalized();
  EXPECT_TRUE(std::isfinite(Quaternion().slerp(close, 0.5f).w));
}

}  // namespace
