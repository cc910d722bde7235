#include "render/Frame.h"

#include <cstring>

#include "gl/Projection.h"
#include "render/DemoRecord.h"
#include "render/Water.h"

namespace {

std::uint64_t viewKey(const DemoRecord& demo, const EyeView& eye) {
  std::uint64_t key = 14695981039346656037ull ^ demo.worldScene.generation;
  unsigned char bytes[2 * sizeof(Matrix4)];
  std::memcpy(bytes, eye.view, sizeof(Matrix4));
  std::memcpy(bytes + sizeof(Matrix4), eye.projection, sizeof(Matrix4));
  for (unsigned char byte : bytes) key = (key ^ byte) * 1099511628211ull;
  return key;
}

}  // namespace

Frame frameOf(const DemoRecord& demo, bool plain) {
  Frame frame;
  // What is kept and left out counts on what the shipped pass shaders draw.
  frame.plain = plain || !demo.passShadersShipped;
  frame.eyeCount = demo.stereoEnabled != 0 ? 2 : 1;
  for (int i = 0; i < frame.eyeCount; ++i) frame.eye[i] = eyeOf(demo, i);
  frame.lowestReceiver = lowestReceiver(demo.worldScene);
  frame.lowestSeenReceiver = lowestSeenReceiver(demo);
  frame.waterShadowSeen = waterShadowReach(frame.lowestSeenReceiver);
  return frame;
}

EyeView eyeOf(const DemoRecord& demo, int eye) {
  EyeView view;
  view.targets = targetsOfEye(eye);
  if (demo.stereoEnabled != 0) {
    view.side = eye == 0 ? EyeSide::Left : EyeSide::Right;
    view.offset = eye == 0 ? -demo.eyeOffset : demo.eyeOffset;
  }
  perspectiveMatrix(demo.viewWidth, demo.viewHeight, view.projection);
  view.pose = demo.demoCamera.poseOf(view.offset);
  Camera::poseMatrix(view.pose, view.view);
  view.volume = ViewVolume(view.projection, view.view);
  view.key = viewKey(demo, view);
  return view;
}

void applyEyeView(const EyeView& eye) { Camera::applyPose(eye.pose); }
