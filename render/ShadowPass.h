// The shadow pass: the scene, the water and the characters from the light,
// as depth into the float target. While the scene and the light stand still
// the scene's part is copied back from an earlier frame, and the water is
// drawn only over the tiles where its shadow can reach a surface an eye of
// the frame sees.
#pragma once

struct DemoRecord;
struct Frame;

// Into the shadow target, left bound.
void shadowPass(DemoRecord& demo, const Frame& frame);
