// Rebuilds and long runs on the headless context: each screen-mode toggle
// releases every GL object and byte the one before made, and frames keep
// nothing. The context lives for the whole process, so whatever the demo
// leaves behind stays countable.
#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <ostream>

#include "app/Window.h"
#include "tests/render/DemoHarness.h"

namespace {

using namespace demo_harness;

struct LiveObjects {
  int textures = 0, framebuffers = 0, renderbuffers = 0, buffers = 0, lists = 0, shaderObjects = 0;
  bool operator==(const LiveObjects& o) const {
    return textures == o.textures && framebuffers == o.framebuffers &&
           renderbuffers == o.renderbuffers && buffers == o.buffers && lists == o.lists &&
           shaderObjects == o.shaderObjects;
  }
};

std::ostream& operator<<(std::ostream& out, const LiveObjects& o) {
  return out << "textures " << o.textures << ", framebuffers " << o.framebuffers
             << ", renderbuffers " << o.renderbuffers << ", buffers " << o.buffers << ", lists "
             << o.lists << ", shader objects " << o.shaderObjects;
}

template <typename F>
F entry(const char* name) {
  return reinterpret_cast<F>(eglGetProcAddress(name));
}

// Counts the names of each kind that are objects now. A name made just for
// this bounds the scan, since a leak pushes it upwards.
LiveObjects countLive() {
  const auto isFramebuffer = entry<PFNGLISFRAMEBUFFEREXTPROC>("glIsFramebufferEXT");
  const auto isRenderbuffer = entry<PFNGLISRENDERBUFFEREXTPROC>("glIsRenderbufferEXT");
  const auto isBuffer = entry<PFNGLISBUFFERARBPROC>("glIsBufferARB");
  const auto isProgram = entry<PFNGLISPROGRAMPROC>("glIsProgram");
  const auto isShader = entry<PFNGLISSHADERPROC>("glIsShader");
  const auto genBuffers = entry<PFNGLGENBUFFERSARBPROC>("glGenBuffersARB");
  const auto deleteBuffers = entry<PFNGLDELETEBUFFERSARBPROC>("glDeleteBuffersARB");
  const auto createShader = entry<PFNGLCREATESHADERPROC>("glCreateShader");
  const auto deleteShader = entry<PFNGLDELETESHADERPROC>("glDeleteShader");

  GLuint texture = 0, buffer = 0;
  glGenTextures(1, &texture);
  genBuffers(1, &buffer);
  const GLuint list = glGenLists(1);
  const GLuint shader = createShader(GL_VERTEX_SHADER);
  const GLuint top = std::max({texture, buffer, list, shader}) + 64;
  glDeleteTextures(1, &texture);
  deleteBuffers(1, &buffer);
  glDeleteLists(list, 1);
  deleteShader(shader);

  LiveObjects live;
  for (GLuint name = 1; name <= top; ++name) {
    live.textures += glIsTexture(name);
    live.framebuffers += isFramebuffer(name);
    live.renderbuffers += isRenderbuffer(name);
    live.buffers += isBuffer(name);
    live.lists += glIsList(name);
    live.shaderObjects += isProgram(name) + isShader(name);
  }
  HeadlessGl::clearErrors();
  return live;
}

// Anonymous resident memory: the heaps and the driver's buffers, without the
// pages of library code that are read in as new paths run.
std::int64_t residentBytes() {
  std::ifstream status("/proc/self/status");
  std::string field;
  std::int64_t kilobytes = 0;
  while (status >> field) {
    if (field == "RssAnon:" && status >> kilobytes) return kilobytes * 1024;
  }
  return 0;
}

constexpr std::int64_t MB = 1 << 20;

class SoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The driver's drawing threads keep as many frames' worth of work in
    // hand as they fall behind, 70 MB each here, so what is resident would
    // follow the machine's load: drawn on this thread, it follows only the
    // program. (Each test runs in a process of its own.)
    setenv("LP_NUM_THREADS", "0", 1);
    // A small window keeps the frames cheap; the targets keep their sizes.
    std::string reason;
    if (!HeadlessGl::ensure(64, 48, &reason)) GTEST_SKIP() << reason;
    // The shipped characters walk the shipped waypoints; the probe shaders,
    // textures and a one-triangle world keep every kind of object while
    // sparing the time of the shipped ones.
    writeProbeData();
    for (const char* name : {"Models/capsuleman.txt", "scene/waypoints.txt"})
      TestDir::write(name, TestDir::read(std::string(NPR_DATA_DIR) + "/" + name));
    TestDir::write("config.cfg", "64 48\n");
    TestDir::write("scene/nprscene.scn",
                   "1\n0.5 0.5 0.5\n1\n3 3 1\n"
                   "0 0 0\n0 1 0\n100 0 0\n0 1 0\n0 100 0\n0 1 0\n"
                   "0 0 0\n1 0 0\n0 0 1\n"
                   "0 1 2\n0 1 2\n0 1 0\n1\n");
    Config::instance().read();
    window.keys = &keys;
    window.app = &app;
    window.width = 64;
    window.height = 48;
    window.bitsPerPixel = 32;
    window.title = windowTitle;
    ASSERT_TRUE(registerRenderClass(&app));
  }
  void TearDown() override { fake().unregisterClass(app.className, app.instance); }

  static FakeWindowSystem& fake() { return HeadlessGl::windowSystem(); }
  // The fake window system records every call; those records are not the
  // demo's memory.
  static void forgetRecords() {
    FakeWindowSystem& f = fake();
    f.calls.clear();
    f.lookedUp.clear();
    f.cursorMoves.clear();
    f.posted.clear();
    f.created.clear();
    f.pixelFormats.clear();
    f.queue.clear();
    for (auto it = f.windows.begin(); it != f.windows.end();)
      it = it->second.alive ? std::next(it) : f.windows.erase(it);
  }

  // One pass of the outer loop, as F1 makes it.
  void rebuild(int frames) {
    ASSERT_TRUE(openRenderWindow(&window));
    ASSERT_TRUE(initDemo(demo, &window, &keys));
    for (int i = 0; i < frames; ++i) {
      updateFrame(demo, 40);
      drawFrame(demo);
    }
    shutdownDemo(demo);
    closeRenderWindow(&window);
    forgetRecords();
  }

  TestDir dir;
  DemoRecord demo;
  AppInstance app;
  KeyStates keys;
  RenderWindow window;
};

