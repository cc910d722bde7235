#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "base/Config.h"
#include "base/Log.h"
#include "tests/support/TestDir.h"

namespace {

struct ConfigCase {
  const char* contents;  // null: no file
  int width;
  int height;
};

TEST(Config, ReadsWidthThenHeightAndFallsBackPerValue) {
  const ConfigCase cases[] = {
      {"640 480", 640, 480},
      {"640\n480\n", 640, 480},
      {"  \t640\t\n\n 480 trailing words 99 99", 640, 480},
      {"+1280 +720", 1280, 720},
      {"800x600", 800, 768},
      {nullptr, 1024, 768},
      {"", 1024, 768},
      {"width=640", 1024, 768},
      {"-640 480", 1024, 480},
      {"640 0", 640, 768},
      {"0 0", 1024, 768},
      {"640", 640, 768},
  };
  for (const ConfigCase& c : cases) {
    TestDir dir;
    if (c.contents) TestDir::write("config.cfg", c.contents);
    Config::instance().read();
    EXPECT_EQ(Config::instance().width(), c.width) << (c.contents ? c.contents : "(no file)");
    EXPECT_EQ(Config::instance().height(), c.height) << (c.contents ? c.contents : "(no file)");
  }
}

TEST(Config, UnreadableFileKeepsTheDefaults) {
  TestDir dir;
  std::filesystem::create_directory("config.cfg");  // a folder cannot be read as text
  Config::instance().read();
  EXPECT_EQ(Config::instance().width(), 1024);
  EXPECT_EQ(Config::instance().height(), 768);
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { Log::instance().truncateAtNextWrite(); }  // as at program start
  TestDir dir;
};

TEST_F(LogTest, FirstEntryOfARunReplacesTheOldLogAndLaterEntriesAppend) {
  TestDir::write("Log.txt", "an old run\n\n");
  Log::instance().write("Loading SCN...");
  Log::instance().write(std::string("SCN Loaded!"));
  Log::instance().write(std::string());
  EXPECT_EQ(TestDir::readLog(), "Loading SCN...\n\nSCN Loaded!\n\n\n\n");
}

TEST_F(LogTest, TextEndingWithALineEndGetsTwoEmptyLines) {
  Log::instance().write("Shader Validation ID: 4: ok\n");
  EXPECT_EQ(TestDir::readLog(), "Shader Validation ID: 4: ok\n\n\n");
}

TEST_F(LogTest, AFailedFirstWriteStillEndsTheFirstWriteState) {
  std::filesystem::create_directory("Log.txt");  // cannot be opened as a file
  Log::instance().write("dropped");
  std::filesystem::remove("Log.txt");
  TestDir::write("Log.txt", "kept\n");
  Log::instance().write("appended");
  EXPECT_EQ(TestDir::readLog(), "kept\nappended\n\n");
}

TEST_F(LogTest, EntriesOfASecondInitialisationFollowTheFirst) {
  Log::instance().write("Starting NPR Demo...");
  Log::instance().write("Starting NPR Demo...");
  EXPECT_EQ(TestDir::readLog(), "Starting NPR Demo...\n\nStarting NPR Demo...\n\n");
}

TEST(DecimalText, PlainSignedDecimal) {
  EXPECT_EQ(toDecimalText(-7), "-7");
  EXPECT_EQ(toDecimalText(0), "0");
  EXPECT_EQ(toDecimalText(4), "4");
  EXPECT_EQ(toDecimalText(1234567), "1234567");
  EXPECT_EQ(toDecimalText(INT_MIN), "-2147483648");
  EXPECT_EQ(toDecimalText(INT_MAX), "2147483647");
}

}  // namespace
