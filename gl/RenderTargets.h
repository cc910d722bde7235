// Numbered square off-screen render targets: one framebuffer object, one
// texture that receives the pass and, for colour kinds, a depth renderbuffer.
#pragma once

#include <cstdint>

#include "gl/GlApi.h"

enum class RenderTargetKind : std::int32_t {
  Rgb8 = 0,
  Rgba8 = 1,
  Rgb16f = 2,
  Rgba16f = 3,
  Depth = 4,
  Rgba32f = 5,
};

class RenderTargetSet {
 public:
  RenderTargetSet() = default;
  ~RenderTargetSet();
  RenderTargetSet(const RenderTargetSet&) = delete;
  RenderTargetSet& operator=(const RenderTargetSet&) = delete;

  bool init(int count);
  bool create(int index, int size, RenderTargetKind kind);
  void checkStatus();
  void bind(int index);
  void unbind();
  GLuint texture(int index) const;
  int size(int index) const;
  void release();

  // Whether init found the extension and its entry points: the frame passes
  // skip the off-screen steps without it.
  bool ready() const { return ready_; }
  int count() const { return count_; }
  GLuint framebuffer(int index) const;
  GLuint renderbuffer(int index) const;
  RenderTargetKind kind(int index) const;

 private:
  std::int32_t count_ = 0;
  GLuint* framebuffers_ = nullptr;
  GLuint* renderbuffers_ = nullptr;
  GLuint* textures_ = nullptr;
  std::int32_t* sizes_ = nullptr;
  std::int32_t* kinds_ = nullptr;
  bool ready_ = false;  // init found the extension and its entry points
  // Fetched with the framebuffer functions and kept apart from the
  // multitexture table's pointer of the same GL name.
  PFNGLACTIVETEXTUREARBPROC activeTextureARB_ = nullptr;

  void freeArrays();
};

// The format the colour kinds' depth renderbuffers are made in from now on:
// GL_DEPTH_COMPONENT, whose precision the driver picks, unless a test plays
// a driver that picks another (0 goes back to it).
void setTargetDepthFormat(GLenum format);

// Framebuffer entry points, fetched by RenderTargetSet::init.
extern PFNGLISRENDERBUFFEREXTPROC glIsRenderbufferEXT;
extern PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT;
extern PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT;
extern PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT;
extern PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT;
extern PFNGLISFRAMEBUFFEREXTPROC glIsFramebufferEXT;
extern PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT;
extern PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT;
extern PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT;
extern PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT;
extern PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT;
extern PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC glGetFramebufferAttachmentParameterivEXT;
extern PFNGLGENERATEMIPMAPEXTPROC glGenerateMipmapEXT;
extern PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT;
