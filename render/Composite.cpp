#include "render/Composite.h"

#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "render/DemoSlots.h"
#include "render/DemoState.h"

namespace {

struct LayeredStyle {
  GLfloat hatchScale;  // first layer; the others use layerHatchScale
  GLfloat pencilColor[4];
  GLfloat edgeSize;
};

constexpr LayeredStyle greyPencil{0.005f, {0.6f, 0.6f, 0.6f, 0.0f}, 0.0014f};
constexpr LayeredStyle bluePencil{0.009f, {0.2f, 0.2f, 0.7f, 0.0f}, 0.004f};
constexpr GLfloat layerHatchScale = 0.01f;
// Offsets of layers 2 to 4, shifting the hatching so the layers cross.
constexpr GLfloat layerOffsets[3] = {0.5f, 0.25f, 0.75f};

// Binds the four units in order. Without unit selection only unit 0 exists
// for us, so only its texture is bound.
void bindUnits(const GLuint (&textures)[4]) {
  if (!multitextureAvailable()) {
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    return;
  }
  for (int unit = 0; unit < 4; ++unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
}

void setSampler(int slot, const char* name, GLint unit) {
  if (shaderPrograms.ready()) shaderPrograms.setUniform1i(slot, name, unit);
}

void setHatchLayer(GLfloat offset, GLfloat scale) {
  if (!shaderPrograms.ready()) return;
  shaderPrograms.setUniform4f(LayeredCompositeProgram, "hatchOffset", offset, offset, 0.0f, 0.0f);
  shaderPrograms.setUniform1f(LayeredCompositeProgram, "hatchScale", scale);
}

void drawOneLayerStyle(int eye) {
  if (shaderPrograms.ready()) shaderPrograms.use(OneLayerCompositeProgram);
  setSampler(OneLayerCompositeProgram, "colormap", 0);
  setSampler(OneLayerCompositeProgram, "normalmap", 1);
  setSampler(OneLayerCompositeProgram, "hatchmap0", 2);
  setSampler(OneLayerCompositeProgram, "hatchmap1", 3);
  const GLuint textures[4] = {renderTargets.texture(targetsOfEye(eye).colour),
                              renderTargets.texture(targetsOfEye(eye).normal),
                              textureIds[HatchTexture], textureIds[PaperTexture]};
  bindUnits(textures);
  fullScreenQuad();
}

void drawLayeredStyle(int eye, const LayeredStyle& style) {
  if (shaderPrograms.ready()) {
    shaderPrograms.use(LayeredCompositeProgram);
    shaderPrograms.setUniform1i(LayeredCompositeProgram, "colormap", 0);
    shaderPrograms.setUniform1i(LayeredCompositeProgram, "hatchmap", 1);
    shaderPrograms.setUniform1i(LayeredCompositeProgram, "sheetmap", 2);
    shaderPrograms.setUniform1i(LayeredCompositeProgram, "shadowhatch", 3);
    setHatchLayer(0.0f, style.hatchScale);
    shaderPrograms.setUniform4f(LayeredCompositeProgram, "pencilColor", style.pencilColor[0],
                                style.pencilColor[1], style.pencilColor[2], style.pencilColor[3]);
    shaderPrograms.setUniform1f(LayeredCompositeProgram, "edgeSize", style.edgeSize);
  }
  const GLuint textures[4] = {renderTargets.texture(targetsOfEye(eye).colour),
                              textureIds[HatchTexture], textureIds[PaperTexture],
                              textureIds[ShadowHatchTexture]};
  bindUnits(textures);
  fullScreenQuad();

  // Every further layer multiplies the window colour: layers only darken.
  glEnable(GL_BLEND);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  for (GLfloat offset : layerOffsets) {
    setHatchLayer(offset, layerHatchScale);
    fullScreenQuad();
  }
  glDisable(GL_BLEND);
}

}  // namespace

void fullScreenQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(0.0f, 1.0f, 0.1f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(0.0f, 0.0f, 0.1f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(1.0f, 0.0f, 0.1f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(1.0f, 1.0f, 0.1f);
  glEnd();
}

void drawComposite(int eye) { drawComposite(eye, compositeStyle); }

void drawComposite(int eye, int style) {
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  glDisable(GL_DEPTH_TEST);

  if (style == OneLayerStyle) {
    drawOneLayerStyle(eye);
  } else {
    drawLayeredStyle(eye, style == BluePencilStyle ? bluePencil : greyPencil);
  }

  if (shaderPrograms.ready()) shaderPrograms.unuse();
  if (multitextureAvailable()) glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();
}
