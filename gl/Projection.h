// The camera's projection for a drawing area.
#pragma once

// Viewport over the area and a 75-degree perspective, modelview identity.
void setPerspectiveView(int width, int height);
