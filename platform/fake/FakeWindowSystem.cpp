#include "platform/fake/FakeWindowSystem.h"

FakeWindowSystem::FakeWindowSystem() = default;

FakeWindowSystem::~FakeWindowSystem() {
  if (installed_) ws::setWindowSystem(previous_);
}

void FakeWindowSystem::install() {
  installed_ = true;
  ws::setWindowSystem(this);
}

void FakeWindowSystem::inject(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam,
                              ws::LParam lParam) {
  queue.push_back(ws::Message{window, message, wParam, lParam});
}

ws::LResult FakeWindowSystem::send(ws::WindowHandle window, std::uint32_t message,
                                   ws::WParam wParam, ws::LParam lParam) {
  return dispatchMessage(ws::Message{window, message, wParam, lParam});
}

int FakeWindowSystem::messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                                 unsigned type) {
  calls.push_back("messageBox");
  boxes.push_back(Box{owner, text ? text : "", caption ? caption : "", type});
  if (!boxAnswers.empty()) {
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  return (type & ws::MbButtonMask) == ws::MbYesNo ? ws::IdYes : ws::IdOk;
}

ws::WindowHandle FakeWindowSystem::focusWindow() { return focus; }

bool FakeWindowSystem::registerClass(const ws::WindowClass& wc) {
  calls.push_back("registerClass");
  registered.push_back(wc);
  if (!registerResult) return false;
  classes_[wc.className] = wc.proc;
  return true;
}

bool FakeWindowSystem::unregisterClass(const char* className, ws::InstanceHandle) {
  calls.push_back("unregisterClass");
  return classes_.erase(className) == 1;
}

bool FakeWindowSystem::changeDisplaySettings(const ws::DisplayModeRequest* mode, std::uint32_t) {
  calls.push_back(mode ? "changeDisplayMode" : "restoreDisplayMode");
  modeRequests.push_back(mode ? *mode : ws::DisplayModeRequest{});
  return mode ? displayModeResult : true;
}

bool FakeWindowSystem::adjustWindowRect(ws::Rect& rect, std::uint32_t, bool, std::uint32_t) {
  calls.push_back("adjustWindowRect");
  rect.left -= adjustInset;
  rect.top -= adjustInset * 3;
  rect.right += adjustInset;
  rect.bottom += adjustInset;
  return true;
}

ws::WindowHandle FakeWindowSystem::createWindow(std::uint32_t exStyle, const char* className,
                                                const char* title, std::uint32_t style, int x,
                                                int y, int width, int height, ws::WindowHandle,
                                                ws::InstanceHandle, void* createParam) {
  calls.push_back("createWindow");
  created.push_back(CreatedWindow{exStyle, className ? className : "", title ? title : "", style, x,
                                  y, width, height, createParam});
  auto found = classes_.find(className ? className : "");
  if (failCreateWindow || found == classes_.end()) return nullptr;
  auto handle = reinterpret_cast<ws::WindowHandle>(nextHandle_);
  nextHandle_ += 0x10;
  FakeWindow& window = windows[handle];
  window.proc = found->second;
  window.width = width;
  window.height = height;
  lastWindow_ = handle;
  ws::CreateInfo info{createParam};
  window.proc(handle, ws::MsgCreate, 0, reinterpret_cast<ws::LParam>(&info));
  return handle;
}

bool FakeWindowSystem::showWindow(ws::WindowHandle window, int) {
  calls.push_back("showWindow");
  auto found = windows.find(window);
  if (found == windows.end()) return false;
  found->second.shown = true;
  send(window, ws::MsgSize, ws::SizeRestored,
       (found->second.width & 0xFFFF) | ((found->second.height & 0xFFFF) << 16));
  return true;
}

bool FakeWindowSystem::destroyWindow(ws::WindowHandle window) {
  calls.push_back("destroyWindow");
  auto found = windows.find(window);
  if (found == windows.end() || !found->second.alive) return false;
  found->second.alive = false;
  ++windowsDestroyed;
  // Messages for a destroyed window are gone with it.
  for (auto it = queue.begin(); it != queue.end();) {
    it = it->window == window ? queue.erase(it) : it + 1;
  }
  return true;
}

std::intptr_t FakeWindowSystem::windowUserData(ws::WindowHandle window) {
  auto found = windows.find(window);
  return found == windows.end() ? 0 : found->second.userData;
}

void FakeWindowSystem::setWindowUserData(ws::WindowHandle window, std::intptr_t value) {
  windows[window].userData = value;
}

ws::LResult FakeWindowSystem::defWindowProc(ws::WindowHandle, std::uint32_t message, ws::WParam,
                                            ws::LParam) {
  calls.push_back("defWindowProc:" + std::to_string(message));
  return 0;
}

ws::DeviceContext FakeWindowSystem::getDC(ws::WindowHandle window) {
  calls.push_back("getDC");
  return failGetDc
             ? nullptr
             : reinterpret_cast<ws::DeviceContext>(reinterpret_cast<std::uintptr_t>(window) + 1);
}

bool FakeWindowSystem::releaseDC(ws::WindowHandle, ws::DeviceContext) {
  calls.push_back("releaseDC");
  return true;
}

int FakeWindowSystem::choosePixelFormat(ws::DeviceContext, const ws::PixelFormatRequest& request) {
  calls.push_back("choosePixelFormat");
  pixelFormats.push_back(request);
  return pixelFormatResult;
}

bool FakeWindowSystem::setPixelFormat(ws::DeviceContext, int, const ws::PixelFormatRequest&) {
  calls.push_back("setPixelFormat");
  return !failSetPixelFormat;
}

ws::GlContext FakeWindowSystem::createContext(ws::DeviceContext dc) {
  calls.push_back("createContext");
  return failCreateContext
             ? nullptr
             : reinterpret_cast<ws::GlContext>(reinterpret_cast<std::uintptr_t>(dc) + 1);
}

bool FakeWindowSystem::makeCurrent(ws::DeviceContext dc, ws::GlContext) {
  calls.push_back(dc ? "makeCurrent" : "makeNoneCurrent");
  return dc ? !failMakeCurrent : true;
}

bool FakeWindowSystem::deleteContext(ws::GlContext) {
  calls.push_back("deleteContext");
  ++contextsDeleted;
  return true;
}

bool FakeWindowSystem::swapBuffers(ws::DeviceContext) {
  ++swaps;
  if (onSwap) onSwap();
  return true;
}

void* FakeWindowSystem::procAddress(const char* name) {
  lookedUp.push_back(name);
  if (procLookup) return procLookup(name);
  if (missingProcs.count(name)) return nullptr;
  // A recognisable non-null pointer that must never be called.
  static char dummy;
  return &dummy;
}

bool FakeWindowSystem::peekMessage(ws::Message& out, ws::WindowHandle filter) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!filter || it->window == filter) {
      out = *it;
      queue.erase(it);
      return true;
    }
  }
  return false;
}

