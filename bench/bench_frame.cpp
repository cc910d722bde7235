// Whole frames of the demo, headless at 1024 x 768, against a floor: the same
// passes, targets and clears with trivial shaders and no geometry. llvmpipe
// renders when the frame is finished, so every timed frame ends in glFinish.
// Each run reports the median and the 90th percentile in milliseconds; the
// piece runs time the parts of one demo frame separately.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "base/Config.h"
#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "contract/DemoContract.h"
#include "gl/Extensions.h"
#include "gl/Projection.h"
#include "gl/RenderTargets.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "render/Composite.h"
#include "render/DemoState.h"
#include "render/FramePasses.h"
#include "tests/support/HeadlessGl.h"
#include "world/Scene.h"

namespace {

namespace fs = std::filesystem;

constexpr int frameWidth = 1024;
constexpr int frameHeight = 768;
constexpr int timedFrames = 40;
constexpr int warmFrames = 3;

ShaderProgramSet floorPrograms;  // 0: pass, 1: composite
bool ready = false;

bool setUp() {
  const fs::path work = fs::temp_directory_path() / ("bench-frame-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::copy(NPR_DATA_DIR, work, fs::copy_options::recursive);
  fs::current_path(work);
  std::FILE* config = std::fopen("config.cfg", "w");
  if (!config) return false;
  std::fprintf(config, "%d %d\n", frameWidth, frameHeight);
  std::fclose(config);

  std::string reason;
  if (!HeadlessGl::ensure(frameWidth, frameHeight, &reason)) {
    std::fprintf(stderr, "bench_frame: %s\n", reason.c_str());
    return false;
  }
  Config::instance().read();
  static KeyStates keys;
  static RenderWindow window;
  window.keys = &keys;
  initDemo(&window, &keys);

  std::FILE* vertex = std::fopen("floor.vsh", "w");
  std::FILE* fragment = std::fopen("floor.fsh", "w");
  if (!vertex || !fragment) return false;
  std::fputs("#version 110\nvoid main() { gl_Position = ftransform(); }\n", vertex);
  std::fputs("#version 110\nvoid main() { gl_FragColor = vec4(0.9, 0.9, 0.85, 1.0); }\n", fragment);
  std::fclose(vertex);
  std::fclose(fragment);
  floorPrograms.initExtensions();
  floorPrograms.allocate(2);
  floorPrograms.load("floor.vsh", "floor.fsh", 0);
  floorPrograms.load("floor.vsh", "floor.fsh", 1);
  floorPrograms.unuse();
  return true;
}

void clearTarget(int index) {
  const int size = renderTargets.size(index);
  glViewport(0, 0, size, size);
  renderTargets.bind(index);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void floorComposite() {
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0, 0, -1);
  glDisable(GL_DEPTH_TEST);
  floorPrograms.use(1);
  fullScreenQuad();
  if (compositeStyle != 1) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    for (int layer = 0; layer < 3; ++layer) fullScreenQuad();
    glDisable(GL_BLEND);
  }
  floorPrograms.unuse();
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();
}

// The demo frame's passes, targets and clears with nothing drawn into the
// targets and a constant-colour composite.
void floorFrame() {
  glPushAttrib(GL_VIEWPORT_BIT);
  glClearColor(1, 1, 1, 1);
  setLightProjection();
  floorPrograms.use(0);
  clearTarget(2);
  glClearColor(0, 1, 1, 1);
  setPerspectiveView(viewWidth, viewHeight);
  for (int eye = 0; eye < (stereoEnabled ? 2 : 1); ++eye) {
    clearTarget(eye == 0 ? 0 : 3);
    clearTarget(eye == 0 ? 1 : 4);
  }
  floorPrograms.unuse();
  renderTargets.unbind();
  glPopAttrib();
  if (!stereoEnabled) {
    setScreenOrtho(viewWidth, viewHeight);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    floorComposite();
  } else {
    setHalfScreenOrtho(viewWidth / 2, viewHeight, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    floorComposite();
    setHalfScreenOrtho(viewWidth / 2, viewHeight, 1);
    floorComposite();
  }
  glGetError();
  glFlush();
}

double percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  const size_t index =
      static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[index];
}

// Times whole frames ending in glFinish and reports median and 90th percentile.
void timeFrames(benchmark::State& state, const std::function<void()>& frame) {
  if (!ready) {
    state.SkipWithError("no headless GL context or demo data");
    return;
  }
  for (int i = 0; i < warmFrames; ++i) frame();
  glFinish();
  std::vector<double> samples;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    frame();
    glFinish();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    samples.push_back(took.count() * 1000.0);
  }
  state.counters["median_ms"] = percentile(samples, 0.5);
  state.counters["p90_ms"] = percentile(samples, 0.9);
}

