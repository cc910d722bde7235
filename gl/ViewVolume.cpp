#include "gl/ViewVolume.h"

#include <algorithm>
#include <cmath>

namespace {

// The matrices are made on the CPU, the GL's own in float steps of its own:
// a box must lie this far outside before it is left out.
constexpr float outsideBy = 1e-3f;

}  // namespace

void multiply(const Matrix4& a, const Matrix4& b, Matrix4& product) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[r + 4 * k] * b[k + 4 * c];
      product[r + 4 * c] = sum;
    }
}

ViewVolume::ViewVolume() {
  for (int i = 0; i < 4; ++i) clip_[5 * i] = 1.0f;
  for (auto& plane : planes_) plane[3] = 1.0f;
}

ViewVolume::ViewVolume(const Matrix4& projection, const Matrix4& view) {
  multiply(projection, view, clip_);
  // Row r of the clip matrix is clip_[r + 4c]. Each plane is the w row plus
  // or minus the x, y or z row: -w <= x <= w...
  const Matrix4& m = clip_;
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      float* plane = planes_[axis * 2 + side];
      const float sign = side == 0 ? 1.0f : -1.0f;
      for (int c = 0; c < 4; ++c) plane[c] = m[3 + 4 * c] + sign * m[axis + 4 * c];
      const float length =
          std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (length > 0.0f && std::isfinite(length)) {
        for (int c = 0; c < 4; ++c) plane[c] /= length;
      } else {
        plane[0] = plane[1] = plane[2] = 0.0f;
        plane[3] = 1.0f;  // degenerate: never excludes
      }
    }
}

bool ViewVolume::excludesSphere(float x, float y, float z, float radius) const {
  for (const auto& p : planes_)
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -radius - outsideBy) return true;
  return false;
}

bool ViewVolume::excludesBox(const float (&low)[3], const float (&high)[3]) const {
  for (const auto& p : planes_) {
    // The corner farthest along the plane's normal.
    const float x = p[0] >= 0.0f ? high[0] : low[0];
    const float y = p[1] >= 0.0f ? high[1] : low[1];
    const float z = p[2] >= 0.0f ? high[2] : low[2];
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -outsideBy) return true;
  }
  return false;
}

AxisBox shadowReach(const AxisBox& caster, const float (&light)[3], float lowest, float margin) {
  AxisBox reach = caster;
  const float along = (caster.high[1] + margin - lowest) / -light[1];
  for (int axis = 0; axis < 3; ++axis) {
    const float move = light[axis] * along;
    reach.low[axis] = std::min(caster.low[axis], caster.low[axis] + move) - margin;
    reach.high[axis] = std::max(caster.high[axis], caster.high[axis] + move) + margin;
  }
  reach.low[1] = std::max(reach.low[1], std::min(lowest, reach.high[1]));
  return reach;
}

AxisBox widened(const AxisBox& box, float by) {
  AxisBox wider = box;
  for (int axis = 0; axis < 3; ++axis) {
    wider.low[axis] -= by;
    wider.high[axis] += by;
  }
  return wider;
}
