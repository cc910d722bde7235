// The pencil composite: full-screen quads that turn the off-screen colour and
// normal images and the hatching textures into the picture on the window.
#pragma once

// Eye 0 reads the single-view or left-eye images, eye 1 the right-eye ones;
// the style is a CompositeStyle, the demo's own where not given.
void drawComposite(int eye);
void drawComposite(int eye, int style);

// The quad covering the unit orthographic view, texture coordinates 0..1.
void fullScreenQuad();
