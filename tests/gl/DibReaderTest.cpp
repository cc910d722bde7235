// The bitmap reader over files built byte by byte: every header kind, bit
// depth, row padding, top-down and run-length layout it accepts, and every
// broken file it must refuse with exactly one message.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gl/Textures.h"
#include "platform/fake/FakeWindowSystem.h"
#include "tests/support/TestDir.h"

namespace {

using Bytes = std::string;

void put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8 & 0xFF));
}

void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

Bytes bytes(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(static_cast<char>(v));
  return b;
}

Bytes infoHeader(std::int32_t width, std::int32_t height, int bits, std::uint32_t compression = 0,
                 std::uint32_t colorsUsed = 0, std::uint32_t size = 40) {
  Bytes b;
  put32(b, size);
  put32(b, static_cast<std::uint32_t>(width));
  put32(b, static_cast<std::uint32_t>(height));
  put16(b, 1);
  put16(b, static_cast<std::uint32_t>(bits));
  put32(b, compression);
  put32(b, 0);  // image size
  put32(b, 2835);
  put32(b, 2835);
  put32(b, colorsUsed);
  put32(b, 0);
  b.resize(size, '\0');  // longer header kinds: the rest left zero
  return b;
}

Bytes coreHeader(int width, int height, int bits) {
  Bytes b;
  put32(b, 12);
  put16(b, static_cast<std::uint32_t>(width));
  put16(b, static_cast<std::uint32_t>(height));
  put16(b, 1);
  put16(b, static_cast<std::uint32_t>(bits));
  return b;
}

// "BM", file size, two reserved words, offset of the pixel data.
Bytes withFileHeader(const Bytes& dib, std::uint32_t pixelOffset) {
  Bytes b("BM");
  put32(b, static_cast<std::uint32_t>(14 + dib.size()));
  put32(b, 0);
  put32(b, pixelOffset);
  return b + dib;
}

struct Rgb {
  unsigned char r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb paletteColor(int i) {
  return Rgb{static_cast<unsigned char>(i * 7 + 1), static_cast<unsigned char>(i * 13 + 2),
             static_cast<unsigned char>(255 - i * 3)};
}

Bytes paletteBytes(int entries, bool core) {
  Bytes b;
  for (int i = 0; i < entries; ++i) {
    const Rgb c = paletteColor(i);
    b += bytes({c.b, c.g, c.r});
    if (!core) b.push_back('\x5A');  // reserved byte, ignored
  }
  return b;
}

struct Loaded {
  RgbImage* image = nullptr;
  std::vector<FakeWindowSystem::Box> boxes;
};

ws::WindowHandle const focused = reinterpret_cast<ws::WindowHandle>(0x4242);

Loaded load(const Bytes& file, const std::string& name = "image.bmp") {
  TestDir::write(name, file);
  FakeWindowSystem fake;
  fake.focus = focused;
  fake.install();
  Loaded result;
  result.image = loadDibImage(name.c_str());
  result.boxes = fake.boxes;
  return result;
}

std::vector<Rgb> pixelsOf(const RgbImage* image) {
  std::vector<Rgb> out;
  for (int i = 0; i < image->width * image->height; ++i) {
    const unsigned char* p = image->pixels + i * 3;
    out.push_back(Rgb{p[0], p[1], p[2]});
  }
  return out;
}

// An uncompressed picture and the file that holds it. value(x, y) counts y
// from the bottom row and gives a palette index or a packed 0xRRGGBB colour
// (5-5-5 for 16 bits).
struct Picture {
  int width;
  int height;
  int bits;
  bool core;
  bool fileHeader;
  bool topDown;
  int paletteEntries;  // entries written to the file
  std::uint32_t colorsUsed;

  std::uint32_t value(int x, int y) const {
    const std::uint32_t seed = static_cast<std::uint32_t>(x * 31 + y * 17 + 5);
    if (bits <= 8) return seed % static_cast<std::uint32_t>(paletteEntries);
    if (bits == 16) return (seed * 2654435761u) >> 17;
    return (seed * 2654435761u) & 0xFFFFFF;
  }

  Rgb expected(int x, int y) const {
    const std::uint32_t v = value(x, y);
    if (bits <= 8) return paletteColor(static_cast<int>(v));
    if (bits == 16) {
      auto widen = [](std::uint32_t c) { return static_cast<unsigned char>(c << 3 | c >> 2); };
      return Rgb{widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31)};
    }
    return Rgb{static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
               static_cast<unsigned char>(v)};
  }

