// Flat colours for the scene's colour table.
#pragma once
#include <string>

#include "tools/scene_import/Model.h"

struct aiScene;
struct aiMaterial;
template <typename T>
class aiColor4t;
typedef aiColor4t<float> aiColor4D;

namespace sceneimport {

// Colours of a table larger than this are rounded to a few levels each and merged.
constexpr std::size_t maxColours = 256;

// A material's base or diffuse colour, times its texture's mean colour where
// it has a texture that can be read; a texture that cannot is named in note.
Vec3 materialColour(const aiScene& scene, const aiMaterial& material, const std::string& modelDir,
                    std::string& note);

// A triangle's colour from its corners' colours: their mean, rounded.
Vec3 vertexColour(const aiColor4D& a, const aiColor4D& b, const aiColor4D& c);

// Rounds each channel to one of six levels (0, 0.2, ... 1).
Vec3 quantised(const Vec3& colour);

// Merges groups of the same colour; when more than maxColours remain, rounds
// every colour first. Returns how many colours there were before.
std::size_t boundColourTable(Model& model);

}  // namespace sceneimport
