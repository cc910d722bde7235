#include "tools/scene_import/Output.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace sceneimport {

namespace fs = std::filesystem;

namespace {

// Enough digits that a float read back is the float written.
std::string number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v == 0 ? 0.0f : v);
  return text;
}

void writeMeshes(std::ostream& out, const Model& model, std::size_t firstMaterial) {
  std::size_t material = firstMaterial;
  for (const ColourGroup& g : model.groups) {
    ++material;
    out << g.positions.size() << ' ' << 1 << ' ' << g.triangleCount() << '\n';
    for (std::size_t i = 0; i < g.positions.size(); ++i) {
      const Vec3& p = g.positions[i];
      const Vec3& n = g.normals[i];
      out << number(p.x * 100) << ' ' << number(p.y * 100) << ' ' << number(-p.z * 100) << '\n'
          << number(n.x) << ' ' << number(n.y) << ' ' << number(-n.z) << '\n';
    }
    out << "0 0 0\n";
    for (std::size_t t = 0; t < g.indices.size(); t += 3) {
      const Vec3& a = g.positions[g.indices[t]];
      const Vec3& b = g.positions[g.indices[t + 1]];
      const Vec3& c = g.positions[g.indices[t + 2]];
      const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
      const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
      float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
      const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
      if (len > 0) nx /= len, ny /= len, nz /= len;
      out << g.indices[t] << ' ' << g.indices[t + 1] << ' ' << g.indices[t + 2] << "\n0 0 0\n"
          << number(nx) << ' ' << number(ny) << ' ' << number(-nz) << '\n'
          << material << '\n';
    }
  }
}

void writeColours(std::ostream& out, const Model& model) {
  for (const ColourGroup& g : model.groups) {
    out << number(g.colour.x) << ' ' << number(g.colour.y) << ' ' << number(g.colour.z) << '\n';
  }
}

}  // namespace

void writeScene(std::ostream& out, const Model& model) {
  out << model.groups.size() << '\n';
  writeColours(out, model);
  out << model.groups.size() << '\n';
  writeMeshes(out, model, 0);
}

bool writeSceneAfter(std::ostream& out, const std::string& prefixText, const Model& model,
                     std::string& error) {
  std::istringstream in(prefixText);
  long long colours = -1;
  in >> colours;
  if (!in || colours < 0) {
    error = "the town's scene file has no colour count";
    return false;
  }
  std::vector<std::string> table(static_cast<std::size_t>(colours) * 3);
  for (std::string& word : table) in >> word;
  long long meshes = -1;
  in >> meshes;
  if (!in || meshes < 0) {
    error = "the town's scene file has no mesh count";
    return false;
  }
  out << colours + static_cast<long long>(model.groups.size()) << '\n';
  for (std::size_t i = 0; i < table.size(); i += 3) {
    out << table[i] << ' ' << table[i + 1] << ' ' << table[i + 2] << '\n';
  }
  writeColours(out, model);
  out << meshes + static_cast<long long>(model.groups.size()) << '\n';
  // The town's meshes as they are, then the model's.
  const std::string rest = prefixText.substr(static_cast<std::size_t>(in.tellg()));
  const std::size_t start = rest.find_first_not_of(" \t\r\n");
  if (start != std::string::npos) {
    out << rest.substr(start);
    if (rest.back() != '\n') out << '\n';
  }
  writeMeshes(out, model, static_cast<std::size_t>(colours));
  return true;
}

FolderWriter::FolderWriter(const std::string& shipped, const std::string& out) : out_(out) {
  std::error_code ec;
  const fs::path target = fs::absolute(out, ec);
  const fs::path parent = target.parent_path();
  fs::create_directories(parent, ec);
  if (ec || !fs::is_directory(parent)) {
    error_ = "cannot make the folder " + parent.string() + ": " + ec.message();
    return;
  }
  if (access(parent.c_str(), W_OK) != 0) {
    error_ = "cannot write into " + parent.string() + ": permission denied";
    return;
  }
  fresh_ = (parent / ("." + target.filename().string() + ".partial-" + std::to_string(getpid())))
               .string();
  fs::remove_all(fresh_, ec);
  fs::copy(shipped, fresh_, fs::copy_options::recursive, ec);
  if (ec) {
    error_ = "cannot copy the program's data from " + shipped + ": " + ec.message();
    return;
  }
  fs::create_directories(fs::path(fresh_) / "scene", ec);
  // A log of the shipped folder's own runs is not part of it.
  fs::remove(fs::path(fresh_) / "Log.txt", ec);
}

FolderWriter::~FolderWriter() {
  std::error_code ec;
  if (!committed_ && !fresh_.empty()) fs::remove_all(fresh_, ec);
}

std::string FolderWriter::path(const std::string& relative) const {
  return (fs::path(fresh_) / relative).string();
}

bool FolderWriter::commit() {
  std::error_code ec;
  const fs::path target = fs::absolute(out_, ec);
  const fs::path old = target.parent_path() /
                       ("." + target.filename().string() + ".old-" + std::to_string(getpid()));
  const bool replacing = fs::exists(target, ec);
  if (replacing) {
    fs::rename(target, old, ec);
    if (ec) {
      error_ = "cannot replace " + target.string() + ": " + ec.message();
      return false;
    }
  }
  fs::rename(fresh_, target, ec);
  if (ec) {
    error_ = "cannot rename the new folder to " + target.string() + ": " + ec.message();
    if (replacing) fs::rename(old, target, ec);
    return false;
  }
  committed_ = true;
  if (replacing) fs::remove_all(old, ec);
  return true;
}

}  // namespace sceneimport
