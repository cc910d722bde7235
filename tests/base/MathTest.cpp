#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/Math.h"
#include "gl/GlApi.h"
#include "tests/support/HeadlessGl.h"

namespace {

constexpr float pi = 3.14159265f;

void expectNear(const Quaternion& a, const Quaternion& b) {
  EXPECT_NEAR((a.v - b.v).length() + std::fabs(a.w - b.w), 0.0f, 2e-6f);
}

TEST(Math, ZeroNormalizesToZeroAndOthersToUnitLength) {
  EXPECT_EQ(Vector3().normalized().length(), 0.0f);
  const Vector3 unit = Vector3(3, 0, -4).normalized();
  EXPECT_FLOAT_EQ(unit.x, 0.6f);
  EXPECT_FLOAT_EQ(unit.z, -0.8f);
  EXPECT_EQ(Quaternion(0, 0, 0, 0).normalized().norm(), 0.0f);
  EXPECT_FLOAT_EQ(Quaternion(1, 2, 3, 4).normalized().norm(), 1.0f);
}

TEST(Math, AxisAngleRoundTripsAndHasDefinedResultsWithoutAVectorPart) {
  const float h = std::sqrt(0.5f);
  expectNear(Quaternion::fromAxisAngle(pi / 2, Vector3(1, 0, 0)), Quaternion(h, 0, 0, h));
  const Vector3 axis = Vector3(1, -2, 3).normalized();
  for (float angle : {0.3f, pi, 4.0f, 2 * pi - 0.01f}) {
    SCOPED_TRACE(angle);
    Vector3 gotAxis;
    float gotAngle = -1;
    Quaternion::fromAxisAngle(angle, axis).toAxisAngle(gotAxis, gotAngle);
    EXPECT_NEAR(gotAngle, angle, 1e-3f);
    EXPECT_NEAR(gotAxis.dot(axis), 1.0f, 1e-5f);
  }
  // Without a vector part, and with a scalar part just past 1 from rounding: no NaN.
  for (const Quaternion& q : {Quaternion(0, 0, 0, -1), Quaternion(1e-4f, 0, 0, 1.0000002f)}) {
    Vector3 gotAxis(9, 9, 9);
    float gotAngle = -1;
    q.toAxisAngle(gotAxis, gotAngle);
    EXPECT_EQ(gotAngle, 0.0f);
    EXPECT_FALSE(std::isnan(gotAxis.x) || std::isnan(gotAxis.y) || std::isnan(gotAxis.z));
    if (q.v.length() == 0) {
      EXPECT_EQ(gotAxis.y, 1.0f);
    }
  }
}

TEST(Math, ToMatrixMatchesGlRotateAndLeavesTheTranslationAlone) {
  REQUIRE_HEADLESS_GL();
  for (const Vector3& axis : {Vector3(0, 1, 0), Vector3(1, 2, -3).normalized()}) {
    for (float degrees : {30.0f, -75.0f, 180.0f, 290.0f}) {
      SCOPED_TRACE(testing::Message()
                   << degrees << " degrees about " << axis.x << "," << axis.y << "," << axis.z);
      float expected[16];
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      glTranslatef(7, 8, 9);
      glRotatef(degrees, axis.x, axis.y, axis.z);
      glGetFloatv(GL_MODELVIEW_MATRIX, expected);
      float got[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
      Quaternion::fromAxisAngle(degrees * pi / 180, axis).toMatrix(got);
      for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expected[i], 1e-5f) << "element " << i;
    }
  }
  glLoadIdentity();
}

TEST(Math, SlerpHitsItsEndsAndTakesTheShorterArc) {
  const Quaternion a = Quaternion::fromAxisAngle(0.4f, Vector3(0, 1, 0));
  const Quaternion b = Quaternion::fromAxisAngle(2.0f, Vector3(0.6f, 0, 0.8f));
  expectNear(a.slerp(b, 0), a);
  expectNear(a.slerp(b, 1), b);
  expectNear(a.slerp(a, 0.3f), a);
  // From the identity to the negated form of a quarter turn: still an eighth turn.
  const Quaternion quarter = Quaternion::fromAxisAngle(pi / 2, Vector3(0, 0, 1));
  const Quaternion mid = Quaternion().slerp(-quarter, 0.5f);
  EXPECT_NEAR(std::fabs(mid.w), std::cos(pi / 8), 1e-6f);
  EXPECT_NEAR(mid.norm(), 1.0f, 1e-6f);
  // Nearly equal rotations stay finite.
  EXPECT_TRUE(std::isfinite(Quaternion().slerp(Quaternion(1e-4f, 0, 0, 1).normalized(), 0.5f).w));
}

}  // namespace
