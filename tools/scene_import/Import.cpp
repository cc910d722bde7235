#include "tools/scene_import/Import.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "tools/scene_import/Isolated.h"
#include "tools/scene_import/OpenGround.h"
#include "tools/scene_import/Output.h"
#include "tools/scene_import/Simplify.h"

namespace sceneimport {

namespace {

// The island's ground where the model stands, a little wider than the
// light's box reaches on it.
constexpr float sheetHalf = 12.5f;
const Vec3 sheetColour{0.86f, 0.82f, 0.7f};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t townColourCount(const std::string& text) {
  std::istringstream in(text);
  long long n = 0;
  return in >> n && n > 0 ? static_cast<std::size_t>(n) : 0;
}

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return true;
}

std::vector<int> largestLinkedSet(const WalkNetwork& network) {
  const int n = static_cast<int>(network.points.size());
  std::vector<int> label(n, -1), best;
  for (int start = 0; start < n; ++start) {
    if (label[start] >= 0) continue;
    std::vector<int> members{start};
    label[start] = start;
    for (std::size_t i = 0; i < members.size(); ++i) {
      for (int to : network.points[members[i]].links) {
        if (label[to] < 0) {
          label[to] = start;
          members.push_back(to);
        }
      }
    }
    if (members.size() > best.size()) best = std::move(members);
  }
  std::sort(best.begin(), best.end());
  return best;
}

// Whether the segment from a to b comes within `margin` of the box (x, z).
bool crossesBox(float ax, float az, float bx, float bz, const Vec3& low, const Vec3& high,
                float margin) {
  const float x0 = low.x - margin, x1 = high.x + margin, z0 = low.z - margin, z1 = high.z + margin;
  float t0 = 0, t1 = 1;
  const float d[2] = {bx - ax, bz - az}, p[2] = {ax, az}, lo[2] = {x0, z0}, hi[2] = {x1, z1};
  for (int k = 0; k < 2; ++k) {
    if (std::fabs(d[k]) < 1e-9f) {
      if (p[k] < lo[k] || p[k] > hi[k]) return false;
      continue;
    }
    float a = (lo[k] - p[k]) / d[k], b = (hi[k] - p[k]) / d[k];
    if (a > b) std::swap(a, b);
    t0 = std::max(t0, a), t1 = std::min(t1, b);
    if (t0 > t1) return false;
  }
  return true;
}

// The town's own network without what the model now stands on: waypoints
// whose start or whose links run through its footprint go.
bool townNetworkAround(const std::string& path, const Vec3& low, const Vec3& high,
                       WalkNetwork& network) {
  std::ifstream in(path);
  long long count = 0;
  if (!(in >> count) || count < 1 || count > 100000) return false;
  std::vector<WalkPoint> points(static_cast<std::size_t>(count));
  for (WalkPoint& p : points) {
    long long links = 0, number = 0;
    if (!(in >> p.x >> p.y >> p.z >> links >> number) || links < 0 || links > 1024) return false;
    p.x *= 0.01f, p.y *= 0.01f, p.z *= -0.01f;
    for (long long i = 0; i < links; ++i) {
      long long to = 0;
      if (!(in >> to)) return false;
      if (to >= 1 && to <= count) p.links.push_back(static_cast<int>(to - 1));
    }
  }
  constexpr float clear = 0.2f;  // a walker's reach and the push of its neighbours
  std::vector<int> index(points.size(), -1);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const WalkPoint& p = points[i];
    if (crossesBox(p.x - 1, p.z - 1, p.x, p.z, low, high, clear)) continue;
    index[i] = static_cast<int>(network.points.size());
    network.points.push_back({p.x, p.y, p.z, {}});
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (index[i] < 0) continue;
    for (int to : points[i].links) {
      const WalkPoint& a = points[i];
      const WalkPoint& b = points[to];
      if (index[to] < 0 || crossesBox(a.x, a.z, b.x, b.z, low, high, clear)) continue;
      network.points[index[i]].links.push_back(index[to]);
    }
  }
  return true;
}

}  // namespace

std::vector<Triangle> trianglesOf(const Model& model) {
  std::vector<Triangle> out;
  out.reserve(model.triangleCount());
  for (const ColourGroup& g : model.groups) {
    for (std::size_t t = 0; t < g.indices.size(); t += 3) {
      Triangle tri;
      for (int k = 0; k < 3; ++k) {
        const Vec3& p = g.positions[g.indices[t + k]];
        tri.p[k][0] = p.x, tri.p[k][1] = p.y, tri.p[k][2] = p.z;
      }
      out.push_back(tri);
    }
  }
  return out;
}

void keepWhereShadowsFall(WalkNetwork& network) {
  // A walker's whole height in the box, and its start one unit back too.
  auto inside = [](const WalkPoint& p) {
    for (float up : {0.0f, 0.35f}) {
      if (insideLightBox({p.x, p.y + up, p.z}) < 0.2f ||
          insideLightBox({p.x - 1, p.y + up, p.z - 1}) < 0.2f) {
        return false;
      }
    }
    return true;
  };
  std::vector<int> index(network.points.size(), -1);
  WalkNetwork kept;
  for (std::size_t i = 0; i < network.points.size(); ++i) {
    if (!inside(network.points[i])) continue;
    index[i] = static_cast<int>(kept.points.size());
    kept.points.push_back(network.points[i]);
  }
  for (WalkPoint& p : kept.points) {
    std::vector<int> links;
    for (int to : p.links) {
      if (index[to] >= 0) links.push_back(index[to]);
    }
    p.links = std::move(links);
  }
  kept.why = network.why;
  keepLargestLinkedSet(kept);
  if (kept.points.empty() && kept.why.empty()) {
    kept.why = "no walkable surface lies where the light's shadows fall";
  }
  network = std::move(kept);
}

