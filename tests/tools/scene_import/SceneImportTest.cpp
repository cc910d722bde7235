// The model importer: each format read with its transforms, colours and
// units; the fitting onto the stage; the folder it writes, read back by the
// program's own readers; bad input ending in one line and no folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include <assimp/Exporter.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "characters/Waypoints.h"
#include "render/Light.h"
#include "tests/support/TestDir.h"
#include "tools/scene_import/Fit.h"
#include "tools/scene_import/Import.h"
#include "tools/scene_import/Reader.h"
#include "tools/scene_import/Simplify.h"
#include "world/Scene.h"

using namespace sceneimport;
namespace fs = std::filesystem;

namespace {

const std::string models = "/usr/share/assimp/models/";

aiMesh* cube(unsigned material) {
  auto* m = new aiMesh;
  m->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  m->mMaterialIndex = material;
  m->mNumVertices = 24;
  m->mVertices = new aiVector3D[24];
  m->mNormals = new aiVector3D[24];
  m->mNumFaces = 12;
  m->mFaces = new aiFace[12];
  for (int side = 0; side < 6; ++side) {
    const int axis = side / 2;
    const float s = side % 2 ? -0.5f : 0.5f;
    aiVector3D n(0, 0, 0), u(0, 0, 0), v(0, 0, 0);
    n[axis] = s * 2, u[(axis + 1) % 3] = 0.5f, v[(axis + 2) % 3] = 0.5f;
    if (s < 0) std::swap(u, v);
    const aiVector3D centre = n * 0.5f;
    const aiVector3D corners[4] = {centre - u - v, centre + u - v, centre + u + v, centre - u + v};
    for (int k = 0; k < 4; ++k) {
      m->mVertices[side * 4 + k] = corners[k];
      m->mNormals[side * 4 + k] = n;
    }
    for (int t = 0; t < 2; ++t) {
      aiFace& f = m->mFaces[side * 2 + t];
      f.mNumIndices = 3;
      f.mIndices = new unsigned[3]{unsigned(side * 4), unsigned(side * 4 + 1 + t),
                                   unsigned(side * 4 + 2 + t)};
    }
  }
  return m;
}

aiNode* instance(const char* name, unsigned mesh, const aiMatrix4x4& transform) {
  auto* node = new aiNode(name);
  node->mTransformation = transform;
  node->mNumMeshes = 1;
  node->mMeshes = new unsigned[1]{mesh};
  return node;
}

// Three cubes from two meshes: a red one moved 2 along x, and again 3
// along z; a blue one stretched to 2 along x, turned a quarter about y and
// moved to (-3, 1, 0). Bounds: x -3.5..2.5, y -0.5..1.5, z -1..3.5.
std::unique_ptr<aiScene> threeCubes() {
  auto scene = std::make_unique<aiScene>();
  scene->mNumMaterials = 2;
  scene->mMaterials = new aiMaterial*[2];
  const aiColor4D colours[2] = {{0.8f, 0.1f, 0.1f, 1}, {0.1f, 0.2f, 0.9f, 1}};
  for (int i = 0; i < 2; ++i) {
    scene->mMaterials[i] = new aiMaterial;
    scene->mMaterials[i]->AddProperty(&colours[i], 1, AI_MATKEY_COLOR_DIFFUSE);
    scene->mMaterials[i]->AddProperty(&colours[i], 1, AI_MATKEY_BASE_COLOR);
    aiString name(i ? "blue" : "red");
    scene->mMaterials[i]->AddProperty(&name, AI_MATKEY_NAME);
  }
  scene->mNumMeshes = 2;
  scene->mMeshes = new aiMesh* [2] { cube(0), cube(1) };
  aiMatrix4x4 a, c, b, turn, stretch;
  aiMatrix4x4::Translation({2, 0, 0}, a);
  aiMatrix4x4::Translation({0, 0, 3}, c);
  aiMatrix4x4::RotationY(float(M_PI / 2), turn);
  aiMatrix4x4::Scaling({2, 1, 1}, stretch);
  aiMatrix4x4::Translation({-3, 1, 0}, b);
  scene->mRootNode = new aiNode("root");
  aiNode* red = instance("red", 0, a);
  aiNode* blue = instance("blue", 1, b * turn * stretch);
  aiNode* again = instance("again", 0, c);
  red->mParent = blue->mParent = scene->mRootNode;
  // The third cube is a child of the first: its move adds to its parent's.
  again->mParent = red;
  red->addChildren(1, &again);
  aiNode* children[] = {red, blue};
  scene->mRootNode->addChildren(2, children);
  return scene;
}

struct FormatRow {
  const char* exporter;
  const char* extension;
  bool flatten;  // the format keeps no node tree: the exporter places the instances
  float unit;    // what one of the model's units becomes
  bool colours;  // whether the format keeps the materials' colours
};

bool near(float a, float b) { return std::fabs(a - b) < 1e-3f; }

bool hasColour(const Model& m, float r, float g, float b) {
  return std::any_of(m.groups.begin(), m.groups.end(), [&](const ColourGroup& x) {
    return near(x.colour.x, r) && near(x.colour.y, g) && near(x.colour.z, b);
  });
}

}  // namespace

