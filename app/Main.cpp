// Program entry: choose the platform's window system and run the shell.
#include <memory>

#include "app/Shell.h"
#include "platform/Backend.h"

int main() {
  std::unique_ptr<ws::WindowSystem> system = createPlatformWindowSystem();
  ws::setWindowSystem(system.get());
  DemoHooks hooks;
  hooks.init = initDemo;
  hooks.update = updateFrame;
  hooks.draw = drawFrame;
  hooks.shutdown = shutdownDemo;
  const int status = runApplication(platformInstanceHandle(), hooks);
  ws::setWindowSystem(nullptr);
  return status;
}
