// What the passes keep of earlier frames while things stand still, and copy
// in instead of drawing again. Every frame drawn with them is the frame
// drawn without them, pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "gl/BoxQueries.h"
#include "gl/GlApi.h"
#include "gl/TargetSnapshot.h"
#include "gl/ViewVolume.h"
#include "render/ShadowTiles.h"

// What the shadow pass keeps.
struct ShadowPassKeeps {
  // The light's view and projection, captured by every frame.
  GLfloat lightModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  GLfloat lightProjection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  TargetSnapshot shadowOfScene;
  // The tiles the last frame wrote over the kept scene, if known.
  std::vector<ShadowTiles> shadowWrites;

  // The scene's triangles that reach into where the water's shadow can
  // fall, by piece, each as the part of its box there; found once a scene.
  struct WaterReceivers {
    std::uint64_t generation = 0;
    bool valid = false;
    std::vector<AxisBox> pieces;
    std::vector<std::vector<AxisBox>> receivers;
  } water;

  // Deletes what is kept; the context must be current.
  void release();
};

// What the colour pass keeps.
struct ColourPassKeeps {
  // Per eye (single or left, right): the scene under the shadows of the
  // scene alone, and its depth in a canvas with a stencil, where the pixels
  // the shadows of the characters and the water can reach are drawn again.
  struct SceneColour {
    TargetSnapshot copy;
    StencilCanvas canvas;
    std::uint64_t lastKey = 0;
    bool held = false;  // the canvas holds the depth of what the copy holds
  } eye[2];
  BoxQueries hiddenCharacters;

  // Deletes what is kept; the context must be current.
  void release();
};

// What the normal pass keeps.
struct NormalPassKeeps {
  // Per eye (single or left, right): the scene alone, colour, depth and a
  // cleared stencil, and a canvas of the same kind where each frame is
  // drawn over a copy of it.
  struct SceneNormals {
    StencilCanvas kept;
    StencilCanvas work;
    std::uint64_t keptKey = 0;
    std::uint64_t lastKey = 0;
    bool held = false;
  } eye[2];

  // Deletes what is kept; the context must be current.
  void release();
};
