// Stand-in demo hooks until the renderer lands: a cleared window that answers
// Escape and F1.
#include "app/Shell.h"
#include "gl/Extensions.h"

namespace {
RenderWindow* minimalWindow = nullptr;
KeyStates* minimalKeys = nullptr;
}  // namespace

bool initDemo(RenderWindow* window, KeyStates* keys) {
  minimalWindow = window;
  minimalKeys = keys;
  initMultitextureExtensions();
  glClearColor(0.95f, 0.93f, 0.88f, 1.0f);
  return true;
}

void updateFrame(std::uint32_t) {
  if (minimalKeys->held[ws::VkEscape] == 1) requestQuit(minimalWindow);
  if (minimalKeys->held[ws::VkF1] == 1) requestScreenModeToggle(minimalWindow);
}

void drawFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glFlush();
}

void shutdownDemo() {}
