#include "platform/WindowSystem.h"

namespace ws {

namespace {
WindowSystem* current = nullptr;
}

WindowSystem& windowSystem() { return *current; }
void setWindowSystem(WindowSystem* system) { current = system; }

Dialogs& dialogs() { return *current; }
GlLoader& glLoader() { return *current; }
Input& input() { return *current; }
Clock& clock() { return *current; }
MessageQueue& messageQueue() { return *current; }
Windowing& windowing() { return *current; }
GlContexts& glContexts() { return *current; }

}  // namespace ws
