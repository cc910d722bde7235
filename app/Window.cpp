#include "app/Window.h"

#include "gl/GlApi.h"
#include "gl/Projection.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/GlContexts.h"
#include "platform/Input.h"
#include "platform/MessageQueue.h"
#include "platform/Windowing.h"

const char* const windowTitle = "Pencil NPR Demo - [https://example.org/pencil-npr]";

ws::WindowClass renderWindowClass(AppInstance* app) {
  ws::WindowClass wc;
  wc.size = ws::WindowClassSize;
  wc.style = ws::CsHRedraw | ws::CsVRedraw | ws::CsOwnDc;
  wc.proc = renderWindowProc;
  wc.instance = app->instance;
  wc.cursor = ws::CursorArrow;
  wc.background = ws::BrushAppWorkspace;
  wc.className = app->className;
  return wc;
}

ws::PixelFormatRequest pixelFormatRequest(int bitsPerPixel) {
  ws::PixelFormatRequest pfd;
  pfd.size = 40;
  pfd.version = 1;
  pfd.flags = ws::PfdDrawToWindow | ws::PfdSupportOpenGl | ws::PfdDoubleBuffer;
  pfd.pixelType = ws::PfdTypeRgba;
  pfd.colorBits = static_cast<std::uint8_t>(bitsPerPixel);
  pfd.depthBits = 16;
  pfd.stencilBits = 1;
  pfd.layerType = ws::PfdMainPlane;
  return pfd;
}

ws::DisplayModeRequest displayModeRequest(int width, int height, int bitsPerPixel) {
  ws::DisplayModeRequest mode;
  mode.size = ws::DisplayModeRequestSize;
  mode.width = static_cast<std::uint32_t>(width);
  mode.height = static_cast<std::uint32_t>(height);
  mode.bitsPerPixel = static_cast<std::uint32_t>(bitsPerPixel);
  mode.fields = ws::DmBitsPerPel | ws::DmPelsWidth | ws::DmPelsHeight;
  return mode;
}

namespace {

void errorBox(const char* text) {
  ws::dialogs().messageBox(nullptr, text, "Error", ws::MbOk | ws::MbIconExclamation);
}

RenderWindow* windowRecord(ws::WindowHandle handle) {
  return reinterpret_cast<RenderWindow*>(ws::windowing().windowUserData(handle));
}

}  // namespace

bool registerRenderClass(AppInstance* app) {
  if (!ws::windowing().registerClass(renderWindowClass(app))) {
    errorBox("RegisterClassEx Failed!");
    return false;
  }
  return true;
}

bool switchDisplayMode(int width, int height, int bitsPerPixel) {
  const ws::DisplayModeRequest mode = displayModeRequest(width, height, bitsPerPixel);
  return ws::windowing().changeDisplaySettings(&mode, ws::CdsFullscreen);
}

bool openRenderWindow(RenderWindow* window) {
  ws::Windowing& windows = ws::windowing();
  ws::GlContexts& contexts = ws::glContexts();
  const ws::PixelFormatRequest pfd = pixelFormatRequest(window->bitsPerPixel);
  ws::Rect rect{0, 0, window->width, window->height};
  std::uint32_t style = ws::WsOverlappedWindow;
  std::uint32_t exStyle = ws::WsExAppWindow;
  bool switched = false;

  if (window->fullscreen == 1) {
    if (switchDisplayMode(window->width, window->height, window->bitsPerPixel)) {
      ws::input().showCursor(false);
      style = ws::WsPopup;
      exStyle = ws::WsExAppWindow | ws::WsExTopmost;
      switched = true;
    } else {
      errorBox("Mode Switch Failed.\nRunning In Windowed Mode.");
      window->fullscreen = 0;
    }
  } else {
    windows.adjustWindowRect(rect, style, false, exStyle);
  }

  // A failed creation must not leave the desktop in the switched mode.
  auto fail = [&]() {
    if (window->deviceContext) {
      contexts.releaseDC(window->window, window->deviceContext);
      window->deviceContext = nullptr;
    }
    if (window->window) {
      windows.destroyWindow(window->window);
      window->window = nullptr;
    }
    if (switched) {
      windows.changeDisplaySettings(nullptr, 0);
      ws::input().showCursor(true);
    }
    return false;
  };

  window->window = windows.createWindow(exStyle, window->app->className, window->title, style, 0, 0,
                                        rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                        window->app->instance, window);
  if (!window->window) return fail();

  window->deviceContext = contexts.getDC(window->window);
  if (!window->deviceContext) return fail();

  const int format = contexts.choosePixelFormat(window->deviceContext, pfd);
  if (format == 0 || !contexts.setPixelFormat(window->deviceContext, format, pfd)) return fail();

  window->glContext = contexts.createContext(window->deviceContext);
  if (!window->glContext) return fail();

  if (!contexts.makeCurrent(window->deviceContext, window->glContext)) {
    contexts.deleteContext(window->glContext);
    window->glContext = nullptr;
    return fail();
  }

  windows.showWindow(window->window, ws::SwShowNormal);
  window->visible = 1;
  setPerspectiveView(window->width, window->height);
  *window->keys = KeyStates{};
  window->lastTick = ws::clock().tickCount();
  return true;
}

