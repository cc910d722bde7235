// A walking character, and the controllers that steer it over the waypoint
// network.
#pragma once

#include <cstdint>
#include <memory>

#include "base/Math.h"
#include "characters/AnimationState.h"

class CharacterModel;
class WaypointNetwork;
class CharacterController;

enum ControllerKind : std::int32_t {
  WaypointFollowerKind = 0,
  StandingKind = 1,
};

class Character {
 public:
  Character() = default;
  virtual ~Character();
  Character(const Character&) = delete;
  Character& operator=(const Character&) = delete;

  void attachModel(const CharacterModel* model);
  void setSpeed(float unitsPerMs) { speed = unitsPerMs; }
  // A WaypointFollowerKind follows the network; any other kind stands still.
  void setController(std::int32_t kind, const WaypointNetwork* network);
  void update(float elapsedMs);
  CharacterController* controller() const { return controller_.get(); }

  Vector3 position;
  Quaternion orientation;
  float speed = 0.0f;  // scene units per millisecond
  AnimationState animation;

 private:
  std::unique_ptr<CharacterController> controller_;
};

class CharacterController {
 public:
  virtual ~CharacterController() = default;
  virtual void setCharacter(Character* character) { character_ = character; }
  virtual void setNetwork(const WaypointNetwork* network) { network_ = network; }
  virtual void update(float) {}

  std::int32_t previousWaypoint = 0;
  std::int32_t targetWaypoint = 0;

 protected:
  Character* character_ = nullptr;
  const WaypointNetwork* network_ = nullptr;
};

class WaypointFollower : public CharacterController {
 public:
  void update(float elapsedMs) override;

  float heading = 0.0f;  // radians in [0, 6.28318]; 0 faces +z
};
