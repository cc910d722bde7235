#include "render/FramePasses.h"

#include <cmath>

#include "base/Log.h"
#include "characters/CharacterManager.h"
#include "gl/BoxQueries.h"
#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "render/Composite.h"
#include "render/DemoSlots.h"
#include "render/DemoState.h"
#include "render/KeptImages.h"
#include "render/PassSteps.h"
#include "render/WaterShadow.h"

GLfloat lightModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
GLfloat lightProjection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

// The eyes of the frame: one, or the left and the right.
struct Eyes {
  EyeView eye[2];
  int count = 1;
};

Eyes eyesOf(const FrameRecord& frame) {
  Eyes eyes;
  eyes.count = frame.stereo ? 2 : 1;
  for (int i = 0; i < eyes.count; ++i) eyes.eye[i] = eyeOf(frame, i);
  return eyes;
}

void viewportOfTarget(int index) {
  const int size = renderTargets.size(index);
  glViewport(0, 0, size, size);
}

void setCameraUniform(const FrameRecord& frame, int slot) {
  if (!shaderPrograms.ready()) return;
  const Vector3& eye = frame.camera.eye;
  shaderPrograms.setUniform4f(slot, "camPos", eye.x, eye.y, eye.z, 1.0f);
}

BoxQueries hiddenCharacters;

// The characters an eye can see: in its view, and not wholly behind what the
// bound target holds. A box a little wider than each stands in for it.
std::vector<std::int32_t> charactersSeen(const EyeView& eye) {
  std::vector<std::int32_t> shown = characters->inView(eye.volume);
  std::vector<AxisBox> boxes(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    characters->boxAround(shown[i], boxes[i].low, boxes[i].high);
    boxes[i] = widened(boxes[i], 0.05f);
  }
  if (shaderPrograms.ready()) shaderPrograms.unuse();
  const std::vector<bool> seen = hiddenCharacters.seen(boxes, eye.volume.clip());
  std::vector<std::int32_t> kept;
  for (std::size_t i = 0; i < shown.size(); ++i)
    if (seen[i]) kept.push_back(shown[i]);
  return kept;
}

// The characters' drawing works on texture unit 1 itself, and draws nothing
// without unit selection. Plain frames draw every one of them.
void drawCharacters(const FrameRecord& frame, const std::vector<std::int32_t>& shown) {
  if (!characters) return;
  if (frame.plain)
    characters->draw();
  else
    characters->drawOnly(shown);
}

