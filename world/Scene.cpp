// The scene's meshes as arrays, buffers and draws: corners unified, large
// meshes cut into runs of pieces, uploaded once and drawn per pass.
#include "world/Scene.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "gl/Extensions.h"
#include "gl/ViewVolume.h"

namespace {

bool sameColour(const SceneVector& a, const SceneVector& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool haveBufferEntryPoints() { return glGenBuffersARB && glBindBufferARB && glBufferDataARB; }

void bindBuffer(GLenum target, GLuint name) {
  if (glBindBufferARB) glBindBufferARB(target, name);
}

void fillBuffer(GLuint& name, GLenum target, std::int64_t bytes, const void* data) {
  if (name == 0) glGenBuffersARB(1, &name);
  glBindBufferARB(target, name);
  glBufferDataARB(target, static_cast<GLsizeiptrARB>(bytes), data, GL_STATIC_DRAW_ARB);
}

}  // namespace

void SceneMesh::releaseArrays() {
  delete[] std::exchange(positionArray, nullptr);
  delete[] std::exchange(texCoordArray, nullptr);
  delete[] std::exchange(normalArray, nullptr);
  delete[] std::exchange(colourArray, nullptr);
  delete[] std::exchange(indexArray, nullptr);
  indexCount = 0;
  unifiedVertexCount = 0;
  pieces.clear();
  arraysBuilt_ = false;
}

void SceneMesh::buildArrays() {
  releaseArrays();
  arraysBuilt_ = true;
  if (faceCount <= 0 || !faces) return;

  // A corner that repeats the mesh's very first corner (same vertex, same
  // texture coordinate, same colour) shares its unified vertex 0; every other
  // corner gets its own, so each triangle keeps its material's flat colour.
  const SceneFace& first = faces[0];
  const std::int32_t keyVertex = first.vertexIndices.corner[0];
  const std::int32_t keyTexCoord = first.texCoordIndices.corner[0];
  auto repeatsKey = [&](const SceneFace& face, int k, bool keyColour) {
    return keyColour && face.vertexIndices.corner[k] == keyVertex &&
           face.texCoordIndices.corner[k] == keyTexCoord;
  };

  const std::int64_t corners = 3 * std::int64_t{faceCount};
  std::int64_t repeats = 0;
  for (std::int32_t i = 0; i < faceCount; ++i) {
    const bool keyColour = sameColour(faces[i].colour, first.colour);
    for (int k = i == 0 ? 1 : 0; k < 3; ++k) repeats += repeatsKey(faces[i], k, keyColour);
  }
  indexCount = corners;
  unifiedVertexCount = corners - repeats;
  indexArray = new std::uint32_t[corners];
  positionArray = new float[3 * unifiedVertexCount];
  texCoordArray = new float[3 * unifiedVertexCount];
  normalArray = new float[3 * unifiedVertexCount];
  colourArray = new float[3 * unifiedVertexCount];

  std::uint32_t* index = indexArray;
  std::uint32_t next = 0;
  auto put = [&next](float* array, const SceneVector& v) {
    float* at = array + 3 * static_cast<std::size_t>(next);
    at[0] = v.x;
    at[1] = v.y;
    at[2] = v.z;
  };
  for (std::int32_t i = 0; i < faceCount; ++i) {
    const SceneFace& face = faces[i];
    const bool keyColour = sameColour(face.colour, first.colour);
    for (int k = 0; k < 3; ++k) {
      if (next > 0 && repeatsKey(face, k, keyColour)) {
        *index++ = 0;
        continue;
      }
      const std::int32_t v = face.vertexIndices.corner[k];
      put(positionArray, positions[v]);
      put(texCoordArray, texCoords[face.texCoordIndices.corner[k]]);
      put(normalArray, normals[v]);
      put(colourArray, face.colour);
      *index++ = next++;
    }
  }
  groupIntoPieces();
}

void SceneMesh::groupIntoPieces() {
  const std::int64_t triangles = indexCount / 3;
  auto corner = [this](std::int64_t triangle, int k) {
    return positionArray + 3 * static_cast<std::size_t>(indexArray[3 * triangle + k]);
  };
  auto boxOf = [&](ScenePiece& piece) {
    for (int axis = 0; axis < 3; ++axis) {
      piece.low[axis] = std::numeric_limits<float>::max();
      piece.high[axis] = std::numeric_limits<float>::lowest();
    }
    for (std::int64_t t = piece.firstIndex / 3; t < (piece.firstIndex + piece.indexCount) / 3; ++t)
      for (int k = 0; k < 3; ++k)
        for (int axis = 0; axis < 3; ++axis) {
          piece.low[axis] = std::min(piece.low[axis], corner(t, k)[axis]);
          piece.high[axis] = std::max(piece.high[axis], corner(t, k)[axis]);
        }
  };
  pieces.clear();
  if (triangles == 0) return;
  ScenePiece whole;
  whole.indexCount = 3 * triangles;
  boxOf(whole);
  if (triangles < facesPerPieceAtLeast) {
    pieces.push_back(whole);
    return;
  }
  // Vertices renumbered in the order the triangles first use them, so each
  // draw reads its vertices from one compact stretch of the buffers; corners
  // that agree in every attribute become one vertex, shaded once.
  const auto vertices = static_cast<std::size_t>(unifiedVertexCount);
  float* const arrays[4] = {positionArray, texCoordArray, normalArray, colourArray};
  using Attributes = std::array<std::uint32_t, 12>;
  auto attributesOf = [&arrays](std::uint32_t vertex) {
    Attributes bits;
    for (int a = 0; a < 4; ++a)
      std::memcpy(&bits[3 * a], arrays[a] + 3 * static_cast<std::size_t>(vertex), 12);
    return bits;
  };
  std::map<Attributes, std::uint32_t> shared;
  std::vector<std::uint32_t> renumbered(vertices, std::numeric_limits<std::uint32_t>::max());
  std::vector<std::uint32_t> order;
  order.reserve(vertices);
  for (std::uint32_t* index = indexArray; index != indexArray + indexCount; ++index) {
    if (renumbered[*index] == std::numeric_limits<std::uint32_t>::max()) {
      const auto found =
          shared.emplace(attributesOf(*index), static_cast<std::uint32_t>(order.size()));
      if (found.second) order.push_back(*index);
      renumbered[*index] = found.first->second;
    }
    *index = renumbered[*index];
  }
  for (float* array : arrays) {
    std::vector<float> copy(array, array + 3 * vertices);
    for (std::size_t to = 0; to < order.size(); ++to)
      for (int k = 0; k < 3; ++k) array[3 * to + k] = copy[3 * order[to] + k];
  }
  unifiedVertexCount = static_cast<std::int64_t>(order.size());
  // Runs of the file's order: neighbours in a file mostly lie side by side,
  // so a short run has a small box. Leaving a run out never reorders what
  // is drawn, and coplanar triangles resolve as the file orders them.
  for (std::int64_t first = 0; first < triangles; first += trianglesPerPieceAtMost) {
    ScenePiece piece;
    piece.firstIndex = 3 * first;
    piece.indexCount = 3 * std::min(trianglesPerPieceAtMost, triangles - first);
    boxOf(piece);
    pieces.push_back(piece);
  }
}

void SceneMesh::upload() {
  if (!arraysBuilt_) buildArrays();
  if (!haveBufferEntryPoints()) return;
  const std::int64_t attributeBytes = unifiedVertexCount * 12;
  fillBuffer(positionBuffer, GL_ARRAY_BUFFER_ARB, attributeBytes, positionArray);
  fillBuffer(texCoordBuffer, GL_ARRAY_BUFFER_ARB, attributeBytes, texCoordArray);
  fillBuffer(normalBuffer, GL_ARRAY_BUFFER_ARB, attributeBytes, normalArray);
  fillBuffer(colourBuffer, GL_ARRAY_BUFFER_ARB, attributeBytes, colourArray);
  fillBuffer(indexBuffer, GL_ELEMENT_ARRAY_BUFFER_ARB, indexCount * 4, indexArray);
}

void SceneMesh::draw(const ViewVolume* view, const std::vector<AxisBox>* meeting) {
  // Without buffer objects the arrays are drawn from memory, with buffer 0
  // bound so that an earlier mesh's buffers do not capture the pointers.
  const bool buffered = positionBuffer != 0 && glBindBufferARB;
  auto source = [buffered](const void* array) { return buffered ? nullptr : array; };
  auto name = [buffered](GLuint buffer) { return buffered ? buffer : 0u; };

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  bindBuffer(GL_ARRAY_BUFFER_ARB, name(normalBuffer));
  glNormalPointer(GL_FLOAT, 0, source(normalArray));
  bindBuffer(GL_ARRAY_BUFFER_ARB, name(positionBuffer));
  glVertexPointer(3, GL_FLOAT, 0, source(positionArray));
  if (glClientActiveTextureARB) glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  bindBuffer(GL_ARRAY_BUFFER_ARB, name(texCoordBuffer));
  glTexCoordPointer(3, GL_FLOAT, 0, source(texCoordArray));
  glEnableClientState(GL_COLOR_ARRAY);
  bindBuffer(GL_ARRAY_BUFFER_ARB, name(colourBuffer));
  glColorPointer(3, GL_FLOAT, 0, source(colourArray));
  bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, name(indexBuffer));
  // One draw per piece, never two pieces in one, whether others are left
  // out or not: the rasterizer batches a draw's triangles from its first,
  // and whether a sliver seen edge-on is kept can follow the batch it lands
  // in, so a piece must be drawn the same way however many are drawn.
  auto drawRange = [&](std::int64_t first, std::int64_t count) {
    const void* at = buffered
                         ? reinterpret_cast<const void*>(static_cast<std::uintptr_t>(4 * first))
                         : static_cast<const void*>(indexArray + first);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(std::min<std::int64_t>(count, INT_MAX)),
                   GL_UNSIGNED_INT, at);
  };
  auto wanted = [&](const ScenePiece& piece) {
    if (view && view->excludesBox(piece.low, piece.high)) return false;
    if (!meeting) return true;
    const AxisBox box{{piece.low[0], piece.low[1], piece.low[2]},
                      {piece.high[0], piece.high[1], piece.high[2]}};
    for (const AxisBox& other : *meeting)
      if (box.meets(other)) return true;
    return false;
  };
  for (const ScenePiece& piece : pieces)
    if (wanted(piece)) drawRange(piece.firstIndex, piece.indexCount);
  if (pieces.empty()) drawRange(0, 0);

  if (glClientActiveTextureARB) glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  // The colour array leaves the current colour undefined.
  glColor3f(1.0f, 1.0f, 1.0f);
}

void SceneMesh::deleteBuffers() {
  for (GLuint* buffer :
       {&positionBuffer, &texCoordBuffer, &normalBuffer, &colourBuffer, &indexBuffer}) {
    if (glDeleteBuffersARB && *buffer != 0) glDeleteBuffersARB(1, buffer);
    *buffer = 0;
  }
}

bool Scene::load(const char* path) {
  if (!parse(path)) return false;
  for (std::int32_t i = 0; i < meshCount; ++i) meshes[i].upload();
  ++generation;
  return true;
}

void Scene::draw(const ViewVolume* view, const std::vector<AxisBox>* meeting) {
  for (std::int32_t i = 0; i < meshCount; ++i) meshes[i].draw(view, meeting);
  resetTexturing();
}

void Scene::resetTexturing() {
  if (multitextureAvailable()) {
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE3_ARB);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  glDisable(GL_TEXTURE_2D);
  glColor3f(1.0f, 1.0f, 1.0f);
}

void Scene::deleteBuffers() {
  for (std::int32_t i = 0; i < meshCount; ++i) meshes[i].deleteBuffers();
}
