#include "render/Demo.h"

#include <cstdlib>
#include <ctime>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "base/Config.h"
#include "camera/Camera.h"
#include "camera/ViewTrace.h"
#include "characters/CharacterManager.h"
#include "contract/DemoContract.h"
#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "platform/Types.h"
#include "render/DemoRecord.h"
#include "render/DemoSlots.h"
#include "render/FramePasses.h"
#include "render/ShippedShaders.h"
#include "world/Scene.h"

namespace {

// In slot order.
constexpr struct {
  const char* vertex;
  const char* fragment;
} programSources[ProgramCount] = {
    {"Shaders/npr1.vsh", "Shaders/npr1.fsh"},
    {"Shaders/normout.vsh", "Shaders/normout.fsh"},
    {"Shaders/colout.vsh", "Shaders/colout.fsh"},
    {"Shaders/npr1.vsh", "Shaders/npr2.fsh"},
    {"Shaders/depthout.vsh", "Shaders/depthout.fsh"},
    {"Shaders/water.vsh", "Shaders/water.fsh"},
};

// In slot order: the shadow target is the float one.
constexpr struct {
  int size;
  RenderTargetKind kind;
} targetLayout[TargetCount] = {
    {1024, RenderTargetKind::Rgba8},   {1024, RenderTargetKind::Rgba8},
    {2048, RenderTargetKind::Rgba32f}, {1024, RenderTargetKind::Rgba8},
    {1024, RenderTargetKind::Rgba8},
};

// In slot order.
constexpr const char* textureFiles[TextureCount] = {
    "Textures/water_normal3.bmp",
    "Textures/hatch2.bmp",
    "Textures/hatch1.bmp",
    "Textures/water_normal4.bmp",
};

constexpr const char* sceneFile = "scene/nprscene.scn";

constexpr float eyeOffsetPerMs = 0.00001f;
constexpr float waterPhasePerMs = 0.0001f;
constexpr float waterPhaseLimit = 2000.0f;

bool vertexBuffersAvailable() { return glGenBuffersARB && glBindBufferARB && glBufferDataARB; }

// The program's one record: the contract's hooks carry no state of their own.
DemoRecord programDemo;

}  // namespace

void DemoRecord::releaseKeptImages() {
  shadowPass.release();
  colourPass.release();
  normalPass.release();
}

bool initDemo(DemoRecord& demo, RenderWindow* window, KeyStates* keys) {
  demo.demoWindow = window;
  demo.demoKeys = keys;
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  demo.viewWidth = Config::instance().width();
  demo.viewHeight = Config::instance().height();

  initMultitextureExtensions();

  if (demo.shaderPrograms.initExtensions()) {
    demo.shaderPrograms.allocate(ProgramCount);
    for (int slot = 0; slot < ProgramCount; ++slot) {
      demo.shaderPrograms.load(programSources[slot].vertex, programSources[slot].fragment, slot);
    }
  }
  demo.passShadersShipped = true;
  for (int slot : {NormalProgram, ColourProgram, DepthProgram, WaterProgram})
    demo.passShadersShipped = demo.passShadersShipped &&
                              isShippedPassShader(programSources[slot].vertex) &&
                              isShippedPassShader(programSources[slot].fragment);

  if (demo.renderTargets.init(TargetCount)) {
    for (int index = 0; index < TargetCount; ++index) {
      demo.renderTargets.create(index, targetLayout[index].size, targetLayout[index].kind);
    }
    demo.renderTargets.unbind();
  }

  glClearColor(0.0f, 1.0f, 1.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

  // The character model compiles its capsules with this quadric.
  if (demo.sharedQuadric) gluDeleteQuadric(demo.sharedQuadric);
  demo.sharedQuadric = gluNewQuadric();
  gluQuadricTexture(demo.sharedQuadric, GL_TRUE);
  gluQuadricNormals(demo.sharedQuadric, GLU_SMOOTH);

  demo.demoCamera.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);

  for (int index = 0; index < TextureCount; ++index) {
    loadTexture(demo.textureIds, textureFiles[index], index);
  }

  demo.characters = std::make_unique<CharacterManager>();
  demo.characters->initialize(demo.sharedQuadric);

  // The upload needs buffer objects; without them the world stays empty
  // rather than keeping meshes whose buffers were never made.
  if (vertexBuffersAvailable()) {
    demo.worldScene.load(sceneFile);
  } else {
    demo.worldScene.clear();
  }

  glEnable(GL_CULL_FACE);
  demo.viewTrace.open();
  return true;
}

