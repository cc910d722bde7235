// The scene's triangles sorted into square cells across the ground plane,
// for the questions the walk network asks many thousand times: what can a
// walker stand on at a spot, and does anything stand in its way there.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/scene_import/Triangle.h"

namespace sceneimport {

// A floor under a spot: its height there and how it tilts.
struct Floor {
  float height = 0;
  float slopeX = 0, slopeZ = 0;  // rise per unit of x and of z
};

class SurfaceGrid {
 public:
  // Only the triangles over the rectangle are kept. A triangle is a floor
  // when its plane is no steeper than the slope whose cosine is given,
  // whichever way it winds: mirroring on import and careless modelling
  // both turn windings round.
  SurfaceGrid(const std::vector<Triangle>& triangles, float minX, float maxX, float minZ,
              float maxZ, float cosMaxSlope);

  bool hasFloor() const { return floorCount_ > 0; }
  // The heights of the floors straight under and over (x, z), lowest first.
  void floorsAt(float x, float z, std::vector<float>& heights) const;
  // The floor at (x, z) nearest to height y, if one lies within `tolerance`.
  bool floorNear(float x, float z, float y, float tolerance, Floor& floor) const;
  // Whether a part of a triangle comes within `radius` of the vertical line
  // through (x, z) between `low` and `high` over the plane of the floor
  // there, the floor under a walker standing at (x, z). Other floors count
  // only where they rise over that plane by more than `floorClimb` for each
  // unit away from the line, so that the floor it walks onto does not count.
  bool blocked(float x, float z, float radius, const Floor& floor, float low, float floorClimb,
               float high) const;
  // Whether the straight line from a to b passes through a triangle.
  bool crosses(const float (&a)[3], const float (&b)[3]) const;

 private:
  struct Face {
    float p[3][3];
    // Floors: y = a x + b z + c, and the projection's doubled signed area.
    double a = 0, b = 0, c = 0, area = 0;
    bool floor = false;
  };
  bool over(const Face& face, float x, float z) const;
  bool reaches(const Face& face, float x, float z, float radius, const Floor& floor, float low,
               float high) const;
  void startQuery() const;
  int column(float x) const;
  int row(float z) const;

  std::vector<Face> faces_;
  std::int64_t floorCount_ = 0;
  float minX_, minZ_, cell_;
  int columns_ = 1, rows_ = 1;
  // Faces of cell r * columns + c: cellFaces_[cellStart_[i] .. cellStart_[i + 1]).
  std::vector<std::int32_t> cellStart_;
  std::vector<std::int32_t> cellFaces_;
  // Faces already looked at in the current query, which may meet a face in
  // several cells.
  mutable std::vector<std::uint32_t> seen_;
  mutable std::uint32_t query_ = 0;
};

}  // namespace sceneimport
