// What every pass draws the same way: the bound target cleared, a program
// put in use, the scene and the characters.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Math.h"
#include "gl/ViewVolume.h"

struct DemoRecord;
class ShaderProgramSet;

// Colour and depth of the bound target.
void clearTarget();
// Left out where the programs could not be made.
void useProgram(ShaderProgramSet& programs, int slot);

// The scene in `view`, and only where it meets one of `meeting` if given; a
// plain frame draws every piece.
void drawScene(DemoRecord& demo, bool plain, const ViewVolume& view,
               const std::vector<AxisBox>* meeting = nullptr);

// The characters' drawing works on texture unit 1 itself, and draws nothing
// without unit selection. Plain frames draw every one of them, others those
// `shown`.
void drawCharacters(DemoRecord& demo, bool plain, const std::vector<std::int32_t>& shown);
