// The colour pass: for one eye, the scene, the water and the characters in
// their colours under the shadow image. While the eye rests the scene is
// copied in from a kept image and drawn again only where the shadows of
// the characters and the water can fall; characters wholly hidden behind
// the scene are left out.
#pragma once

#include <cstdint>
#include <vector>

struct DemoRecord;
struct Frame;
struct EyeView;

// Into the eye's colour target. Returns the characters it drew, for the
// normal pass of the same eye.
std::vector<std::int32_t> colourPass(DemoRecord& demo, const Frame& frame, const EyeView& eye);
