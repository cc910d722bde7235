// The bitmap reader over files built byte by byte: every header kind, bit
// depth, row padding, top-down and run-length layout it accepts, and every
// broken file it must refuse with exactly one message.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
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
  for (std::uint32_t v :
       {size, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
        1u | static_cast<std::uint32_t>(bits) << 16, compression, 0u, 2835u, 2835u, colorsUsed, 0u})
    put32(b, v);
  b.resize(size, '\0');  // longer header kinds: the rest left zero
  return b;
}

Bytes coreHeader(int width, int height, int bits) {
  Bytes b;
  put32(b, 12);
  for (int v : {width, height, 1, bits}) put16(b, static_cast<std::uint32_t>(v));
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

using Rgb = std::vector<unsigned char>;

Rgb paletteColor(int i) {
  return {static_cast<unsigned char>(i * 7 + 1), static_cast<unsigned char>(i * 13 + 2),
          static_cast<unsigned char>(255 - i * 3)};
}

Bytes paletteBytes(int entries, bool core = false) {
  Bytes b;
  for (int i = 0; i < entries; ++i) {
    const Rgb c = paletteColor(i);
    b += bytes({c[2], c[1], c[0]});
    if (!core) b.push_back('\x5A');  // reserved byte, ignored
  }
  return b;
}

ws::WindowHandle const focused = reinterpret_cast<ws::WindowHandle>(0x4242);

// Reads `name`; gives the pixels (empty when refused) and the one message
// shown, if any, after checking how it was shown.
std::pair<Bytes, std::string> read(const std::string& name) {
  FakeWindowSystem fake;
  fake.focus = focused;
  fake.install();
  RgbImage* image = loadDibImage(name.c_str());
  Bytes pixels;
  if (image)
    pixels.assign(reinterpret_cast<const char*>(image->pixels), image->width * image->height * 3);
  freeRgbImage(image);
  EXPECT_LE(fake.boxes.size(), 1u);
  if (fake.boxes.empty()) return {pixels, ""};
  EXPECT_EQ(fake.boxes[0].owner, focused);
  EXPECT_EQ(fake.boxes[0].caption, "Error");
  EXPECT_EQ(fake.boxes[0].type, ws::MbOk);
  return {pixels, fake.boxes[0].text};
}

// Through the file, and the same from memory: the same pixels, and the
// failure given as the text the file's reader shows.
std::pair<Bytes, std::string> load(const Bytes& file) {
  TestDir::write("image.bmp", file);
  const std::pair<Bytes, std::string> shown = read("image.bmp");
  const char* failure = nullptr;
  RgbImage* image =
      readDibImage(reinterpret_cast<const unsigned char*>(file.data()), file.size(), failure);
  Bytes pixels;
  if (image)
    pixels.assign(reinterpret_cast<const char*>(image->pixels), image->width * image->height * 3);
  freeRgbImage(image);
  EXPECT_EQ(image == nullptr, failure != nullptr);
  EXPECT_EQ(pixels, shown.first);
  EXPECT_EQ(failure ? failure : "", shown.second);
  return shown;
}

// A width x 3 uncompressed picture: the file that holds it (header kind 0
// core, 1 info, 2 info top-down) and, in `expected`, its R, G, B pixels
// bottom row first. Pixels are palette indices or packed colours (5-5-5 for
// 16 bits); rows end in fill bytes that must never be read as pixels.
Bytes pictureFile(int width, int bits, int kind, bool fileHeader, int entries, std::uint32_t used,
                  Bytes& expected) {
  const int height = 3;
  std::vector<Bytes> rows(height);
  expected.clear();
  for (int y = 0; y < height; ++y) {
    std::uint32_t pending = 0;
    int pendingBits = 0;
    for (int x = 0; x < width; ++x) {
      const std::uint32_t hash = static_cast<std::uint32_t>(x * 31 + y * 17 + 5) * 2654435761u;
      Bytes& row = rows[y];
      if (bits <= 8) {
        const int index = (x * 31 + y * 17 + 5) % entries;
        const Rgb c = paletteColor(index);
        expected += Bytes(c.begin(), c.end());
        pending = pending << bits | static_cast<std::uint32_t>(index);
        if ((pendingBits += bits) == 8) row.push_back(static_cast<char>(pending)), pendingBits = 0;
      } else if (bits == 16) {
        const std::uint32_t v = hash >> 17;
        for (int shift : {10, 5, 0})
          expected.push_back(static_cast<char>((v >> shift & 31) * 33 >> 2));
        put16(row, v);
      } else {
        expected += bytes({static_cast<int>(hash >> 16 & 0xFF), static_cast<int>(hash >> 8 & 0xFF),
                           static_cast<int>(hash & 0xFF)});
        row += bytes({static_cast<int>(hash & 0xFF), static_cast<int>(hash >> 8 & 0xFF),
                      static_cast<int>(hash >> 16 & 0xFF)});
        if (bits == 32) row.push_back('\x77');
      }
    }
    if (pendingBits) rows[y].push_back(static_cast<char>(pending << (8 - pendingBits)));
    while (rows[y].size() % 4) rows[y].push_back('\x66');
  }
  Bytes dib = kind == 0 ? coreHeader(width, height, bits)
                        : infoHeader(width, kind == 2 ? -height : height, bits, 0, used);
  dib += paletteBytes(entries, kind == 0);
  Bytes pixels;
  for (int i = 0; i < height; ++i) pixels += rows[kind == 2 ? height - 1 - i : i];
  if (!fileHeader) return dib + pixels;
  // A gap before the pixels: the offset in the file header must be used.
  return withFileHeader(dib + Bytes(6, '\x13') + pixels,
                        static_cast<std::uint32_t>(14 + dib.size() + 6));
}

TEST(DibReader, UncompressedImagesOfEveryKind) {
  TestDir dir;
  // Bits, palette entries, colours used (short palettes where non-zero).
  const int depths[][3] = {{1, 2, 0},  {4, 16, 0}, {4, 5, 5},  {8, 256, 0}, {8, 7, 7},
                           {16, 0, 0}, {24, 0, 0}, {24, 2, 2}, {32, 0, 0}};
  for (const auto& [bits, entries, used] : depths) {
    for (int kind = 0; kind < 3; ++kind) {
      if (kind == 0 && (used != 0 || bits == 16 || bits == 32)) continue;
      for (bool fileHeader : {false, true}) {
        for (int width = 1; width <= 8; ++width) {  // 24 bits 5 wide: 15 bytes + a fill byte
          SCOPED_TRACE(testing::Message()
                       << bits << " bits, " << entries << " entries, header " << kind
                       << ", file header " << fileHeader << ", width " << width);
          Bytes expected;
          const Bytes file = pictureFile(width, bits, kind, fileHeader, entries,
                                         static_cast<std::uint32_t>(used), expected);
          EXPECT_EQ(load(file), std::make_pair(expected, std::string()));
        }
      }
    }
  }
}

// Palette indices of a picture left black but for the given pixels.
std::vector<int> sparse(int width, int height, std::initializer_list<std::array<int, 3>> painted) {
  std::vector<int> indices(static_cast<size_t>(width) * height, -1);
  for (const auto& [x, y, index] : painted) indices[static_cast<size_t>(y) * width + x] = index;
  return indices;
}

// Each row a run of three, then a line end: a few bytes for a big picture.
Bytes shortRows(int height) {
  Bytes data;
  for (int y = 0; y < height; ++y) data += bytes({3, 1, 0, 0});
  return data + bytes({0, 1});
}

TEST(DibReader, RunLengthEncodedImages) {
  TestDir dir;
  std::vector<int> rowsStartingWithThree = sparse(1024, 1024, {});
  for (int y = 0; y < 1024; ++y) std::fill_n(rowsStartingWithThree.begin() + y * 1024, 3, 1);
  struct Case {
    const char* name;
    int bits, width, height;
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
      {"rle4 runs and absolute run with pad",
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
      // Sparse pictures far larger than their data: line ends, deltas and
      // the end of the bitmap leave pixels unpainted.
      {"rle8 sparse rows", 8, 1024, 1024, shortRows(1024), rowsStartingWithThree},
      {"rle8 nothing but the end of the bitmap", 8, 511, 1, bytes({0, 1}), sparse(511, 1, {})},
      {"rle8 as wide as allowed", 8, 4096, 1, bytes({0, 1}), sparse(4096, 1, {})},
      {"rle4 as high as allowed", 4, 1, 4096, bytes({0, 1}), sparse(1, 4096, {})},
      {"rle4 sparse delta", 4, 600, 400, bytes({2, 0x12, 0, 2, 200, 150, 2, 0x34, 0, 1}),
       sparse(600, 400, {{0, 0, 1}, {1, 0, 2}, {202, 150, 3}, {203, 150, 4}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes expected;
    for (int index : c.expected) {
      const Rgb color = index < 0 ? Rgb{0, 0, 0} : paletteColor(index);
      expected += Bytes(color.begin(), color.end());
    }
    const Bytes dib =
        infoHeader(c.width, c.height, c.bits, c.bits == 8 ? 1 : 2, 16) + paletteBytes(16);
    EXPECT_EQ(load(dib + c.data), std::make_pair(expected, std::string()));
    EXPECT_EQ(load(withFileHeader(dib + c.data, 14 + 40 + 64)).first, expected);
  }
}

TEST(DibReader, RefusesBrokenFilesWithOneMessage) {
  TestDir dir;
  const std::string unknown = "Unknown DIB file format.",
                    conversion = "Image file conversion error.", memory = "Out of memory.";
  const Bytes gray4 = paletteBytes(4), row24 = bytes({1, 2, 3, 0});
  const Bytes rle8 = infoHeader(4, 2, 8, 1, 4) + gray4;
  const std::pair<Bytes, std::string> cases[] = {
      {infoHeader(1, 1, 24, 0, 0, 108) + row24, unknown},
      {withFileHeader(infoHeader(1, 1, 24, 0, 0, 124) + row24, 138), unknown},
      {infoHeader(1, 1, 2, 0, 4) + gray4 + row24, unknown},  // 2 bits per pixel
      {infoHeader(1, 1, 8, 9, 4) + gray4 + row24, unknown},  // unknown compression
      {infoHeader(1, 1, 4, 1, 4) + gray4 + row24, unknown},  // rle8 on 4 bits
      {bytes({40, 0, 0}), conversion},
      {withFileHeader(infoHeader(1, 1, 24), 54).substr(0, 40), conversion},
      {coreHeader(1, 1, 24).substr(0, 10), conversion},
      {infoHeader(1, 1, 8) + gray4, conversion},                        // colour table short
      {infoHeader(1, 2, 24) + row24 + bytes({1, 2, 3}), conversion},    // last row short
      {withFileHeader(infoHeader(1, 1, 24) + row24, 500), conversion},  // offset past the end
      {infoHeader(2, 1, 8, 0, 3) + paletteBytes(3) + bytes({2, 3, 0, 0}), conversion},
      {infoHeader(2, 1, 4, 0, 4) + gray4 + bytes({0x35, 0, 0, 0}), conversion},
      {infoHeader(1, 1, 8, 0, 0x10000) + bytes({0, 0, 0, 0}), conversion},  // cut to 16 bits
      {rle8 + bytes({2, 9, 0, 1}), conversion},                             // index past table
      {rle8 + bytes({0, 4, 1, 2}), conversion},                             // absolute past end
      {rle8 + bytes({4, 1}), conversion},                                   // no end of bitmap
      {rle8 + bytes({0, 2, 1}), conversion},                                // delta cut short
      {infoHeader(4, -2, 8, 1, 4) + gray4 + bytes({0, 1}), conversion},     // rle top-down
      {infoHeader(0, 1, 24) + row24, conversion},
      {infoHeader(-1, 1, 24) + row24, conversion},
      {coreHeader(1, 0, 24) + row24, conversion},
      {infoHeader(INT_MAX, INT_MAX, 24) + row24, memory},
      {infoHeader(1 << 16, INT_MIN, 24) + row24, memory},
      {infoHeader(40000, 40000, 8, 1, 4) + gray4 + bytes({0, 1}), memory},
      // Run-length pictures larger than any texture wants (819 MB and 251 MB
      // from a few bytes).
      {infoHeader(14596, 18704, 8, 1, 4) + gray4 + bytes({0, 1}), conversion},
      {infoHeader(83886084, 1, 4, 2, 4) + gray4 + bytes({0, 1}), conversion},
      {infoHeader(4097, 4096, 8, 1, 4) + gray4 + bytes({0, 1}), conversion},
      // Each side is bound, not only the area.
      {infoHeader(16384, 1024, 8, 1, 4) + gray4 + bytes({0, 1}), conversion},
      {infoHeader(1024, 16384, 8, 1, 4) + gray4 + bytes({0, 1}), conversion},
      {infoHeader(4097, 1, 4, 2, 4) + gray4 + bytes({0, 1}), conversion},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    EXPECT_EQ(load(cases[i].first), std::make_pair(Bytes(), cases[i].second));
  }
}

TEST(DibReader, UnreadableFilesNameTheFile) {
  TestDir dir;
  TestDir::write("empty.bmp", "");
  std::filesystem::create_directory("folder.bmp");
  const std::string longName = "dir/" + std::string(300, 'n') + ".bmp";
  const std::string prefix = "Failed to open DIB file ";
  for (const std::string& name : {std::string("Textures/none.bmp"), std::string("empty.bmp"),
                                  std::string("folder.bmp"), longName}) {
    SCOPED_TRACE(name);
    const std::string shown = name.substr(0, 255 - prefix.size() - 2);
    EXPECT_EQ(read(name), std::make_pair(Bytes(), prefix + shown + ".\n"));
  }
}

TEST(DibReader, ColorCountFollowsColoursUsedOrBitDepth) {
  const std::pair<Bytes, std::uint16_t> cases[] = {
      {infoHeader(1, 1, 1), 2},
      {infoHeader(1, 1, 4), 16},
      {infoHeader(1, 1, 8), 256},
      {infoHeader(1, 1, 24), 0},
      {infoHeader(1, 1, 24, 0, 12), 12},
      {infoHeader(1, 1, 8, 0, 300), 300},
      {infoHeader(1, 1, 8, 0, 0x10005), 5},
      {coreHeader(1, 1, 4), 16},
      {coreHeader(1, 1, 24), 0},
  };
  for (const auto& [header, count] : cases)
    EXPECT_EQ(dibColorCount(reinterpret_cast<const unsigned char*>(header.data())), count);
}

}  // namespace
