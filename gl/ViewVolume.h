// The volume the current projection and modelview matrices show, for leaving
// out geometry that could not put a single pixel into the target.
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

class ViewVolume {
 public:
  // The volume of the matrices in force now, in the modelview's own space.
  static ViewVolume current();
  // The projection times the modelview in force, column-major: the matrix
  // that takes points into clip coordinates.
  static void clipMatrix(float (&m)[16]);

  // True when a sphere lies wholly outside; a sphere that only touches the
  // volume counts as inside.
  bool excludesSphere(float x, float y, float z, float radius) const;
  // The same for an axis-aligned box given by its two opposite corners.
  bool excludesBox(const float (&low)[3], const float (&high)[3]) const;

 private:
  float planes_[6][4] = {};  // a x + b y + c z + d >= 0 inside, (a, b, c) unit
};
