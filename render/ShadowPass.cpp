#include "render/ShadowPass.h"

#include <algorithm>
#include <functional>

#include "characters/CharacterManager.h"
#include "gl/RenderTargets.h"
#include "render/DemoRecord.h"
#include "render/Drawing.h"
#include "render/Frame.h"
#include "render/Light.h"
#include "render/Water.h"
#include "world/Scene.h"

namespace {

// A receiver looks its texel up a little off its own place, along its
// normal, and snaps to the nearest texel: a few texels round every box.
constexpr float marginTexels = 8.0f;

// The scene's part of the shadow image, kept from an earlier frame of the
// same scene; only over the tiles the last frame wrote, where that is
// known. False, with nothing changed, where none is kept.
bool restoreShadowOfScene(DemoRecord& demo) {
  ShadowPassKeeps& keeps = demo.shadowPass;
  const std::uint64_t generation = demo.worldScene.generation;
  if (keeps.shadowWrites.empty())
    return keeps.shadowOfScene.restore(demo.renderTargets, ShadowTarget, generation);
  bool restored = true;
  keeps.shadowWrites.front().runs([&](int left, int bottom, int width, int height) {
    restored = restored && keeps.shadowOfScene.restoreRect(demo.renderTargets, ShadowTarget,
                                                           generation, left, bottom, width, height);
  });
  if (restored) return true;
  keeps.shadowWrites.clear();
  return keeps.shadowOfScene.restore(demo.renderTargets, ShadowTarget, generation);
}

void findWaterReceivers(DemoRecord& demo, const Frame& frame) {
  ShadowPassKeeps::WaterReceivers& found = demo.shadowPass.water;
  const Scene& scene = demo.worldScene;
  found = ShadowPassKeeps::WaterReceivers();
  found.generation = scene.generation;
  found.valid = true;
  const AxisBox reach = waterShadowReach(frame.lowestReceiver);
  for (std::int32_t m = 0; m < scene.meshCount; ++m) {
    const SceneMesh& mesh = scene.meshes[m];
    for (const ScenePiece& piece : mesh.pieces) {
      const AxisBox box{{piece.low[0], piece.low[1], piece.low[2]},
                        {piece.high[0], piece.high[1], piece.high[2]}};
      if (!box.meets(reach)) continue;
      std::vector<AxisBox> receivers;
      for (std::int64_t i = piece.firstIndex; i + 2 < piece.firstIndex + piece.indexCount; i += 3) {
        AxisBox r{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}};
        for (int k = 0; k < 3; ++k) {
          const float* p =
              mesh.positionArray + 3 * static_cast<std::size_t>(mesh.indexArray[i + k]);
          for (int axis = 0; axis < 3; ++axis) {
            r.low[axis] = std::min(r.low[axis], p[axis]);
            r.high[axis] = std::max(r.high[axis], p[axis]);
          }
        }
        if (r.meets(reach)) receivers.push_back(r);
      }
      if (receivers.empty()) continue;
      found.pieces.push_back(box);
      found.receivers.push_back(std::move(receivers));
    }
  }
}

