// Which boxes the bound target's depth hides wholly: each box is drawn as an
// occlusion query, without colour or depth, and the answers are read
// together. What lies in a hidden box can put no pixel into the target.
#pragma once

#include <vector>

#include "gl/GlApi.h"
#include "gl/ViewVolume.h"

class BoxQueries {
 public:
  BoxQueries() = default;
  BoxQueries(const BoxQueries&) = delete;
  BoxQueries& operator=(const BoxQueries&) = delete;

  // One answer per box: false only where the depth test would refuse every
  // fragment of its faces under `clip`, the matrix the target is drawn
  // with. A box that reaches the eye's near plane, or the want of the
  // extension, counts as seen.
  std::vector<bool> seen(const std::vector<AxisBox>& boxes, const Matrix4& clip);
  // Deletes the queries; the context they were made in must be current.
  void release();

 private:
  std::vector<GLuint> queries_;
  bool fetched_ = false;
};
