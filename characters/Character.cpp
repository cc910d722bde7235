#include "characters/Character.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "characters/Waypoints.h"

namespace {

constexpr float fullTurn = 6.28318f;
constexpr float halfTurn = 3.141589f;
constexpr float turnTolerance = 0.1f;
constexpr float arrivalDistance = 0.1f;

}  // namespace

Character::~Character() = default;

void Character::attachModel(const CharacterModel* model) {
  animation.model = model;
  animation.frame = 0;
  animation.nextFrame = 1;
  animation.phase = 0.0f;
  animation.clip = 0;
  animation.owner = this;
}

void Character::setController(std::int32_t kind, const WaypointNetwork* network) {
  if (kind == WaypointFollowerKind) {
    controller_ = std::make_unique<WaypointFollower>();
  } else {
    controller_ = std::make_unique<CharacterController>();
  }
  controller_->setNetwork(network);
  controller_->setCharacter(this);
}

void Character::update(float elapsedMs) {
  animation.advance(elapsedMs);
  if (controller_) controller_->update(elapsedMs);
}

void WaypointFollower::update(float elapsedMs) {
  if (!character_ || !network_ || targetWaypoint < 0 || targetWaypoint >= network_->size()) {
    return;
  }
  Character& walker = *character_;
  const Waypoint& target = network_->waypoint(targetWaypoint);
  const float step = walker.speed * elapsedMs;

  const Vector3 toTarget = target.position - walker.position;
  const float distance = toTarget.length();
  // Standing exactly on the target leaves no direction to walk or face.
  if (distance > 0.0f) {
    const Vector3 direction = toTarget * (1.0f / distance);
    walker.position = walker.position + direction * step;

    float wanted = std::acos(std::clamp(direction.z, -1.0f, 1.0f));
    if (target.position.x < walker.position.x) wanted = fullTurn - wanted;

    if (std::fabs(heading - wanted) > halfTurn) {
      // The short way round passes through 0.
      if (heading > wanted + turnTolerance) {
        heading += 20.0f * step;
      } else if (heading < wanted - turnTolerance) {
        heading -= 20.0f * step;
      }
    } else if (heading > wanted + turnTolerance) {
      heading -= 10.0f * step;
    } else if (heading < wanted - turnTolerance) {
      heading += 10.0f * step;
    }
    if (heading > fullTurn) heading = 0.0f;
    if (heading < 0.0f) heading = fullTurn;
  }
  walker.orientation = Quaternion::fromAxisAngle(heading, Vector3(0.0f, 1.0f, 0.0f));

  if (distance < arrivalDistance) {
    const std::vector<std::int32_t>& links = target.links;
    const std::uint32_t n = static_cast<std::uint32_t>(links.size());
    if (n == 0) return;  // a dead end: wait here
    std::uint32_t r = static_cast<std::uint32_t>(std::rand()) % n;
    if (links[r] == previousWaypoint) r = 0;
    if (links[r] == previousWaypoint) r = n - 1;
    previousWaypoint = targetWaypoint;
    targetWaypoint = links[r];
  }
}
