// What every face of the window-system layer shares: handles, messages and
// the records passed in them, with Win32 semantics (message numbers,
// virtual-key codes, message-box flags and results keep their Win32 values).
#pragma once

#include <cstdint>

namespace ws {

using WindowHandle = void*;
using DeviceContext = void*;
using GlContext = void*;
using InstanceHandle = void*;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;
using WindowProc = LResult (*)(WindowHandle, std::uint32_t, WParam, LParam);

// Window messages.
constexpr std::uint32_t MsgCreate = 0x0001;
constexpr std::uint32_t MsgDestroy = 0x0002;
constexpr std::uint32_t MsgSize = 0x0005;
constexpr std::uint32_t MsgClose = 0x0010;
constexpr std::uint32_t MsgQuit = 0x0012;
constexpr std::uint32_t MsgKeyDown = 0x0100;
constexpr std::uint32_t MsgKeyUp = 0x0101;
constexpr std::uint32_t MsgSysKeyDown = 0x0104;
constexpr std::uint32_t MsgSysKeyUp = 0x0105;
constexpr std::uint32_t MsgSysCommand = 0x0112;
constexpr std::uint32_t MsgUser = 0x0400;

// WM_SIZE kinds and WM_SYSCOMMAND codes.
constexpr WParam SizeRestored = 0;
constexpr WParam SizeMinimized = 1;
constexpr WParam SizeMaximized = 2;
constexpr WParam ScClose = 0xF060;
constexpr WParam ScScreenSave = 0xF140;
constexpr WParam ScMonitorPower = 0xF170;

// Virtual-key codes (letters and digits are their upper-case ASCII codes).
constexpr int VkBack = 0x08;
constexpr int VkTab = 0x09;
constexpr int VkReturn = 0x0D;
constexpr int VkShift = 0x10;
constexpr int VkControl = 0x11;
constexpr int VkMenu = 0x12;
constexpr int VkEscape = 0x1B;
constexpr int VkSpace = 0x20;
constexpr int VkLeft = 0x25;
constexpr int VkUp = 0x26;
constexpr int VkRight = 0x27;
constexpr int VkDown = 0x28;
constexpr int VkF1 = 0x70;
constexpr int VkF2 = 0x71;
constexpr int VkF10 = 0x79;
constexpr int VkF12 = 0x7B;

// Message-box flags and results.
constexpr unsigned MbOk = 0x0;
constexpr unsigned MbYesNo = 0x4;
constexpr unsigned MbIconQuestion = 0x20;
constexpr unsigned MbIconExclamation = 0x30;
constexpr unsigned MbIconWarning = MbIconExclamation;
constexpr unsigned MbButtonMask = 0xF;
constexpr unsigned MbIconMask = 0xF0;
constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdYes = 6;
constexpr int IdNo = 7;

// Window class and window styles.
constexpr std::uint32_t CsVRedraw = 0x0001;
constexpr std::uint32_t CsHRedraw = 0x0002;
constexpr std::uint32_t CsOwnDc = 0x0020;
constexpr std::uint32_t WsOverlappedWindow = 0x00CF0000;
constexpr std::uint32_t WsPopup = 0x80000000;
constexpr std::uint32_t WsExAppWindow = 0x00040000;
constexpr std::uint32_t WsExTopmost = 0x00000008;
constexpr int SwShowNormal = 1;
constexpr int CursorArrow = 32512;     // IDC_ARROW
constexpr int BrushAppWorkspace = 12;  // COLOR_APPWORKSPACE

// Pixel format request flags.
constexpr std::uint32_t PfdDrawToWindow = 0x04;
constexpr std::uint32_t PfdSupportOpenGl = 0x20;
constexpr std::uint32_t PfdDoubleBuffer = 0x01;
constexpr std::uint8_t PfdTypeRgba = 0;
constexpr std::uint8_t PfdMainPlane = 0;

// WNDCLASSEXA: 48 bytes in the 32-bit program; a 64-bit Windows build has
// wider handles.
#ifdef _WIN64
constexpr std::uint32_t WindowClassSize = 80;
#else
constexpr std::uint32_t WindowClassSize = 48;
#endif

// Display-mode request.
constexpr std::uint32_t DmBitsPerPel = 0x00040000;
constexpr std::uint32_t DmPelsWidth = 0x00080000;
constexpr std::uint32_t DmPelsHeight = 0x00100000;
constexpr std::uint32_t CdsFullscreen = 0x4;
// DEVMODEA up to its display fields, without the later panning fields.
constexpr std::uint16_t DisplayModeRequestSize = 148;

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct Message {
  WindowHandle window = nullptr;
  std::uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
};

// What WM_CREATE's lParam points to; the first field is the creation
// parameter, as in CREATESTRUCT.
struct CreateInfo {
  void* createParam = nullptr;
};

struct WindowClass {
  std::uint32_t size = 0;
  std::uint32_t style = 0;
  WindowProc proc = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  InstanceHandle instance = nullptr;
  int cursor = 0;
  int background = 0;
  const char* className = nullptr;
};

struct PixelFormatRequest {
  std::uint16_t size = 0;
  std::uint16_t version = 0;
  std::uint32_t flags = 0;
  std::uint8_t pixelType = 0;
  std::uint8_t colorBits = 0;
  std::uint8_t depthBits = 0;
  std::uint8_t stencilBits = 0;
  std::uint8_t layerType = 0;
};

struct DisplayModeRequest {
  std::uint16_t size = 0;
  std::uint32_t fields = 0;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

}  // namespace ws
