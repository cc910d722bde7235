#include <gtest/gtest.h>

#include <string>

#include "gl/Extensions.h"
#include "platform/fake/FakeWindowSystem.h"

namespace {

std::string scriptedExtensions;
const char* scriptedSource() { return scriptedExtensions.c_str(); }

class ExtensionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.install();
    setExtensionStringSource(scriptedSource);
  }
  void TearDown() override { setExtensionStringSource(nullptr); }
  FakeWindowSystem system;
};

TEST_F(ExtensionsTest, NamesMatchOnlyAsWholeWords) {
  scriptedExtensions = "GL_ARB_multitexture_extra GL_EXT_framebuffer_object GL_ARB_shader_objects";
  EXPECT_FALSE(extensionSupported("GL_ARB_multitexture"));
  EXPECT_TRUE(extensionSupported("GL_ARB_multitexture_extra"));
  EXPECT_TRUE(extensionSupported("GL_EXT_framebuffer_object"));
  EXPECT_TRUE(extensionSupported("GL_ARB_shader_objects"));
  EXPECT_FALSE(extensionSupported("GL_ARB_shader"));
  EXPECT_FALSE(extensionSupported("framebuffer_object"));
  EXPECT_FALSE(extensionSupported(""));
  scriptedExtensions = "XGL_ARB_multitexture GL_ARB_multitexture ";
  EXPECT_TRUE(extensionSupported("GL_ARB_multitexture"));
  scriptedExtensions = "";
  EXPECT_FALSE(extensionSupported("GL_ARB_multitexture"));
}

const char* const tableNames[] = {
    "glMultiTexCoord1fARB", "glMultiTexCoord2fARB", "glMultiTexCoord3fARB",
    "glMultiTexCoord4fARB", "glActiveTextureARB",   "glClientActiveTextureARB",
    "glGenBuffersARB",      "glBindBufferARB",      "glBufferDataARB",
    "glDeleteBuffersARB",   "glMapBufferARB",       "glUnmapBufferARB"};

TEST_F(ExtensionsTest, MissingBufferFunctionGivesOneBoxButMultitextureStillWorks) {
  scriptedExtensions = "GL_ARB_multitexture GL_ARB_vertex_buffer_object";
  system.missingProcs = {"glBufferDataARB"};
  EXPECT_TRUE(initMultitextureExtensions());
  ASSERT_EQ(system.boxes.size(), 1u);
  EXPECT_EQ(system.boxes[0].text, "VBOs not supported!");
  EXPECT_EQ(system.boxes[0].caption, "Error");
  EXPECT_EQ(system.boxes[0].owner, nullptr);
  EXPECT_EQ(system.boxes[0].type, ws::MbOk | ws::MbIconWarning);
  ASSERT_EQ(system.lookedUp.size(), 12u);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ(system.lookedUp[i], tableNames[i]);
  EXPECT_NE(glActiveTextureARB, nullptr);
  EXPECT_EQ(glBufferDataARB, nullptr);
}

TEST_F(ExtensionsTest, UntestedBufferFunctionsMayBeMissingWithoutAMessage) {
  scriptedExtensions = "GL_ARB_multitexture";
  system.missingProcs = {"glDeleteBuffersARB", "glMapBufferARB", "glUnmapBufferARB"};
  EXPECT_TRUE(initMultitextureExtensions());
  EXPECT_TRUE(system.boxes.empty());
  EXPECT_EQ(glDeleteBuffersARB, nullptr);
  EXPECT_NE(glGenBuffersARB, nullptr);
}

TEST_F(ExtensionsTest, WithoutMultitextureNothingIsFetchedAndOldPointersAreCleared) {
  scriptedExtensions = "GL_ARB_multitexture";
  ASSERT_TRUE(initMultitextureExtensions());
  ASSERT_NE(glActiveTextureARB, nullptr);

  FakeWindowSystem next;  // a re-created context without the extension
  next.install();
  scriptedExtensions = "GL_ARB_multitexture_compat GL_EXT_texture";
  EXPECT_FALSE(initMultitextureExtensions());
  ASSERT_EQ(next.boxes.size(), 1u);
  EXPECT_EQ(next.boxes[0].text, "Multitexturing not supported!");
  EXPECT_TRUE(next.lookedUp.empty());
  EXPECT_EQ(glActiveTextureARB, nullptr);
  EXPECT_EQ(glGenBuffersARB, nullptr);
  EXPECT_EQ(glUnmapBufferARB, nullptr);
  system.install();
}

TEST_F(ExtensionsTest, ReinitialisationFetchesEveryPointerAgainAndRepeatsTheMessage) {
  scriptedExtensions = "GL_ARB_multitexture";
  system.missingProcs = {"glGenBuffersARB"};
  initMultitextureExtensions();
  initMultitextureExtensions();
  EXPECT_EQ(system.lookedUp.size(), 24u);
  EXPECT_EQ(system.boxes.size(), 2u);
}

}  // namespace
