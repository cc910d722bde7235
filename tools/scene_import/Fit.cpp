#include "tools/scene_import/Fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sceneimport {

namespace {

struct V {
  double x, y, z;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V operator*(V a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(V a, V b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V cross(V a, V b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V unit(V a) { return a * (1 / std::sqrt(dot(a, a))); }
V of(const float (&a)[3]) { return {a[0], a[1], a[2]}; }
V of(const Vec3& a) { return {a.x, a.y, a.z}; }

struct Frame {
  V side, up, forward;
};

// The axes gluLookAt gives an eye looking along `forward` with y up.
Frame frameOf(V forward) {
  const V f = unit(forward);
  const V s = unit(cross(f, {0, 1, 0}));
  return {s, cross(s, f), f};
}

const Frame& lightFrame() {
  static const Frame frame = frameOf(V{0, 0, 0} - of(Stage::light));
  return frame;
}

const Frame& viewFrame() {
  static const Frame frame = frameOf(of(Stage::look));
  return frame;
}

// a . (p - origin) <= bound
struct HalfSpace {
  V a;
  V origin;
  double bound;
};

std::vector<HalfSpace> stageLimits(float aspect) {
  constexpr double lightMargin = 0.25, viewMargin = 0.1;
  const Frame& l = lightFrame();
  const V light = of(Stage::light);
  const double w = Stage::lightBox[0] - lightMargin, h = Stage::lightBox[1] - lightMargin;
  std::vector<HalfSpace> limits = {
      {l.side, light, w},
      {l.side * -1, light, w},
      {l.up, light, h},
      {l.up * -1, light, h},
      {l.forward, light, Stage::lightBox[3] - lightMargin},
      {l.forward * -1, light, -(Stage::lightBox[2] + lightMargin)},
  };
  const Frame& v = viewFrame();
  const V eye = of(Stage::eye);
  const double t = std::tan(Stage::fovYDegrees * 0.5 * M_PI / 180) * (1 - viewMargin);
  limits.push_back({v.up - v.forward * t, eye, 0});
  limits.push_back({v.up * -1 - v.forward * t, eye, 0});
  limits.push_back({v.side - v.forward * (t * aspect), eye, 0});
  limits.push_back({v.side * -1 - v.forward * (t * aspect), eye, 0});
  limits.push_back({v.forward * -1, eye, -(Stage::nearPlane + 0.05)});
  return limits;
}

}  // namespace

float insideLightBox(const Vec3& p) {
  const Frame& l = lightFrame();
  const V q = of(p) - of(Stage::light);
  const double d = dot(q, l.forward);
  return static_cast<float>(std::min({Stage::lightBox[0] - std::fabs(dot(q, l.side)),
                                      Stage::lightBox[1] - std::fabs(dot(q, l.up)),
                                      d - Stage::lightBox[2], Stage::lightBox[3] - d}));
}

bool inOpeningView(const Vec3& p, float aspect, float margin) {
  const Frame& v = viewFrame();
  const V q = of(p) - of(Stage::eye);
  const double z = dot(q, v.forward);
  const double t = std::tan(Stage::fovYDegrees * 0.5 * M_PI / 180) * (1 - margin);
  return z > Stage::nearPlane && std::fabs(dot(q, v.up)) <= z * t &&
         std::fabs(dot(q, v.side)) <= z * t * aspect;
}

Placement fitToStage(const Vec3& low, const Vec3& high, float aspect) {
  Placement best;
  best.pivot = {(low.x + high.x) / 2, low.y, (low.z + high.z) / 2};
  std::vector<V> corners;
  for (int i = 0; i < 8; ++i) {
    corners.push_back(V{i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z} -
                      of(best.pivot));
  }
  const std::vector<HalfSpace> limits = stageLimits(aspect);
  const V look = of(Stage::look);
  const V along = unit(V{look.x, 0, look.z});
  const V eye = of(Stage::eye);
  best.scale = 0;
  // Every limit is linear in the scale for a given spot: walk the spots
  // straight ahead and keep the one that allows the largest model.
  for (double distance = 0.25; distance <= 16; distance += 0.05) {
    const V spot = V{eye.x, Stage::groundY, eye.z} + along * distance;
    double lowest = 0, highest = std::numeric_limits<double>::infinity();
    for (const HalfSpace& h : limits) {
      const double room = h.bound - dot(h.a, spot - h.origin);
      for (const V& c : corners) {
        const double rate = dot(h.a, c);
        if (rate > 0)
          highest = std::min(highest, room / rate);
        else if (room < 0 && rate < 0)
          lowest = std::max(lowest, room / rate);
        else if (room < 0)
          highest = -1;
      }
    }
    if (highest >= lowest && highest > best.scale && std::isfinite(highest)) {
      best.scale = static_cast<float>(highest);
      best.target = {float(spot.x), float(spot.y), float(spot.z)};
    }
  }
  return best;
}

Placement keepUnits(float scale, const Vec3& offset) {
  Placement p;
  p.scale = scale;
  p.target = offset;
  return p;
}

void applyPlacement(Model& model, const Placement& placement) {
  const bool mirrored = placement.scale < 0;
  for (ColourGroup& g : model.groups) {
    for (Vec3& p : g.positions) p = placement.place(p);
    if (!mirrored) continue;
    for (Vec3& n : g.normals) n = {-n.x, -n.y, -n.z};
  }
}

ColourGroup groundSheet(float half, const Vec3& colour) {
  ColourGroup g;
  g.colour = colour;
  const float top = Stage::groundY, bottom = Stage::waterY - 0.55f;
  auto quad = [&](Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 n) {
    const auto first = static_cast<std::uint32_t>(g.positions.size());
    for (const Vec3& p : {a, b, c, d}) {
      g.positions.push_back(p);
      g.normals.push_back(n);
    }
    for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) g.indices.push_back(first + i);
  };
  const float h = half;
  quad({-h, top, -h}, {-h, top, h}, {h, top, h}, {h, top, -h}, {0, 1, 0});
  quad({-h, top, h}, {-h, bottom, h}, {h, bottom, h}, {h, top, h}, {0, 0, 1});
  quad({h, top, -h}, {h, bottom, -h}, {-h, bottom, -h}, {-h, top, -h}, {0, 0, -1});
  quad({h, top, h}, {h, bottom, h}, {h, bottom, -h}, {h, top, -h}, {1, 0, 0});
  quad({-h, top, -h}, {-h, bottom, -h}, {-h, bottom, h}, {-h, top, h}, {-1, 0, 0});
  return g;
}

}  // namespace sceneimport