ws::LResult FakeWindowSystem::dispatchMessage(const ws::Message& message) {
  auto found = windows.find(message.window);
  if (found == windows.end() || !found->second.alive) return 0;
  return found->second.proc(message.window, message.message, message.wParam, message.lParam);
}

void FakeWindowSystem::waitMessage() {
  ++waits;
  if (onWait) onWait();
}

bool FakeWindowSystem::postMessage(ws::WindowHandle window, std::uint32_t message,
                                   ws::WParam wParam, ws::LParam lParam) {
  posted.push_back(ws::Message{window, message, wParam, lParam});
  queue.push_back(ws::Message{window, message, wParam, lParam});
  return true;
}

std::uint32_t FakeWindowSystem::tickCount() { return ticks; }

std::uint32_t FakeWindowSystem::multimediaTime() { return mmTime; }

std::int16_t FakeWindowSystem::systemKeyState(int virtualKey) {
  auto found = keysHeld.find(virtualKey);
  return found != keysHeld.end() && found->second ? static_cast<std::int16_t>(0xFF80) : 0;
}

bool FakeWindowSystem::cursorPos(ws::Point& out) {
  out = cursor;
  return true;
}

bool FakeWindowSystem::setCursorPos(int x, int y) {
  cursorMoves.push_back(ws::Point{x, y});
  cursor = ws::Point{x, y};
  return true;
}

int FakeWindowSystem::showCursor(bool show) {
  calls.push_back(show ? "showCursor" : "hideCursor");
  cursorCounter += show ? 1 : -1;
  return cursorCounter;
}
