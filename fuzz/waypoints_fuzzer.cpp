// The waypoint file: a network whose every link names one of its waypoints,
// or nothing added and a reason.
#include <sstream>

#include "characters/Waypoints.h"
#include "fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  WaypointNetwork network;
  std::string error;
  if (network.parse(in, error)) {
    FUZZ_CHECK(network.size() >= 1);
    for (std::int32_t i = 0; i < network.size(); ++i)
      for (std::int32_t link : network.waypoint(i).links)
        FUZZ_CHECK(link >= 0 && link < network.size());
  } else {
    FUZZ_CHECK(!error.empty() && network.size() == 0);
  }
  return 0;
}
