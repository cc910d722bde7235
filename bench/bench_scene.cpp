// Scene loading speed: a generated scene of about 200,000 faces, parsed into
// unified arrays (MB/s of scene text), and the whole load with the upload into
// buffers on the headless context.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "gl/Extensions.h"
#include "tools/headless/HeadlessGl.h"
#include "tests/support/TestDir.h"
#include "world/Scene.h"

namespace {

const char* const scenePath = "scene/bench.scn";
constexpr int meshes = 4;
constexpr int grid = 160;  // quads per side: 2 * 160 * 160 faces per mesh
std::size_t sceneBytes = 0;
long sceneFaces = 0;

// Terrain-like grids written as a modelling tool would: one record per line,
// six decimals.
void writeScene() {
  std::string text;
  char line[128];
  text += "8\n";
  for (int c = 0; c < 8; ++c) {
    std::snprintf(line, sizeof line, "%f %f %f\n", 0.1 * c, 0.5 + 0.05 * c, 0.9 - 0.1 * c);
    text += line;
  }
  std::snprintf(line, sizeof line, "%d\n", meshes);
  text += line;
  const int side = grid + 1;
  for (int m = 0; m < meshes; ++m) {
    std::snprintf(line, sizeof line, "%d %d %d\n", side * side, side * side, 2 * grid * grid);
    text += line;
    for (int i = 0; i < side; ++i) {
      for (int j = 0; j < side; ++j) {
        const double h = 40 * std::sin(i * 0.1 + m) * std::cos(j * 0.13);
        std::snprintf(line, sizeof line, "%f %f %f\n%f %f %f\n", (i - grid / 2) * 5.3 + m * 900, h,
                      (j - grid / 2) * 5.3, 0.1 * std::cos(i * 0.1), 0.98,
                      -0.1 * std::sin(j * 0.13));
        text += line;
      }
    }
    for (int i = 0; i < side; ++i) {
      for (int j = 0; j < side; ++j) {
        std::snprintf(line, sizeof line, "%f %f %f\n", i / double(grid), 0.0, j / double(grid));
        text += line;
      }
    }
    for (int i = 0; i < grid; ++i) {
      for (int j = 0; j < grid; ++j) {
        const int a = i * side + j, b = a + 1, c = a + side, d = c + 1;
        const int material = 1 + (i / 8 + j / 8) % 8;
        const int faces[2][3] = {{a, b, d}, {a, d, c}};
        for (const auto& f : faces) {
          std::snprintf(line, sizeof line, "%d %d %d\n%d %d %d\n%f %f %f\n%d\n", f[0], f[1], f[2],
                        f[0], f[1], f[2], 0.0, 1.0, 0.0, material);
          text += line;
        }
      }
    }
  }
  TestDir::write(scenePath, text);
  sceneBytes = text.size();
  sceneFaces = 2L * grid * grid * meshes;
}

void BM_SceneParse(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    if (!scene.parse(scenePath)) state.SkipWithError("the generated scene was refused");
    benchmark::DoNotOptimize(scene.meshes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sceneBytes));
  state.counters["faces"] = static_cast<double>(sceneFaces);
  state.counters["MB"] = sceneBytes / 1e6;
}
BENCHMARK(BM_SceneParse)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SceneLoad(benchmark::State& state) {
  std::string reason;
  if (!HeadlessGl::ensure(1024, 768, &reason) || !initMultitextureExtensions()) {
    state.SkipWithError(("no headless GL: " + reason).c_str());
    return;
  }
  Scene worldScene;
  for (auto _ : state) {
    if (!worldScene.load(scenePath)) state.SkipWithError("the generated scene was refused");
    glFinish();
    state.PauseTiming();
    worldScene.deleteBuffers();
    state.ResumeTiming();
  }
  worldScene.clear();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sceneBytes));
}
BENCHMARK(BM_SceneLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  TestDir dir;  // the loader logs into the working directory
  writeScene();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