  Bytes row(int y) const {
    Bytes b;
    std::uint32_t bitsPending = 0;
    int pendingCount = 0;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = value(x, y);
      if (bits < 8) {
        bitsPending = bitsPending << bits | v;
        pendingCount += bits;
        if (pendingCount == 8) {
          b.push_back(static_cast<char>(bitsPending));
          bitsPending = 0;
          pendingCount = 0;
        }
      } else if (bits == 8) {
        b.push_back(static_cast<char>(v));
      } else if (bits == 16) {
        put16(b, v);
      } else {
        b += bytes({static_cast<int>(v & 0xFF), static_cast<int>(v >> 8 & 0xFF),
                    static_cast<int>(v >> 16)});
        if (bits == 32) b.push_back('\x77');
      }
    }
    if (pendingCount) b.push_back(static_cast<char>(bitsPending << (8 - pendingCount)));
    while (b.size() % 4) b.push_back('\x66');  // fill bytes, never read as pixels
    return b;
  }

  Bytes file() const {
    Bytes dib = core ? coreHeader(width, height, bits)
                     : infoHeader(width, topDown ? -height : height, bits, 0, colorsUsed);
    dib += paletteBytes(paletteEntries, core);
    Bytes pixels;
    for (int i = 0; i < height; ++i) pixels += row(topDown ? height - 1 - i : i);
    if (!fileHeader) return dib + pixels;
    // A gap before the pixels: the offset in the file header must be used.
    const Bytes gap(6, '\x13');
    return withFileHeader(dib + gap + pixels, static_cast<std::uint32_t>(14 + dib.size() + 6));
  }
};

TEST(DibReader, UncompressedImagesOfEveryKind) {
  TestDir dir;
  struct Depth {
    int bits;
    int paletteEntries;
    std::uint32_t colorsUsed;
  };
  const Depth depths[] = {
      {1, 2, 0},  {4, 16, 0}, {4, 5, 5},  {8, 256, 0}, {8, 7, 7},
      {16, 0, 0}, {24, 0, 0}, {24, 2, 2}, {32, 0, 0},  {32, 3, 3},
  };
  for (const Depth& depth : depths) {
    for (int headerKind = 0; headerKind < 3; ++headerKind) {  // core, info, info top-down
      const bool core = headerKind == 0;
      if (core && (depth.colorsUsed != 0 || depth.bits == 16 || depth.bits == 32)) continue;
      for (int fileHeader = 0; fileHeader < 2; ++fileHeader) {
        for (int width = 1; width <= 8; ++width) {
          const Picture picture{width,
                                3,
                                depth.bits,
                                core,
                                fileHeader == 1,
                                headerKind == 2,
                                depth.paletteEntries,
                                depth.colorsUsed};
          SCOPED_TRACE(testing::Message()
                       << depth.bits << " bits, " << depth.paletteEntries << " entries, header "
                       << headerKind << ", file header " << fileHeader << ", width " << width);
          const Loaded loaded = load(picture.file());
          ASSERT_NE(loaded.image, nullptr);
          EXPECT_TRUE(loaded.boxes.empty());
          EXPECT_EQ(loaded.image->width, width);
          EXPECT_EQ(loaded.image->height, 3);
          std::vector<Rgb> expected;
          for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) expected.push_back(picture.expected(x, y));
          }
          EXPECT_TRUE(pixelsOf(loaded.image) == expected);
          freeRgbImage(loaded.image);
        }
      }
    }
  }
}

TEST(DibReader, FivePixelWide24BitRowsLoseTheirFillByte) {
  TestDir dir;
  Bytes pixels;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) pixels += bytes({10 * x + y, 100 + x, 200 + y});  // B, G, R
    pixels.push_back('\xEE');
  }
  const Loaded loaded = load(withFileHeader(infoHeader(5, 2, 24) + pixels, 54));
  ASSERT_NE(loaded.image, nullptr);
  const Bytes out(reinterpret_cast<const char*>(loaded.image->pixels), 30);
  Bytes expected;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) expected += bytes({200 + y, 100 + x, 10 * x + y});
  }
  EXPECT_EQ(out, expected);
  freeRgbImage(loaded.image);
}

