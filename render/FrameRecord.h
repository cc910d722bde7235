// One frame's values, read once at the top of the frame and passed down to
// the passes and the composite: the drawing size, the look, the water, the
// camera, and each eye's view with the volume it shows.
#pragma once

#include <cstdint>

#include "camera/Camera.h"
#include "gl/ViewVolume.h"
#include "render/DemoSlots.h"

struct FrameRecord {
  std::int32_t width = 0;  // the configured drawing size
  std::int32_t height = 0;
  std::int32_t style = OneLayerStyle;
  bool stereo = false;
  float eyeOffset = 0.0f;
  float waterMove = 0.0f;
  Camera camera;
  // Drawn exactly as the passes define it, with nothing left out or kept
  // from an earlier frame: what tests and tools hold every frame to. The
  // program never sets it; frames are drawn so where the pass shaders are
  // not the shipped ones.
  bool plain = false;
};

// The frame as the demo's values stand now.
FrameRecord currentFrame();

enum class EyeSide { Single, Left, Right };

// One eye of a frame: its targets, the camera's shift for it, and its
// projection and view, made once here rather than read back from GL.
struct EyeView {
  EyeSide side = EyeSide::Single;
  EyeTargets targets{0, 1};
  float offset = 0.0f;  // along the camera's side axis
  Matrix4 projection = {};
  Matrix4 view = {};
  ViewVolume volume;
};

// Eye 0 is the single view or the left eye, eye 1 the right eye.
EyeView eyeOf(const FrameRecord& frame, int eye);

// The eye's view multiplied into the modelview, as the camera applies it.
void applyEyeView(const FrameRecord& frame, const EyeView& eye);
