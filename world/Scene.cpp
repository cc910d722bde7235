#include "world/Scene.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <memory>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "gl/Extensions.h"
#include "gl/ViewVolume.h"

Scene worldScene;

namespace {

// The positions of the file are in centimetres.
constexpr float positionScale = 0.01f;

bool readWholeFile(const char* path, std::string& out) {
  std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (!file) return false;
  // The size is only a hint: directories and devices report nonsense.
  std::error_code ignored;
  const std::uintmax_t size = std::filesystem::file_size(path, ignored);
  std::string data;
  if (!ignored && size < data.max_size()) data.resize(static_cast<std::size_t>(size));
  std::size_t filled = std::fread(data.data(), 1, data.size(), file);
  data.resize(filled);
  // Whatever the size missed (a growing file, a pipe).
  char chunk[1 << 16];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    data.append(chunk, got);
  }
  const bool ok = !std::ferror(file);
  std::fclose(file);
  if (ok) out.swap(data);
  return ok;
}

inline bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

enum class Fault { none, end, notInteger, notNumber, tooLarge };

// Reads whitespace-separated numbers as "%d" and "%f" would, but a token that
// is not wholly a number is a fault instead of a silent stop. The text must be
// followed by a NUL, which ends every scan without a bounds test.
class NumberCursor {
 public:
  NumberCursor(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {}

  bool integer(std::int32_t& out) {
    skipSpace();
    tokenStart = p_;
    if (p_ == end_) return fail(Fault::end);
    const char* q = p_;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    if (!isDigit(*q)) return fail(Fault::notInteger);
    std::uint64_t value = 0;
    for (; isDigit(*q); ++q) {
      if (value <= (1ull << 32)) value = value * 10 + static_cast<unsigned>(*q - '0');
    }
    if (!endsToken(q)) return fail(Fault::notInteger);
    if (value > (negative ? 2147483648ull : 2147483647ull)) return fail(Fault::tooLarge);
    out = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(value)
                                             : static_cast<std::int64_t>(value));
    p_ = q;
    return true;
  }

  bool real(float& out) {
    skipSpace();
    tokenStart = p_;
    if (p_ == end_) return fail(Fault::end);
    const char* q = p_;
    if (*q == '+' && q[1] != '-' && q[1] != '+') ++q;  // from_chars takes no plus
    const auto result = std::from_chars(q, end_, out);
    if (result.ec == std::errc() && endsToken(result.ptr)) {
      p_ = result.ptr;
      return true;
    }
    // Rare spellings (hexadecimal, beyond the float range) take the slow road.
    char* stop = nullptr;
    const float value = std::strtof(p_, &stop);
    if (stop == p_ || !endsToken(stop)) return fail(Fault::notNumber);
    out = value;
    p_ = stop;
    return true;
  }

  // Bytes from the end of the last number read to the end of the text.
  std::int64_t remaining() const { return end_ - p_; }

  int lineOf(const char* at) const { return 1 + static_cast<int>(std::count(begin_, at, '\n')); }

  std::string token(const char* at) const {
    const char* stop = at;
    while (stop != end_ && !isSpace(*stop) && stop - at < 24) ++stop;
    std::string text(at, stop);
    if (stop != end_ && !isSpace(*stop)) text += "...";
    return text;
  }

  Fault fault = Fault::none;
  const char* tokenStart = nullptr;

 private:
  void skipSpace() {
    while (isSpace(*p_)) ++p_;
  }
  bool endsToken(const char* at) const { return at == end_ || isSpace(*at); }
  bool fail(Fault why) {
    fault = why;
    return false;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
};

// Moves the parsed data of one mesh into its final place in the scene's array.
void adopt(SceneMesh& to, SceneMesh& from) {
  to.vertexCount = from.vertexCount;
  to.faceCount = from.faceCount;
  to.texCoordCount = from.texCoordCount;
  to.positions = std::exchange(from.positions, nullptr);
  to.texCoords = std::exchange(from.texCoords, nullptr);
  to.normals = std::exchange(from.normals, nullptr);
  to.faces = std::exchange(from.faces, nullptr);
}

// The text of a scene file turned into meshes, or one error entry saying
// where and why it was refused. Every allocation is sized from a count that
// has been checked against the bytes left in the file.
class SceneParser {
 public:
  explicit SceneParser(const std::string& text) : in_(text.data(), text.data() + text.size()) {}

