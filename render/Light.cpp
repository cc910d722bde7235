#include "render/Light.h"

#include "gl/GlApi.h"
#include "gl/ShaderPrograms.h"

Vector3 lightDirection() {
  return Vector3(-lightPosition[0], -lightPosition[1], -lightPosition[2]).normalized();
}

void setLightProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-8.5, 8.5, -6.5, 6.5, static_cast<double>(150.1f), 200.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void setLightUniform(ShaderProgramSet& programs, int slot) {
  if (!programs.ready()) return;
  programs.setUniform4f(slot, "lightPos", lightPosition[0], lightPosition[1], lightPosition[2],
                        lightPosition[3]);
}
