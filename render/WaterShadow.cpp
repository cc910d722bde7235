#include "render/WaterShadow.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "characters/CharacterManager.h"
#include "gl/GlApi.h"
#include "render/DemoState.h"
#include "render/PassSteps.h"
#include "world/Scene.h"

namespace {

// A receiver looks its texel up a little off its own place, along its
// normal, and snaps to the nearest texel: a few texels round every box.
constexpr float marginTexels = 8.0f;

// The scene's triangles that reach into where the water's shadow can fall,
// by piece, each as the part of its box there.
struct Found {
  std::uint64_t generation = 0;
  bool valid = false;
  std::vector<AxisBox> pieces;
  std::vector<std::vector<AxisBox>> receivers;
};
Found found;

void find() {
  found = Found();
  found.generation = worldScene.generation;
  found.valid = true;
  const AxisBox reach = waterShadowReach(lowestReceiver());
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m) {
    const SceneMesh& mesh = worldScene.meshes[m];
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

}  // namespace

void drawWaterShadow(const FrameRecord& frame, const EyeView* eyes, int eyeCount,
                     const std::function<void()>& water, ShadowTiles& drawn) {
  // Without the arrays (a scene drawn from buffers it no longer holds),
  // nothing can be found: the water goes in whole.
  bool arrays = true;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    arrays = arrays && (worldScene.meshes[m].indexCount == 0 ||
                        (worldScene.meshes[m].positionArray && worldScene.meshes[m].indexArray));
  if (!arrays) {
    water();
    drawn.markAll();
    return;
  }
  if (!found.valid || found.generation != worldScene.generation) find();

  auto seen = [&](const AxisBox& box) {
    for (int e = 0; e < eyeCount; ++e)
      if (!eyes[e].volume.excludesBox(box.low, box.high)) return true;
    return false;
  };
  const float lowest = lowestSeenReceiver(frame);
  const AxisBox reach = waterShadowReach(lowest);
  ShadowTiles tiles = drawn;
  tiles.clear();
  for (std::size_t p = 0; p < found.pieces.size(); ++p) {
    if (!found.pieces[p].meets(reach) || !seen(found.pieces[p])) continue;
    for (const AxisBox& r : found.receivers[p])
      if (r.meets(reach) && seen(r)) tiles.markBox(r, reach, marginTexels);
  }
  // A character may stand lower than the scene reaches, below the water.
  if (characters)
    for (std::int32_t i = 0; i < characters->placedCount(); ++i) {
      AxisBox box;
      characters->boxAround(i, box.low, box.high);
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

void forgetWaterShadow() { found = Found(); }
