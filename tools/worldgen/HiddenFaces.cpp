// Faces that no view from above the water can show are left out of the
// file: every pass draws every face, and a software rasterizer pays for each
// one even where it ends up covered.
#include "tools/worldgen/World.h"

namespace genworld {

// Below the water plane at its lowest (it rises and falls by 0.005).
bool underWater(const V& p) { return p.y < kWater - 0.006; }

// Drops the mesh's faces under the water and, given the solids, its faces
// inside one of them (all three corners in the same convex solid), and the
// vertices only those faces used.
void dropHiddenFaces(Mesh& m, const Solids* solids) {
  std::vector<Face> kept;
  for (const Face& f : m.faces) {
    const V& a = m.pos[f.v[0]];
    const V& b = m.pos[f.v[1]];
    const V& c = m.pos[f.v[2]];
    if (underWater(a) && underWater(b) && underWater(c)) continue;
    if (solids) {
      const int solid = solids->around(a);
      if (solid >= 0 && solids->around(b) == solid && solids->around(c) == solid) continue;
    }
    kept.push_back(f);
  }
  std::vector<int> renumbered(m.pos.size(), -1);
  for (const Face& f : kept)
    for (int v : f.v) renumbered[v] = 0;
  Mesh out;
  for (size_t v = 0; v < m.pos.size(); ++v)
    if (renumbered[v] == 0) renumbered[v] = out.vertex(m.pos[v], m.nrm[v], m.tex[v]);
  for (Face f : kept) {
    for (int& v : f.v) v = renumbered[v];
    out.faces.push_back(f);
  }
  m = out;
}

}  // namespace genworld
