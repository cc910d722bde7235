// The wavy water plane, and how far down its shadow and the scene's reach.
#pragma once

#include "base/Math.h"
#include "gl/ViewVolume.h"

class Scene;
struct DemoRecord;

constexpr float waterHalfSize = 30.0f;
// The water plane's height moves by 0.005 about -0.45.
constexpr float waterLowest = -0.456f;
constexpr float waterHighest = -0.444f;

// Half size s on each side of the origin, at the water's phase.
void drawWaterQuad(float halfSize, float phase);

// The lowest point of the scene or the water: no shadow falls lower.
float lowestReceiver(const Scene& scene);
// The lowest point of the scene a colour image of the demo's frame can show.
float lowestSeenReceiver(const DemoRecord& demo);
// Where the water's shadow can fall on what lies no lower than `lowest`.
AxisBox waterShadowReach(float lowest);
