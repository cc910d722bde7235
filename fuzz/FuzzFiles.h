// What every reader's fuzz target shares: a private working folder, since the
// readers take file names relative to it and the log lands in it, and the
// log's entries of the last run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/Log.h"

namespace fuzz {

// Moves into a fresh folder (in memory where the system has one) that is
// removed when the process ends.
inline void enterPrivateFolder() {
  namespace fs = std::filesystem;
  static fs::path folder;
  const fs::path base =
      fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
  folder = base / ("npr-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::current_path(folder);
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  });
}

inline void writeFile(const char* name, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Starts the log afresh, so that it holds one run's entries only.
inline void restartLog() { Log::instance().truncateAtNextWrite(); }

inline std::vector<std::string> logEntries() {
  std::ifstream in("Log.txt");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> entries;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\n\n", start)) != std::string::npos; start = end + 2)
    entries.push_back(text.substr(start, end - start));
  return entries;
}

// A broken promise of the reader: reported as a crash with the input kept.
#define FUZZ_CHECK(condition)           \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

}  // namespace fuzz
