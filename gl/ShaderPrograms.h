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

  int count() const { return count_; }
  GLhandleARB program(int slot) const;
  GLhandleARB vertexShader(int slot) const;
  GLhandleARB fragmentShader(int slot) const;

 private:
  GLhandleARB* vertexShaders_ = nullptr;
  GLhandleARB* fragmentShaders_ = nullptr;
  GLhandleARB* programs_ = nullptr;
  std::int32_t count_ = 1;
};

extern ShaderProgramSet shaderPrograms;
