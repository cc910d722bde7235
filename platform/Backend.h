// The native window system of the platform the program was built for.
#pragma once

#include <memory>

#include "platform/WindowSystem.h"

std::unique_ptr<ws::WindowSystem> createPlatformWindowSystem();
ws::InstanceHandle platformInstanceHandle();
