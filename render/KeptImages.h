// What the frames keep of earlier frames while things stand still, and copy
// in instead of drawing again: the scene's part of the shadow image, and
// each resting eye's colour image of the scene. Every frame drawn with them
// is the frame drawn without them, pixel for pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gl/GlApi.h"
#include "render/FrameRecord.h"
#include "render/ShadowTiles.h"

// Into the bound shadow target: the scene's part of the shadow image, kept
// from an earlier frame of the same scene; only over the tiles the last
// frame wrote, where that is known. False, with nothing changed, where none
// is kept.
bool restoreShadowOfScene();
// Keeps what the shadow target holds now as the scene's part.
void keepShadowOfScene();
// What this frame wrote over the scene's part, for the next to take back;
// or, forgotten, that anything may have been.
void shadowWritten(const ShadowTiles& tiles);
void forgetShadowWrites();

// The scene's part of the eye's colour image, into its bound target under
// `shadowImage`: drawn, or while the eye rests copied in and drawn again
// only where the shadows of the characters and the water can fall.
void drawSceneColour(const FrameRecord& frame, const EyeView& eye, GLuint shadowImage);

// The normal pass's geometry into the eye's bound normal target, with the
// normal program in use: `people` (the characters) first, then the scene and `water`
// over them. While the eye rests the scene is copied in from a kept image
// instead, and drawn again only where a character touches it at exactly
// its depth, which the scene wins.
void drawSceneNormals(const FrameRecord& frame, const EyeView& eye,
                      const std::vector<std::int32_t>& shown, const std::function<void()>& people,
                      const std::function<void()>& water);

// Deletes what is kept; the context must be current.
void releaseFrameCopies();
