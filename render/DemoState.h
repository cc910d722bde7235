// The demo's process-wide values, shared by its lifecycle, frame passes and
// composite.
#pragma once

#include <cstdint>

#include "contract/DemoContract.h"
#include "gl/GlApi.h"

class CharacterManager;

extern RenderWindow* demoWindow;
extern KeyStates* demoKeys;
extern std::int32_t viewWidth;
extern std::int32_t viewHeight;
extern std::int32_t compositeStyle;  // a CompositeStyle
extern std::uint8_t stereoEnabled;
extern float eyeOffset;  // -1 to 1
extern float waterMove;  // 0 to 2000
extern CharacterManager* characters;
// Whether the passes run the shaders the program ships; without them every
// frame is drawn plain.
extern bool passShadersShipped;
// The quadric initDemo makes for the characters' capsules; shutdownDemo
// deletes it.
const GLUquadric* demoQuadric();
