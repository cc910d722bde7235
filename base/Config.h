// The window size from "config.cfg": two integers, width then height. Read
// once per run; the shell's window record, the demo's view size and the
// camera's mouse area each take their copy from here when they are made.
#pragma once

class Config {
 public:
  static constexpr int defaultWidth = 1024;
  static constexpr int defaultHeight = 768;

  static Config& instance();
  // Reads "config.cfg" in the working directory. A value that cannot be read
  // or is not positive keeps the default, so the window always has an area.
  void read();
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  Config() = default;
  int width_ = defaultWidth;
  int height_ = defaultHeight;
};
