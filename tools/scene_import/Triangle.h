// One face of an imported scene.
#pragma once

namespace sceneimport {

// Scene units, y up, as the program places them (after the loader's
// scaling and mirroring).
struct Triangle {
  float p[3][3];
};

}  // namespace sceneimport
