// A character's playback position in one clip of the shared model: which two
// key frames are blended and how far.
#pragma once

#include <cstdint>

class CharacterModel;
class Character;

struct AnimationState {
  float phase = 0.0f;  // 0 at frame, towards 1 at nextFrame
  std::uint32_t frame = 0;
  std::uint32_t nextFrame = 1;
  std::int32_t clip = 0;
  const CharacterModel* model = nullptr;
  const Character* owner = nullptr;  // supplies position and orientation

  // Puts the state on the clip's first frame.
  void startClip(std::int32_t clipIndex);
  // Moves the phase on by the clip's rate; at most one frame step per call.
  void advance(float elapsedMs);
};
