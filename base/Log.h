// Progress and error log, "Log.txt" in the working directory. Each entry is
// opened, written, flushed and closed, so the file is complete after every
// entry; the first entry of a run starts the file afresh.
#pragma once

#include <cstdint>
#include <string>

// Set at program start; cleared by the first write, whether or not it opened the file.
extern bool truncatePending;

class Log {
 public:
  static Log& instance();
  void write(const char* text);
  void write(const std::string& text);

 private:
  Log() = default;
};

std::string toDecimalText(std::int32_t value);
