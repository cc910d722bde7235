// Render targets on a real (headless) GL context.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "gl/TargetSnapshot.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

using Entries = std::vector<std::string>;

GLint integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}
GLint textureParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}
GLint levelParameter(int level, GLenum name) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}
GLuint attachment(GLenum point, GLenum what) {
  GLint value = -1;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, point, what, &value);
  return static_cast<GLuint>(value);
}

class RenderTargets : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    ready = true;
    realLookup = HeadlessGl::windowSystem().procLookup;
    HeadlessGl::windowSystem().boxes.clear();
    HeadlessGl::windowSystem().lookedUp.clear();
    HeadlessGl::clearErrors();
  }
  void TearDown() override {
    if (!ready) return;
    set.unbind();
    set.release();
    setExtensionStringSource(nullptr);
    setTargetDepthFormat(0);
    HeadlessGl::windowSystem().procLookup = realLookup;
  }

  TestDir dir;
  RenderTargetSet set;
  std::function<void*(const char*)> realLookup;
  bool ready = false;
};

TEST_F(RenderTargets, DemoTargetsAreCompleteAndLoggedInOrder) {
  ASSERT_TRUE(set.init(5));
  EXPECT_EQ(HeadlessGl::windowSystem().lookedUp.size(), 15u);
  const int sizes[] = {1024, 1024, 2048, 1024, 1024};
  for (int i = 0; i < 5; ++i) {
    const auto kind = i == 2 ? RenderTargetKind::Rgba32f : RenderTargetKind::Rgba8;
    EXPECT_TRUE(set.create(i, sizes[i], kind));
  }
  set.unbind();
  EXPECT_EQ(TestDir::logEntries(), Entries(5, "Framebuffer Complete"));
  EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
  glBindTexture(GL_TEXTURE_2D, set.texture(2));
  EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 2048);
  EXPECT_EQ(set.size(2), 2048);
}

TEST_F(RenderTargets, EveryKindGetsItsFormatFiltersAndClampMode) {
  ASSERT_TRUE(set.init(6));
  const struct {
    RenderTargetKind kind;
    GLint internalFormat, filter, wrap;
  } kinds[] = {
      {RenderTargetKind::Rgb8, GL_RGB, GL_LINEAR, GL_CLAMP_TO_EDGE},
      {RenderTargetKind::Rgba8, GL_RGBA, GL_LINEAR, GL_CLAMP_TO_EDGE},
      {RenderTargetKind::Rgb16f, 0x881B, GL_LINEAR, GL_CLAMP},
      {RenderTargetKind::Rgba16f, 0x881A, GL_NEAREST, GL_CLAMP_TO_EDGE},
      {RenderTargetKind::Depth, GL_DEPTH_COMPONENT, GL_NEAREST, GL_CLAMP},
      {RenderTargetKind::Rgba32f, 0x8814, GL_NEAREST, GL_CLAMP_TO_EDGE},
  };
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(static_cast<int>(kinds[i].kind));
    EXPECT_TRUE(set.create(i, 64, kinds[i].kind));
    glBindTexture(GL_TEXTURE_2D, set.texture(i));
    const GLint format = levelParameter(0, GL_TEXTURE_INTERNAL_FORMAT);
    if (kinds[i].kind == RenderTargetKind::Depth) {
      EXPECT_TRUE(format == GL_DEPTH_COMPONENT || format == GL_DEPTH_COMPONENT16 ||
                  format == GL_DEPTH_COMPONENT24 || format == GL_DEPTH_COMPONENT32)
          << format;
      EXPECT_EQ(textureParameter(0x884B), GL_INTENSITY);  // depth texture mode
    } else {
      EXPECT_EQ(format, kinds[i].internalFormat);
    }
    for (GLenum filter : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER})
      EXPECT_EQ(textureParameter(filter), kinds[i].filter);
    for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T})
      EXPECT_EQ(textureParameter(wrap), kinds[i].wrap);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 0) << "a single level";
  }
}

TEST_F(RenderTargets, AttachmentsOfDepthAndColourTargets) {
  ASSERT_TRUE(set.init(2));
  ASSERT_TRUE(set.create(0, 256, RenderTargetKind::Depth));
  ASSERT_TRUE(set.create(1, 128, RenderTargetKind::Rgb8));
  EXPECT_EQ(set.renderbuffer(0), 0u);
  set.bind(0);
  EXPECT_EQ(attachment(GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT),
            static_cast<GLuint>(GL_NONE));
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT),
            static_cast<GLuint>(GL_TEXTURE));
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
            set.texture(0));
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_NONE);
  EXPECT_EQ(integer(GL_READ_BUFFER), GL_NONE);
  set.bind(1);
  EXPECT_EQ(attachment(GL_COLOR_ATTACHMENT0_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
            set.texture(1));
  EXPECT_EQ(attachment(GL_DEPTH_ATTACHMENT_EXT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT),
            set.renderbuffer(1));
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_COLOR_ATTACHMENT0_EXT);
}

