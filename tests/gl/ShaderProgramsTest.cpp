// Shader programs on a real (headless) GL context, built from small sources
// written for the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "gl/Extensions.h"
#include "gl/ShaderPrograms.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

using Entries = std::vector<std::string>;

std::string infoLog(GLhandleARB object) {
  GLint length = 0;
  glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length <= 0) return "";
  std::string text(static_cast<std::size_t>(length), '\0');
  glGetInfoLogARB(object, length, nullptr, &text[0]);
  return text.c_str();
}

GLint parameter(GLhandleARB object, GLenum name) {
  GLint value = -1;
  glGetObjectParameterivARB(object, name, &value);
  return value;
}

GLhandleARB currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return static_cast<GLhandleARB>(program);
}

class ShaderPrograms : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_HEADLESS_GL();
    ready = true;
    realLookup = HeadlessGl::windowSystem().procLookup;
    HeadlessGl::windowSystem().boxes.clear();
    HeadlessGl::windowSystem().lookedUp.clear();
    HeadlessGl::clearErrors();
    TestDir::write("good.vsh",
                   "uniform float scale;\n"
                   "void main() { gl_Position = ftransform() * scale; }\n");
    TestDir::write("good.fsh",
                   "uniform vec4 tint;\nuniform int mode;\n"
                   "void main() { gl_FragColor = tint * float(mode); }\n");
    TestDir::write("broken.vsh", "void main() { this is not glsl; }\n");
    TestDir::write("broken.fsh", "void main() { this is not glsl; }\n");
    // Compiles, but a program needs a main.
    TestDir::write("nomain.vsh", "float halve(float x) { return x * 0.5; }\n");
  }
  void TearDown() override {
    if (!ready) return;
    HeadlessGl::windowSystem().procLookup = realLookup;
    setExtensionStringSource(nullptr);
    if (set.initExtensions()) {
      set.unuse();
      set.release();
    }
  }
  // Initialises and allocates, then drops the log so each test sees only its own entries.
  void build(int slots) {
    ASSERT_TRUE(set.initExtensions());
    set.allocate(slots);
    std::remove("Log.txt");
  }

  TestDir dir;
  ShaderProgramSet set;
  std::function<void*(const char*)> realLookup;
  bool ready = false;
};

