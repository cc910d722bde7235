#include "base/Log.h"

#include <cstdio>

namespace {
const char* const logFileName = "Log.txt";
}

Log& Log::instance() {
  static Log* log = new Log;  // never destroyed: entries may be written during exit
  return *log;
}

void Log::write(const char* text) {
  std::FILE* file = nullptr;
  if (truncatePending_) {
    file = std::fopen(logFileName, "w");
    truncatePending_ = false;
  } else {
    file = std::fopen(logFileName, "a");
  }
  if (!file) return;
  std::fputs(text ? text : "", file);
  std::fputc('\n', file);
  std::fflush(file);
  std::fputc('\n', file);
  std::fflush(file);
  std::fclose(file);
}

void Log::write(const std::string& text) { write(text.c_str()); }

std::string toDecimalText(std::int32_t value) { return std::to_string(value); }
