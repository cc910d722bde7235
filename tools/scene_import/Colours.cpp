// Flat colours: a material's own colour, a texture's mean, vertex colours
// rounded into a small table.
#include "tools/scene_import/Colours.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

#include <assimp/material.h>
#include <assimp/scene.h>
#include <stb/stb_image.h>

namespace sceneimport {

namespace {

constexpr int levels = 6;
// Larger pictures are not read for their mean (the reader would hold them whole).
constexpr long long maxTexturePixels = 64LL * 1024 * 1024;

bool meanOfPixels(const unsigned char* pixels, int w, int h, Vec3& mean) {
  double sum[3] = {0, 0, 0};
  double weight = 0;
  for (long long i = 0, n = static_cast<long long>(w) * h; i < n; ++i) {
    const unsigned char* p = pixels + 4 * i;
    // Transparent texels are not seen.
    const double a = p[3] / 255.0;
    for (int c = 0; c < 3; ++c) sum[c] += a * p[c];
    weight += a;
  }
  if (weight <= 0) return false;
  mean = {float(sum[0] / weight / 255), float(sum[1] / weight / 255), float(sum[2] / weight / 255)};
  return true;
}

bool meanOfImage(stbi_uc* pixels, int w, int h, Vec3& mean) {
  if (!pixels) return false;
  const bool ok = meanOfPixels(pixels, w, h, mean);
  stbi_image_free(pixels);
  return ok;
}

bool textureMean(const aiScene& scene, const std::string& modelDir, const char* name, Vec3& mean) {
  int w = 0, h = 0, channels = 0;
  if (const aiTexture* embedded = scene.GetEmbeddedTexture(name)) {
    if (embedded->mHeight == 0) {
      // mWidth is the byte count of a compressed picture.
      const auto* bytes = reinterpret_cast<const stbi_uc*>(embedded->pcData);
      const int size = static_cast<int>(std::min<unsigned>(embedded->mWidth, 1u << 30));
      if (!stbi_info_from_memory(bytes, size, &w, &h, &channels) ||
          static_cast<long long>(w) * h > maxTexturePixels) {
        return false;
      }
      return meanOfImage(stbi_load_from_memory(bytes, size, &w, &h, &channels, 4), w, h, mean);
    }
    const long long n = static_cast<long long>(embedded->mWidth) * embedded->mHeight;
    if (n <= 0 || n > maxTexturePixels) return false;
    std::vector<unsigned char> rgba(static_cast<std::size_t>(4 * n));
    for (long long i = 0; i < n; ++i) {
      const aiTexel& t = embedded->pcData[i];
      rgba[4 * i] = t.r, rgba[4 * i + 1] = t.g, rgba[4 * i + 2] = t.b, rgba[4 * i + 3] = t.a;
    }
    return meanOfPixels(rgba.data(), int(embedded->mWidth), int(embedded->mHeight), mean);
  }
  // Exporters write paths of the machine they ran on: also look beside the model.
  namespace fs = std::filesystem;
  std::string file = name;
  std::replace(file.begin(), file.end(), '\\', '/');
  std::error_code ec;
  for (const fs::path& candidate :
       {fs::path(modelDir) / file, fs::path(modelDir) / fs::path(file).filename()}) {
    if (!fs::is_regular_file(candidate, ec)) continue;
    const std::string path = candidate.string();
    if (!stbi_info(path.c_str(), &w, &h, &channels) ||
        static_cast<long long>(w) * h > maxTexturePixels) {
      return false;
    }
    return meanOfImage(stbi_load(path.c_str(), &w, &h, &channels, 4), w, h, mean);
  }
  return false;
}

Vec3 clamped(float r, float g, float b) {
  auto c = [](float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 1.0f; };
  return {c(r), c(g), c(b)};
}

}  // namespace

Vec3 materialColour(const aiScene& scene, const aiMaterial& material, const std::string& modelDir,
                    std::string& note) {
  aiColor4D base(0.8f, 0.8f, 0.8f, 1.0f);
  if (material.Get(AI_MATKEY_BASE_COLOR, base) != AI_SUCCESS) {
    material.Get(AI_MATKEY_COLOR_DIFFUSE, base);
  }
  Vec3 colour = clamped(base.r, base.g, base.b);
  aiString texture;
  if (material.GetTexture(aiTextureType_BASE_COLOR, 0, &texture) == AI_SUCCESS ||
      material.GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) {
    Vec3 mean;
    if (textureMean(scene, modelDir, texture.C_Str(), mean)) {
      // The material's colour tints its texture.
      colour = {colour.x * mean.x, colour.y * mean.y, colour.z * mean.z};
    } else if (note.find(texture.C_Str()) == std::string::npos) {
      note += std::string(note.empty() ? "" : "; ") + "texture " + texture.C_Str() +
              " not readable, its material's own colour used";
    }
  }
  return colour;
}

Vec3 vertexColour(const aiColor4D& a, const aiColor4D& b, const aiColor4D& c) {
  return quantised(clamped((a.r + b.r + c.r) / 3, (a.g + b.g + c.g) / 3, (a.b + b.b + c.b) / 3));
}

Vec3 quantised(const Vec3& colour) {
  auto q = [](float v) { return std::round(v * (levels - 1)) / (levels - 1); };
  return {q(colour.x), q(colour.y), q(colour.z)};
}

std::size_t boundColourTable(Model& model) {
  auto key = [](const Vec3& c) { return std::make_tuple(c.x, c.y, c.z); };
  std::map<std::tuple<float, float, float>, int> distinct;
  for (const ColourGroup& g : model.groups) distinct.emplace(key(g.colour), 0);
  const std::size_t before = distinct.size();
  const bool round = before > maxColours;
  std::map<std::tuple<float, float, float>, std::size_t> into;
  std::vector<ColourGroup> merged;
  for (ColourGroup& g : model.groups) {
    if (round) g.colour = quantised(g.colour);
    auto [at, fresh] = into.emplace(key(g.colour), merged.size());
    if (fresh) {
      merged.push_back(std::move(g));
      continue;
    }
    ColourGroup& to = merged[at->second];
    const auto offset = static_cast<std::uint32_t>(to.positions.size());
    to.positions.insert(to.positions.end(), g.positions.begin(), g.positions.end());
    to.normals.insert(to.normals.end(), g.normals.begin(), g.normals.end());
    for (std::uint32_t i : g.indices) to.indices.push_back(i + offset);
  }
  model.groups = std::move(merged);
  if (round) {
    model.colourNote += std::string(model.colourNote.empty() ? "" : "; ") + std::to_string(before) +
                        " colours rounded to " + std::to_string(levels) + " levels per channel";
  }
  return before;
}

}  // namespace sceneimport
