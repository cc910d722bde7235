// Window classes, windows and their procedures, and the display mode.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ws {

class Windowing {
 public:
  virtual bool registerClass(const WindowClass& wc) = 0;
  virtual bool unregisterClass(const char* className, InstanceHandle instance) = 0;

  // ChangeDisplaySettingsA: a request with CdsFullscreen, or null and 0 to
  // restore the registry mode. True when the system reports success.
  virtual bool changeDisplaySettings(const DisplayModeRequest* mode, std::uint32_t flags) = 0;
  virtual bool adjustWindowRect(Rect& rect, std::uint32_t style, bool menu,
                                std::uint32_t exStyle) = 0;

  // CreateWindowExA: sends MsgCreate (lParam points to a CreateInfo) to the
  // class's procedure before it returns. The window is created hidden.
  virtual WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                                    std::uint32_t style, int x, int y, int width, int height,
                                    WindowHandle parent, InstanceHandle instance,
                                    void* createParam) = 0;
  virtual bool showWindow(WindowHandle window, int command) = 0;
  virtual bool destroyWindow(WindowHandle window) = 0;
  virtual std::intptr_t windowUserData(WindowHandle window) = 0;
  virtual void setWindowUserData(WindowHandle window, std::intptr_t value) = 0;
  virtual LResult defWindowProc(WindowHandle window, std::uint32_t message, WParam wParam,
                                LParam lParam) = 0;

 protected:
  ~Windowing() = default;
};

Windowing& windowing();

}  // namespace ws
