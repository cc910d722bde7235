#include "render/ShadowTiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

ShadowTiles::ShadowTiles(int size, const Matrix4& light)
    : size_(size), on_(static_cast<std::size_t>(across * across), false) {
  std::copy(light, light + 16, light_);
}

bool ShadowTiles::markBox(const AxisBox& box, const AxisBox& within, float margin) {
  if (!box.meets(within) || size_ <= 0) return false;
  AxisBox part = box;
  for (int axis = 0; axis < 3; ++axis) {
    part.low[axis] = std::max(part.low[axis], within.low[axis]);
    part.high[axis] = std::min(part.high[axis], within.high[axis]);
  }
  float low[2] = {1e30f, 1e30f}, high[2] = {-1e30f, -1e30f};
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {(corner & 1) ? part.high[0] : part.low[0],
                        (corner & 2) ? part.high[1] : part.low[1],
                        (corner & 4) ? part.high[2] : part.low[2]};
    for (int axis = 0; axis < 2; ++axis) {
      // Orthographic: w is 1.
      const float at = light_[axis] * p[0] + light_[axis + 4] * p[1] + light_[axis + 8] * p[2] +
                       light_[axis + 12];
      low[axis] = std::min(low[axis], at);
      high[axis] = std::max(high[axis], at);
    }
  }
  // Tile t holds the texels from t * size / across on.
  const float perTexel = static_cast<float>(across) / static_cast<float>(size_);
  int range[2][2];
  for (int axis = 0; axis < 2; ++axis) {
    const float from = (low[axis] * 0.5f + 0.5f) * static_cast<float>(size_) - margin;
    const float to = (high[axis] * 0.5f + 0.5f) * static_cast<float>(size_) + margin;
    if (!(to >= 0.0f) || !(from < static_cast<float>(size_))) return false;
    range[axis][0] = std::max(0, static_cast<int>(std::floor(from * perTexel)));
    range[axis][1] = std::min(across - 1, static_cast<int>(std::floor(to * perTexel)));
  }
  for (int y = range[1][0]; y <= range[1][1]; ++y)
    for (int x = range[0][0]; x <= range[0][1]; ++x)
      on_[static_cast<std::size_t>(y * across + x)] = true;
  return true;
}

void ShadowTiles::markAll() { std::fill(on_.begin(), on_.end(), true); }

void ShadowTiles::clear() { std::fill(on_.begin(), on_.end(), false); }

bool ShadowTiles::any() const { return std::find(on_.begin(), on_.end(), true) != on_.end(); }

void ShadowTiles::add(const ShadowTiles& other) {
  for (std::size_t i = 0; i < on_.size() && i < other.on_.size(); ++i)
    on_[i] = on_[i] || other.on_[i];
}

void ShadowTiles::runs(const std::function<void(int, int, int, int)>& rect) const {
  auto edge = [this](int t) { return t * size_ / across; };
  for (int y = 0; y < across; ++y)
    for (int x = 0; x < across;) {
      if (!on_[static_cast<std::size_t>(y * across + x)]) {
        ++x;
        continue;
      }
      int end = x;
      while (end < across && on_[static_cast<std::size_t>(y * across + end)]) ++end;
      rect(edge(x), edge(y), edge(end) - edge(x), edge(y + 1) - edge(y));
      x = end;
    }
}

AxisBox everywhere() {
  const float big = std::numeric_limits<float>::max();
  return AxisBox{{-big, -big, -big}, {big, big, big}};
}
