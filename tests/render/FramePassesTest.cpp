// The frame passes and the composite on the headless context with probe
// shaders and solid textures: what reaches which target, unit and uniform,
// the state a frame leaves, and the skipped steps of a failed extension check.
#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>

#include "app/Window.h"
#include "camera/Camera.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "render/Composite.h"
#include "render/FramePasses.h"
#include "tests/render/DemoHarness.h"

namespace {

using namespace demo_harness;
using Matrix = std::array<GLfloat, 16>;

Matrix currentMatrix(GLenum which) {
  Matrix m{};
  glGetFloatv(which, m.data());
  return m;
}

void expectMatrixNear(const Matrix& actual, const Matrix& expected, float tolerance,
                      const char* what) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " element " << i;
}

const Matrix identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Matrices built independently of the frame, on a pushed modelview.
Matrix buildMatrix(void (*build)()) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  build();
  const Matrix m = currentMatrix(GL_MODELVIEW_MATRIX);
  glPopMatrix();
  return m;
}

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

GLuint boundTexture(int unit) {
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  const GLint name = integer(GL_TEXTURE_BINDING_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  return static_cast<GLuint>(name);
}

bool near(const unsigned char* pixel, int r, int g, int b, int tolerance = 3) {
  return std::abs(pixel[0] - r) <= tolerance && std::abs(pixel[1] - g) <= tolerance &&
         std::abs(pixel[2] - b) <= tolerance;
}

std::string describe(const unsigned char* p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) +
         ", " + std::to_string(p[3]) + ")";
}

class FramePassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    writeProbeData();
    session.start();
    W = viewWidth;
    H = viewHeight;
  }

  TestDir dir;
  DemoSession session;
  int W = 0, H = 0;
};

TEST_F(FramePassesTest, ProbeDataBuildsEveryProgramAndTarget) {
  const std::string log = logText();
  EXPECT_EQ(countEntries(log, "Shader Validation ID: "), 6) << log;
  EXPECT_EQ(countEntries(log, "Framebuffer Complete"), 5) << log;
  EXPECT_NE(sharedQuadric, nullptr);
  for (GLuint texture : textureIds) EXPECT_NE(texture, 0u);
}

TEST_F(FramePassesTest, FrameLeavesTheStateItPromisesInEveryStyle) {
  struct Case {
    int style;
    int stereo;
    float offset;
    std::array<GLuint, 4> units;  // unit 0 .. unit 3 after the composite
  };
  const GLuint t0 = renderTargets.texture(0), t1 = renderTargets.texture(1);
  const GLuint t3 = renderTargets.texture(3), t4 = renderTargets.texture(4);
  const Case cases[] = {
      {1, 0, 0.0f, {t0, t1, textureIds[0], textureIds[1]}},
      {2, 0, 0.0f, {t0, textureIds[0], textureIds[1], textureIds[2]}},
      {3, 0, 0.0f, {t0, textureIds[0], textureIds[1], textureIds[2]}},
      {1, 1, 0.3f, {t3, t4, textureIds[0], textureIds[1]}},
      {2, 1, 0.3f, {t3, textureIds[0], textureIds[1], textureIds[2]}},
      {3, 1, -0.2f, {t3, textureIds[0], textureIds[1], textureIds[2]}},
  };
  const std::string logBefore = logText();
  for (const Case& c : cases) {
    SCOPED_TRACE("style " + std::to_string(c.style) + " stereo " + std::to_string(c.stereo));
    eyeOffset = c.offset;
    session.frames(2, c.style, c.stereo);

    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ((std::array<GLfloat, 4>{clear[0], clear[1], clear[2], clear[3]}),
              (std::array<GLfloat, 4>{0, 1, 1, 1}));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const std::array<GLint, 4> expectedViewport =
        c.stereo ? std::array<GLint, 4>{W / 2, 0, W / 2, H} : std::array<GLint, 4>{0, 0, W, H};
    EXPECT_EQ((std::array<GLint, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}),
              expectedViewport);

    for (int unit = 0; unit < 4; ++unit) {
      EXPECT_EQ(boundTexture(unit), c.units[unit]) << "unit " << unit;
      glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "fixed-function texturing on unit " << unit;
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);

    // The composite gives back the caller's modelview: the last eye's view.
    using Build = void (*)();
    const Build lastEye = [] { demoCamera.applyOffsetView(eyeOffset); };
    const Build single = [] { demoCamera.applyView(); };
    const Matrix view = buildMatrix(c.stereo ? lastEye : single);
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), view, 1e-5f, "modelview");
    Matrix ortho{};
    glGetFloatv(GL_PROJECTION_MATRIX, ortho.data());
    expectMatrixNear(ortho, buildMatrix([] { glOrtho(0, 1, 0, 1, 0, 1); }), 1e-6f, "projection");
  }
  EXPECT_EQ(logText(), logBefore) << "a frame reported a GL error";
}

