// The data folder the program runs from: the shipped data with the scene
// and the waypoints replaced, written beside its place and renamed into it
// at the end, so that a failed import leaves nothing behind.
#pragma once
#include <ostream>
#include <string>

#include "tools/scene_import/Model.h"

namespace sceneimport {

// The scene file: the colour table, then one mesh per colour group, in the
// file's units (positions times 100, z negated: the reader undoes both).
// `prefix`, when given, is a scene file whose colours and meshes come first.
void writeScene(std::ostream& out, const Model& model);
bool writeSceneAfter(std::ostream& out, const std::string& prefixText, const Model& model,
                     std::string& error);

class FolderWriter {
 public:
  // Copies `shipped` into a fresh folder beside `out`.
  FolderWriter(const std::string& shipped, const std::string& out);
  ~FolderWriter();  // removes the fresh folder unless committed
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // A file inside the fresh folder, e.g. "scene/nprscene.scn".
  std::string path(const std::string& relative) const;
  // Puts the fresh folder in place of `out` (replacing an older one).
  bool commit();

 private:
  std::string out_, fresh_, error_;
  bool committed_ = false;
};

}  // namespace sceneimport
