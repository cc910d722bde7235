#include "app/Shell.h"

#include "app/Window.h"
#include "base/Config.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/GlContexts.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Windowing.h"

void runFrameLoop(RenderWindow& window, const DemoHooks& hooks) {
  ws::MessageQueue& queue = ws::messageQueue();
  for (;;) {
    ws::Message message;
    if (queue.peekMessage(message, window.window)) {
      if (message.message == ws::MsgQuit) break;
      queue.dispatchMessage(message);
    } else if (window.visible) {
      const std::uint32_t now = ws::clock().tickCount();
      updateWithKeys(window, hooks, now - window.lastTick);  // unsigned: the wrap is harmless
      window.lastTick = now;
      hooks.draw();
      clearOutsidePicture(window.width, window.height);
      ws::glContexts().swapBuffers(window.deviceContext);
    } else {
      queue.waitMessage();
    }
  }
}

void updateWithKeys(RenderWindow& window, const DemoHooks& hooks, std::uint32_t elapsedMs) {
  ws::Input& input = ws::input();
  KeyStates* keys = window.keys;
  bool tapped[256] = {};
  if (keys) {
    for (int key = 0; key < 256; ++key) {
      if (keys->downSinceUpdate[key] && keys->held[key] == 0) {
        tapped[key] = true;
        keys->held[key] = 1;
        input.holdKeyForUpdate(key, true);
      }
    }
  }
  hooks.update(elapsedMs);
  if (!keys) return;
  for (int key = 0; key < 256; ++key) {
    keys->downSinceUpdate[key] = 0;
    if (tapped[key]) {
      keys->held[key] = 0;
      input.holdKeyForUpdate(key, false);
    }
  }
}

int runApplication(ws::InstanceHandle instance, const DemoHooks& hooks) {
  ws::Dialogs& dialogs = ws::dialogs();
  static AppInstance app;
  static KeyStates keys;
  static RenderWindow window;

  app = AppInstance{};
  app.instance = instance;

  Config& config = Config::instance();
  config.read();

  window = RenderWindow{};
  window.keys = &keys;
  window.app = &app;
  window.width = config.width();
  window.height = config.height();
  window.title = windowTitle;
  window.bitsPerPixel = 32;
  window.fullscreen = 1;
  keys = KeyStates{};

  if (dialogs.messageBox(nullptr, "Would You Like To Run In Fullscreen Mode?", "Start FullScreen?",
                         ws::MbYesNo | ws::MbIconQuestion) == ws::IdNo) {
    window.fullscreen = 0;
  }

  if (!registerRenderClass(&app)) {
    dialogs.messageBox(nullptr, "Error Registering Window Class!", "Error",
                       ws::MbOk | ws::MbIconExclamation);
    return -1;
  }

  int status = 0;
  window.keepRunning = 1;
  window.wantFullscreen = window.fullscreen;
  do {
    window.fullscreen = window.wantFullscreen;
    if (!openRenderWindow(&window)) {
      dialogs.messageBox(nullptr, "Error Creating OpenGL Window", "Error",
                         ws::MbOk | ws::MbIconExclamation);
      window.keepRunning = 0;
      status = 1;
      break;
    }
    if (hooks.init(&window, &keys)) {
      runFrameLoop(window, hooks);
    } else {
      requestQuit(&window);
    }
    hooks.shutdown();
    closeRenderWindow(&window);
  } while (window.keepRunning == 1);

  ws::windowing().unregisterClass(app.className, app.instance);
  return status;
}
