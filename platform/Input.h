// Keys and the pointer, and whether one of our windows has them.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ws {

class Input {
 public:
  // GetKeyState: the 0x80 bit is set while the key is held, or while the
  // shell holds it for one update (a tap shorter than a frame).
  std::int16_t keyState(int virtualKey);
  void holdKeyForUpdate(int virtualKey, bool hold);
  virtual bool cursorPos(Point& out) = 0;
  virtual bool setCursorPos(int x, int y) = 0;
  // ShowCursor: returns the new display counter.
  virtual int showCursor(bool show) = 0;
  // GetFocus: the window that has the keyboard focus, or null.
  virtual WindowHandle focusWindow() = 0;

 protected:
  ~Input() = default;
  // The system's own key state, as GetKeyState reports it.
  virtual std::int16_t systemKeyState(int virtualKey) = 0;

 private:
  bool heldForUpdate_[256] = {};
};

Input& input();

}  // namespace ws
