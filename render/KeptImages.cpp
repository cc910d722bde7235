#include "render/KeptImages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/TargetSnapshot.h"
#include "render/DemoState.h"
#include "render/DemoSlots.h"
#include "render/PassSteps.h"
#include "world/Scene.h"

namespace {

TargetSnapshot shadowOfScene;
// The tiles the last frame wrote over the kept scene, if known.
std::vector<ShadowTiles> shadowWrites;

// What the colour pass keeps of the scene while an eye stands still: the
// scene under the shadows of the scene alone, and its depth in a canvas
// with a stencil, where the pixels the shadows of the characters and the
// water can reach are drawn again.
struct SceneColour {
  TargetSnapshot copy;
  StencilCanvas canvas;
  std::uint64_t lastKey = 0;
  bool held = false;  // the canvas holds the depth of what the copy holds
};
SceneColour colourOfScene[2];  // single or left eye, right eye

// What the normal pass keeps of the scene while an eye rests: the scene
// alone, colour, depth and a cleared stencil, and a canvas of the same kind
// where each frame is drawn over a copy of it.
struct SceneNormals {
  StencilCanvas kept;
  StencilCanvas work;
  std::uint64_t keptKey = 0;
  std::uint64_t lastKey = 0;
  bool held = false;
};
SceneNormals normalsOfScene[2];

// The scene and the eye's matrices as one number: equal numbers mean the
// same scene seen the same way.
std::uint64_t viewKey(const EyeView& eye) {
  std::uint64_t key = 14695981039346656037ull ^ worldScene.generation;
  unsigned char bytes[2 * sizeof(Matrix4)];
  std::memcpy(bytes, eye.view, sizeof(Matrix4));
  std::memcpy(bytes + sizeof(Matrix4), eye.projection, sizeof(Matrix4));
  for (unsigned char byte : bytes) key = (key ^ byte) * 1099511628211ull;
  return key;
}

struct PixelRect {
  int left = 0, bottom = 0, right = 0, top = 0;  // right and top just past the last pixel
};

// Where the boxes show in a target of `size` pixels under the clip matrix
// `m`, a pixel wider all round: their corners, and where their edges cross
// the eye's near plane, seen from the eye. False when one reaches past the
// far plane.
bool rectOfBoxes(const std::vector<AxisBox>& boxes, const Matrix4& m, int size, PixelRect& rect) {
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
void redrawWhereShadowsFall(const FrameRecord& frame, const SceneColour& kept, const EyeView& eye,
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
  drawScene(frame, eye.volume, &meeting);
  glPopAttrib();
  copyColour(kept.canvas.framebuffer(), renderTargets.framebuffer(eye.targets.colour), rect.left,
             rect.bottom, rect.right, rect.top);
}

}  // namespace

bool restoreShadowOfScene() {
  if (shadowWrites.empty())
    return shadowOfScene.restore(renderTargets, ShadowTarget, worldScene.generation);
  bool restored = true;
  shadowWrites.front().runs([&restored](int left, int bottom, int width, int height) {
    restored =
        restored && shadowOfScene.restoreRect(renderTargets, ShadowTarget, worldScene.generation,
                                              left, bottom, width, height);
  });
  if (restored) return true;
  shadowWrites.clear();
  return shadowOfScene.restore(renderTargets, ShadowTarget, worldScene.generation);
}

void shadowWritten(const ShadowTiles& tiles) { shadowWrites.assign(1, tiles); }

void forgetShadowWrites() { shadowWrites.clear(); }

void keepShadowOfScene() { shadowOfScene.take(renderTargets, ShadowTarget, worldScene.generation); }

void drawSceneColour(const FrameRecord& frame, const EyeView& eye, GLuint shadowImage) {
  SceneColour& kept = colourOfScene[eye.side == EyeSide::Right ? 1 : 0];
  const std::uint64_t key = viewKey(eye);
  const float lowest = lowestSeenReceiver(frame);
  std::vector<AxisBox> marks;
  bool framed = !characters || characters->shadowReaches(lightDirection(), lowest, marks);
  marks.push_back(waterShadowReach(lowest));
  marks.erase(std::remove_if(
                  marks.begin(), marks.end(),
                  [&eye](const AxisBox& box) { return eye.volume.excludesBox(box.low, box.high); }),
              marks.end());
  // A little wider than the shadows reach, against the depth test's rounding.
  marks = widened(marks, 0.02f);
  PixelRect rect;
  const int size = renderTargets.size(eye.targets.colour);
  framed = framed && rectOfBoxes(marks, eye.volume.clip(), size, rect);
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
      drawScene(frame, eye.volume);
      copied = kept.copy.take(renderTargets, eye.targets.colour, key);
      if (copied) {
        // The canvas's depth, drawn as the target's was.
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, kept.canvas.framebuffer());
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        drawScene(frame, eye.volume);
        glPopAttrib();
        renderTargets.bind(eye.targets.colour);
        kept.held = true;
      } else {
        clearTarget();
      }
      glBindTexture(GL_TEXTURE_2D, shadowImage);
    }
    if (!copied) drawScene(frame, eye.volume);
  }
  if (copied && !marks.empty()) redrawWhereShadowsFall(frame, kept, eye, marks, rect);
  kept.lastKey = key;
}

void drawSceneNormals(const FrameRecord& frame, const EyeView& eye,
                      const std::vector<std::int32_t>& shown, const std::function<void()>& people,
                      const std::function<void()>& water) {
  SceneNormals& normals = normalsOfScene[eye.side == EyeSide::Right ? 1 : 0];
  const std::uint64_t key = viewKey(eye);
  const int target = eye.targets.normal;
  const int size = renderTargets.size(target);
  const bool resting = key == normals.lastKey;
  normals.lastKey = key;
  bool ready = normals.held && normals.keptKey == key;
  // Kept once the eye has rested for a frame, so a moving eye pays nothing.
  if (!ready && resting && glBlitFramebufferEXT && normals.kept.makeFor(renderTargets, target) &&
      normals.work.makeFor(renderTargets, target)) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, normals.kept.framebuffer());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    drawScene(frame, eye.volume);
    normals.held = true;
    normals.keptKey = key;
    ready = true;
  }
  if (!ready) {
    renderTargets.bind(target);
    clearTarget();
    people();
    drawScene(frame, eye.volume);
    water();
    return;
  }
  copyCanvas(normals.kept, normals.work, size);
  glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 1, 0xff);
  glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
  people();
  // Where a character's pixel passed, the scene is drawn again at equal
  // depth: it wins where the two touch at exactly one depth, and loses
  // wherever the character lies nearer. Every scene triangle at such a
  // depth lies within a depth step of the character's box.
  std::vector<AxisBox> near(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    characters->boxAround(shown[i], near[i].low, near[i].high);
    near[i] = widened(near[i], 0.05f);
  }
  glStencilFunc(GL_EQUAL, 1, 0xff);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glDepthFunc(GL_EQUAL);
  glDepthMask(GL_FALSE);
  if (!near.empty()) drawScene(frame, eye.volume, &near);
  glPopAttrib();
  water();
  copyColour(normals.work.framebuffer(), renderTargets.framebuffer(target), 0, 0, size, size);
}

void releaseFrameCopies() {
  for (SceneNormals& normals : normalsOfScene) {
    normals.kept.release();
    normals.work.release();
    normals.lastKey = normals.keptKey = 0;
    normals.held = false;
  }
  shadowOfScene.release();
  shadowWrites.clear();
  for (SceneColour& kept : colourOfScene) {
    kept.copy.release();
    kept.canvas.release();
    kept.lastKey = 0;
    kept.held = false;
  }
}