TEST(SceneImport, EveryFormatKeepsTransformsInstancesAndColours) {
  const FormatRow rows[] = {
      {"gltf2", ".gltf", false, 1, true},   {"glb2", ".glb", false, 1, true},
      {"obj", ".obj", false, 1, true},      {"collada", ".dae", false, 1, true},
      {"fbxa", ".fbx", false, 0.01f, true}, {"plyb", ".ply", true, 1, false},
      {"stlb", ".stl", true, 1, false},
  };
  TestDir dir;
  const std::unique_ptr<aiScene> scene = threeCubes();
  for (const FormatRow& row : rows) {
    SCOPED_TRACE(row.exporter);
    const std::string path = std::string("cubes") + row.extension;
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(scene.get(), row.exporter, path,
                              row.flatten ? aiProcess_PreTransformVertices : 0u),
              AI_SUCCESS)
        << exporter.GetErrorString();
    Model model;
    std::string error;
    ASSERT_TRUE(readModel(path, ReadOptions{}, model, error)) << error;
    EXPECT_EQ(model.triangleCount(), 36u);
    Vec3 low, high;
    model.bounds(low, high);
    const float u = row.unit;
    EXPECT_TRUE(near(low.x, -3.5f * u) && near(low.y, -0.5f * u) && near(low.z, -1 * u))
        << low.x << " " << low.y << " " << low.z;
    EXPECT_TRUE(near(high.x, 2.5f * u) && near(high.y, 1.5f * u) && near(high.z, 3.5f * u))
        << high.x << " " << high.y << " " << high.z;
    if (row.colours) {
      EXPECT_TRUE(hasColour(model, 0.8f, 0.1f, 0.1f));
      EXPECT_TRUE(hasColour(model, 0.1f, 0.2f, 0.9f));
    }
    // Every normal still points out of its cube: along its face's normal.
    for (const ColourGroup& g : model.groups) {
      for (std::size_t t = 0; t < g.indices.size(); t += 3) {
        const Vec3& a = g.positions[g.indices[t]];
        const Vec3& b = g.positions[g.indices[t + 1]];
        const Vec3& c = g.positions[g.indices[t + 2]];
        const Vec3& n = g.normals[g.indices[t]];
        const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
        const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const float dot =
            (uy * vz - uz * vy) * n.x + (uz * vx - ux * vz) * n.y + (ux * vy - uy * vx) * n.z;
        ASSERT_GT(dot, 0) << "triangle " << t / 3;
      }
    }
  }
}

