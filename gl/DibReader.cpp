// Device-independent bitmap files into packed RGB images. The file is read
// into memory once and every access is checked against its length, so a
// broken file is refused instead of read past its end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "gl/Textures.h"
#include "platform/Dialogs.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#define NPR_MAP_FILES 1
#ifndef MAP_POPULATE
#define MAP_POPULATE 0
#endif
#else
#define NPR_MAP_FILES 0
#endif

namespace {

constexpr std::uint32_t coreHeaderSize = 12;
constexpr std::uint32_t infoHeaderSize = 40;
constexpr std::size_t fileHeaderSize = 14;

constexpr std::uint32_t compressionNone = 0;
constexpr std::uint32_t compressionRle8 = 1;
constexpr std::uint32_t compressionRle4 = 2;

// The largest 24-bit image (rows padded to four bytes) whose size still
// fits the signed 32-bit size field of a bitmap.
constexpr std::uint64_t largestImageBytes = 0x7FFFFFFF;
// Run-length data may leave any number of pixels unpainted, so its length
// says nothing of the picture's size. This bound does, on each side: eight
// times as wide and high as the demo's largest texture, 48 MB as RGB.
constexpr std::int64_t largestRunLengthSide = 4096;

const char* const outOfMemory = "Out of memory.";
const char* const unknownFormat = "Unknown DIB file format.";
const char* const conversionError = "Image file conversion error.";

std::uint16_t read16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t read32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void showReaderMessage(const char* text) {
  ws::Dialogs& dialogs = ws::dialogs();
  dialogs.messageBox(dialogs.focusWindow(), text, "Error", ws::MbOk);
}

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// The whole file in memory, read once: mapped where the system can map it,
// otherwise read into one block. An empty file counts as unreadable, as
// there is nothing to map.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() {
#if NPR_MAP_FILES
    if (mapped_) munmap(data_, size_);
#endif
    if (!mapped_) std::free(data_);
  }

  // False when the file cannot be had; failure then names a message other
  // than the one for an unopenable file, if any.
  bool open(const char* fileName, const char*& failure) {
    failure = nullptr;
    std::error_code ignored;
    if (!fileName || !std::filesystem::is_regular_file(fileName, ignored)) return false;
#if NPR_MAP_FILES
    const int fd = ::open(fileName, O_RDONLY);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
      void* view = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                        MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (view != MAP_FAILED) {
        data_ = static_cast<unsigned char*>(view);
        size_ = static_cast<std::size_t>(info.st_size);
        mapped_ = true;
      }
    }
    ::close(fd);
    if (mapped_) return true;
#endif
    return read(fileName, failure);
  }

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  bool read(const char* fileName, const char*& failure) {
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return false;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    bool complete = false;
    if (length > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
      data_ = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(length)));
      if (data_) {
        size_ = static_cast<std::size_t>(length);
        complete = std::fread(data_, 1, size_, file) == size_;
      } else {
        failure = outOfMemory;
      }
    }
    std::fclose(file);
    return complete;
  }

  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
};

struct Rgb {
  unsigned char r, g, b;
};

struct Palette {
  Rgb colors[256];
  unsigned count = 0;  // entries that exist; higher indices are refused
};

// Writes decoded pixels into the packed image, refusing palette indices the
// table does not have.
class PixelSink {
 public:
  PixelSink(unsigned char* pixels, std::int64_t width, std::int64_t height, const Palette& palette)
      : pixels_(pixels), width_(width), height_(height), palette_(palette) {}

  unsigned char* row(std::int64_t y) const {
    return pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3;
  }
  bool index(unsigned char* out, unsigned value) const {
    if (value >= palette_.count) return false;
    const Rgb& c = palette_.colors[value];
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    return true;
  }
  // Run-length pixels outside the picture are dropped, as the platform does.
  bool put(std::int64_t x, std::int64_t y, unsigned value) const {
    if (x >= width_ || y >= height_) return true;
    return index(row(y) + x * 3, value);
  }
  std::int64_t width() const { return width_; }
  std::int64_t height() const { return height_; }

 private:
  unsigned char* pixels_;
  std::int64_t width_;
  std::int64_t height_;
  const Palette& palette_;
};

unsigned char expand5(unsigned value) {
  return static_cast<unsigned char>(value << 3 | value >> 2);
}

