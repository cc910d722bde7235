#include "camera/ViewTrace.h"

#include <cstdlib>

#include "camera/Camera.h"

void ViewTrace::open() {
  const char* name = std::getenv("NPR_VIEW_TRACE");
  if (!name || file_) return;
  file_ = std::fopen(name, opened_ ? "a" : "w");
  opened_ = true;
}

void ViewTrace::trace(const Camera& camera) {
  if (!file_) return;
  const Vector3 view = (camera.target - camera.eye).normalized();
  const Vector3& eye = camera.eye;
  std::fprintf(file_, "%lu %.6f %.6f %.6f %.6f %.6f %.6f %.7f\n", ++updates_, view.x, view.y,
               view.z, eye.x, eye.y, eye.z, camera.pitchTotal);
  std::fflush(file_);
}

void ViewTrace::close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}
