// The Windows test build has no display-less GL context (the other build's
// comes from EGL on Mesa): the GL tests skip there with this reason, while
// the tests of the same programs that need no context still run.
#include "tools/headless/HeadlessGl.h"

#include "gl/GlApi.h"

namespace {
FakeWindowSystem& fallbackSystem() {
  static FakeWindowSystem system;
  return system;
}
}  // namespace

bool HeadlessGl::ensure(int, int, std::string* reason) {
  if (reason) *reason = "no display-less GL context in the Windows build";
  return false;
}

FakeWindowSystem& HeadlessGl::windowSystem() { return fallbackSystem(); }

int HeadlessGl::width() { return 0; }

int HeadlessGl::height() { return 0; }

std::vector<unsigned char> HeadlessGl::readWindow() { return {}; }

void HeadlessGl::clearErrors() {}

// Skipping is this build's design, not a broken machine.
bool headlessGlRequired() { return false; }