TEST(SceneImport, UpAxisAndColoursFromTexturesAndVertices) {
  TestDir dir;
  // A z-up file stood up: its z extent becomes the height.
  const std::unique_ptr<aiScene> scene = threeCubes();
  Assimp::Exporter exporter;
  ASSERT_EQ(exporter.Export(scene.get(), "stlb", "cubes.stl", aiProcess_PreTransformVertices),
            AI_SUCCESS);
  Model upright;
  std::string error;
  ReadOptions zUp;
  zUp.up = 'z';
  ASSERT_TRUE(readModel("cubes.stl", zUp, upright, error)) << error;
  Vec3 low, high;
  upright.bounds(low, high);
  EXPECT_TRUE(near(low.y, -1) && near(high.y, 3.5f) && near(low.z, -1.5f) && near(high.z, 0.5f));

  // The same textured box, with its picture in a file, inside the file and
  // in a binary file: one colour, the picture's, not the material's white.
  std::vector<Vec3> seen;
  for (const char* file :
       {"BoxTextured-glTF/BoxTextured.gltf", "BoxTextured-glTF-Embedded/BoxTextured.gltf",
        "BoxTextured-glTF-Binary/BoxTextured.glb"}) {
    Model box;
    ASSERT_TRUE(readModel(models + "glTF2/" + file, ReadOptions{}, box, error)) << error;
    ASSERT_EQ(box.groups.size(), 1u);
    EXPECT_EQ(box.triangleCount(), 12u);
    seen.push_back(box.groups[0].colour);
  }
  EXPECT_LT(seen[0].x + seen[0].y + seen[0].z, 2.9f) << "the texture was not read";
  for (const Vec3& c : seen)
    EXPECT_TRUE(near(c.x, seen[0].x) && near(c.y, seen[0].y) && near(c.z, seen[0].z));

  // Vertex colours become a few rounded colours.
  Model coloured;
  ASSERT_TRUE(readModel(models + "OBJ/cube_with_vertexcolors.obj", ReadOptions{}, coloured, error));
  EXPECT_GT(coloured.groups.size(), 1u);
  EXPECT_NE(coloured.colourNote.find("vertex colours"), std::string::npos);
  for (const ColourGroup& g : coloured.groups) {
    for (float c : {g.colour.x, g.colour.y, g.colour.z})
      EXPECT_TRUE(near(c * 5, std::round(c * 5)));
  }
  // The tool's light is the program's.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Stage::light[i], lightPosition[i]);
}

TEST(SceneImport, FittingPutsTheModelOnTheGroundInsideTheLightAndTheView) {
  const Vec3 shapes[][2] = {
      {{-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}},  // a cube
      {{0, 0, 0}, {1, 20, 1}},                      // a tower
      {{-50, 3, -40}, {50, 4, 40}},                 // a wide flat slab, off the ground
      {{0, 0, 0}, {1e-3f, 2e-3f, 1e-3f}},           // tiny
      {{-1e4f, -1e4f, 0}, {1e4f, 1e4f, 0}},         // a flat wall, huge
  };
  for (const auto& shape : shapes) {
    const Vec3 &low = shape[0], &high = shape[1];
    SCOPED_TRACE(high.y);
    const Placement p = fitToStage(low, high, 4.0f / 3);
    ASSERT_GT(p.scale, 0);
    auto corners = [&](float grow) {
      std::vector<Vec3> out;
      for (int i = 0; i < 8; ++i) {
        Vec3 c = p.place({i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z});
        const Vec3 mid = p.place({(low.x + high.x) / 2, low.y, (low.z + high.z) / 2});
        out.push_back({mid.x + (c.x - mid.x) * grow, mid.y + (c.y - mid.y) * grow,
                       mid.z + (c.z - mid.z) * grow});
      }
      return out;
    };
    EXPECT_NEAR(p.place(low).y, Stage::groundY, 1e-4f);
    for (const Vec3& c : corners(1)) {
      EXPECT_GE(insideLightBox(c), 0.2f);
      EXPECT_TRUE(inOpeningView(c, 4.0f / 3, 0.05f));
    }
    // The largest that fits: a tenth more does not.
    bool allFit = true;
    for (const Vec3& c : corners(1.1f)) {
      allFit = allFit && insideLightBox(c) >= 0.2f && inOpeningView(c, 4.0f / 3, 0.05f);
    }
    EXPECT_FALSE(allFit);
  }
}

