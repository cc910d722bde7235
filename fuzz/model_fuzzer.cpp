// The character model: a model the characters can be drawn and animated
// with (every clip's frames and every key inside the tables), or none and a
// reason.
#include <sstream>

#include "characters/CharacterModel.h"
#include "fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  CharacterModel model;
  std::string error;
  if (model.parse(in, error)) {
    FUZZ_CHECK(model.clipCount() >= 3 && model.boneCount() >= 1 && model.frameCount() >= 1);
    for (std::int32_t c = 0; c < model.clipCount(); ++c) {
      const AnimationClip& clip = model.clip(c);
      FUZZ_CHECK(clip.firstFrame <= clip.lastFrame &&
                 clip.lastFrame < static_cast<std::uint32_t>(model.frameCount()));
    }
    float sum = 0.0f;
    for (std::int32_t f = 0; f < model.frameCount(); ++f)
      for (std::int32_t b = 0; b < model.boneCount(); ++b)
        sum += model.key(static_cast<std::uint32_t>(f), b).rotation.w;
    (void)sum;
  } else {
    FUZZ_CHECK(!error.empty() && !model.loaded() && model.boneCount() == 0);
  }
  return 0;
}