bool convertRow(const unsigned char* in, unsigned char* out, std::int64_t width, unsigned bits,
                const PixelSink& sink) {
  switch (bits) {
    case 24:
    case 32: {
      const unsigned step = bits / 8;  // B, G, R and, at 32 bits, an unused byte
      for (std::int64_t x = 0; x < width; ++x, in += step, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
      return true;
    }
    case 16:
      for (std::int64_t x = 0; x < width; ++x, in += 2, out += 3) {
        const unsigned v = read16(in);
        out[0] = expand5(v >> 10 & 31);
        out[1] = expand5(v >> 5 & 31);
        out[2] = expand5(v & 31);
      }
      return true;
    case 8:
      for (std::int64_t x = 0; x < width; ++x, out += 3) {
        if (!sink.index(out, in[x])) return false;
      }
      return true;
    case 4:
      for (std::int64_t x = 0; x < width; ++x, out += 3) {
        const unsigned byte = in[x / 2];
        if (!sink.index(out, x % 2 ? byte & 15 : byte >> 4)) return false;
      }
      return true;
    case 1:
      for (std::int64_t x = 0; x < width; ++x, out += 3) {
        if (!sink.index(out, in[x / 8] >> (7 - x % 8) & 1)) return false;
      }
      return true;
    default:
      return false;
  }
}

// Run-length data: pairs of count and value, or a zero and an escape (end of
// line, end of bitmap, delta, or an absolute run padded to an even length).
// Pixels skipped by line ends and deltas stay black.
bool decodeRunLength(const unsigned char* at, const unsigned char* end, bool fourBit,
                     const PixelSink& sink) {
  std::int64_t x = 0;
  std::int64_t y = 0;
  while (y < sink.height()) {
    if (end - at < 2) return false;
    const unsigned count = at[0];
    const unsigned value = at[1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i, ++x) {
        const unsigned index = fourBit ? (i % 2 ? value & 15 : value >> 4) : value;
        if (!sink.put(x, y, index)) return false;
      }
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        ++y;
        break;
      case 1:
        return true;
      case 2:
        if (end - at < 2) return false;
        x += at[0];
        y += at[1];
        at += 2;
        break;
      default: {
        const std::size_t bytes = fourBit ? (value + 1) / 2 : value;
        const std::size_t padded = (bytes + 1) & ~static_cast<std::size_t>(1);
        if (static_cast<std::size_t>(end - at) < padded) return false;
        for (unsigned i = 0; i < value; ++i, ++x) {
          const unsigned index = fourBit ? (i % 2 ? at[i / 2] & 15 : at[i / 2] >> 4) : at[i];
          if (!sink.put(x, y, index)) return false;
        }
        at += padded;
        break;
      }
    }
  }
  return true;
}

}  // namespace

