#include "render/PassSteps.h"

#include <algorithm>
#include <cmath>

#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/ShaderPrograms.h"
#include "world/Scene.h"

void clearTarget() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

void useProgram(int slot) {
  if (shaderPrograms.ready()) shaderPrograms.use(slot);
}

void setLightUniform(int slot) {
  if (!shaderPrograms.ready()) return;
  shaderPrograms.setUniform4f(slot, "lightPos", lightPosition[0], lightPosition[1],
                              lightPosition[2], lightPosition[3]);
}

// The scene's drawing selects texture units and binds buffers through the
// multitexture table; without those entry points it is left out.
void drawScene(const FrameRecord& frame, const ViewVolume& view,
               const std::vector<AxisBox>* meeting) {
  if (!multitextureAvailable()) return;
  if (worldScene.meshCount > 0 && (!glBindBufferARB || !glClientActiveTextureARB)) return;
  if (frame.plain)
    worldScene.drawAsFiled();
  else
    worldScene.draw(&view, meeting);
}

Vector3 lightDirection() {
  return Vector3(-lightPosition[0], -lightPosition[1], -lightPosition[2]).normalized();
}

float lowestReceiver() {
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    for (const ScenePiece& piece : worldScene.meshes[m].pieces)
      lowest = std::min(lowest, piece.low[1]);
  return lowest;
}

// The water is opaque there: an eye above it and over it, with the near
// plane wholly above it too, sees below the water only past its edge.
float lowestSeenReceiver(const FrameRecord& frame) {
  const Vector3& eye = frame.camera.eye;
  // The eyes of a pair stand apart, and the near plane reaches further.
  const float side = std::fabs(frame.eyeOffset) + nearPlaneReach(frame.width, frame.height);
  const bool overWater = eye.y - side > waterHighest && std::fabs(eye.x) + side < waterHalfSize &&
                         std::fabs(eye.z) + side < waterHalfSize;
  if (!overWater) return lowestReceiver();
  float lowest = waterLowest;
  for (std::int32_t m = 0; m < worldScene.meshCount; ++m)
    for (const ScenePiece& piece : worldScene.meshes[m].pieces) {
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
