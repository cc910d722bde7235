// One frame of the demo: the shadow, colour and normal passes into the
// off-screen targets, then the pencil composite into the window.
#pragma once

#include "contract/DemoContract.h"
#include "gl/GlApi.h"

// The light's view and projection, captured by every frame's shadow pass.
extern GLfloat lightModelview[16];
extern GLfloat lightProjection[16];

// The fixed light, as the shaders receive it in `lightPos`.
constexpr GLfloat lightPosition[4] = {-90.0f, 140.0f, -90.0f, 1.0f};

// The frame's shadow pass alone, into the shadow target (left bound).
void drawShadowPass();
// Deletes what the frames keep of earlier frames; the context must be current.
void releaseFrameCopies();

// The wavy water plane, half size s on each side of the origin.
void drawWaterQuad(float halfSize);
// Orthographic light projection, modelview identity.
void setLightProjection();
// Viewport over the whole window and a unit orthographic projection.
void setScreenOrtho(int width, int height);
// The same over the left (eye 0) or right (eye 1) half of the window.
void setHalfScreenOrtho(int halfWidth, int height, int eye);

// Frames drawn exactly as the passes define them: each mesh in its file's
// order as one draw, the water and every character in every pass, nothing
// left out, kept or copied. The oracle every faster frame is held to; tests
// and tools set it, the program never does.
extern bool plainFrames;
