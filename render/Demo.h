// The demo's lifecycle on a record: building every GL resource and loading
// every file for a new window, turning held keys and elapsed time into the
// record once per frame, and releasing the resources before the window goes
// away. The hooks of the contract run these on the program's one record.
#pragma once

#include <cstdint>

#include "contract/DemoContract.h"

struct DemoRecord;

bool initDemo(DemoRecord& demo, RenderWindow* window, KeyStates* keys);
void updateFrame(DemoRecord& demo, std::uint32_t elapsedMs);
void shutdownDemo(DemoRecord& demo);
