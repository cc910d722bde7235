// The scene file read into meshes: numbers checked as they are read, every
// count against the bytes left, one log entry for what was refused. No GL.
#include "world/Scene.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"

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

}  // namespace

SceneMesh::~SceneMesh() {
  releaseArrays();
  delete[] positions;
  delete[] texCoords;
  delete[] normals;
  delete[] faces;
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
