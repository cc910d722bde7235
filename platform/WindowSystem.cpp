#include "platform/WindowSystem.h"

namespace ws {

namespace {
WindowSystem* current = nullptr;
}

WindowSystem& windowSystem() { return *current; }

void setWindowSystem(WindowSystem* system) { current = system; }

std::int16_t WindowSystem::keyState(int virtualKey) {
  if (virtualKey >= 0 && virtualKey < 256 && heldForUpdate_[virtualKey])
    return static_cast<std::int16_t>(systemKeyState(virtualKey) | 0xFF80);
  return systemKeyState(virtualKey);
}

void WindowSystem::holdKeyForUpdate(int virtualKey, bool hold) {
  if (virtualKey >= 0 && virtualKey < 256) heldForUpdate_[virtualKey] = hold;
}

}  // namespace ws
