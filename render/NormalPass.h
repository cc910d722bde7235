// The normal pass: for one eye, the characters, then the scene and the
// water over them, in normals. While the eye rests the scene is copied in
// from a kept image instead, and drawn again only where a character touches
// it at exactly its depth, which the scene wins.
#pragma once

#include <cstdint>
#include <vector>

struct DemoRecord;
struct Frame;
struct EyeView;

// Into the eye's normal target; `shown` are the characters the colour pass
// drew.
void normalPass(DemoRecord& demo, const Frame& frame, const EyeView& eye,
                const std::vector<std::int32_t>& shown);
