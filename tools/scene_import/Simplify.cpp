#include "tools/scene_import/Simplify.h"

#include <algorithm>
#include <vector>

#include <meshoptimizer.h>

namespace sceneimport {

namespace {

// Shares the vertices of equal position and normal, which simplifying needs
// to see which triangles are neighbours.
void weld(ColourGroup& g) {
  const meshopt_Stream streams[] = {{g.positions.data(), sizeof(Vec3), sizeof(Vec3)},
                                    {g.normals.data(), sizeof(Vec3), sizeof(Vec3)}};
  std::vector<unsigned> remap(g.positions.size());
  const std::size_t count = meshopt_generateVertexRemapMulti(
      remap.data(), g.indices.data(), g.indices.size(), g.positions.size(), streams, 2);
  std::vector<Vec3> positions(count), normals(count);
  meshopt_remapVertexBuffer(positions.data(), g.positions.data(), g.positions.size(), sizeof(Vec3),
                            remap.data());
  meshopt_remapVertexBuffer(normals.data(), g.normals.data(), g.normals.size(), sizeof(Vec3),
                            remap.data());
  meshopt_remapIndexBuffer(g.indices.data(), g.indices.data(), g.indices.size(), remap.data());
  g.positions = std::move(positions);
  g.normals = std::move(normals);
}

void simplifyGroup(ColourGroup& g, std::size_t targetTriangles) {
  weld(g);
  const std::size_t target = std::max<std::size_t>(targetTriangles, 1) * 3;
  std::vector<std::uint32_t> out(g.indices.size());
  const auto* positions = &g.positions[0].x;
  std::size_t n = meshopt_simplify(out.data(), g.indices.data(), g.indices.size(), positions,
                                   g.positions.size(), sizeof(Vec3), target, 0.02f,
                                   meshopt_SimplifyLockBorder, nullptr);
  // A group of many small parts is mostly border: let the borders move.
  if (n > target * 2) {
    n = meshopt_simplify(out.data(), g.indices.data(), g.indices.size(), positions,
                         g.positions.size(), sizeof(Vec3), target, 0.05f, 0, nullptr);
  }
  if (n > target * 2) {
    n = meshopt_simplifySloppy(out.data(), g.indices.data(), g.indices.size(), positions,
                               g.positions.size(), sizeof(Vec3), target, 1.0f, nullptr);
  }
  out.resize(n);
  g.indices = std::move(out);
}

}  // namespace

std::size_t simplifyTo(Model& model, std::size_t budget) {
  const std::size_t total = model.triangleCount();
  if (total > budget) {
    for (ColourGroup& g : model.groups) {
      const double share = double(g.triangleCount()) * budget / total;
      simplifyGroup(g, static_cast<std::size_t>(share));
    }
    model.groups.erase(std::remove_if(model.groups.begin(), model.groups.end(),
                                      [](const ColourGroup& g) { return g.indices.empty(); }),
                       model.groups.end());
  }
  return model.triangleCount();
}

void sortForCulling(Model& model) {
  for (ColourGroup& g : model.groups) {
    if (g.indices.empty()) continue;
    std::vector<std::uint32_t> sorted(g.indices.size());
    meshopt_spatialSortTriangles(sorted.data(), g.indices.data(), g.indices.size(),
                                 &g.positions[0].x, g.positions.size(), sizeof(Vec3));
    std::vector<unsigned> remap(g.positions.size());
    const std::size_t used = meshopt_optimizeVertexFetchRemap(remap.data(), sorted.data(),
                                                              sorted.size(), g.positions.size());
    std::vector<Vec3> positions(used), normals(used);
    meshopt_remapVertexBuffer(positions.data(), g.positions.data(), g.positions.size(),
                              sizeof(Vec3), remap.data());
    meshopt_remapVertexBuffer(normals.data(), g.normals.data(), g.normals.size(), sizeof(Vec3),
                              remap.data());
    meshopt_remapIndexBuffer(sorted.data(), sorted.data(), sorted.size(), remap.data());
    g.positions = std::move(positions);
    g.normals = std::move(normals);
    g.indices = std::move(sorted);
  }
}

}  // namespace sceneimport
