// Entry points of the current GL context.
#pragma once

namespace ws {

class GlLoader {
 public:
  // wglGetProcAddress: the entry point of the current context, or null.
  virtual void* procAddress(const char* name) = 0;

 protected:
  ~GlLoader() = default;
};

GlLoader& glLoader();

}  // namespace ws
