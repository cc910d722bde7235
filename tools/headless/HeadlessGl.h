// A real compatibility-profile GL context without a display (EGL on Mesa's
// surfaceless platform, rendering into a pbuffer that stands in for the
// window). The context is made once per process and stays current.
#pragma once

#include <string>
#include <vector>

#include "platform/fake/FakeWindowSystem.h"

class HeadlessGl {
 public:
  // Creates the context on first use (width x height is the "window" size)
  // and returns false, with a reason, where it cannot be had.
  static bool ensure(int width = 1024, int height = 768, std::string* reason = nullptr);
  // A fake window system whose entry-point look-up is the real one.
  static FakeWindowSystem& windowSystem();
  static int width();
  static int height();
  // The window framebuffer's pixels, RGBA, bottom row first.
  static std::vector<unsigned char> readWindow();
  // Drains pending GL errors.
  static void clearErrors();
};

// Whether a missing context is a fault rather than a reason to skip: set by
// NPR_REQUIRE_GL (as the full test run sets it), never where this build has
// no context to make.
bool headlessGlRequired();
