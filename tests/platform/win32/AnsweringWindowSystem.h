// The native window system with one change for unattended tests: message
// boxes are recorded and answered instead of shown. Everything else goes to
// the real system.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"

class AnsweringWindowSystem : public ws::WindowSystem {
 public:
  struct Box {
    ws::WindowHandle owner;
    std::string text, caption;
    unsigned type;
  };
  std::vector<Box> boxes;
  int answer = ws::IdNo;  // Yes/No boxes; OK boxes answer IdOk

  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override {
    boxes.push_back(Box{owner, text ? text : "", caption ? caption : "", type});
    return (type & ws::MbButtonMask) == ws::MbYesNo ? answer : ws::IdOk;
  }

  // Pass-throughs.
  using Handle = ws::WindowHandle;
  using Dc = ws::DeviceContext;
  ws::WindowHandle focusWindow() override { return real_->focusWindow(); }
  bool registerClass(const ws::WindowClass& wc) override { return real_->registerClass(wc); }
  bool unregisterClass(const char* name, ws::InstanceHandle instance) override {
    return real_->unregisterClass(name, instance);
  }
  bool changeDisplaySettings(const ws::DisplayModeRequest* mode, std::uint32_t flags) override {
    return real_->changeDisplaySettings(mode, flags);
  }
  bool adjustWindowRect(ws::Rect& r, std::uint32_t style, bool menu, std::uint32_t ex) override {
    return real_->adjustWindowRect(r, style, menu, ex);
  }
  Handle createWindow(std::uint32_t ex, const char* className, const char* title,
                      std::uint32_t style, int x, int y, int w, int h, Handle parent,
                      ws::InstanceHandle instance, void* param) override {
    return real_->createWindow(ex, className, title, style, x, y, w, h, parent, instance, param);
  }
  bool showWindow(Handle window, int command) override {
    return real_->showWindow(window, command);
  }
  bool destroyWindow(Handle window) override { return real_->destroyWindow(window); }
  std::intptr_t windowUserData(Handle window) override { return real_->windowUserData(window); }
  void setWindowUserData(Handle window, std::intptr_t value) override {
    real_->setWindowUserData(window, value);
  }
  ws::LResult defWindowProc(Handle window, std::uint32_t message, ws::WParam w,
                            ws::LParam l) override {
    return real_->defWindowProc(window, message, w, l);
  }
  Dc getDC(Handle window) override { return real_->getDC(window); }
  bool releaseDC(Handle window, Dc dc) override { return real_->releaseDC(window, dc); }
  int choosePixelFormat(Dc dc, const ws::PixelFormatRequest& request) override {
    return real_->choosePixelFormat(dc, request);
  }
  bool setPixelFormat(Dc dc, int format, const ws::PixelFormatRequest& request) override {
    return real_->setPixelFormat(dc, format, request);
  }
  ws::GlContext createContext(Dc dc) override { return real_->createContext(dc); }
  bool makeCurrent(Dc dc, ws::GlContext context) override {
    return real_->makeCurrent(dc, context);
  }
  bool deleteContext(ws::GlContext context) override { return real_->deleteContext(context); }
  bool swapBuffers(Dc dc) override { return real_->swapBuffers(dc); }
  void* procAddress(const char* name) override { return real_->procAddress(name); }
  bool peekMessage(ws::Message& out, Handle filter) override {
    return real_->peekMessage(out, filter);
  }
  ws::LResult dispatchMessage(const ws::Message& m) override { return real_->dispatchMessage(m); }
  void waitMessage() override { real_->waitMessage(); }
  bool postMessage(Handle window, std::uint32_t message, ws::WParam w, ws::LParam l) override {
    return real_->postMessage(window, message, w, l);
  }
  std::uint32_t tickCount() override { return real_->tickCount(); }
  std::uint32_t multimediaTime() override { return real_->multimediaTime(); }
  std::int16_t systemKeyState(int virtualKey) override { return real_->keyState(virtualKey); }
  bool cursorPos(ws::Point& out) override { return real_->cursorPos(out); }
  bool setCursorPos(int x, int y) override { return real_->setCursorPos(x, y); }
  int showCursor(bool show) override { return real_->showCursor(show); }

 private:
  std::unique_ptr<ws::WindowSystem> real_ = createPlatformWindowSystem();
};