TEST_F(FramePassesTest, LightMatricesAndShadowMatrixAreCapturedEachFrame) {
  session.frames(1, 1, 0);
  const Matrix lookAt = buildMatrix([] { gluLookAt(-90, 140, -90, 0, 0, 0, 0, 1, 0); });
  const Matrix ortho = buildMatrix([] { glOrtho(-8.5, 8.5, -6.5, 6.5, 150.1f, 200.0); });
  Matrix modelview, projection;
  std::copy(lightModelview, lightModelview + 16, modelview.begin());
  std::copy(lightProjection, lightProjection + 16, projection.begin());
  expectMatrixNear(modelview, lookAt, 1e-4f, "lightModelview");
  expectMatrixNear(projection, ortho, 1e-6f, "lightProjection");

  const Matrix shadow = buildMatrix([] {
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    glMultMatrixf(lightProjection);
    glMultMatrixf(lightModelview);
  });
  glMatrixMode(GL_TEXTURE);
  expectMatrixNear(currentMatrix(GL_TEXTURE_MATRIX), shadow, 1e-6f, "texture matrix 0");
  glActiveTextureARB(GL_TEXTURE1_ARB);
  expectMatrixNear(currentMatrix(GL_TEXTURE_MATRIX), identity, 0.0f, "texture matrix 1");
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glMatrixMode(GL_MODELVIEW);

  // The light's origin maps to the middle of the shadow image.
  const GLfloat* s = shadow.data();
  EXPECT_NEAR(s[12], 0.5f, 1e-4f);
  EXPECT_NEAR(s[13], 0.5f, 1e-4f);
}

