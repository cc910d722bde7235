// The demo's GL objects by what they are for. The numbers are their slots in
// shaderPrograms, renderTargets and textureIds, and the values of
// compositeStyle; the shaders and the key bindings depend on them.
#pragma once

#include <cstdint>

enum ProgramSlot : int {
  OneLayerCompositeProgram = 0,  // style 1
  NormalProgram = 1,
  ColourProgram = 2,
  LayeredCompositeProgram = 3,  // styles 2 and 3
  DepthProgram = 4,
  WaterProgram = 5,
  ProgramCount = 6,
};

// Targets 0 and 1 hold the single view or the left eye, 3 and 4 the right eye.
enum TargetSlot : int {
  ShadowTarget = 2,
  TargetCount = 5,
};

struct EyeTargets {
  int colour;
  int normal;
};
// Eye 0 is the single view or the left eye; any other eye is the right one.
constexpr EyeTargets targetsOfEye(int eye) {
  return eye == 0 ? EyeTargets{0, 1} : EyeTargets{3, 4};
}

enum TextureRole : int {
  HatchTexture = 0,        // three nested stroke levels
  PaperTexture = 1,        // paper grain and a second stroke direction
  ShadowHatchTexture = 2,  // tight strokes for cast shadows
  WaterTexture = 3,        // the water surface's normals
  TextureCount = 4,
};

enum CompositeStyle : std::int32_t {
  OneLayerStyle = 1,
  GreyPencilStyle = 2,
  BluePencilStyle = 3,
};
