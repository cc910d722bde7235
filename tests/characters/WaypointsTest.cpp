#include <gtest/gtest.h>

#include <climits>
#include <regex>

#include "base/Log.h"
#include "characters/Waypoints.h"
#include "tests/characters/CharacterFixtures.h"

namespace {

TEST(Waypoints, RecordsConvertWhateverTheLineBreaksAndLinksGoOneWay) {
  // The first links to the others, the second nowhere, the third back.
  const std::string text = "3 100 0 200 2 1 2 3 0 -50 1e2 0 2 -2.5 30 0 1 3 1";
  for (const char* gap : {" ", "\t\t", " \r\n "}) {
    SCOPED_TRACE(std::string("gap of ") + std::to_string(std::string(gap).size()));
    TestDir dir;
    TestDir::write("scene/waypoints.txt", std::regex_replace(text, std::regex(" "), gap));
    WaypointNetwork network;
    ASSERT_TRUE(network.load("scene/waypoints.txt"));
    ASSERT_EQ(network.size(), 3);
    const Vector3 positions[] = {{1.0f, 0.0f, -2.0f}, {0.0f, -0.5f, -1.0f}, {-0.025f, 0.3f, 0.0f}};
    const std::vector<std::int32_t> links[] = {{1, 2}, {}, {0}};
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR((network.waypoint(i).position - positions[i]).length(), 0.0f, 1e-6f) << i;
      EXPECT_EQ(network.waypoint(i).number, i);
      EXPECT_EQ(network.waypoint(i).links, links[i]);
    }
    EXPECT_TRUE(TestDir::logEntries().empty());
  }
}

TEST(Waypoints, OwnNumbersOfAnyValueAreKeptButLookNothingUp) {
  TestDir dir;
  TestDir::write("scene/waypoints.txt",
                 "3 0 0 0 1 70 2  0 0 0 1 -9223372036854775808 3  0 0 0 1 0 1");
  WaypointNetwork network;
  ASSERT_TRUE(network.load("scene/waypoints.txt"));
  ASSERT_EQ(network.size(), 3);
  const std::int32_t numbers[] = {69, INT32_MIN, -1};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(network.waypoint(i).number, numbers[i]) << i;
    EXPECT_EQ(network.waypoint(i).links, std::vector<std::int32_t>{(i + 1) % 3}) << i;
  }
  EXPECT_TRUE(TestDir::logEntries().empty());
}

TEST(Waypoints, BrokenFilesAreRejectedWithOneEntryAndAddNothing) {
  const std::pair<const char*, std::string> cases[] = {
      {nullptr, "Can't find File"},
      {" \n\n\t", "the file is empty"},
      {"many", "unreadable waypoint count"},
      {"0", "waypoint count 0 is outside 1 to 100000"},
      {"-4 0 0 0 0 1", "waypoint count -4 is outside 1 to 100000"},
      {"3000000000", "waypoint count 3000000000 is outside 1 to 100000"},
      {"2 0 0 0 1 1 2 0 0 0 1 2", "the file ends in waypoint 2 of 2"},
      {"2 0 0 0 1 1 2 0 x 0 1 2 1", "unreadable number in waypoint 2 of 2"},
      {"2 0 0 1e999 1 1 2 0 0 0 1 2 1", "unreadable number in waypoint 1 of 2"},
      {"2 0 0 0 1 1 3 0 0 0 1 2 1", "waypoint 1 of 2 links to 3, outside 1 to 2"},
      {"2 0 0 0 1 1 2 0 0 0 1 2 0", "waypoint 2 of 2 links to 0, outside 1 to 2"},
      {"2 0 0 0 -1 1 0 0 0 1 2 1", "link count -1 of waypoint 1 of 2 is outside 0 to 1024"},
      {"2 0 0 0 99999 1 2", "link count 99999 of waypoint 1 of 2 is outside 0 to 1024"},
  };
  for (const auto& [contents, why] : cases) {
    SCOPED_TRACE(contents ? contents : "(no file)");
    TestDir dir;
    Log::instance().truncateAtNextWrite();
    if (contents) TestDir::write("scene/waypoints.txt", contents);
    WaypointNetwork network;
    network.add(Waypoint());
    EXPECT_FALSE(network.load("scene/waypoints.txt"));
    EXPECT_EQ(TestDir::logEntries(),
              std::vector<std::string>{"Waypoint Loading Error: " + why + "!"});
    EXPECT_EQ(network.size(), 1);
  }
}

}  // namespace
