#include "platform/sdl/SdlKeysAndBoxes.h"

#include <cstdio>

namespace sdl {

int virtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return ws::VkF1 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_KP_0:
      return 0x60;
    case SDLK_ESCAPE:
      return ws::VkEscape;
    case SDLK_SPACE:
      return ws::VkSpace;
    case SDLK_RETURN:
      return ws::VkReturn;
    case SDLK_TAB:
      return ws::VkTab;
    case SDLK_BACKSPACE:
      return ws::VkBack;
    case SDLK_LEFT:
      return ws::VkLeft;
    case SDLK_RIGHT:
      return ws::VkRight;
    case SDLK_UP:
      return ws::VkUp;
    case SDLK_DOWN:
      return ws::VkDown;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return ws::VkShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return ws::VkControl;
    case SDLK_LALT:
    case SDLK_RALT:
      return ws::VkMenu;
    default:
      return 0;
  }
}

int showMessageBox(SDL_Window* parent, const char* text, const char* caption, unsigned type) {
  const bool yesNo = (type & ws::MbButtonMask) == ws::MbYesNo;
  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  if (yesNo) {
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, ws::IdYes, "Yes"};
    buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, ws::IdNo, "No"};
  } else {
    buttons[count++] = {
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, ws::IdOk,
        "OK"};
  }
  Uint32 flags = 0;
  const unsigned icon = type & ws::MbIconMask;
  if (icon == ws::MbIconExclamation)
    flags = SDL_MESSAGEBOX_WARNING;
  else if (icon == ws::MbIconQuestion)
    flags = SDL_MESSAGEBOX_INFORMATION;
#if SDL_VERSION_ATLEAST(2, 0, 12)
  flags |= SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
#endif
  SDL_MessageBoxData data{flags, parent, caption, text, count, buttons, nullptr};
  int answer = -1;
  const bool shown = SDL_ShowMessageBox(&data, &answer) == 0;
  if (!shown || answer < 0) {
    // Nowhere to show it: say it on the console, with why (no display and
    // no fonts look alike otherwise), and take the default.
    const int fallback = buttons[0].buttonid;
    std::fprintf(stderr, "%s: %s\n(message box not shown: %s; answered %s)\n",
                 caption ? caption : "", text ? text : "",
                 shown ? "closed without an answer" : SDL_GetError(),
                 fallback == ws::IdYes ? "Yes" : "OK");
    return fallback;
  }
  return answer;
}

}  // namespace sdl
