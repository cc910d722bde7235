// Progress and error log, "Log.txt" in the working directory. Each entry is
// opened, written, flushed and closed, so the file is complete after every
// entry; the first entry of a run starts the file afresh.
#pragma once

#include <cstdint>
#include <string>

class Log {
 public:
  static Log& instance();
  void write(const char* text);
  void write(const std::string& text);
  // As at program start: the next write starts the file afresh.
  void truncateAtNextWrite() { truncatePending_ = true; }

 private:
  Log() = default;
  // Cleared by the first write, whether or not it opened the file.
  bool truncatePending_ = true;
};

std::string toDecimalText(std::int32_t value);
