// The capsule model every character shares: bones drawn as capsules, key
// poses for every bone in every frame, and the animation clips over them.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "base/Math.h"
#include "gl/GlApi.h"

struct AnimationState;

struct Bone {
  float length = 0.0f;  // along the bone's +y, scene units
  float radius = 0.0f;
  std::uint32_t list = 0;  // display list that draws the capsule
};

// A bone's whole transform relative to the character (there is no hierarchy).
struct BoneKey {
  Vector3 position;
  Quaternion rotation;
};

struct AnimationClip {
  std::uint32_t firstFrame = 0;
  std::uint32_t lastFrame = 0;
  float rate = 0.0f;  // phase per millisecond
};

// Draws a capsule along +y from 0 to length into the current modelview, with
// `quadric` (nothing without one), and mirrors every local transform on the
// active unit's texture matrix (which it leaves as it found it).
void drawCapsule(GLUquadric* quadric, float radius, float length);

class CharacterModel {
 public:
  CharacterModel() = default;
  // Deletes the capsule lists, so the context that compiled them must still
  // be current (the demo's shutdown destroys the model before the window).
  ~CharacterModel();
  CharacterModel(const CharacterModel&) = delete;
  CharacterModel& operator=(const CharacterModel&) = delete;

  // Reads the model and compiles one capsule list per bone with `quadric`. A
  // missing or broken file leaves the model empty and writes one log entry.
  bool load(const char* path, GLUquadric* quadric);
  // The reading alone, without GL; on failure `error` says what is wrong and
  // the model is left empty.
  bool parse(std::istream& in, std::string& error);

  // Draws the character that owns `state` at its interpolated pose.
  void draw(const AnimationState* state) const;
  // The box around the character in the pose `state` gives it, as draw
  // would place it; false when the state is not one draw would draw.
  bool poseBounds(const AnimationState& state, float (&low)[3], float (&high)[3]) const;

  bool loaded() const { return !clips_.empty(); }
  std::int32_t boneCount() const { return static_cast<std::int32_t>(bones_.size()); }
  std::int32_t frameCount() const { return frameCount_; }
  std::int32_t clipCount() const { return static_cast<std::int32_t>(clips_.size()); }
  const Bone& bone(std::int32_t index) const { return bones_[index]; }
  const BoneKey& key(std::uint32_t frame, std::int32_t bone) const {
    return keys_[frame * bones_.size() + bone];
  }
  const AnimationClip& clip(std::int32_t index) const { return clips_[index]; }
  // Distance from the character's position that no bone reaches past in
  // any pose, for leaving out characters outside a pass's view.
  float reach() const { return reach_; }

  // Counts beyond these are taken for a broken file.
  static constexpr std::int64_t maxClips = 1024;
  static constexpr std::int64_t maxBones = 256;
  static constexpr std::int64_t maxLastFrame = 100000;

 private:
  void clear();

  std::vector<Bone> bones_;
  std::vector<BoneKey> keys_;  // frame-major: frame * bone count + bone
  std::int32_t frameCount_ = 0;
  std::vector<AnimationClip> clips_;
  float reach_ = 0.0f;
};
