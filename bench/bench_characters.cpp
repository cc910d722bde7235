// Processor time of one frame of the characters: the manager's update (walk,
// animation and the pairwise separation) and their drawing, for the demo's
// twenty and for ten and a hundred times as many.
//
//   bench_characters [--benchmark_filter=...]
//
// Walk isolates the per-character work of update, so Update minus Walk is the
// separation step. Draw runs on the headless GL context (Mesa llvmpipe): it is
// the process's processor time, the rasterizing threads included, up to
// glFinish.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "characters/CharacterManager.h"
#include "gl/Extensions.h"
#include "tools/headless/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Without a shipped network, a grid over the light's square serves.
std::string waypointText() {
  std::string shipped = fileText(std::string(NPR_DATA_DIR) + "/scene/waypoints.txt");
  if (!shipped.empty()) return shipped;
  const int columns = 9, rows = 7;
  std::ostringstream text;
  text << columns * rows << '\n';
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      std::ostringstream links;
      int count = 0;
      if (c > 0) links << ' ' << r * columns + c, ++count;
      if (c + 1 < columns) links << ' ' << r * columns + c + 2, ++count;
      if (r > 0) links << ' ' << (r - 1) * columns + c + 1, ++count;
      if (r + 1 < rows) links << ' ' << (r + 1) * columns + c + 1, ++count;
      text << 200 * c - 800 << " 0 " << 200 * r - 600 << ' ' << count << ' ' << r * columns + c + 1
           << links.str() << '\n';
    }
  }
  return text.str();
}

// A manager of `count` characters that have walked for a while.
struct Walkers {
  explicit Walkers(int count) : manager(count) {
    ready = HeadlessGl::ensure() && initMultitextureExtensions();
    if (!ready) return;
    quadric = gluNewQuadric();
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    TestDir::write("Models/capsuleman.txt",
                   fileText(std::string(NPR_DATA_DIR) + "/Models/capsuleman.txt"));
    TestDir::write("scene/waypoints.txt", waypointText());
    std::srand(1);
    manager.initialize(quadric);
    ready = manager.placedCount() == count;
    for (int frame = 0; ready && frame < 300; ++frame) manager.update(16.0f);
  }
  ~Walkers() {
    if (quadric) gluDeleteQuadric(quadric);
  }
  TestDir dir;
  CharacterManager manager;
  GLUquadric* quadric = nullptr;
  bool ready = false;
};

void Update(benchmark::State& state) {
  Walkers walkers(static_cast<int>(state.range(0)));
  if (!walkers.ready) return state.SkipWithError("no GL context or no characters");
  for (auto _ : state) walkers.manager.update(16.0f);
  state.counters["per character"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Walk(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Walkers walkers(count);
  if (!walkers.ready) return state.SkipWithError("no GL context or no characters");
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) walkers.manager.character(i).update(16.0f);
  }
  state.counters["per character"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Draw(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Walkers walkers(count);
  if (!walkers.ready) return state.SkipWithError("no GL context or no characters");
  glViewport(0, 0, HeadlessGl::width(), HeadlessGl::height());
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(75.0, 4.0 / 3.0, 0.1, 100.0);
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 9.0, 11.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    walkers.manager.draw();
    glFinish();
  }
  state.counters["per character"] = benchmark::Counter(
      count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(Update)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Walk)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Draw)
    ->Arg(20)
    ->Arg(200)
    ->Arg(2000)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