TEST_F(FramePassesTest, PassUniformsReachTheirPrograms) {
  auto getUniform =
      reinterpret_cast<PFNGLGETUNIFORMFVARBPROC>(eglGetProcAddress("glGetUniformfvARB"));
  auto getUniformInt =
      reinterpret_cast<PFNGLGETUNIFORMIVARBPROC>(eglGetProcAddress("glGetUniformivARB"));
  ASSERT_TRUE(getUniform && getUniformInt);
  waterMove = 0.375f;
  session.frames(1, 1, 0);
  const Vector3 eye = demoCamera.eye;
  struct Case {
    int slot;
    const char* name;
    std::array<float, 4> value;
    int components;
  };
  const Case cases[] = {
      {4, "lightPos", {-90, 140, -90, 1}, 4}, {2, "lightPos", {-90, 140, -90, 1}, 4},
      {1, "lightPos", {-90, 140, -90, 1}, 4}, {1, "camPos", {eye.x, eye.y, eye.z, 1}, 4},
      {5, "lightPos", {-90, 140, -90, 1}, 4}, {5, "camPos", {eye.x, eye.y, eye.z, 1}, 4},
      {5, "waterMove", {0.375f, 0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    const GLhandleARB program = shaderPrograms.program(c.slot);
    const GLint location = glGetUniformLocationARB(program, c.name);
    ASSERT_GE(location, 0) << c.name << " of slot " << c.slot;
    std::array<float, 4> value{};
    getUniform(program, location, value.data());
    for (int i = 0; i < c.components; ++i)
      EXPECT_FLOAT_EQ(value[i], c.value[i]) << c.name << " of slot " << c.slot << " [" << i << "]";
  }
  for (auto [slot, name] : {std::pair<int, const char*>{2, "shadowMap"}, {5, "normalMap"}}) {
    GLint unit = -1;
    getUniformInt(shaderPrograms.program(slot),
                  glGetUniformLocationARB(shaderPrograms.program(slot), name), &unit);
    EXPECT_EQ(unit, 0) << name;
  }
}

TEST_F(FramePassesTest, StyleOneShowsColourNormalAndHatchImagesOnTheirUnits) {
  waterMove = 0.5f;
  for (int stereo : {0, 1}) {
    SCOPED_TRACE(stereo ? "stereo" : "single");
    session.frames(1, 1, stereo);
    const Picture window = readWindow();
    const int halves = stereo ? 2 : 1;
    const int span = W / halves;
    for (int half = 0; half < halves; ++half) {
      const int left = half * span;
      auto sample = [&](double u, double v) {
        return window.at(left + static_cast<int>(u * span), static_cast<int>(v * H));
      };
      // Bottom: water everywhere; top: the sky, i.e. the targets' clear colour.
      EXPECT_TRUE(near(sample(0.1, 0.05), 0, 0, 255)) << describe(sample(0.1, 0.05));
      EXPECT_TRUE(near(sample(0.4, 0.05), 255, 255, 128, 4)) << describe(sample(0.4, 0.05));
      EXPECT_TRUE(near(sample(0.1, 0.97), 0, 255, 255)) << describe(sample(0.1, 0.97));
      EXPECT_TRUE(near(sample(0.4, 0.97), 0, 255, 255)) << describe(sample(0.4, 0.97));
      for (double v : {0.05, 0.97}) {
        EXPECT_TRUE(near(sample(0.6, v), 255, 0, 0)) << describe(sample(0.6, v));
        EXPECT_TRUE(near(sample(0.9, v), 0, 255, 0)) << describe(sample(0.9, v));
      }
    }
  }
}

TEST_F(FramePassesTest, LayeredStylesMultiplyFourLayersWithTheirUniforms) {
  struct Case {
    int style;
    int stereo;
  };
  // Upper half: the product over the layers of each layer's encoded uniforms.
  auto expected = [](float firstScale, float blue, float edge) {
    const float layerScale = std::pow(1.0f - 0.1f, 3.0f);
    return std::array<float, 4>{
        (1.0f - firstScale * 10.0f) * layerScale,
        1.0f * (1.0f - 0.25f) * (1.0f - 0.125f) * (1.0f - 0.375f),
        std::pow(blue, 4.0f),
        std::pow(1.0f - edge * 100.0f, 4.0f),
    };
  };
  const std::array<float, 4> grey = expected(0.005f, 0.6f, 0.0014f);
  const std::array<float, 4> blue = expected(0.009f, 0.7f, 0.004f);
  // 3 after 2 and 2 after 3: nothing of the other style lingers.
  for (const Case& c : {Case{2, 0}, Case{3, 0}, Case{2, 0}, Case{3, 1}, Case{2, 1}}) {
    SCOPED_TRACE("style " + std::to_string(c.style) + " stereo " + std::to_string(c.stereo));
    session.frames(1, c.style, c.stereo);
    const Picture window = readWindow();
    const std::array<float, 4>& want = c.style == 2 ? grey : blue;
    const int halves = c.stereo ? 2 : 1;
    for (int half = 0; half < halves; ++half) {
      const int left = half * (W / halves);
      const unsigned char* top = window.at(left + W / halves / 2, H * 3 / 4);
      for (int channel = 0; channel < 4; ++channel)
        EXPECT_NEAR(top[channel], want[channel] * 255.0f, 4.0f)
            << "channel " << channel << " of " << describe(top);
      // Lower half, quarters: colour image (water), textures 0, 1 and 2.
      const int quarter = W / halves / 4;
      EXPECT_TRUE(near(window.at(left + quarter / 2, 20), 0, 0, 255))
          << describe(window.at(left + quarter / 2, 20));
      EXPECT_TRUE(near(window.at(left + quarter * 3 / 2, 20), 255, 0, 0));
      EXPECT_TRUE(near(window.at(left + quarter * 5 / 2, 20), 0, 255, 0));
      EXPECT_TRUE(near(window.at(left + quarter * 7 / 2, 20), 255, 0, 255));
    }
  }
}

TEST_F(FramePassesTest, StereoHalvesAgreeWithoutEyeOffsetAndDifferWithIt) {
  auto differingPixels = [&](const Picture& a, const Picture& b) {
    int differing = 0;
    for (size_t i = 0; i < a.rgba.size(); i += 4)
      if (std::abs(a.rgba[i] - b.rgba[i]) + std::abs(a.rgba[i + 1] - b.rgba[i + 1]) +
              std::abs(a.rgba[i + 2] - b.rgba[i + 2]) >
          30)
        ++differing;
    return differing;
  };
  for (float offset : {0.0f, 0.8f}) {
    eyeOffset = offset;
    session.frames(1, 1, 1);
    const int leftImage = differingPixels(readTarget(0), readTarget(3));
    const Picture window = readWindow();
    const int halves =
        differingPixels(window.crop(0, 0, W / 2, H), window.crop(W / 2, 0, W / 2, H));
    if (offset == 0.0f) {
      EXPECT_EQ(leftImage, 0);
      EXPECT_EQ(halves, 0);
    } else {
      EXPECT_GT(leftImage, 200) << "the eyes' colour images should see the water's corner apart";
      EXPECT_GT(halves, 50);
    }
  }
}

TEST_F(FramePassesTest, WaterQuadIsAnUpwardTiledPlaneAtItsHeight) {
  shaderPrograms.unuse();
  for (float move : {0.0f, 0.0785398f, 0.2356194f, 1234.5f}) {
    SCOPED_TRACE("phase " + std::to_string(move));
    waterMove = move;
    // Feedback returns the plane's vertices as they leave the transform.
    std::array<GLfloat, 512> buffer{};
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glScalef(1.0f / 64.0f, 1.0f, 1.0f / 64.0f);  // inside the clip volume
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, 2048, 2048);  // window x = (x / 64 + 1) * 1024, y = (y + 1) * 1024
    glDisable(GL_CULL_FACE);
    drawWaterQuad(30.0f);
    glEnable(GL_CULL_FACE);
    const GLint values = glRenderMode(GL_RENDER);
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    const float height = static_cast<float>(std::sin(20.0 * move) * 0.005 - 0.45);
    EXPECT_GE(height, -0.455f);
    EXPECT_LE(height, -0.445f);
    if (move == 0.0f) {
      EXPECT_EQ(height, -0.45f);
    }

    // Polygons (the quad, or the triangles it was split into) of 12 values
    // per vertex: x, y, z, w, r, g, b, a, s, t, r, q.
    std::set<std::pair<int, int>> corners;
    int polygons = 0;
    for (GLint at = 0; at < values;) {
      ASSERT_EQ(buffer[at], static_cast<GLfloat>(GL_POLYGON_TOKEN));
      const int count = static_cast<int>(buffer[at + 1]);
      const GLfloat* v = &buffer[at + 2];
      float x[8], z[8];
      for (int i = 0; i < count; ++i, v += 12) {
        x[i] = (v[0] / 1024.0f - 1.0f) * 64.0f;
        z[i] = (2.0f * v[2] - 1.0f) * 64.0f;
        EXPECT_NEAR(v[1] / 1024.0f - 1.0f, height, 1e-5f);
        EXPECT_EQ((std::array<GLfloat, 3>{v[4], v[5], v[6]}), (std::array<GLfloat, 3>{0, 0, 1}));
        // Texture coordinates run 0..15 across the 60 units: 15 tiles.
        EXPECT_NEAR(v[8], (x[i] + 30.0f) / 4.0f, 1e-3f);
        EXPECT_NEAR(v[9], (z[i] + 30.0f) / 4.0f, 1e-3f);
        corners.insert({static_cast<int>(std::lround(x[i])), static_cast<int>(std::lround(z[i]))});
      }
      // Counter-clockwise seen from above: the face's normal points up.
      const float up = (z[1] - z[0]) * (x[2] - x[0]) - (x[1] - x[0]) * (z[2] - z[0]);
      EXPECT_GT(up, 0.0f);
      ++polygons;
      at += 2 + count * 12;
    }
    EXPECT_GE(polygons, 1);
    EXPECT_EQ(corners, (std::set<std::pair<int, int>>{{30, 30}, {30, -30}, {-30, -30}, {-30, 30}}));
  }
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ((std::array<GLfloat, 3>{colour[0], colour[1], colour[2]}),
            (std::array<GLfloat, 3>{1, 1, 1}));
}

TEST_F(FramePassesTest, APendingErrorWritesOneEntryPerFrame) {
  session.frames(1, 1, 0);
  const std::string before = logText();
  glEnable(0x7FFF);      // invalid enumerant
  glMatrixMode(0x7FFE);  // and another
  session.frames(1, 1, 0);
  const std::string after = logText();
  ASSERT_GT(after.size(), before.size());
  const std::string added = after.substr(before.size());
  EXPECT_EQ(added,
            std::string(reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM))) + "\n\n");
  session.frames(3, 2, 1);
  EXPECT_EQ(logText(), after);
}

