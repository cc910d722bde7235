// Message boxes, and the focused window a box may be owned by.
#pragma once

#include "platform/Types.h"

namespace ws {

class Dialogs {
 public:
  // MessageBoxA: owner may be null. Returns IdOk, IdYes, IdNo...
  virtual int messageBox(WindowHandle owner, const char* text, const char* caption,
                         unsigned type) = 0;
  // GetFocus: the window that has the keyboard focus, or null.
  virtual WindowHandle focusWindow() = 0;

 protected:
  ~Dialogs() = default;
};

Dialogs& dialogs();

}  // namespace ws
