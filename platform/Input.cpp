#include "platform/Input.h"

namespace ws {

std::int16_t Input::keyState(int virtualKey) {
  if (virtualKey >= 0 && virtualKey < 256 && heldForUpdate_[virtualKey])
    return static_cast<std::int16_t>(systemKeyState(virtualKey) | 0xFF80);
  return systemKeyState(virtualKey);
}

void Input::holdKeyForUpdate(int virtualKey, bool hold) {
  if (virtualKey >= 0 && virtualKey < 256) heldForUpdate_[virtualKey] = hold;
}

}  // namespace ws
