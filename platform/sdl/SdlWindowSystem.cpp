// The window system on SDL2: one GL window at a time, SDL events translated
// into Win32-style messages and virtual-key codes on a message queue that
// also carries posted messages.
#include <SDL.h>
#if defined(NPR_X11_POINTER)
#include <SDL_syswm.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "platform/Backend.h"
#include "platform/sdl/SdlKeysAndBoxes.h"

namespace {

constexpr int VkF4 = 0x73;

// SDL's stand-in drivers draw where no one sees.
bool showsWindows(const char* driver) {
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0 &&
         std::strcmp(driver, "evdev") != 0;
}

struct SdlWindow {
  SDL_Window* sdl = nullptr;
  ws::WindowProc proc = nullptr;
  std::intptr_t userData = 0;
};

class SdlWindowSystem : public ws::WindowSystem {
 public:
  SdlWindowSystem() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // When the display refuses a connection, SDL quietly falls back to a
    // driver that shows nothing, and the program would run where nobody can
    // see or answer it. A busy X server has been seen to refuse one now and
    // then, so try again for a moment before giving up on the display.
    const bool driverAsked = std::getenv("SDL_VIDEODRIVER") != nullptr;
    for (int attempt = 0; attempt < 20; ++attempt) {
      videoReady_ = SDL_Init(SDL_INIT_VIDEO) == 0;
      if (!videoReady_ || driverAsked || showsWindows(SDL_GetCurrentVideoDriver())) break;
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      videoReady_ = false;
      SDL_SetError("no display that shows windows");
      SDL_Delay(100);
    }
    if (!videoReady_) std::fprintf(stderr, "No display: %s\n", SDL_GetError());
  }

  ~SdlWindowSystem() override {
    for (auto& entry : windows_) SDL_DestroyWindow(entry.second->sdl);
    SDL_Quit();
  }

  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override {
    SdlWindow* parent = find(owner);
    return sdl::showMessageBox(parent ? parent->sdl : nullptr, text, caption, type);
  }

  ws::WindowHandle focusWindow() override {
    SDL_Window* focused = SDL_GetKeyboardFocus();
    for (auto& entry : windows_) {
      if (entry.second->sdl == focused) return entry.first;
    }
    return nullptr;
  }

  bool registerClass(const ws::WindowClass& wc) override {
    if (!wc.className || !wc.proc || classes_.count(wc.className)) return false;
    classes_[wc.className] = wc;
    return true;
  }

  bool unregisterClass(const char* className, ws::InstanceHandle) override {
    return className && classes_.erase(className) == 1;
  }