TEST(DibReader, RunLengthEncodedImages) {
  TestDir dir;
  struct Case {
    const char* name;
    int bits;
    int width;
    int height;
    Bytes data;
    std::vector<int> expected;  // palette indices bottom row first, -1 black
  };
  const Case cases[] = {
      {"rle8 runs, absolute with pad, delta, end of bitmap",
       8,
       4,
       3,
       bytes({3, 1, 0, 0, 0, 3, 2, 3, 0, 0, 1, 1, 0, 0, 0, 2, 2, 0, 2, 3, 0, 1}),
       {1, 1, 1, -1, 2, 3, 0, 1, -1, -1, 3, 3}},
      {"rle8 absolute run of even length", 8, 4, 1, bytes({0, 4, 0, 1, 2, 3, 0, 1}), {0, 1, 2, 3}},
      {"rle8 delta across rows",
       8,
       2,
       3,
       bytes({1, 2, 0, 2, 0, 2, 1, 3, 0, 1}),
       {2, -1, -1, -1, -1, 3}},
      {"rle8 run past the row end is clipped", 8, 2, 1, bytes({4, 1, 0, 1}), {1, 1}},
      {"rle8 line ends without end of bitmap", 8, 1, 2, bytes({1, 1, 0, 0, 1, 2, 0, 0}), {1, 2}},
      {"rle4 alternating runs and absolute run with pad",
       4,
       5,
       2,
       bytes({5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1}),
       {1, 2, 1, 2, 1, 3, 4, 5, 6, 7}},
      {"rle4 absolute run needing no pad",
       4,
       4,
       1,
       bytes({0, 3, 0xAB, 0xC0, 1, 0xD0, 0, 1}),
       {10, 11, 12, 13}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int fileHeader = 0; fileHeader < 2; ++fileHeader) {
      Bytes dib =
          infoHeader(c.width, c.height, c.bits, c.bits == 8 ? 1 : 2, 16) + paletteBytes(16, false);
      const Bytes file = fileHeader ? withFileHeader(dib + c.data, 14 + 40 + 64) : dib + c.data;
      const Loaded loaded = load(file);
      ASSERT_NE(loaded.image, nullptr);
      EXPECT_TRUE(loaded.boxes.empty());
      std::vector<Rgb> expected;
      for (int index : c.expected)
        expected.push_back(index < 0 ? Rgb{0, 0, 0} : paletteColor(index));
      EXPECT_TRUE(pixelsOf(loaded.image) == expected);
      freeRgbImage(loaded.image);
    }
  }
}

const char* const unknownFormat = "Unknown DIB file format.";
const char* const conversionError = "Image file conversion error.";
const char* const outOfMemory = "Out of memory.";

