// The pass shaders the program ships, known by their text: the images kept
// between frames and the shadows left undrawn count on what these draw
// (how far a surface looks up its shadow off its own place, one nearest
// texel), so with any others every frame is drawn plain.
#pragma once

#include <cstdint>
#include <string>

// FNV-1a of the text with its carriage returns left out, so a checkout that
// ends lines either way matches.
std::uint64_t shaderTextHash(const std::string& text);

// Whether `file` ("Shaders/colout.vsh") is a pass shader and holds the text
// the program ships under that name.
bool isShippedPassShader(const char* file);
