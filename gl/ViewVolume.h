// Boxes, matrices and the volume a view shows.
#pragma once

// An axis-aligned box given by its two opposite corners.
struct AxisBox {
  float low[3];
  float high[3];

  bool meets(const AxisBox& other) const {
    for (int axis = 0; axis < 3; ++axis)
      if (low[axis] > other.high[axis] || other.low[axis] > high[axis]) return false;
    return true;
  }
};

// The box swept along `light` (pointing downwards) until it lies below
// `lowest` and cut off there, `margin` wider all round: every point no lower
// than `lowest` that a shadow of something in `caster` can darken.
AxisBox shadowReach(const AxisBox& caster, const float (&light)[3], float lowest, float margin);

// The box `by` wider on every side.
AxisBox widened(const AxisBox& box, float by);

// Column-major 4 x 4 matrices, as GL keeps them.
using Matrix4 = float[16];

// a times b.
void multiply(const Matrix4& a, const Matrix4& b, Matrix4& product);

// What a projection and a view show, for leaving out geometry that could not
// put a single pixel into the target. Built from matrices the caller made,
// never read back from GL.
class ViewVolume {
 public:
  // Shows everything.
  ViewVolume();
  ViewVolume(const Matrix4& projection, const Matrix4& view);

  // Projection times view: takes points into clip coordinates.
  const Matrix4& clip() const { return clip_; }

  // True when a sphere lies wholly outside; a sphere that only touches the
  // volume counts as inside.
  bool excludesSphere(float x, float y, float z, float radius) const;
  // The same for an axis-aligned box given by its two opposite corners.
  bool excludesBox(const float (&low)[3], const float (&high)[3]) const;

 private:
  Matrix4 clip_ = {};
  double planes_[6][4] = {};  // a x + b y + c z + d >= 0 inside, (a, b, c) unit
  // How far the GL's float sums may put a point off each plane, per unit of
  // |x|, |y|, |z| and 1.
  double errors_[6][4] = {};
};
