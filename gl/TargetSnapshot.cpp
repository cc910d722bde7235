#include "gl/TargetSnapshot.h"

#include "gl/Extensions.h"
#include "gl/RenderTargets.h"

PFNGLBLITFRAMEBUFFEREXTPROC glBlitFramebufferEXT = nullptr;

namespace {

// Fetched with each copy or canvas made, as the blit is.
PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC renderbufferParameter = nullptr;

// What the driver says of a renderbuffer; 0 where it cannot say.
GLint renderbufferValue(GLuint renderbuffer, GLenum name) {
  if (renderbuffer == 0 || !renderbufferParameter) return 0;
  GLint bound = 0, value = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &bound);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  renderbufferParameter(GL_RENDERBUFFER_EXT, name, &value);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, static_cast<GLuint>(bound));
  return value;
}

GLint boundFramebuffer() {
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
  return bound;
}

// Puts back the texture bound when it was made: the frame samples what it
// bound, whether a copy is made or refused.
class TextureKept {
 public:
  TextureKept() { glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound_); }
  ~TextureKept() { glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound_)); }
  TextureKept(const TextureKept&) = delete;
  TextureKept& operator=(const TextureKept&) = delete;

 private:
  GLint bound_ = 0;
};

GLint formatOf(GLuint texture) {
  const TextureKept kept;
  GLint format = 0;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  return format;
}

// Binds a new framebuffer drawing into `colour`, with a new renderbuffer of
// `depthFormat` as its depth, and as its stencil when the format packs one.
void attachNew(GLuint colour, GLenum depthFormat, int size, GLuint& depth, GLuint& framebuffer) {
  glGenRenderbuffersEXT(1, &depth);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, depthFormat, size, size);
  glGenFramebuffersEXT(1, &framebuffer);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                               depth);
  if (depthFormat == GL_DEPTH24_STENCIL8_EXT)
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_STENCIL_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 depth);
}

}  // namespace

bool TargetSnapshot::make(GLuint like, GLenum colourFormat, GLuint likeDepth, int size) {
  const TextureKept kept;
  release();
  glBlitFramebufferEXT = nullptr;
  if (extensionSupported("GL_EXT_framebuffer_blit"))
    fetchEntryPoint(glBlitFramebufferEXT, "glBlitFramebufferEXT");
  if (!glBlitFramebufferEXT) {
    refused_ = true;
    return false;
  }
  // Asked for as the target's was, the driver gives the same depth.
  fetchEntryPoint(renderbufferParameter, "glGetRenderbufferParameterivEXT");
  GLint depthFormat = renderbufferValue(likeDepth, GL_RENDERBUFFER_INTERNAL_FORMAT_EXT);
  if (depthFormat == 0) depthFormat = GL_DEPTH_COMPONENT;
  const GLenum sampling[4] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S,
                              GL_TEXTURE_WRAP_T};
  GLint samplingOfTarget[4] = {GL_NEAREST, GL_NEAREST, GL_REPEAT, GL_REPEAT};
  glBindTexture(GL_TEXTURE_2D, like);
  for (int i = 0; i < 4; ++i) glGetTexParameteriv(GL_TEXTURE_2D, sampling[i], &samplingOfTarget[i]);
  glGenTextures(1, &colour_);
  glBindTexture(GL_TEXTURE_2D, colour_);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(colourFormat), size, size, 0, GL_RGBA, GL_FLOAT,
               nullptr);
  // Sampled in place of the target, the copy must be sampled the same way.
  for (int i = 0; i < 4; ++i) glTexParameteri(GL_TEXTURE_2D, sampling[i], samplingOfTarget[i]);
  glBindTexture(GL_TEXTURE_2D, 0);
  attachNew(colour_, static_cast<GLenum>(depthFormat), size, depth_, framebuffer_);
  // Judged without glGetError, which would take a pending error away from
  // the frame that logs it. A copy that cannot be made is not tried again.
  GLint format = 0, width = 0;
  glBindTexture(GL_TEXTURE_2D, colour_);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glBindTexture(GL_TEXTURE_2D, 0);
  const bool complete =
      glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
  if (!complete || static_cast<GLenum>(format) != colourFormat || width != size) {
    release();
    refused_ = true;
    return false;
  }
  size_ = size;
  return true;
}

// Both depth buffers are renderbuffers of one format and size and the
// colours share a format, so the copy is exact.
void TargetSnapshot::copy(GLuint from, GLuint to) const {
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, from);
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, to);
  glBlitFramebufferEXT(0, 0, size_, size_, 0, 0, size_, size_,
                       GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
}

