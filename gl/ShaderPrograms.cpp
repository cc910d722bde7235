#include "gl/ShaderPrograms.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/Log.h"
#include "gl/Extensions.h"

PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
PFNGLUNIFORM4FARBPROC glUniform4fARB = nullptr;
PFNGLUNIFORM4FVARBPROC glUniform4fvARB = nullptr;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
PFNGLVERTEXATTRIB4FARBPROC glVertexAttrib4fARB = nullptr;
PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB = nullptr;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
PFNGLVALIDATEPROGRAMARBPROC glValidateProgramARB = nullptr;

namespace {

// Pointers from an earlier context must not outlive a fetch that is skipped.
void clearShaderEntryPoints() {
  glCreateProgramObjectARB = nullptr;
  glCreateShaderObjectARB = nullptr;
  glShaderSourceARB = nullptr;
  glCompileShaderARB = nullptr;
  glAttachObjectARB = nullptr;
  glLinkProgramARB = nullptr;
  glUseProgramObjectARB = nullptr;
  glDeleteObjectARB = nullptr;
  glUniform1iARB = nullptr;
  glUniform1fARB = nullptr;
  glUniform4fARB = nullptr;
  glUniform4fvARB = nullptr;
  glGetUniformLocationARB = nullptr;
  glVertexAttrib4fARB = nullptr;
  glGetAttribLocationARB = nullptr;
  glGetObjectParameterivARB = nullptr;
  glGetInfoLogARB = nullptr;
  glValidateProgramARB = nullptr;
}

GLint objectParameter(GLhandleARB object, GLenum name) {
  GLint value = 0;
  glGetObjectParameterivARB(object, name, &value);
  return value;
}

void report(const char* prefix, int slot, GLhandleARB object) {
  std::string text = prefix + toDecimalText(slot) + ": ";
  const GLint length = objectParameter(object, GL_OBJECT_INFO_LOG_LENGTH_ARB);
  if (length > 0) {
    std::string infoLog(static_cast<std::size_t>(length), '\0');
    glGetInfoLogARB(object, length, nullptr, &infoLog[0]);
    text.append(infoLog.c_str());
  }
  Log::instance().write(text);
}

void giveSource(GLhandleARB shader, const char* fileName) {
  const std::string source = ShaderProgramSet::readSource(fileName);
  const GLcharARB* text = source.c_str();
  glShaderSourceARB(shader, 1, &text, nullptr);
}

bool compiled(GLhandleARB shader) {
  glCompileShaderARB(shader);
  return objectParameter(shader, GL_OBJECT_COMPILE_STATUS_ARB) != 0;
}

}  // namespace

bool ShaderProgramSet::initExtensions() {
  ready_ = false;
  if (!extensionSupported("GL_ARB_vertex_shader") ||
      !extensionSupported("GL_ARB_fragment_shader") ||
      !extensionSupported("GL_ARB_shader_objects") ||
      !extensionSupported("GL_ARB_shading_language_100")) {
    clearShaderEntryPoints();
    showErrorBox("OpenGL Shading Language not supported!");
    Log::instance().write("OpenGL Shading Language not supported!");
    return false;
  }

  fetchEntryPoint(glCreateProgramObjectARB, "glCreateProgramObjectARB");
  fetchEntryPoint(glCreateShaderObjectARB, "glCreateShaderObjectARB");
  fetchEntryPoint(glShaderSourceARB, "glShaderSourceARB");
  fetchEntryPoint(glCompileShaderARB, "glCompileShaderARB");
  fetchEntryPoint(glAttachObjectARB, "glAttachObjectARB");
  fetchEntryPoint(glLinkProgramARB, "glLinkProgramARB");
  fetchEntryPoint(glUseProgramObjectARB, "glUseProgramObjectARB");
  fetchEntryPoint(glDeleteObjectARB, "glDeleteObjectARB");
  fetchEntryPoint(glUniform1iARB, "glUniform1iARB");
  fetchEntryPoint(glUniform1fARB, "glUniform1fARB");
  fetchEntryPoint(glUniform4fARB, "glUniform4fARB");
  fetchEntryPoint(glUniform4fvARB, "glUniform4fvARB");
  fetchEntryPoint(glGetUniformLocationARB, "glGetUniformLocationARB");
  fetchEntryPoint(glVertexAttrib4fARB, "glVertexAttrib4fARB");
  fetchEntryPoint(glGetAttribLocationARB, "glGetAttribLocationARB");
  fetchEntryPoint(glGetObjectParameterivARB, "glGetObjectParameterivARB");
  fetchEntryPoint(glGetInfoLogARB, "glGetInfoLogARB");
  fetchEntryPoint(glValidateProgramARB, "glValidateProgramARB");

  if (!glCreateProgramObjectARB || !glCreateShaderObjectARB || !glShaderSourceARB ||
      !glCompileShaderARB || !glAttachObjectARB || !glLinkProgramARB || !glUseProgramObjectARB ||
      !glDeleteObjectARB || !glUniform1iARB || !glUniform4fARB || !glGetUniformLocationARB ||
      !glVertexAttrib4fARB || !glGetAttribLocationARB || !glGetObjectParameterivARB ||
      !glGetInfoLogARB) {
    Log::instance().write("Not all entrypoints available!");
    return false;
  }
  ready_ = true;
  return true;
}

