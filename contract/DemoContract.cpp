#include "contract/DemoContract.h"

#include "platform/MessageQueue.h"

void requestQuit(RenderWindow* window) {
  ws::messageQueue().postMessage(window->window, ws::MsgQuit, 0, 0);
  window->keepRunning = 0;
}

void requestScreenModeToggle(RenderWindow* window) {
  ws::messageQueue().postMessage(window->window, MSG_TOGGLE_SCREEN_MODE, 0, 0);
}
