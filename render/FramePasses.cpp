#include "render/FramePasses.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/Log.h"
#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/TargetSnapshot.h"
#include "gl/Textures.h"
#include "gl/ViewVolume.h"
#include "render/Composite.h"
#include "render/DemoSlots.h"
#include "render/DemoState.h"
#include "world/Scene.h"

bool plainFrames = false;

GLfloat lightModelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
GLfloat lightProjection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

constexpr float waterHalfSize = 30.0f;
// The water plane's height moves by 0.005 about this.
constexpr float waterLowest = -0.456f;
constexpr float waterHighest = -0.444f;

enum class EyeView { Single, Left, Right };

TargetSnapshot shadowOfScene;

// What the colour pass keeps of the scene while an eye stands still: the
// scene under the shadows of the scene alone, and its depth in a canvas
// with a stencil, where the pixels the characters' shadows can reach are
// drawn again.
struct SceneColour {
  TargetSnapshot copy;
  StencilCanvas canvas;
  std::uint64_t lastKey = 0;
  bool held = false;  // the canvas holds the depth of what the copy holds
};
SceneColour colourOfScene[2];

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
// Plain frames draw it as its file lists it.
void drawScene(const ViewVolume* view = nullptr, const std::vector<AxisBox>* meeting = nullptr) {
  if (!multitextureAvailable()) return;
  if (worldScene.meshCount > 0 && (!glBindBufferARB || !glClientActiveTextureARB)) return;
  if (plainFrames)
    worldScene.drawAsFiled();
  else
    worldScene.draw(view, meeting);
}

// The characters' drawing works on texture unit 1 itself, and draws nothing
// without unit selection. Plain frames draw every one of them.
void drawCharacters(const ViewVolume& view) {
  if (!characters) return;
  if (plainFrames)
    characters->draw();
  else
    characters->drawIn(view);
}

// The lowest point of the scene or the water: no shadow falls lower.
float lowestReceiver() {
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    for (const ScenePiece& piece : worldScene.meshes[m].pieces)
      lowest = std::min(lowest, piece.low[1]);
  return lowest;
}

// The lowest point of the scene the colour image can show. The water is
// opaque there: an eye above it and over it, with the near plane wholly
// above it too, sees below the water only past the water's edge.
float lowestSeenReceiver() {
  const Vector3& eye = demoCamera.eye;
  // The eyes of a pair stand apart, and the near plane reaches further.
  const float side = std::fabs(eyeOffset) + nearPlaneReach(viewWidth, viewHeight);
  const bool overWater = eye.y - side > waterHighest && std::fabs(eye.x) + side < waterHalfSize &&
                         std::fabs(eye.z) + side < waterHalfSize;
  if (!overWater) return lowestReceiver();
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    for (const ScenePiece& piece : worldScene.meshes[m].pieces) {
      const bool beyondWater = std::min(piece.low[0], piece.low[2]) < -waterHalfSize ||
                               std::max(piece.high[0], piece.high[2]) > waterHalfSize;
      if (beyondWater) lowest = std::min(lowest, piece.low[1]);
    }
  return lowest;
}

Vector3 lightDirection() {
  return Vector3(-lightPosition[0], -lightPosition[1], -lightPosition[2]).normalized();
}

