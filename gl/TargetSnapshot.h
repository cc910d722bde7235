// A copy of one render target's colour and depth, to be copied back later:
// a pass whose first part draws the same pixels every frame starts from the
// copy instead of drawing that part again.
#pragma once

#include <cstdint>

#include "gl/GlApi.h"

class RenderTargetSet;

// Fetched when the first snapshot is made; null without GL_EXT_framebuffer_blit.
extern PFNGLBLITFRAMEBUFFEREXTPROC glBlitFramebufferEXT;

class TargetSnapshot {
 public:
  TargetSnapshot() = default;
  TargetSnapshot(const TargetSnapshot&) = delete;
  TargetSnapshot& operator=(const TargetSnapshot&) = delete;

  // Copies what the target holds now, remembered under `key` (what was
  // drawn). False, holding nothing, when the driver cannot copy targets.
  bool take(const RenderTargetSet& targets, int index, std::uint64_t key);
  // Copies the snapshot back over the whole target, if it was taken of that
  // target under the same key; false otherwise, with nothing changed.
  bool restore(const RenderTargetSet& targets, int index, std::uint64_t key) const;
  // The same for a rectangle of texels only.
  bool restoreRect(const RenderTargetSet& targets, int index, std::uint64_t key, int left,
                   int bottom, int width, int height) const;
  // Deletes the copy; the context it was made in must be current.
  void release();
  bool holds() const { return valid_; }
  // The copied colour as a texture sampled as the target's own is, if the
  // snapshot holds a copy taken under `key`; 0 otherwise.
  GLuint texture(std::uint64_t key) const { return valid_ && key == key_ ? colour_ : 0; }
  GLuint framebuffer() const { return framebuffer_; }
  // The driver would not make the copy: no use drawing for one.
  bool refused() const { return refused_; }

 private:
  GLuint framebuffer_ = 0;
  GLuint colour_ = 0;
  GLuint depth_ = 0;
  int index_ = -1;
  int size_ = 0;
  std::uint64_t key_ = 0;
  bool valid_ = false;
  bool refused_ = false;  // the driver would not make the copy's target

  bool make(GLuint like, GLenum colourFormat, GLuint likeDepth, int size);
  void copy(GLuint from, GLuint to) const;
};

// A framebuffer of a target's size and colour format with a depth and
// stencil buffer of its own: a part of the target can be drawn again in it
// where a stencil mask allows, and copied back.
class StencilCanvas {
 public:
  StencilCanvas() = default;
  StencilCanvas(const StencilCanvas&) = delete;
  StencilCanvas& operator=(const StencilCanvas&) = delete;

  // Makes (or keeps) the canvas for the target; false when the driver
  // cannot, or gives it depth steps of another size than the target's, and
  // from then on until release. Either way the bound texture is left as it
  // was.
  bool makeFor(const RenderTargetSet& targets, int index);
  GLuint framebuffer() const { return framebuffer_; }
  void release();

 private:
  GLuint framebuffer_ = 0;
  GLuint colour_ = 0;
  GLuint depthStencil_ = 0;
  int size_ = 0;
  GLint format_ = 0;
  bool refused_ = false;
};

// Copies colour, depth and stencil whole from one canvas to another of the
// same target; leaves `to` bound.
void copyCanvas(const StencilCanvas& from, const StencilCanvas& to, int size);

// Copies a rectangle of colour, in pixels, between two framebuffers of one
// colour format; leaves `to` bound.
void copyColour(GLuint from, GLuint to, int left, int bottom, int right, int top);
