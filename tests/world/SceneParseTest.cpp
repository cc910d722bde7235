#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/TestDir.h"
#include "world/Scene.h"

namespace {

std::string lastLogEntry() { return TestDir::logEntries().back(); }

bool parseText(Scene& scene, const std::string& text) {
  TestDir::write("scene/test.scn", text);
  return scene.parse("scene/test.scn");
}

std::vector<float> floats(const float* array, std::int64_t count) {
  return array ? std::vector<float>(array, array + count) : std::vector<float>();
}

// Two colours; one mesh with 6 vertices and 4 texture coordinates; faces given
// as "v0 v1 v2 / t0 t1 t2 / material".
std::string oneMesh(const std::vector<std::string>& faces) {
  std::string text = "2\n1 0 0\n0 0.5 1\n1\n6 4 " + std::to_string(faces.size()) + "\n";
  for (int v = 0; v < 6; ++v) text += std::to_string(v * 100) + " 200 300\n0 0 1\n";
  text += "0.25 0.5 0.75\n1 1 1\n2 2 2\n3 3 3\n";
  for (const std::string& f : faces) {
    std::string line = f;
    for (std::size_t at; (at = line.find(" / ")) != std::string::npos;) line.replace(at, 3, "\n");
    const std::size_t material = line.rfind('\n');
    text += line.substr(0, material) + "\n0 0 1" + line.substr(material) + "\n";
  }
  return text;
}

TEST(SceneParse, ConvertsAxesScaleTexCoordsAndMaterials) {
  TestDir dir;
  Scene scene;
  ASSERT_TRUE(parseText(scene, oneMesh({"1 2 3 / 0 1 2 / 2"})));
  ASSERT_EQ(scene.meshCount, 1);
  const SceneMesh& m = scene.meshes[0];
  EXPECT_FLOAT_EQ(m.normals[1].z, -1.0f);
  EXPECT_FLOAT_EQ(m.faces[0].faceNormal.z, -1.0f);
  EXPECT_EQ(m.faces[0].materialIndex, 1);
  EXPECT_EQ(floats(m.colourArray, 9), std::vector<float>({0, 0.5f, 1, 0, 0.5f, 1, 0, 0.5f, 1}));
  EXPECT_EQ(floats(m.positionArray, 3), std::vector<float>({1, 2, -3}));
  EXPECT_EQ(floats(m.texCoordArray, 3), std::vector<float>({0.25f, 0.75f, 0.5f}));
  EXPECT_EQ(TestDir::logEntries(), std::vector<std::string>({"Loading SCN...", "SCN Loaded!"}));
}

TEST(SceneParse, FirstCornerKeySharesVertexZeroOnlyWithTheSameColour) {
  struct Case {
    const char* name;
    std::vector<std::string> faces;
    std::vector<std::uint32_t> indices;
  };
  const Case cases[] = {
      {"repeat, same material", {"5 1 2 / 2 0 0 / 1", "3 5 4 / 0 2 1 / 1"}, {0, 1, 2, 3, 0, 4}},
      {"repeat in the first face", {"5 5 2 / 2 2 0 / 1"}, {0, 0, 1}},
      {"other material", {"5 1 2 / 2 0 0 / 1", "3 5 4 / 0 2 1 / 2"}, {0, 1, 2, 3, 4, 5}},
      {"other texture coordinate", {"5 1 2 / 2 0 0 / 1", "5 5 4 / 1 3 1 / 1"}, {0, 1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDir dir;
    Scene scene;
    ASSERT_TRUE(parseText(scene, oneMesh(c.faces)));
    const SceneMesh& m = scene.meshes[0];
    ASSERT_EQ(m.indexCount, 3 * m.faceCount);
    EXPECT_EQ(std::vector<std::uint32_t>(m.indexArray, m.indexArray + m.indexCount), c.indices);
    EXPECT_EQ(m.unifiedVertexCount, *std::max_element(c.indices.begin(), c.indices.end()) + 1);
    // Every corner shows its own face's colour.
    for (std::int64_t i = 0; i < m.indexCount; ++i) {
      EXPECT_EQ(m.colourArray[3 * m.indexArray[i]], m.faces[i / 3].colour.x) << "corner " << i;
    }
  }
}

TEST(SceneParse, EachMeshHasItsOwnKeyAndEmptyMeshesHaveEmptyArrays) {
  TestDir dir;
  Scene scene;
  ASSERT_TRUE(parseText(scene,
                        "1 1 1 1\n3\n"
                        "1 1 1  0 0 0 0 0 0  0 0 0  0 0 0 0 0 0 0 0 0 1\n"
                        "0 0 0\n"
                        "2 1 2  0 0 0 0 0 0  0 0 0 0 0 0  0 0 0\n"
                        "1 0 0 0 0 0 0 0 0 1  1 1 0 0 0 0 0 0 0 1\n"));
  ASSERT_EQ(scene.meshCount, 3);
  EXPECT_EQ(scene.meshes[0].unifiedVertexCount, 1);
  const SceneMesh& last = scene.meshes[2];
  EXPECT_EQ(std::vector<std::uint32_t>(last.indexArray, last.indexArray + 6),
            std::vector<std::uint32_t>({0, 1, 2, 0, 0, 3}));
  EXPECT_EQ(last.unifiedVertexCount, 4);
  const SceneMesh& empty = scene.meshes[1];
  EXPECT_EQ(empty.indexCount, 0);
  EXPECT_EQ(empty.unifiedVertexCount, 0);
  EXPECT_EQ(empty.indexArray, nullptr);
  EXPECT_EQ(empty.positionArray, nullptr);

  EXPECT_TRUE(parseText(scene, "0 0"));
  EXPECT_EQ(scene.meshCount, 0);
  EXPECT_EQ(scene.meshes, nullptr);
  EXPECT_EQ(lastLogEntry(), "SCN Loaded!");
}

TEST(SceneParse, AnyWhitespaceSeparatesAndNumbersTakeEveryScanfSpelling) {
  TestDir dir;
  Scene lines, packed;
  const std::string text = oneMesh({"0 1 2 / 0 1 2 / 1"}) + "trailing words are never read";
  ASSERT_TRUE(parseText(lines, text));
  std::string squeezed = text;
  for (std::size_t i = 0; i < squeezed.size(); ++i) {
    if (squeezed[i] == '\n') squeezed[i] = "\t \r\v"[i % 4];
  }
  ASSERT_TRUE(parseText(packed, "\r\n " + squeezed));
  EXPECT_EQ(floats(packed.meshes[0].positionArray, 9), floats(lines.meshes[0].positionArray, 9));
  EXPECT_EQ(floats(packed.meshes[0].colourArray, 9), floats(lines.meshes[0].colourArray, 9));

  Scene spelled;
  ASSERT_TRUE(parseText(spelled, "+1 1e0 -2.5E-1 .5 1 1 1 0 +100 0x1p-2 2.5E+1 -7. 0 0 0 0 0"));
  const SceneVector& p = spelled.meshes[0].positions[0];
  EXPECT_EQ(std::vector<float>({p.x, p.y, p.z}),
            std::vector<float>({100 * 0.01f, 0.25f * 0.01f, -25 * 0.01f}));
  EXPECT_EQ(spelled.meshes[0].normals[0].x, -7.0f);
}

TEST(SceneParse, MissingOrUnreadableFileEmptiesTheScene) {
  TestDir dir;
  Scene scene;
  ASSERT_TRUE(parseText(scene, oneMesh({"0 1 2 / 0 1 2 / 1"})));
  for (const char* path : {"scene/none.scn", "scene"}) {
    EXPECT_FALSE(scene.parse(path));
    EXPECT_EQ(scene.meshCount, 0);
    EXPECT_EQ(scene.meshes, nullptr);
    EXPECT_EQ(lastLogEntry(), "Error: Can't find .SCN file!");
  }
}

TEST(SceneParse, RefusesMalformedFilesWithOneEntryNamingItemAndProblem) {
  const std::string good = oneMesh({"0 1 2 / 0 1 2 / 1"});
  auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    return text.replace(text.find(from), from.size(), to);
  };
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", "line 1: colour count: the file ends early"},
      {"1.5", "colour count: expected an integer, found \"1.5\""},
      {"-2", "colour count: -2 is negative"},
      {"99999999999 1", "colour count: \"99999999999\" does not fit a 32-bit integer"},
      {"4 0 0 0 0 0 0 0 0 0 0 0", "colour count: 4 is more than the rest of the file can hold"},
      {"1 1 1 1e 0", "colour for material 1: expected a number, found \"1e\""},
      {"1 1 1 1 -1", "mesh count: -1 is negative"},
      {"1 1 1 1 9 0 0 0", "mesh count: 9 is more than the rest of the file can hold"},
      {replaced("6 4 1", "-6 4 1"), "line 5: mesh 0, vertex count: -6 is negative"},
      {replaced("6 4 1", "6 2000000000 1"),
       "mesh 0, texture-coordinate count: 2000000000 is more than the rest of the file"},
      {replaced("6 4 1", "6 4 2147483647"), "mesh 0, face count: 2147483647 is more than"},
      {"1 1 1 1\n1\n1 0 0\n100.000000000000000 2 3",
       "line 4: mesh 0, vertex 0 normal: the file ends early"},
      {replaced("0 1 2\n0 1 2", "0 6 2\n0 1 2"),
       "mesh 0, face 0 vertex indices: vertex index 6 is out of range (the mesh has 6 vertices)"},
      {replaced("0 1 2\n0 1 2", "0 1 2\n0 4 2"),
       "mesh 0, face 0 texture-coordinate indices: texture-coordinate index 4 is out of range"},
      {good.substr(0, good.size() - 2) + "0\n", "mesh 0, face 0 material: material 0 is out of"},
      {good.substr(0, good.size() - 2) + "3\n",
       "line 25: mesh 0, face 0 material: material 3 is out of range (the colour table has 2 "
       "colours, numbered from 1)"},
      {replaced("\n1\n6 4", "\n2\n6 4") + "0 0\n", "mesh 1, header: the file ends early"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TestDir dir;
    Scene scene;
    ASSERT_TRUE(parseText(scene, good));
    EXPECT_FALSE(parseText(scene, c.text));
    EXPECT_EQ(scene.meshCount, 0);
    EXPECT_EQ(scene.meshes, nullptr);
    const std::vector<std::string> entries = TestDir::logEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2], "Loading SCN...");
    EXPECT_EQ(entries[3].rfind("Error: Bad .SCN file, line ", 0), 0u) << entries[3];
    EXPECT_NE(entries[3].find(c.message), std::string::npos) << entries[3];
  }
}

}  // namespace