  bool changeDisplaySettings(const ws::DisplayModeRequest* mode, std::uint32_t) override {
    if (!mode) {
      modeSwitched_ = false;
      return true;
    }
    if (!videoReady_) return false;
    SDL_DisplayMode wanted{};
    wanted.w = static_cast<int>(mode->width);
    wanted.h = static_cast<int>(mode->height);
    SDL_DisplayMode closest{};
    // Only the exact size counts as a switch; a merely close mode is a refusal.
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest) || closest.w != wanted.w ||
        closest.h != wanted.h || SDL_BITSPERPIXEL(closest.format) < 24) {
      return false;
    }
    pendingMode_ = closest;
    modeSwitched_ = true;
    return true;
  }

  bool adjustWindowRect(ws::Rect&, std::uint32_t, bool, std::uint32_t) override {
    // SDL sizes windows by their client area already.
    return true;
  }

  ws::WindowHandle createWindow(std::uint32_t, const char* className, const char* title,
                                std::uint32_t style, int x, int y, int width, int height,
                                ws::WindowHandle, ws::InstanceHandle, void* createParam) override {
    auto wc = classes_.find(className ? className : "");
    if (!videoReady_ || wc == classes_.end() || width <= 0 || height <= 0) return nullptr;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    const bool fullscreen = (style & ws::WsPopup) != 0 && modeSwitched_;
    if (fullscreen)
      flags |= SDL_WINDOW_FULLSCREEN;
    else
      flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!sdl) {
      std::fprintf(stderr, "Cannot create the window: %s\n", SDL_GetError());
      return nullptr;
    }
    if (fullscreen) SDL_SetWindowDisplayMode(sdl, &pendingMode_);
    SDL_DisableScreenSaver();
    auto window = std::make_unique<SdlWindow>();
    window->sdl = sdl;
    window->proc = wc->second.proc;
    ws::WindowHandle handle = window.get();
    windows_[handle] = std::move(window);
    ws::CreateInfo info{createParam};
    windows_[handle]->proc(handle, ws::MsgCreate, 0, reinterpret_cast<ws::LParam>(&info));
    return handle;
  }

  bool showWindow(ws::WindowHandle handle, int) override {
    SdlWindow* window = find(handle);
    if (!window) return false;
    SDL_ShowWindow(window->sdl);
    int width = 0, height = 0;
    SDL_GetWindowSize(window->sdl, &width, &height);
    window->proc(handle, ws::MsgSize, ws::SizeRestored, packSize(width, height));
    return true;
  }

  bool destroyWindow(ws::WindowHandle handle) override {
    auto found = windows_.find(handle);
    if (found == windows_.end()) return false;
    found->second->proc(handle, ws::MsgDestroy, 0, 0);
    SDL_DestroyWindow(found->second->sdl);
    windows_.erase(found);
    for (auto it = queue_.begin(); it != queue_.end();) {
      it = it->window == handle ? queue_.erase(it) : it + 1;
    }
    if (windows_.empty()) SDL_EnableScreenSaver();
    return true;
  }

  std::intptr_t windowUserData(ws::WindowHandle handle) override {
    SdlWindow* window = find(handle);
    return window ? window->userData : 0;
  }

  void setWindowUserData(ws::WindowHandle handle, std::intptr_t value) override {
    if (SdlWindow* window = find(handle)) window->userData = value;
  }

  ws::LResult defWindowProc(ws::WindowHandle handle, std::uint32_t message, ws::WParam wParam,
                            ws::LParam) override {
    SdlWindow* window = find(handle);
    if (!window) return 0;
    if (message == ws::MsgSysKeyDown && wParam == VkF4) {
      return window->proc(handle, ws::MsgSysCommand, ws::ScClose, 0);
    }
    if (message == ws::MsgSysCommand && (wParam & 0xFFF0) == ws::ScClose) {
      return window->proc(handle, ws::MsgClose, 0, 0);
    }
    if (message == ws::MsgClose) destroyWindow(handle);
    return 0;
  }

  ws::DeviceContext getDC(ws::WindowHandle handle) override {
    return find(handle) ? handle : nullptr;
  }

  bool releaseDC(ws::WindowHandle, ws::DeviceContext) override { return true; }

  int choosePixelFormat(ws::DeviceContext dc, const ws::PixelFormatRequest&) override {
    // The attributes were fixed when the window was made; there is one format.
    return find(dc) ? 1 : 0;
  }

  bool setPixelFormat(ws::DeviceContext dc, int format, const ws::PixelFormatRequest&) override {
    return find(dc) && format == 1;
  }

  ws::GlContext createContext(ws::DeviceContext dc) override {
    SdlWindow* window = find(dc);
    if (!window) return nullptr;
    SDL_GLContext context = SDL_GL_CreateContext(window->sdl);
    if (!context) std::fprintf(stderr, "Cannot create the GL context: %s\n", SDL_GetError());
    return context;
  }

  bool makeCurrent(ws::DeviceContext dc, ws::GlContext context) override {
    SdlWindow* window = find(dc);
    if (!dc) return SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr) == 0;
    return window && SDL_GL_MakeCurrent(window->sdl, context) == 0;
  }

  bool deleteContext(ws::GlContext context) override {
    if (!context) return false;
    SDL_GL_DeleteContext(context);
    return true;
  }

  bool swapBuffers(ws::DeviceContext dc) override {
    SdlWindow* window = find(dc);
    if (!window) return false;
    SDL_GL_SwapWindow(window->sdl);
    return true;
  }

  void* procAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

  bool peekMessage(ws::Message& out, ws::WindowHandle filter) override {
    pump();
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
      if (!filter || it->window == filter) {
        out = *it;
        queue_.erase(it);
        return true;
      }
    }
    return false;
  }

  ws::LResult dispatchMessage(const ws::Message& message) override {
    SdlWindow* window = find(message.window);
    return window ? window->proc(message.window, message.message, message.wParam, message.lParam)
                  : 0;
  }

  void waitMessage() override {
    pump();
    while (queue_.empty()) {
      SDL_Event event;
      if (!SDL_WaitEvent(&event)) return;
      translate(event);
    }
  }

  bool postMessage(ws::WindowHandle handle, std::uint32_t message, ws::WParam wParam,
                   ws::LParam lParam) override {
    if (!find(handle)) return false;
    queue_.push_back(ws::Message{handle, message, wParam, lParam});
    return true;
  }

  std::uint32_t tickCount() override { return SDL_GetTicks(); }

  std::uint32_t multimediaTime() override { return SDL_GetTicks(); }

  std::int16_t systemKeyState(int virtualKey) override {
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int scancode = 0; scancode < count; ++scancode) {
      if (state[scancode] && sdl::virtualKeyOf(SDL_GetKeyFromScancode(
                                 static_cast<SDL_Scancode>(scancode))) == virtualKey) {
        return static_cast<std::int16_t>(0xFF80);
      }
    }
    return 0;
  }

  bool cursorPos(ws::Point& out) override {
    if (!videoReady_) return false;
#if defined(NPR_X11_POINTER) && defined(SDL_VIDEO_DRIVER_X11)
    // SDL answers from a position it refreshes only on device motion and on
    // its own warps, so a pointer placed by another program (a warp, as
    // remote-desktop and accessibility tools do) would go unseen: ask the
    // server instead.
    if (Display* display = x11Display()) {
      Window root = 0, child = 0;
      int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
      unsigned int buttons = 0;
      if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY,
                        &windowX, &windowY, &buttons)) {
        out = ws::Point{rootX, rootY};
        return true;
      }
    }
