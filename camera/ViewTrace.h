// With NPR_VIEW_TRACE naming a file, every update appends one line to it:
// the update's number, the camera's view direction, its eye and the pitch
// used up. The end-to-end tests read where the camera looks from it.
#pragma once

#include <cstdio>

class Camera;

// Outlives the demo's rebuilds, so that one run makes one file.
class ViewTrace {
 public:
  ViewTrace() = default;
  ~ViewTrace() { close(); }
  ViewTrace(const ViewTrace&) = delete;
  ViewTrace& operator=(const ViewTrace&) = delete;

  // Opens the file when the variable is set: afresh at the first call, for
  // appending after a rebuild.
  void open();
  // Appends the line of one update, when tracing.
  void trace(const Camera& camera);
  void close();

 private:
  std::FILE* file_ = nullptr;
  bool opened_ = false;
  unsigned long updates_ = 0;
};
