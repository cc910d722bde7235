#include "gl/Projection.h"

#include "gl/GlApi.h"

void setPerspectiveView(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A window shrunk to no height keeps a usable aspect instead of dividing by 0.
  const double aspect = static_cast<double>(width) / static_cast<double>(height > 0 ? height : 1);
  gluPerspective(75.0, aspect, static_cast<double>(0.1f), 200.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}