TEST_F(FramePassesTest, ToggleRebuildsEverythingAndKeepsTheLook) {
  session.frames(1, 3, 1);
  eyeOffset = 0.4f;
  waterMove = 12.5f;
  demoCamera.eye = Vector3(5.0f, 2.0f, 1.0f);
  session.stop();
  EXPECT_EQ(sharedQuadric, nullptr);
  EXPECT_EQ(characters, nullptr);

  // As after F1: the new window's initialisation, then frames.
  HeadlessGl::clearErrors();
  ASSERT_TRUE(initDemo(&session.window, &session.keys));
  session.running = true;
  EXPECT_NE(sharedQuadric, nullptr);
  EXPECT_EQ(compositeStyle, 3);
  EXPECT_EQ(stereoEnabled, 1);
  EXPECT_EQ(eyeOffset, 0.4f);
  EXPECT_EQ(waterMove, 12.5f);
  EXPECT_EQ(demoCamera.eye.x, 0.0f);
  EXPECT_EQ(demoCamera.eye.y, 0.3125f);
  const std::string log = logText();
  EXPECT_EQ(countEntries(log, "Shader Validation ID: "), 12);
  EXPECT_EQ(countEntries(log, "Framebuffer Complete"), 10);
  drawFrame();
  EXPECT_EQ(logText(), log);
}

