// The frame passes and the composite on the headless context with probe
// shaders and solid textures: what reaches which target, unit and uniform,
// the state a frame leaves, and the skipped steps of a failed extension check.
#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <set>
#include <string>

#include "camera/Camera.h"
#include "characters/CharacterManager.h"
#include "gl/Projection.h"
#include "gl/ShaderPrograms.h"
#include "gl/Textures.h"
#include "render/Composite.h"
#include "render/Water.h"
#include "render/FramePasses.h"
#include "tests/render/DemoHarness.h"

namespace {

using namespace demo_harness;
using Matrix = std::array<GLfloat, 16>;

void expectMatrixNear(const GLfloat* actual, const Matrix& expected, float tolerance,
                      const char* what) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(actual[i], expected[i], tolerance) << what << " element " << i;
}

Matrix current(GLenum which) {
  Matrix m{};
  glGetFloatv(which, m.data());
  return m;
}

// Matrices built independently of the frame, on a pushed modelview.
Matrix buildMatrix(const std::function<void()>& build) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  build();
  const Matrix m = current(GL_MODELVIEW_MATRIX);
  glPopMatrix();
  return m;
}

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// The pixel is the colour within the tolerance; says which colour it is otherwise.
::testing::AssertionResult near(const unsigned char* p, int r, int g, int b, int tolerance = 3) {
  if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
      std::abs(p[2] - b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << int(p[0]) << ", " << int(p[1]) << ", " << int(p[2]) << ")";
}

class FramePassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    writeProbeData();
    session.start();
    W = demo.viewWidth;
    H = demo.viewHeight;
  }

  TestDir dir;
  DemoSession session;
  DemoRecord& demo = session.demo;
  int W = 0, H = 0;
};

