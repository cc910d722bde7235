#include "tools/scene_import/Walkable.h"

#include <algorithm>
#include <cmath>

#include "tools/common/Deterministic.h"
#include "tools/scene_import/SurfaceGrid.h"

namespace sceneimport {

namespace {

// A walker starts this far in -x and in -z of its first waypoint.
constexpr float startOffset = 1.0f;
// Eight ways round a spot, the diagonals on the unit circle too.
constexpr float diagonal = 0.70710678f;
constexpr float around[8][2] = {{1, 0},  {diagonal, diagonal},   {0, 1},  {-diagonal, diagonal},
                                {-1, 0}, {-diagonal, -diagonal}, {0, -1}, {diagonal, -diagonal}};

// Libm's trigonometry differs between machines; the file must not.
double cosine(float degrees) { return gen::cosine(gen::rad(degrees)); }
double tangent(float degrees) { return gen::sine(gen::rad(degrees)) / cosine(degrees); }

float across(float dx, float dz) { return std::sqrt(dx * dx + dz * dz); }

struct Spot {
  float x, y, z;
};

std::string number(float value) { return gen::fixed(value, 3); }

class Builder {
 public:
  Builder(const std::vector<Triangle>& triangles, const WalkOptions& options)
      : o_(options),
        // Far enough round the area for the starts and the margins.
        grid_(triangles, options.minX - reach(options), options.maxX + reach(options),
              options.minZ - reach(options), options.maxZ + reach(options),
              static_cast<float>(cosine(options.maxSlopeDegrees))),
        tanSlope_(static_cast<float>(tangent(options.maxSlopeDegrees))),
        step_(std::max(0.02f, std::min(options.edgeMargin, options.spacing) / 2)) {}

  bool hasFloor() const { return grid_.hasFloor(); }

  // The floors under (x, z), one height for each level a walker can stand
  // at there and start from.
  void spotsAt(float x, float z, std::vector<Spot>& spots) {
    spots.clear();
    grid_.floorsAt(x, z, heights_);
    for (std::size_t i = 0; i < heights_.size(); ++i) {
      // Of faces close above one another (a floor on a thin slab), the top.
      if (i + 1 < heights_.size() && heights_[i + 1] - heights_[i] <= o_.heightTolerance) continue;
      const Spot spot{x, heights_[i], z};
      Floor floor;
      if (grid_.floorNear(x, z, spot.y, 0, floor) && standsOn(x, z, floor) &&
          walkable({x - startOffset, spot.y, z - startOffset}, spot))
        spots.push_back(spot);
    }
  }

  // Whether a walker can go straight from a to b, its height following the
  // line: the floor under every step at that height, floor all round it to
  // the margin and nothing in its way.
  bool walkable(const Spot& a, const Spot& b) {
    const float length = across(b.x - a.x, b.z - a.z);
    if (std::fabs(b.y - a.y) > length * tanSlope_ + o_.heightTolerance) return false;
    const int steps = std::max(1, static_cast<int>(std::ceil(length / step_)));
    // The floor under every step first: where the line leaves it, that
    // is cheaper to find than the room round each step.
    std::vector<Floor>& floors = floors_;
    floors.resize(steps + 1);
    for (int k = 0; k <= steps; ++k) {
      const float t = static_cast<float>(k) / steps;
      if (!grid_.floorNear(a.x + t * (b.x - a.x), a.z + t * (b.z - a.z), a.y + t * (b.y - a.y),
                           o_.heightTolerance, floors[k]))
        return false;
    }
    // Then a wall across the way, at half the walker's height: it would be
    // found by the room round a step, but at far more cost.
    const float lift = o_.clearance / 2;
    if (grid_.crosses({a.x, a.y + lift, a.z}, {b.x, b.y + lift, b.z})) return false;
    for (int k = 0; k <= steps; ++k) {
      const float t = static_cast<float>(k) / steps;
      if (!standsOn(a.x + t * (b.x - a.x), a.z + t * (b.z - a.z), floors[k])) return false;
    }
    return true;
  }

 private:
  static float reach(const WalkOptions& options) {
    return startOffset + options.edgeMargin + options.spacing;
  }

