// The demo's lifecycle: building every GL resource and loading every file for
// a new window, turning held keys and elapsed time into the demo's state once
// per frame, and releasing the resources before the window goes away.
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
#include "render/DemoSlots.h"
#include "render/FramePasses.h"
#include "render/KeptImages.h"
#include "render/ShippedShaders.h"
#include "render/WaterShadow.h"
#include "render/DemoState.h"
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

static_assert(TextureCount == sizeof(textureIds) / sizeof(textureIds[0]));

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

// Both move into the demo record.
ViewTrace viewTrace;
GLUquadric* sharedQuadric = nullptr;

bool vertexBuffersAvailable() { return glGenBuffersARB && glBindBufferARB && glBufferDataARB; }

bool keyHeld(int virtualKey) { return demoKeys->held[virtualKey] == 1; }

}  // namespace

const GLUquadric* demoQuadric() { return sharedQuadric; }

bool initDemo(RenderWindow* window, KeyStates* keys) {
  demoWindow = window;
  demoKeys = keys;
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  viewWidth = Config::instance().width();
  viewHeight = Config::instance().height();

  initMultitextureExtensions();

  if (shaderPrograms.initExtensions()) {
    shaderPrograms.allocate(ProgramCount);
    for (int slot = 0; slot < ProgramCount; ++slot) {
      shaderPrograms.load(programSources[slot].vertex, programSources[slot].fragment, slot);
    }
  }
  passShadersShipped = true;
  for (int slot : {NormalProgram, ColourProgram, DepthProgram, WaterProgram})
    passShadersShipped = passShadersShipped && isShippedPassShader(programSources[slot].vertex) &&
                         isShippedPassShader(programSources[slot].fragment);

  if (renderTargets.init(TargetCount)) {
    for (int index = 0; index < TargetCount; ++index) {
      renderTargets.create(index, targetLayout[index].size, targetLayout[index].kind);
    }
    renderTargets.unbind();
  }

  glClearColor(0.0f, 1.0f, 1.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

  // The character model compiles its capsules with this quadric.
  if (sharedQuadric) gluDeleteQuadric(sharedQuadric);
  sharedQuadric = gluNewQuadric();
  gluQuadricTexture(sharedQuadric, GL_TRUE);
  gluQuadricNormals(sharedQuadric, GLU_SMOOTH);

  demoCamera.place(0.0f, 0.3125f, 0.0f, 0.3125f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);

  for (int index = 0; index < TextureCount; ++index) {
    loadTexture(textureIds, textureFiles[index], index);
  }

  characters = new CharacterManager;
  characters->initialize(sharedQuadric);

  // The upload needs buffer objects; without them the world stays empty
  // rather than keeping meshes whose buffers were never made.
  if (vertexBuffersAvailable()) {
    worldScene.load(sceneFile);
  } else {
    worldScene.clear();
  }

  glEnable(GL_CULL_FACE);
  viewTrace.open();
  return true;
}

void updateFrame(std::uint32_t elapsedMs) {
  if (keyHeld(ws::VkEscape)) requestQuit(demoWindow);
  if (keyHeld(ws::VkF1)) requestScreenModeToggle(demoWindow);

  if (keyHeld('1')) compositeStyle = OneLayerStyle;
  if (keyHeld('2')) compositeStyle = GreyPencilStyle;
  if (keyHeld('3')) compositeStyle = BluePencilStyle;

  if (keyHeld('9')) stereoEnabled = 1;
  if (keyHeld('0')) stereoEnabled = 0;

  // Converted through double so that no elapsed count loses digits.
  const double eyeStep = static_cast<double>(elapsedMs) * static_cast<double>(eyeOffsetPerMs);
  if (keyHeld('Q')) eyeOffset = static_cast<float>(eyeOffset + eyeStep);
  if (keyHeld('E')) eyeOffset = static_cast<float>(eyeOffset - eyeStep);
  if (eyeOffset < -1.0f) eyeOffset = -1.0f;
  if (eyeOffset > 1.0f) eyeOffset = 1.0f;

  // F2 frees the pointer and freezes the view.
  if (keyHeld(ws::VkF2))
    demoCamera.releasePointer();
  else
    demoCamera.step();

  if (characters) characters->update(static_cast<float>(elapsedMs));

  waterMove += static_cast<float>(elapsedMs) * waterPhasePerMs;
  if (waterMove > waterPhaseLimit) waterMove = 0.0f;
  viewTrace.trace(demoCamera);
}

void shutdownDemo() {
  viewTrace.close();
  if (characters) {
    characters->release();
    delete characters;
    characters = nullptr;
  }

  glDeleteTextures(TextureCount, textureIds);
  for (GLuint& texture : textureIds) texture = 0;

  if (glDeleteBuffersARB) worldScene.deleteBuffers();

  releaseFrameCopies();
  releaseFrameQueries();
  forgetWaterShadow();
  if (renderTargets.ready()) {
    renderTargets.unbind();
    renderTargets.release();
  }
  if (shaderPrograms.ready()) {
    shaderPrograms.unuse();
    shaderPrograms.release();
  }

  // A new quadric is made at every initialisation; without this each
  // screen-mode toggle would leak one.
  if (sharedQuadric) {
    gluDeleteQuadric(sharedQuadric);
    sharedQuadric = nullptr;
  }

#if defined(__GLIBC__)
  // glibc raises its mmap threshold each time a large block is freed, so the
  // next rebuild's large blocks come from the heap, whose freed middle is
  // never returned: about 15 MB of resident memory per rebuild. Give the
  // free pages back while nothing is loaded.
  malloc_trim(0);
#endif
}