#endif
    SDL_GetGlobalMouseState(&out.x, &out.y);
    return true;
  }

  bool setCursorPos(int x, int y) override { return videoReady_ && SDL_WarpMouseGlobal(x, y) == 0; }

  int showCursor(bool show) override {
    cursorCounter_ += show ? 1 : -1;
    SDL_ShowCursor(cursorCounter_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCounter_;
  }

 private:
  static ws::LParam packSize(int width, int height) {
    return static_cast<ws::LParam>((width & 0xFFFF) | ((height & 0xFFFF) << 16));
  }

#if defined(NPR_X11_POINTER) && defined(SDL_VIDEO_DRIVER_X11)
  Display* x11Display() {
    if (windows_.empty()) return nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(windows_.begin()->second->sdl, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
      return nullptr;
    }
    return info.info.x11.display;
  }
#endif

  SdlWindow* find(ws::WindowHandle handle) {
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second.get();
  }

  ws::WindowHandle handleOf(Uint32 windowId) {
    SDL_Window* sdl = SDL_GetWindowFromID(windowId);
    for (auto& entry : windows_) {
      if (entry.second->sdl == sdl) return entry.first;
    }
    return nullptr;
  }

  void pump() {
    if (!videoReady_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
  }

  void translate(const SDL_Event& event) {
    if (event.type == SDL_WINDOWEVENT) {
      ws::WindowHandle handle = handleOf(event.window.windowID);
      if (!handle) return;
      int width = 0, height = 0;
      SDL_GetWindowSize(find(handle)->sdl, &width, &height);
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          queue_.push_back(ws::Message{handle, ws::MsgClose, 0, 0});
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          queue_.push_back(ws::Message{handle, ws::MsgSize, ws::SizeMinimized, 0});
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          queue_.push_back(
              ws::Message{handle, ws::MsgSize, ws::SizeMaximized, packSize(width, height)});
          break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          queue_.push_back(
              ws::Message{handle, ws::MsgSize, ws::SizeRestored, packSize(width, height)});
          break;
        default:
          break;
      }
      return;
    }
    if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
      ws::WindowHandle handle = handleOf(event.key.windowID);
      const int key = sdl::virtualKeyOf(event.key.keysym.sym);
      if (!handle || key == 0) return;
      const bool down = event.type == SDL_KEYDOWN;
      // As on Windows: with Alt held, or for F10 and Alt itself, the keys are system keys.
      const bool system =
          (event.key.keysym.mod & KMOD_ALT) != 0 || key == ws::VkF10 || key == ws::VkMenu;
      std::uint32_t message = down ? ws::MsgKeyDown : ws::MsgKeyUp;
      if (system) message = down ? ws::MsgSysKeyDown : ws::MsgSysKeyUp;
      ws::LParam flags = 1;
      if ((event.key.keysym.mod & KMOD_ALT) != 0) flags |= 1 << 29;
      if (event.key.repeat) flags |= 1 << 30;
      queue_.push_back(ws::Message{handle, message, static_cast<ws::WParam>(key), flags});
    }
  }

  bool videoReady_ = false;
  bool modeSwitched_ = false;
  SDL_DisplayMode pendingMode_{};
  int cursorCounter_ = 0;
  std::map<std::string, ws::WindowClass> classes_;
  std::map<ws::WindowHandle, std::unique_ptr<SdlWindow>> windows_;
  std::deque<ws::Message> queue_;
};

}  // namespace

std::unique_ptr<ws::WindowSystem> createPlatformWindowSystem() {
  return std::make_unique<SdlWindowSystem>();
}

ws::InstanceHandle platformInstanceHandle() { return nullptr; }