TEST_F(SoakTest, HundredRebuildsKeepTheSameObjectsAndMemory) {
  const LiveObjects before = countLive();
  std::int64_t residentAtFive = 0;
  for (int i = 1; i <= 100; ++i) {
    rebuild(2);
    if (HasFatalFailure()) return;
    ASSERT_EQ(countLive(), before) << "after rebuild " << i;
    if (i == 5) residentAtFive = residentBytes();
  }
  const std::int64_t growth = residentBytes() - residentAtFive;
  EXPECT_LT(growth, 4 * MB) << "resident memory grew " << growth / 1024
                            << " KB from rebuild 5 to 100";
  EXPECT_EQ(countEntries("SCN Loaded!"), 100);
}

// Every frame updates, every tenth also draws, to keep the run short: drawing
// all 10,000 leaves memory as flat in ten times the time. Redrawing where the
// characters' shadows fall draws other pieces every frame; the driver's
// buffers of new sizes lift glibc's heap for a while (about 2.5 MB, then flat
// over 30,000 frames; none with a fixed MALLOC_MMAP_THRESHOLD_). A leak of
// 4 KB a drawn frame still fails.
TEST_F(SoakTest, TenThousandFramesOfWalkingKeepTheMemoryFlat) {
  ASSERT_TRUE(openRenderWindow(&window));
  ASSERT_TRUE(initDemo(demo, &window, &keys));
  ASSERT_NE(demo.characters, nullptr);
  // Every call of a frame runs; the one-pixel scissor spares the rasteriser.
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 1, 1);
  std::int64_t residentAtHundred = 0;
  for (int frame = 1; frame <= 10000; ++frame) {
    updateFrame(demo, 40);
    if (frame % 10 == 0) drawFrame(demo);
    if (frame % 100 == 0) forgetRecords();
    if (frame == 100) residentAtHundred = residentBytes();
  }
  const std::int64_t growth = residentBytes() - residentAtHundred;
  glDisable(GL_SCISSOR_TEST);
  shutdownDemo(demo);
  closeRenderWindow(&window);
  EXPECT_LT(growth, 4 * MB) << "resident memory grew " << growth / 1024
                            << " KB from frame 100 to 10,000";
}

}  // namespace