  bool run() {
    std::int32_t count = 0;
    if (!in_.integer(count)) return numberFault("colour count");
    if (!checkCount(count, 3 * std::int64_t{count}, "colour count")) return false;
    colourCount = count;
    colours.reset(new SceneVector[count]);
    for (std::int32_t i = 0; i < count; ++i) {
      SceneVector& c = colours[i];
      if (!in_.real(c.x) || !in_.real(c.y) || !in_.real(c.z)) {
        return numberFault("colour for material " + std::to_string(i + 1));
      }
    }

    if (!in_.integer(count)) return numberFault("mesh count");
    if (!checkCount(count, 3 * std::int64_t{count}, "mesh count")) return false;
    for (std::int32_t m = 0; m < count; ++m) {
      meshes.push_back(std::make_unique<SceneMesh>());
      if (!readMesh(m, *meshes.back())) return false;
    }
    return true;
  }

  const std::string& error() const { return error_; }

  std::int32_t colourCount = 0;
  std::unique_ptr<SceneVector[]> colours;
  std::vector<std::unique_ptr<SceneMesh>> meshes;

 private:
  static std::string meshItem(std::int32_t mesh, const char* item, std::int32_t index,
                              const char* part = nullptr) {
    std::string text = "mesh " + std::to_string(mesh) + ", " + item;
    if (index >= 0) text += " " + std::to_string(index);
    if (part) text += std::string(" ") + part;
    return text;
  }

  bool readMesh(std::int32_t m, SceneMesh& mesh) {
    std::int32_t vertices = 0, texCoords = 0, faces = 0;
    if (!in_.integer(vertices) || !in_.integer(texCoords) || !in_.integer(faces)) {
      return numberFault(meshItem(m, "header", -1));
    }
    // Each number takes at least one character and one separator.
    const std::int64_t vertexNumbers = 6 * std::int64_t{vertices};
    const std::int64_t texCoordNumbers = vertexNumbers + 3 * std::int64_t{texCoords};
    const std::int64_t faceNumbers = texCoordNumbers + 10 * std::int64_t{faces};
    if (!checkCount(vertices, vertexNumbers, meshItem(m, "vertex count", -1)) ||
        !checkCount(texCoords, texCoordNumbers, meshItem(m, "texture-coordinate count", -1)) ||
        !checkCount(faces, faceNumbers, meshItem(m, "face count", -1))) {
      return false;
    }
    mesh.vertexCount = vertices;
    mesh.texCoordCount = texCoords;
    mesh.faceCount = faces;
    mesh.positions = new SceneVector[vertices];
    mesh.normals = new SceneVector[vertices];
    mesh.texCoords = new SceneVector[texCoords];
    mesh.faces = new SceneFace[faces];

    for (std::int32_t i = 0; i < vertices; ++i) {
      SceneVector& p = mesh.positions[i];
      if (!in_.real(p.x) || !in_.real(p.y) || !in_.real(p.z)) {
        return numberFault(meshItem(m, "vertex", i, "position"));
      }
      // Negating z turns the file's handedness into the renderer's.
      p.x *= positionScale;
      p.y *= positionScale;
      p.z = -p.z * positionScale;
      SceneVector& n = mesh.normals[i];
      if (!in_.real(n.x) || !in_.real(n.y) || !in_.real(n.z)) {
        return numberFault(meshItem(m, "vertex", i, "normal"));
      }
      n.z = -n.z;
    }

    for (std::int32_t i = 0; i < texCoords; ++i) {
      SceneVector& t = mesh.texCoords[i];
      // The file lists s, r, t.
      if (!in_.real(t.x) || !in_.real(t.z) || !in_.real(t.y)) {
        return numberFault(meshItem(m, "texture coordinate", i));
      }
    }

    for (std::int32_t i = 0; i < faces; ++i) {
      SceneFace& f = mesh.faces[i];
      for (std::int32_t& v : f.vertexIndices.corner) {
        if (!in_.integer(v)) return numberFault(meshItem(m, "face", i, "vertex indices"));
        if (v < 0 || v >= vertices) {
          return fault(meshItem(m, "face", i, "vertex indices"),
                       "vertex index " + std::to_string(v) + " is out of range (the mesh has " +
                           std::to_string(vertices) + " vertices)");
        }
      }
      for (std::int32_t& t : f.texCoordIndices.corner) {
        if (!in_.integer(t)) {
          return numberFault(meshItem(m, "face", i, "texture-coordinate indices"));
        }
        if (t < 0 || t >= texCoords) {
          return fault(meshItem(m, "face", i, "texture-coordinate indices"),
                       "texture-coordinate index " + std::to_string(t) +
                           " is out of range (the mesh has " + std::to_string(texCoords) +
                           " texture coordinates)");
        }
      }
      SceneVector& n = f.faceNormal;
      if (!in_.real(n.x) || !in_.real(n.y) || !in_.real(n.z)) {
        return numberFault(meshItem(m, "face", i, "normal"));
      }
      n.z = -n.z;
      std::int32_t material = 0;
      if (!in_.integer(material)) return numberFault(meshItem(m, "face", i, "material"));
      if (material < 1 || material > colourCount) {
        return fault(meshItem(m, "face", i, "material"),
                     "material " + std::to_string(material) +
                         " is out of range (the colour table has " + std::to_string(colourCount) +
                         " colours, numbered from 1)");
      }
      f.materialIndex = material - 1;
      const SceneVector& c = colours[f.materialIndex];
      f.colour.x = c.x;
      f.colour.y = c.y;
      f.colour.z = c.z;
    }
    return true;
  }