void updateFrame(DemoRecord& demo, std::uint32_t elapsedMs) {
  auto keyHeld = [&demo](int virtualKey) { return demo.demoKeys->held[virtualKey] == 1; };
  if (keyHeld(ws::VkEscape)) requestQuit(demo.demoWindow);
  if (keyHeld(ws::VkF1)) requestScreenModeToggle(demo.demoWindow);

  if (keyHeld('1')) demo.compositeStyle = OneLayerStyle;
  if (keyHeld('2')) demo.compositeStyle = GreyPencilStyle;
  if (keyHeld('3')) demo.compositeStyle = BluePencilStyle;

  if (keyHeld('9')) demo.stereoEnabled = 1;
  if (keyHeld('0')) demo.stereoEnabled = 0;

  // Converted through double so that no elapsed count loses digits.
  const double eyeStep = static_cast<double>(elapsedMs) * static_cast<double>(eyeOffsetPerMs);
  if (keyHeld('Q')) demo.eyeOffset = static_cast<float>(demo.eyeOffset + eyeStep);
  if (keyHeld('E')) demo.eyeOffset = static_cast<float>(demo.eyeOffset - eyeStep);
  if (demo.eyeOffset < -1.0f) demo.eyeOffset = -1.0f;
  if (demo.eyeOffset > 1.0f) demo.eyeOffset = 1.0f;

  // F2 frees the pointer and freezes the view.
  if (keyHeld(ws::VkF2))
    demo.demoCamera.releasePointer();
  else
    demo.demoCamera.step();

  if (demo.characters) demo.characters->update(static_cast<float>(elapsedMs));

  demo.waterMove += static_cast<float>(elapsedMs) * waterPhasePerMs;
  if (demo.waterMove > waterPhaseLimit) demo.waterMove = 0.0f;
  demo.viewTrace.trace(demo.demoCamera);
}

void shutdownDemo(DemoRecord& demo) {
  demo.viewTrace.close();
  if (demo.characters) {
    demo.characters->release();
    demo.characters.reset();
  }

  glDeleteTextures(TextureCount, demo.textureIds);
  for (GLuint& texture : demo.textureIds) texture = 0;

  if (glDeleteBuffersARB) demo.worldScene.deleteBuffers();

  demo.releaseKeptImages();
  if (demo.renderTargets.ready()) {
    demo.renderTargets.unbind();
    demo.renderTargets.release();
  }
  if (demo.shaderPrograms.ready()) {
    demo.shaderPrograms.unuse();
    demo.shaderPrograms.release();
  }

  // A new quadric is made at every initialisation; without this each
  // screen-mode toggle would leak one.
  if (demo.sharedQuadric) {
    gluDeleteQuadric(demo.sharedQuadric);
    demo.sharedQuadric = nullptr;
  }

#if defined(__GLIBC__)
  // glibc raises its mmap threshold each time a large block is freed, so the
  // next rebuild's large blocks come from the heap, whose freed middle is
  // never returned: about 15 MB of resident memory per rebuild. Give the
  // free pages back while nothing is loaded.
  malloc_trim(0);
#endif
}

bool initDemo(RenderWindow* window, KeyStates* keys) { return initDemo(programDemo, window, keys); }
void updateFrame(std::uint32_t elapsedMs) { updateFrame(programDemo, elapsedMs); }
void drawFrame() { drawFrame(programDemo); }
void shutdownDemo() { shutdownDemo(programDemo); }
