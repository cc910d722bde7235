// The waypoint network the characters walk, checked against the finished
// scene, and its file.
#include <fstream>
#include <iostream>
#include <map>

#include "tools/worldgen/World.h"

namespace genworld {

// Whether the walk a character makes at the start, from one unit in -x and
// -z straight to the waypoint at the waypoint's height, stays on the ground.
bool startClear(const SurfaceIndex& surfaces, double x, double z) {
  const double y = surfaces.highest(x, z);
  for (int k = 0; k <= 28; ++k) {
    const double t = k / 28.0;
    const double h = surfaces.highest(x - 1 + t, z - 1 + t) - y;
    if (h >= 0.08 || h <= -0.12) return false;
  }
  return true;
}

void buildNetwork(World& w, const SurfaceIndex& surfaces) {
  std::map<std::string, int> index;
  auto addPoint = [&](double x, double z) {
    w.waypoints.push_back({x, surfaces.highest(x, z), z, {}});
    return static_cast<int>(w.waypoints.size()) - 1;
  };
  for (const Node& n : w.nodeList) index[n.name] = addPoint(n.x, n.z);
  auto link = [&](int a, int b) { w.waypoints[a].links.push_back(b); };
  auto both = [&](int a, int b) {
    link(a, b);
    link(b, a);
  };
  // Ring round the well, one way.
  for (int i = 0; i < 6; ++i)
    link(index["ring" + std::to_string(i)], index["ring" + std::to_string((i + 5) % 6)]);
  both(index["door1"], index["ring4"]);
  // Terrace round the tower, the steps, the bridge.
  both(index["towerFoot"], index["terraceS"]);
  both(index["terraceS"], index["terraceSW"]);
  both(index["terraceS"], index["terraceSE"]);
  both(index["terraceSE"], index["terraceNE"]);
  both(index["terraceNE"], index["terraceNW"]);
  both(index["terraceNW"], index["terraceW"]);
  both(index["terraceW"], index["terraceSW"]);
  both(index["terraceW"], index["towerWestFoot"]);
  both(index["bridgeE"], index["bridgeCrownE"]);
  both(index["bridgeCrownE"], index["bridgeCrownW"]);
  both(index["bridgeCrownW"], index["bridgeW"]);
  // Quay and jetty.
  both(index["quayN"], index["quayE"]);
  both(index["quayE"], index["quayJ"]);
  both(index["quayJ"], index["quayS"]);
  both(index["quayJ"], index["jettyMid"]);
  both(index["jettyMid"], index["jettyEnd"]);

  // Paths: intermediate points wherever the straight walk would leave the strip.
  for (const PathSpec& p : paths()) {
    const auto pts = pathPoints(w.nodeList, p, 0.04);
    int previous = index[p.from];
    size_t start = 0;
    while (start + 1 < pts.size()) {
      // Points whose chord from `start` stays on the strip and under 1.4 long.
      std::vector<size_t> valid;
      for (size_t cand = start + 1; cand < pts.size(); ++cand) {
        const double cl =
            planar(pts[cand].first - pts[start].first, pts[cand].second - pts[start].second);
        if (cl > 1.4) break;
        bool ok = true;
        for (size_t k = start + 1; k < cand && ok; ++k)
          ok = pointSegmentDistance(pts[k].first, pts[k].second, pts[start].first,
                                    pts[start].second, pts[cand].first, pts[cand].second) < 0.05;
        if (ok) valid.push_back(cand);
      }
      size_t end = valid.empty() ? start + 1 : valid.back();
      if (end + 1 < pts.size()) {
        // Prefer the furthest point a character can also start towards (from
        // one unit in -x and -z); keep clear of stubs at either end.
        auto usable = [&](size_t k) {
          const double fromStart =
              planar(pts[k].first - pts[start].first, pts[k].second - pts[start].second);
          const double toEnd =
              planar(pts.back().first - pts[k].first, pts.back().second - pts[k].second);
          return fromStart >= 0.3 && toEnd >= 0.3;
        };
        size_t pick = 0;
        for (size_t k : valid)
          if (usable(k) && startClear(surfaces, pts[k].first, pts[k].second)) pick = k;
        if (pick == 0)
          for (size_t k : valid)
            if (usable(k)) pick = k;
        if (pick != 0) end = pick;
      }
      const int next =
          end + 1 >= pts.size() ? index[p.to] : addPoint(pts[end].first, pts[end].second);
      both(previous, next);
      previous = next;
      start = end;
    }
  }
  // Trees and rocks will keep off every link, and off the first walks that
  // are open so far.
  for (size_t i = 0; i < w.waypoints.size(); ++i) {
    const Waypoint& p = w.waypoints[i];
    if (startClear(surfaces, p.x, p.z)) w.walks.push_back({p.x - 1, p.z - 1, p.x, p.z});
    for (int l : p.links) w.walks.push_back({p.x, p.z, w.waypoints[l].x, w.waypoints[l].z});
  }
}

// Reports how the walks lie on the finished scene; false if a waypoint is
// unusable.
bool checkNetwork(const World& w, const SurfaceIndex& surfaces, int& openStarts) {
  bool ok = true;
  openStarts = 0;
  for (size_t i = 0; i < w.waypoints.size(); ++i) {
    const Waypoint& p = w.waypoints[i];
    openStarts += startClear(surfaces, p.x, p.z);
    if (p.links.empty() || p.y < kWater + 0.1 ||
        std::fabs(surfaces.highest(p.x, p.z) - p.y) > 1e-4) {
      std::cerr << "gen_world: waypoint " << i + 1 << " at (" << p.x << ", " << p.y << ", " << p.z
                << ") is not on open ground or has no links\n";
      ok = false;
    }
    // Characters follow the straight line and its interpolated height.
    for (int l : p.links) {
      const Waypoint& q = w.waypoints[l];
      const int n = static_cast<int>(planar(q.x - p.x, q.z - p.z) / 0.02) + 1;
      double worst = 0;
      for (int k = 0; k <= n; ++k) {
        const double t = static_cast<double>(k) / n;
        const double h = surfaces.highest(lerp(p.x, q.x, t), lerp(p.z, q.z, t));
        worst = std::max(worst, std::fabs(h - lerp(p.y, q.y, t)));
      }
      if (worst > 0.055) {
        std::cerr << "gen_world: link " << i + 1 << " -> " << l + 1 << " leaves the ground by "
                  << worst << "\n";
        ok = false;
      }
    }
  }
  return ok;
}

void writeWaypoints(const std::vector<Waypoint>& points, const std::string& path) {
  std::string out = std::to_string(points.size()) + "\n";
  for (size_t i = 0; i < points.size(); ++i) {
    const Waypoint& p = points[i];
    out += fixed(p.x * 100, 2) + " " + fixed(p.y * 100, 2) + " " + fixed(-p.z * 100, 2) + " " +
           std::to_string(p.links.size()) + " " + std::to_string(i + 1);
    for (int l : p.links) out += " " + std::to_string(l + 1);
    out += "\n";
  }
  std::ofstream file(path, std::ios::binary);
  file << out;
}

}  // namespace genworld
