// Everything the demo keeps for its life, in one record: the look the keys
// set, the camera, the walkers, the scene, the GL objects each
// initialisation makes, and what the frames keep of earlier frames. The
// update writes it, the frame reads it, and each pass is handed the parts
// it uses.
#pragma once

#include <cstdint>
#include <memory>

#include "camera/Camera.h"
#include "camera/ViewTrace.h"
#include "characters/CharacterManager.h"
#include "contract/DemoContract.h"
#include "gl/GlApi.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoSlots.h"
#include "render/KeptImages.h"
#include "world/Scene.h"

struct DemoRecord {
  // Set by each initialisation.
  RenderWindow* demoWindow = nullptr;
  KeyStates* demoKeys = nullptr;
  std::int32_t viewWidth = 0;  // the configured drawing size
  std::int32_t viewHeight = 0;

  // Carried over a rebuild, as the camera's pitch and timer are.
  std::int32_t compositeStyle = OneLayerStyle;  // a CompositeStyle
  std::uint8_t stereoEnabled = 0;
  float eyeOffset = 0.0f;  // -1 to 1
  float waterMove = 0.0f;  // 0 to 2000
  Camera demoCamera;
  ViewTrace viewTrace;

  // Made by each initialisation and released by its teardown.
  ShaderProgramSet shaderPrograms;
  RenderTargetSet renderTargets;
  GLuint textureIds[TextureCount] = {};
  Scene worldScene;
  // The characters draw their capsules with it; made before them and
  // deleted after them.
  GLUquadric* sharedQuadric = nullptr;
  std::unique_ptr<CharacterManager> characters;
  // Whether the passes run the shaders the program ships; without them
  // every frame is drawn plain.
  bool passShadersShipped = true;

  // What the frames keep of earlier frames while things stand still.
  ShadowPassKeeps shadowPass;
  ColourPassKeeps colourPass;
  NormalPassKeeps normalPass;

  // Deletes what the frames keep; the context must be current.
  void releaseKeptImages();
};
