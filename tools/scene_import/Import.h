// One import from a model file to a data folder, as the command runs it.
#pragma once
#include <cstddef>
#include <string>

#include "tools/scene_import/Fit.h"
#include "tools/scene_import/Reader.h"
#include "tools/scene_import/Walkable.h"

namespace sceneimport {

struct ImportOptions {
  std::string model;
  std::string out;
  std::string shipped;  // the program's own data folder, copied around the new scene
  ReadOptions read;
  // At this many triangles the frame stays within half again the town's.
  std::size_t maxTriangles = 150'000;
  bool keepUnits = false;
  float scale = 1;
  Vec3 offset;
  bool intoTown = false;
  float aspect = 4.0f / 3.0f;
  bool isolate = true;  // read in a child process
};

struct ImportSummary {
  std::size_t sourceTriangles = 0, triangles = 0, colours = 0, waypoints = 0;
  std::uint64_t points = 0, lines = 0, degenerate = 0, instances = 0;
  std::string colourNote, walkNote, fitNote;
  Placement placement;
};

// Prints its progress on stdout; false with `error` set to one line naming
// the file and the reason, leaving no folder behind.
bool runImport(const ImportOptions& options, ImportSummary& summary, std::string& error);

// The triangles walkers may stand on or bump into, in scene units.
std::vector<Triangle> trianglesOf(const Model& model);

// Waypoints where the light's shadows fall, the largest linked set of them.
void keepWhereShadowsFall(WalkNetwork& network);
// Only the largest set of waypoints that reach one another.
void keepLargestLinkedSet(WalkNetwork& network);

}  // namespace sceneimport
