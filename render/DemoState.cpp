#include "render/DemoState.h"

RenderWindow* demoWindow = nullptr;
KeyStates* demoKeys = nullptr;
std::int32_t viewWidth = 0;
std::int32_t viewHeight = 0;
std::int32_t compositeStyle = 1;
std::uint8_t stereoEnabled = 0;
float eyeOffset = 0.0f;
float waterMove = 0.0f;
CharacterManager* characters = nullptr;
bool passShadersShipped = true;
