#include "camera/Camera.h"

#include <cmath>

#include "base/Config.h"
#include "gl/GlApi.h"
#include "platform/Clock.h"
#include "platform/Input.h"
#include "platform/Types.h"

namespace {

constexpr float moveSpeed = 0.5f;       // scene units per second
constexpr float mouseRadians = 0.002f;  // per pixel of cursor movement
constexpr float pitchUpLimit = 1.0f;
constexpr float pitchDownLimit = -1.4f;

Vector3 cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// False where v has no usable direction (zero, or too short to divide by).
bool unitVector(const Vector3& v, Vector3& out) {
  const float len = v.length();
  if (!(len > 0.0f) || !std::isfinite(len)) return false;
  const Vector3 u = v * (1.0f / len);
  if (!std::isfinite(u.x) || !std::isfinite(u.y) || !std::isfinite(u.z)) return false;
  out = u;
  return true;
}

bool held(int virtualKey) { return (ws::input().keyState(virtualKey) & 0x80) != 0; }

void lookAt(const Vector3& eye, const Vector3& target, const Vector3& up) {
  gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}

}  // namespace

void FrameTimer::tick() {
  const std::uint32_t now = ws::clock().multimediaTime();
  const std::uint32_t elapsed = started_ ? now - lastFrameMillis_ : 0;
  frameSeconds = static_cast<float>(elapsed / 1000.0);
  lastFrameMillis_ = now;
  lastFrameTime = static_cast<float>(now / 1000.0);
  started_ = true;
}

void FrameTimer::reset() {
  lastFrameMillis_ = 0;
  started_ = false;
  lastFrameTime = 0.0f;
  frameSeconds = 0.0f;
}

Vector3 Camera::sideAxis() const {
  Vector3 axis = side;
  unitVector(cross(target - eye, up), axis);
  return axis;
}

void Camera::place(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
                   float upX, float upY, float upZ) {
  eye.set(eyeX, eyeY, eyeZ);
  // The target point is scaled to unit length as if it were a direction.
  target = Vector3(targetX, targetY, targetZ).normalized();
  up.set(upX, upY, upZ);
  mouseAreaWidth = Config::instance().width();
  mouseAreaHeight = Config::instance().height();
  // The opening view must not depend on where the pointer happened to be:
  // the first step takes it back without a turn. It is centred here only
  // while it is ours; otherwise that first step with the focus does it.
  ws::Input& input = ws::input();
  if (input.focusWindow()) input.setCursorPos(mouseAreaWidth >> 1, mouseAreaHeight >> 1);
  holdsPointer_ = false;
}

void Camera::step() {
  side = sideAxis();
  applyMouse();
  applyKeys();
  timer.tick();
}

void Camera::applyMouse() {
  ws::Input& input = ws::input();
  // With no window of ours focused the pointer is another program's.
  if (!input.focusWindow()) {
    holdsPointer_ = false;
    return;
  }
  const int cx = mouseAreaWidth >> 1;
  const int cy = mouseAreaHeight >> 1;
  ws::Point cursor;
  if (!input.cursorPos(cursor)) return;
  const bool turns = holdsPointer_;
  holdsPointer_ = true;
  if (cursor.x == cx && cursor.y == cy) return;
  input.setCursorPos(cx, cy);
  // Where a freed pointer was taken back from is no turn of the user's.
  if (!turns) return;

  const float yaw = static_cast<float>(cx - cursor.x) * mouseRadians;
  const float pitch = static_cast<float>(cy - cursor.y) * mouseRadians;
  const float previous = pitchTotal;
  pitchTotal += pitch;
  const Vector3 axis = sideAxis();
  // With no side axis ever known there is nothing to pitch about.
  const bool canPitch = axis.x != 0.0f || axis.y != 0.0f || axis.z != 0.0f;
  float pitchTurn = pitch;
  if (pitchTotal > pitchUpLimit) {
    // Stop exactly at the limit, then hold there while the mouse pushes on.
    pitchTotal = pitchUpLimit;
    pitchTurn = pitchUpLimit - previous;
  } else if (pitchTotal < pitchDownLimit) {
    pitchTotal = pitchDownLimit;
    pitchTurn = pitchDownLimit - previous;
  }
  if (canPitch && pitchTurn != 0.0f) turn(pitchTurn, axis.x, axis.y, axis.z);
  turn(yaw, 0.0f, 1.0f, 0.0f);
}

void Camera::applyKeys() {
  const float speed = timer.frameSeconds * moveSpeed;
  if (held(ws::VkUp) || held('W')) walk(speed);
  if (held(ws::VkDown) || held('S')) walk(-speed);
  if (held(ws::VkLeft) || held('A')) sidestep(-speed);
  if (held(ws::VkRight) || held('D')) sidestep(speed);
}

void Camera::walk(float distance) {
  Vector3 direction;
  if (!unitVector(target - eye, direction)) return;
  const Vector3 move = direction * distance;
  eye = eye + move;
  target = target + move;
}

void Camera::sidestep(float distance) {
  // Level: the height never changes.
  eye.x += side.x * distance;
  eye.z += side.z * distance;
  target.x += side.x * distance;
  target.z += side.z * distance;
}

void Camera::turn(float angle, float x, float y, float z) {
  const Vector3 v = target - eye;
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  const float k = 1.0f - c;
  const Vector3 turned{
      (c + k * x * x) * v.x + (k * x * y - s * z) * v.y + (k * x * z + s * y) * v.z,
      (k * x * y + s * z) * v.x + (c + k * y * y) * v.y + (k * y * z - s * x) * v.z,
      (k * x * z - s * y) * v.x + (k * y * z + s * x) * v.y + (c + k * z * z) * v.z};
  target = eye + turned;
}

Camera::Pose Camera::poseOf(float offset) const {
  if (offset == 0.0f) return {eye, target, up};
  const Vector3 shift = sideAxis() * offset;
  return {eye + shift, target + shift, up};
}

void Camera::applyPose(const Pose& pose) { lookAt(pose.from, pose.to, pose.up); }

void Camera::poseMatrix(const Pose& pose, Matrix4& m) {
  const Vector3 forward = (pose.to - pose.from).normalized();
  const Vector3 right = cross(forward, pose.up).normalized();
  const Vector3 upward = cross(right, forward);
  const Vector3 rows[3] = {right, upward, -forward};
  for (int r = 0; r < 3; ++r) {
    m[r] = rows[r].x;
    m[r + 4] = rows[r].y;
    m[r + 8] = rows[r].z;
    m[r + 12] = -rows[r].dot(pose.from);
    m[3 + 4 * r] = 0.0f;
  }
  m[15] = 1.0f;
}
