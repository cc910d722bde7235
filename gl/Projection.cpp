#include "gl/Projection.h"

#include <cmath>

#include "gl/GlApi.h"

namespace {

constexpr double fieldOfViewDegrees = 75.0;
constexpr float nearDistance = 0.1f;

// A window shrunk to no height keeps a usable aspect instead of dividing by 0.
double aspectOf(int width, int height) {
  return static_cast<double>(width) / static_cast<double>(height > 0 ? height : 1);
}

}  // namespace

void setPerspectiveView(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fieldOfViewDegrees, aspectOf(width, height), static_cast<double>(nearDistance),
                 200.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void perspectiveMatrix(int width, int height, Matrix4& m) {
  const double radians = fieldOfViewDegrees / 2.0 * 3.14159265358979323846 / 180.0;
  const double near = static_cast<double>(nearDistance), far = 200.0;
  const double cotangent = std::cos(radians) / std::sin(radians);
  for (float& value : m) value = 0.0f;
  m[0] = static_cast<float>(cotangent / aspectOf(width, height));
  m[5] = static_cast<float>(cotangent);
  m[10] = static_cast<float>(-(far + near) / (far - near));
  m[11] = -1.0f;
  m[14] = static_cast<float>(-2.0 * near * far / (far - near));
}

float nearPlaneReach(int width, int height) {
  const double halfHeight = std::tan(fieldOfViewDegrees * 3.14159265358979323846 / 360.0);
  const double halfWidth = halfHeight * std::fabs(aspectOf(width, height));
  // A little more than the exact corner, against rounding.
  return static_cast<float>(
      nearDistance * std::sqrt(1.0 + halfWidth * halfWidth + halfHeight * halfHeight) * 1.01);
}
