// What the frames keep of earlier frames while things stand still, and copy
// in instead of drawing again: the scene's part of the shadow image, and
// each resting eye's colour image of the scene. Every frame drawn with them
// is the frame drawn without them, pixel for pixel.
#pragma once

#include "gl/GlApi.h"
#include "render/FrameRecord.h"

// Into the bound shadow target: the scene's part of the shadow image, kept
// from an earlier frame of the same scene. False, with nothing changed,
// where none is kept.
bool restoreShadowOfScene();
// Keeps what the shadow target holds now as the scene's part.
void keepShadowOfScene();

// The scene's part of the eye's colour image, into its bound target under
// `shadowImage`: drawn, or while the eye rests copied in and drawn again
// only where the shadows of the characters and the water can fall.
void drawSceneColour(const FrameRecord& frame, const EyeView& eye, GLuint shadowImage);

// Deletes what is kept; the context must be current.
void releaseFrameCopies();