  // Whether a walker on `floor` at (x, z) has the floor go on all round
  // to the margin, and nothing over that floor in its way.
  bool standsOn(float x, float z, const Floor& floor) const {
    const float margin = o_.edgeMargin;
    for (const auto& way : around) {
      const float dx = margin * way[0], dz = margin * way[1];
      const float expected = floor.height + floor.slopeX * dx + floor.slopeZ * dz;
      Floor there;
      if (!grid_.floorNear(x + dx, z + dz, expected, o_.heightTolerance, there) &&
          !floorRunsOn(x, z, floor.height, dx, dz))
        return false;
    }
    return !grid_.blocked(x, z, margin, floor, o_.heightTolerance, tanSlope_, o_.clearance);
  }

  // Whether the floor goes on from (x, z) by (dx, dz) in small steps none
  // of which climbs or drops more than the slope limit allows: a fold
  // between slopes, not an edge.
  bool floorRunsOn(float x, float z, float height, float dx, float dz) const {
    constexpr int steps = 8;
    const float climb = across(dx, dz) / steps * tanSlope_ + 0.005f;
    Floor there;
    for (int s = 1; s <= steps; ++s) {
      const float t = static_cast<float>(s) / steps;
      if (!grid_.floorNear(x + t * dx, z + t * dz, height, climb, there)) return false;
      height = there.height;
    }
    return true;
  }

  const WalkOptions& o_;
  SurfaceGrid grid_;
  float tanSlope_;
  float step_;
  std::vector<float> heights_;
  std::vector<Floor> floors_;
};

std::string checkOptions(const WalkOptions& o) {
  for (float v : {o.maxSlopeDegrees, o.spacing, o.clearance, o.edgeMargin, o.heightTolerance,
                  o.linkReach, o.minX, o.maxX, o.minZ, o.maxZ})
    if (!std::isfinite(v)) return "the walk options hold a number that is not finite";
  if (!(o.maxX > o.minX) || !(o.maxZ > o.minZ)) return "the area to cover is empty";
  if (!(o.spacing > 0) || o.clearance < 0 || o.edgeMargin < 0 || o.heightTolerance < 0 ||
      o.linkReach < 0 || o.maxWaypoints < 2 || !(o.maxSlopeDegrees > 0 && o.maxSlopeDegrees < 90))
    return "the walk options are out of range (spacing " + number(o.spacing) + ", slope " +
           number(o.maxSlopeDegrees) + ", at most " + std::to_string(o.maxWaypoints) +
           " waypoints)";
  return "";
}

// Keeps the points of the largest set that reach one another, renumbered.
void keepLargestGroup(std::vector<WalkPoint>& points) {
  const int count = static_cast<int>(points.size());
  std::vector<int> group(count, -1), sizes;
  std::vector<int> stack;
  for (int start = 0; start < count; ++start) {
    if (group[start] >= 0) continue;
    const int id = static_cast<int>(sizes.size());
    sizes.push_back(0);
    group[start] = id;
    stack.push_back(start);
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      ++sizes[id];
      for (int l : points[p].links) {
        if (group[l] < 0) {
          group[l] = id;
          stack.push_back(l);
        }
      }
    }
  }
  const int largest =
      static_cast<int>(std::max_element(sizes.begin(), sizes.end()) - sizes.begin());
  std::vector<int> renumbered(count, -1);
  std::vector<WalkPoint> kept;
  for (int p = 0; p < count; ++p) {
    if (group[p] != largest) continue;
    renumbered[p] = static_cast<int>(kept.size());
    kept.push_back(points[p]);
  }
  for (WalkPoint& point : kept)
    for (int& l : point.links) l = renumbered[l];
  points = std::move(kept);
}

}  // namespace

