#include "characters/CharacterManager.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "base/Log.h"
#include "gl/Extensions.h"
#include "gl/ViewVolume.h"

namespace {

constexpr float separationDistance = 0.1f;

float speedOfClip(std::int32_t clip) {
  switch (clip) {
    case 0:
      return 0.0001f;
    case 1:
      return 0.0005f;
    default:
      return 0.000125f;
  }
}

}  // namespace

CharacterManager::CharacterManager(std::int32_t characterCount)
    : characterCount_(characterCount < 0 ? 0 : characterCount) {}

CharacterManager::~CharacterManager() = default;

void CharacterManager::initialize(GLUquadric* quadric) {
  quadric_ = quadric;
  initialize();
}

void CharacterManager::initialize() {
  Log& log = Log::instance();
  log.write("Starting NPR Demo...");
  log.write("Loading Models...");
  const bool modelRead = model_.load("Models/capsuleman.txt", quadric_);
  log.write("Loading Waypoints...");
  network_.clear();
  const bool networkRead = network_.load("scene/waypoints.txt");
  log.write("Initializing Characters...");

  characters_.reset();
  placed_ = 0;
  // The loaders have logged what was wrong; the demo goes on without walkers.
  if (!modelRead || !networkRead) return;

  characters_.reset(new (std::nothrow) Character[characterCount_]);
  if (!characters_) {
    log.write("...Memory Allocation Failed!");
    return;
  }
  const std::int32_t waypointCount = network_.size();
  for (std::int32_t i = 0; i < characterCount_; ++i) {
    Character& walker = characters_[i];
    walker.attachModel(&model_);
    walker.setController(WaypointFollowerKind, &network_);
    const std::int32_t clip = std::rand() % 3;
    walker.animation.startClip(clip);
    walker.setSpeed(speedOfClip(clip));
    const std::int32_t start = std::rand() % waypointCount;
    const Vector3& at = network_.waypoint(start).position;
    walker.position.set(at.x - 1.0f, at.y, at.z - 1.0f);
    walker.controller()->targetWaypoint = start;
    walker.update(0.0f);
  }
  placed_ = characterCount_;
}

void CharacterManager::boxAround(std::int32_t index, float (&low)[3], float (&high)[3]) const {
  const Character& walker = characters_[index];
  if (model_.poseBounds(walker.animation, low, high)) return;
  const float at[3] = {walker.position.x, walker.position.y, walker.position.z};
  for (int axis = 0; axis < 3; ++axis) {
    low[axis] = at[axis] - model_.reach();
    high[axis] = at[axis] + model_.reach();
  }
}

void CharacterManager::draw() {
  for (std::int32_t i = 0; i < placed_; ++i) model_.draw(&characters_[i].animation);
  drawn_ = placed_;
  // Drawing leaves unit 1 active; so does drawing none of them.
  if (placed_ > 0 && glActiveTextureARB) glActiveTextureARB(GL_TEXTURE1_ARB);
}

void CharacterManager::drawIn(const ViewVolume& view) { drawOnly(inView(view)); }

void CharacterManager::drawOnly(const std::vector<std::int32_t>& indices) {
  drawn_ = 0;
  for (std::int32_t i : indices) {
    if (i < 0 || i >= placed_) continue;
    model_.draw(&characters_[i].animation);
    ++drawn_;
  }
  if (placed_ > 0 && glActiveTextureARB) glActiveTextureARB(GL_TEXTURE1_ARB);
}

std::vector<std::int32_t> CharacterManager::inView(const ViewVolume& view) const {
  // Characters wholly outside the pass's view would only cost their
  // triangles' setup.
  std::vector<std::int32_t> seen;
  for (std::int32_t i = 0; i < placed_; ++i) {
    float low[3], high[3];
    boxAround(i, low, high);
    if (!view.excludesBox(low, high)) seen.push_back(i);
  }
  return seen;
}

bool CharacterManager::shadowReaches(const Vector3& light, float lowest,
                                     std::vector<AxisBox>& reaches) const {
  reaches.clear();
  if (!(light.y < 0.0f)) return false;
  // A few shadow texels more than the characters reach.
  constexpr float texels = 0.05f;
  const float towards[3] = {light.x, light.y, light.z};
  for (std::int32_t i = 0; i < placed_; ++i) {
    AxisBox box;
    boxAround(i, box.low, box.high);
    reaches.push_back(shadowReach(box, towards, lowest, texels));
  }
  return true;
}

void CharacterManager::drawShadowCasters(const ViewVolume* views, int viewCount,
                                         const Vector3& light, float lowest) {
  drawOnly(shadowCasters(views, viewCount, light, lowest));
}

std::vector<std::int32_t> CharacterManager::shadowCasters(const ViewVolume* views, int viewCount,
                                                          const Vector3& light,
                                                          float lowest) const {
  // The characters receive shadows too.
  for (std::int32_t i = 0; i < placed_; ++i) {
    float low[3], high[3];
    boxAround(i, low, high);
    lowest = std::min(lowest, low[1] - 0.05f);
  }
  std::vector<std::int32_t> casters;
  std::vector<AxisBox> reaches;
  const bool downwards = shadowReaches(light, lowest, reaches);
  for (std::int32_t i = 0; i < placed_; ++i) {
    bool seen = !downwards;
    for (int v = 0; v < viewCount && !seen; ++v)
      seen = !views[v].excludesBox(reaches[i].low, reaches[i].high);
    if (seen) casters.push_back(i);
  }
  return casters;
}

void CharacterManager::update(float elapsedMs) {
  for (std::int32_t i = 0; i < placed_; ++i) {
    Character& walker = characters_[i];
    walker.update(elapsedMs);
    // Only this character gives way; the others do so in their own turn.
    for (std::int32_t j = 0; j < placed_; ++j) {
      if (j == i) continue;
      Vector3 apart = walker.position - characters_[j].position;
      if (apart.length() < separationDistance) {
        apart = apart * 0.5f;
        apart.y = 0.0f;
        walker.position = walker.position + apart;
      }
    }
  }
}

void CharacterManager::release() {}