RgbImage* readDibImage(const unsigned char* file, std::size_t fileSize, const char*& failure) {
  failure = conversionError;  // the message for anything that runs past the file
  std::size_t headerAt = 0;
  std::size_t bitsAt = 0;
  bool bitsKnown = false;
  if (fileSize >= 2 && file[0] == 'B' && file[1] == 'M') {
    if (fileSize < fileHeaderSize) return nullptr;
    bitsAt = read32(file + 10);
    bitsKnown = true;
    headerAt = fileHeaderSize;
  }
  if (fileSize - headerAt < 4) return nullptr;
  const unsigned char* header = file + headerAt;
  const std::uint32_t headerSize = read32(header);
  if (headerSize != coreHeaderSize && headerSize != infoHeaderSize) {
    failure = unknownFormat;
    return nullptr;
  }
  if (fileSize - headerAt < headerSize) return nullptr;

  const bool core = headerSize == coreHeaderSize;
  const std::int64_t width =
      core ? read16(header + 4) : static_cast<std::int32_t>(read32(header + 4));
  const std::int64_t fileHeight =
      core ? read16(header + 6) : static_cast<std::int32_t>(read32(header + 8));
  const unsigned bits = read16(header + (core ? 10 : 14));
  const std::uint32_t compression = core ? compressionNone : read32(header + 16);

  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  const bool direct = bits == 16 || bits == 24 || bits == 32;
  const bool knownCompression = compression == compressionNone ||
                                (compression == compressionRle8 && bits == 8) ||
                                (compression == compressionRle4 && bits == 4);
  if (!(indexed || direct) || !knownCompression) {
    failure = unknownFormat;
    return nullptr;
  }

  const unsigned entries = dibColorCount(header);
  const std::size_t entrySize = core ? 3 : 4;
  const std::size_t tableAt = headerAt + headerSize;
  const std::size_t tableBytes = entries * entrySize;
  if (!bitsKnown) bitsAt = tableAt + tableBytes;
  Palette palette;
  if (indexed) {
    if (fileSize - tableAt < tableBytes) return nullptr;
    palette.count = entries < 256 ? entries : 256;
    for (unsigned i = 0; i < palette.count; ++i) {
      const unsigned char* entry = file + tableAt + i * entrySize;
      palette.colors[i] = Rgb{entry[2], entry[1], entry[0]};
    }
  }

  const bool topDown = fileHeight < 0;
  const std::int64_t height = topDown ? -fileHeight : fileHeight;
  if (width <= 0 || height == 0) return nullptr;
  if (topDown && compression != compressionNone) return nullptr;
  const std::uint64_t paddedRow24 = (static_cast<std::uint64_t>(width) * 3 + 3) & ~3ull;
  if (paddedRow24 * static_cast<std::uint64_t>(height) > largestImageBytes) {
    failure = outOfMemory;
    return nullptr;
  }

  if (bitsAt > fileSize) return nullptr;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  if (compression == compressionNone &&
      rowBytes * static_cast<std::uint64_t>(height) > fileSize - bitsAt) {
    return nullptr;
  }
  if (compression != compressionNone &&
      (width > largestRunLengthSide || height > largestRunLengthSide)) {
    return nullptr;
  }

  const std::size_t pixelBytes = static_cast<std::size_t>(width * height * 3);
  std::unique_ptr<unsigned char, FreeDeleter> pixels(static_cast<unsigned char*>(
      compression == compressionNone ? std::malloc(pixelBytes) : std::calloc(pixelBytes, 1)));
  if (!pixels) {
    failure = outOfMemory;
    return nullptr;
  }
  const PixelSink sink(pixels.get(), width, height, palette);
  if (compression == compressionNone) {
    const unsigned char* in = file + bitsAt;
    for (std::int64_t r = 0; r < height; ++r, in += rowBytes) {
      if (!convertRow(in, sink.row(topDown ? height - 1 - r : r), width, bits, sink)) {
        return nullptr;
      }
    }
  } else if (!decodeRunLength(file + bitsAt, file + fileSize, compression == compressionRle4,
                              sink)) {
    return nullptr;
  }

  auto* image = static_cast<RgbImage*>(std::malloc(sizeof(RgbImage)));
  if (!image) {
    failure = outOfMemory;
    return nullptr;
  }
  image->width = static_cast<std::int32_t>(width);
  image->height = static_cast<std::int32_t>(height);
  image->pixels = pixels.release();
  failure = nullptr;
  return image;
}

std::uint16_t dibColorCount(const unsigned char* infoHeader) {
  if (read32(infoHeader) == coreHeaderSize) {
    switch (read16(infoHeader + 10)) {
      case 1:
        return 2;
      case 4:
        return 16;
      case 8:
        return 256;
      default:
        return 0;
    }
  }
  const std::uint32_t used = read32(infoHeader + 32);
  if (used != 0) return static_cast<std::uint16_t>(used);
  switch (read16(infoHeader + 14)) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

RgbImage* loadDibImage(const char* fileName) {
  const char* failure = nullptr;
  FileBytes file;
  if (!file.open(fileName, failure)) {
    if (failure) {
      showReaderMessage(failure);
    } else {
      // Cut the name, not the ending, so the text fits its 256 characters.
      static const char prefix[] = "Failed to open DIB file ";
      const int room = 256 - 1 - static_cast<int>(sizeof prefix - 1) - 2;
      char text[256];
      std::snprintf(text, sizeof text, "%s%.*s.\n", prefix, room, fileName ? fileName : "");
      showReaderMessage(text);
    }
    return nullptr;
  }
  RgbImage* image = readDibImage(file.data(), file.size(), failure);
  if (!image) showReaderMessage(failure);
  return image;
}

void freeRgbImage(RgbImage* image) {
  if (!image) return;
  std::free(image->pixels);
  std::free(image);
}
