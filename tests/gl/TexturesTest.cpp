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

// A 24-bit bitmap with file header whose pixels, bottom row first, are the
// R, G, B triples of `rgb`.
std::string bitmap24(int width, int height, const std::string& rgb, std::uint32_t headerSize = 40) {
  std::string pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const char* c = &rgb[static_cast<std::size_t>((y * width + x) * 3)];
      pixels += {c[2], c[1], c[0]};
    }
    while (pixels.size() % 4) pixels.push_back('\0');
  }
  std::string file = "BM";
  put32(file, static_cast<std::uint32_t>(14 + headerSize + pixels.size()));
  put32(file, 0);
  put32(file, 14 + headerSize);
  for (std::uint32_t v : {headerSize, static_cast<std::uint32_t>(width),
                          static_cast<std::uint32_t>(height), 1u | 24u << 16})
    put32(file, v);
  file.resize(14 + headerSize, '\0');
  return file + pixels;
}

GLint levelParameter(int level, GLenum name) {
  GLint value = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
  return value;
}

TEST(LoadTexture, BuildsAMipmappedRepeatingTextureFromTheBitmap) {
  REQUIRE_HEADLESS_GL();
  TestDir dir;
  HeadlessGl::clearErrors();
  // 2 x 4: rows of 6 bytes, which a 4-byte unpack alignment would shift.
  std::string rgb;
  for (int i = 0; i < 8; ++i)
    rgb += {static_cast<char>(40 * (i % 2)), static_cast<char>(100 + i), static_cast<char>(7 * i)};
  TestDir::write("Textures/hatch.bmp", bitmap24(2, 4, rgb));
  GLuint ids[4] = {11, 12, 13, 14};
  loadTexture(ids, "Textures/hatch.bmp", 2);
  EXPECT_EQ(std::vector<GLuint>({ids[0], ids[1], ids[3]}), std::vector<GLuint>({11, 12, 14}));
  ASSERT_TRUE(glIsTexture(ids[2]));
  GLint value = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
  EXPECT_EQ(static_cast<GLuint>(value), ids[2]);
  const std::pair<GLenum, GLint> parameters[] = {{GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR},
                                                 {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                                 {GL_TEXTURE_WRAP_S, GL_REPEAT},
                                                 {GL_TEXTURE_WRAP_T, GL_REPEAT}};
  for (const auto& [name, expected] : parameters) {
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    EXPECT_EQ(value, expected) << name;
  }
  // Level 0 is the picture itself; the chain ends at 1 x 1.
  std::string level0(rgb.size(), '\0');
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, &level0[0]);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 2);
  EXPECT_EQ(level0, rgb);
  EXPECT_EQ(levelParameter(2, GL_TEXTURE_WIDTH), 1);
  EXPECT_EQ(levelParameter(2, GL_TEXTURE_HEIGHT), 1);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glDeleteTextures(1, &ids[2]);
}

// Shows every message box on stderr, where a death test can see it.
class EchoingWindowSystem : public FakeWindowSystem {
 public:
  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override {
    std::fprintf(stderr, "box owner=%lu caption=%s type=%u text=%s|\n",
                 static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(owner)), caption, type,
                 text);
    return FakeWindowSystem::messageBox(owner, text, caption, type);
  }
};

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
  TestDir::write("Textures/v5.bmp", bitmap24(1, 1, "abc", 124));
  const std::pair<const char*, const char*> cases[] = {
      {"Textures/missing.bmp",
       "box owner=119 caption=Error type=0 text=Failed to open DIB file Textures/missing\\.bmp\\."},
      {"Textures/v5.bmp", "box owner=119 caption=Error type=0 text=Unknown DIB file format\\.\\|"},
  };
  for (const auto& [file, box] : cases) {
    SCOPED_TRACE(file);
    EXPECT_EXIT(
        {
          EchoingWindowSystem fake;
          fake.focus = reinterpret_cast<ws::WindowHandle>(0x77);
          fake.install();
          GLuint ids[4] = {};
          loadTexture(ids, file, 0);
        },
        testing::ExitedWithCode(1), box);
  }
}

}  // namespace
