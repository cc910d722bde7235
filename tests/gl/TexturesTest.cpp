// Bitmap files into mipmapped, repeating textures on a real (headless) GL
// context; an unreadable file ends the process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gl/Textures.h"
#include "tests/support/HeadlessGl.h"
#include "tests/support/TestDir.h"

namespace {

void put32(std::string& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

// A 24-bit bitmap with file header; colour(x, y) gives R, G, B, y from the bottom.
template <typename Colour>
std::string bitmap24(int width, int height, Colour colour, std::uint32_t headerSize = 40) {
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::vector<unsigned char> c = colour(x, y);
      pixels += {static_cast<char>(c[2]), static_cast<char>(c[1]), static_cast<char>(c[0])};
    }
    while (pixels.size() % 4) pixels.push_back('\0');
  }
  std::string info;
  put32(info, headerSize);
  put32(info, static_cast<std::uint32_t>(width));
  put32(info, static_cast<std::uint32_t>(height));
  put32(info, 1 | 24 << 16);  // planes, bits per pixel
  info.resize(headerSize, '\0');
  std::string file = "BM";
  put32(file, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
  put32(file, 0);
  put32(file, static_cast<std::uint32_t>(14 + info.size()));
  return file + info + pixels;
}

GLint textureParameter(GLenum name) {
  GLint value = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
  return value;
}

GLint levelParameter(int level, GLenum name) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

std::vector<unsigned char> levelPixels(int level) {
  std::vector<unsigned char> out(static_cast<std::size_t>(
      levelParameter(level, GL_TEXTURE_WIDTH) * levelParameter(level, GL_TEXTURE_HEIGHT) * 3));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, level, GL_RGB, GL_UNSIGNED_BYTE, out.data());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return out;
}

// Shows every message box on stderr, where a death test can see it.
class EchoingWindowSystem : public FakeWindowSystem {
 public:
  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override {
    const unsigned long ownerValue =
        static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(owner));
    std::fprintf(stderr, "box owner=%lu caption=%s type=%u text=%s|\n", ownerValue, caption, type,
                 text);
    return FakeWindowSystem::messageBox(owner, text, caption, type);
  }
};

TEST(LoadTexture, BuildsAMipmappedRepeatingTextureFromTheBitmap) {
  REQUIRE_HEADLESS_GL();
  TestDir dir;
  HeadlessGl::clearErrors();
  auto colour = [](int x, int y) {
    return std::vector<unsigned char>{static_cast<unsigned char>(40 * x),
                                      static_cast<unsigned char>(100 + 50 * y),
                                      static_cast<unsigned char>(7 + x + y)};
  };
  TestDir::write("Textures/hatch.bmp", bitmap24(4, 2, colour));
  GLuint ids[4] = {11, 12, 13, 14};
  loadTexture(ids, "Textures/hatch.bmp", 2);
  EXPECT_EQ(ids[0], 11u);
  EXPECT_EQ(ids[1], 12u);
  EXPECT_EQ(ids[3], 14u);
  ASSERT_TRUE(glIsTexture(ids[2]));
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), ids[2]);

  EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_T), GL_REPEAT);

  // Level 0 is the picture itself, bottom row first; the chain ends at 1 x 1.
  std::vector<unsigned char> expected;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      const auto c = colour(x, y);
      expected.insert(expected.end(), c.begin(), c.end());
    }
  }
  EXPECT_EQ(levelPixels(0), expected);
  EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 2);
  EXPECT_EQ(levelParameter(1, GL_TEXTURE_HEIGHT), 1);
  EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(levelParameter(2, GL_TEXTURE_HEIGHT), 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteTextures(1, &ids[2]);
}

TEST(LoadTexture, OddWidthRowsAreReadWithoutGaps) {
  REQUIRE_HEADLESS_GL();
  TestDir dir;
  HeadlessGl::clearErrors();
  // Rows of 15 bytes: read with a 4-byte row alignment they would shift colours.
  TestDir::write("Textures/odd.bmp", bitmap24(5, 3, [](int, int) {
                   return std::vector<unsigned char>{200, 30, 90};
                 }));
  GLuint ids[4] = {};
  loadTexture(ids, "Textures/odd.bmp", 0);
  ASSERT_TRUE(glIsTexture(ids[0]));
  const GLint width = levelParameter(0, GL_TEXTURE_WIDTH);
  const GLint height = levelParameter(0, GL_TEXTURE_HEIGHT);
  EXPECT_EQ(width & (width - 1), 0) << width;
  EXPECT_EQ(height & (height - 1), 0) << height;
  const std::vector<unsigned char> pixels = levelPixels(0);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    ASSERT_EQ(pixels[i], 200) << i;
    ASSERT_EQ(pixels[i + 1], 30) << i;
    ASSERT_EQ(pixels[i + 2], 90) << i;
  }
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 4);
  glDeleteTextures(1, &ids[0]);
}

TEST(LoadTexture, NullNameDoesNothing) {
  EchoingWindowSystem fake;
  fake.install();
  GLuint ids[4] = {1, 2, 3, 4};
  loadTexture(ids, nullptr, 1);
  EXPECT_EQ(ids[1], 2u);
  EXPECT_TRUE(fake.boxes.empty());
}

TEST(LoadTextureDeathTest, UnreadableFileEndsTheProgramWithStatusOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TestDir dir;
  TestDir::write("Textures/v5.bmp", bitmap24(
                                        2, 2,
                                        [](int, int) {
                                          return std::vector<unsigned char>{1, 2, 3};
                                        },
                                        124));
  struct Case {
    const char* file;
    const char* box;
  };
  const Case cases[] = {
      {"Textures/missing.bmp",
       "box owner=119 caption=Error type=0 text=Failed to open DIB file Textures/missing\\.bmp\\."},
      {"Textures/v5.bmp", "box owner=119 caption=Error type=0 text=Unknown DIB file format\\.\\|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EXIT(
        {
          EchoingWindowSystem fake;
          fake.focus = reinterpret_cast<ws::WindowHandle>(0x77);
          fake.install();
          GLuint ids[4] = {};
          loadTexture(ids, c.file, 0);
        },
        testing::ExitedWithCode(1), c.box);
  }
}

}  // namespace
