// Bitmap (DIB) files into packed RGB images, and images into mipmapped,
// repeating textures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gl/GlApi.h"

// Rows bottom to top, each width pixels of R, G, B, no gaps. Allocated with
// malloc; free the pixels, then the record.
struct RgbImage {
  std::int32_t width;
  std::int32_t height;
  unsigned char* pixels;
};

// Null after the reader has shown its message.
RgbImage* loadDibImage(const char* fileName);
// The same reader over bytes in memory, showing nothing: null with the
// message's text in failure, or the image with failure null.
RgbImage* readDibImage(const unsigned char* bytes, std::size_t size, const char*& failure);
// Colour-table entries of an info header (12- or 40-byte kind).
std::uint16_t dibColorCount(const unsigned char* infoHeader);
void freeRgbImage(RgbImage* image);

// Ends the program (status 1) when the file cannot be read.
void loadTexture(GLuint* textures, const char* fileName, int index);
