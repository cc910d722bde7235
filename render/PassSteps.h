// Small steps the frame's passes and the images kept for them share.
#pragma once

#include <vector>

#include "base/Math.h"
#include "gl/ViewVolume.h"
#include "render/FrameRecord.h"

// The fixed light, as the shaders receive it in `lightPos`.
constexpr float lightPosition[4] = {-90.0f, 140.0f, -90.0f, 1.0f};

constexpr float waterHalfSize = 30.0f;
// The water plane's height moves by 0.005 about -0.45.
constexpr float waterLowest = -0.456f;
constexpr float waterHighest = -0.444f;

// Colour and depth of the bound target.
void clearTarget();
// Both leave out what needs the programs where they could not be made.
void useProgram(int slot);
void setLightUniform(int slot);

// The scene in `view`, and only where it meets one of `meeting` if given; a
// plain frame draws it whole, as its file lists it.
void drawScene(const FrameRecord& frame, const ViewVolume& view,
               const std::vector<AxisBox>* meeting = nullptr);

// Down from the light.
Vector3 lightDirection();
// The lowest point of the scene or the water: no shadow falls lower.
float lowestReceiver();
// The lowest point of the scene a colour image of the frame can show.
float lowestSeenReceiver(const FrameRecord& frame);
// Where the water's shadow can fall on what lies no lower than `lowest`.
AxisBox waterShadowReach(float lowest);
