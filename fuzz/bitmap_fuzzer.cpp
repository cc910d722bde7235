// Bitmaps: an image whose every pixel can be read, or none and exactly one
// message box.
#include "fuzz/FuzzFiles.h"
#include "gl/Textures.h"
#include "platform/fake/FakeWindowSystem.h"

namespace {
FakeWindowSystem* boxes = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enterPrivateFolder();
  boxes = new FakeWindowSystem;
  boxes->install();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::writeFile("image.bmp", data, size);
  boxes->boxes.clear();
  boxes->calls.clear();
  RgbImage* image = loadDibImage("image.bmp");
  if (image) {
    FUZZ_CHECK(image->width > 0 && image->height > 0 && boxes->boxes.empty());
    const std::size_t bytes =
        static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3;
    unsigned sum = 0;
    for (std::size_t i = 0; i < bytes; ++i) sum += image->pixels[i];
    (void)sum;
    freeRgbImage(image);
  } else {
    FUZZ_CHECK(boxes->boxes.size() == 1);
  }
  return 0;
}