TEST(DibReader, RefusesBrokenFilesWithOneMessage) {
  TestDir dir;
  const Bytes gray4 = paletteBytes(4, false);
  const Bytes row24 = bytes({1, 2, 3, 0});
  const Bytes rle8 = infoHeader(4, 2, 8, 1, 4) + gray4;
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  const Case cases[] = {
      {"108-byte header", infoHeader(1, 1, 24, 0, 0, 108) + row24, unknownFormat},
      {"124-byte header", withFileHeader(infoHeader(1, 1, 24, 0, 0, 124) + row24, 138),
       unknownFormat},
      {"64-byte header", infoHeader(1, 1, 24, 0, 0, 64) + row24, unknownFormat},
      {"2 bits per pixel", infoHeader(1, 1, 2, 0, 4) + gray4 + row24, unknownFormat},
      {"0 bits per pixel", infoHeader(1, 1, 0) + row24, unknownFormat},
      {"bit-field masks", infoHeader(1, 1, 16, 3) + row24, unknownFormat},
      {"embedded jpeg", infoHeader(1, 1, 0, 4) + row24, unknownFormat},
      {"rle8 on 4 bits", infoHeader(1, 1, 4, 1, 4) + gray4 + row24, unknownFormat},
      {"rle4 on 8 bits", infoHeader(1, 1, 8, 2, 4) + gray4 + row24, unknownFormat},
      {"unknown compression", infoHeader(1, 1, 8, 9, 4) + gray4 + row24, unknownFormat},
      {"three bytes", bytes({40, 0, 0}), conversionError},
      {"file header only", withFileHeader("", 14).substr(0, 10), conversionError},
      {"info header cut short", withFileHeader(infoHeader(1, 1, 24), 54).substr(0, 40),
       conversionError},
      {"core header cut short", coreHeader(1, 1, 24).substr(0, 10), conversionError},
      {"colour table cut short", infoHeader(1, 1, 8) + gray4, conversionError},
      {"last row cut short", infoHeader(1, 2, 24) + row24 + bytes({1, 2, 3}), conversionError},
      {"pixel offset past the end", withFileHeader(infoHeader(1, 1, 24) + row24, 500),
       conversionError},
      {"rows past the end from the offset", withFileHeader(infoHeader(1, 1, 24) + row24, 56),
       conversionError},
      {"8-bit index beyond a short table",
       infoHeader(2, 1, 8, 0, 3) + paletteBytes(3, false) + bytes({2, 3, 0, 0}), conversionError},
      {"4-bit index beyond a short table",
       infoHeader(2, 1, 4, 0, 4) + gray4 + bytes({0x35, 0, 0, 0}), conversionError},
      {"1-bit index beyond a one-entry table",
       infoHeader(2, 1, 1, 0, 1) + paletteBytes(1, false) + bytes({0x40, 0, 0, 0}),
       conversionError},
      {"colours-used cut to 16 bits leaves no table",
       infoHeader(1, 1, 8, 0, 0x10000) + bytes({0, 0, 0, 0}), conversionError},
      {"rle8 index beyond the table", rle8 + bytes({2, 9, 0, 1}), conversionError},
      {"rle8 absolute run past the end", rle8 + bytes({0, 4, 1, 2}), conversionError},
      {"rle8 absolute run without its pad", rle8 + bytes({0, 3, 1, 2, 3}), conversionError},
      {"rle8 without end of bitmap", rle8 + bytes({4, 1}), conversionError},
      {"rle8 delta cut short", rle8 + bytes({0, 2, 1}), conversionError},
      {"rle8 top-down", infoHeader(4, -2, 8, 1, 4) + gray4 + bytes({0, 1}), conversionError},
      {"width 0", infoHeader(0, 1, 24) + row24, conversionError},
      {"negative width", infoHeader(-1, 1, 24) + row24, conversionError},
      {"height 0", infoHeader(1, 0, 24) + row24, conversionError},
      {"core height 0", coreHeader(1, 0, 24) + row24, conversionError},
      {"width times height overflows", infoHeader(INT_MAX, INT_MAX, 24) + row24, outOfMemory},
      {"most negative height", infoHeader(1 << 16, INT_MIN, 24) + row24, outOfMemory},
      {"huge core image", coreHeader(65535, 65535, 24) + row24, outOfMemory},
      {"huge run-length image", infoHeader(40000, 40000, 8, 1, 4) + gray4 + bytes({0, 1}),
       outOfMemory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Loaded loaded = load(c.file);
    EXPECT_EQ(loaded.image, nullptr);
    freeRgbImage(loaded.image);
    ASSERT_EQ(loaded.boxes.size(), 1u);
    EXPECT_EQ(loaded.boxes[0].text, c.message);
    EXPECT_EQ(loaded.boxes[0].owner, focused);
    EXPECT_EQ(loaded.boxes[0].caption, "Error");
    EXPECT_EQ(loaded.boxes[0].type, ws::MbOk);
  }
}

TEST(DibReader, UnreadableFilesNameTheFile) {
  TestDir dir;
  TestDir::write("empty.bmp", "");
  std::filesystem::create_directory("folder.bmp");
  const std::string longName = "dir/" + std::string(300, 'n') + ".bmp";
  const std::string prefix = "Failed to open DIB file ";
  struct Case {
    std::string name;
    std::string message;
  };
  const Case cases[] = {
      {"missing.bmp", prefix + "missing.bmp.\n"},
      {"Textures/none.bmp", prefix + "Textures/none.bmp.\n"},
      {"empty.bmp", prefix + "empty.bmp.\n"},
      {"folder.bmp", prefix + "folder.bmp.\n"},
      {longName, prefix + longName.substr(0, 255 - prefix.size() - 2) + ".\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeWindowSystem fake;
    fake.focus = focused;
    fake.install();
    EXPECT_EQ(loadDibImage(c.name.c_str()), nullptr);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, c.message);
    EXPECT_LE(fake.boxes[0].text.size(), 255u);
    EXPECT_EQ(fake.boxes[0].owner, focused);
    EXPECT_EQ(fake.boxes[0].caption, "Error");
    EXPECT_EQ(fake.boxes[0].type, ws::MbOk);
  }
}

TEST(DibReader, ColorCountFollowsColoursUsedOrBitDepth) {
  struct Case {
    Bytes header;
    std::uint16_t count;
  };
  const Case cases[] = {
      {infoHeader(1, 1, 1), 2},           {infoHeader(1, 1, 4), 16},
      {infoHeader(1, 1, 8), 256},         {infoHeader(1, 1, 24), 0},
      {infoHeader(1, 1, 16), 0},          {infoHeader(1, 1, 24, 0, 12), 12},
      {infoHeader(1, 1, 8, 0, 300), 300}, {infoHeader(1, 1, 8, 0, 0x10005), 5},
      {coreHeader(1, 1, 1), 2},           {coreHeader(1, 1, 4), 16},
      {coreHeader(1, 1, 8), 256},         {coreHeader(1, 1, 24), 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dibColorCount(reinterpret_cast<const unsigned char*>(c.header.data())), c.count);
  }
}

}  // namespace
