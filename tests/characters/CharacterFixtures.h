// What the character tests share: a GL context, a quadric made as the demo
// makes it for building the model's capsule lists, and a small model.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "characters/CharacterModel.h"
#include "gl/Extensions.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

#define REQUIRE_CHARACTER_GL()                 \
  do {                                         \
    REQUIRE_HEADLESS_GL();                     \
    ASSERT_TRUE(initMultitextureExtensions()); \
  } while (0)

// One for the whole test program.
inline GLUquadric* capsuleQuadric() {
  static GLUquadric* const quadric = [] {
    GLUquadric* made = gluNewQuadric();
    gluQuadricTexture(made, GL_TRUE);
    gluQuadricNormals(made, GLU_SMOOTH);
    return made;
  }();
  return quadric;
}

// Three clips over two frames of one bone (radius 10, length 100); the
// second frame's key record is `frame1`.
inline std::string oneBoneModel(const std::string& frame1 = "0 0 0 0 0 0 1") {
  return "3 0 1 0.01 0 1 0.02 1 1 0.005 1 10 100 1 0 0 0 0 0 0 1 " + frame1;
}
