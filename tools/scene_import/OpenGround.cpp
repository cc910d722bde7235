#include "tools/scene_import/OpenGround.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

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

// Where a vertical line through (x, z) meets a triangle, if it does.
bool heightAt(const Triangle& t, float x, float z, float& y) {
  const float* a = t.p[0];
  const float* b = t.p[1];
  const float* c = t.p[2];
  const float d = (b[2] - c[2]) * (a[0] - c[0]) + (c[0] - b[0]) * (a[2] - c[2]);
  if (std::fabs(d) < 1e-12f) return false;
  const float u = ((b[2] - c[2]) * (x - c[0]) + (c[0] - b[0]) * (z - c[2])) / d;
  const float v = ((c[2] - a[2]) * (x - c[0]) + (a[0] - c[0]) * (z - c[2])) / d;
  if (u < 0 || v < 0 || u + v > 1) return false;
  y = u * a[1] + v * b[1] + (1 - u - v) * c[1];
  return true;
}

TopMap topMap(const std::vector<Triangle>& town) {
  TopMap map;
  for (const Triangle& t : town) {
    float lo[2] = {t.p[0][0], t.p[0][2]}, hi[2] = {lo[0], lo[1]};
    for (const auto& p : t.p) {
      lo[0] = std::min(lo[0], p[0]), hi[0] = std::max(hi[0], p[0]);
      lo[1] = std::min(lo[1], p[2]), hi[1] = std::max(hi[1], p[2]);
    }
    const float ux = t.p[1][0] - t.p[0][0], uy = t.p[1][1] - t.p[0][1], uz = t.p[1][2] - t.p[0][2];
    const float vx = t.p[2][0] - t.p[0][0], vy = t.p[2][1] - t.p[0][1], vz = t.p[2][2] - t.p[0][2];
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const bool flat = std::fabs(ny) > 0.97f * std::sqrt(nx * nx + ny * ny + nz * nz);
    const int i0 = std::max(0, int(std::floor((lo[0] + TopMap::half) / TopMap::step)));
    const int i1 =
        std::min(TopMap::cells - 1, int(std::floor((hi[0] + TopMap::half) / TopMap::step)));
    const int k0 = std::max(0, int(std::floor((lo[1] + TopMap::half) / TopMap::step)));
    const int k1 =
        std::min(TopMap::cells - 1, int(std::floor((hi[1] + TopMap::half) / TopMap::step)));
    for (int i = i0; i <= i1; ++i) {
      for (int k = k0; k <= k1; ++k) {
        float y;
        if (!heightAt(t, TopMap::centre(i), TopMap::centre(k), y)) continue;
        const int cell = k * TopMap::cells + i;
        if (y > map.top[cell]) map.top[cell] = y, map.level[cell] = flat;
      }
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
      // Grow the patch ring by ring while it stays level and empty.
      float radius = 0;
      for (int r = 1; r < n / 2; ++r) {
        bool open = true;
        for (int di = -r; di <= r && open; ++di) {
          for (int dk = -r; dk <= r && open; ++dk) {
            if (di * di + dk * dk > r * r || di * di + dk * dk <= (r - 1) * (r - 1)) continue;
            const int a = i + di, b = k + dk;
            open = a >= 0 && b >= 0 && a < n && b < n && map.level[b * n + a] &&
                   std::fabs(map.top[b * n + a] - ground) <= evenness &&
                   insideLightBox({TopMap::centre(a), ground, TopMap::centre(b)}) > 0.3f;
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
