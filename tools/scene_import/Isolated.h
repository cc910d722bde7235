// The import library runs in a process of its own: a file that crashes it,
// or makes it ask for more memory than there is, ends the import with an
// error line instead of ending the tool.
#pragma once
#include <string>

#include "tools/scene_import/Reader.h"

namespace sceneimport {

bool readIsolated(const std::string& path, const ReadOptions& options, Model& model,
                  std::string& error);

}  // namespace sceneimport