void shadowPass(const FrameRecord& frame, const Eyes& eyes) {
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  setLightProjection();
  viewportOfTarget(ShadowTarget);
  renderTargets.bind(ShadowTarget);
  // The light and the scene stand still, so the cleared target with the
  // scene drawn into it is the same every frame: it is kept from the first
  // frame and copied back, colour and depth, over what the frame before
  // wrote, which stands in for both the clear and the scene's triangles.
  const bool copied = !frame.plain && restoreShadowOfScene();
  if (!copied) clearTarget();
  glLoadIdentity();
  gluLookAt(lightPosition[0], lightPosition[1], lightPosition[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glGetFloatv(GL_MODELVIEW_MATRIX, lightModelview);
  glGetFloatv(GL_PROJECTION_MATRIX, lightProjection);
  useProgram(DepthProgram);
  setLightUniform(DepthProgram);
  if (!copied) {
    drawScene(frame, ViewVolume());
    if (!frame.plain) keepShadowOfScene();
  }
  // The water rises and falls, so it is drawn every frame, where it counts.
  auto water = [&frame] { drawWaterQuad(waterHalfSize, frame.waterMove); };
  if (frame.plain) {
    forgetShadowWrites();
    water();
    if (characters) characters->draw();
    return;
  }
  Matrix4 light;
  multiply(lightProjection, lightModelview, light);
  ShadowTiles written(renderTargets.size(ShadowTarget), light);
  drawWaterShadow(frame, eyes.eye, eyes.count, water, written);
  if (characters) {
    // The characters whose shadows an eye of this frame can see: the others
    // would cost only their triangles.
    const ViewVolume seen[2] = {eyes.eye[0].volume, eyes.eye[1].volume};
    const std::vector<std::int32_t> casters =
        characters->shadowCasters(seen, eyes.count, lightDirection(), lowestReceiver());
    for (std::int32_t i : casters) {
      AxisBox box;
      characters->boxAround(i, box.low, box.high);
      written.markBox(box, everywhere(), 2.0f);
    }
    characters->drawOnly(casters);
  }
  shadowWritten(written);
}

// Returns the characters it drew, for the normal pass of the same eye.
std::vector<std::int32_t> colourPass(const FrameRecord& frame, const EyeView& eye) {
  setPerspectiveView(frame.width, frame.height);
  viewportOfTarget(eye.targets.colour);
  renderTargets.bind(eye.targets.colour);
  glLoadIdentity();
  applyEyeView(frame, eye);

  if (multitextureAvailable()) glActiveTextureARB(GL_TEXTURE0_ARB);
  const GLuint shadowImage = renderTargets.texture(ShadowTarget);
  glBindTexture(GL_TEXTURE_2D, shadowImage);
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

  if (frame.plain) {
    clearTarget();
    drawScene(frame, eye.volume);
  } else {
    drawSceneColour(frame, eye, shadowImage);
  }
  drawWaterQuad(waterHalfSize, frame.waterMove);

  // Characters wholly behind the scene and the water are left out, here and
  // in the normal pass, where what hides them is drawn over them.
  std::vector<std::int32_t> shown;
  if (characters && !frame.plain && multitextureAvailable()) {
    shown = charactersSeen(eye);
    useProgram(ColourProgram);
  }
  // Without unit selection the reset below would hit texture matrix 0, the
  // shadow matrix, so the characters' step goes as a whole.
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(frame, shown);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
  return shown;
}

void normalPass(const FrameRecord& frame, const EyeView& eye,
                const std::vector<std::int32_t>& shown) {
  viewportOfTarget(eye.targets.normal);
  renderTargets.bind(eye.targets.normal);
  glLoadIdentity();
  applyEyeView(frame, eye);

  useProgram(NormalProgram);
  setLightUniform(NormalProgram);
  setCameraUniform(frame, NormalProgram);
  auto people = [&] {
    if (!multitextureAvailable()) return;
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(frame, shown);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  };
  auto water = [&] {
    useProgram(WaterProgram);
    if (shaderPrograms.ready()) {
      shaderPrograms.setUniform1i(WaterProgram, "normalMap", 0);
      setLightUniform(WaterProgram);
      setCameraUniform(frame, WaterProgram);
      shaderPrograms.setUniform1f(WaterProgram, "waterMove", frame.waterMove);
    }
    glBindTexture(GL_TEXTURE_2D, textureIds[WaterTexture]);
    drawWaterQuad(waterHalfSize, frame.waterMove);
  };
  if (frame.plain) {
    clearTarget();
    people();
    drawScene(frame, eye.volume);
    water();
  } else {
    drawSceneNormals(frame, eye, shown, people, water);
  }
}

void compositeIntoWindow(const FrameRecord& frame, const Eyes& eyes) {
  if (!frame.stereo) {
    setScreenOrtho(frame.width, frame.height);
    clearTarget();
    glLoadIdentity();
    applyEyeView(frame, eyes.eye[0]);
    drawComposite(0, frame.style);
    return;
  }
  setHalfScreenOrtho(frame.width / 2, frame.height, 0);
  clearTarget();
  for (int eye = 0; eye < 2; ++eye) {
    if (eye == 1) setHalfScreenOrtho(frame.width / 2, frame.height, 1);
    glLoadIdentity();
    applyEyeView(frame, eyes.eye[eye]);
    drawComposite(eye, frame.style);
  }
}

// What is kept and left out counts on what the shipped pass shaders draw.
FrameRecord asDrawn(const FrameRecord& frame) {
  FrameRecord drawn = frame;
  drawn.plain = frame.plain || !passShadersShipped;
  return drawn;
}

void logPendingError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return;
  const GLubyte* text = gluErrorString(error);
  Log::instance().write(text ? reinterpret_cast<const char*>(text) : "unknown GL error");
}

}  // namespace

void drawShadowPass(const FrameRecord& frame) {
  const FrameRecord drawn = asDrawn(frame);
  shadowPass(drawn, eyesOf(drawn));
}

void releaseFrameQueries() { hiddenCharacters.release(); }

void drawWaterQuad(float halfSize) { drawWaterQuad(halfSize, waterMove); }

void drawWaterQuad(float halfSize, float phase) {
  const float height =
      static_cast<float>(std::sin(20.0 * static_cast<double>(phase)) * 0.005 - 0.45);
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

void drawFrame() { drawFrame(currentFrame()); }

void drawFrame(const FrameRecord& asked) {
  const FrameRecord frame = asDrawn(asked);
  const Eyes eyes = eyesOf(frame);
  glPushAttrib(GL_VIEWPORT_BIT);
  // Without framebuffers the passes would only draw into the window, which
  // the composite clears again.
  if (renderTargets.ready()) {
    shadowPass(frame, eyes);
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
    for (int eye = 0; eye < eyes.count; ++eye)
      normalPass(frame, eyes.eye[eye], colourPass(frame, eyes.eye[eye]));
  } else {
    glClearColor(0.0f, 1.0f, 1.0f, 1.0f);
  }
  if (shaderPrograms.ready()) shaderPrograms.unuse();
  if (renderTargets.ready()) renderTargets.unbind();
  glPopAttrib();

  compositeIntoWindow(frame, eyes);
  logPendingError();
  glFlush();
}
