// Machines the engine's tests build, shared by the tests that scan them in more than one way.
#pragma once

#include <string>

#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"

namespace qv::test {

// Programs on C: in the shapes the installed-program rule tells apart (installed_program_test).
void SeedInstalledPrograms(CMemoryFileSystem& files);

// A program registered for the user alone, as per-user installers do it (healthy_profile_test).
void InstallForUser(CMemoryRegistry& registry, const std::wstring& name);

}  // namespace qv::test
