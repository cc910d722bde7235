#include "gl/RenderTargets.h"

#include <cstdlib>

#include "base/Log.h"
#include "gl/Extensions.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_RGBA32F_ARB
#define GL_RGBA32F_ARB 0x8814
#endif
#ifndef GL_RGBA16F_ARB
#define GL_RGBA16F_ARB 0x881A
#endif
#ifndef GL_RGB16F_ARB
#define GL_RGB16F_ARB 0x881B
#endif
#ifndef GL_DEPTH_TEXTURE_MODE
#define GL_DEPTH_TEXTURE_MODE 0x884B
#endif

PFNGLISRENDERBUFFEREXTPROC glIsRenderbufferEXT = nullptr;
PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT = nullptr;
PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT = nullptr;
PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT = nullptr;
PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT = nullptr;
PFNGLISFRAMEBUFFEREXTPROC glIsFramebufferEXT = nullptr;
PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT = nullptr;
PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT = nullptr;
PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT = nullptr;
PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC glGetFramebufferAttachmentParameterivEXT = nullptr;
PFNGLGENERATEMIPMAPEXTPROC glGenerateMipmapEXT = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT = nullptr;

namespace {

struct KindFormat {
  GLint internalFormat;
  GLenum format;
  GLenum type;
  GLint filter;
  GLint wrap;
};

// Indexed by RenderTargetKind.
const KindFormat kindFormats[] = {
    {GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_LINEAR, GL_CLAMP_TO_EDGE},
    {GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR, GL_CLAMP_TO_EDGE},
    {GL_RGB16F_ARB, GL_RGB, GL_FLOAT, GL_LINEAR, GL_CLAMP},
    {GL_RGBA16F_ARB, GL_RGBA, GL_FLOAT, GL_NEAREST, GL_CLAMP_TO_EDGE},
    {GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, GL_NEAREST, GL_CLAMP},
    {GL_RGBA32F_ARB, GL_RGBA, GL_FLOAT, GL_NEAREST, GL_CLAMP_TO_EDGE},
};

// Pointers from an earlier context must not outlive a fetch that is skipped.
void clearFramebufferEntryPoints() {
  glIsRenderbufferEXT = nullptr;
  glBindRenderbufferEXT = nullptr;
  glDeleteRenderbuffersEXT = nullptr;
  glGenRenderbuffersEXT = nullptr;
  glRenderbufferStorageEXT = nullptr;
  glIsFramebufferEXT = nullptr;
  glBindFramebufferEXT = nullptr;
  glDeleteFramebuffersEXT = nullptr;
  glGenFramebuffersEXT = nullptr;
  glFramebufferTexture2DEXT = nullptr;
  glFramebufferRenderbufferEXT = nullptr;
  glGetFramebufferAttachmentParameterivEXT = nullptr;
  glGenerateMipmapEXT = nullptr;
  glCheckFramebufferStatusEXT = nullptr;
}

// Logs the pending GL error, if any; true when there was none.
bool noGlError() {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return true;
  const GLubyte* text = gluErrorString(error);
  Log::instance().write(text ? reinterpret_cast<const char*>(text) : "");
  return false;
}

template <typename T>
T* zeroedArray(int count) {
  return static_cast<T*>(std::calloc(static_cast<std::size_t>(count), sizeof(T)));
}

GLenum targetDepthFormat = GL_DEPTH_COMPONENT;

}  // namespace

void setTargetDepthFormat(GLenum format) {
  targetDepthFormat = format != 0 ? format : GL_DEPTH_COMPONENT;
}

RenderTargetSet::~RenderTargetSet() { freeArrays(); }

void RenderTargetSet::freeArrays() {
  std::free(framebuffers_);
  std::free(renderbuffers_);
  std::free(textures_);
  std::free(sizes_);
  std::free(kinds_);
  framebuffers_ = renderbuffers_ = textures_ = nullptr;
  sizes_ = kinds_ = nullptr;
  count_ = 0;
}

