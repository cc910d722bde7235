// The camera's projection for a drawing area.
#pragma once

#include "gl/ViewVolume.h"

// Viewport over the area and a 75-degree perspective, modelview identity.
void setPerspectiveView(int width, int height);
// The projection that sets, made here.
void perspectiveMatrix(int width, int height, Matrix4& m);
// How far from the eye the corners of that projection's near plane lie: no
// surface nearer than this can be cut away by it.
float nearPlaneReach(int width, int height);
