// Room for the model in the shipped town: flat ground with nothing on it,
// where the light and the opening view both reach.
#pragma once
#include <string>
#include <vector>

#include "tools/scene_import/Fit.h"
#include "tools/scene_import/Walkable.h"

namespace sceneimport {

// The triangles of a scene file, in scene units. False when it cannot be read.
bool townTrianglesOf(const std::string& path, std::vector<Triangle>& triangles);

// The largest round patch of open ground in front of the opening eye and
// inside the light's box, and the model scaled to stand on it.
bool placeOnOpenGround(const std::vector<Triangle>& town, const Vec3& low, const Vec3& high,
                       float aspect, Placement& placement);

}  // namespace sceneimport
