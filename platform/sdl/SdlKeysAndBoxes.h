// The SDL backend's key codes and message boxes, which need none of its state.
#pragma once

#include <SDL.h>

#include "platform/Types.h"

namespace sdl {

// The virtual-key code of an SDL key; 0 for keys the program has no code for.
int virtualKeyOf(SDL_Keycode key);

// MessageBoxA's flags and answers on SDL's message box. Where none can be
// shown the text goes to the console and the default button answers.
int showMessageBox(SDL_Window* parent, const char* text, const char* caption, unsigned type);

}  // namespace sdl
