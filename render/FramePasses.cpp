#include "render/FramePasses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/Log.h"
#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/TargetSnapshot.h"
#include "gl/ViewVolume.h"
#include "gl/Textures.h"
#include "render/Composite.h"
#include "render/DemoSlots.h"
#include "render/DemoState.h"
#include "world/Scene.h"

GLfloat lightModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
GLfloat lightProjection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

constexpr float waterHalfSize = 30.0f;
// The water plane's height moves by 0.005 about this.
constexpr float waterLowest = -0.456f;

enum class EyeView { Single, Left, Right };

TargetSnapshot shadowOfScene;

struct StillCopy {
  TargetSnapshot copy;
  std::uint64_t lastKey = 0;
};
StillCopy normalOfScene[2];  // single or left eye, right eye

// The scene and the matrices in force, as one number: equal numbers mean
// the same scene seen the same way.
std::uint64_t viewKey() {
  GLfloat matrices[32];
  glGetFloatv(GL_MODELVIEW_MATRIX, matrices);
  glGetFloatv(GL_PROJECTION_MATRIX, matrices + 16);
  std::uint64_t key = 14695981039346656037ull ^ worldScene.generation;
  unsigned char bytes[sizeof matrices];
  std::memcpy(bytes, matrices, sizeof matrices);
  for (unsigned char byte : bytes) key = (key ^ byte) * 1099511628211ull;
  return key;
}

struct EyePass {
  EyeView view;
  EyeTargets targets;
};

void applyEyeView(EyeView view) {
  switch (view) {
    case EyeView::Single:
      demoCamera.applyView();
      break;
    case EyeView::Left:
      demoCamera.applyOffsetView(-eyeOffset);
      break;
    case EyeView::Right:
      demoCamera.applyOffsetView(eyeOffset);
      break;
  }
}

void clearTarget() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void viewportOfTarget(int index) {
  const int size = renderTargets.size(index);
  glViewport(0, 0, size, size);
}

void useProgram(int slot) {
  if (shaderPrograms.ready()) shaderPrograms.use(slot);
}

void setLightUniform(int slot) {
  if (!shaderPrograms.ready()) return;
  shaderPrograms.setUniform4f(slot, "lightPos", lightPosition[0], lightPosition[1],
                              lightPosition[2], lightPosition[3]);
}

void setCameraUniform(int slot) {
  if (!shaderPrograms.ready()) return;
  shaderPrograms.setUniform4f(slot, "camPos", demoCamera.eye.x, demoCamera.eye.y, demoCamera.eye.z,
                              1.0f);
}

// The scene's drawing selects texture units and binds buffers through the
// multitexture table; without those entry points it is left out.
void drawScene() {
  if (!multitextureAvailable()) return;
  if (worldScene.meshCount > 0 && (!glBindBufferARB || !glClientActiveTextureARB)) return;
  worldScene.draw();
}

// The characters' drawing works on texture unit 1 itself, and draws nothing
// without unit selection.
void drawCharacters() {
  if (characters) characters->draw();
}

// The lowest point of the scene or the water: no shadow falls lower.
float lowestReceiver() {
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    for (const ScenePiece& piece : worldScene.meshes[m].pieces)
      lowest = std::min(lowest, piece.low[1]);
  return lowest;
}