void ShaderProgramSet::freeArrays() {
  std::free(vertexShaders_);
  std::free(fragmentShaders_);
  std::free(programs_);
  vertexShaders_ = fragmentShaders_ = programs_ = nullptr;
}

void ShaderProgramSet::allocate(int count) {
  // Handles of an earlier context are meaningless now; only the memory goes.
  freeArrays();
  count_ = count > 0 ? count : 0;
  if (count_ == 0) return;
  const std::size_t n = static_cast<std::size_t>(count_);
  vertexShaders_ = static_cast<GLhandleARB*>(std::calloc(n, sizeof(GLhandleARB)));
  fragmentShaders_ = static_cast<GLhandleARB*>(std::calloc(n, sizeof(GLhandleARB)));
  programs_ = static_cast<GLhandleARB*>(std::calloc(n, sizeof(GLhandleARB)));
  if (!vertexShaders_ || !fragmentShaders_ || !programs_) {
    freeArrays();
    count_ = 0;
  }
}

std::string ShaderProgramSet::readSource(const char* fileName) {
  std::string text(" ");
  std::ifstream in(fileName ? fileName : "", std::ios::binary);
  if (!in) return text;
  text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  // Every line, the last one included, ends with an LF.
  if (text.size() > 1 && text.back() != '\n') text.push_back('\n');
  return text;
}

void ShaderProgramSet::load(const char* vertexFile, const char* fragmentFile, int slot) {
  if (!ready_ || !programs_ || slot < 0 || slot >= count_) return;
  const GLhandleARB program = programs_[slot] = glCreateProgramObjectARB();
  const GLhandleARB fragment = fragmentShaders_[slot] =
      glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  const GLhandleARB vertex = vertexShaders_[slot] = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
  giveSource(fragment, fragmentFile);
  giveSource(vertex, vertexFile);

  if (!compiled(vertex)) {
    report("VS Compiling Error! ID: ", slot, vertex);
    return;
  }
  if (!compiled(fragment)) {
    report("PS Compiling Error! ID: ", slot, fragment);
    return;
  }
  glAttachObjectARB(program, vertex);
  glAttachObjectARB(program, fragment);
  glLinkProgramARB(program);
  if (objectParameter(program, GL_OBJECT_LINK_STATUS_ARB) == 0) {
    report("Shader Linker Error! ID: ", slot, program);
    return;
  }
  glUseProgramObjectARB(program);
  if (glValidateProgramARB) glValidateProgramARB(program);
  report("Shader Validation ID: ", slot, program);
}

void ShaderProgramSet::use(int slot) {
  if (!ready_ || !programs_ || slot < 0 || slot >= count_) return;
  glUseProgramObjectARB(programs_[slot]);
}

void ShaderProgramSet::unuse() {
  if (ready_) glUseProgramObjectARB(0);
}

void ShaderProgramSet::setUniform1i(int slot, const char* name, GLint value) {
  if (!ready_ || !programs_ || slot < 0 || slot >= count_) return;
  glUniform1iARB(glGetUniformLocationARB(programs_[slot], name), value);
}

void ShaderProgramSet::setUniform1f(int slot, const char* name, GLfloat value) {
  if (!ready_ || !glUniform1fARB || !programs_ || slot < 0 || slot >= count_) return;
  glUniform1fARB(glGetUniformLocationARB(programs_[slot], name), value);
}

void ShaderProgramSet::setUniform4f(int slot, const char* name, GLfloat x, GLfloat y, GLfloat z,
                                    GLfloat w) {
  if (!ready_ || !programs_ || slot < 0 || slot >= count_) return;
  glUniform4fARB(glGetUniformLocationARB(programs_[slot], name), x, y, z, w);
}

void ShaderProgramSet::release() {
  if (ready_) {
    glUseProgramObjectARB(0);
    if (programs_) {
      for (int i = 0; i < count_; ++i) {
        glDeleteObjectARB(vertexShaders_[i]);
        glDeleteObjectARB(fragmentShaders_[i]);
        glDeleteObjectARB(programs_[i]);
      }
    }
  }
  freeArrays();
}

GLhandleARB ShaderProgramSet::program(int slot) const {
  return programs_ && slot >= 0 && slot < count_ ? programs_[slot] : 0;
}

GLhandleARB ShaderProgramSet::vertexShader(int slot) const {
  return vertexShaders_ && slot >= 0 && slot < count_ ? vertexShaders_[slot] : 0;
}

GLhandleARB ShaderProgramSet::fragmentShader(int slot) const {
  return fragmentShaders_ && slot >= 0 && slot < count_ ? fragmentShaders_[slot] : 0;
}