TEST(SceneImport, TheFolderIsWhatTheProgramReads) {
  TestDir dir;
  const std::unique_ptr<aiScene> scene = threeCubes();
  Assimp::Exporter exporter;
  ASSERT_EQ(exporter.Export(scene.get(), "glb2", "cubes.glb"), AI_SUCCESS);
  ImportOptions o;
  o.model = "cubes.glb";
  o.out = "folder";
  o.shipped = NPR_DATA_DIR;
  ImportSummary s;
  std::string error;
  ASSERT_TRUE(runImport(o, s, error)) << error;
  EXPECT_EQ(s.sourceTriangles, 36u);
  EXPECT_GT(s.waypoints, 100u);
  for (const char* shipped : {"config.cfg", "Models/capsuleman.txt", "Shaders/colout.vsh"}) {
    EXPECT_TRUE(fs::exists(fs::path("folder") / shipped)) << shipped;
  }
  Scene parsed;
  ASSERT_TRUE(parsed.parse("folder/scene/nprscene.scn"));
  std::int64_t triangles = 0;
  for (int m = 0; m < parsed.meshCount; ++m) triangles += parsed.meshes[m].faceCount;
  EXPECT_EQ(triangles, 36 + 10);  // and the ground's slab
  EXPECT_EQ(parsed.colourCount, 3);
  // Every corner of the model inside the light's box, its foot on the ground.
  float lowest = 1e9f;
  for (int m = 0; m + 1 < parsed.meshCount; ++m) {
    for (int v = 0; v < parsed.meshes[m].vertexCount; ++v) {
      const SceneVector& p = parsed.meshes[m].positions[v];
      EXPECT_GE(insideLightBox({p.x, p.y, p.z}), 0.2f);
      lowest = std::min(lowest, p.y);
    }
  }
  EXPECT_NEAR(lowest, Stage::groundY, 1e-3f);
  WaypointNetwork network;
  ASSERT_TRUE(network.load("folder/scene/waypoints.txt"));
  EXPECT_EQ(static_cast<std::size_t>(network.size()), s.waypoints);
  // Nothing left beside it.
  for (const auto& entry : fs::directory_iterator(".")) {
    EXPECT_EQ(entry.path().filename().string().find(".folder"), std::string::npos);
  }

  // Into the town: the town's meshes and colours first, the model on level
  // ground in view and inside the light's box, the town's paths less those
  // through the model.
  Scene town;
  ASSERT_TRUE(town.parse((std::string(NPR_DATA_DIR) + "/scene/nprscene.scn").c_str()));
  WaypointNetwork townPaths;
  ASSERT_TRUE(townPaths.load((std::string(NPR_DATA_DIR) + "/scene/waypoints.txt").c_str()));
  o.out = "in-town";
  o.intoTown = true;
  ASSERT_TRUE(runImport(o, s, error)) << error;
  Scene both;
  ASSERT_TRUE(both.parse("in-town/scene/nprscene.scn"));
  ASSERT_EQ(both.meshCount, town.meshCount + 2);
  EXPECT_EQ(both.colourCount, town.colourCount + 2);
  EXPECT_EQ(both.meshes[0].faceCount, town.meshes[0].faceCount);
  EXPECT_TRUE(inOpeningView(s.placement.target, 4.0f / 3, 0.0f));
  for (int m = town.meshCount; m < both.meshCount; ++m) {
    for (int v = 0; v < both.meshes[m].vertexCount; ++v) {
      const SceneVector& p = both.meshes[m].positions[v];
      EXPECT_GE(insideLightBox({p.x, p.y, p.z}), 0.2f);
      EXPECT_GE(p.y, s.placement.target.y - 1e-3f);
    }
  }
  WaypointNetwork kept;
  ASSERT_TRUE(kept.load("in-town/scene/waypoints.txt"));
  EXPECT_GT(kept.size(), 0);
  EXPECT_LE(kept.size(), townPaths.size());
}

