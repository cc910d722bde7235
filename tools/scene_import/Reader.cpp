#include "tools/scene_import/Reader.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "tools/scene_import/Colours.h"

namespace sceneimport {

namespace {

std::string lowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

class Progress : public Assimp::ProgressHandler {
 public:
  bool Update(float percentage) override {
    const int now = static_cast<int>(percentage * 100);
    if (now >= shown_ + 10 && now < 100) {
      shown_ = now;
      std::printf("  reading: %d %%\n", now);
      std::fflush(stdout);
    }
    return true;
  }

 private:
  int shown_ = 0;
};

// Where each triangle's corners go: one group per colour, each vertex of a
// mesh instance once per group it is used in.
class GroupBuilder {
 public:
  explicit GroupBuilder(Model& model) : model_(model) {}

  std::size_t groupOf(const Vec3& colour) {
    auto [at, fresh] =
        byColour_.emplace(std::make_tuple(colour.x, colour.y, colour.z), model_.groups.size());
    if (fresh) model_.groups.push_back(ColourGroup{colour, {}, {}, {}});
    return at->second;
  }

  void startInstance() { corners_.clear(); }

  void corner(std::size_t group, unsigned vertex, const Vec3& p, const Vec3& n) {
    const std::uint64_t key = (std::uint64_t{group} << 32) | vertex;
    auto [at, fresh] = corners_.emplace(key, 0u);
    ColourGroup& g = model_.groups[group];
    if (fresh) {
      at->second = static_cast<std::uint32_t>(g.positions.size());
      g.positions.push_back(p);
      g.normals.push_back(n);
    }
    g.indices.push_back(at->second);
  }

 private:
  Model& model_;
  std::map<std::tuple<float, float, float>, std::size_t> byColour_;
  std::unordered_map<std::uint64_t, std::uint32_t> corners_;
};

Vec3 apply(const aiMatrix4x4& m, const aiVector3D& v) {
  const aiVector3D r = m * v;
  return {r.x, r.y, r.z};
}

bool finite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec3 normalised(const Vec3& v, const Vec3& fallback) {
  const double len = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
  if (!(len > 0) || !std::isfinite(len)) return fallback;
  return {float(v.x / len), float(v.y / len), float(v.z / len)};
}

// The turn that makes the file's axes y up, and its units' scale to metres.
aiMatrix4x4 fileAxes(const aiScene& scene, const std::string& path, const ReadOptions& options) {
  aiMatrix4x4 m;
  int upAxis = 1, upSign = 1;
  double unit = 1;
  if (lowerExtension(path) == ".fbx" && scene.mMetaData) {
    scene.mMetaData->Get("UpAxis", upAxis);
    scene.mMetaData->Get("UpAxisSign", upSign);
    float f = 0;
    double d = 0;
    // Centimetres per file unit.
    if (scene.mMetaData->Get("UnitScaleFactor", d) && d > 0)
      unit = d / 100;
    else if (scene.mMetaData->Get("UnitScaleFactor", f) && f > 0)
      unit = f / 100.0;
  } else if (!formatStatesUpAxis(path) && options.up == 'z') {
    upAxis = 2;
  }
  if (upAxis == 2) {
    // z up: (x, y, z) -> (x, z, -y).
    m = aiMatrix4x4(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1);
  } else if (upAxis == 0) {
    m = aiMatrix4x4(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1);
  }
  if (upSign < 0) m = aiMatrix4x4(1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1) * m;
  const auto s = static_cast<ai_real>(std::isfinite(unit) ? unit : 1.0);
  return aiMatrix4x4(s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1) * m;
}

class Converter {
 public:
  Converter(const aiScene& scene, const std::string& path, const ReadOptions& options, Model& model)
      : scene_(scene),
        options_(options),
        model_(model),
        builder_(model),
        dir_(std::filesystem::path(path).parent_path().string()) {
    colours_.reserve(scene.mNumMaterials);
    for (unsigned i = 0; i < scene.mNumMaterials; ++i) {
      colours_.push_back(scene.mMaterials[i]
                             ? materialColour(scene, *scene.mMaterials[i], dir_, model.colourNote)
                             : Vec3{0.8f, 0.8f, 0.8f});
    }
  }

  // Walks the node tree without recursion: a malformed file may nest deeply.
  bool run(const aiMatrix4x4& axes, std::string& error) {
    std::vector<std::pair<const aiNode*, aiMatrix4x4>> stack{{scene_.mRootNode, axes}};
    std::size_t visited = 0;
    while (!stack.empty()) {
      auto [node, parent] = stack.back();
      stack.pop_back();
      if (!node) continue;
      if (++visited > 1'000'000) return fail(error, "its node tree has more than a million nodes");
      const aiMatrix4x4 world = parent * node->mTransformation;
      for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        if (node->mMeshes[i] >= scene_.mNumMeshes)
          return fail(error, "a node names a missing mesh");
        if (!addInstance(*scene_.mMeshes[node->mMeshes[i]], world, error)) return false;
      }
      for (unsigned i = node->mNumChildren; i-- > 0;) stack.emplace_back(node->mChildren[i], world);
    }
    if (vertexColoured_) {
      model_.colourNote += std::string(model_.colourNote.empty() ? "" : "; ") +
                           "vertex colours: each triangle's corners averaged, rounded to 6 "
                           "levels per channel";
    }
    return true;
  }

