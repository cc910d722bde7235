// The demo window on the real system: the class as registered, the window
// procedure answering real messages sent to a real window, the queue, and
// the window with its GL context in each screen mode.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

#include "app/Shell.h"
#include "app/Window.h"
#include "gl/GlApi.h"
#include "tests/platform/win32/AnsweringWindowSystem.h"

namespace {

HWND hwnd(ws::WindowHandle handle) { return static_cast<HWND>(handle); }

// The cursor's display counter, left as it was.
int cursorCounter() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws::setWindowSystem(&system);
    app.instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(registerRenderClass(&app));
    window.keys = &keys;
    window.app = &app;
    window.title = "Win32 window test";
    window.width = 320;
    window.height = 200;
    window.bitsPerPixel = 32;
    window.keepRunning = 1;
    window.wantFullscreen = 0;
  }

  void TearDown() override {
    if (window.window) closeRenderWindow(&window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    system.unregisterClass(app.className, app.instance);
    ws::setWindowSystem(nullptr);
  }

  // A window of the demo's class without a GL context, shown normally.
  HWND createShownWindow() {
    window.window =
        system.createWindow(ws::WsExAppWindow, app.className, window.title, ws::WsOverlappedWindow,
                            0, 0, 320, 240, nullptr, app.instance, &window);
    if (window.window) system.showWindow(window.window, ws::SwShowNormal);
    return hwnd(window.window);
  }

  // Takes the window's next posted message from the queue, handling what the
  // system generates itself (painting) on the way; 0 when there is none.
  UINT takeMessage(ws::Message& message) {
    while (system.peekMessage(message, window.window)) {
      if (message.message != WM_PAINT) return message.message;
      system.dispatchMessage(message);
    }
    return 0;
  }

  AnsweringWindowSystem system;
  AppInstance app;
  KeyStates keys;
  RenderWindow window;
};

TEST_F(Win32WindowTest, ClassIsRegisteredAsRequested) {
  WNDCLASSEXA info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetClassInfoExA(static_cast<HINSTANCE>(app.instance), "OpenGL", &info));
  EXPECT_EQ(info.style, 0x23u);
  EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(12)));
  EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));

  // A second registration of the same class is refused by the system.
  EXPECT_FALSE(registerRenderClass(&app));
  ASSERT_EQ(system.boxes.size(), 1u);
  EXPECT_EQ(system.boxes[0].text, "RegisterClassEx Failed!");
  EXPECT_EQ(system.boxes[0].type, static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION));
}

TEST_F(Win32WindowTest, KeyFlagsFollowKeyMessagesUpTo255) {
  struct Case {
    UINT message;
    WPARAM key;
    int heldBefore;  // a key held before the message, or -1
    int heldAfter;   // the only key held afterwards, or -1
  };
  const Case cases[] = {
      {WM_KEYDOWN, 'A', -1, 'A'},   {WM_KEYUP, 'A', 'A', -1},
      {WM_KEYDOWN, 255, -1, 255},   {WM_KEYDOWN, 0, -1, 0},
      {WM_KEYDOWN, 256, -1, -1},    {WM_KEYUP, 0x141, 'A', 'A'},  // would alias 'A' as a byte
      {WM_SYSKEYDOWN, 'B', -1, -1}, {WM_SYSKEYUP, VK_MENU, VK_MENU, VK_MENU},
  };
  ASSERT_NE(createShownWindow(), nullptr);
  // The record given at creation sits in the user-data slot, where the procedure finds it.
  EXPECT_EQ(GetWindowLongPtrA(hwnd(window.window), GWLP_USERDATA),
            reinterpret_cast<LONG_PTR>(&window));
  for (const Case& c : cases) {
    keys = KeyStates{};
    if (c.heldBefore >= 0) keys.held[c.heldBefore] = 1;
    SendMessageA(hwnd(window.window), c.message, c.key, 1);
    for (int key = 0; key < 256; ++key) {
      EXPECT_EQ(keys.held[key], key == c.heldAfter ? 1 : 0)
          << "message 0x" << std::hex << c.message << " key 0x" << c.key << ", flag 0x" << key;
    }
  }
}

