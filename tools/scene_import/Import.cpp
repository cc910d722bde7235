#include "tools/scene_import/Import.h"

#include <algorithm>
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
  WalkNetwork linked;
  const std::vector<int> members = largestLinkedSet(kept);
  std::fill(index.begin(), index.end(), -1);
  for (std::size_t i = 0; i < members.size(); ++i) index[members[i]] = static_cast<int>(i);
  for (int m : members) {
    WalkPoint p = kept.points[m];
    for (int& to : p.links) to = index[to];
    linked.points.push_back(std::move(p));
  }
  linked.why = linked.points.empty() && network.why.empty()
                   ? "no walkable surface lies where the light's shadows fall"
                   : network.why;
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

  // The walkers' world: the model and what it stands on.
  std::vector<Triangle> world = trianglesOf(model);
  if (o.intoTown) {
    world.insert(world.end(), townTriangles.begin(), townTriangles.end());
  } else {
    Model sheet;
    sheet.groups.push_back(groundSheet(sheetHalf, sheetColour));
    const std::vector<Triangle> ground = trianglesOf(sheet);
    world.insert(world.end(), ground.begin(), ground.end());
    model.groups.push_back(std::move(sheet.groups.front()));
  }
  WalkOptions walk;
  walk.minX = walk.minZ = -sheetHalf + 0.5f;
  walk.maxX = walk.maxZ = sheetHalf - 0.5f;
  std::printf("Finding walkable surfaces\n");
  WalkNetwork network = buildWalkNetwork(world, walk);
  keepWhereShadowsFall(network);
  s.waypoints = network.points.size();
  s.walkNote = network.why;
  s.triangles = model.triangleCount();
  s.colours = model.groups.size();

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
