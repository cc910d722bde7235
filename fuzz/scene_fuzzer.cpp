// The scene file: either meshes whose every index lies inside its arrays, or
// an empty scene and an error entry in the log.
#include "fuzz/FuzzFiles.h"
#include "world/Scene.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::enterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::writeFile("scene.scn", data, size);
  fuzz::restartLog();
  Scene scene;
  if (scene.parse("scene.scn")) {
    for (std::int32_t m = 0; m < scene.meshCount; ++m) {
      const SceneMesh& mesh = scene.meshes[m];
      FUZZ_CHECK(mesh.indexCount == 3 * std::int64_t{mesh.faceCount});
      for (std::int64_t i = 0; i < mesh.indexCount; ++i)
        FUZZ_CHECK(mesh.indexArray[i] < mesh.unifiedVertexCount);
      // Every unified vertex is read, so a short array shows as an overflow.
      float sum = 0.0f;
      for (std::int64_t i = 0; i < 3 * mesh.unifiedVertexCount; ++i)
        sum += mesh.positionArray[i] + mesh.texCoordArray[i] + mesh.normalArray[i] +
               mesh.colourArray[i];
      (void)sum;
    }
  } else {
    FUZZ_CHECK(scene.meshCount == 0 && scene.meshes == nullptr);
    const std::vector<std::string> entries = fuzz::logEntries();
    FUZZ_CHECK(entries.size() == 2 && entries[1].rfind("Error: ", 0) == 0);
  }
  return 0;
}