TEST_F(FramePassesTest, FrameLeavesTheStateItPromisesInEveryStyle) {
  struct Case {
    int style;
    int stereo;
    float offset;
    std::array<GLuint, 4> units;  // unit 0 .. unit 3 after the composite
  };
  const GLuint t0 = demo.renderTargets.texture(0), t1 = demo.renderTargets.texture(1);
  const GLuint t3 = demo.renderTargets.texture(3), t4 = demo.renderTargets.texture(4);
  const Case cases[] = {
      {1, 0, 0.0f, {t0, t1, demo.textureIds[0], demo.textureIds[1]}},
      {2, 0, 0.0f, {t0, demo.textureIds[0], demo.textureIds[1], demo.textureIds[2]}},
      {1, 1, 0.3f, {t3, t4, demo.textureIds[0], demo.textureIds[1]}},
      {3, 1, -0.2f, {t3, demo.textureIds[0], demo.textureIds[1], demo.textureIds[2]}},
  };
  const std::string logBefore = logText();
  for (const Case& c : cases) {
    SCOPED_TRACE("style " + std::to_string(c.style) + " stereo " + std::to_string(c.stereo));
    demo.eyeOffset = c.offset;
    session.frames(2, c.style, c.stereo);

    EXPECT_EQ(integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
    std::array<GLint, 4> viewport;
    glGetIntegerv(GL_VIEWPORT, viewport.data());
    EXPECT_EQ(viewport, (c.stereo ? std::array<GLint, 4>{W / 2, 0, W / 2, H}
                                  : std::array<GLint, 4>{0, 0, W, H}));

    for (int unit = 0; unit < 4; ++unit) {
      glActiveTextureARB(GL_TEXTURE0_ARB + unit);
      EXPECT_EQ(GLuint(integer(GL_TEXTURE_BINDING_2D)), c.units[unit]) << "unit " << unit;
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "fixed-function texturing on unit " << unit;
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);

    // The composite gives back the caller's modelview: the last eye's view.
    const Matrix view = c.stereo
                            ? buildMatrix([&] { demo.demoCamera.applyOffsetView(demo.eyeOffset); })
                            : buildMatrix([&] { demo.demoCamera.applyView(); });
    expectMatrixNear(current(GL_MODELVIEW_MATRIX).data(), view, 1e-5f, "modelview");
  }
  EXPECT_EQ(logText(), logBefore) << "a frame reported a GL error";
}

TEST_F(FramePassesTest, LightAndShadowMatricesAreCapturedEachFrame) {
  session.frames(1, 1, 0);
  expectMatrixNear(demo.shadowPass.lightModelview,
                   buildMatrix([] { gluLookAt(-90, 140, -90, 0, 0, 0, 0, 1, 0); }), 1e-4f,
                   "light view");
  expectMatrixNear(demo.shadowPass.lightProjection,
                   buildMatrix([] { glOrtho(-8.5, 8.5, -6.5, 6.5, 150.1f, 200.0); }), 1e-6f,
                   "light projection");
  // Texture matrix 0 maps into the shadow image.
  glMatrixMode(GL_TEXTURE);
  expectMatrixNear(current(GL_TEXTURE_MATRIX).data(), buildMatrix([&] {
                     glTranslatef(0.5f, 0.5f, 0.5f);
                     glScalef(0.5f, 0.5f, 0.5f);
                     glMultMatrixf(demo.shadowPass.lightProjection);
                     glMultMatrixf(demo.shadowPass.lightModelview);
                   }),
                   1e-6f, "shadow matrix");
  glMatrixMode(GL_MODELVIEW);
}

TEST_F(FramePassesTest, PassUniformsReachTheirPrograms) {
  auto getUniform =
      reinterpret_cast<PFNGLGETUNIFORMFVARBPROC>(eglGetProcAddress("glGetUniformfvARB"));
  auto getUniformInt =
      reinterpret_cast<PFNGLGETUNIFORMIVARBPROC>(eglGetProcAddress("glGetUniformivARB"));
  ASSERT_TRUE(getUniform && getUniformInt);
  demo.waterMove = 0.375f;
  session.frames(1, 1, 0);
  const Vector3 eye = demo.demoCamera.eye;
  const std::array<float, 4> light = {-90, 140, -90, 1}, camera = {eye.x, eye.y, eye.z, 1};
  const struct {
    int slot;
    const char* name;
    std::array<float, 4> value;  // a float uniform compares its first component
  } cases[] = {{4, "lightPos", light},
               {2, "lightPos", light},
               {1, "lightPos", light},
               {1, "camPos", camera},
               {5, "lightPos", light},
               {5, "camPos", camera},
               {5, "waterMove", {0.375f, 0.375f, 0.375f, 0.375f}}};
  for (const auto& c : cases) {
    const GLhandleARB program = demo.shaderPrograms.program(c.slot);
    const GLint location = glGetUniformLocationARB(program, c.name);
    ASSERT_GE(location, 0) << c.name << " of slot " << c.slot;
    std::array<float, 4> value{};
    getUniform(program, location, value.data());
    if (std::string(c.name) == "waterMove") value.fill(value[0]);
    EXPECT_EQ(value, c.value) << c.name << " of slot " << c.slot;
  }
  for (auto [slot, name] : {std::pair<int, const char*>{2, "shadowMap"}, {5, "normalMap"}}) {
    GLint unit = -1;
    getUniformInt(demo.shaderPrograms.program(slot),
                  glGetUniformLocationARB(demo.shaderPrograms.program(slot), name), &unit);
    EXPECT_EQ(unit, 0) << name;
  }
}

TEST_F(FramePassesTest, CompositeShowsEachImageOnItsUnitAndMultipliesTheLayers) {
  // The probe composites show their samplers in quarters across the bottom;
  // style 1 over the whole height, styles 2 and 3 below their uniforms.
  const int style1[4][3] = {{0, 0, 255}, {255, 255, 128}, {255, 0, 0}, {0, 255, 0}};
  const int layered[4][3] = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {255, 0, 255}};
  // Upper half of styles 2 and 3: the product over the layers of each layer's
  // encoded uniforms.
  auto expected = [](float firstScale, float blue, float edge) {
    return std::array<float, 4>{(1.0f - firstScale * 10.0f) * std::pow(1.0f - 0.1f, 3.0f),
                                (1.0f - 0.25f) * (1.0f - 0.125f) * (1.0f - 0.375f),
                                std::pow(blue, 4.0f), std::pow(1.0f - edge * 100.0f, 4.0f)};
  };
  const std::array<float, 4> grey = expected(0.005f, 0.6f, 0.0014f);
  const std::array<float, 4> blue = expected(0.009f, 0.7f, 0.004f);
  demo.waterMove = 0.5f;
  // 3 after 2 and 2 after 3: nothing of the other style lingers.
  for (auto [style, stereo] : {std::pair{1, 0}, {1, 1}, {2, 0}, {3, 0}, {2, 0}, {3, 1}, {2, 1}}) {
    SCOPED_TRACE("style " + std::to_string(style) + " stereo " + std::to_string(stereo));
    session.frames(1, style, stereo);
    const Picture window = readWindow();
    const int span = W / (stereo ? 2 : 1), quarter = span / 4;
    for (int left = 0; left < W; left += span) {
      for (int q = 0; q < 4; ++q) {
        const int* c = style == 1 ? style1[q] : layered[q];
        EXPECT_TRUE(near(window.at(left + quarter * q + quarter / 2, 20), c[0], c[1], c[2], 4))
            << "quarter " << q;
      }
      if (style == 1) {
        // Top: the sky, i.e. the targets' clear colour, in the colour and normal images.
        EXPECT_TRUE(near(window.at(left + quarter / 2, H - 20), 0, 255, 255));
        EXPECT_TRUE(near(window.at(left + quarter * 3 / 2, H - 20), 0, 255, 255));
        EXPECT_TRUE(near(window.at(left + quarter * 5 / 2, H - 20), 255, 0, 0));
        continue;
      }
      const unsigned char* top = window.at(left + span / 2, H * 3 / 4);
      for (int channel = 0; channel < 4; ++channel)
        EXPECT_NEAR(top[channel], (style == 2 ? grey : blue)[channel] * 255.0f, 4.0f)
            << "channel " << channel;
    }
  }
}

