// On Windows the log is a text-mode file: each line end lands as CR LF.
#include <gtest/gtest.h>

#include <string>

#include "base/Log.h"
#include "tests/support/TestDir.h"

namespace {

TEST(Win32Log, EntriesEndInCarriageReturnLineFeedPairs) {
  TestDir dir;
  TestDir::write("Log.txt", "left over from an earlier run\r\n");
  Log::instance().truncateAtNextWrite();
  Log::instance().write("Loading SCN...");
  Log::instance().write(std::string("two\nlines"));
  Log::instance().write("");
  EXPECT_EQ(TestDir::read("Log.txt"),
            "Loading SCN...\r\n\r\n"
            "two\r\nlines\r\n\r\n"
            "\r\n\r\n");
}

}  // namespace
