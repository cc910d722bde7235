#include "tools/scene_import/Model.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace sceneimport {

std::size_t Model::triangleCount() const {
  std::size_t n = 0;
  for (const ColourGroup& g : groups) n += g.triangleCount();
  return n;
}

void Model::bounds(Vec3& low, Vec3& high) const {
  const float inf = std::numeric_limits<float>::infinity();
  low = {inf, inf, inf};
  high = {-inf, -inf, -inf};
  for (const ColourGroup& g : groups) {
    for (std::uint32_t i : g.indices) {
      const Vec3& p = g.positions[i];
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
  }
}

namespace {

template <typename T>
void put(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
void putArray(std::string& out, const std::vector<T>& values) {
  put(out, static_cast<std::uint64_t>(values.size()));
  if (values.empty()) return;
  out.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

class Reader {
 public:
  explicit Reader(const std::string& bytes)
      : at_(bytes.data()), end_(bytes.data() + bytes.size()) {}
  template <typename T>
  bool get(T& value) {
    if (static_cast<std::size_t>(end_ - at_) < sizeof value) return false;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return true;
  }
  template <typename T>
  bool getArray(std::vector<T>& values) {
    std::uint64_t n = 0;
    if (!get(n) || n > static_cast<std::uint64_t>(end_ - at_) / sizeof(T)) return false;
    values.resize(static_cast<std::size_t>(n));
    if (n == 0) return true;
    std::memcpy(values.data(), at_, values.size() * sizeof(T));
    at_ += values.size() * sizeof(T);
    return true;
  }
  bool atEnd() const { return at_ == end_; }

 private:
  const char* at_;
  const char* end_;
};

}  // namespace

std::string serialize(const Model& model) {
  std::string out;
  put(out, model.points);
  put(out, model.lines);
  put(out, model.degenerate);
  put(out, model.instances);
  putArray(out, std::vector<char>(model.colourNote.begin(), model.colourNote.end()));
  put(out, static_cast<std::uint64_t>(model.groups.size()));
  for (const ColourGroup& g : model.groups) {
    put(out, g.colour);
    putArray(out, g.positions);
    putArray(out, g.normals);
    putArray(out, g.indices);
  }
  return out;
}

bool deserialize(const std::string& bytes, Model& model) {
  Reader in(bytes);
  std::vector<char> note;
  std::uint64_t groups = 0;
  if (!in.get(model.points) || !in.get(model.lines) || !in.get(model.degenerate) ||
      !in.get(model.instances) || !in.getArray(note) || !in.get(groups)) {
    return false;
  }
  model.colourNote.assign(note.begin(), note.end());
  model.groups.clear();
  for (std::uint64_t i = 0; i < groups; ++i) {
    ColourGroup g;
    if (!in.get(g.colour) || !in.getArray(g.positions) || !in.getArray(g.normals) ||
        !in.getArray(g.indices)) {
      return false;
    }
    if (g.normals.size() != g.positions.size() || g.indices.size() % 3 != 0) return false;
    for (std::uint32_t v : g.indices) {
      if (v >= g.positions.size()) return false;
    }
    model.groups.push_back(std::move(g));
  }
  return in.atEnd();
}

}  // namespace sceneimport
