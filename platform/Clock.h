// The system's millisecond clocks; both wrap after 2^32 ms.
#pragma once

#include <cstdint>

namespace ws {

class Clock {
 public:
  virtual std::uint32_t tickCount() = 0;       // GetTickCount
  virtual std::uint32_t multimediaTime() = 0;  // timeGetTime

 protected:
  ~Clock() = default;
};

Clock& clock();

}  // namespace ws
