// The static world: parsed from the scene file, unified per corner into flat
// arrays, uploaded into five vertex buffers per mesh and drawn with one
// indexed draw per piece in view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gl/GlApi.h"
#include "gl/ViewVolume.h"

class SceneVector {
 public:
  virtual ~SceneVector() = default;
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

class IndexTriple {
 public:
  virtual ~IndexTriple() = default;
  std::int32_t corner[3] = {0, 0, 0};
};

class SceneFace {
 public:
  virtual ~SceneFace() = default;
  IndexTriple vertexIndices;
  SceneVector faceNormal;
  IndexTriple texCoordIndices;
  std::int32_t materialIndex = 0;
  SceneVector colour;
};

// A compact run of a mesh's triangles in its index array, with the box
// around them, so that a pass can leave out what lies outside its view.
struct ScenePiece {
  std::int64_t firstIndex = 0;
  std::int64_t indexCount = 0;
  float low[3] = {0.0f, 0.0f, 0.0f};
  float high[3] = {0.0f, 0.0f, 0.0f};
};

class SceneMesh {
 public:
  SceneMesh() = default;
  virtual ~SceneMesh();
  SceneMesh(const SceneMesh&) = delete;
  SceneMesh& operator=(const SceneMesh&) = delete;

  // Unifies the per-corner indexing; expects indices the parser has checked.
  void buildArrays();
  // Builds the arrays unless the parser already has, then fills the buffers.
  // Without the buffer entry points the mesh is drawn from its arrays.
  void upload();
  // Every piece; or only the pieces in `view`, and only those meeting one of
  // `meeting`, where given. One indexed draw per piece.
  void draw(const ViewVolume* view = nullptr, const std::vector<AxisBox>* meeting = nullptr);
  void deleteBuffers();

  std::int32_t vertexCount = 0, faceCount = 0, texCoordCount = 0;
  SceneVector* positions = nullptr;
  SceneVector* texCoords = nullptr;
  SceneVector* normals = nullptr;
  SceneFace* faces = nullptr;
  GLuint positionBuffer = 0, texCoordBuffer = 0, normalBuffer = 0, colourBuffer = 0,
         indexBuffer = 0;
  float* positionArray = nullptr;
  float* texCoordArray = nullptr;
  float* normalArray = nullptr;
  float* colourArray = nullptr;
  std::uint32_t* indexArray = nullptr;
  // Integers: float counts would corrupt meshes above 2^24 corners.
  std::int64_t indexCount = 0;
  std::int64_t unifiedVertexCount = 0;
  // Large meshes are cut into runs of their file's order of a few hundred
  // triangles each; smaller ones are one piece.
  std::vector<ScenePiece> pieces;
  static constexpr std::int32_t facesPerPieceAtLeast = 1024;
  static constexpr std::int64_t trianglesPerPieceAtMost = 256;

 private:
  void releaseArrays();
  void groupIntoPieces();
  bool arraysBuilt_ = false;
};

class Scene {
 public:
  Scene() = default;
  virtual ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Parses and uploads; false (with one log entry) leaves an empty scene.
  bool load(const char* path);
  // Parses and builds the arrays without touching GL.
  bool parse(const char* path);
  void draw(const ViewVolume* view = nullptr, const std::vector<AxisBox>* meeting = nullptr);
  void deleteBuffers();
  void clear();

  std::int32_t colourCount = 0;
  SceneVector* colours = nullptr;
  std::int32_t meshCount = 0;
  SceneMesh* meshes = nullptr;
  // Changes with every load and clear: what was drawn of an older scene is
  // stale.
  std::uint64_t generation = 0;

 private:
  static void resetTexturing();
};
