// A scripted window system for unit tests: messages are injected, message
// boxes answered, clocks, keys and cursor set, and every request recorded.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

class FakeWindowSystem : public ws::WindowSystem {
 public:
  struct Box {
    ws::WindowHandle owner;
    std::string text;
    std::string caption;
    unsigned type;
  };
  struct CreatedWindow {
    std::uint32_t exStyle;
    std::string className;
    std::string title;
    std::uint32_t style;
    int x, y, width, height;
    void* createParam;
  };
  struct FakeWindow {
    ws::WindowProc proc = nullptr;
    std::intptr_t userData = 0;
    int width = 0, height = 0;
    bool alive = true;
    bool shown = false;
  };

  FakeWindowSystem();
  ~FakeWindowSystem() override;

  // Makes this the current backend until destroyed.
  void install();

  // --- scripting ---
  std::deque<int> boxAnswers;  // answers in order; empty: the box's default
  bool registerResult = true;
  bool displayModeResult = true;
  bool failCreateWindow = false;
  bool failGetDc = false;
  int pixelFormatResult = 1;
  bool failSetPixelFormat = false;
  bool failCreateContext = false;
  bool failMakeCurrent = false;
  std::set<std::string> missingProcs;            // looked-up names that return null
  std::function<void*(const char*)> procLookup;  // overrides the default dummy pointers
  std::uint32_t ticks = 0;
  std::uint32_t mmTime = 0;
  std::map<int, bool> keysHeld;
  ws::Point cursor;
  ws::WindowHandle focus = nullptr;
  int adjustInset = 8;           // frame added on each side by adjustWindowRect
  std::function<void()> onWait;  // called by waitMessage
  std::function<void()> onSwap;  // called by swapBuffers

  void inject(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam = 0,
              ws::LParam lParam = 0);
  ws::WindowHandle lastWindow() const { return lastWindow_; }
  ws::LResult send(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam = 0,
                   ws::LParam lParam = 0);

  // --- records ---
  std::vector<Box> boxes;
  std::vector<std::string> calls;  // names of operations in order
  std::vector<ws::WindowClass> registered;
  std::vector<CreatedWindow> created;
  std::vector<ws::DisplayModeRequest> modeRequests;  // a zero size marks a restore
  std::vector<ws::PixelFormatRequest> pixelFormats;
  std::vector<std::string> lookedUp;
  std::vector<ws::Point> cursorMoves;
  std::vector<ws::Message> posted;
  int cursorCounter = 0;
  int swaps = 0;
  int waits = 0;
  int windowsDestroyed = 0;
  int contextsDeleted = 0;
  std::deque<ws::Message> queue;
  std::map<ws::WindowHandle, FakeWindow> windows;

  // --- ws::WindowSystem ---
  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override;
  ws::WindowHandle focusWindow() override;
  bool registerClass(const ws::WindowClass& wc) override;
  bool unregisterClass(const char* className, ws::InstanceHandle instance) override;
  bool changeDisplaySettings(const ws::DisplayModeRequest* mode, std::uint32_t flags) override;
  bool adjustWindowRect(ws::Rect& rect, std::uint32_t style, bool menu,
                        std::uint32_t exStyle) override;
  ws::WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                                std::uint32_t style, int x, int y, int width, int height,
                                ws::WindowHandle parent, ws::InstanceHandle instance,
                                void* createParam) override;
  bool showWindow(ws::WindowHandle window, int command) override;
  bool destroyWindow(ws::WindowHandle window) override;
  std::intptr_t windowUserData(ws::WindowHandle window) override;
  void setWindowUserData(ws::WindowHandle window, std::intptr_t value) override;
  ws::LResult defWindowProc(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam,
                            ws::LParam lParam) override;
  ws::DeviceContext getDC(ws::WindowHandle window) override;
  bool releaseDC(ws::WindowHandle window, ws::DeviceContext dc) override;
  int choosePixelFormat(ws::DeviceContext dc, const ws::PixelFormatRequest& request) override;
  bool setPixelFormat(ws::DeviceContext dc, int format,
                      const ws::PixelFormatRequest& request) override;
  ws::GlContext createContext(ws::DeviceContext dc) override;
  bool makeCurrent(ws::DeviceContext dc, ws::GlContext context) override;
  bool deleteContext(ws::GlContext context) override;
  bool swapBuffers(ws::DeviceContext dc) override;
  void* procAddress(const char* name) override;
  bool peekMessage(ws::Message& out, ws::WindowHandle filter) override;
  ws::LResult dispatchMessage(const ws::Message& message) override;
  void waitMessage() override;
  bool postMessage(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam,
                   ws::LParam lParam) override;
  std::uint32_t tickCount() override;
  std::uint32_t multimediaTime() override;
  std::int16_t systemKeyState(int virtualKey) override;
  bool cursorPos(ws::Point& out) override;
  bool setCursorPos(int x, int y) override;
  int showCursor(bool show) override;

 private:
  std::map<std::string, ws::WindowProc> classes_;
  ws::WindowHandle lastWindow_ = nullptr;
  std::uintptr_t nextHandle_ = 0x1000;
  ws::WindowSystem* previous_ = nullptr;
  bool installed_ = false;
};
