// Where the shell and the renderer meet. The shell owns the window records
// and key flags and drives the four hooks; the renderer supplies the hooks
// and asks the shell to quit or to switch the screen mode. Neither side
// includes the other's own headers.
#pragma once

#include <cstdint>

#include "platform/Types.h"

struct AppInstance {
  ws::InstanceHandle instance = nullptr;
  const char* className = "OpenGL";
};

// One flag per virtual-key code: 1 while held.
struct KeyStates {
  std::int32_t held[256] = {};
  // Went down since the last update: a tap shorter than a frame still
  // reaches the update once.
  std::uint8_t downSinceUpdate[256] = {};
};

struct RenderWindow {
  KeyStates* keys = nullptr;
  ws::WindowHandle window = nullptr;
  ws::DeviceContext deviceContext = nullptr;
  ws::GlContext glContext = nullptr;
  AppInstance* app = nullptr;
  const char* title = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bitsPerPixel = 0;
  std::int32_t fullscreen = 0;
  std::int32_t visible = 0;
  std::uint32_t lastTick = 0;
  // The shell's outer loop: whether another window follows this one once
  // its inner loop ends, and in which screen mode.
  std::int32_t keepRunning = 0;
  std::int32_t wantFullscreen = 0;
};

constexpr std::uint32_t MSG_TOGGLE_SCREEN_MODE = ws::MsgUser + 1;

// The shell's half, for the renderer: both only post to the window's queue,
// which the shell's loop answers.
void requestQuit(RenderWindow* window);
void requestScreenModeToggle(RenderWindow* window);

// The renderer's half: the demo's operations.
bool initDemo(RenderWindow* window, KeyStates* keys);
void updateFrame(std::uint32_t elapsedMs);
void drawFrame();
void shutdownDemo();

// The hooks the loop drives; the program passes the four above.
struct DemoHooks {
  bool (*init)(RenderWindow*, KeyStates*) = nullptr;
  void (*update)(std::uint32_t) = nullptr;
  void (*draw)() = nullptr;
  void (*shutdown)() = nullptr;
};
