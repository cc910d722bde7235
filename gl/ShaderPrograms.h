// Numbered GLSL programs, each one vertex and one fragment shader read from
// files, built through the ARB shader objects with every report in the log.
#pragma once

#include <cstdint>
#include <string>

#include "gl/GlApi.h"

class ShaderProgramSet {
 public:
  ShaderProgramSet() = default;
  virtual ~ShaderProgramSet() = default;
  ShaderProgramSet(const ShaderProgramSet&) = delete;
  ShaderProgramSet& operator=(const ShaderProgramSet&) = delete;

  bool initExtensions();
  void allocate(int count);
  void load(const char* vertexFile, const char* fragmentFile, int slot);
  static std::string readSource(const char* fileName);
  void use(int slot);
  void unuse();
  void setUniform1i(int slot, const char* name, GLint value);
  void setUniform1f(int slot, const char* name, GLfloat value);
  void setUniform4f(int slot, const char* name, GLfloat x, GLfloat y, GLfloat z, GLfloat w);
  void release();

  // Whether initExtensions found the language and its entry points; without
  // it every use and uniform is skipped here.
  bool ready() const { return ready_; }
  int count() const { return count_; }
  GLhandleARB program(int slot) const;
  GLhandleARB vertexShader(int slot) const;
  GLhandleARB fragmentShader(int slot) const;

 private:
  GLhandleARB* vertexShaders_ = nullptr;
  GLhandleARB* fragmentShaders_ = nullptr;
  GLhandleARB* programs_ = nullptr;
  std::int32_t count_ = 1;
  bool ready_ = false;  // initExtensions found the language and its entry points

  void freeArrays();
};

// Shader object entry points, fetched by ShaderProgramSet::initExtensions.
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM4FARBPROC glUniform4fARB;
extern PFNGLUNIFORM4FVARBPROC glUniform4fvARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLVERTEXATTRIB4FARBPROC glVertexAttrib4fARB;
extern PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLVALIDATEPROGRAMARBPROC glValidateProgramARB;
