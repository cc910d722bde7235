// Reads a model file of any format the import library knows into a Model:
// the node tree's transforms applied (an instanced mesh once per instance),
// triangles only, y up, flat colours from the materials.
#pragma once
#include <string>

#include "tools/scene_import/Model.h"

namespace sceneimport {

struct ReadOptions {
  // The model's up axis where the format does not say: 'y' or 'z'.
  char up = 'y';
  // Normals a file lacks are made smooth across edges sharper than this.
  float creaseDegrees = 60;
  // More triangles than this after instancing are refused, not allocated.
  std::size_t maxSourceTriangles = 16'000'000;
  // Prints the import library's progress on long reads.
  bool progress = false;
};

// False with a one-line reason (without the file's name) when the file
// cannot be read or holds no triangles.
bool readModel(const std::string& path, const ReadOptions& options, Model& model,
               std::string& error);

// Whether the format of a file states its own up axis (so --up is not used).
bool formatStatesUpAxis(const std::string& path);

}  // namespace sceneimport
