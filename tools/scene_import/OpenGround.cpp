#include "tools/scene_import/OpenGround.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "tools/scene_import/SurfaceGrid.h"

namespace sceneimport {

namespace {

class Numbers {
 public:
  explicit Numbers(std::string text) : text_(std::move(text)), at_(text_.c_str()) {}
  bool next(double& v) {
    char* end = nullptr;
    v = std::strtod(at_, &end);
    if (end == at_) return false;
    at_ = end;
    return std::isfinite(v);
  }
  bool count(long long& n, long long most) {
    double v;
    if (!next(v) || v < 0 || v > double(most) || v != std::floor(v)) return false;
    n = static_cast<long long>(v);
    return true;
  }

 private:
  std::string text_;
  const char* at_;
};

// Heights of the town's top surfaces on a grid, and whether each is level.
struct TopMap {
  static constexpr float step = 0.2f, half = 12.0f;
  static constexpr int cells = static_cast<int>(2 * half / step);
  std::vector<float> top =
      std::vector<float>(cells * cells, -std::numeric_limits<float>::infinity());
  std::vector<char> level = std::vector<char>(cells * cells, 0);
  static float centre(int i) { return -half + (i + 0.5f) * step; }
};

TopMap topMap(const std::vector<Triangle>& town) {
  TopMap map;
  // Level floors only: 0.97 is the cosine of about 14 degrees.
  const SurfaceGrid grid(town, -TopMap::half, TopMap::half, -TopMap::half, TopMap::half, 0.97f);
  std::vector<float> heights;
  for (int k = 0; k < TopMap::cells; ++k) {
    for (int i = 0; i < TopMap::cells; ++i) {
      const float x = TopMap::centre(i), z = TopMap::centre(k);
      grid.floorsAt(x, z, heights);
      if (heights.empty()) continue;
      const float top = heights.back();
      const float from[3] = {x, top + 0.01f, z}, to[3] = {x, top + 1000.0f, z};
      const int cell = k * TopMap::cells + i;
      map.top[cell] = top;
      // Open where nothing, roof or wall, stands over the highest floor.
      map.level[cell] = !grid.crosses(from, to);
    }
  }
  return map;
}

}  // namespace

bool townTrianglesOf(const std::string& path, std::vector<Triangle>& triangles) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  Numbers n(std::string(std::istreambuf_iterator<char>(in), {}));
  long long colours, meshes;
  double v;
  if (!n.count(colours, 1 << 20)) return false;
  for (long long i = 0; i < 3 * colours; ++i) {
    if (!n.next(v)) return false;
  }
  if (!n.count(meshes, 1 << 20)) return false;
  for (long long m = 0; m < meshes; ++m) {
    long long vertices, texCoords, faces;
    if (!n.count(vertices, 1 << 26) || !n.count(texCoords, 1 << 26) || !n.count(faces, 1 << 26)) {
      return false;
    }
    std::vector<float> p(3 * vertices);
    for (long long i = 0; i < vertices; ++i) {
      double q[6];
      for (double& x : q) {
        if (!n.next(x)) return false;
      }
      p[3 * i] = float(q[0] * 0.01), p[3 * i + 1] = float(q[1] * 0.01),
            p[3 * i + 2] = float(-q[2] * 0.01);
    }
    for (long long i = 0; i < 3 * texCoords; ++i) {
      if (!n.next(v)) return false;
    }
    for (long long f = 0; f < faces; ++f) {
      double q[10];
      for (double& x : q) {
        if (!n.next(x)) return false;
      }
      Triangle t;
      for (int k = 0; k < 3; ++k) {
        const long long at = static_cast<long long>(q[k]);
        if (at < 0 || at >= vertices) return false;
        std::copy(&p[3 * at], &p[3 * at] + 3, t.p[k]);
      }
      triangles.push_back(t);
    }
  }
  return true;
}

bool placeOnOpenGround(const std::vector<Triangle>& town, const Vec3& low, const Vec3& high,
                       float aspect, Placement& placement) {
  const TopMap map = topMap(town);
  constexpr float evenness = 0.04f;  // the most a patch's ground may rise or fall
  const int n = TopMap::cells;
  float bestRadius = 0, bestSide = 0;
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < n; ++k) {
      const float x = TopMap::centre(i), z = TopMap::centre(k);
      const float ground = map.top[k * n + i];
      if (!map.level[k * n + i] || !inOpeningView({x, ground, z}, aspect, 0.3f) ||
          insideLightBox({x, ground, z}) < 1.0f) {
        continue;
      }
      // Grow the patch ring by ring while it stays level, empty and in view.
      float radius = 0;
      for (int r = 1; r < n / 2; ++r) {
        bool open = true;
        for (int di = -r; di <= r && open; ++di) {
          for (int dk = -r; dk <= r && open; ++dk) {
            if (di * di + dk * dk > r * r || di * di + dk * dk <= (r - 1) * (r - 1)) continue;
            const int a = i + di, b = k + dk;
            open = a >= 0 && b >= 0 && a < n && b < n && map.level[b * n + a] &&
                   std::fabs(map.top[b * n + a] - ground) <= evenness &&
                   insideLightBox({TopMap::centre(a), ground, TopMap::centre(b)}) > 0.3f &&
                   inOpeningView({TopMap::centre(a), ground, TopMap::centre(b)}, aspect, 0.05f);
          }
        }
        if (!open) break;
        radius = r * TopMap::step;
      }
      // Of equal patches, the one nearest the middle of the view.
      const float side = std::fabs(x * 0.954f + z * 0.298f);
      if (radius > bestRadius || (radius == bestRadius && radius > 0 && side < bestSide)) {
        bestRadius = radius, bestSide = side;
        placement.target = {x, ground, z};
      }
    }
  }
  if (bestRadius < 0.4f) return false;
  placement.pivot = {(low.x + high.x) / 2, low.y, (low.z + high.z) / 2};
  const float across = std::hypot(high.x - low.x, high.z - low.z) / 2;
  const float tall = high.y - low.y;
  float scale = across > 0 ? (bestRadius - 0.3f) / across : bestRadius;
  // Its top inside the light's box too.
  while (scale > 1e-4f && tall > 0 &&
         insideLightBox(
             {placement.target.x, placement.target.y + tall * scale, placement.target.z}) < 0.25f) {
    scale *= 0.95f;
  }
  placement.scale = scale;
  return scale > 1e-4f;
}

}  // namespace sceneimport