  // `numbers` is how many numbers the count announces, with those read ahead of
  // them since the last check.
  bool checkCount(std::int32_t count, std::int64_t numbers, const std::string& item) {
    if (count < 0) return fault(item, std::to_string(count) + " is negative");
    if (numbers > 0 && 2 * numbers - 1 > in_.remaining()) {
      return fault(item, std::to_string(count) + " is more than the rest of the file can hold");
    }
    return true;
  }

  bool numberFault(const std::string& item) {
    const std::string found = in_.token(in_.tokenStart);
    switch (in_.fault) {
      case Fault::end:
        return fault(item, "the file ends early");
      case Fault::notInteger:
        return fault(item, "expected an integer, found \"" + found + "\"");
      case Fault::tooLarge:
        return fault(item, "\"" + found + "\" does not fit a 32-bit integer");
      default:
        return fault(item, "expected a number, found \"" + found + "\"");
    }
  }

  bool fault(const std::string& item, const std::string& problem) {
    const int line = in_.tokenStart ? in_.lineOf(in_.tokenStart) : 1;
    error_ = "Error: Bad .SCN file, line " + std::to_string(line) + ": " + item + ": " + problem;
    return false;
  }

  NumberCursor in_;
  std::string error_;
};

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

SceneMesh::~SceneMesh() {
  releaseArrays();
  delete[] positions;
  delete[] texCoords;
  delete[] normals;
  delete[] faces;
}

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
  // Neighbouring pieces in view go in one draw.
  auto drawRange = [&](std::int64_t first, std::int64_t end) {
    const auto count = static_cast<GLsizei>(std::min<std::int64_t>(end - first, INT_MAX));
    const void* at = buffered
                         ? reinterpret_cast<const void*>(static_cast<std::uintptr_t>(4 * first))
                         : static_cast<const void*>(indexArray + first);
    glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_INT, at);
  };
  std::int64_t runFirst = 0, runEnd = 0;
  auto wanted = [&](const ScenePiece& piece) {
    if (view && view->excludesBox(piece.low, piece.high)) return false;
    if (!meeting) return true;
    const AxisBox box{{piece.low[0], piece.low[1], piece.low[2]},
                      {piece.high[0], piece.high[1], piece.high[2]}};
    for (const AxisBox& other : *meeting)
      if (box.meets(other)) return true;
    return false;
  };
  for (const ScenePiece& piece : pieces) {
    if (!wanted(piece)) continue;
    if (piece.firstIndex != runEnd) {
      if (runEnd > runFirst) drawRange(runFirst, runEnd);
      runFirst = piece.firstIndex;
    }
    runEnd = piece.firstIndex + piece.indexCount;
  }
  if (runEnd > runFirst || pieces.empty()) drawRange(runFirst, runEnd);

  if (glClientActiveTextureARB) glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  // The colour array leaves the current colour undefined.
  glColor3f(1.0f, 1.0f, 1.0f);
}