TEST_F(RenderTargets, PendingErrorFailsTheNextCreateBeforeItsFramebuffer) {
  ASSERT_TRUE(set.init(2));
  GLint ignored = 0;
  glGetIntegerv(0xFFFF, &ignored);  // leaves GL_INVALID_ENUM pending
  EXPECT_FALSE(set.create(1, 64, RenderTargetKind::Rgba8));
  EXPECT_EQ(TestDir::logEntries(),
            Entries{reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM))});
  EXPECT_EQ(set.framebuffer(1), 0u);
  EXPECT_EQ(set.renderbuffer(1), 0u);
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  // The error was consumed: the next target builds normally.
  EXPECT_TRUE(set.create(0, 64, RenderTargetKind::Rgba8));
}

TEST_F(RenderTargets, BindSelectsTheTargetAndLeavesTheViewport) {
  ASSERT_TRUE(set.init(2));
  ASSERT_TRUE(set.create(0, 64, RenderTargetKind::Rgba8));
  ASSERT_TRUE(set.create(1, 32, RenderTargetKind::Rgba8));
  glViewport(3, 4, 50, 60);
  set.bind(1);
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), static_cast<GLint>(set.framebuffer(1)));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{3, 4, 50, 60}));
  set.unbind();
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  glViewport(0, 0, HeadlessGl::width(), HeadlessGl::height());
}

// Colour and depth at the centre of the bound target.
std::pair<float, float> centreOf(const RenderTargetSet& set, int index) {
  GLfloat rgba[4] = {}, depth = -1.0f;
  const int c = set.size(index) / 2;
  glReadPixels(c, c, 1, 1, GL_RGBA, GL_FLOAT, rgba);
  glReadPixels(c, c, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  return {rgba[0], depth};
}

TEST_F(RenderTargets, SnapshotGivesBackColourAndDepthOnlyUnderItsKey) {
  ASSERT_TRUE(set.init(2));
  ASSERT_TRUE(set.create(0, 64, RenderTargetKind::Rgba32f));
  ASSERT_TRUE(set.create(1, 64, RenderTargetKind::Rgba32f));
  auto fill = [&](float value, float depth) {
    set.bind(0);
    glViewport(0, 0, 64, 64);
    glClearColor(value, 0.0f, 0.0f, 1.0f);
    glClearDepth(depth);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  };
  TargetSnapshot snapshot;
  fill(0.25f, 0.0f);
  ASSERT_TRUE(snapshot.take(set, 0, 7));
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), static_cast<GLint>(set.framebuffer(0)));
  fill(0.75f, 1.0f);
  // Another key, another target: nothing is copied.
  EXPECT_FALSE(snapshot.restore(set, 0, 8));
  EXPECT_FALSE(snapshot.restore(set, 1, 7));
  EXPECT_EQ(centreOf(set, 0), std::make_pair(0.75f, 1.0f));
  EXPECT_TRUE(snapshot.restore(set, 0, 7));
  EXPECT_EQ(centreOf(set, 0), std::make_pair(0.25f, 0.0f));
  // Released, it gives back nothing.
  fill(0.75f, 1.0f);
  snapshot.release();
  EXPECT_FALSE(snapshot.restore(set, 0, 7));
  EXPECT_EQ(centreOf(set, 0), std::make_pair(0.75f, 1.0f));
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glViewport(0, 0, HeadlessGl::width(), HeadlessGl::height());
}

