#include "platform/WindowSystem.h"

namespace ws {

namespace {
WindowSystem* current = nullptr;
}

WindowSystem& windowSystem() { return *current; }

void setWindowSystem(WindowSystem* system) { current = system; }

}  // namespace ws
