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

void CharacterManager::initialize() {
  Log& log = Log::instance();
  log.write("Starting NPR Demo...");
  log.write("Loading Models...");
  const bool modelRead = model_.load("Models/capsuleman.txt");
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

void CharacterManager::draw() {
  // Characters wholly outside the pass's view would only cost their
  // triangles' setup.
  const ViewVolume view = ViewVolume::current();
  const float reach = model_.reach();
  drawn_ = 0;
  for (std::int32_t i = 0; i < placed_; ++i) {
    const Vector3& at = characters_[i].position;
    if (view.excludesSphere(at.x, at.y, at.z, reach)) continue;
    model_.draw(&characters_[i].animation);
    ++drawn_;
  }
  // Drawing leaves unit 1 active; so does drawing none of them.
  if (placed_ > 0 && glActiveTextureARB) glActiveTextureARB(GL_TEXTURE1_ARB);
}

void CharacterManager::drawShadowCasters(const ViewVolume* views, int viewCount,
                                         const Vector3& light, float lowest) {
  if (!(light.y < 0.0f)) {
    draw();
    return;
  }
  // A few shadow texels more than the characters reach.
  const float reach = model_.reach() + 0.05f;
  for (std::int32_t i = 0; i < placed_; ++i)
    lowest = std::min(lowest, characters_[i].position.y - reach);
  drawn_ = 0;
  for (std::int32_t i = 0; i < placed_; ++i) {
    const Vector3& at = characters_[i].position;
    // The box around the character swept down the light to the lowest
    // surface holds every point its shadow can darken.
    const float along = (at.y + reach - lowest) / -light.y;
    const Vector3 end = at + light * along;
    const float low[3] = {std::min(at.x, end.x) - reach, std::min(at.y, end.y) - reach,
                          std::min(at.z, end.z) - reach};
    const float high[3] = {std::max(at.x, end.x) + reach, std::max(at.y, end.y) + reach,
                           std::max(at.z, end.z) + reach};
    bool seen = false;
    for (int v = 0; v < viewCount && !seen; ++v) seen = !views[v].excludesBox(low, high);
    if (!seen) continue;
    model_.draw(&characters_[i].animation);
    ++drawn_;
  }
  if (placed_ > 0 && glActiveTextureARB) glActiveTextureARB(GL_TEXTURE1_ARB);
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