namespace {

// A flat square grid of cells x cells quads, two triangles each.
std::string gridMesh(int cells) {
  const int side = cells + 1;
  std::string text = "1\n1 1 1\n1\n" + std::to_string(side * side) + " 1 " +
                     std::to_string(2 * cells * cells) + "\n";
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x)
      text += std::to_string(x * 100) + " 0 " + std::to_string(z * 100) + "\n0 1 0\n";
  text += "0 0 0\n";
  auto at = [side](int x, int z) { return std::to_string(z * side + x); };
  for (int z = 0; z < cells; ++z)
    for (int x = 0; x < cells; ++x) {
      text += at(x, z) + " " + at(x + 1, z) + " " + at(x, z + 1) + "\n0 0 0\n0 1 0\n1\n";
      text += at(x + 1, z) + " " + at(x + 1, z + 1) + " " + at(x, z + 1) + "\n0 0 0\n0 1 0\n1\n";
    }
  return text;
}

}  // namespace

TEST(SceneParse, LargeMeshesAreCutIntoRunsOfTheirFilesOrder) {
  TestDir dir;
  Scene scene;
  ASSERT_TRUE(parseText(scene, gridMesh(24)));
  const SceneMesh& m = scene.meshes[0];
  ASSERT_GE(m.faceCount, SceneMesh::facesPerPieceAtLeast);
  ASSERT_GT(m.pieces.size(), 1u);

  // The pieces follow each other through the whole index array.
  std::int64_t next = 0;
  for (const ScenePiece& piece : m.pieces) {
    EXPECT_EQ(piece.firstIndex, next);
    EXPECT_LE(piece.indexCount, 3 * SceneMesh::trianglesPerPieceAtMost);
    next += piece.indexCount;
  }
  EXPECT_EQ(next, m.indexCount);

  // Each triangle lies in its piece's box; a box is a part of the mesh's.
  using Corners = std::vector<float>;
  std::vector<Corners> drawn, filed;
  for (const ScenePiece& piece : m.pieces) {
    EXPECT_LT((piece.high[0] - piece.low[0]) * (piece.high[2] - piece.low[2]), 0.5 * 24 * 24);
    for (std::int64_t i = piece.firstIndex; i < piece.firstIndex + piece.indexCount; i += 3) {
      Corners corners;
      for (int k = 0; k < 3; ++k)
        for (int axis = 0; axis < 3; ++axis) {
          const float v = m.positionArray[3 * m.indexArray[i + k] + axis];
          EXPECT_GE(v, piece.low[axis]);
          EXPECT_LE(v, piece.high[axis]);
          corners.push_back(v);
        }
      drawn.push_back(corners);
    }
  }
  // The file's faces, in the file's order, corners in order: coplanar
  // triangles resolve as the file orders them.
  for (std::int32_t f = 0; f < m.faceCount; ++f) {
    Corners corners;
    for (int k = 0; k < 3; ++k) {
      const SceneVector& p = m.positions[m.faces[f].vertexIndices.corner[k]];
      corners.insert(corners.end(), {p.x, p.y, p.z});
    }
    filed.push_back(corners);
  }
  EXPECT_EQ(drawn, filed);
}