TEST(SceneImport, BadInputEndsInOneLineAndNoFolder) {
  TestDir dir;
  TestDir::write("empty.obj", "");
  TestDir::write("model.xyz", "not a model");
  TestDir::write("points.obj", "v 0 0 0\nv 1 0 0\np 1\np 2\n");
  TestDir::write("cut.gltf", "{\"asset\": {\"version\": \"2.0\"}, \"meshes\": [{\"primitives\"");
  TestDir::write("box.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  TestDir::write("in-the-way", "a file where a folder should be");
  fs::create_directory("locked");
  chmod("locked", 0500);
  struct Row {
    const char* model;
    const char* out;
    const char* reason;
  } rows[] = {
      {"missing.obj", "out", "no such file"},
      {"empty.obj", "out", "empty"},
      {".", "out", "not a file"},
      {"model.xyz", "out", "unsupported format (.xyz)"},
      {"points.obj", "out", "no triangles (only 2 points and 0 lines)"},
      {"cut.gltf", "out", "cannot read it"},
      {"box.obj", "in-the-way/out", "cannot make the folder"},
      {"box.obj", "locked/out", "cannot write into"},
  };
  const bool root = geteuid() == 0;  // root writes into any folder
  for (const Row& row : rows) {
    if (root && std::string(row.out) == "locked/out") continue;
    SCOPED_TRACE(row.model);
    ImportOptions o;
    o.model = row.model;
    o.out = row.out;
    o.shipped = NPR_DATA_DIR;
    ImportSummary s;
    std::string error;
    ASSERT_FALSE(runImport(o, s, error));
    EXPECT_EQ(error.rfind(std::string(row.model) + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(row.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    for (const char* parent : {".", "locked"}) {
      for (const auto& entry : fs::directory_iterator(parent)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name != "out" && name.find(".out.") == std::string::npos) << name;
      }
    }
  }
  chmod("locked", 0700);
}

TEST(SceneImport, SimplifyingKeepsTheOutlineAndTheBordersBetweenColours) {
  // A sphere of 20,000 triangles, its upper half one colour, its lower another.
  Model model;
  model.groups.resize(2);
  const int rings = 50, segments = 100;
  for (int half = 0; half < 2; ++half) {
    ColourGroup& g = model.groups[half];
    g.colour = {half ? 0.2f : 0.9f, 0.5f, 0.5f};
    const int first = half ? rings / 2 : 0, last = half ? rings : rings / 2;
    for (int r = first; r <= last; ++r) {
      const double theta = M_PI * r / rings;
      for (int s = 0; s < segments; ++s) {
        const double phi = 2 * M_PI * s / segments;
        const Vec3 p{float(std::sin(theta) * std::cos(phi)),
                     r == rings / 2 ? 0.0f : float(std::cos(theta)),
                     float(std::sin(theta) * std::sin(phi))};
        g.positions.push_back(p);
        g.normals.push_back(p);
      }
    }
    for (int r = 0; r < last - first; ++r) {
      for (int s = 0; s < segments; ++s) {
        const std::uint32_t a = r * segments + s, b = r * segments + (s + 1) % segments;
        g.indices.insert(g.indices.end(), {a, b, a + segments, b, b + segments, a + segments});
      }
    }
  }
  auto border = [](const ColourGroup& g) {
    std::vector<std::pair<float, float>> ring;
    for (std::uint32_t i : g.indices) {
      if (g.positions[i].y == 0) ring.emplace_back(g.positions[i].x, g.positions[i].z);
    }
    std::sort(ring.begin(), ring.end());
    ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
    return ring;
  };
  const auto before = border(model.groups[0]);
  ASSERT_EQ(before.size(), std::size_t(segments));
  const std::size_t left = simplifyTo(model, 2000);
  EXPECT_LE(left, 2200u);
  EXPECT_GE(left, 1000u);
  ASSERT_EQ(model.groups.size(), 2u);
  // Both halves still meet along the whole of the same ring: no gap opens.
  EXPECT_EQ(border(model.groups[0]), before);
  EXPECT_EQ(border(model.groups[1]), before);
  Vec3 low, high;
  model.bounds(low, high);
  for (float extent : {low.x, low.y, low.z}) EXPECT_NEAR(extent, -1, 0.03f);
  for (float extent : {high.x, high.y, high.z}) EXPECT_NEAR(extent, 1, 0.03f);
}