bool RenderTargetSet::init(int count) {
  ready_ = false;
  // The names of an earlier context are meaningless now; only the memory goes.
  freeArrays();
  if (count > 0) {
    framebuffers_ = zeroedArray<GLuint>(count);
    renderbuffers_ = zeroedArray<GLuint>(count);
    textures_ = zeroedArray<GLuint>(count);
    sizes_ = zeroedArray<std::int32_t>(count);
    kinds_ = zeroedArray<std::int32_t>(count);
  }
  if (count < 0 ||
      (count > 0 && (!framebuffers_ || !renderbuffers_ || !textures_ || !sizes_ || !kinds_))) {
    Log::instance().write("Error: FBO Memory Allocation Failed!");
    freeArrays();
    clearFramebufferEntryPoints();
    activeTextureARB_ = nullptr;
    return false;
  }
  count_ = count;

  if (!extensionSupported("GL_EXT_framebuffer_object")) {
    clearFramebufferEntryPoints();
    activeTextureARB_ = nullptr;
    showErrorBox("EXT_framebuffer_object not supported!");
    Log::instance().write("Error: EXT_framebuffer_object not supported!");
    return false;
  }

  fetchEntryPoint(glIsRenderbufferEXT, "glIsRenderbufferEXT");
  fetchEntryPoint(glBindRenderbufferEXT, "glBindRenderbufferEXT");
  fetchEntryPoint(glDeleteRenderbuffersEXT, "glDeleteRenderbuffersEXT");
  fetchEntryPoint(glGenRenderbuffersEXT, "glGenRenderbuffersEXT");
  fetchEntryPoint(glRenderbufferStorageEXT, "glRenderbufferStorageEXT");
  fetchEntryPoint(activeTextureARB_, "glActiveTextureARB");
  fetchEntryPoint(glIsFramebufferEXT, "glIsFramebufferEXT");
  fetchEntryPoint(glBindFramebufferEXT, "glBindFramebufferEXT");
  fetchEntryPoint(glDeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
  fetchEntryPoint(glGenFramebuffersEXT, "glGenFramebuffersEXT");
  fetchEntryPoint(glFramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
  fetchEntryPoint(glFramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT");
  fetchEntryPoint(glGetFramebufferAttachmentParameterivEXT,
                  "glGetFramebufferAttachmentParameterivEXT");
  fetchEntryPoint(glGenerateMipmapEXT, "glGenerateMipmapEXT");
  fetchEntryPoint(glCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");

  if (!glIsRenderbufferEXT || !glBindRenderbufferEXT || !glDeleteRenderbuffersEXT ||
      !glGenRenderbuffersEXT || !glRenderbufferStorageEXT || !activeTextureARB_ ||
      !glIsFramebufferEXT || !glBindFramebufferEXT || !glDeleteFramebuffersEXT ||
      !glGenFramebuffersEXT || !glFramebufferTexture2DEXT ||
      !glGetFramebufferAttachmentParameterivEXT || !glGenerateMipmapEXT ||
      !glCheckFramebufferStatusEXT) {
    Log::instance().write("Error: EXT_framebuffer_object entrypoints not found!");
    return false;
  }
  ready_ = true;
  return true;
}

bool RenderTargetSet::create(int index, int size, RenderTargetKind kind) {
  if (!ready_ || index < 0 || index >= count_) return false;
  sizes_[index] = size;
  kinds_[index] = static_cast<std::int32_t>(kind);

  glGenTextures(1, &textures_[index]);
  glBindTexture(GL_TEXTURE_2D, textures_[index]);
  const int k = static_cast<int>(kind);
  const bool known = k >= 0 && k < static_cast<int>(sizeof kindFormats / sizeof kindFormats[0]);
  const bool depth = kind == RenderTargetKind::Depth;
  if (known) {
    const KindFormat& f = kindFormats[k];
    glTexImage2D(GL_TEXTURE_2D, 0, f.internalFormat, size, size, 0, f.format, f.type, nullptr);
    if (depth) {
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, f.wrap);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, f.wrap);
      glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f.filter);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f.filter);
    } else {
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, f.filter);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, f.filter);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, f.wrap);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, f.wrap);
    }
  }
  if (!noGlError()) return false;

  glGenFramebuffersEXT(1, &framebuffers_[index]);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers_[index]);
  glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
  if (depth) {
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                              textures_[index], 0);
  } else {
    glGenRenderbuffersEXT(1, &renderbuffers_[index]);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffers_[index]);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, targetDepthFormat, size, size);
    // Not required by init: without it the target simply has no depth buffer.
    if (glFramebufferRenderbufferEXT) {
      glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                   renderbuffers_[index]);
    }
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                              textures_[index], 0);
  }
  checkStatus();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  return noGlError();
}

void RenderTargetSet::checkStatus() {
  if (!glCheckFramebufferStatusEXT) return;
  const char* text = nullptr;
  switch (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)) {
    case 0x8CD5:
      text = "Framebuffer Complete";
      break;
    case 0x8CD6:
      text = "Framebuffer Incomplete Attachment";
      break;
    case 0x8CD7:
      text = "Framebuffer Incomplete Missing Attachment";
      break;
    case 0x8CD9:
      text = "Framebuffer Incomplete Dimensions";
      break;
    case 0x8CDA:
      text = "Framebuffer Incomplete Formats";
      break;
    case 0x8CDB:
      text = "Framebuffer Incomplete Draw Buffer";
      break;
    case 0x8CDC:
      text = "Framebuffer Incomplete Read Buffer";
      break;
    case 0x8CDD:
      text = "Framebuffer unsupported!";
      break;
    default:
      break;
  }
  if (text) Log::instance().write(text);
}

void RenderTargetSet::bind(int index) {
  if (!ready_ || index < 0 || index >= count_) return;
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffers_[index]);
}

void RenderTargetSet::unbind() {
  if (ready_) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

GLuint RenderTargetSet::texture(int index) const {
  return textures_ && index >= 0 && index < count_ ? textures_[index] : 0;
}

int RenderTargetSet::size(int index) const {
  return sizes_ && index >= 0 && index < count_ ? sizes_[index] : 0;
}

GLuint RenderTargetSet::framebuffer(int index) const {
  return framebuffers_ && index >= 0 && index < count_ ? framebuffers_[index] : 0;
}

GLuint RenderTargetSet::renderbuffer(int index) const {
  return renderbuffers_ && index >= 0 && index < count_ ? renderbuffers_[index] : 0;
}

RenderTargetKind RenderTargetSet::kind(int index) const {
  return static_cast<RenderTargetKind>(kinds_ && index >= 0 && index < count_ ? kinds_[index] : 0);
}

void RenderTargetSet::release() {
  if (count_ <= 0) return;
  glDeleteTextures(count_, textures_);
  if (glDeleteFramebuffersEXT) glDeleteFramebuffersEXT(count_, framebuffers_);
  if (glDeleteRenderbuffersEXT) glDeleteRenderbuffersEXT(count_, renderbuffers_);
  // The names are gone: a second release must not delete objects that reuse them.
  for (int i = 0; i < count_; ++i) {
    textures_[i] = framebuffers_[i] = renderbuffers_[i] = 0;
  }
}
