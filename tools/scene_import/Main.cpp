// scene_import: a model file of any common format into a data folder the
// program runs from, with the model fitted where the opening view and the
// light see it, and walkers on its walkable floors.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/scene_import/Import.h"

namespace {

const char* const usageText =
    "usage: scene_import MODEL --out DIR [options]\n"
    "\n"
    "Reads MODEL (glTF 2.0 .gltf/.glb, OBJ with MTL, PLY, STL, COLLADA, FBX and the\n"
    "other formats of the import library) and writes DIR: the program's data with\n"
    "scene/nprscene.scn and scene/waypoints.txt made from the model. Run the program\n"
    "from DIR.\n"
    "\n"
    "options:\n"
    "  --out DIR            the folder to write (replaced whole when it exists)\n"
    "  --up y|z             the model's up axis where its format does not say\n"
    "                       (OBJ, PLY, STL, ...; default y)\n"
    "  --crease DEG         normals the file lacks are smooth across edges flatter\n"
    "                       than this (default 60)\n"
    "  --max-triangles N    simplify larger models to about N triangles (default\n"
    "                       150000, at which the frame stays quick)\n"
    "  --keep-units         no fitting: the model's metres are scene units, times\n"
    "    --scale F          (default 1), moved by\n"
    "    --offset X,Y,Z     (default 0,0,0)\n"
    "  --into-town          keep the shipped town and put the model on its largest\n"
    "                       open ground in view\n"
    "  --data DIR           the program's data to copy around the new scene\n"
    "                       (default: the data this tool was built with)\n"
    "  --help               this text\n";

int usage(const std::string& problem) {
  std::fprintf(stderr, "scene_import: %s\n%s", problem.c_str(), usageText);
  return 2;
}

bool readFloats(const std::string& text, float* values, int count) {
  std::istringstream in(text);
  char comma;
  for (int i = 0; i < count; ++i) {
    if ((i > 0 && !(in >> comma && comma == ',')) || !(in >> values[i])) return false;
  }
  return (in >> std::ws).eof();
}

}  // namespace

int main(int argc, char** argv) {
  sceneimport::ImportOptions o;
  o.shipped = NPR_DATA_DIR;
  o.read.progress = isatty(STDOUT_FILENO);
  bool scaleGiven = false, offsetGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help" || flag == "-h") {
      std::fputs(usageText, stdout);
      return 0;
    }
    if (flag == "--keep-units" || flag == "--into-town") {
      (flag == "--keep-units" ? o.keepUnits : o.intoTown) = true;
      continue;
    }
    if (flag.rfind("--", 0) != 0) {
      if (!o.model.empty()) return usage("more than one model: " + o.model + " and " + flag);
      o.model = flag;
      continue;
    }
    if (i + 1 >= argc) return usage(flag + " needs a value");
    const std::string value = argv[++i];
    float f[3];
    if (flag == "--out") {
      o.out = value;
    } else if (flag == "--data") {
      o.shipped = value;
    } else if (flag == "--up" && (value == "y" || value == "z")) {
      o.read.up = value[0];
    } else if (flag == "--crease" && readFloats(value, f, 1) && f[0] >= 0 && f[0] <= 180) {
      o.read.creaseDegrees = f[0];
    } else if (flag == "--max-triangles" && readFloats(value, f, 1) && f[0] >= 1 && f[0] < 1e9f) {
      o.maxTriangles = static_cast<std::size_t>(f[0]);
    } else if (flag == "--scale" && readFloats(value, f, 1) && f[0] != 0) {
      o.scale = f[0];
      scaleGiven = true;
    } else if (flag == "--offset" && readFloats(value, f, 3)) {
      o.offset = {f[0], f[1], f[2]};
      offsetGiven = true;
    } else {
      return usage("bad option: " + flag + " " + value);
    }
  }
  if (o.model.empty()) return usage("no model given");
  if (o.out.empty()) return usage("no --out folder given");
  if ((scaleGiven || offsetGiven) && !o.keepUnits)
    return usage("--scale and --offset need --keep-units");
  if (o.keepUnits && o.intoTown) return usage("--keep-units and --into-town exclude each other");

  sceneimport::ImportSummary summary;
  std::string error;
  if (!sceneimport::runImport(o, summary, error)) {
    // Names and messages may quote the file's bytes: one printable line.
    for (char& c : error) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    std::fprintf(stderr, "scene_import: %s\n", error.c_str());
    return 1;
  }
  const sceneimport::Placement& p = summary.placement;
  std::printf("  placed: scale %g, its foot at (%.2f, %.2f, %.2f)\n", p.scale, p.target.x,
              p.target.y, p.target.z);
  if (!summary.colourNote.empty()) std::printf("  colours: %s\n", summary.colourNote.c_str());
  if (!summary.fitNote.empty()) std::printf("  note: %s\n", summary.fitNote.c_str());
  if (summary.waypoints == 0) {
    std::printf("  no waypoints: %s; the program places no walkers\n", summary.walkNote.c_str());
  }
  return 0;
}