// Whatever depth the driver gives a target, its copy holds that depth
// exactly, and a canvas stands in for it only with depth steps of the same
// size. Made or refused, neither moves the texture the frame has bound.
TEST_F(RenderTargets, CopiesFollowTheTargetsDepthAndKeepTheBoundTexture) {
  const struct {
    GLenum depth;
    bool canvas;
  } cases[] = {{GL_DEPTH_COMPONENT24, true}, {GL_DEPTH_COMPONENT16, false}};
  GLuint bound = 0;
  glGenTextures(1, &bound);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    setTargetDepthFormat(c.depth);
    ASSERT_TRUE(set.init(1));
    ASSERT_TRUE(set.create(0, 64, RenderTargetKind::Rgba32f));
    glBindTexture(GL_TEXTURE_2D, bound);
    set.bind(0);
    glViewport(0, 0, 64, 64);
    glClearColor(0.25f, 0.0f, 0.0f, 1.0f);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    TargetSnapshot snapshot;
    ASSERT_TRUE(snapshot.take(set, 0, 1));
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(bound));
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    EXPECT_TRUE(snapshot.restore(set, 0, 1));
    EXPECT_EQ(centreOf(set, 0), std::make_pair(0.25f, 0.0f));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    StencilCanvas canvas;  // after a copy, which fetches the blit it needs
    EXPECT_EQ(canvas.makeFor(set, 0), c.canvas);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(bound));
    snapshot.release();
    canvas.release();
    set.unbind();
    set.release();
  }
  setTargetDepthFormat(0);
  glDeleteTextures(1, &bound);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glViewport(0, 0, HeadlessGl::width(), HeadlessGl::height());
}

TEST_F(RenderTargets, ReleaseDeletesExactlyWhatExists) {
  ASSERT_TRUE(set.init(3));
  ASSERT_TRUE(set.create(0, 64, RenderTargetKind::Rgba8));
  ASSERT_TRUE(set.create(1, 64, RenderTargetKind::Depth));
  const GLuint textures[] = {set.texture(0), set.texture(1)};
  const GLuint framebuffers[] = {set.framebuffer(0), set.framebuffer(1)};
  const GLuint renderbuffer = set.renderbuffer(0);
  set.release();
  for (int i = 0; i < 2; ++i)
    EXPECT_FALSE(glIsTexture(textures[i]) || glIsFramebufferEXT(framebuffers[i])) << i;
  EXPECT_FALSE(glIsRenderbufferEXT(renderbuffer));
  // Other code may take a freed name again; a second release keeps its object.
  glBindTexture(GL_TEXTURE_2D, textures[0]);
  set.release();
  EXPECT_TRUE(glIsTexture(textures[0]));
  glDeleteTextures(1, &textures[0]);
}

TEST_F(RenderTargets, MissingExtensionIsReportedAndNothingIsCalledAfterwards) {
  ASSERT_TRUE(set.init(1));  // pointers of a working context, now stale
  HeadlessGl::windowSystem().lookedUp.clear();
  setExtensionStringSource([] { return "GL_ARB_multitexture GL_EXT_framebuffer_blit"; });
  EXPECT_FALSE(set.init(2));
  const auto& boxes = HeadlessGl::windowSystem().boxes;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "EXT_framebuffer_object not supported!");
  EXPECT_EQ(boxes[0].type, ws::MbOk | ws::MbIconWarning);
  EXPECT_TRUE(HeadlessGl::windowSystem().lookedUp.empty());
  EXPECT_EQ(glBindFramebufferEXT, nullptr);
  EXPECT_FALSE(set.create(0, 64, RenderTargetKind::Rgba8));
  set.checkStatus();
  set.bind(0);
  set.unbind();
  EXPECT_EQ(set.texture(0), 0u);
  set.release();
  EXPECT_EQ(TestDir::logEntries(), Entries{"Error: EXT_framebuffer_object not supported!"});
}

TEST_F(RenderTargets, OnlyTheRenderbufferAttachmentMayBeMissing) {
  for (const char* missing : {"glGenerateMipmapEXT", "glFramebufferRenderbufferEXT"}) {
    SCOPED_TRACE(missing);
    const bool optional = std::string(missing) == "glFramebufferRenderbufferEXT";
    HeadlessGl::windowSystem().procLookup = [real = realLookup, missing](const char* name) {
      return std::string(missing) == name ? nullptr : real(name);
    };
    std::remove("Log.txt");
    EXPECT_EQ(set.init(1), optional);
    EXPECT_EQ(set.create(0, 64, RenderTargetKind::Rgba8), optional);
    EXPECT_EQ(TestDir::logEntries(),
              Entries{optional ? "Framebuffer Complete"
                               : "Error: EXT_framebuffer_object entrypoints not found!"});
    EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
    set.unbind();
    set.release();
  }
}

TEST_F(RenderTargets, ArraysThatCannotBeHadAreLogged) {
  EXPECT_FALSE(set.init(-1));
  EXPECT_EQ(TestDir::logEntries(), Entries{"Error: FBO Memory Allocation Failed!"});
  EXPECT_FALSE(set.create(0, 64, RenderTargetKind::Rgba8));
  EXPECT_EQ(set.texture(0), 0u);
  EXPECT_EQ(set.size(0), 0);
}

}  // namespace
