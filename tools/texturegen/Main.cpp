// Writes the four textures into a folder.
// Usage: gen_textures [output folder], default "data/Textures" (run from the
// repository root).
#include <cstdio>
#include <string>

#include "tools/texturegen/TextureGen.h"

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "data/Textures";
  for (const gentex::NamedFile& file : gentex::generateAll()) {
    const std::string path = folder + "/" + file.name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(file.bytes.data(), 1, file.bytes.size(), out) != file.bytes.size()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      if (out) std::fclose(out);
      return 1;
    }
    std::fclose(out);
    std::printf("%s\n", path.c_str());
  }
  return 0;
}
