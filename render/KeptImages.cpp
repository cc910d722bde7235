#include "render/KeptImages.h"

void ShadowPassKeeps::release() {
  shadowOfScene.release();
  shadowWrites.clear();
  water = WaterReceivers();
}

void ColourPassKeeps::release() {
  for (SceneColour& kept : eye) {
    kept.copy.release();
    kept.canvas.release();
    kept.lastKey = 0;
    kept.held = false;
  }
  hiddenCharacters.release();
}

void NormalPassKeeps::release() {
  for (SceneNormals& normals : eye) {
    normals.kept.release();
    normals.work.release();
    normals.lastKey = normals.keptKey = 0;
    normals.held = false;
  }
}
