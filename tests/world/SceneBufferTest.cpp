#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "gl/Extensions.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"
#include "world/Scene.h"

namespace {

// A quad over the whole viewport in one flat colour (two faces sharing the
// first corner), then a mesh without faces.
const char* const quadScene =
    "1\n0.2 0.6 1\n2\n"
    "4 1 2\n"
    "-100 -100 0\n0 0 1\n100 -100 0\n0 0 1\n100 100 0\n0 0 1\n-100 100 0\n0 0 1\n"
    "0.5 0 0.5\n"
    "0 1 2\n0 0 0\n0 0 1\n1\n"
    "0 2 3\n0 0 0\n0 0 1\n1\n"
    "0 0 0\n";

class SceneBuffers : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    ASSERT_TRUE(initMultitextureExtensions());
    TestDir::write("scene/quad.scn", quadScene);
    glViewport(0, 0, HeadlessGl::width(), HeadlessGl::height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  void TearDown() override {
    worldScene.deleteBuffers();
    worldScene.clear();
  }

  Scene worldScene;

  template <typename Pointer>
  static Pointer entry(const char* name) {
    return reinterpret_cast<Pointer>(ws::windowSystem().procAddress(name));
  }

  // The centre of the window shows the quad's material.
  static void expectQuadColour() {
    const std::vector<unsigned char> pixels = HeadlessGl::readWindow();
    const unsigned char* p =
        &pixels[4 * (std::size_t(HeadlessGl::height() / 2) * HeadlessGl::width() +
                     HeadlessGl::width() / 2)];
    EXPECT_TRUE(std::abs(p[0] - 51) <= 2 && std::abs(p[1] - 153) <= 2 && std::abs(p[2] - 255) <= 2)
        << int(p[0]) << ", " << int(p[1]) << ", " << int(p[2]);
  }

  TestDir dir_;
};

TEST_F(SceneBuffers, UploadFillsFiveBuffersPerMeshAndDeleteBuffersDeletesThemAll) {
  ASSERT_TRUE(worldScene.load("scene/quad.scn"));
  GLint arrayBinding = 0, elementBinding = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &arrayBinding);
  glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB, &elementBinding);
  EXPECT_EQ(GLuint(arrayBinding), worldScene.meshes[1].colourBuffer);
  EXPECT_EQ(GLuint(elementBinding), worldScene.meshes[1].indexBuffer);
  EXPECT_EQ(worldScene.meshes[0].unifiedVertexCount, 5);

  auto getParameter = entry<PFNGLGETBUFFERPARAMETERIVARBPROC>("glGetBufferParameterivARB");
  auto getData = entry<PFNGLGETBUFFERSUBDATAARBPROC>("glGetBufferSubDataARB");
  auto isBuffer = entry<PFNGLISBUFFERARBPROC>("glIsBufferARB");
  std::set<GLuint> names;
  for (int i = 0; i < worldScene.meshCount; ++i) {
    SceneMesh& m = worldScene.meshes[i];
    const std::int64_t attributeBytes = 12 * m.unifiedVertexCount;
    const struct {
      GLuint name;
      GLenum target;
      const void* array;
      std::int64_t bytes;
    } buffers[] = {{m.positionBuffer, GL_ARRAY_BUFFER_ARB, m.positionArray, attributeBytes},
                   {m.texCoordBuffer, GL_ARRAY_BUFFER_ARB, m.texCoordArray, attributeBytes},
                   {m.normalBuffer, GL_ARRAY_BUFFER_ARB, m.normalArray, attributeBytes},
                   {m.colourBuffer, GL_ARRAY_BUFFER_ARB, m.colourArray, attributeBytes},
                   {m.indexBuffer, GL_ELEMENT_ARRAY_BUFFER_ARB, m.indexArray, 4 * m.indexCount}};
    for (const auto& b : buffers) {
      names.insert(b.name);
      glBindBufferARB(b.target, b.name);
      GLint size = -1;
      getParameter(b.target, GL_BUFFER_SIZE_ARB, &size);
      EXPECT_EQ(size, b.bytes);
      std::vector<unsigned char> contents(b.bytes);
      if (b.bytes > 0) getData(b.target, 0, b.bytes, contents.data());
      EXPECT_TRUE(b.bytes == 0 || std::memcmp(contents.data(), b.array, b.bytes) == 0);
    }
  }
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.count(0), 0u);
  worldScene.deleteBuffers();
  for (GLuint name : names) EXPECT_FALSE(isBuffer(name)) << name;
}

TEST_F(SceneBuffers, DrawShowsTheMaterialAndResetsTexturingAndColour) {
  for (bool loaded : {true, false}) {
    SCOPED_TRACE(loaded ? "loaded scene" : "empty scene");
    if (loaded) {
      ASSERT_TRUE(worldScene.load("scene/quad.scn"));
    }
    for (GLenum unit = GL_TEXTURE0_ARB; unit <= GL_TEXTURE3_ARB; ++unit) {
      glActiveTextureARB(unit);
      glEnable(GL_TEXTURE_2D);
    }
    // No texture has an image, so the enabled units leave the quad's colour alone.
    glActiveTextureARB(GL_TEXTURE2_ARB);
    glColor3f(0.1f, 0.2f, 0.3f);

    worldScene.draw();
    if (loaded) expectQuadColour();
    GLint active[2] = {};
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active[0]);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &active[1]);
    EXPECT_EQ(active[0], GL_TEXTURE0_ARB);
    EXPECT_EQ(active[1], GL_TEXTURE0_ARB);
    std::vector<bool> enabled;
    for (GLenum unit = GL_TEXTURE0_ARB; unit <= GL_TEXTURE3_ARB; ++unit) {
      glActiveTextureARB(unit);
      enabled.push_back(glIsEnabled(GL_TEXTURE_2D));
    }
    glActiveTextureARB(GL_TEXTURE2_ARB);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_EQ(enabled, std::vector<bool>({false, false, true, false}));
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(std::vector<float>(colour, colour + 4), std::vector<float>({1, 1, 1, 1}));
    for (GLenum array : {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY, GL_COLOR_ARRAY, GL_TEXTURE_COORD_ARRAY})
      EXPECT_FALSE(glIsEnabled(array)) << array;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    worldScene.deleteBuffers();
    worldScene.clear();
  }
}

TEST_F(SceneBuffers, WithoutBufferEntryPointsTheMeshesDrawFromMemory) {
  glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  const auto gen = std::exchange(glGenBuffersARB, nullptr);
  const auto bind = std::exchange(glBindBufferARB, nullptr);
  const auto data = std::exchange(glBufferDataARB, nullptr);
  const auto remove = std::exchange(glDeleteBuffersARB, nullptr);
  const bool loaded = worldScene.load("scene/quad.scn");
  if (loaded) worldScene.draw();
  worldScene.deleteBuffers();
  glGenBuffersARB = gen, glBindBufferARB = bind;
  glBufferDataARB = data, glDeleteBuffersARB = remove;
  ASSERT_TRUE(loaded);
  EXPECT_EQ(worldScene.meshes[0].positionBuffer, 0u);
  expectQuadColour();
}

}  // namespace
