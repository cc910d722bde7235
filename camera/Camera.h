// The flying first-person camera: mouse look with pitch limits, keyboard
// flight scaled by its own frame timer, and the view for one eye or a pair.
#pragma once

#include <cstdint>

#include "base/Math.h"
#include "gl/ViewVolume.h"

// Measures the seconds since the previous tick; the very first tick (or the
// first after reset) measures 0.
struct FrameTimer {
  float lastFrameTime = 0.0f;
  float frameSeconds = 0.0f;

  void tick();
  void reset();

 private:
  // Whole milliseconds, so that intervals stay exact however long the
  // machine has been up; the unsigned difference also survives the wrap.
  std::uint32_t lastFrameMillis_ = 0;
  bool started_ = false;
};

class Camera {
 public:
  Vector3 eye{0.0f, 0.0f, 0.0f};
  Vector3 target{0.0f, 1.0f, 0.5f};
  Vector3 up{0.0f, 0.0f, 1.0f};
  Vector3 side{0.0f, 0.0f, 0.0f};
  // The pitch used up; placing the camera again keeps it.
  float pitchTotal = 0.0f;
  // The pointer is held at this area's centre.
  std::int32_t mouseAreaWidth = 800;
  std::int32_t mouseAreaHeight = 600;
  // Scales the keyboard flight; ticked by every step.
  FrameTimer timer;

  void place(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
             float upX, float upY, float upZ);
  void step();
  void applyMouse();
  void applyKeys();
  void walk(float distance);
  void sidestep(float distance);
  void turn(float angle, float axisX, float axisY, float axisZ);
  // Where one eye stands and looks: shifted `offset` along the side axis
  // (positive to the right), unshifted at 0. Drawing and culling both make
  // their view of an eye from its pose.
  struct Pose {
    Vector3 from, to, up;
  };
  Pose poseOf(float offset) const;
  // The pose's view multiplied into the modelview (gluLookAt).
  static void applyPose(const Pose& pose);
  // The matrix applyPose multiplies in, made here.
  static void poseMatrix(const Pose& pose, Matrix4& m);

  void applyView() const { applyPose(poseOf(0.0f)); }
  void applyOffsetView(float offset) const { applyPose(poseOf(offset)); }
  void viewMatrix(float offset, Matrix4& m) const { poseMatrix(poseOf(offset), m); }
  // Lets the pointer go (F2 held); the next step takes it back to the
  // centre without turning.
  void releasePointer() { holdsPointer_ = false; }

 private:
  // Whether the pointer's offset from the centre is the user's turn; false
  // until a step has put it at the centre.
  bool holdsPointer_ = false;

  // The side axis where it can be had; while the view runs parallel to up it
  // keeps the last usable one.
  Vector3 sideAxis() const;
};
