// Makes the program believe the driver lacks some extensions: the current
// context's own extension string with the named ones taken out, so every
// fallback can be drawn on a driver that has the fast path.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "gl/Extensions.h"

namespace hidden_extensions {

inline std::vector<std::string>& names() {
  static std::vector<std::string> hidden;
  return hidden;
}

inline const char* filteredString() {
  static std::string filtered;
  const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  filtered.clear();
  std::istringstream words(all ? all : "");
  for (std::string word; words >> word;) {
    bool hide = false;
    for (const std::string& name : names()) hide = hide || name == word;
    if (!hide) filtered += (filtered.empty() ? "" : " ") + word;
  }
  return filtered.c_str();
}

}  // namespace hidden_extensions

// Hides the named extensions from extensionSupported (none: the driver's
// own string again). What the program fetched before is its own to forget.
inline void hideExtensions(const std::vector<std::string>& names) {
  hidden_extensions::names() = names;
  setExtensionStringSource(names.empty() ? nullptr : hidden_extensions::filteredString);
}

// "A,B" as {"A", "B"}.
inline std::vector<std::string> extensionList(const std::string& commaSeparated) {
  std::vector<std::string> names;
  std::istringstream in(commaSeparated);
  for (std::string name; std::getline(in, name, ',');)
    if (!name.empty()) names.push_back(name);
  return names;
}
