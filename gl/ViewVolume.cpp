#include "gl/ViewVolume.h"

#include <algorithm>
#include <cmath>

#include "gl/GlApi.h"

void ViewVolume::clipMatrix(float (&m)[16]) {
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += projection[r + 4 * k] * modelview[k + 4 * c];
      m[r + 4 * c] = sum;
    }
}

ViewVolume ViewVolume::current() {
  // Row r of the clip matrix is m[r + 4c].
  float m[16];
  clipMatrix(m);
  // Each plane is the w row plus or minus the x, y or z row: -w <= x <= w...
  ViewVolume volume;
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      float* plane = volume.planes_[axis * 2 + side];
      const float sign = side == 0 ? 1.0f : -1.0f;
      for (int c = 0; c < 4; ++c) plane[c] = m[3 + 4 * c] + sign * m[axis + 4 * c];
      const float length =
          std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (length > 0.0f) {
        for (int c = 0; c < 4; ++c) plane[c] /= length;
      } else {
        plane[3] = 1.0f;  // degenerate: never excludes
      }
    }
  return volume;
}

bool ViewVolume::excludesSphere(float x, float y, float z, float radius) const {
  for (const auto& p : planes_)
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -radius) return true;
  return false;
}

bool ViewVolume::excludesBox(const float (&low)[3], const float (&high)[3]) const {
  for (const auto& p : planes_) {
    // The corner farthest along the plane's normal.
    const float x = p[0] >= 0.0f ? high[0] : low[0];
    const float y = p[1] >= 0.0f ? high[1] : low[1];
    const float z = p[2] >= 0.0f ? high[2] : low[2];
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < 0.0f) return true;
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
