// Program entry and frame loop: the outer loop that rebuilds the window
// after a toggle and the inner loop of messages and frames.
#pragma once

#include "contract/DemoContract.h"

// Everything the entry does after the platform is chosen. Returns the
// process exit status.
int runApplication(ws::InstanceHandle instance, const DemoHooks& hooks);

// The inner loop for one window: messages one per pass, then a frame.
void runFrameLoop(RenderWindow& window, const DemoHooks& hooks);

// Hands the keys to one update: keys tapped since the last update read as
// held (in the flags and in the system's key state) for this update only.
void updateWithKeys(RenderWindow& window, const DemoHooks& hooks, std::uint32_t elapsedMs);