// The characters whose shadows an eye of this frame can see: the others
// cost only their triangles.
void drawShadowCasters() {
  if (!characters) return;
  ViewVolume seen[2];
  int count = 0;
  glPushAttrib(GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  setPerspectiveView(viewWidth, viewHeight);
  for (EyeView view : {stereoEnabled ? EyeView::Left : EyeView::Single, EyeView::Right}) {
    if (view == EyeView::Right && !stereoEnabled) break;
    glLoadIdentity();
    applyEyeView(view);
    seen[count++] = ViewVolume::current();
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
  const Vector3 light =
      Vector3(-lightPosition[0], -lightPosition[1], -lightPosition[2]).normalized();
  characters->drawShadowCasters(seen, count, light, lowestReceiver());
}

void shadowPass() {
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  setLightProjection();
  viewportOfTarget(ShadowTarget);
  renderTargets.bind(ShadowTarget);
  // The light and the scene stand still, so the cleared target with the
  // scene drawn into it is the same every frame: it is kept from the first
  // frame and copied back whole, colour and depth, which stands in for both
  // the clear and the scene's triangles.
  const bool copied = shadowOfScene.restore(renderTargets, ShadowTarget, worldScene.generation);
  if (!copied) clearTarget();
  glLoadIdentity();
  gluLookAt(lightPosition[0], lightPosition[1], lightPosition[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glGetFloatv(GL_MODELVIEW_MATRIX, lightModelview);
  glGetFloatv(GL_PROJECTION_MATRIX, lightProjection);
  useProgram(DepthProgram);
  setLightUniform(DepthProgram);
  // The water is left out: it is the lowest surface and opaque in the colour
  // image, so nothing it could shadow is ever seen, and its own test finds
  // it lit either way. That spares filling the whole 2048 float target once.
  if (!copied) {
    drawScene();
    shadowOfScene.take(renderTargets, ShadowTarget, worldScene.generation);
  }
  drawShadowCasters();
}

void colourPass(const EyePass& eye) {
  setPerspectiveView(viewWidth, viewHeight);
  viewportOfTarget(eye.targets.colour);
  renderTargets.bind(eye.targets.colour);
  clearTarget();
  glLoadIdentity();
  applyEyeView(eye.view);

  if (multitextureAvailable()) glActiveTextureARB(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, renderTargets.texture(ShadowTarget));
  // Texture matrix 0 takes world points into the shadow image's [0, 1] range.
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(0.5f, 0.5f, 0.5f);
  glScalef(0.5f, 0.5f, 0.5f);
  glMultMatrixf(lightProjection);
  glMultMatrixf(lightModelview);
  glMatrixMode(GL_MODELVIEW);

  useProgram(ColourProgram);
  if (shaderPrograms.ready()) shaderPrograms.setUniform1i(ColourProgram, "shadowMap", 0);
  setLightUniform(ColourProgram);
  drawScene();
  drawWaterQuad(waterHalfSize);

  // Without unit selection the reset below would hit texture matrix 0, the
  // shadow matrix, so the characters' step goes as a whole.
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
}

void normalPass(const EyePass& eye) {
  viewportOfTarget(eye.targets.normal);
  renderTargets.bind(eye.targets.normal);
  glLoadIdentity();
  applyEyeView(eye.view);

  // The normal image of the scene depends on nothing but the scene and the
  // eye: while the camera stands still it is kept and copied back whole in
  // place of the clear and the scene's triangles. It is kept only once the
  // eye has stood still for a frame, so a moving camera pays nothing more.
  StillCopy& still = normalOfScene[eye.view == EyeView::Right ? 1 : 0];
  const std::uint64_t key = viewKey();
  const bool copied = still.copy.restore(renderTargets, eye.targets.normal, key);
  if (!copied) clearTarget();

  useProgram(NormalProgram);
  setLightUniform(NormalProgram);
  setCameraUniform(NormalProgram);
  if (!copied) {
    drawScene();
    if (key == still.lastKey) still.copy.take(renderTargets, eye.targets.normal, key);
  }
  still.lastKey = key;
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters();
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }

  useProgram(WaterProgram);
  if (shaderPrograms.ready()) {
    shaderPrograms.setUniform1i(WaterProgram, "normalMap", 0);
    setLightUniform(WaterProgram);
    setCameraUniform(WaterProgram);
    shaderPrograms.setUniform1f(WaterProgram, "waterMove", waterMove);
  }
  glBindTexture(GL_TEXTURE_2D, textureIds[WaterTexture]);
  drawWaterQuad(waterHalfSize);
}

void compositeIntoWindow() {
  const int width = viewWidth;
  const int height = viewHeight;
  if (!stereoEnabled) {
    setScreenOrtho(width, height);
    clearTarget();
    glLoadIdentity();
    demoCamera.applyView();
    drawComposite(0);
    return;
  }
  setHalfScreenOrtho(width / 2, height, 0);
  clearTarget();
  glLoadIdentity();
  applyEyeView(EyeView::Left);
  drawComposite(0);
  setHalfScreenOrtho(width / 2, height, 1);
  glLoadIdentity();
  applyEyeView(EyeView::Right);
  drawComposite(1);
}

void logPendingError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return;
  const GLubyte* text = gluErrorString(error);
  Log::instance().write(text ? reinterpret_cast<const char*>(text) : "unknown GL error");
}

}  // namespace

void releaseFrameCopies() {
  shadowOfScene.release();
  for (StillCopy& still : normalOfScene) {
    still.copy.release();
    still.lastKey = 0;
  }
}

void drawShadowPass() { shadowPass(); }

void drawWaterQuad(float halfSize) {
  const float height =
      static_cast<float>(std::sin(20.0 * static_cast<double>(waterMove)) * 0.005 - 0.45);
  const float s = halfSize;
  const float d = 0.5f * s;
  glColor3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glNormal3f(0.0f, 1.0f, 0.0f);
  glTexCoord2f(d, d);
  glVertex3f(s, height, s);
  glTexCoord2f(d, 0.0f);
  glVertex3f(s, height, -s);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-s, height, -s);
  glTexCoord2f(0.0f, d);
  glVertex3f(-s, height, s);
  glEnd();
  glColor3f(1.0f, 1.0f, 1.0f);
}

void setLightProjection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-8.5, 8.5, -6.5, 6.5, static_cast<double>(150.1f), 200.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
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

void drawFrame() {
  glPushAttrib(GL_VIEWPORT_BIT);
  // Without framebuffers the passes would only draw into the window, which
  // the composite clears again.
  if (renderTargets.ready()) {
    shadowPass();
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
    const EyePass first{stereoEnabled ? EyeView::Left : EyeView::Single, targetsOfEye(0)};
    colourPass(first);
    normalPass(first);
    if (stereoEnabled) {
      const EyePass second{EyeView::Right, targetsOfEye(1)};
      colourPass(second);
      normalPass(second);
    }
  } else {
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
  }
  if (shaderPrograms.ready()) shaderPrograms.unuse();
  if (renderTargets.ready()) renderTargets.unbind();
  glPopAttrib();

  compositeIntoWindow();
  logPendingError();
  glFlush();
}
