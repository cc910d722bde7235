// Fewer triangles for large models, and an order the renderer culls well.
#pragma once
#include <cstddef>

#include "tools/scene_import/Model.h"

namespace sceneimport {

// Cuts the model down to about `budget` triangles, each colour group in
// proportion to its size. Borders between colours stay where they were (so
// no gaps open between them) unless that alone would keep a group far over
// its share. Returns the triangles left.
std::size_t simplifyTo(Model& model, std::size_t budget);

// Puts each group's triangles in an order where neighbours in the file are
// neighbours in space, and drops vertices no triangle uses.
void sortForCulling(Model& model);

}  // namespace sceneimport
