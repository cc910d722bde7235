// Render targets on a real (headless) GL context.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/Log.h"
#include "gl/Extensions.h"
#include "gl/RenderTargets.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

const char* const framebufferNames[] = {
    "glIsRenderbufferEXT",
    "glBindRenderbufferEXT",
    "glDeleteRenderbuffersEXT",
    "glGenRenderbuffersEXT",
    "glRenderbufferStorageEXT",
    "glActiveTextureARB",
    "glIsFramebufferEXT",
    "glBindFramebufferEXT",
    "glDeleteFramebuffersEXT",
    "glGenFramebuffersEXT",
    "glFramebufferTexture2DEXT",
    "glFramebufferRenderbufferEXT",
    "glGetFramebufferAttachmentParameterivEXT",
    "glGenerateMipmapEXT",
    "glCheckFramebufferStatusEXT",
};

std::string logText() { return TestDir::readLog(); }

std::string entries(std::initializer_list<std::string> texts) {
  std::string log;
  for (const std::string& text : texts) log += text + "\n\n";
  return log;
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
    HeadlessGl::windowSystem().procLookup = realLookup;
  }
  static GLint textureParameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
  }
  static GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
  }
  // Look-ups that fail for the named entry points.
  void withoutEntryPoints(std::vector<std::string> missing) {
    auto real = realLookup;
    HeadlessGl::windowSystem().procLookup = [real, missing](const char* name) -> void* {
      for (const std::string& m : missing) {
        if (m == name) return nullptr;
      }
      return real(name);
    };
  }

  TestDir dir;
  RenderTargetSet set;
  std::function<void*(const char*)> realLookup;
  bool ready = false;
};

TEST_F(RenderTargets, DemoTargetsAreCompleteAndLoggedInOrder) {
  ASSERT_TRUE(set.init(5));
  const std::vector<std::string> lookedUp = HeadlessGl::windowSystem().lookedUp;
  EXPECT_EQ(lookedUp,
            std::vector<std::string>(std::begin(framebufferNames), std::end(framebufferNames)));
  const struct {
    int size;
    RenderTargetKind kind;
    GLint internalFormat;
  } targets[] = {
      {1024, RenderTargetKind::Rgba8, GL_RGBA},  {1024, RenderTargetKind::Rgba8, GL_RGBA},
      {2048, RenderTargetKind::Rgba32f, 0x8814}, {1024, RenderTargetKind::Rgba8, GL_RGBA},
      {1024, RenderTargetKind::Rgba8, GL_RGBA},
  };
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(set.create(i, targets[i].size, targets[i].kind));
  set.unbind();

  EXPECT_EQ(logText(),
            entries({"Framebuffer Complete", "Framebuffer Complete", "Framebuffer Complete",
                     "Framebuffer Complete", "Framebuffer Complete"}));
  EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(set.size(i), targets[i].size);
    EXPECT_EQ(set.kind(i), targets[i].kind);
    EXPECT_NE(set.renderbuffer(i), 0u);
    EXPECT_TRUE(glIsFramebufferEXT(set.framebuffer(i)));
    glBindTexture(GL_TEXTURE_2D, set.texture(i));
    GLint width = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(width, targets[i].size);
    EXPECT_EQ(format, targets[i].internalFormat);
  }
  // Each texture is distinct and sampled as its own target.
  EXPECT_NE(set.texture(0), set.texture(1));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargets, EveryKindGetsItsFormatFiltersAndClampMode) {
  ASSERT_TRUE(set.init(6));
  const struct {
    RenderTargetKind kind;
    GLint internalFormat;
    GLint filter;
    GLint wrap;
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
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    if (kinds[i].kind == RenderTargetKind::Depth) {
      EXPECT_TRUE(format == GL_DEPTH_COMPONENT || format == GL_DEPTH_COMPONENT16 ||
                  format == GL_DEPTH_COMPONENT24 || format == GL_DEPTH_COMPONENT32)
          << format;
      EXPECT_EQ(textureParameter(0x884B), GL_INTENSITY);
    } else {
      EXPECT_EQ(format, kinds[i].internalFormat);
    }
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), kinds[i].filter);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), kinds[i].filter);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), kinds[i].wrap);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), kinds[i].wrap);
    GLint levels = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levels);
    EXPECT_EQ(levels, 0) << "a single level";
  }
}

TEST_F(RenderTargets, DepthTargetHasNoColourAttachmentOrRenderbuffer) {
  ASSERT_TRUE(set.init(1));
  ASSERT_TRUE(set.create(0, 256, RenderTargetKind::Depth));
  EXPECT_EQ(logText(), entries({"Framebuffer Complete"}));
  EXPECT_EQ(set.renderbuffer(0), 0u);
  set.bind(0);
  GLint type = -1, name = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
  EXPECT_EQ(type, GL_NONE);
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT, &type);
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  EXPECT_EQ(type, GL_TEXTURE);
  EXPECT_EQ(static_cast<GLuint>(name), set.texture(0));
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_NONE);
  EXPECT_EQ(integer(GL_READ_BUFFER), GL_NONE);
}

