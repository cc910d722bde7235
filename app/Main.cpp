// Program entry: choose the platform's window system and run the shell.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Shell.h"
#include "camera/Camera.h"
#include "platform/Backend.h"

namespace {

// With NPR_VIEW_TRACE naming a file, every update appends one line to it:
// the update's number, the camera's view direction, its eye and the pitch
// used up. The end-to-end tests read where the camera looks from it.
std::FILE* viewTrace = nullptr;
unsigned long updates = 0;

void updateAndTrace(std::uint32_t elapsedMs) {
  updateFrame(elapsedMs);
  const Vector3 view = (demoCamera.target - demoCamera.eye).normalized();
  const Vector3& eye = demoCamera.eye;
  std::fprintf(viewTrace, "%lu %.6f %.6f %.6f %.6f %.6f %.6f %.7f\n", ++updates, view.x, view.y,
               view.z, eye.x, eye.y, eye.z, pitchTotal);
  std::fflush(viewTrace);
}

}  // namespace

int main() {
  std::unique_ptr<ws::WindowSystem> system = createPlatformWindowSystem();
  ws::setWindowSystem(system.get());
  DemoHooks hooks;
  hooks.init = initDemo;
  hooks.update = updateFrame;
  hooks.draw = drawFrame;
  hooks.shutdown = shutdownDemo;
  if (const char* trace = std::getenv("NPR_VIEW_TRACE")) {
    viewTrace = std::fopen(trace, "w");
    if (viewTrace) hooks.update = updateAndTrace;
  }
  const int status = runApplication(platformInstanceHandle(), hooks);
  if (viewTrace) std::fclose(viewTrace);
  ws::setWindowSystem(nullptr);
  return status;
}
