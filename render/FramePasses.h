// One frame of the demo: the shadow, colour and normal passes into the
// off-screen targets, then the pencil composite into the window.
#pragma once

#include "contract/DemoContract.h"
#include "gl/GlApi.h"
#include "render/FrameRecord.h"

// The light's view and projection, captured by every frame's shadow pass.
extern GLfloat lightModelview[16];
extern GLfloat lightProjection[16];

// The frame as the record gives it; drawFrame() draws currentFrame().
void drawFrame(const FrameRecord& frame);
// The frame's shadow pass alone, into the shadow target (left bound).
void drawShadowPass(const FrameRecord& frame = currentFrame());
// Deletes the queries the frames ask; the context must be current.
void releaseFrameQueries();

// The wavy water plane, half size s on each side of the origin, at the
// water's phase now or at the given one.
void drawWaterQuad(float halfSize);
void drawWaterQuad(float halfSize, float phase);
// Orthographic light projection, modelview identity.
void setLightProjection();
// Viewport over the whole window and a unit orthographic projection.
void setScreenOrtho(int width, int height);
// The same over the left (eye 0) or right (eye 1) half of the window.
void setHalfScreenOrtho(int halfWidth, int height, int eye);
