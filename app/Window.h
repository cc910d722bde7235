// The demo window: class registration, display-mode switch, window and GL
// context creation and release, and the window procedure.
#pragma once

#include <cstdint>

#include "contract/DemoContract.h"

extern const char* const windowTitle;

bool registerRenderClass(AppInstance* app);
bool switchDisplayMode(int width, int height, int bitsPerPixel);
bool openRenderWindow(RenderWindow* window);
bool closeRenderWindow(RenderWindow* window);
ws::LResult renderWindowProc(ws::WindowHandle handle, std::uint32_t message, ws::WParam wParam,
                             ws::LParam lParam);

// Clears what lies right of and above the width x height picture at the
// window's lower left: a window made larger must show nothing left over there.
void clearOutsidePicture(int width, int height);

// The requests the program makes of the platform, kept as data so that the
// native backend can hand them on unchanged and tests can inspect them.
ws::WindowClass renderWindowClass(AppInstance* app);
ws::PixelFormatRequest pixelFormatRequest(int bitsPerPixel);
ws::DisplayModeRequest displayModeRequest(int width, int height, int bitsPerPixel);