bool closeRenderWindow(RenderWindow* window) {
  ws::Windowing& windows = ws::windowing();
  ws::GlContexts& contexts = ws::glContexts();
  if (window->window) {
    if (window->deviceContext) contexts.makeCurrent(nullptr, nullptr);
    if (window->glContext) {
      contexts.deleteContext(window->glContext);
      window->glContext = nullptr;
    }
    contexts.releaseDC(window->window, window->deviceContext);
    window->deviceContext = nullptr;
    windows.destroyWindow(window->window);
    window->window = nullptr;
  }
  if (window->fullscreen) {
    windows.changeDisplaySettings(nullptr, 0);
    ws::input().showCursor(true);
  }
  return true;
}

ws::LResult renderWindowProc(ws::WindowHandle handle, std::uint32_t message, ws::WParam wParam,
                             ws::LParam lParam) {
  ws::Windowing& windows = ws::windowing();
  RenderWindow* window = windowRecord(handle);

  if (message == ws::MsgCreate) {
    const auto* info = reinterpret_cast<const ws::CreateInfo*>(lParam);
    windows.setWindowUserData(handle, reinterpret_cast<std::intptr_t>(info->createParam));
    return 0;
  }
  if (!window) return windows.defWindowProc(handle, message, wParam, lParam);

  switch (message) {
    case ws::MsgSize:
      if (wParam == ws::SizeRestored || wParam == ws::SizeMaximized) {
        window->visible = 1;
        setPerspectiveView(static_cast<int>(lParam & 0xFFFF),
                           static_cast<int>((lParam >> 16) & 0xFFFF));
        return 0;
      }
      if (wParam == ws::SizeMinimized) {
        window->visible = 0;
        return 0;
      }
      break;
    case ws::MsgClose:
      requestQuit(window);
      return 0;
    case ws::MsgKeyDown:
      if (wParam <= 255) {
        window->keys->held[wParam] = 1;
        window->keys->downSinceUpdate[wParam] = 1;
        return 0;
      }
      break;
    case ws::MsgKeyUp:
      if (wParam <= 255) {
        window->keys->held[wParam] = 0;
        return 0;
      }
      break;
    case ws::MsgSysCommand:
      if (wParam == ws::ScScreenSave || wParam == ws::ScMonitorPower) return 0;
      break;
    case MSG_TOGGLE_SCREEN_MODE:
      window->wantFullscreen = window->wantFullscreen == 1 ? 0 : 1;
      ws::messageQueue().postMessage(handle, ws::MsgQuit, 0, 0);
      break;
    default:
      break;
  }
  return windows.defWindowProc(handle, message, wParam, lParam);
}

void clearOutsidePicture(int width, int height) {
  constexpr GLsizei beyondAnyWindow = 1 << 15;
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
  glEnable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glScissor(width, 0, beyondAnyWindow, beyondAnyWindow);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(0, height, beyondAnyWindow, beyondAnyWindow);
  glClear(GL_COLOR_BUFFER_BIT);
  glPopAttrib();
}
