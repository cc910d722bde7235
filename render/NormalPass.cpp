#include "render/NormalPass.h"

#include <functional>

#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "render/DemoRecord.h"
#include "render/Drawing.h"
#include "render/Frame.h"
#include "render/Light.h"
#include "render/Water.h"

namespace {

void setCameraUniform(DemoRecord& demo, int slot) {
  if (!demo.shaderPrograms.ready()) return;
  const Vector3& eye = demo.demoCamera.eye;
  demo.shaderPrograms.setUniform4f(slot, "camPos", eye.x, eye.y, eye.z, 1.0f);
}

// With the normal program in use: `people` (the characters) first, then the
// scene and `water` over them, drawn or, while the eye rests, over a copy
// of the kept scene.
void drawSceneNormals(DemoRecord& demo, const Frame& frame, const EyeView& eye,
                      const std::vector<std::int32_t>& shown, const std::function<void()>& people,
                      const std::function<void()>& water) {
  RenderTargetSet& targets = demo.renderTargets;
  NormalPassKeeps::SceneNormals& normals = demo.normalPass.eye[eye.side == EyeSide::Right ? 1 : 0];
  const std::uint64_t key = eye.key;
  const int target = eye.targets.normal;
  const int size = targets.size(target);
  const bool resting = key == normals.lastKey;
  normals.lastKey = key;
  bool ready = normals.held && normals.keptKey == key;
  // Kept once the eye has rested for a frame, so a moving eye pays nothing.
  if (!ready && resting && glBlitFramebufferEXT && normals.kept.makeFor(targets, target) &&
      normals.work.makeFor(targets, target)) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, normals.kept.framebuffer());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    drawScene(demo, frame.plain, eye.volume);
    normals.held = true;
    normals.keptKey = key;
    ready = true;
  }
  if (!ready) {
    targets.bind(target);
    clearTarget();
    people();
    drawScene(demo, frame.plain, eye.volume);
    water();
    return;
  }
  copyCanvas(normals.kept, normals.work, size);
  glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ENABLE_BIT);
  glEnable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 1, 0xff);
  glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
  people();
  // Where a character's pixel passed, the scene is drawn again at equal
  // depth: it wins where the two touch at exactly one depth, and loses
  // wherever the character lies nearer. Every scene triangle at such a
  // depth lies within a depth step of the character's box.
  std::vector<AxisBox> near(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    demo.characters->boxAround(shown[i], near[i].low, near[i].high);
    near[i] = widened(near[i], 0.05f);
  }
  glStencilFunc(GL_EQUAL, 1, 0xff);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glDepthFunc(GL_EQUAL);
  glDepthMask(GL_FALSE);
  if (!near.empty()) drawScene(demo, frame.plain, eye.volume, &near);
  glPopAttrib();
  water();
  copyColour(normals.work.framebuffer(), targets.framebuffer(target), 0, 0, size, size);
}

}  // namespace

void normalPass(DemoRecord& demo, const Frame& frame, const EyeView& eye,
                const std::vector<std::int32_t>& shown) {
  RenderTargetSet& targets = demo.renderTargets;
  ShaderProgramSet& programs = demo.shaderPrograms;
  const int size = targets.size(eye.targets.normal);
  glViewport(0, 0, size, size);
  targets.bind(eye.targets.normal);
  glLoadIdentity();
  applyEyeView(eye);

  useProgram(programs, NormalProgram);
  setLightUniform(programs, NormalProgram);
  setCameraUniform(demo, NormalProgram);
  auto people = [&] {
    if (!multitextureAvailable()) return;
    glActiveTextureARB(GL_TEXTURE1_ARB);
    drawCharacters(demo, frame.plain, shown);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  };
  auto water = [&] {
    useProgram(programs, WaterProgram);
    if (programs.ready()) {
      programs.setUniform1i(WaterProgram, "normalMap", 0);
      setLightUniform(programs, WaterProgram);
      setCameraUniform(demo, WaterProgram);
      programs.setUniform1f(WaterProgram, "waterMove", demo.waterMove);
    }
    glBindTexture(GL_TEXTURE_2D, demo.textureIds[WaterTexture]);
    drawWaterQuad(waterHalfSize, demo.waterMove);
  };
  if (frame.plain) {
    clearTarget();
    people();
    drawScene(demo, frame.plain, eye.volume);
    water();
  } else {
    drawSceneNormals(demo, frame, eye, shown, people, water);
  }
}