WalkNetwork buildWalkNetwork(const std::vector<Triangle>& triangles, const WalkOptions& options) {
  WalkNetwork network;
  network.why = checkOptions(options);
  if (!network.why.empty()) return network;
  Builder builder(triangles, options);
  if (!builder.hasFloor()) {
    network.why = "nothing in the area is a floor: no surface lies within " +
                  number(options.maxSlopeDegrees) + " degrees of level";
    return network;
  }

  // A lattice of columns over the area, coarser where it would hold too
  // many points, and coarser again where floors over floors still do.
  const float width = options.maxX - options.minX, depth = options.maxZ - options.minZ;
  float spacing = std::max(options.spacing,
                           std::sqrt(width * depth / static_cast<float>(options.maxWaypoints)));
  int columns = 0, rows = 0;
  float x0 = 0, z0 = 0;
  std::vector<std::vector<int>> pointsOf;
  std::vector<Spot> spots;
  for (;;) {
    columns = std::max(1, static_cast<int>(width / spacing));
    rows = std::max(1, static_cast<int>(depth / spacing));
    x0 = options.minX + (width - (columns - 1) * spacing) / 2;
    z0 = options.minZ + (depth - (rows - 1) * spacing) / 2;
    network.points.clear();
    pointsOf.assign(static_cast<std::size_t>(columns) * rows, {});
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        builder.spotsAt(x0 + c * spacing, z0 + r * spacing, spots);
        for (const Spot& s : spots) {
          pointsOf[r * columns + c].push_back(static_cast<int>(network.points.size()));
          network.points.push_back({s.x, s.y, s.z, {}});
        }
      }
    }
    const float over = static_cast<float>(network.points.size()) / options.maxWaypoints;
    if (over <= 1) break;
    spacing *= std::max(1.05f, std::sqrt(over));
  }
  if (network.points.empty()) {
    network.why = "no floor in the area has room for a walker (" + number(options.clearance) +
                  " high, " + number(options.edgeMargin) +
                  " from edges and walls, and a straight start from 1 in -x and -z)";
    return network;
  }

  // Neighbouring columns first, diagonals included; then, shortest first,
  // the longer links that join two groups of points not yet joined, such
  // as the two sides of a door too narrow for the start a point needs.
  std::vector<WalkPoint>& points = network.points;
  auto spotOf = [&](int p) { return Spot{points[p].x, points[p].y, points[p].z}; };
  std::vector<int> group(points.size());
  for (std::size_t p = 0; p < group.size(); ++p) group[p] = static_cast<int>(p);
  auto root = [&](int p) {
    while (group[p] != p) p = group[p] = group[group[p]];
    return p;
  };
  auto tryLink = [&](int a, int b) {
    if (!builder.walkable(spotOf(a), spotOf(b))) return;
    points[a].links.push_back(b);
    points[b].links.push_back(a);
    group[root(a)] = root(b);
  };
  const int reach = std::max(1, static_cast<int>(options.linkReach / spacing));
  struct Pair {
    int squared, a, b;
  };
  std::vector<Pair> longer;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const int from = r * columns + c;
      for (int nr = r; nr <= std::min(rows - 1, r + reach); ++nr) {
        for (int nc = std::max(0, c - reach); nc <= std::min(columns - 1, c + reach); ++nc) {
          const int to = nr * columns + nc, squared = (nr - r) * (nr - r) + (nc - c) * (nc - c);
          if (to <= from || (squared > 2 && squared > reach * reach)) continue;
          for (int a : pointsOf[from]) {
            for (int b : pointsOf[to]) {
              if (squared <= 2)
                tryLink(a, b);
              else
                longer.push_back({squared, a, b});
            }
          }
        }
      }
    }
  }
  std::stable_sort(longer.begin(), longer.end(),
                   [](const Pair& p, const Pair& q) { return p.squared < q.squared; });
  for (const Pair& pair : longer)
    if (root(pair.a) != root(pair.b)) tryLink(pair.a, pair.b);

  keepLargestGroup(network.points);
  if (network.points.size() < 2) {
    network.points.clear();
    network.why = "no two places a walker can stand on are joined by a straight walk";
  }
  return network;
}

void writeWaypoints(std::ostream& out, const WalkNetwork& network) {
  // Hundredths of a file unit.
  auto put = [](float value) { return gen::fixed(static_cast<double>(value) * 100, 2) + ' '; };
  std::string text = std::to_string(network.points.size()) + '\n';
  for (std::size_t i = 0; i < network.points.size(); ++i) {
    const WalkPoint& p = network.points[i];
    text += put(p.x) + put(p.y) + put(-p.z) + std::to_string(p.links.size()) + ' ' +
            std::to_string(i + 1);
    for (int l : p.links) text += ' ' + std::to_string(l + 1);
    text += '\n';
  }
  out << text;
}

}  // namespace sceneimport
