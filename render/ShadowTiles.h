// The shadow image in tiles of 64 texels: which parts of it a frame writes
// over the kept scene, and which it must write.
#pragma once

#include <functional>
#include <vector>

#include "gl/ViewVolume.h"

class ShadowTiles {
 public:
  static constexpr int across = 32;

  // For an image of `size` texels a side, seen through `light` (the light's
  // projection times its view).
  ShadowTiles(int size, const Matrix4& light);

  // Marks the tiles under the part of `box` inside `within`, `margin`
  // texels wider all round; false, marking nothing, where there is none.
  bool markBox(const AxisBox& box, const AxisBox& within, float margin);
  void markAll();
  void clear();
  bool any() const;
  // Calls `rect` (left, bottom, width, height in texels) for each run of
  // marked tiles along a row.
  void runs(const std::function<void(int, int, int, int)>& rect) const;
  // Marks, besides its own, the tiles the other marks.
  void add(const ShadowTiles& other);

 private:
  int size_;
  Matrix4 light_;
  std::vector<bool> on_;
};

// No bound at all, for boxes marked whole.
AxisBox everywhere();