// The water in the shadow image, drawn only where it can decide a pixel an
// eye of the frame sees. What lies higher than the water's shadow can reach
// is nearer the light than the water; the water itself is lit whether it is
// in the image or not; and below the water an eye over it sees nothing. So
// only surfaces about the water's height, and in view, need the water in
// their texels: the scene's triangles there are found once per scene, and
// each frame the tiles of the image under those in view are filled and
// added to `drawn`.
void drawWaterShadow(DemoRecord& demo, const Frame& frame, const std::function<void()>& water,
                     ShadowTiles& drawn) {
  const Scene& scene = demo.worldScene;
  // Without the arrays (a scene drawn from buffers it no longer holds),
  // nothing can be found: the water goes in whole.
  bool arrays = true;
  for (std::int32_t m = 0; m < scene.meshCount; ++m)
    arrays = arrays && (scene.meshes[m].indexCount == 0 ||
                        (scene.meshes[m].positionArray && scene.meshes[m].indexArray));
  if (!arrays) {
    water();
    drawn.markAll();
    return;
  }
  const ShadowPassKeeps::WaterReceivers& found = demo.shadowPass.water;
  if (!found.valid || found.generation != scene.generation) findWaterReceivers(demo, frame);

  auto seen = [&frame](const AxisBox& box) {
    for (int e = 0; e < frame.eyeCount; ++e)
      if (!frame.eye[e].volume.excludesBox(box.low, box.high)) return true;
    return false;
  };
  const float lowest = frame.lowestSeenReceiver;
  const AxisBox& reach = frame.waterShadowSeen;
  ShadowTiles tiles = drawn;
  tiles.clear();
  for (std::size_t p = 0; p < found.pieces.size(); ++p) {
    if (!found.pieces[p].meets(reach) || !seen(found.pieces[p])) continue;
    for (const AxisBox& r : found.receivers[p])
      if (r.meets(reach) && seen(r)) tiles.markBox(r, reach, marginTexels);
  }
  // A character may stand lower than the scene reaches, below the water.
  if (demo.characters)
    for (std::int32_t i = 0; i < demo.characters->placedCount(); ++i) {
      AxisBox box;
      demo.characters->boxAround(i, box.low, box.high);
      if (seen(box))
        tiles.markBox(box, waterShadowReach(std::min(lowest, box.low[1])), marginTexels);
    }

  glPushAttrib(GL_SCISSOR_BIT);
  glEnable(GL_SCISSOR_TEST);
  tiles.runs([&water](int left, int bottom, int width, int height) {
    glScissor(left, bottom, width, height);
    water();
  });
  glPopAttrib();
  drawn.add(tiles);
}

}  // namespace

void shadowPass(DemoRecord& demo, const Frame& frame) {
  ShadowPassKeeps& keeps = demo.shadowPass;
  RenderTargetSet& targets = demo.renderTargets;
  glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
  setLightProjection();
  const int size = targets.size(ShadowTarget);
  glViewport(0, 0, size, size);
  targets.bind(ShadowTarget);
  // The light and the scene stand still, so the cleared target with the
  // scene drawn into it is the same every frame: it is kept from the first
  // frame and copied back, colour and depth, over what the frame before
  // wrote, which stands in for both the clear and the scene's triangles.
  const bool copied = !frame.plain && restoreShadowOfScene(demo);
  if (!copied) clearTarget();
  glLoadIdentity();
  gluLookAt(lightPosition[0], lightPosition[1], lightPosition[2], 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  glGetFloatv(GL_MODELVIEW_MATRIX, keeps.lightModelview);
  glGetFloatv(GL_PROJECTION_MATRIX, keeps.lightProjection);
  useProgram(demo.shaderPrograms, DepthProgram);
  setLightUniform(demo.shaderPrograms, DepthProgram);
  if (!copied) {
    drawScene(demo, frame.plain, ViewVolume());
    if (!frame.plain) keeps.shadowOfScene.take(targets, ShadowTarget, demo.worldScene.generation);
  }
  // The water rises and falls, so it is drawn every frame, where it counts.
  const float phase = demo.waterMove;
  auto water = [phase] { drawWaterQuad(waterHalfSize, phase); };
  CharacterManager* characters = demo.characters.get();
  if (frame.plain) {
    // Anything may have been written over the scene's part.
    keeps.shadowWrites.clear();
    water();
    if (characters) characters->draw();
    return;
  }
  Matrix4 light;
  multiply(keeps.lightProjection, keeps.lightModelview, light);
  ShadowTiles written(size, light);
  drawWaterShadow(demo, frame, water, written);
  if (characters) {
    // The characters whose shadows an eye of this frame can see: the others
    // would cost only their triangles.
    const ViewVolume seen[2] = {frame.eye[0].volume, frame.eye[1].volume};
    const std::vector<std::int32_t> casters =
        characters->shadowCasters(seen, frame.eyeCount, lightDirection(), frame.lowestReceiver);
    for (std::int32_t i : casters) {
      AxisBox box;
      characters->boxAround(i, box.low, box.high);
      written.markBox(box, everywhere(), 2.0f);
    }
    characters->drawOnly(casters);
  }
  // What this frame wrote over the scene's part, for the next to take back.
  keeps.shadowWrites.assign(1, written);
}
