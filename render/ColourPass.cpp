#include "render/ColourPass.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoRecord.h"
#include "render/Drawing.h"
#include "render/Frame.h"
#include "render/Light.h"
#include "render/Water.h"
#include "world/Scene.h"

namespace {

using SceneColour = ColourPassKeeps::SceneColour;

std::vector<AxisBox> widened(std::vector<AxisBox> boxes, float by) {
  for (AxisBox& box : boxes) box = widened(box, by);
  return boxes;
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

// Draws the scene again, under the shadow image in force, at the pixels
// whose surface lies in one of the boxes. In the canvas, which holds the
// scene's depth: its colour there is set to the kept copy's, a stencil
// marks the pixels (box faces behind the surface: a back face counts in, a
// front face out, which holds with the eye inside a box too), and the
// pieces meeting the boxes are drawn in their order where their depth
// equals the surface's, which gives each pixel what a full draw would.
// Then the rectangle goes back into the target.
void redrawWhereShadowsFall(DemoRecord& demo, const Frame& frame, const SceneColour& kept,
                            const EyeView& eye, const std::vector<AxisBox>& marks,
                            const PixelRect& rect) {
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
  if (demo.shaderPrograms.ready()) demo.shaderPrograms.unuse();
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
  useProgram(demo.shaderPrograms, ColourProgram);
  drawScene(demo, frame.plain, eye.volume, &meeting);
  glPopAttrib();
  copyColour(kept.canvas.framebuffer(), demo.renderTargets.framebuffer(eye.targets.colour),
             rect.left, rect.bottom, rect.right, rect.top);
}

// The scene's part of the eye's colour image, into its bound target under
// `shadowImage`: drawn, or while the eye rests copied in and drawn again
// only where the shadows of the characters and the water can fall.
void drawSceneColour(DemoRecord& demo, const Frame& frame, const EyeView& eye, GLuint shadowImage) {
  RenderTargetSet& targets = demo.renderTargets;
  SceneColour& kept = demo.colourPass.eye[eye.side == EyeSide::Right ? 1 : 0];
  const std::uint64_t key = eye.key;
  const float lowest = frame.lowestSeenReceiver;
  std::vector<AxisBox> marks;
  bool framed = !demo.characters || demo.characters->shadowReaches(lightDirection(), lowest, marks);
  marks.push_back(frame.waterShadowSeen);
  marks.erase(std::remove_if(
                  marks.begin(), marks.end(),
                  [&eye](const AxisBox& box) { return eye.volume.excludesBox(box.low, box.high); }),
              marks.end());
  // A little wider than the shadows reach, against the depth test's rounding.
  marks = widened(marks, 0.02f);
  PixelRect rect;
  const int size = targets.size(eye.targets.colour);
  framed = framed && rectOfBoxes(marks, eye.volume.clip(), size, rect);
  bool copied = false;
  if (framed && kept.held) {
    copied = kept.copy.restore(targets, eye.targets.colour, key);
    kept.held = copied;
  }
  if (!copied) {
    clearTarget();
    const GLuint shadowOfSceneAlone =
        demo.shadowPass.shadowOfScene.texture(demo.worldScene.generation);
    // A shadow reaching past the far plane only makes this frame draw it all.
    if (framed && !kept.held && key == kept.lastKey && shadowOfSceneAlone != 0 &&
        !kept.copy.refused() && kept.canvas.makeFor(targets, eye.targets.colour)) {
      glBindTexture(GL_TEXTURE_2D, shadowOfSceneAlone);
      drawScene(demo, frame.plain, eye.volume);
      copied = kept.copy.take(targets, eye.targets.colour, key);
      if (copied) {
        // The canvas's depth, drawn as the target's was.
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, kept.canvas.framebuffer());
        glPushAttrib(GL_COLOR_BUFFER_BIT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        drawScene(demo, frame.plain, eye.volume);
        glPopAttrib();
        targets.bind(eye.targets.colour);
        kept.held = true;
      } else {
        clearTarget();
      }
      glBindTexture(GL_TEXTURE_2D, shadowImage);
    }
    if (!copied) drawScene(demo, frame.plain, eye.volume);
  }
  if (copied && !marks.empty()) redrawWhereShadowsFall(demo, frame, kept, eye, marks, rect);
  kept.lastKey = key;
}

// The characters an eye can see: in its view, and not wholly behind what the
// bound target holds. A box a little wider than each stands in for it.
std::vector<std::int32_t> charactersSeen(DemoRecord& demo, const EyeView& eye) {
  CharacterManager& characters = *demo.characters;
  std::vector<std::int32_t> shown = characters.inView(eye.volume);
  std::vector<AxisBox> boxes(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    characters.boxAround(shown[i], boxes[i].low, boxes[i].high);
    boxes[i] = widened(boxes[i], 0.05f);
  }
  if (demo.shaderPrograms.ready()) demo.shaderPrograms.unuse();
  const std::vector<bool> seen = demo.colourPass.hiddenCharacters.seen(boxes, eye.volume.clip());
  std::vector<std::int32_t> kept;
  for (std::size_t i = 0; i < shown.size(); ++i)
    if (seen[i]) kept.push_back(shown[i]);
  return kept;
}

}  // namespace

std::vector<std::int32_t> colourPass(DemoRecord& demo, const Frame& frame, const EyeView& eye) {
  RenderTargetSet& targets = demo.renderTargets;
  ShaderProgramSet& programs = demo.shaderPrograms;
  setPerspectiveView(demo.viewWidth, demo.viewHeight);
  const int size = targets.size(eye.targets.colour);
  glViewport(0, 0, size, size);
  targets.bind(eye.targets.colour);
  glLoadIdentity();
  applyEyeView(eye);

  if (multitextureAvailable()) glActiveTextureARB(GL_TEXTURE0_ARB);
  const GLuint shadowImage = targets.texture(ShadowTarget);
  glBindTexture(GL_TEXTURE_2D, shadowImage);
  // Texture matrix 0 takes world points into the shadow image's [0, 1] range.
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glTranslatef(0.5f, 0.5f, 0.5f);
  glScalef(0.5f, 0.5f, 0.5f);
  glMultMatrixf(demo.shadowPass.lightProjection);
  glMultMatrixf(demo.shadowPass.lightModelview);
  glMatrixMode(GL_MODELVIEW);

  useProgram(programs, ColourProgram);
  if (programs.ready()) programs.setUniform1i(ColourProgram, "shadowMap", 0);
  setLightUniform(programs, ColourProgram);

  if (frame.plain) {
    clearTarget();
    drawScene(demo, frame.plain, eye.volume);
  } else {
    drawSceneColour(demo, frame, eye, shadowImage);
  }
  drawWaterQuad(waterHalfSize, demo.waterMove);

  // Characters wholly behind the scene and the water are left out, here and
  // in the normal pass, where what hides them is drawn over them.
  std::vector<std::int32_t> shown;
  if (demo.characters && !frame.plain && multitextureAvailable()) {
    shown = charactersSeen(demo, eye);
    useProgram(programs, ColourProgram);
  }
  // Without unit selection the reset below would hit texture matrix 0, the
  // shadow matrix, so the characters' step goes as a whole.
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(demo, frame.plain, shown);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
  }
  return shown;
}
