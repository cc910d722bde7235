// The thread's message queue: what the system sends and what we post.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace ws {

class MessageQueue {
 public:
  // PeekMessageA with removal, filtered on one window (null: any).
  virtual bool peekMessage(Message& out, WindowHandle filter) = 0;
  virtual LResult dispatchMessage(const Message& message) = 0;
  virtual void waitMessage() = 0;
  virtual bool postMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                           LParam lParam) = 0;

 protected:
  ~MessageQueue() = default;
};

MessageQueue& messageQueue();

}  // namespace ws
