// The fixed light: where it stands, the direction it shines, and the
// projection the shadow image is drawn with.
#pragma once

#include "base/Math.h"

class ShaderProgramSet;

// As the shaders receive it in `lightPos`.
constexpr float lightPosition[4] = {-90.0f, 140.0f, -90.0f, 1.0f};

// Down from the light.
Vector3 lightDirection();
// Orthographic light projection, modelview identity.
void setLightProjection();
// Left out where the programs could not be made.
void setLightUniform(ShaderProgramSet& programs, int slot);
