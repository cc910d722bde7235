// What one frame makes of the demo's record before it draws: whether it is
// drawn plain, and each eye's view with the volume it shows.
#pragma once

#include <cstdint>

#include "base/Math.h"
#include "camera/Camera.h"
#include "gl/ViewVolume.h"
#include "render/DemoSlots.h"

struct DemoRecord;

enum class EyeSide { Single, Left, Right };

// One eye of a frame: its targets, the camera's shift for it, where it
// stands and looks, and its projection and view, made once here rather than
// read back from GL.
struct EyeView {
  EyeSide side = EyeSide::Single;
  EyeTargets targets{0, 1};
  float offset = 0.0f;  // along the camera's side axis
  Camera::Pose pose;
  Matrix4 projection = {};
  Matrix4 view = {};
  ViewVolume volume;
  // The scene and the eye's matrices as one number: equal numbers mean the
  // same scene seen the same way.
  std::uint64_t key = 0;
};

struct Frame {
  // Drawn exactly as the passes define it, with nothing left out or kept
  // from an earlier frame: what tests and tools hold every frame to. The
  // program draws so only where the pass shaders are not the shipped ones.
  bool plain = false;
  EyeView eye[2];  // the single view or the left eye, then the right eye
  int eyeCount = 1;
  // How low shadows fall: on anything at all, and on what an eye of the
  // frame can see; and where the water's shadow reaches down to the latter.
  float lowestReceiver = 0.0f;
  float lowestSeenReceiver = 0.0f;
  AxisBox waterShadowSeen;
};

Frame frameOf(const DemoRecord& demo, bool plain);

// Eye 0 is the single view or the left eye, eye 1 the right eye.
EyeView eyeOf(const DemoRecord& demo, int eye);

// The eye's view multiplied into the modelview: drawn from the pose its
// view matrix, which culls, is made of.
void applyEyeView(const EyeView& eye);
