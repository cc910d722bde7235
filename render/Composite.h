// The pencil composite: full-screen quads that turn the off-screen colour and
// normal images and the hatching textures into the picture on the window.
#pragma once

struct DemoRecord;
struct Frame;

// The frame's one or two eyes into the window, in the demo's style.
void compositeIntoWindow(DemoRecord& demo, const Frame& frame);

// Eye 0 reads the single-view or left-eye images, eye 1 the right-eye ones;
// the style is a CompositeStyle.
void drawComposite(DemoRecord& demo, int eye, int style);

// The quad covering the unit orthographic view, texture coordinates 0..1.
void fullScreenQuad();
// Viewport over the whole window and a unit orthographic projection.
void setScreenOrtho(int width, int height);
// The same over the left (eye 0) or right (eye 1) half of the window.
void setHalfScreenOrtho(int halfWidth, int height, int eye);
