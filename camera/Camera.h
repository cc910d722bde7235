// The flying first-person camera: mouse look with pitch limits, keyboard
// flight scaled by its own frame timer, and the view for one eye or a pair.
#pragma once

#include <cstdint>

#include "base/Math.h"
#include "gl/ViewVolume.h"

class Camera {
 public:
  Vector3 eye{0.0f, 0.0f, 0.0f};
  Vector3 target{0.0f, 1.0f, 0.5f};
  Vector3 up{0.0f, 0.0f, 1.0f};
  Vector3 side{0.0f, 0.0f, 0.0f};

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

extern float pitchTotal;
extern std::int32_t mouseAreaWidth;
extern std::int32_t mouseAreaHeight;
extern float lastFrameTime;
extern float frameSeconds;

// Measures the seconds since the previous tick; the very first tick of a run
// (or after resetFrameTimer) measures 0.
void tickFrameTimer();
void resetFrameTimer();