TEST_F(FramePassesTest, WaterQuadIsAnUpwardTiledPlaneAtItsHeight) {
  demo.shaderPrograms.unuse();
  for (float move : {0.0f, 0.0785398f, 1234.5f}) {
    SCOPED_TRACE("phase " + std::to_string(move));
    demo.waterMove = move;
    // Feedback returns the plane's vertices as they leave the transform.
    std::array<GLfloat, 512> buffer{};
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(1.0f / 64.0f, 1.0f, 1.0f / 64.0f);  // inside the clip volume
    glViewport(0, 0, 2048, 2048);  // window x = (x / 64 + 1) * 1024, y = (y + 1) * 1024
    glDisable(GL_CULL_FACE);
    drawWaterQuad(30.0f, demo.waterMove);
    const GLint values = glRenderMode(GL_RENDER);

    // The plane bobs 5 mm about the water height with the phase.
    const float height = static_cast<float>(std::sin(20.0 * move) * 0.005 - 0.45);

    // Polygons (the quad, or the triangles it was split into) of 12 values
    // per vertex: x, y, z, w, r, g, b, a, s, t, r, q.
    std::set<std::pair<int, int>> corners;
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
      at += 2 + count * 12;
    }
    EXPECT_EQ(corners, (std::set<std::pair<int, int>>{{30, 30}, {30, -30}, {-30, -30}, {-30, 30}}));
  }
  const Matrix colour = current(GL_CURRENT_COLOR);
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
  demo.eyeOffset = 0.4f;
  demo.waterMove = 12.5f;
  demo.demoCamera.eye = Vector3(5.0f, 2.0f, 1.0f);
  session.stop();
  EXPECT_EQ(demo.sharedQuadric, nullptr);
  EXPECT_EQ(demo.characters, nullptr);

  // As after F1: the new window's initialisation, then frames.
  HeadlessGl::clearErrors();
  ASSERT_TRUE(initDemo(demo, &session.window, &session.keys));
  session.running = true;
  EXPECT_NE(demo.sharedQuadric, nullptr);
  EXPECT_EQ(demo.characters->quadric(), demo.sharedQuadric);
  EXPECT_EQ(demo.compositeStyle, 3);
  EXPECT_EQ(demo.stereoEnabled, 1);
  EXPECT_EQ(demo.eyeOffset, 0.4f);
  EXPECT_EQ(demo.waterMove, 12.5f);
  EXPECT_EQ((demo.demoCamera.eye - Vector3(0.0f, 0.3125f, 0.0f)).length(), 0.0f);
  const std::string log = logText();
  EXPECT_EQ(countEntries("Shader Validation ID: "), 12);
  EXPECT_EQ(countEntries("Framebuffer Complete"), 10);
  drawFrame(demo);
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
      // clang-format off
      {"multitexture", false, {}, "Multitexturing not supported!"},
      {"shaders", true, {"glUseProgramObjectARB", "glUniform1iARB", "glGetUniformLocationARB"},
       "Not all entrypoints available!"},
      {"framebuffers", true, {"glBindFramebufferEXT", "glGenFramebuffersEXT"},
       "Error: EXT_framebuffer_object entrypoints not found!"},
      {"all three", false, {"glUseProgramObjectARB", "glBindFramebufferEXT"},
       "Multitexturing not supported!"},
      // clang-format on
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
    if (c.hidden.empty()) {
      // Without multitexturing the colour image (water: blue) still reaches the window.
      session.frames(1, 1, 0);
      EXPECT_TRUE(near(readWindow().at(W / 8, 20), 0, 0, 255));
    }
    session.stop();
    EXPECT_EQ(demo.sharedQuadric, nullptr);
    setExtensionStringSource(nullptr);
    HeadlessGl::windowSystem().procLookup = saved;
  }
}

}  // namespace
