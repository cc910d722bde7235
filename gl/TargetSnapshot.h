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
  // Deletes the copy; the context it was made in must be current.
  void release();
  bool holds() const { return valid_; }

  // Off: nothing is taken or restored, and every pass draws everything
  // (pictures with and without must be the same).
  static bool enabled;

 private:
  GLuint framebuffer_ = 0;
  GLuint colour_ = 0;
  GLuint depth_ = 0;
  int index_ = -1;
  int size_ = 0;
  std::uint64_t key_ = 0;
  bool valid_ = false;
  bool refused_ = false;  // the driver would not make the copy's target

  bool make(GLenum colourFormat, int size);
  void copy(GLuint from, GLuint to) const;
};
