// The window system on Win32, WGL and GDI: every operation is the system call
// of the same meaning, since the layer already speaks in Win32 values.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace {

// The requests are handed on field by field, so only the sizes and the one
// layout the program relies on directly (WM_CREATE's parameter) must agree.
static_assert(offsetof(CREATESTRUCTA, lpCreateParams) == offsetof(ws::CreateInfo, createParam),
              "WM_CREATE's parameter is read as a CreateInfo");
static_assert(offsetof(DEVMODEA, dmPelsHeight) + sizeof(DWORD) <= ws::DisplayModeRequestSize,
              "the display-mode request's size covers the fields it sets");
static_assert(sizeof(ws::WParam) == sizeof(WPARAM) && sizeof(ws::LParam) == sizeof(LPARAM) &&
                  sizeof(ws::LResult) == sizeof(LRESULT),
              "message parameters pass through unchanged");

// The program's procedures use the default calling convention; the system
// calls window procedures with WINAPI's. Each registered class remembers the
// program's procedure under its atom.
struct RegisteredClass {
  std::string name;
  ATOM atom;
  ws::WindowProc proc;
};

std::vector<RegisteredClass>& registeredClasses() {
  static std::vector<RegisteredClass> classes;
  return classes;
}

LRESULT CALLBACK classWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto atom = static_cast<ATOM>(GetClassLongA(window, GCW_ATOM));
  for (const RegisteredClass& entry : registeredClasses()) {
    if (entry.atom == atom) {
      return static_cast<LRESULT>(entry.proc(window, message, static_cast<ws::WParam>(wParam),
                                             static_cast<ws::LParam>(lParam)));
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND hwnd(ws::WindowHandle handle) { return static_cast<HWND>(handle); }
HDC hdc(ws::DeviceContext dc) { return static_cast<HDC>(dc); }

PIXELFORMATDESCRIPTOR toDescriptor(const ws::PixelFormatRequest& request) {
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = request.size;
  pfd.nVersion = request.version;
  pfd.dwFlags = request.flags;
  pfd.iPixelType = request.pixelType;
  pfd.cColorBits = request.colorBits;
  pfd.cDepthBits = request.depthBits;
  pfd.cStencilBits = request.stencilBits;
  pfd.iLayerType = request.layerType;
  return pfd;
}

class Win32WindowSystem : public ws::WindowSystem {
 public:
  int messageBox(ws::WindowHandle owner, const char* text, const char* caption,
                 unsigned type) override {
    return MessageBoxA(hwnd(owner), text, caption, type);
  }

  ws::WindowHandle focusWindow() override { return GetFocus(); }

  bool registerClass(const ws::WindowClass& wc) override {
    WNDCLASSEXA native{};
    native.cbSize = wc.size;
    native.style = wc.style;
    native.lpfnWndProc = classWindowProc;
    native.cbClsExtra = wc.classExtra;
    native.cbWndExtra = wc.windowExtra;
    native.hInstance = static_cast<HINSTANCE>(wc.instance);
    native.hCursor = wc.cursor ? LoadCursorA(nullptr, MAKEINTRESOURCEA(wc.cursor)) : nullptr;
    // A system colour index given directly as the brush, as the class asks.
    native.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(wc.background));
    native.lpszClassName = wc.className;
    const ATOM atom = RegisterClassExA(&native);
    if (atom == 0) return false;
    registeredClasses().push_back(RegisteredClass{wc.className, atom, wc.proc});
    return true;
  }

  bool unregisterClass(const char* className, ws::InstanceHandle instance) override {
    if (!UnregisterClassA(className, static_cast<HINSTANCE>(instance))) return false;
    auto& classes = registeredClasses();
    for (auto it = classes.begin(); it != classes.end(); ++it) {
      if (it->name == className) {
        classes.erase(it);
        break;
      }
    }
    return true;
  }

  bool changeDisplaySettings(const ws::DisplayModeRequest* mode, std::uint32_t flags) override {
    if (!mode) return ChangeDisplaySettingsA(nullptr, flags) == DISP_CHANGE_SUCCESSFUL;
    DEVMODEA native{};
    native.dmSize = mode->size;
    native.dmFields = mode->fields;
    native.dmBitsPerPel = mode->bitsPerPixel;
    native.dmPelsWidth = mode->width;
    native.dmPelsHeight = mode->height;
    return ChangeDisplaySettingsA(&native, flags) == DISP_CHANGE_SUCCESSFUL;
  }

  bool adjustWindowRect(ws::Rect& rect, std::uint32_t style, bool menu,
                        std::uint32_t exStyle) override {
    RECT native{rect.left, rect.top, rect.right, rect.bottom};
    if (!AdjustWindowRectEx(&native, style, menu ? TRUE : FALSE, exStyle)) return false;
    rect = ws::Rect{native.left, native.top, native.right, native.bottom};
    return true;
  }

  ws::WindowHandle createWindow(std::uint32_t exStyle, const char* className, const char* title,
                                std::uint32_t style, int x, int y, int width, int height,
                                ws::WindowHandle parent, ws::InstanceHandle instance,
                                void* createParam) override {
    return CreateWindowExA(exStyle, className, title, style, x, y, width, height, hwnd(parent),
                           nullptr, static_cast<HINSTANCE>(instance), createParam);
  }

  bool showWindow(ws::WindowHandle window, int command) override {
    // ShowWindow answers with the previous visibility, not with success.
    ShowWindow(hwnd(window), command);
    return IsWindow(hwnd(window)) != FALSE;
  }

  bool destroyWindow(ws::WindowHandle window) override {
    return DestroyWindow(hwnd(window)) != FALSE;
  }

  std::intptr_t windowUserData(ws::WindowHandle window) override {
    return static_cast<std::intptr_t>(GetWindowLongPtrA(hwnd(window), GWLP_USERDATA));
  }

  void setWindowUserData(ws::WindowHandle window, std::intptr_t value) override {
    SetWindowLongPtrA(hwnd(window), GWLP_USERDATA, static_cast<LONG_PTR>(value));
  }

  ws::LResult defWindowProc(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam,
                            ws::LParam lParam) override {
    return static_cast<ws::LResult>(DefWindowProcA(
        hwnd(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
  }

  ws::DeviceContext getDC(ws::WindowHandle window) override { return GetDC(hwnd(window)); }

  bool releaseDC(ws::WindowHandle window, ws::DeviceContext dc) override {
    return ReleaseDC(hwnd(window), hdc(dc)) == 1;
  }

  int choosePixelFormat(ws::DeviceContext dc, const ws::PixelFormatRequest& request) override {
    const PIXELFORMATDESCRIPTOR pfd = toDescriptor(request);
    return ChoosePixelFormat(hdc(dc), &pfd);
  }

  bool setPixelFormat(ws::DeviceContext dc, int format,
                      const ws::PixelFormatRequest& request) override {
    const PIXELFORMATDESCRIPTOR pfd = toDescriptor(request);
    return SetPixelFormat(hdc(dc), format, &pfd) != FALSE;
  }

  ws::GlContext createContext(ws::DeviceContext dc) override { return wglCreateContext(hdc(dc)); }

  bool makeCurrent(ws::DeviceContext dc, ws::GlContext context) override {
    return wglMakeCurrent(hdc(dc), static_cast<HGLRC>(context)) != FALSE;
  }

  bool deleteContext(ws::GlContext context) override {
    return wglDeleteContext(static_cast<HGLRC>(context)) != FALSE;
  }

  bool swapBuffers(ws::DeviceContext dc) override { return SwapBuffers(hdc(dc)) != FALSE; }

  void* procAddress(const char* name) override {
    const PROC entry = wglGetProcAddress(name);
    // Some drivers answer a missing function with a small number or -1
    // instead of null; none of those may ever be called.
    const auto value = reinterpret_cast<std::intptr_t>(entry);
    if (value >= -1 && value <= 3) return nullptr;
    return reinterpret_cast<void*>(entry);
  }

  bool peekMessage(ws::Message& out, ws::WindowHandle filter) override {
    MSG msg{};
    if (!PeekMessageA(&msg, hwnd(filter), 0, 0, PM_REMOVE)) return false;
    out.window = msg.hwnd;
    out.message = msg.message;
    out.wParam = static_cast<ws::WParam>(msg.wParam);
    out.lParam = static_cast<ws::LParam>(msg.lParam);
    return true;
  }

  ws::LResult dispatchMessage(const ws::Message& message) override {
    MSG msg{};
    msg.hwnd = hwnd(message.window);
    msg.message = message.message;
    msg.wParam = static_cast<WPARAM>(message.wParam);
    msg.lParam = static_cast<LPARAM>(message.lParam);
    return static_cast<ws::LResult>(DispatchMessageA(&msg));
  }

  void waitMessage() override { WaitMessage(); }

  bool postMessage(ws::WindowHandle window, std::uint32_t message, ws::WParam wParam,
                   ws::LParam lParam) override {
    return PostMessageA(hwnd(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
  }

  std::uint32_t tickCount() override { return GetTickCount(); }

  std::uint32_t multimediaTime() override { return timeGetTime(); }

  std::int16_t systemKeyState(int virtualKey) override { return GetKeyState(virtualKey); }

  bool cursorPos(ws::Point& out) override {
    POINT point{};
    if (!GetCursorPos(&point)) return false;
    out = ws::Point{point.x, point.y};
    return true;
  }

  bool setCursorPos(int x, int y) override {
    // Wine moves the pointer only when its own record of it differs from the
    // target, and that record stays behind while the pointer is outside the
    // program's windows (moved there by another program, or too fast for a
    // frame): a step beside the target first makes the move happen.
    if (underWine_) SetCursorPos(x > 0 ? x - 1 : x + 1, y);
    return SetCursorPos(x, y) != FALSE;
  }

  int showCursor(bool show) override { return ShowCursor(show ? TRUE : FALSE); }

 private:
  const bool underWine_ =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
};

}  // namespace

std::unique_ptr<ws::WindowSystem> createPlatformWindowSystem() {
  return std::make_unique<Win32WindowSystem>();
}

ws::InstanceHandle platformInstanceHandle() { return GetModuleHandleA(nullptr); }
