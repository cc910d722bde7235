#include "gl/ViewVolume.h"

#include <algorithm>
#include <cmath>

namespace {

// The GL takes a point to clip coordinates through its own float matrices,
// made in its own steps: each value it compares may be off by a few float
// steps of the terms summed into it. Counted generously: the projection
// times the view, that times the point, and the matrices' own making.
constexpr double floatStepsOff = 16.0 * 5.96e-8;

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
  for (auto& plane : planes_) plane[3] = 1.0;
}

ViewVolume::ViewVolume(const Matrix4& projection, const Matrix4& view) {
  multiply(projection, view, clip_);
  // The rows of projection times view in double, and of the product of the
  // absolute values, which bounds how far the GL's float sums may stray.
  double rows[4][4], sizes[4][4];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0, size = 0.0;
      for (int k = 0; k < 4; ++k) {
        const double term =
            static_cast<double>(projection[r + 4 * k]) * static_cast<double>(view[k + 4 * c]);
        sum += term;
        size += std::fabs(term);
      }
      rows[r][c] = sum;
      sizes[r][c] = size;
    }
  // Each plane is the w row plus or minus the x, y or z row: -w <= x <= w...
  // Subtracting nearly equal rows (the far plane) leaves a short normal, so
  // the error, in units along it, grows as the normal shrinks.
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      double* plane = planes_[axis * 2 + side];
      double* error = errors_[axis * 2 + side];
      const double sign = side == 0 ? 1.0 : -1.0;
      for (int c = 0; c < 4; ++c) {
        plane[c] = rows[3][c] + sign * rows[axis][c];
        error[c] = (sizes[3][c] + sizes[axis][c]) * floatStepsOff;
      }
      const double length =
          std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (length > 0.0 && std::isfinite(length)) {
        for (int c = 0; c < 4; ++c) {
          plane[c] /= length;
          error[c] /= length;
        }
      } else {
        for (int c = 0; c < 4; ++c) plane[c] = error[c] = 0.0;
        plane[3] = 1.0;  // degenerate: never excludes
      }
    }
}

bool ViewVolume::excludesSphere(float x, float y, float z, float radius) const {
  const double r = radius;
  for (int i = 0; i < 6; ++i) {
    const double* p = planes_[i];
    const double* e = errors_[i];
    const double off =
        e[0] * (std::fabs(x) + r) + e[1] * (std::fabs(y) + r) + e[2] * (std::fabs(z) + r) + e[3];
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -r - off) return true;
  }
  return false;
}

bool ViewVolume::excludesBox(const float (&low)[3], const float (&high)[3]) const {
  double reach[3];
  for (int axis = 0; axis < 3; ++axis)
    reach[axis] = std::max(std::fabs(static_cast<double>(low[axis])),
                           std::fabs(static_cast<double>(high[axis])));
  for (int i = 0; i < 6; ++i) {
    const double* p = planes_[i];
    const double* e = errors_[i];
    // The corner farthest along the plane's normal.
    const double x = p[0] >= 0.0 ? high[0] : low[0];
    const double y = p[1] >= 0.0 ? high[1] : low[1];
    const double z = p[2] >= 0.0 ? high[2] : low[2];
    const double off = e[0] * reach[0] + e[1] * reach[1] + e[2] * reach[2] + e[3];
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -off) return true;
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
