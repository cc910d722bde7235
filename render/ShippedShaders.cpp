#include "render/ShippedShaders.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Kept in step with data/Shaders by the render tests.
constexpr struct {
  const char* file;
  std::uint64_t hash;
} shipped[] = {
    {"Shaders/normout.vsh", 0xfa60b854943c934eull},
    {"Shaders/normout.fsh", 0xb986681899208c01ull},
    {"Shaders/colout.vsh", 0x9da427659da57950ull},
    {"Shaders/colout.fsh", 0x1b7c5333e6894df3ull},
    {"Shaders/depthout.vsh", 0x014199564396a495ull},
    {"Shaders/depthout.fsh", 0xa2c58c71273763b5ull},
    {"Shaders/water.vsh", 0x6a69b78d14cad808ull},
    {"Shaders/water.fsh", 0x24f37a35bbbd0657ull},
};

}  // namespace

std::uint64_t shaderTextHash(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : text)
    if (c != '\r') hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

bool isShippedPassShader(const char* file) {
  for (const auto& entry : shipped) {
    if (std::strcmp(entry.file, file) != 0) continue;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return shaderTextHash(text) == entry.hash;
  }
  return false;
}
