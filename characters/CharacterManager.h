// Owns the model, the waypoint network and the twenty characters; the demo
// initializes, updates, draws and releases it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "characters/Character.h"
#include "characters/CharacterModel.h"
#include "characters/DemoComponent.h"
#include "characters/Waypoints.h"

#include "gl/ViewVolume.h"

class CharacterManager : public DemoComponent {
 public:
  // The demo always walks twenty; other counts serve measurements.
  explicit CharacterManager(std::int32_t characterCount = 20);
  ~CharacterManager() override;
  // The model's capsules are compiled with `quadric`, which the caller makes
  // and deletes; it is kept for initializing again.
  void initialize(GLUquadric* quadric);
  // Again, with the quadric given last (none before the first).
  void initialize() override;
  // Every character.
  void draw() override;
  // Only the characters that can put a pixel into `view`.
  void drawIn(const ViewVolume& view);
  // Only the characters of the given indices, in their order.
  void drawOnly(const std::vector<std::int32_t>& indices);
  // The indices of the characters that can put a pixel into `view`.
  std::vector<std::int32_t> inView(const ViewVolume& view) const;
  void update(float elapsedMs) override;
  // Draws only the characters whose shadow could fall inside one of the
  // views: cast along `light` (pointing downwards), it reaches no lower
  // than `lowest` or the characters' own lowest point.
  void drawShadowCasters(const ViewVolume* views, int viewCount, const Vector3& light,
                         float lowest);
  // The indices of the characters drawShadowCasters draws.
  std::vector<std::int32_t> shadowCasters(const ViewVolume* views, int viewCount,
                                          const Vector3& light, float lowest) const;
  void release() override;
  // The box around one character as posed now.
  void boxAround(std::int32_t index, float (&low)[3], float (&high)[3]) const;
  // For each character, the box around it swept down `light` until it lies
  // below `lowest`, cut off there: every point no lower than `lowest` that
  // its shadow can darken lies in it. False, with no boxes, when the light
  // does not point downwards.
  bool shadowReaches(const Vector3& light, float lowest, std::vector<AxisBox>& reaches) const;

  // The characters placed by initialize: none when a file was unusable.
  std::int32_t placedCount() const { return placed_; }
  // How many of them the last draw did not leave out.
  std::int32_t drawnCount() const { return drawn_; }
  Character& character(std::int32_t index) { return characters_[index]; }
  const CharacterModel& model() const { return model_; }
  const WaypointNetwork& network() const { return network_; }
  GLUquadric* quadric() const { return quadric_; }

 private:
  // Declared so that the characters go first, then the network, then the model.
  CharacterModel model_;
  WaypointNetwork network_;
  std::unique_ptr<Character[]> characters_;
  std::int32_t characterCount_;
  std::int32_t placed_ = 0;
  std::int32_t drawn_ = 0;
  GLUquadric* quadric_ = nullptr;
};
