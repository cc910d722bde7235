#include "contract/DemoContract.h"

#include "platform/MessageQueue.h"

std::int32_t keepRunning = 0;
std::int32_t wantFullscreen = 0;

void requestQuit(RenderWindow* window) {
  ws::messageQueue().postMessage(window->window, ws::MsgQuit, 0, 0);
  keepRunning = 0;
}

void requestScreenModeToggle(RenderWindow* window) {
  ws::messageQueue().postMessage(window->window, MSG_TOGGLE_SCREEN_MODE, 0, 0);
}