 private:
  static bool fail(std::string& error, const char* why) {
    error = why;
    return false;
  }

  bool addInstance(const aiMesh& mesh, const aiMatrix4x4& world, std::string& error) {
    aiMatrix3x3 normalMatrix(world);
    const bool mirrored = normalMatrix.Determinant() < 0;
    normalMatrix.Inverse().Transpose();
    const bool coloured = mesh.HasVertexColors(0);
    const Vec3 materialColour = mesh.mMaterialIndex < colours_.size()
                                    ? colours_[mesh.mMaterialIndex]
                                    : Vec3{0.8f, 0.8f, 0.8f};
    std::size_t group = coloured ? 0 : builder_.groupOf(materialColour);
    builder_.startInstance();
    ++model_.instances;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices == 1) {
        ++model_.points;
        continue;
      }
      if (face.mNumIndices == 2) {
        ++model_.lines;
        continue;
      }
      if (face.mNumIndices != 3 || !face.mIndices) {
        ++model_.degenerate;
        continue;
      }
      unsigned v[3] = {face.mIndices[0], face.mIndices[1], face.mIndices[2]};
      if (v[0] >= mesh.mNumVertices || v[1] >= mesh.mNumVertices || v[2] >= mesh.mNumVertices) {
        return fail(error, "a face names a vertex its mesh does not have");
      }
      if (mirrored) std::swap(v[1], v[2]);
      Vec3 p[3];
      for (int k = 0; k < 3; ++k) p[k] = apply(world, mesh.mVertices[v[k]]);
      const Vec3 faceNormal = cross(sub(p[1], p[0]), sub(p[2], p[0]));
      if (!finite(p[0]) || !finite(p[1]) || !finite(p[2]) || !finite(faceNormal) ||
          (faceNormal.x == 0 && faceNormal.y == 0 && faceNormal.z == 0)) {
        ++model_.degenerate;
        continue;
      }
      if (model_.triangleCount() >= options_.maxSourceTriangles) {
        error = "it has more than " + std::to_string(options_.maxSourceTriangles) +
                " triangles once its instances are placed";
        return false;
      }
      if (coloured) {
        vertexColoured_ = true;
        group = builder_.groupOf(
            vertexColour(mesh.mColors[0][v[0]], mesh.mColors[0][v[1]], mesh.mColors[0][v[2]]));
      }
      const Vec3 flat = normalised(faceNormal, {0, 1, 0});
      for (int k = 0; k < 3; ++k) {
        Vec3 n = flat;
        if (mesh.mNormals) {
          const aiVector3D t = normalMatrix * mesh.mNormals[v[k]];
          n = normalised({t.x, t.y, t.z}, flat);
        }
        builder_.corner(group, v[k], p[k], n);
      }
    }
    return true;
  }

  const aiScene& scene_;
  const ReadOptions& options_;
  Model& model_;
  GroupBuilder builder_;
  std::string dir_;
  std::vector<Vec3> colours_;
  bool vertexColoured_ = false;
};

}  // namespace

bool formatStatesUpAxis(const std::string& path) {
  const std::string ext = lowerExtension(path);
  return ext == ".gltf" || ext == ".glb" || ext == ".fbx" || ext == ".dae" || ext == ".zae";
}

bool readModel(const std::string& path, const ReadOptions& options, Model& model,
               std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = std::filesystem::exists(path, ec) ? "not a file" : "no such file";
    return false;
  }
  if (std::filesystem::file_size(path, ec) == 0) {
    error = "the file is empty";
    return false;
  }
  if (access(path.c_str(), R_OK) != 0) {
    error = "cannot be read (permission denied)";
    return false;
  }
  Progress progress;
  Assimp::Importer importer;
  const std::string ext = lowerExtension(path);
  if (!importer.IsExtensionSupported(ext)) {
    error = "unsupported format (" + (ext.empty() ? std::string("no extension") : ext) + ")";
    return false;
  }
  importer.SetPropertyFloat(AI_CONFIG_PP_GSN_MAX_SMOOTHING_ANGLE, options.creaseDegrees);
  if (options.progress) importer.SetProgressHandler(&progress);
  const aiScene* scene = importer.ReadFile(
      path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                aiProcess_GenSmoothNormals | aiProcess_ValidateDataStructure);
  // The importer deletes the handler it holds at the end; this one is ours
  // (and giving it none makes it a handler of its own).
  if (options.progress) importer.SetProgressHandler(nullptr);
  if (!scene || !scene->mRootNode) {
    // The library quotes the file: keep the line one printable line.
    std::string why = importer.GetErrorString();
    for (char& c : why) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = ' ';
    }
    if (why.size() > 240) why = why.substr(0, 240) + "...";
    error = "the import library cannot read it" + (why.empty() ? std::string() : ": " + why);
    return false;
  }
  Converter converter(*scene, path, options, model);
  if (!converter.run(fileAxes(*scene, path, options), error)) return false;
  if (model.triangleCount() == 0) {
    error = "it has no triangles";
    if (model.points || model.lines) {
      error += " (only " + std::to_string(model.points) + " points and " +
               std::to_string(model.lines) + " lines)";
    }
    return false;
  }
  boundColourTable(model);
  return true;
}

}  // namespace sceneimport
