// Generates the four textures under data/Textures/:
//   water_normal3.bmp  hatching in three nested tone levels (R light, G mid, B dark)
//   hatch2.bmp         paper grain in R, a second hatching direction in G (mid) and B (dark)
//   hatch1.bmp         tight hatching for cast shadows, three nested levels in R, G, B
//   water_normal4.bmp  water surface: normal x, y in R, G and height in B
// The output is byte-identical on every run and platform: the generator has
// its own random numbers and its own sine (tools/common/Deterministic.h),
// and uses only correctly rounded arithmetic besides.
//
// Hatching is stored as paper brightness (255 = no graphite). A stroke pixel
// of a lighter level is a stroke pixel of every darker level too, so a tone
// that drifts between two levels only adds or removes strokes and never
// moves them. Strokes are about 2.5 texels wide and at least 4 texels apart,
// so the first two mipmap levels still show lines rather than grey.
// Every stroke and every noise lattice wraps around the edges: the textures
// tile without seams.
#pragma once

#include <string>
#include <vector>

namespace gentex {

struct NamedFile {
  std::string name;
  std::vector<unsigned char> bytes;  // the whole bitmap file
};

// The four files, in the demo's texture order.
std::vector<NamedFile> generateAll();

}  // namespace gentex
