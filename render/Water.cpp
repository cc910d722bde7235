#include "render/Water.h"

#include <algorithm>
#include <cmath>

#include "gl/GlApi.h"
#include "gl/Projection.h"
#include "render/DemoRecord.h"
#include "render/Light.h"
#include "world/Scene.h"

void drawWaterQuad(float halfSize, float phase) {
  const float height =
      static_cast<float>(std::sin(20.0 * static_cast<double>(phase)) * 0.005 - 0.45);
  const float s = halfSize;
  const float d = 0.5f * s;
  glColor3f(0.0f, 0.0f, 1.0f);
  glBegin(GL_QUADS);
  glNormal3f(0.0f, 1.0f, 0.0f);
  glTexCoord2f(d, d);
  glVertex3f(s, height, s);
  glTexCoord2f(d, 0.0f);
  glVertex3f(s, height, -s);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(-s, height, -s);
  glTexCoord2f(0.0f, d);
  glVertex3f(-s, height, s);
  glEnd();
  glColor3f(1.0f, 1.0f, 1.0f);
}

float lowestReceiver(const Scene& scene) {
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < scene.meshCount; ++m)
    for (const ScenePiece& piece : scene.meshes[m].pieces) lowest = std::min(lowest, piece.low[1]);
  return lowest;
}

// The water is opaque there: an eye above it and over it, with the near
// plane wholly above it too, sees below the water only past its edge.
float lowestSeenReceiver(const DemoRecord& demo) {
  const Vector3& eye = demo.demoCamera.eye;
  // The eyes of a pair stand apart, and the near plane reaches further.
  const float side = std::fabs(demo.eyeOffset) + nearPlaneReach(demo.viewWidth, demo.viewHeight);
  const bool overWater = eye.y - side > waterHighest && std::fabs(eye.x) + side < waterHalfSize &&
                         std::fabs(eye.z) + side < waterHalfSize;
  if (!overWater) return lowestReceiver(demo.worldScene);
  float lowest = waterLowest;
  const Scene& scene = demo.worldScene;
  for (std::int32_t m = 0; m < scene.meshCount; ++m)
    for (const ScenePiece& piece : scene.meshes[m].pieces) {
      const bool beyondWater = std::min(piece.low[0], piece.low[2]) < -waterHalfSize ||
                               std::max(piece.high[0], piece.high[2]) > waterHalfSize;
      if (beyondWater) lowest = std::min(lowest, piece.low[1]);
    }
  return lowest;
}

AxisBox waterShadowReach(float lowest) {
  const AxisBox water{{-waterHalfSize, waterLowest, -waterHalfSize},
                      {waterHalfSize, waterHighest, waterHalfSize}};
  const Vector3 light = lightDirection();
  const float towards[3] = {light.x, light.y, light.z};
  return shadowReach(water, towards, lowest, 0.05f);
}
