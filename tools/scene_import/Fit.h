// Where the model goes: on the ground, in front of the opening eye, inside
// the box the light's shadow image covers.
#pragma once
#include <vector>

#include "tools/scene_import/Model.h"

namespace sceneimport {

// The program's fixed light and opening view, as the tool must assume them.
struct Stage {
  static constexpr float light[3] = {-90.0f, 140.0f, -90.0f};
  // The light's orthographic box: half width, half height, near, far.
  static constexpr float lightBox[4] = {8.5f, 6.5f, 150.1f, 200.0f};
  static constexpr float eye[3] = {0.0f, 0.3125f, 0.0f};
  // The opening view's direction (its target point made unit length, minus the eye).
  static constexpr float look[3] = {0.298275f, -0.3125f, -0.95448f};
  static constexpr float fovYDegrees = 75.0f;
  static constexpr float nearPlane = 0.1f;
  static constexpr float groundY = 0.0f;
  static constexpr float waterY = -0.45f;
};

// Signed distance of a point into the light's box (negative: outside by that much).
float insideLightBox(const Vec3& p);
// Whether the opening view sees a point, keeping `margin` (0..1) of the
// picture's half size free at its edges; aspect is width over height.
bool inOpeningView(const Vec3& p, float aspect, float margin);

struct Placement {
  float scale = 1;
  Vec3 pivot;  // the model's point that lands on `target`
  Vec3 target;
  Vec3 place(const Vec3& p) const {
    return {(p.x - pivot.x) * scale + target.x, (p.y - pivot.y) * scale + target.y,
            (p.z - pivot.z) * scale + target.z};
  }
};

// The largest placement with the lowest point on the ground, centred in
// front of the opening eye, every corner of the model's box inside the
// light's box and the opening view.
Placement fitToStage(const Vec3& low, const Vec3& high, float aspect);

// The given scale and offset, nothing else.
Placement keepUnits(float scale, const Vec3& offset);

void applyPlacement(Model& model, const Placement& placement);

// A slab of ground whose top lies at the ground level, reaching below the
// water, centred on the origin: `half` units each way.
ColourGroup groundSheet(float half, const Vec3& colour);

}  // namespace sceneimport
