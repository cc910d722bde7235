// A model as the importer hands it on: triangles grouped by their flat
// colour, each group with its own indexed vertices, y up.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sceneimport {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct ColourGroup {
  Vec3 colour;
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<std::uint32_t> indices;  // three per triangle
  std::size_t triangleCount() const { return indices.size() / 3; }
};

struct Model {
  std::vector<ColourGroup> groups;
  // What the reader left out, for the summary.
  std::uint64_t points = 0, lines = 0, degenerate = 0;
  std::uint64_t instances = 0;  // meshes placed by the node tree, counting repeats
  std::string colourNote;       // how the colours were made, when not plainly
  std::size_t triangleCount() const;
  void bounds(Vec3& low, Vec3& high) const;
};

// The model as bytes and back, to cross from the process that reads the
// file to the one that writes the folder. False when the bytes are not one.
std::string serialize(const Model& model);
bool deserialize(const std::string& bytes, Model& model);

}  // namespace sceneimport
