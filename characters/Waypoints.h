// The paths the characters walk: points in the scene with one-way links,
// identified by their position in the file counted from 0.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "base/Math.h"

class Waypoint {
 public:
  virtual ~Waypoint() = default;
  virtual void addLink(std::int32_t index) { links.push_back(index); }

  Vector3 position;
  std::int32_t number = 0;          // the file's own number, minus 1
  std::vector<std::int32_t> links;  // reachable waypoints, 0-based
};

class WaypointNetwork {
 public:
  virtual ~WaypointNetwork() = default;

  // Appends the file's waypoints. A missing or broken file adds nothing and
  // writes one log entry.
  bool load(const char* path);
  // The reading alone; on failure `error` says what is wrong and nothing is
  // added.
  bool parse(std::istream& in, std::string& error);

  void add(const Waypoint& waypoint) { waypoints_.push_back(waypoint); }
  void clear() { waypoints_.clear(); }
  std::int32_t size() const { return static_cast<std::int32_t>(waypoints_.size()); }
  const Waypoint& waypoint(std::int32_t index) const { return waypoints_[index]; }

  static constexpr std::int64_t maxWaypoints = 100000;
  static constexpr std::int64_t maxLinks = 1024;

 private:
  std::vector<Waypoint> waypoints_;
};
