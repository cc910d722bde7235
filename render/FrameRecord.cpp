#include "render/FrameRecord.h"

#include "gl/Projection.h"
#include "render/DemoState.h"

FrameRecord currentFrame() {
  FrameRecord frame;
  frame.width = viewWidth;
  frame.height = viewHeight;
  frame.style = compositeStyle;
  frame.stereo = stereoEnabled != 0;
  frame.eyeOffset = eyeOffset;
  frame.waterMove = waterMove;
  frame.camera = demoCamera;
  return frame;
}

EyeView eyeOf(const FrameRecord& frame, int eye) {
  EyeView view;
  view.targets = targetsOfEye(eye);
  if (frame.stereo) {
    view.side = eye == 0 ? EyeSide::Left : EyeSide::Right;
    view.offset = eye == 0 ? -frame.eyeOffset : frame.eyeOffset;
  }
  perspectiveMatrix(frame.width, frame.height, view.projection);
  frame.camera.viewMatrix(view.offset, view.view);
  view.volume = ViewVolume(view.projection, view.view);
  return view;
}

void applyEyeView(const FrameRecord& frame, const EyeView& eye) {
  if (eye.side == EyeSide::Single)
    frame.camera.applyView();
  else
    frame.camera.applyOffsetView(eye.offset);
}