void SceneMesh::drawAsFiled() const {
  if (faceCount <= 0 || !faces) return;
  std::vector<float> position, texCoord, normal, colour;
  for (std::vector<float>* array : {&position, &texCoord, &normal, &colour})
    array->reserve(9 * static_cast<std::size_t>(faceCount));
  auto put = [](std::vector<float>& array, const SceneVector& v) {
    array.insert(array.end(), {v.x, v.y, v.z});
  };
  for (std::int32_t i = 0; i < faceCount; ++i)
    for (int k = 0; k < 3; ++k) {
      const std::int32_t v = faces[i].vertexIndices.corner[k];
      put(position, positions[v]);
      put(texCoord, texCoords[faces[i].texCoordIndices.corner[k]]);
      put(normal, normals[v]);
      put(colour, faces[i].colour);
    }
  bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glNormalPointer(GL_FLOAT, 0, normal.data());
  glVertexPointer(3, GL_FLOAT, 0, position.data());
  if (glClientActiveTextureARB) glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(3, GL_FLOAT, 0, texCoord.data());
  glEnableClientState(GL_COLOR_ARRAY);
  glColorPointer(3, GL_FLOAT, 0, colour.data());
  glDrawArrays(GL_TRIANGLES, 0,
               static_cast<GLsizei>(std::min<std::int64_t>(3 * std::int64_t{faceCount}, INT_MAX)));
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor3f(1.0f, 1.0f, 1.0f);
}

void SceneMesh::deleteBuffers() {
  for (GLuint* buffer :
       {&positionBuffer, &texCoordBuffer, &normalBuffer, &colourBuffer, &indexBuffer}) {
    if (glDeleteBuffersARB && *buffer != 0) glDeleteBuffersARB(1, buffer);
    *buffer = 0;
  }
}

Scene::~Scene() { clear(); }

void Scene::clear() {
  ++generation;
  delete[] std::exchange(meshes, nullptr);
  meshCount = 0;
  delete[] std::exchange(colours, nullptr);
  colourCount = 0;
}

bool Scene::parse(const char* path) {
  Log::instance().write("Loading SCN...");
  // An earlier load's buffers were deleted by the shutdown before this one.
  clear();
  try {
    std::string text;
    if (!readWholeFile(path, text)) {
      Log::instance().write("Error: Can't find .SCN file!");
      return false;
    }
    SceneParser parser(text);
    if (!parser.run()) {
      Log::instance().write(parser.error());
      return false;
    }
    // The colour table has been copied into the faces and is not kept.
    colourCount = parser.colourCount;
    meshCount = static_cast<std::int32_t>(parser.meshes.size());
    meshes = meshCount > 0 ? new SceneMesh[meshCount] : nullptr;
    for (std::int32_t i = 0; i < meshCount; ++i) {
      adopt(meshes[i], *parser.meshes[i]);
      parser.meshes[i].reset();
      meshes[i].buildArrays();
    }
  } catch (const std::bad_alloc&) {
    // Counts are checked against the file's size, but a huge file can still
    // need more memory than there is.
    clear();
    Log::instance().write("Error: Not enough memory for the .SCN file!");
    return false;
  }
  Log::instance().write("SCN Loaded!");
  return true;
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

void Scene::drawAsFiled() const {
  for (std::int32_t i = 0; i < meshCount; ++i) meshes[i].drawAsFiled();
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
