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

// Where no headless context can be made the test skips with the reason, or
// fails with it when NPR_REQUIRE_GL is set (as the full test run sets it), so
// a machine without working EGL cannot pass the GL tests by skipping them.
bool headlessGlRequired();

#define REQUIRE_HEADLESS_GL()                                            \
  do {                                                                   \
    std::string reason_;                                                 \
    if (!HeadlessGl::ensure(1024, 768, &reason_)) {                      \
      if (headlessGlRequired()) FAIL() << "no headless GL: " << reason_; \
      GTEST_SKIP() << reason_;                                           \
    }                                                                    \
  } while (0)