void keepLargestLinkedSet(WalkNetwork& network) {
  const std::vector<int> members = largestLinkedSet(network);
  std::vector<int> index(network.points.size(), -1);
  for (std::size_t i = 0; i < members.size(); ++i) index[members[i]] = static_cast<int>(i);
  WalkNetwork linked;
  for (int m : members) {
    WalkPoint p = network.points[m];
    for (int& to : p.links) to = index[to];
    linked.points.push_back(std::move(p));
  }
  linked.why = network.why;
  network = std::move(linked);
}

bool runImport(const ImportOptions& o, ImportSummary& s, std::string& error) {
  const auto start = std::chrono::steady_clock::now();
  auto fail = [&](const std::string& why) {
    error = o.model + ": " + why;
    return false;
  };
  std::printf("Reading %s\n", o.model.c_str());
  Model model;
  std::string why;
  if (!(o.isolate ? readIsolated(o.model, o.read, model, why)
                  : readModel(o.model, o.read, model, why))) {
    return fail(why);
  }
  s.sourceTriangles = model.triangleCount();
  s.points = model.points, s.lines = model.lines, s.degenerate = model.degenerate;
  s.instances = model.instances;
  s.colourNote = model.colourNote;
  std::printf("  %zu triangles in %llu placed meshes (%.1f s)\n", s.sourceTriangles,
              static_cast<unsigned long long>(s.instances), secondsSince(start));
  if (s.points || s.lines || s.degenerate) {
    std::printf("  left out: %llu points, %llu lines, %llu degenerate triangles\n",
                static_cast<unsigned long long>(s.points), static_cast<unsigned long long>(s.lines),
                static_cast<unsigned long long>(s.degenerate));
  }
  if (s.sourceTriangles > o.maxTriangles) {
    std::printf("Simplifying to about %zu triangles\n", o.maxTriangles);
    simplifyTo(model, o.maxTriangles);
    std::printf("  %zu -> %zu triangles (%.1f s)\n", s.sourceTriangles, model.triangleCount(),
                secondsSince(start));
  }

  std::string town;
  std::vector<Triangle> townTriangles;
  if (o.intoTown) {
    const std::string townPath = o.shipped + "/scene/nprscene.scn";
    if (!readText(townPath, town) || !townTrianglesOf(townPath, townTriangles)) {
      return fail("the town's scene " + townPath + " cannot be read");
    }
  }
  Vec3 low, high;
  model.bounds(low, high);
  if (o.keepUnits) {
    s.placement = keepUnits(o.scale, o.offset);
  } else if (o.intoTown) {
    if (!placeOnOpenGround(townTriangles, low, high, o.aspect, s.placement)) {
      return fail("the town has no open ground left for it");
    }
  } else {
    s.placement = fitToStage(low, high, o.aspect);
    if (!(s.placement.scale > 0)) return fail("it cannot be fitted into the light's box");
  }
  applyPlacement(model, s.placement);
  sortForCulling(model);
  model.bounds(low, high);
  int outside = 0;
  for (int i = 0; i < 8; ++i) {
    const Vec3 c{i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z};
    if (insideLightBox(c) < 0) ++outside;
  }
  if (outside) s.fitNote = "part of the model lies outside the light's box: no shadows there";

  WalkNetwork network;
  if (o.intoTown) {
    // The town's paths, less those the model now blocks.
    if (!townNetworkAround(o.shipped + "/scene/waypoints.txt", low, high, network)) {
      return fail("the town's waypoints cannot be read");
    }
    keepLargestLinkedSet(network);
  } else {
    // The walkers' world: the model and the ground it stands on.
    model.groups.push_back(groundSheet(sheetHalf, sheetColour));
    WalkOptions walk;
    walk.minX = walk.minZ = -sheetHalf + 0.5f;
    walk.maxX = walk.maxZ = sheetHalf - 0.5f;
    std::printf("Finding walkable surfaces\n");
    network = buildWalkNetwork(trianglesOf(model), walk);
    keepWhereShadowsFall(network);
  }
  s.waypoints = network.points.size();
  s.walkNote = network.why;
  s.triangles = model.triangleCount();
  s.colours = model.groups.size() + (o.intoTown ? townColourCount(town) : 0);

  FolderWriter folder(o.shipped, o.out);
  if (!folder.ok()) return fail(folder.error());
  {
    std::ofstream scene(folder.path("scene/nprscene.scn"), std::ios::binary);
    if (o.intoTown) {
      if (!writeSceneAfter(scene, town, model, why)) return fail(why);
    } else {
      writeScene(scene, model);
    }
    std::ofstream waypoints(folder.path("scene/waypoints.txt"), std::ios::binary);
    writeWaypoints(waypoints, network);
    if (!scene.flush() || !waypoints.flush()) return fail("cannot write into " + o.out);
  }
  if (!folder.commit()) return fail(folder.error());
  std::printf("Wrote %s: %zu triangles (from %zu), %zu colours, %zu waypoints in %.1f s\n",
              o.out.c_str(), s.triangles, s.sourceTriangles, s.colours, s.waypoints,
              secondsSince(start));
  return true;
}

}  // namespace sceneimport
