#include "gl/Textures.h"

#include <cstdlib>

void loadTexture(GLuint* textures, const char* fileName, int index) {
  if (!fileName) return;
  RgbImage* image = loadDibImage(fileName);
  // The demo cannot draw without its textures; the reader has said why.
  if (!image) std::exit(1);

  glGenTextures(1, &textures[index]);
  glBindTexture(GL_TEXTURE_2D, textures[index]);
  // The rows are packed without gaps, whatever their length.
  GLint alignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                    image->pixels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  freeRgbImage(image);
}
