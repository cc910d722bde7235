#include "base/Math.h"

#include <algorithm>

namespace {

// Rounding can push a unit dot product or scalar part just past 1.
float clampedAcos(float value) { return std::acos(std::clamp(value, -1.0f, 1.0f)); }

}  // namespace

Vector3 Vector3::normalized() const {
  const float len = length();
  if (len == 0.0f) return *this;
  return *this * (1.0f / len);
}

Quaternion Quaternion::normalized() const {
  const float n = norm();
  if (n == 0.0f) return *this;
  return *this * (1.0f / n);
}

Quaternion Quaternion::fromAxisAngle(float angle, const Vector3& axis) {
  const float half = angle * 0.5f;
  return {axis * std::sin(half), std::cos(half)};
}

void Quaternion::toAxisAngle(Vector3& axis, float& angle) const {
  const float len = v.length();
  if (len == 0.0f) {
    // No vector part: no rotation, and any axis serves; y is what callers expect.
    axis.set(0.0f, 1.0f, 0.0f);
    angle = 0.0f;
    return;
  }
  axis = v * (1.0f / len);
  angle = 2.0f * clampedAcos(w);
}

void Quaternion::toMatrix(float* m) const {
  const float x = v.x, y = v.y, z = v.z;
  m[0] = 1.0f - 2.0f * (y * y + z * z);
  m[1] = 2.0f * (x * y + z * w);
  m[2] = 2.0f * (x * z - y * w);
  m[3] = 0.0f;
  m[4] = 2.0f * (x * y - z * w);
  m[5] = 1.0f - 2.0f * (x * x + z * z);
  m[6] = 2.0f * (y * z + x * w);
  m[7] = 0.0f;
  m[8] = 2.0f * (x * z + y * w);
  m[9] = 2.0f * (y * z - x * w);
  m[10] = 1.0f - 2.0f * (x * x + y * y);
  m[11] = 0.0f;
}

Quaternion Quaternion::slerp(const Quaternion& to, float t) const {
  const float c = dot(to);
  // q and -q are the same rotation: start from whichever is nearer, so the
  // interpolation takes the shorter arc.
  const Quaternion from = c < 0.0f ? -*this : *this;
  float w0 = 1.0f - t;
  float w1 = t;
  if (std::fabs(c) < 1.0f) {
    const float omega = clampedAcos(from.dot(to));
    const float sinOmega = std::sin(omega);
    if (sinOmega != 0.0f) {
      w0 = std::sin((1.0f - t) * omega) / sinOmega;
      w1 = std::sin(t * omega) / sinOmega;
    }
  }
  return from * w0 + to * w1;
}
