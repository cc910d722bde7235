// Whole frames of the demo, headless at 1024 x 768, against a floor: the same
// passes, targets and clears, each world pass filling its target with one
// quad of a trivial shader (the colour pass's reads the shadow image), and
// composite quads that read four textures each. That is what the passes
// cost before any scene is drawn into them. llvmpipe
// renders when the frame is finished, so every timed frame ends in glFinish.
// Each run reports the median and the 90th percentile in milliseconds; the
// piece runs time the parts of one demo frame separately.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
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
#include "render/Demo.h"
#include "render/DemoRecord.h"
#include "render/Frame.h"
#include "render/FramePasses.h"
#include "render/ShadowPass.h"
#include "render/Light.h"
#include "render/Water.h"
#include "tools/headless/HeadlessGl.h"
#include "world/Scene.h"

namespace {

namespace fs = std::filesystem;

constexpr int frameWidth = 1024;
constexpr int frameHeight = 768;
constexpr int timedFrames = 40;
constexpr int warmFrames = 3;

// The benchmark's demo, as the program's hooks hold theirs.
DemoRecord demo;

// How the eye moves between frames: 0 it rests, 1 the view turns (the mouse
// across, 5 pixels a frame), 2 the camera walks forwards. Turning and
// walking go back and forth, so every run stays where it started.
int motion = 0;
int moved = 0;
Camera resting;

void startMotion(int kind) {
  motion = kind;
  moved = 0;
  demo.demoCamera = resting;
}

void moveEye() {
  const float sign = (moved++ / 20) % 2 == 0 ? 1.0f : -1.0f;
  if (motion == 1) demo.demoCamera.turn(sign * 0.01f, 0.0f, 1.0f, 0.0f);
  if (motion == 2) demo.demoCamera.walk(sign * 0.02f);
}

// 0: shadow, 1: colour, 2: normal, 3: one-pass composite, 4: layered composite
ShaderProgramSet floorPrograms;
bool ready = false;

bool setUp() {
  const fs::path work = fs::temp_directory_path() / ("bench-frame-" + std::to_string(::getpid()));
  fs::remove_all(work);
  // NPR_BENCH_DATA runs another data folder, such as an earlier version's.
  const char* data = std::getenv("NPR_BENCH_DATA");
  fs::copy(data ? data : NPR_DATA_DIR, work, fs::copy_options::recursive);
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
  initDemo(demo, &window, &keys);
  resting = demo.demoCamera;

  const char* sources[][2] = {
      {"floor_world.vsh",
       "#version 110\nvoid main() { gl_Position = gl_Vertex; gl_TexCoord[0] = gl_MultiTexCoord0; "
       "gl_FrontColor = gl_Color; }\n"},
      {"floor_shadow.fsh",
       "#version 110\nvoid main() { gl_FragColor = vec4(gl_FragCoord.z, 0.0, 0.0, 1.0); }\n"},
      {"floor_colour.fsh",
       "#version 110\nuniform sampler2D shadowMap;\nvoid main() { gl_FragColor = "
       "texture2D(shadowMap, gl_TexCoord[0].xy) * gl_Color; }\n"},
      {"floor_normal.fsh",
       "#version 110\nvoid main() { gl_FragColor = vec4(0.5, 0.5, 1.0, 1.0); }\n"},
      {"floor_comp.vsh",
       "#version 110\nvoid main() { gl_Position = ftransform(); gl_TexCoord[0] = "
       "gl_MultiTexCoord0; }\n"},
      {"floor_one.fsh",
       "#version 110\nuniform sampler2D colormap, normalmap, hatchmap0, hatchmap1;\n"
       "void main() { vec2 uv = gl_TexCoord[0].xy; gl_FragColor = texture2D(colormap, uv) * "
       "texture2D(normalmap, uv) * texture2D(hatchmap0, uv * 2.0) * texture2D(hatchmap1, uv * "
       "2.0); }\n"},
      {"floor_layered.fsh",
       "#version 110\nuniform sampler2D colormap, hatchmap, sheetmap, shadowhatch;\n"
       "uniform vec4 hatchOffset; uniform float hatchScale;\n"
       "void main() { vec2 uv = gl_TexCoord[0].xy; vec2 h = (uv + hatchOffset.xy) * (hatchScale "
       "* 100.0); gl_FragColor = texture2D(colormap, uv) * texture2D(hatchmap, h) * "
       "texture2D(sheetmap, uv) * texture2D(shadowhatch, h); }\n"},
  };
  for (const auto& source : sources) {
    std::FILE* file = std::fopen(source[0], "w");
    if (!file) return false;
    std::fputs(source[1], file);
    std::fclose(file);
  }
  floorPrograms.initExtensions();
  floorPrograms.allocate(5);
  floorPrograms.load("floor_world.vsh", "floor_shadow.fsh", 0);
  floorPrograms.load("floor_world.vsh", "floor_colour.fsh", 1);
  floorPrograms.load("floor_world.vsh", "floor_normal.fsh", 2);
  floorPrograms.load("floor_comp.vsh", "floor_one.fsh", 3);
  floorPrograms.load("floor_comp.vsh", "floor_layered.fsh", 4);
  floorPrograms.unuse();
  return true;
}

void clearTarget(int index) {
  const int size = demo.renderTargets.size(index);
  glViewport(0, 0, size, size);
  demo.renderTargets.bind(index);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// A quad over the whole target in clip space, whatever the matrices.
void floorTargetQuad() {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(-1, -1, 0.5f);
  glTexCoord2f(1, 0);
  glVertex3f(1, -1, 0.5f);
  glTexCoord2f(1, 1);
  glVertex3f(1, 1, 0.5f);
  glTexCoord2f(0, 1);
  glVertex3f(-1, 1, 0.5f);
  glEnd();
}

void bindFloorUnits(const GLuint (&textures)[4]) {
  for (int unit = 0; unit < 4; ++unit) {
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glBindTexture(GL_TEXTURE_2D, textures[unit]);
  }
}

void floorComposite(int eye) {
  glPushMatrix();
  glLoadIdentity();
  glTranslatef(0, 0, -1);
  glDisable(GL_DEPTH_TEST);
  const GLuint colour = demo.renderTargets.texture(eye == 0 ? 0 : 3);
  if (demo.compositeStyle == 1) {
    floorPrograms.use(3);
    const char* names[4] = {"colormap", "normalmap", "hatchmap0", "hatchmap1"};
    for (int unit = 0; unit < 4; ++unit) floorPrograms.setUniform1i(3, names[unit], unit);
    bindFloorUnits({colour, demo.renderTargets.texture(eye == 0 ? 1 : 4), demo.textureIds[0],
                    demo.textureIds[1]});
    fullScreenQuad();
  } else {
    floorPrograms.use(4);
    const char* names[4] = {"colormap", "hatchmap", "sheetmap", "shadowhatch"};
    for (int unit = 0; unit < 4; ++unit) floorPrograms.setUniform1i(4, names[unit], unit);
    bindFloorUnits({colour, demo.textureIds[0], demo.textureIds[1], demo.textureIds[2]});
    floorPrograms.setUniform4f(4, "hatchOffset", 0, 0, 0, 0);
    floorPrograms.setUniform1f(4, "hatchScale", 0.005f);
    fullScreenQuad();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_COLOR);
    for (float offset : {0.5f, 0.25f, 0.75f}) {
      floorPrograms.setUniform4f(4, "hatchOffset", offset, offset, 0, 0);
      floorPrograms.setUniform1f(4, "hatchScale", 0.01f);
      fullScreenQuad();
    }
    glDisable(GL_BLEND);
  }
  floorPrograms.unuse();
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glEnable(GL_DEPTH_TEST);
  glPopMatrix();
}

void floorShadowPass() {
  glClearColor(1, 1, 1, 1);
  setLightProjection();
  clearTarget(2);
  gluLookAt(-90, 140, -90, 0, 0, 0, 0, 1, 0);
  floorPrograms.use(0);
  floorTargetQuad();
  floorPrograms.unuse();
}

void floorColourPass(int eye) {
  clearTarget(eye == 0 ? 0 : 3);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glBindTexture(GL_TEXTURE_2D, demo.renderTargets.texture(2));
  floorPrograms.use(1);
  floorPrograms.setUniform1i(1, "shadowMap", 0);
  floorTargetQuad();
  floorPrograms.unuse();
}

void floorNormalPass(int eye) {
  clearTarget(eye == 0 ? 1 : 4);
  floorPrograms.use(2);
  floorTargetQuad();
  floorPrograms.unuse();
}

void floorCompositeIntoWindow() {
  if (!demo.stereoEnabled) {
    setScreenOrtho(demo.viewWidth, demo.viewHeight);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    floorComposite(0);
  } else {
    setHalfScreenOrtho(demo.viewWidth / 2, demo.viewHeight, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    floorComposite(0);
    setHalfScreenOrtho(demo.viewWidth / 2, demo.viewHeight, 1);
    floorComposite(1);
  }
}

// The demo frame's passes, targets and clears, each world pass one quad
// over its target, and the composite's quads reading four textures.
void floorFrame() {
  glPushAttrib(GL_VIEWPORT_BIT);
  floorShadowPass();
  glClearColor(0, 1, 1, 1);
  setPerspectiveView(demo.viewWidth, demo.viewHeight);
  for (int eye = 0; eye < (demo.stereoEnabled ? 2 : 1); ++eye) {
    floorColourPass(eye);
    floorNormalPass(eye);
  }
  demo.renderTargets.unbind();
  glPopAttrib();
  floorCompositeIntoWindow();
  glGetError();
  glFlush();
}

// One piece of the floor frame, finished on its own.
void floorPiece(const std::function<void()>& piece) {
  glPushAttrib(GL_VIEWPORT_BIT);
  glClearColor(0, 1, 1, 1);
  setPerspectiveView(demo.viewWidth, demo.viewHeight);
  piece();
  demo.renderTargets.unbind();
  glPopAttrib();
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
  std::vector<double> cpuSamples;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    frame();
    glFinish();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    cpuSamples.push_back(1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    state.SetIterationTime(took.count());
    samples.push_back(took.count() * 1000.0);
  }
  state.counters["median_ms"] = percentile(samples, 0.5);
  state.counters["p90_ms"] = percentile(samples, 0.9);
  // Processor time of all of llvmpipe's threads: steadier than the wall
  // clock on a machine shared with other work.
  state.counters["cpu_ms"] = percentile(cpuSamples, 0.5);
}

void demoFrame() {
  moveEye();
  drawFrame(demo);
}

void setLook(int style, int stereo) {
  demo.compositeStyle = style;
  demo.stereoEnabled = static_cast<std::uint8_t>(stereo);
  demo.eyeOffset = stereo ? 0.05f : 0.0f;
}

void BM_DemoFrame(benchmark::State& state) {
  setLook(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  startMotion(0);
  timeFrames(state, demoFrame);
}

// Milliseconds of one finished frame, by the wall clock and in processor
// time of all threads (steadier on a shared machine).
struct Timed {
  double wall;
  double cpu;
};

Timed timedFrame(const std::function<void()>& frame) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  frame();
  glFinish();
  return {
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
      1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC};
}

// Demo and floor frames in turn, so that both see the same load of the
// machine; the ratio of each pair is the figure to compare across versions.
void BM_DemoOverFloor(benchmark::State& state) {
  if (!ready) {
    state.SkipWithError("no headless GL context or demo data");
    return;
  }
  setLook(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  startMotion(static_cast<int>(state.range(2)));
  for (int i = 0; i < warmFrames; ++i) {
    demoFrame();
    floorFrame();
  }
  glFinish();
  std::vector<double> demoTimes, floor, ratio, cpuRatio;
  for (auto _ : state) {
    const Timed ours = timedFrame(demoFrame);
    const Timed floors = timedFrame(floorFrame);
    demoTimes.push_back(ours.wall);
    floor.push_back(floors.wall);
    ratio.push_back(ours.wall / floors.wall);
    cpuRatio.push_back(ours.cpu / floors.cpu);
    state.SetIterationTime((ours.wall + floors.wall) / 1000.0);
  }
  state.counters["demo_ms"] = percentile(demoTimes, 0.5);
  state.counters["floor_ms"] = percentile(floor, 0.5);
  state.counters["cpu_ratio"] = percentile(cpuRatio, 0.5);
  state.counters["ratio"] = percentile(ratio, 0.5);
}

void BM_FloorFrame(benchmark::State& state) {
  setLook(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  timeFrames(state, floorFrame);
}

// Everything the colour pass draws, or only one kind of geometry, into
// target 0 with the colour program.
void colourGeometry(bool scene, bool water, bool people) {
  glPushAttrib(GL_VIEWPORT_BIT);
  setPerspectiveView(demo.viewWidth, demo.viewHeight);
  clearTarget(0);
  demo.demoCamera.applyView();
  demo.shaderPrograms.use(2);
  demo.shaderPrograms.setUniform1i(2, "shadowMap", 0);
  demo.shaderPrograms.setUniform4f(2, "lightPos", -90, 140, -90, 1);
  const ViewVolume view = eyeOf(demo, 0).volume;
  if (scene) demo.worldScene.draw(&view);
  if (water) drawWaterQuad(30, demo.waterMove);
  if (people) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    demo.characters->drawIn(view);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  demo.shaderPrograms.unuse();
  demo.renderTargets.unbind();
  glPopAttrib();
}

// The normal pass as the frame draws it, into target 1.
void normalGeometry() {
  glPushAttrib(GL_VIEWPORT_BIT);
  setPerspectiveView(demo.viewWidth, demo.viewHeight);
  clearTarget(1);
  demo.demoCamera.applyView();
  demo.shaderPrograms.use(1);
  demo.shaderPrograms.setUniform4f(1, "lightPos", -90, 140, -90, 1);
  demo.shaderPrograms.setUniform4f(1, "camPos", demo.demoCamera.eye.x, demo.demoCamera.eye.y,
                                   demo.demoCamera.eye.z, 1);
  const ViewVolume view = eyeOf(demo, 0).volume;
  glActiveTextureARB(GL_TEXTURE1_ARB);
  demo.characters->drawIn(view);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  demo.worldScene.draw(&view);
  demo.shaderPrograms.use(5);
  demo.shaderPrograms.setUniform1i(5, "normalMap", 0);
  demo.shaderPrograms.setUniform4f(5, "lightPos", -90, 140, -90, 1);
  demo.shaderPrograms.setUniform4f(5, "camPos", demo.demoCamera.eye.x, demo.demoCamera.eye.y,
                                   demo.demoCamera.eye.z, 1);
  demo.shaderPrograms.setUniform1f(5, "waterMove", demo.waterMove);
  glBindTexture(GL_TEXTURE_2D, demo.textureIds[3]);
  drawWaterQuad(30, demo.waterMove);
  demo.shaderPrograms.unuse();
  demo.renderTargets.unbind();
  glPopAttrib();
}

// The shadow pass with some of its geometry: 1 scene, 2 water, 4 characters.
void shadowGeometry(int what) {
  glPushAttrib(GL_VIEWPORT_BIT);
  setLightProjection();
  clearTarget(2);
  gluLookAt(-90, 140, -90, 0, 0, 0, 0, 1, 0);
  demo.shaderPrograms.use(4);
  if (what & 1) demo.worldScene.draw();
  if (what & 2) drawWaterQuad(30, demo.waterMove);
  if (what & 4) demo.characters->draw();
  demo.shaderPrograms.unuse();
  demo.renderTargets.unbind();
  glPopAttrib();
}

void compositePiece() {
  setScreenOrtho(demo.viewWidth, demo.viewHeight);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawComposite(demo, 0, demo.compositeStyle);
}

// Pieces of one single-view frame, each finished on its own.
void BM_FramePiece(benchmark::State& state) {
  const int piece = static_cast<int>(state.range(0));
  setLook(piece == 4 || piece == 15 ? 2 : 1, 0);
  drawFrame(demo);  // light matrices and images for the composite
  const std::function<void()> pieces[] = {
      // 0: the shadow pass as the frame draws it into the 2048 float
      // target: the scene's part copied in, then the characters (the
      // water casts nothing seen).
      [] {
        glPushAttrib(GL_VIEWPORT_BIT);
        shadowPass(demo, frameOf(demo, false));
        demo.shaderPrograms.unuse();
        demo.renderTargets.unbind();
        glPopAttrib();
      },
      // 1, 2: the colour pass and the normal pass.
      [] { colourGeometry(true, true, true); },
      normalGeometry,
      // 3, 4: the composite of style 1 and of style 2.
      compositePiece,
      compositePiece,
      // 5, 6: the colour pass with only the scene, only the characters.
      [] { colourGeometry(true, false, false); },
      [] { colourGeometry(false, false, true); },
      // 7..10: the shadow pass with only the scene, the water, the
      // characters, nothing.
      [] { shadowGeometry(1); },
      [] { shadowGeometry(2); },
      [] { shadowGeometry(4); },
      [] { shadowGeometry(0); },
      // 11..14: the floor's shadow, colour and normal passes and its composite (style 1, 2)
      [] { floorPiece(floorShadowPass); },
      [] { floorPiece([] { floorColourPass(0); }); },
      [] { floorPiece([] { floorNormalPass(0); }); },
      floorCompositeIntoWindow,
      floorCompositeIntoWindow,
  };
  timeFrames(state, pieces[piece]);
}

}  // namespace

// Each look's demo frame right before its floor, so the two share the
// machine's load of the moment.
const int registered = [] {
  for (int stereo = 0; stereo < 2; ++stereo) {
    for (int style = 1; style <= 3; ++style) {
      benchmark::RegisterBenchmark("BM_DemoFrame", BM_DemoFrame)
          ->ArgNames({"style", "stereo"})
          ->Args({style, stereo})
          ->Iterations(timedFrames)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark("BM_FloorFrame", BM_FloorFrame)
          ->ArgNames({"style", "stereo"})
          ->Args({style, stereo})
          ->Iterations(timedFrames)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  return 0;
}();
// motion: 0 the eye rests, 1 the view turns, 2 the camera walks.
BENCHMARK(BM_DemoOverFloor)
    ->ArgNames({"style", "stereo", "motion"})
    ->ArgsProduct({{1, 2, 3}, {0, 1}, {0, 1, 2}})
    ->Iterations(timedFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// 0 shadow pass (the scene's part copied), 1 colour pass, 2 normal pass, 3 composite style 1,
// 4 composite style 2, 5 scene alone, 6 characters alone (colour program),
// 7 to 10 the shadow pass with scene, water, characters, nothing alone,
// 11 to 15 the floor's shadow, colour, normal passes and composites.
BENCHMARK(BM_FramePiece)
    ->ArgName("piece")
    ->DenseRange(0, 15)
    ->Iterations(timedFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  ready = setUp();
  benchmark::RunSpecifiedBenchmarks();
  if (ready) shutdownDemo(demo);
  benchmark::Shutdown();
  return 0;
}
