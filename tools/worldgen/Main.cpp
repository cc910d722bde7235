// Writes the demo's static world ("nprscene.scn") and the characters'
// waypoint network ("waypoints.txt") into a folder (default data/scene).
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/worldgen/World.h"

namespace genworld {

void writeScene(const std::vector<const Mesh*>& meshes, const std::string& path) {
  std::string out;
  out.reserve(1 << 24);
  out += std::to_string(kMaterialCount) + "\n";
  for (const MaterialColour& c : kColours)
    out += fixed(c.r, 3) + " " + fixed(c.g, 3) + " " + fixed(c.b, 3) + "\n";
  out += std::to_string(meshes.size()) + "\n";
  for (const Mesh* m : meshes) {
    // If a later corner repeats the first corner's indices under another
    // colour, give the first corner a texture coordinate of its own, so no
    // loader can hand the first face's colour on to that corner.
    std::vector<V> tex = m->tex;
    int firstTex = m->faces.empty() ? 0 : m->faces[0].v[0];
    bool clash = false;
    for (size_t f = 0; f < m->faces.size() && !clash; ++f)
      for (int k = 0; k < 3; ++k)
        if ((f > 0 || k > 0) && m->faces[f].v[k] == firstTex &&
            m->faces[f].material != m->faces[0].material)
          clash = true;
    if (clash) {
      tex.push_back(tex[firstTex]);
      firstTex = static_cast<int>(tex.size()) - 1;
    }
    out += std::to_string(m->pos.size()) + " " + std::to_string(tex.size()) + " " +
           std::to_string(m->faces.size()) + "\n";
    for (size_t i = 0; i < m->pos.size(); ++i) {
      const V& p = m->pos[i];
      const V& n = m->nrm[i];
      out += fixed(p.x * 100, 2) + " " + fixed(p.y * 100, 2) + " " + fixed(-p.z * 100, 2) + "\n";
      out += fixed(n.x, 4) + " " + fixed(n.y, 4) + " " + fixed(-n.z, 4) + "\n";
    }
    for (const V& t : tex) out += fixed(t.x, 3) + " " + fixed(t.z, 3) + " " + fixed(t.y, 3) + "\n";
    for (size_t f = 0; f < m->faces.size(); ++f) {
      const Face& face = m->faces[f];
      const std::string a = std::to_string(face.v[0]), b = std::to_string(face.v[1]),
                        c = std::to_string(face.v[2]);
      out += a + " " + b + " " + c + "\n";
      out += (f == 0 ? std::to_string(firstTex) : a) + " " + b + " " + c + "\n";
      out += fixed(face.normal.x, 4) + " " + fixed(face.normal.y, 4) + " " +
             fixed(-face.normal.z, 4) + "\n";
      out += std::to_string(face.material + 1) + "\n";
    }
  }
  std::ofstream file(path, std::ios::binary);
  file << out;
}

}  // namespace genworld

using namespace genworld;

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "data/scene";
  std::error_code error;
  std::filesystem::create_directories(folder, error);

  World w;
  buildFixed(w);
  const std::vector<const Mesh*> meshes = {&w.terrain, &w.paving, &w.walls,  &w.roofs,
                                           &w.trim,    &w.tower,  &w.bridge, &w.harbour,
                                           &w.trees,   &w.rocks,  &w.props};
  {
    SurfaceIndex built;
    for (const Mesh* m : meshes) built.add(*m);
    built.finish();
    buildNetwork(w, built);
  }
  buildNature(w);
  SurfaceIndex surfaces;
  for (const Mesh* m : meshes) surfaces.add(*m);
  surfaces.finish();
  int openStarts = 0;
  const bool networkOk = checkNetwork(w, surfaces, openStarts);

  const Solids solids;
  dropHiddenFaces(w.terrain, &solids);
  for (Mesh* m : {&w.paving, &w.walls, &w.roofs, &w.trim, &w.tower, &w.bridge, &w.harbour, &w.trees,
                  &w.rocks, &w.props})
    dropHiddenFaces(*m, nullptr);
  writeScene(meshes, folder + "/nprscene.scn");
  writeWaypoints(w.waypoints, folder + "/waypoints.txt");
  size_t triangles = 0;
  for (const Mesh* m : meshes) triangles += m->faces.size();
  std::cout << "gen_world: " << meshes.size() << " meshes, " << triangles << " triangles, "
            << w.waypoints.size() << " waypoints (" << openStarts << " with an open first walk) -> "
            << folder << "\n";
  return networkOk && !w.crowded ? 0 : 1;
}
