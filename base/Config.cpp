#include "base/Config.h"

#include <fstream>

Config& Config::instance() {
  static Config* config = new Config;  // never destroyed
  return *config;
}

void Config::read() {
  width_ = defaultWidth;
  height_ = defaultHeight;
  std::ifstream file("config.cfg");
  int value = 0;
  if (file >> value && value > 0) width_ = value;
  if (file && file >> value && value > 0) height_ = value;
}
