// The whole window-system layer, as a backend implements it: SDL2 (desktop),
// native Win32, or a scripted fake for tests. Code that uses the layer
// includes only the faces it needs.
#pragma once

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/GlContexts.h"
#include "platform/GlLoader.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Windowing.h"

namespace ws {

class WindowSystem : public Dialogs,
                     public GlLoader,
                     public Input,
                     public Clock,
                     public MessageQueue,
                     public Windowing,
                     public GlContexts {
 public:
  virtual ~WindowSystem() = default;
  // One answer for both faces that ask it.
  WindowHandle focusWindow() override = 0;
};

// The backend in use. Set once at start (or by a test) before anything else
// runs; every face's accessor answers with it.
WindowSystem& windowSystem();
void setWindowSystem(WindowSystem* system);

}  // namespace ws
