#include "tools/headless/Pictures.h"

#include <fstream>

#ifdef NPR_HAVE_PNG
#include <png.h>
#endif

bool writePicture(const Picture& picture, const std::string& path) {
  std::vector<unsigned char> rows;  // RGB, top row first
  rows.reserve(static_cast<size_t>(picture.width) * picture.height * 3);
  for (int y = picture.height - 1; y >= 0; --y)
    for (int x = 0; x < picture.width; ++x)
      rows.insert(rows.end(), picture.at(x, y), picture.at(x, y) + 3);

  if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".ppm") == 0) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out << "P6\n" << picture.width << ' ' << picture.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rows.data()),
              static_cast<std::streamsize>(rows.size()));
    return static_cast<bool>(out);
  }
#ifdef NPR_HAVE_PNG
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_file(&image, path.c_str(), 0, rows.data(), 0, nullptr);
  png_image_free(&image);
  return written;
#else
  return false;
#endif
}