TEST_F(Win32WindowTest, PostedKeysReachTheFlagsThroughTheQueue) {
  ASSERT_NE(createShownWindow(), nullptr);
  // A message for the thread is not the window's and stays in the queue.
  ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 0, 0));
  ASSERT_TRUE(system.postMessage(window.window, WM_KEYDOWN, VK_ESCAPE, 1));
  ASSERT_TRUE(system.postMessage(window.window, WM_KEYDOWN, VK_F1, 1));
  ASSERT_TRUE(system.postMessage(window.window, WM_KEYUP, VK_ESCAPE, 1));

  std::vector<std::vector<int>> heldAfterEach;
  ws::Message message;
  while (UINT taken = takeMessage(message)) {
    EXPECT_EQ(message.window, window.window);
    system.dispatchMessage(message);
    if (taken == WM_KEYDOWN || taken == WM_KEYUP) {
      heldAfterEach.push_back({keys.held[VK_ESCAPE], keys.held[VK_F1]});
    }
  }
  const std::vector<std::vector<int>> expected = {{1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(heldAfterEach, expected);

  MSG left{};
  ASSERT_TRUE(PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(left.message, static_cast<UINT>(WM_USER + 7));
  EXPECT_EQ(left.hwnd, nullptr);
}

TEST_F(Win32WindowTest, VisibilityFollowsMinimisingAndRestoring) {
  struct Step {
    const char* what;
    int showCommand;  // 0: send the system command instead
    WPARAM command;
    int visible;
  };
  const Step steps[] = {
      {"minimise", SW_MINIMIZE, 0, 0},
      {"restore", SW_RESTORE, 0, 1},
      {"minimise from the system menu", 0, SC_MINIMIZE, 0},
      {"maximise", SW_MAXIMIZE, 0, 1},
  };
  ASSERT_NE(createShownWindow(), nullptr);
  EXPECT_EQ(window.visible, 1);  // the WM_SIZE of showing the window
  for (const Step& step : steps) {
    if (step.showCommand)
      ShowWindow(hwnd(window.window), step.showCommand);
    else
      SendMessageA(hwnd(window.window), WM_SYSCOMMAND, step.command, 0);
    EXPECT_EQ(window.visible, step.visible) << step.what;
    EXPECT_EQ(IsIconic(hwnd(window.window)) != FALSE, step.visible == 0) << step.what;
  }
}

TEST_F(Win32WindowTest, ClosingQuitsWhileScreenSaverAndPowerDownAreRefused) {
  struct Case {
    const char* what;
    UINT message;
    WPARAM wParam, lParam;
    bool quits;
  };
  const Case cases[] = {
      {"screen saver", WM_SYSCOMMAND, SC_SCREENSAVE, 0, false},
      {"monitor power-down", WM_SYSCOMMAND, SC_MONITORPOWER, 2, false},
      {"close box", WM_CLOSE, 0, 0, true},
      {"close from the system menu", WM_SYSCOMMAND, SC_CLOSE, 0, true},
  };
  for (const Case& c : cases) {
    ASSERT_NE(createShownWindow(), nullptr) << c.what;
    window.keepRunning = 1;
    EXPECT_EQ(SendMessageA(hwnd(window.window), c.message, c.wParam, static_cast<LPARAM>(c.lParam)),
              0)
        << c.what;
    EXPECT_TRUE(IsWindow(hwnd(window.window))) << c.what << ": the loop closes the window";
    EXPECT_EQ(window.keepRunning, c.quits ? 0 : 1) << c.what;
    ws::Message message;
    EXPECT_EQ(takeMessage(message), c.quits ? static_cast<UINT>(WM_QUIT) : 0u) << c.what;
    system.destroyWindow(window.window);
    window.window = nullptr;
  }
}

TEST_F(Win32WindowTest, ToggleFlipsTheNextModeAndEndsTheInnerLoop) {
  ASSERT_NE(createShownWindow(), nullptr);
  for (int before : {0, 1}) {
    window.wantFullscreen = before;
    requestScreenModeToggle(&window);
    ws::Message message;
    ASSERT_EQ(takeMessage(message), MSG_TOGGLE_SCREEN_MODE);
    system.dispatchMessage(message);
    EXPECT_EQ(window.wantFullscreen, 1 - before);
    ASSERT_EQ(takeMessage(message), static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.window, window.window);
    EXPECT_EQ(window.keepRunning, 1);
    EXPECT_TRUE(IsWindow(hwnd(window.window)));
  }
}

TEST_F(Win32WindowTest, WindowedWindowHasTheClientSizeAndACurrentContext) {
  ASSERT_TRUE(openRenderWindow(&window));
  EXPECT_TRUE(system.boxes.empty());
  const HWND handle = hwnd(window.window);
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right - client.left, 320);
  EXPECT_EQ(client.bottom - client.top, 200);
  EXPECT_TRUE(IsWindowVisible(handle));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
            static_cast<DWORD>(WS_OVERLAPPEDWINDOW));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(handle, GWL_EXSTYLE)) & WS_EX_TOPMOST, 0u);
  EXPECT_EQ(wglGetCurrentContext(), window.glContext);
  PIXELFORMATDESCRIPTOR pfd{};
  const HDC dc = static_cast<HDC>(window.deviceContext);
  ASSERT_NE(DescribePixelFormat(dc, GetPixelFormat(dc), sizeof(pfd), &pfd), 0);
  EXPECT_EQ(pfd.dwFlags & 0x25u, 0x25u);
  EXPECT_GE(pfd.cDepthBits, 16);
  EXPECT_NE(ws::windowSystem().procAddress("glActiveTextureARB"), nullptr);
  EXPECT_EQ(ws::windowSystem().procAddress("glNoSuchEntryPointNPR"), nullptr);
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 320, 200}));
  EXPECT_TRUE(ws::windowSystem().swapBuffers(window.deviceContext));

  EXPECT_TRUE(closeRenderWindow(&window));
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.glContext, nullptr);
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
}