TEST_F(ShaderPrograms, CleanBuildWritesOnlyTheValidationReportAndStaysCurrent) {
  build(6);
  set.load("good.vsh", "good.fsh", 4);
  const GLhandleARB program = set.program(4);
  EXPECT_EQ(parameter(program, GL_OBJECT_LINK_STATUS_ARB), 1);
  // The driver's validation text, empty or not, follows the slot number.
  EXPECT_EQ(TestDir::readLog(), "Shader Validation ID: 4: " + infoLog(program) + "\n\n");
  EXPECT_EQ(currentProgram(), program);
  // A failed build later leaves the last good program current.
  set.load("broken.vsh", "good.fsh", 1);
  EXPECT_EQ(currentProgram(), program);
  set.unuse();
  EXPECT_EQ(currentProgram(), 0u);
  set.use(4);
  EXPECT_EQ(currentProgram(), program);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderPrograms, CompileAndLinkFailuresReportOnceAndStop) {
  struct Case {
    const char *vertex, *fragment, *prefix;
    bool fragmentCompiled;
  };
  const Case cases[] = {
      {"broken.vsh", "good.fsh", "VS Compiling Error! ID: ", false},
      {"absent.vsh", "good.fsh", "VS Compiling Error! ID: ", false},  // a lone space
      {"good.vsh", "broken.fsh", "PS Compiling Error! ID: ", false},
      {"nomain.vsh", "good.fsh", "Shader Linker Error! ID: ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vertex + std::string(" ") + c.fragment);
    build(3);
    glUseProgramObjectARB(0);
    set.load(c.vertex, c.fragment, 2);
    const GLhandleARB failed = c.prefix[0] == 'V'   ? set.vertexShader(2)
                               : c.prefix[0] == 'P' ? set.fragmentShader(2)
                                                    : set.program(2);
    const std::string driverText = infoLog(failed);
    EXPECT_FALSE(driverText.empty());
    EXPECT_EQ(TestDir::readLog(), c.prefix + std::string("2: ") + driverText + "\n\n");
    EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
    // A fragment shader that was never compiled has no compile status yet;
    // both are attached only on the way to the link.
    EXPECT_EQ(parameter(set.fragmentShader(2), GL_OBJECT_COMPILE_STATUS_ARB),
              c.fragmentCompiled ? 1 : 0);
    EXPECT_EQ(parameter(set.program(2), GL_OBJECT_ATTACHED_OBJECTS_ARB), c.fragmentCompiled * 2);
    EXPECT_EQ(currentProgram(), 0u);
    set.release();
  }
}

TEST_F(ShaderPrograms, UniformsReachTheProgramAndUnknownNamesChangeNothing) {
  build(1);
  set.load("good.vsh", "good.fsh", 0);
  std::remove("Log.txt");
  auto getUniformfv = reinterpret_cast<PFNGLGETUNIFORMFVARBPROC>(
      ws::windowSystem().procAddress("glGetUniformfvARB"));
  auto getUniformiv = reinterpret_cast<PFNGLGETUNIFORMIVARBPROC>(
      ws::windowSystem().procAddress("glGetUniformivARB"));
  ASSERT_TRUE(getUniformfv && getUniformiv);
  const GLhandleARB program = set.program(0);
  set.setUniform4f(0, "tint", 0.25f, 0.5f, 0.75f, 1.0f);
  set.setUniform1f(0, "scale", 2.5f);
  set.setUniform1i(0, "mode", 3);
  set.setUniform4f(0, "missing", 9.0f, 9.0f, 9.0f, 9.0f);
  set.setUniform1f(0, "absent", 9.0f);
  set.setUniform1i(0, "nowhere", 9);
  GLfloat tint[4] = {}, scale = 0;
  GLint mode = 0;
  getUniformfv(program, glGetUniformLocationARB(program, "tint"), tint);
  getUniformfv(program, glGetUniformLocationARB(program, "scale"), &scale);
  getUniformiv(program, glGetUniformLocationARB(program, "mode"), &mode);
  EXPECT_EQ(std::vector<GLfloat>(tint, tint + 4), (std::vector<GLfloat>{0.25f, 0.5f, 0.75f, 1.0f}));
  EXPECT_EQ(scale, 2.5f);
  EXPECT_EQ(mode, 3);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(TestDir::readLog(), "");
}

TEST_F(ShaderPrograms, ReleaseDeletesEveryObject) {
  build(2);
  set.load("good.vsh", "good.fsh", 0);
  set.load("broken.vsh", "good.fsh", 1);
  std::vector<GLhandleARB> objects;
  for (int slot = 0; slot < 2; ++slot)
    objects.insert(objects.end(),
                   {set.program(slot), set.vertexShader(slot), set.fragmentShader(slot)});
  set.release();
  EXPECT_EQ(currentProgram(), 0u);
  EXPECT_EQ(set.program(0), 0u);
  auto isProgram =
      reinterpret_cast<PFNGLISPROGRAMPROC>(ws::windowSystem().procAddress("glIsProgram"));
  auto isShader = reinterpret_cast<PFNGLISSHADERPROC>(ws::windowSystem().procAddress("glIsShader"));
  ASSERT_TRUE(isProgram && isShader);
  for (GLhandleARB object : objects) EXPECT_FALSE(isProgram(object) || isShader(object)) << object;
  HeadlessGl::clearErrors();
}

// Needs no GL context.
TEST(ShaderSource, ReadSourceFramesTheTextWithASpaceAndFinalLineEnd) {
  TestDir dir;
  const std::pair<const char*, std::string> cases[] = {
      {"void main() {}\n", " void main() {}\n"},
      {"a\nb", " a\nb\n"},
      {"a\r\nb\r\n", " a\r\nb\r\n"},
      {"a\r\nb", " a\r\nb\n"},
      {"", " "},
      {nullptr, " "},  // no file
  };
  for (const auto& [contents, expected] : cases) {
    SCOPED_TRACE(contents ? contents : "(missing)");
    std::remove("source.txt");
    if (contents) TestDir::write("source.txt", contents);
    EXPECT_EQ(ShaderProgramSet::readSource("source.txt"), expected);
  }
}

TEST_F(ShaderPrograms, MissingLanguageIsReportedAndLaterCallsAreHarmless) {
  ASSERT_TRUE(set.initExtensions());  // pointers of a working context, now stale
  const char* const without[] = {"GL_ARB_vertex_shader", "GL_ARB_fragment_shader",
                                 "GL_ARB_shader_objects", "GL_ARB_shading_language_100"};
  static std::string extensions;
  for (const char* missing : without) {
    SCOPED_TRACE(missing);
    extensions.clear();
    for (const char* name : without)
      if (name != missing) extensions += std::string(name) + " ";
    setExtensionStringSource([] { return extensions.c_str(); });
    HeadlessGl::windowSystem().boxes.clear();
    HeadlessGl::windowSystem().lookedUp.clear();
    std::remove("Log.txt");
    EXPECT_FALSE(set.initExtensions());
    const auto& boxes = HeadlessGl::windowSystem().boxes;
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "OpenGL Shading Language not supported!");
    EXPECT_EQ(boxes[0].type, ws::MbOk | ws::MbIconWarning);
    EXPECT_EQ(TestDir::logEntries(), Entries{"OpenGL Shading Language not supported!"});
    EXPECT_TRUE(HeadlessGl::windowSystem().lookedUp.empty());
    EXPECT_EQ(glCreateProgramObjectARB, nullptr);
  }
  set.allocate(2);
  set.load("good.vsh", "good.fsh", 0);
  set.use(0);
  set.setUniform1i(0, "mode", 1);
  set.setUniform1f(0, "scale", 1.0f);
  set.setUniform4f(0, "tint", 1, 1, 1, 1);
  set.unuse();
  EXPECT_EQ(set.program(0), 0u);
  set.release();
  EXPECT_EQ(TestDir::logEntries(), Entries{"OpenGL Shading Language not supported!"});
}

TEST_F(ShaderPrograms, MissingEntryPointsDecideTheResult) {
  const std::pair<std::string, bool> cases[] = {{"glGetInfoLogARB", false},
                                                {"glVertexAttrib4fARB", false},
                                                {"glUniform1fARB", true},
                                                {"glValidateProgramARB", true}};
  for (const auto& [missing, result] : cases) {
    SCOPED_TRACE(missing);
    HeadlessGl::windowSystem().procLookup = [real = realLookup,
                                             missing = missing](const char* name) {
      return missing == name ? nullptr : real(name);
    };
    std::remove("Log.txt");
    EXPECT_EQ(set.initExtensions(), result);
    EXPECT_EQ(TestDir::logEntries(),
              result ? Entries{} : Entries{"Not all entrypoints available!"});
    EXPECT_TRUE(HeadlessGl::windowSystem().boxes.empty());
    set.allocate(1);
    set.load("good.vsh", "good.fsh", 0);
    EXPECT_EQ(set.program(0) != 0, result);
    if (result) {
      // Builds without the missing function and never calls it.
      EXPECT_EQ(currentProgram(), set.program(0));
      set.setUniform1f(0, "scale", 1.0f);
      set.unuse();
    }
    set.release();
  }
}

}  // namespace
