// The waypoint network of an imported scene: points on the surfaces a
// walker can stand on, linked where it can walk straight from one to the
// other, and the waypoint file the program reads it from.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/scene_import/Triangle.h"

namespace sceneimport {

// The walker: its bones reach from 0 to 0.311 up and at most 0.106 out
// from its position in any key pose of Models/capsuleman.txt (file units
// / 200).
struct WalkOptions {
  float maxSlopeDegrees = 30;  // steeper is not walkable
  // Above 0.2, so that no arrival (within 0.1) takes in two waypoints.
  float spacing = 0.3f;
  float clearance = 0.35f;  // the walker's 0.311 and a little
  // Its 0.106 reach, 0.05 that the separation pushes it at most, and 0.04
  // for the corner it cuts by turning 0.1 before a waypoint.
  float edgeMargin = 0.2f;
  // How far a link's straight line may run above or below the surface
  // (where it crosses a fold between two slopes); a tenth of the walker.
  float heightTolerance = 0.03f;
  // The spacing grows where the area would need more points.
  int maxWaypoints = 2500;
  // The longest link. Links past neighbouring points only join groups the
  // neighbours leave apart, such as the two sides of a door too narrow for
  // the start every waypoint needs.
  float linkReach = 5;
  float minX = -10, maxX = 10, minZ = -10, maxZ = 10;  // area to cover
};

struct WalkPoint {
  float x, y, z;
  std::vector<int> links;  // 0-based, each listed at both ends
};

struct WalkNetwork {
  std::vector<WalkPoint> points;
  std::string why;  // with no points, why not, in one line
};

// Every waypoint can also be started from: a walker begins 1 in -x and -z
// of it at its height and walks straight to it. So a floor that tilts
// along that way holds none (a ramp climbing along x or z; one climbing
// across it, along x - z, does). Only the largest set of points that reach
// one another is kept.
WalkNetwork buildWalkNetwork(const std::vector<Triangle>& triangles, const WalkOptions& options);

// The network in the file's units (x 100, z mirrored) with 1-based numbers.
void writeWaypoints(std::ostream& out, const WalkNetwork& network);

}  // namespace sceneimport
