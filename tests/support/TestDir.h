// Runs a test inside a fresh temporary working directory, since the program
// reads and writes files relative to it.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

class TestDir {
 public:
  TestDir() {
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    static int counter = 0;
    path_ = fs::temp_directory_path() /
            ("npr-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::current_path(path_);
  }
  ~TestDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

  static void write(const std::string& name, const std::string& contents) {
    std::filesystem::path p(name);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream(name, std::ios::binary) << contents;
  }
  // The log in text mode, so its line ends read as LF on every platform.
  static std::string readLog() {
    std::ifstream in("Log.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The log's entries, each without its trailing empty line.
  static std::vector<std::string> logEntries() {
    const std::string text = readLog();
    std::vector<std::string> entries;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\n\n", start)) != std::string::npos; start = end + 2)
      entries.push_back(text.substr(start, end - start));
    return entries;
  }
  static std::string read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};
