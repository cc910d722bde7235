// The water in the shadow image, drawn only where it can decide a pixel an
// eye of the frame sees. What lies higher than the water's shadow can reach
// is nearer the light than the water; the water itself is lit whether it is
// in the image or not; and below the water an eye over it sees nothing. So
// only surfaces about the water's height, and in view, need the water in
// their texels: the scene's triangles there are found once per scene, and
// each frame the tiles of the image under those in view are filled.
#pragma once

#include <functional>

#include "render/FrameRecord.h"
#include "render/ShadowTiles.h"

// Into the bound shadow target, with the shadow program in use: `water`
// draws the water where the scissor lets it, and the tiles it filled are
// added to `drawn`. `eyes` are the frame's eye views.
void drawWaterShadow(const FrameRecord& frame, const EyeView* eyes, int eyeCount,
                     const std::function<void()>& water, ShadowTiles& drawn);

// Forgets what was found of the scene.
void forgetWaterShadow();
