#include "render/Composite.h"

#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoRecord.h"
#include "render/Drawing.h"
#include "render/Frame.h"

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

void setSampler(ShaderProgramSet& programs, int slot, const char* name, GLint unit) {
  if (programs.ready()) programs.setUniform1i(slot, name, unit);
}

void setHatchLayer(ShaderProgramSet& programs, GLfloat offset, GLfloat scale) {
  if (!programs.ready()) return;
  programs.setUniform4f(LayeredCompositeProgram, "hatchOffset", offset, offset, 0.0f, 0.0f);
  programs.setUniform1f(LayeredCompositeProgram, "hatchScale", scale);
}

void drawOneLayerStyle(DemoRecord& demo, int eye) {
  ShaderProgramSet& programs = demo.shaderPrograms;
  if (programs.ready()) programs.use(OneLayerCompositeProgram);
  setSampler(programs, OneLayerCompositeProgram, "colormap", 0);
  setSampler(programs, OneLayerCompositeProgram, "normalmap", 1);
  setSampler(programs, OneLayerCompositeProgram, "hatchmap0", 2);
  setSampler(programs, OneLayerCompositeProgram, "hatchmap1", 3);
  const GLuint textures[4] = {demo.renderTargets.texture(targetsOfEye(eye).colour),
                              demo.renderTargets.texture(targetsOfEye(eye).normal),
                              demo.textureIds[HatchTexture], demo.textureIds[PaperTexture]};
  bindUnits(textures);
  fullScreenQuad();
}

void drawLayeredStyle(DemoRecord& demo, int eye, const LayeredStyle& style) {
  ShaderProgramSet& programs = demo.shaderPrograms;
  if (programs.ready()) {
    programs.use(LayeredCompositeProgram);
    programs.setUniform1i(LayeredCompositeProgram, "colormap", 0);
    programs.setUniform1i(LayeredCompositeProgram, "hatchmap", 1);
    programs.setUniform1i(LayeredCompositeProgram, "sheetmap", 2);
    programs.setUniform1i(LayeredCompositeProgram, "shadowhatch", 3);
    setHatchLayer(programs, 0.0f, style.hatchScale);
    programs.setUniform4f(LayeredCompositeProgram, "pencilColor", style.pencilColor[0],
                          style.pencilColor[1], style.pencilColor[2], style.pencilColor[3]);
    programs.setUniform1f(LayeredCompositeProgram, "edgeSize", style.edgeSize);
  }
  const GLuint textures[4] = {demo.renderTargets.texture(targetsOfEye(eye).colour),
                              demo.textureIds[HatchTexture], demo.textureIds[PaperTexture],
                              demo.textureIds[ShadowHatchTexture]};
  bindUnits(textures);
  fullScreenQuad();

  // Every further layer multiplies the window colour: layers only darken.
  glEnable(GL_BLEND);
  glBlendFunc(GL_ZERO, GL_SRC_COLOR);
  for (GLfloat offset : layerOffsets) {
    setHatchLayer(programs, offset, layerHatchScale);
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

void drawComposite(DemoRecord& demo, int eye, int style) {
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  glDisable(GL_DEPTH_TEST);

  if (style == OneLayerStyle) {
    drawOneLayerStyle(demo, eye);
  } else {
    drawLayeredStyle(demo, eye, style == BluePencilStyle ? bluePencil : greyPencil);
  }

  if (demo.shaderPrograms.ready()) demo.shaderPrograms.unuse();
  if (multitextureAvailable()) glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();
}

void setScreenOrtho(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 1.0, 0.0, 1.0, 0.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void setHalfScreenOrtho(int halfWidth, int height, int eye) {
  glViewport(eye == 0 ? 0 : halfWidth, 0, halfWidth, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 1.0, 0.0, 1.0, 0.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void compositeIntoWindow(DemoRecord& demo, const Frame& frame) {
  if (frame.eyeCount == 1) {
    setScreenOrtho(demo.viewWidth, demo.viewHeight);
    clearTarget();
    glLoadIdentity();
    applyEyeView(frame.eye[0]);
    drawComposite(demo, 0, demo.compositeStyle);
    return;
  }
  setHalfScreenOrtho(demo.viewWidth / 2, demo.viewHeight, 0);
  clearTarget();
  for (int eye = 0; eye < 2; ++eye) {
    if (eye == 1) setHalfScreenOrtho(demo.viewWidth / 2, demo.viewHeight, 1);
    glLoadIdentity();
    applyEyeView(frame.eye[eye]);
    drawComposite(demo, eye, demo.compositeStyle);
  }
}