void setLook(int style, int stereo) {
  compositeStyle = style;
  stereoEnabled = static_cast<std::uint8_t>(stereo);
  eyeOffset = stereo ? 0.05f : 0.0f;
}

void BM_DemoFrame(benchmark::State& state) {
  setLook(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  timeFrames(state, drawFrame);
}

void BM_FloorFrame(benchmark::State& state) {
  setLook(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  timeFrames(state, floorFrame);
}

// Everything the colour pass draws, or only one kind of geometry, into
// target 0 with the colour program.
void colourGeometry(bool scene, bool water, bool people) {
  glPushAttrib(GL_VIEWPORT_BIT);
  setPerspectiveView(viewWidth, viewHeight);
  clearTarget(0);
  demoCamera.applyView();
  shaderPrograms.use(2);
  shaderPrograms.setUniform1i(2, "shadowMap", 0);
  shaderPrograms.setUniform4f(2, "lightPos", -90, 140, -90, 1);
  if (scene) worldScene.draw();
  if (water) drawWaterQuad(30);
  if (people) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    characters->draw();
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  shaderPrograms.unuse();
  renderTargets.unbind();
  glPopAttrib();
}

// Pieces of one single-view frame, each finished on its own.
void BM_FramePiece(benchmark::State& state) {
  const int piece = static_cast<int>(state.range(0));
  setLook(piece == 3 ? 2 : 1, 0);
  drawFrame();  // light matrices and images for the composite
  const std::function<void()> pieces[] = {
      // 0: the shadow pass, all geometry into the 2048 float target.
      [] {
        glPushAttrib(GL_VIEWPORT_BIT);
        setLightProjection();
        clearTarget(2);
        gluLookAt(-90, 140, -90, 0, 0, 0, 0, 1, 0);
        shaderPrograms.use(4);
        worldScene.draw();
        drawWaterQuad(30);
        characters->draw();
        shaderPrograms.unuse();
        renderTargets.unbind();
        glPopAttrib();
      },
      // 1: the colour pass.
      [] { colourGeometry(true, true, true); },
      // 2, 3: the composite of style 1 and of style 2.
      [] {
        setScreenOrtho(viewWidth, viewHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawComposite(0);
      },
      [] {
        setScreenOrtho(viewWidth, viewHeight);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawComposite(0);
      },
      // 4, 5: the colour pass with only the scene, only the characters.
      [] { colourGeometry(true, false, false); },
      [] { colourGeometry(false, false, true); },
  };
  timeFrames(state, pieces[piece]);
}

}  // namespace

BENCHMARK(BM_DemoFrame)
    ->ArgNames({"style", "stereo"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Iterations(timedFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorFrame)
    ->ArgNames({"style", "stereo"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({1, 1})
    ->Iterations(timedFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// 0 shadow pass, 1 colour pass, 2 composite style 1, 3 composite style 2,
// 4 scene alone, 5 characters alone.
BENCHMARK(BM_FramePiece)
    ->ArgName("piece")
    ->DenseRange(0, 5)
    ->Iterations(timedFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ready = setUp();
  benchmark::RunSpecifiedBenchmarks();
  if (ready) shutdownDemo();
  benchmark::Shutdown();
  return 0;
}
