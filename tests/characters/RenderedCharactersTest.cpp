// The characters in the demo's own frames: a picture with them differs from
// one without them where they stand and where their shadows fall.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "characters/CharacterManager.h"
#include "tests/render/DemoHarness.h"

namespace {

using namespace demo_harness;

// Twenty walkers start together one unit in -x and -z from the only
// waypoint, at (0, -0.45, -2.6) on the water, in front of the demo's camera.
// The scene is left out so that nothing of the world hides them.
Picture frameOfTheDemo(bool withCharacters, int style) {
  TestDir dir;
  copyShippedData();
  TestDir::write("scene/waypoints.txt", "1 100 -45 160 1 1 1\n");
  std::filesystem::remove("scene/nprscene.scn");
  if (!withCharacters) std::filesystem::remove("Models/capsuleman.txt");
  DemoSession demo;
  demo.start();
  EXPECT_EQ(demo.demo.characters->placedCount(), withCharacters ? 20 : 0);
  demo.frames(2, style, 0);
  Picture picture = demo_harness::readWindow();
  demo.stop();
  return picture;
}

// Window position of a scene point as the demo's mono camera sees it.
void project(double x, double y, double z, double& wx, double& wy) {
  GLdouble model[16], projection[16], wz;
  GLint viewport[4] = {0, 0, HeadlessGl::width(), HeadlessGl::height()};
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(75.0, static_cast<double>(viewport[2]) / viewport[3], 0.1, 100.0);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  gluLookAt(0.0, 0.3125, 0.0, 0.3125, 0.0, -1.0, 0.0, 1.0, 0.0);
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glPopMatrix();
  gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
}

TEST(RenderedCharacters, FramesShowTheCharactersAndTheirShadowsWhereTheyStand) {
  REQUIRE_HEADLESS_GL();
  for (const std::string& name : missingShippedFiles()) {
    if (name != "scene/waypoints.txt" && name != "scene/nprscene.scn")
      GTEST_SKIP() << "shipped data incomplete: " << name;
  }
  double footX, footY, headX, headY, shadowX, shadowY;
  project(0.0, -0.45, -2.6, footX, footY);
  project(0.0, -0.15, -2.6, headX, headY);
  // Halfway along the shadow the light (-90, 140, -90) casts of the figure.
  project(0.0965, -0.45, -2.5065, shadowX, shadowY);
  ASSERT_GT(headY, footY + 20.0) << "the camera does not look where expected";
  const double figureHeight = headY - footY;
  for (int style = 1; style <= 3; ++style) {
    SCOPED_TRACE("style " + std::to_string(style));
    const Picture with = frameOfTheDemo(true, style), without = frameOfTheDemo(false, style);
    ASSERT_EQ(with.rgba.size(), without.rgba.size());
    int onFigure = 0, onShadow = 0, elsewhere = 0;
    for (int y = 0; y < with.height; ++y) {
      for (int x = 0; x < with.width; ++x) {
        if (std::fabs(with.luma(x, y) - without.luma(x, y)) < 0.1) continue;
        const double dx = x - footX, dy = y - footY;
        if (std::fabs(dx) < 0.4 * figureHeight && dy > 0 && dy < figureHeight)
          ++onFigure;
        else if (std::hypot(x - shadowX, y - shadowY) < 0.4 * figureHeight)
          ++onShadow;
        else if (std::hypot(dx, dy) > 1.5 * figureHeight)
          ++elsewhere;
      }
    }
    const int area = static_cast<int>(figureHeight * figureHeight);
    EXPECT_GT(onFigure, area / 10);
    EXPECT_GT(onShadow, area / 60);
    EXPECT_LT(elsewhere, onFigure / 10);
    if (HasFailure()) keepPicture(with, "characters-with-style" + std::to_string(style));
  }
}

}  // namespace