TEST_F(RenderTargets, ColourTargetHasDepthRenderbufferAndTextureAttached) {
  ASSERT_TRUE(set.init(1));
  ASSERT_TRUE(set.create(0, 128, RenderTargetKind::Rgb8));
  set.bind(0);
  GLint name = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  EXPECT_EQ(static_cast<GLuint>(name), set.texture(0));
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &name);
  EXPECT_EQ(static_cast<GLuint>(name), set.renderbuffer(0));
  EXPECT_EQ(integer(GL_DRAW_BUFFER), GL_COLOR_ATTACHMENT0_EXT);
  // The texture and renderbuffer stay bound after creation.
  set.unbind();
  EXPECT_EQ(integer(GL_RENDERBUFFER_BINDING_EXT), static_cast<GLint>(set.renderbuffer(0)));
}

TEST_F(RenderTargets, PendingErrorFailsTheNextCreateBeforeItsFramebuffer) {
  ASSERT_TRUE(set.init(2));
  GLint ignored = 0;
  glGetIntegerv(0xFFFF, &ignored);  // leaves GL_INVALID_ENUM pending
  EXPECT_FALSE(set.create(1, 64, RenderTargetKind::Rgba8));
  EXPECT_EQ(logText(), entries({reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM))}));
  EXPECT_EQ(set.framebuffer(1), 0u);
  EXPECT_EQ(set.renderbuffer(1), 0u);
  EXPECT_NE(set.texture(1), 0u);
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
  // Drawing lands in the target's texture.
  glViewport(0, 0, 32, 32);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  set.unbind();
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
  std::vector<unsigned char> texel(32 * 32 * 4);
  glBindTexture(GL_TEXTURE_2D, set.texture(1));
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel.data());
  EXPECT_EQ(texel[0], 255);
  EXPECT_EQ(texel[1], 0);
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
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(glIsTexture(textures[i]));
    EXPECT_FALSE(glIsFramebufferEXT(framebuffers[i]));
  }
  EXPECT_FALSE(glIsRenderbufferEXT(renderbuffer));
  // Other code may take the freed names again; a second release keeps its objects.
  glBindTexture(GL_TEXTURE_2D, textures[0]);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers[0]);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  ASSERT_TRUE(glIsTexture(textures[0]) && glIsFramebufferEXT(framebuffers[0]) &&
              glIsRenderbufferEXT(renderbuffer));
  set.release();
  EXPECT_TRUE(glIsTexture(textures[0]));
  EXPECT_TRUE(glIsFramebufferEXT(framebuffers[0]));
  EXPECT_TRUE(glIsRenderbufferEXT(renderbuffer));
  glDeleteTextures(1, &textures[0]);
  glDeleteFramebuffersEXT(1, &framebuffers[0]);
  glDeleteRenderbuffersEXT(1, &renderbuffer);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RenderTargets, MissingExtensionIsReportedAndNothingIsCalledAfterwards) {
  ASSERT_TRUE(set.init(1));  // pointers of a working context, now stale
  HeadlessGl::windowSystem().lookedUp.clear();
  setExtensionStringSource([] { return "GL_ARB_multitexture GL_EXT_framebuffer_blit"; });
  EXPECT_FALSE(set.init(2));
  const auto& boxes = HeadlessGl::windowSystem().boxes;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "EXT_framebuffer_object not supported!");
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].type, ws::MbOk | ws::MbIconWarning);
  EXPECT_EQ(logText(), entries({"Error: EXT_framebuffer_object not supported!"}));
  EXPECT_TRUE(HeadlessGl::windowSystem().lookedUp.empty());
  EXPECT_EQ(glBindFramebufferEXT, nullptr);
  EXPECT_EQ(glGenFramebuffersEXT, nullptr);

  EXPECT_FALSE(set.create(0, 64, RenderTargetKind::Rgba8));
  set.checkStatus();
  set.bind(0);
  set.unbind();
  EXPECT_EQ(set.texture(0), 0u);
  set.release();
  EXPECT_EQ(logText(), entries({"Error: EXT_framebuffer_object not supported!"}));
}

TEST_F(RenderTargets, MissingTestedEntryPointFailsWithoutABox) {
  withoutEntryPoints({"glGenerateMipmapEXT"});
  EXPECT_FALSE(set.init(1));
  EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
  EXPECT_EQ(logText(), entries({"Error: EXT_framebuffer_object entrypoints not found!"}));
  EXPECT_EQ(HeadlessGl::windowSystem().lookedUp.size(), 15u);
  EXPECT_FALSE(set.create(0, 64, RenderTargetKind::Rgba8));
  set.bind(0);
  EXPECT_EQ(integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
}

TEST_F(RenderTargets, MissingRenderbufferAttachmentIsNotRequired) {
  withoutEntryPoints({"glFramebufferRenderbufferEXT"});
  ASSERT_TRUE(set.init(1));
  EXPECT_EQ(glFramebufferRenderbufferEXT, nullptr);
  EXPECT_TRUE(set.create(0, 64, RenderTargetKind::Rgba8));
  EXPECT_EQ(logText(), entries({"Framebuffer Complete"}));
}

TEST_F(RenderTargets, ArraysThatCannotBeHadAreLogged) {
  EXPECT_FALSE(set.init(-1));
  EXPECT_EQ(logText(), entries({"Error: FBO Memory Allocation Failed!"}));
  EXPECT_EQ(set.count(), 0);
  EXPECT_FALSE(set.create(0, 64, RenderTargetKind::Rgba8));
  EXPECT_EQ(set.texture(0), 0u);
  EXPECT_EQ(set.size(0), 0);
}

}  // namespace
