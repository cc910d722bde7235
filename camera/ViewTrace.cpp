#include "camera/ViewTrace.h"

#include <cstdio>
#include <cstdlib>

#include "camera/Camera.h"

namespace {
std::FILE* viewTrace = nullptr;
bool opened = false;
unsigned long updates = 0;
}  // namespace

void openViewTrace() {
  const char* name = std::getenv("NPR_VIEW_TRACE");
  if (!name || viewTrace) return;
  viewTrace = std::fopen(name, opened ? "a" : "w");
  opened = true;
}

void traceView() {
  if (!viewTrace) return;
  const Vector3 view = (demoCamera.target - demoCamera.eye).normalized();
  const Vector3& eye = demoCamera.eye;
  std::fprintf(viewTrace, "%lu %.6f %.6f %.6f %.6f %.6f %.6f %.7f\n", ++updates, view.x, view.y,
               view.z, eye.x, eye.y, eye.z, demoCamera.pitchTotal);
  std::fflush(viewTrace);
}

void closeViewTrace() {
  if (viewTrace) std::fclose(viewTrace);
  viewTrace = nullptr;
}
