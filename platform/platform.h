// The seam to the operating system, in one bundle that the engine, the repair and the state
// store receive. The engine never calls the operating system any other way.
#pragma once

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace qv {

struct CPlatform {
  IRegistry& registry;
  IFileSystem& files;
  IShell& shell;
  IClock& clock;
};

}  // namespace qv