bool TargetSnapshot::take(const RenderTargetSet& targets, int index, std::uint64_t key) {
  valid_ = false;
  if (!targets.ready() || index < 0 || index >= targets.count() || targets.renderbuffer(index) == 0)
    return false;
  const int size = targets.size(index);
  const GLint format = formatOf(targets.texture(index));
  const GLint bound = boundFramebuffer();
  const bool ready = (framebuffer_ != 0 && size_ == size && glBlitFramebufferEXT) ||
                     (!refused_ && make(targets.texture(index), static_cast<GLenum>(format),
                                        targets.renderbuffer(index), size));
  if (ready) {
    copy(targets.framebuffer(index), framebuffer_);
    valid_ = true;
  }
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
  if (!valid_) return false;
  index_ = index;
  key_ = key;
  return true;
}

bool TargetSnapshot::restore(const RenderTargetSet& targets, int index, std::uint64_t key) const {
  if (!valid_ || !glBlitFramebufferEXT || index != index_ || key != key_ || !targets.ready() ||
      index >= targets.count() || targets.size(index) != size_)
    return false;
  const GLint bound = boundFramebuffer();
  copy(framebuffer_, targets.framebuffer(index));
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
  return true;
}

bool TargetSnapshot::restoreRect(const RenderTargetSet& targets, int index, std::uint64_t key,
                                 int left, int bottom, int width, int height) const {
  if (!valid_ || !glBlitFramebufferEXT || index != index_ || key != key_ || !targets.ready() ||
      index >= targets.count() || targets.size(index) != size_)
    return false;
  const GLint bound = boundFramebuffer();
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, framebuffer_);
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, targets.framebuffer(index));
  glBlitFramebufferEXT(left, bottom, left + width, bottom + height, left, bottom, left + width,
                       bottom + height, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
  return true;
}

void TargetSnapshot::release() {
  if (framebuffer_ != 0 && glDeleteFramebuffersEXT) glDeleteFramebuffersEXT(1, &framebuffer_);
  if (depth_ != 0 && glDeleteRenderbuffersEXT) glDeleteRenderbuffersEXT(1, &depth_);
  if (colour_ != 0) glDeleteTextures(1, &colour_);
  framebuffer_ = colour_ = depth_ = 0;
  size_ = 0;
  index_ = -1;
  valid_ = false;
  refused_ = false;
}

bool StencilCanvas::makeFor(const RenderTargetSet& targets, int index) {
  if (refused_ || !targets.ready() || index < 0 || index >= targets.count()) return false;
  const int size = targets.size(index);
  const GLint format = formatOf(targets.texture(index));
  if (framebuffer_ != 0 && size == size_ && format == format_) return true;
  const TextureKept kept;
  release();
  if (!glBlitFramebufferEXT || !extensionSupported("GL_EXT_packed_depth_stencil")) {
    refused_ = true;
    return false;
  }
  fetchEntryPoint(renderbufferParameter, "glGetRenderbufferParameterivEXT");
  const GLint bound = boundFramebuffer();
  glGenTextures(1, &colour_);
  glBindTexture(GL_TEXTURE_2D, colour_);
  glTexImage2D(GL_TEXTURE_2D, 0, format, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  attachNew(colour_, GL_DEPTH24_STENCIL8_EXT, size, depthStencil_, framebuffer_);
  const bool complete =
      glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(bound));
  // Depths drawn here are compared and tied as the target's would be only
  // in steps of the same size.
  const GLint depthBits = renderbufferValue(depthStencil_, GL_RENDERBUFFER_DEPTH_SIZE_EXT);
  const bool sameDepth =
      depthBits != 0 &&
      depthBits == renderbufferValue(targets.renderbuffer(index), GL_RENDERBUFFER_DEPTH_SIZE_EXT);
  if (!complete || !sameDepth) {
    release();
    refused_ = true;
    return false;
  }
  size_ = size;
  format_ = format;
  return true;
}

void StencilCanvas::release() {
  if (framebuffer_ != 0 && glDeleteFramebuffersEXT) glDeleteFramebuffersEXT(1, &framebuffer_);
  if (depthStencil_ != 0 && glDeleteRenderbuffersEXT) glDeleteRenderbuffersEXT(1, &depthStencil_);
  if (colour_ != 0) glDeleteTextures(1, &colour_);
  framebuffer_ = colour_ = depthStencil_ = 0;
  size_ = 0;
  format_ = 0;
  refused_ = false;
}

void copyCanvas(const StencilCanvas& from, const StencilCanvas& to, int size) {
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, from.framebuffer());
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, to.framebuffer());
  glBlitFramebufferEXT(0, 0, size, size, 0, 0, size, size,
                       GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                       GL_NEAREST);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, to.framebuffer());
}

void copyColour(GLuint from, GLuint to, int left, int bottom, int right, int top) {
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, from);
  glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, to);
  glBlitFramebufferEXT(left, bottom, right, top, left, bottom, right, top, GL_COLOR_BUFFER_BIT,
                       GL_NEAREST);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, to);
}
