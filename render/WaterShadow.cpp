#include "render/WaterShadow.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "characters/CharacterManager.h"
#include "gl/GlApi.h"
#include "gl/RenderTargets.h"
#include "render/DemoSlots.h"
#include "render/DemoState.h"
#include "render/PassSteps.h"
#include "world/Scene.h"

namespace {

constexpr int tilesAcross = 32;
// A receiver looks its texel up a little off its own place, along its
// normal, and snaps to the nearest texel: a few texels round every box.
constexpr float marginTexels = 8.0f;

struct TileRect {
  int left, bottom, right, top;  // tiles, inclusive
};

struct Receiver {
  AxisBox box;
  TileRect tiles;
};

// The scene's triangles that reach into where the water's shadow can fall,
// by piece, with the tiles their part there covers.
struct Found {
  std::uint64_t generation = 0;
  int size = 0;
  bool valid = false;
  std::vector<AxisBox> pieces;
  std::vector<std::vector<Receiver>> receivers;
};
Found found;

// The tiles under the part of `box` inside `reach`; false when there is none.
bool tilesUnder(const AxisBox& box, const AxisBox& reach, const Matrix4& light, int size,
                TileRect& tiles) {
  if (!box.meets(reach)) return false;
  AxisBox part = box;
  for (int axis = 0; axis < 3; ++axis) {
    part.low[axis] = std::max(part.low[axis], reach.low[axis]);
    part.high[axis] = std::min(part.high[axis], reach.high[axis]);
  }
  float low[2] = {1e30f, 1e30f}, high[2] = {-1e30f, -1e30f};
  for (int corner = 0; corner < 8; ++corner) {
    const float p[3] = {(corner & 1) ? part.high[0] : part.low[0],
                        (corner & 2) ? part.high[1] : part.low[1],
                        (corner & 4) ? part.high[2] : part.low[2]};
    for (int axis = 0; axis < 2; ++axis) {
      // Orthographic: w is 1.
      const float at =
          light[axis] * p[0] + light[axis + 4] * p[1] + light[axis + 8] * p[2] + light[axis + 12];
      low[axis] = std::min(low[axis], at);
      high[axis] = std::max(high[axis], at);
    }
  }
  // Tile t holds the texels from t * size / tilesAcross on.
  const float perTexel = static_cast<float>(tilesAcross) / static_cast<float>(size);
  int range[2][2];
  for (int axis = 0; axis < 2; ++axis) {
    const float from = (low[axis] * 0.5f + 0.5f) * static_cast<float>(size) - marginTexels;
    const float to = (high[axis] * 0.5f + 0.5f) * static_cast<float>(size) + marginTexels;
    if (!(to >= 0.0f) || !(from < static_cast<float>(size))) return false;
    range[axis][0] = std::max(0, static_cast<int>(std::floor(from * perTexel)));
    range[axis][1] = std::min(tilesAcross - 1, static_cast<int>(std::floor(to * perTexel)));
  }
  tiles = {range[0][0], range[1][0], range[0][1], range[1][1]};
  return true;
}

void find(int size, const Matrix4& light) {
  found = Found();
  found.generation = worldScene.generation;
  found.size = size;
  found.valid = true;
  const AxisBox reach = waterShadowReach(lowestReceiver());
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m) {
    const SceneMesh& mesh = worldScene.meshes[m];
    for (const ScenePiece& piece : mesh.pieces) {
      const AxisBox box{{piece.low[0], piece.low[1], piece.low[2]},
                        {piece.high[0], piece.high[1], piece.high[2]}};
      if (!box.meets(reach)) continue;
      std::vector<Receiver> receivers;
      for (std::int64_t i = piece.firstIndex; i + 2 < piece.firstIndex + piece.indexCount; i += 3) {
        Receiver r{{{1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f}}, {}};
        for (int k = 0; k < 3; ++k) {
          const float* p =
              mesh.positionArray + 3 * static_cast<std::size_t>(mesh.indexArray[i + k]);
          for (int axis = 0; axis < 3; ++axis) {
            r.box.low[axis] = std::min(r.box.low[axis], p[axis]);
            r.box.high[axis] = std::max(r.box.high[axis], p[axis]);
          }
        }
        if (tilesUnder(r.box, reach, light, size, r.tiles)) receivers.push_back(r);
      }
      if (receivers.empty()) continue;
      found.pieces.push_back(box);
      found.receivers.push_back(std::move(receivers));
    }
  }
}

void mark(std::vector<bool>& tiles, const TileRect& r) {
  for (int y = r.bottom; y <= r.top; ++y)
    for (int x = r.left; x <= r.right; ++x)
      tiles[static_cast<std::size_t>(y * tilesAcross + x)] = true;
}

}  // namespace

void drawWaterShadow(const FrameRecord& frame, const EyeView* eyes, int eyeCount,
                     const Matrix4& light, const std::function<void()>& water) {
  const int size = renderTargets.size(ShadowTarget);
  // Without the arrays (a scene drawn from buffers it no longer holds),
  // nothing can be found: the water goes in whole.
  bool arrays = true;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    arrays = arrays && (worldScene.meshes[m].indexCount == 0 ||
                        (worldScene.meshes[m].positionArray && worldScene.meshes[m].indexArray));
  if (!arrays) {
    water();
    return;
  }
  if (!found.valid || found.generation != worldScene.generation || found.size != size)
    find(size, light);

  auto seen = [&](const AxisBox& box) {
    for (int e = 0; e < eyeCount; ++e)
      if (!eyes[e].volume.excludesBox(box.low, box.high)) return true;
    return false;
  };
  const float lowest = lowestSeenReceiver(frame);
  const AxisBox reach = waterShadowReach(lowest);
  std::vector<bool> tiles(tilesAcross * tilesAcross, false);
  for (std::size_t p = 0; p < found.pieces.size(); ++p) {
    if (!found.pieces[p].meets(reach) || !seen(found.pieces[p])) continue;
    for (const Receiver& r : found.receivers[p])
      if (r.box.meets(reach) && seen(r.box)) mark(tiles, r.tiles);
  }
  // A character may stand lower than the scene reaches, below the water.
  if (characters)
    for (std::int32_t i = 0; i < characters->placedCount(); ++i) {
      AxisBox box;
      characters->boxAround(i, box.low, box.high);
      const AxisBox below = waterShadowReach(std::min(lowest, box.low[1]));
      TileRect r;
      if (seen(box) && tilesUnder(box, below, light, size, r)) mark(tiles, r);
    }

  // Each row of tiles in runs, the water drawn once per run.
  auto edge = [size](int t) { return t * size / tilesAcross; };
  glPushAttrib(GL_SCISSOR_BIT);
  glEnable(GL_SCISSOR_TEST);
  for (int y = 0; y < tilesAcross; ++y)
    for (int x = 0; x < tilesAcross;) {
      if (!tiles[static_cast<std::size_t>(y * tilesAcross + x)]) {
        ++x;
        continue;
      }
      int end = x;
      while (end < tilesAcross && tiles[static_cast<std::size_t>(y * tilesAcross + end)]) ++end;
      glScissor(edge(x), edge(y), edge(end) - edge(x), edge(y + 1) - edge(y));
      water();
      x = end;
    }
  glPopAttrib();
}

void forgetWaterShadow() { found = Found(); }
