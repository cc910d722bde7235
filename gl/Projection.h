// The camera's projection for a drawing area.
#pragma once

// Viewport over the area and a 75-degree perspective, modelview identity.
void setPerspectiveView(int width, int height);
// How far from the eye the corners of that projection's near plane lie: no
// surface nearer than this can be cut away by it.
float nearPlaneReach(int width, int height);
