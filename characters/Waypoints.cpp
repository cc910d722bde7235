#include "characters/Waypoints.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>

#include "base/Log.h"

namespace {

constexpr float fileScale = 0.01f;

std::string decimal(std::int64_t value) { return std::to_string(value); }

}  // namespace

bool WaypointNetwork::parse(std::istream& in, std::string& error) {
  std::string where;
  // Says whether the last read worked; on failure, what went wrong and where.
  auto check = [&](bool ok) {
    if (!ok) error = (in.eof() ? "the file ends in " : "unreadable number in ") + where;
    return ok;
  };

  std::int64_t count = 0;
  if (!(in >> count)) {
    error = in.eof() ? "the file is empty" : "unreadable waypoint count";
    return false;
  }
  if (count < 1 || count > maxWaypoints) {
    error = "waypoint count " + decimal(count) + " is outside 1 to " + decimal(maxWaypoints);
    return false;
  }

  // Grown record by record, so an unbacked count allocates nothing.
  std::vector<Waypoint> read;
  for (std::int64_t i = 0; i < count; ++i) {
    where = "waypoint " + decimal(i + 1) + " of " + decimal(count);
    Waypoint waypoint;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    std::int64_t linkCount = 0, number = 0;
    if (!check(static_cast<bool>(in >> x >> y >> z >> linkCount >> number))) return false;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
      error = "unreadable number in " + where;
      return false;
    }
    if (linkCount < 0 || linkCount > maxLinks) {
      error = "link count " + decimal(linkCount) + " of " + where + " is outside 0 to " +
              decimal(maxLinks);
      return false;
    }
    waypoint.position.set(fileScale * x, fileScale * y, -fileScale * z);
    // The own number looks nothing up, so files numbered another way still
    // load; only its range is held to what the field can keep.
    const std::int64_t kept =
        std::clamp<std::int64_t>(number, std::int64_t{INT32_MIN} + 1, std::int64_t{INT32_MAX} + 1);
    waypoint.number = static_cast<std::int32_t>(kept - 1);
    for (std::int64_t l = 0; l < linkCount; ++l) {
      std::int64_t link = 0;
      if (!check(static_cast<bool>(in >> link))) return false;
      if (link < 1 || link > count) {
        error = where + " links to " + decimal(link) + ", outside 1 to " + decimal(count);
        return false;
      }
      waypoint.addLink(static_cast<std::int32_t>(link - 1));
    }
    read.push_back(std::move(waypoint));
  }
  for (const Waypoint& waypoint : read) add(waypoint);
  return true;
}

bool WaypointNetwork::load(const char* path) {
  std::ifstream in(path);
  if (!in) {
    Log::instance().write("Waypoint Loading Error: Can't find File!");
    return false;
  }
  std::string error;
  if (!parse(in, error)) {
    Log::instance().write("Waypoint Loading Error: " + error + "!");
    return false;
  }
  return true;
}
