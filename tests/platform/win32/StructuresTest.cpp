// The layer's numbers and the structure sizes the program names, held
// against the system headers.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstddef>

#include "app/Shell.h"
#include "app/Window.h"
#include "platform/WindowSystem.h"

namespace {

static_assert(sizeof(WNDCLASSEXA) == ws::WindowClassSize, "window class structure");
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "pixel format structure");
// The request names the display-mode structure before its panning fields
// (148 of today's 156 bytes); every field asked for lies inside.
static_assert(ws::DisplayModeRequestSize == 148, "display-mode request size");
static_assert(offsetof(DEVMODEA, dmPanningWidth) == 148, "the older display-mode structure");
static_assert(offsetof(DEVMODEA, dmPelsHeight) + sizeof(DWORD) <= 148 &&
                  offsetof(DEVMODEA, dmBitsPerPel) + sizeof(DWORD) <= 148 &&
                  offsetof(DEVMODEA, dmFields) + sizeof(DWORD) <= 148,
              "requested fields within the request size");
static_assert(offsetof(CREATESTRUCTA, lpCreateParams) == offsetof(ws::CreateInfo, createParam),
              "WM_CREATE's parameter");

static_assert(ws::MsgCreate == WM_CREATE && ws::MsgDestroy == WM_DESTROY &&
                  ws::MsgSize == WM_SIZE && ws::MsgClose == WM_CLOSE && ws::MsgQuit == WM_QUIT &&
                  ws::MsgKeyDown == WM_KEYDOWN && ws::MsgKeyUp == WM_KEYUP &&
                  ws::MsgSysKeyDown == WM_SYSKEYDOWN && ws::MsgSysKeyUp == WM_SYSKEYUP &&
                  ws::MsgSysCommand == WM_SYSCOMMAND && ws::MsgUser == WM_USER &&
                  MSG_TOGGLE_SCREEN_MODE == WM_USER + 1,
              "window messages");
static_assert(ws::SizeRestored == SIZE_RESTORED && ws::SizeMinimized == SIZE_MINIMIZED &&
                  ws::SizeMaximized == SIZE_MAXIMIZED && ws::ScClose == SC_CLOSE &&
                  ws::ScScreenSave == SC_SCREENSAVE && ws::ScMonitorPower == SC_MONITORPOWER,
              "WM_SIZE kinds and system commands");
static_assert(ws::VkBack == VK_BACK && ws::VkTab == VK_TAB && ws::VkReturn == VK_RETURN &&
                  ws::VkShift == VK_SHIFT && ws::VkControl == VK_CONTROL && ws::VkMenu == VK_MENU &&
                  ws::VkEscape == VK_ESCAPE && ws::VkSpace == VK_SPACE && ws::VkLeft == VK_LEFT &&
                  ws::VkUp == VK_UP && ws::VkRight == VK_RIGHT && ws::VkDown == VK_DOWN &&
                  ws::VkF1 == VK_F1 && ws::VkF2 == VK_F2 && ws::VkF10 == VK_F10 &&
                  ws::VkF12 == VK_F12,
              "virtual keys");
static_assert(ws::MbOk == MB_OK && ws::MbYesNo == MB_YESNO &&
                  ws::MbIconQuestion == MB_ICONQUESTION &&
                  ws::MbIconExclamation == MB_ICONEXCLAMATION &&
                  ws::MbIconWarning == MB_ICONWARNING && ws::MbButtonMask == MB_TYPEMASK &&
                  ws::MbIconMask == MB_ICONMASK && ws::IdOk == IDOK && ws::IdCancel == IDCANCEL &&
                  ws::IdYes == IDYES && ws::IdNo == IDNO,
              "message boxes");
static_assert(ws::CsVRedraw == CS_VREDRAW && ws::CsHRedraw == CS_HREDRAW &&
                  ws::CsOwnDc == CS_OWNDC && ws::WsOverlappedWindow == WS_OVERLAPPEDWINDOW &&
                  ws::WsPopup == WS_POPUP && ws::WsExAppWindow == WS_EX_APPWINDOW &&
                  ws::WsExTopmost == WS_EX_TOPMOST && ws::SwShowNormal == SW_SHOWNORMAL &&
                  ws::BrushAppWorkspace == COLOR_APPWORKSPACE,
              "classes and styles");
static_assert(ws::PfdDrawToWindow == PFD_DRAW_TO_WINDOW &&
                  ws::PfdSupportOpenGl == PFD_SUPPORT_OPENGL &&
                  ws::PfdDoubleBuffer == PFD_DOUBLEBUFFER && ws::PfdTypeRgba == PFD_TYPE_RGBA &&
                  ws::PfdMainPlane == PFD_MAIN_PLANE,
              "pixel format flags");
static_assert(ws::DmBitsPerPel == DM_BITSPERPEL && ws::DmPelsWidth == DM_PELSWIDTH &&
                  ws::DmPelsHeight == DM_PELSHEIGHT && ws::CdsFullscreen == CDS_FULLSCREEN,
              "display modes");

TEST(Win32Structures, RequestsCarryTheSystemStructureSizes) {
  AppInstance app;
  EXPECT_EQ(renderWindowClass(&app).size, sizeof(WNDCLASSEXA));
  EXPECT_EQ(pixelFormatRequest(32).size, sizeof(PIXELFORMATDESCRIPTOR));
  EXPECT_EQ(displayModeRequest(800, 600, 32).size, offsetof(DEVMODEA, dmPanningWidth));
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(IDC_ARROW),
            static_cast<ULONG_PTR>(renderWindowClass(&app).cursor));
}

}  // namespace