// A failed extension check: the demo shows its messages and runs with what it
// has. Calling a missing entry point would crash the test.
class MissingExtensionTest : public FramePassesTest {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    writeProbeData();
    saved = HeadlessGl::windowSystem().procLookup;
  }
  void TearDown() override {
    session.stop();
    HeadlessGl::windowSystem().procLookup = saved;
    setExtensionStringSource(nullptr);
    HeadlessGl::windowSystem().boxes.clear();
  }
  void hideEntryPoints(std::set<std::string> names) {
    HeadlessGl::windowSystem().procLookup = [names](const char* name) -> void* {
      if (names.count(name)) return nullptr;
      return reinterpret_cast<void*>(eglGetProcAddress(name));
    };
  }
  static const char* withoutMultitexture() {
    static std::string text;
    text = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    for (size_t at; (at = text.find("GL_ARB_multitexture")) != std::string::npos;)
      text.erase(at, 19);
    return text.c_str();
  }
  std::function<void*(const char*)> saved;
};

TEST_F(MissingExtensionTest, EveryStyleRunsWithWhatIsLeft) {
  struct Case {
    const char* what;
    bool multitexture;
    std::set<std::string> hidden;
    const char* message;  // a box or log entry that must appear
  };
  const Case cases[] = {
      {"multitexture", false, {}, "Multitexturing not supported!"},
      {"shaders",
       true,
       {"glUseProgramObjectARB", "glUniform1iARB", "glGetUniformLocationARB"},
       "Not all entrypoints available!"},
      {"framebuffers",
       true,
       {"glBindFramebufferEXT", "glGenFramebuffersEXT"},
       "Error: EXT_framebuffer_object entrypoints not found!"},
      {"all three",
       false,
       {"glUseProgramObjectARB", "glBindFramebufferEXT"},
       "Multitexturing not supported!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HeadlessGl::windowSystem().boxes.clear();
    hideEntryPoints(c.hidden);
    setExtensionStringSource(c.multitexture ? nullptr : withoutMultitexture);
    session.start();
    std::string messages = logText();
    for (const auto& box : HeadlessGl::windowSystem().boxes) messages += box.text + "\n";
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    for (int style = 1; style <= 3; ++style) {
      session.frames(1, style, 0);
      session.frames(1, style, 1);
    }
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    session.stop();
    EXPECT_EQ(sharedQuadric, nullptr);
    setExtensionStringSource(nullptr);
    HeadlessGl::windowSystem().procLookup = saved;
  }
}

TEST_F(MissingExtensionTest, WithoutMultitextureTheColourImageStillReachesTheWindow) {
  setExtensionStringSource(withoutMultitexture);
  session.start();
  ASSERT_EQ(glActiveTextureARB, nullptr);
  session.frames(1, 1, 0);
  const Picture window = readWindow();
  EXPECT_TRUE(near(window.at(W / 8, 20), 0, 0, 255)) << describe(window.at(W / 8, 20));
}

}  // namespace
