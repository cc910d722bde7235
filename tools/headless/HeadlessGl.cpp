#include "tools/headless/HeadlessGl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstdlib>

#include "gl/GlApi.h"

namespace {

struct State {
  bool tried = false;
  bool ok = false;
  std::string reason;
  int width = 0;
  int height = 0;
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
  FakeWindowSystem* system = nullptr;
};

State& state() {
  static State s;
  return s;
}

bool create(State& s, int width, int height) {
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    s.reason = "EGL has no eglGetPlatformDisplayEXT";
    return false;
  }
  s.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (s.display == EGL_NO_DISPLAY || !eglInitialize(s.display, &major, &minor)) {
    s.reason = "no surfaceless EGL display";
    return false;
  }
  const EGLint attributes[] = {EGL_SURFACE_TYPE,
                               EGL_PBUFFER_BIT,
                               EGL_RENDERABLE_TYPE,
                               EGL_OPENGL_BIT,
                               EGL_RED_SIZE,
                               8,
                               EGL_GREEN_SIZE,
                               8,
                               EGL_BLUE_SIZE,
                               8,
                               EGL_ALPHA_SIZE,
                               8,
                               EGL_DEPTH_SIZE,
                               16,
                               EGL_STENCIL_SIZE,
                               1,
                               EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(s.display, attributes, &config, 1, &count) || count < 1) {
    s.reason = "no EGL config for desktop GL with a pbuffer";
    return false;
  }
  eglBindAPI(EGL_OPENGL_API);
  const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  s.surface = eglCreatePbufferSurface(s.display, config, size);
  s.context = eglCreateContext(s.display, config, EGL_NO_CONTEXT, nullptr);
  if (s.surface == EGL_NO_SURFACE || s.context == EGL_NO_CONTEXT ||
      !eglMakeCurrent(s.display, s.surface, s.surface, s.context)) {
    s.reason = "cannot make an EGL context current";
    return false;
  }
  s.width = width;
  s.height = height;
  s.system = new FakeWindowSystem;
  s.system->procLookup = [](const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
  };
  return true;
}

}  // namespace

bool HeadlessGl::ensure(int width, int height, std::string* reason) {
  State& s = state();
  if (!s.tried) {
    s.tried = true;
    s.ok = create(s, width, height);
  }
  if (s.ok) s.system->install();
  if (!s.ok && reason) *reason = s.reason;
  return s.ok;
}

FakeWindowSystem& HeadlessGl::windowSystem() { return *state().system; }

int HeadlessGl::width() { return state().width; }

int HeadlessGl::height() { return state().height; }

std::vector<unsigned char> HeadlessGl::readWindow() {
  std::vector<unsigned char> pixels(static_cast<size_t>(width()) * height() * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width(), height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

void HeadlessGl::clearErrors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

bool headlessGlRequired() {
  const char* value = std::getenv("NPR_REQUIRE_GL");
  return value && *value && std::string(value) != "0";
}
