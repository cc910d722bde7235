// The pencil composite: full-screen quads that turn the off-screen colour and
// normal images and the hatching textures into the picture on the window.
#pragma once

// Eye 0 reads the single-view or left-eye images, eye 1 the right-eye ones.
void drawComposite(int eye);

// The quad covering the unit orthographic view, texture coordinates 0..1.
void fullScreenQuad();
