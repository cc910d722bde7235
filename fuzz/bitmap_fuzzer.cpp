// Bitmaps, read from memory: an image whose every pixel can be read and no
// failure, or no image and the text of the one message the program shows.
#include "fuzz/FuzzFiles.h"
#include "gl/Textures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* failure = "not set";
  RgbImage* image = readDibImage(data, size, failure);
  if (image) {
    FUZZ_CHECK(image->width > 0 && image->height > 0 && failure == nullptr);
    const std::size_t bytes =
        static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
    unsigned sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) sum += image->pixels[i];
    (void)sum;
    freeRgbImage(image);
  } else {
    FUZZ_CHECK(failure != nullptr && *failure != '\0');
  }
  return 0;
}