// Where the water's shadow can fall on what lies no lower than `lowest`. The
// water moves, so the scene's shadow image, which is kept, leaves it out.
AxisBox waterShadowReach(float lowest) {
  const AxisBox water{{-waterHalfSize, waterLowest, -waterHalfSize},
                      {waterHalfSize, waterHighest, waterHalfSize}};
  const Vector3 light = lightDirection();
  const float towards[3] = {light.x, light.y, light.z};
  return shadowReach(water, towards, lowest, 0.05f);
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
  characters->drawShadowCasters(seen, count, lightDirection(), lowestReceiver());
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
  const bool copied =
      !plainFrames && shadowOfScene.restore(renderTargets, ShadowTarget, worldScene.generation);
  if (!copied) clearTarget();
  glLoadIdentity();
  gluLookAt(lightPosition[0], lightPosition[1], lightPosition[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glGetFloatv(GL_MODELVIEW_MATRIX, lightModelview);
  glGetFloatv(GL_PROJECTION_MATRIX, lightProjection);
  useProgram(DepthProgram);
  setLightUniform(DepthProgram);
  if (!copied) {
    drawScene();
    if (!plainFrames) shadowOfScene.take(renderTargets, ShadowTarget, worldScene.generation);
  }
  // The water rises and falls, so it is drawn every frame.
  drawWaterQuad(waterHalfSize);
  if (plainFrames) {
    if (characters) characters->draw();
  } else {
    drawShadowCasters();
  }
}

struct PixelRect {
  int left = 0, bottom = 0, right = 0, top = 0;  // right and top just past the last pixel
};

// Where the boxes show in a target of `size` pixels under the matrices in
// force, a pixel wider all round: their corners, and where their edges cross
// the eye's near plane, seen from the eye. False when one reaches past the
// far plane.
bool rectOfBoxes(const std::vector<AxisBox>& boxes, int size, PixelRect& rect) {
  float m[16];
  ViewVolume::clipMatrix(m);
  float low[2] = {1.0f, 1.0f}, high[2] = {-1.0f, -1.0f};
  auto see = [&](const float(&clip)[4]) {
    for (int axis = 0; axis < 2; ++axis) {
      low[axis] = std::min(low[axis], clip[axis] / clip[3]);
      high[axis] = std::max(high[axis], clip[axis] / clip[3]);
    }
  };
  for (const AxisBox& box : boxes) {
    float clip[8][4];
    float beyondNear[8];  // z + w: not negative on the far side of the near plane
    for (int corner = 0; corner < 8; ++corner) {
      const float p[3] = {(corner & 1) ? box.high[0] : box.low[0],
                          (corner & 2) ? box.high[1] : box.low[1],
                          (corner & 4) ? box.high[2] : box.low[2]};
      for (int r = 0; r < 4; ++r)
        clip[corner][r] = m[r] * p[0] + m[r + 4] * p[1] + m[r + 8] * p[2] + m[r + 12];
      if (!(clip[corner][2] < clip[corner][3])) return false;
      beyondNear[corner] = clip[corner][2] + clip[corner][3];
      if (beyondNear[corner] >= 0.0f && clip[corner][3] > 0.0f) see(clip[corner]);
    }
    for (int from = 0; from < 8; ++from)
      for (int bit : {1, 2, 4}) {
        const int to = from | bit;
        if (to == from || (beyondNear[from] < 0.0f) == (beyondNear[to] < 0.0f)) continue;
        const float t = beyondNear[from] / (beyondNear[from] - beyondNear[to]);
        float crossing[4];
        for (int r = 0; r < 4; ++r) crossing[r] = clip[from][r] + t * (clip[to][r] - clip[from][r]);
        if (crossing[3] > 0.0f) see(crossing);
      }
  }
  auto pixel = [size](float device, float more) {
    const float at = std::floor((device * 0.5f + 0.5f) * static_cast<float>(size)) + more;
    return static_cast<int>(std::min(std::max(at, 0.0f), static_cast<float>(size)));
  };
  rect = {pixel(low[0], -1.0f), pixel(low[1], -1.0f), pixel(high[0], 2.0f), pixel(high[1], 2.0f)};
  if (rect.right <= rect.left || rect.top <= rect.bottom) rect = {0, 0, size, size};
  return true;
}

// Each box's faces turned outwards, counter-clockwise seen from outside.
void drawBoxes(const std::vector<AxisBox>& boxes) {
  static const int faces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                  {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  glBegin(GL_QUADS);
  for (const AxisBox& box : boxes)
    for (const auto& face : faces)
      for (int corner : face)
        glVertex3f((corner & 1) ? box.high[0] : box.low[0], (corner & 2) ? box.high[1] : box.low[1],
                   (corner & 4) ? box.high[2] : box.low[2]);
  glEnd();
}

std::vector<AxisBox> widened(std::vector<AxisBox> boxes, float by) {
  for (AxisBox& box : boxes) box = widened(box, by);
  return boxes;
}

// Draws the scene again, under the shadow image in force, at the pixels
// whose surface lies in one of the boxes. In the canvas, which holds the
// scene's depth: its colour there is set to the kept copy's, a stencil
// marks the pixels (box faces behind the surface: a back face counts in, a
// front face out, which holds with the eye inside a box too), and the
// pieces meeting the boxes are drawn in their order where their depth
// equals the surface's, which gives each pixel what a full draw would.
// Then the rectangle goes back into the target.
void redrawWhereShadowsFall(const SceneColour& kept, int target, const ViewVolume& view,
                            const std::vector<AxisBox>& marks, const PixelRect& rect) {
  // Wider than the marks by more than the depth buffer's steps, so every
  // piece that reaches a marked pixel's depth is drawn.
  const std::vector<AxisBox> meeting = widened(marks, 0.05f);
  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT |
               GL_POLYGON_BIT | GL_SCISSOR_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(rect.left, rect.bottom, rect.right - rect.left, rect.top - rect.bottom);
  copyColour(kept.copy.framebuffer(), kept.canvas.framebuffer(), rect.left, rect.bottom, rect.right,
             rect.top);
  glClear(GL_STENCIL_BUFFER_BIT);
  if (shaderPrograms.ready()) shaderPrograms.unuse();
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, 0xff);
  glCullFace(GL_FRONT);
  glStencilOp(GL_KEEP, GL_INCR, GL_KEEP);
  drawBoxes(marks);
  glCullFace(GL_BACK);
  glStencilOp(GL_KEEP, GL_DECR, GL_KEEP);
  drawBoxes(marks);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glStencilFunc(GL_NOTEQUAL, 0, 0xff);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  useProgram(ColourProgram);
  drawScene(&view, &meeting);
  glPopAttrib();
  copyColour(kept.canvas.framebuffer(), renderTargets.framebuffer(target), rect.left, rect.bottom,
             rect.right, rect.top);
}

// While the eye stands still only the shadows of the characters and the
// water change the scene's colour image: the scene is kept as its own
// shadows leave it and drawn again only where those can fall.
void sceneColourKeptWhileStill(const EyePass& eye, const ViewVolume& view, GLuint shadowImage) {
  SceneColour& kept = colourOfScene[eye.view == EyeView::Right ? 1 : 0];
  const std::uint64_t key = viewKey();
  const float lowest = lowestSeenReceiver();
  std::vector<AxisBox> marks;
  bool framed = !characters || characters->shadowReaches(lightDirection(), lowest, marks);
  marks.push_back(waterShadowReach(lowest));
  marks.erase(
      std::remove_if(marks.begin(), marks.end(),
                     [&view](const AxisBox& box) { return view.excludesBox(box.low, box.high); }),
      marks.end());
  // A little wider than the shadows reach, against the depth test's rounding.
  marks = widened(marks, 0.02f);
  PixelRect rect;
  const int size = renderTargets.size(eye.targets.colour);
  framed = framed && rectOfBoxes(marks, size, rect);
  bool copied = false;
  if (framed && kept.held) {
    copied = kept.copy.restore(renderTargets, eye.targets.colour, key);
    kept.held = copied;
  }
  if (!copied) {
    clearTarget();
    const GLuint shadowOfSceneAlone = shadowOfScene.texture(worldScene.generation);
    // A shadow reaching past the far plane only makes this frame draw it all.
    if (framed && !kept.held && key == kept.lastKey && shadowOfSceneAlone != 0 &&
        !kept.copy.refused() && kept.canvas.makeFor(renderTargets, eye.targets.colour)) {
      glBindTexture(GL_TEXTURE_2D, shadowOfSceneAlone);
      drawScene(&view);
      copied = kept.copy.take(renderTargets, eye.targets.colour, key);
      if (copied) {
        // The canvas's depth, drawn as the target's was.
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, kept.canvas.framebuffer());
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        drawScene(&view);
        glPopAttrib();
        renderTargets.bind(eye.targets.colour);
        kept.held = true;
      } else {
        clearTarget();
      }
      glBindTexture(GL_TEXTURE_2D, shadowImage);
    }
    if (!copied) drawScene(&view);
  }
  if (copied && !marks.empty()) redrawWhereShadowsFall(kept, eye.targets.colour, view, marks, rect);
  kept.lastKey = key;
}

void colourPass(const EyePass& eye) {
  setPerspectiveView(viewWidth, viewHeight);
  viewportOfTarget(eye.targets.colour);
  renderTargets.bind(eye.targets.colour);
  glLoadIdentity();
  applyEyeView(eye.view);
  const ViewVolume view = ViewVolume::current();

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

  if (plainFrames) {
    clearTarget();
    drawScene();
  } else {
    sceneColourKeptWhileStill(eye, view, shadowImage);
  }
  drawWaterQuad(waterHalfSize);

  // Without unit selection the reset below would hit texture matrix 0, the
  // shadow matrix, so the characters' step goes as a whole.
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(view);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
}

void normalPass(const EyePass& eye) {
  viewportOfTarget(eye.targets.normal);
  renderTargets.bind(eye.targets.normal);
  clearTarget();
  glLoadIdentity();
  applyEyeView(eye.view);
  const ViewVolume view = ViewVolume::current();

  // The scene goes over the characters, so it wins where they touch at
  // exactly one depth: a copy of the scene's image, which the characters
  // would be drawn over, cannot stand in for it.
  useProgram(NormalProgram);
  setLightUniform(NormalProgram);
  setCameraUniform(NormalProgram);
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(view);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  drawScene(&view);

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
  for (SceneColour& kept : colourOfScene) {
    kept.copy.release();
    kept.canvas.release();
    kept.lastKey = 0;
    kept.held = false;
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