TEST_F(Win32WindowTest, RefusedModeGivesAWindowOfThatOuterSize) {
  window.fullscreen = 1;
  window.width = 333;  // no display offers this mode
  window.height = 111;
  const int cursorBefore = cursorCounter();
  ASSERT_TRUE(openRenderWindow(&window));
  ASSERT_EQ(system.boxes.size(), 1u);
  EXPECT_EQ(system.boxes[0].text, "Mode Switch Failed.\nRunning In Windowed Mode.");
  EXPECT_EQ(window.fullscreen, 0);
  RECT outer{};
  GetWindowRect(hwnd(window.window), &outer);
  EXPECT_TRUE(outer.right - outer.left == 333 && outer.bottom - outer.top == 111);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd(window.window), GWL_STYLE)) & WS_POPUP, 0u);
  EXPECT_EQ(cursorCounter(), cursorBefore);
}

TEST_F(Win32WindowTest, FullScreenWindowCoversTheScreenWithoutCursor) {
  // The mode the screen has now: a switch any display accepts.
  window.fullscreen = 1;
  window.width = GetSystemMetrics(SM_CXSCREEN);
  window.height = GetSystemMetrics(SM_CYSCREEN);
  const int cursorBefore = cursorCounter();
  ASSERT_TRUE(openRenderWindow(&window));
  EXPECT_TRUE(system.boxes.empty());
  EXPECT_EQ(window.fullscreen, 1);
  const HWND handle = hwnd(window.window);
  RECT outer{};
  GetWindowRect(handle, &outer);
  EXPECT_TRUE(outer.left == 0 && outer.top == 0 && outer.right == window.width &&
              outer.bottom == window.height);
  EXPECT_NE(static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)) & WS_POPUP, 0u);
  EXPECT_EQ(
      static_cast<DWORD>(GetWindowLongA(handle, GWL_EXSTYLE)) & (WS_EX_APPWINDOW | WS_EX_TOPMOST),
      static_cast<DWORD>(WS_EX_APPWINDOW | WS_EX_TOPMOST));
  EXPECT_EQ(cursorCounter(), cursorBefore - 1);

  closeRenderWindow(&window);
  EXPECT_EQ(cursorCounter(), cursorBefore);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), window.width);
}

}  // namespace
