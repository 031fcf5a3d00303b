// Quarvelo.exe from start to end. In order:
//  1. Create the named mutex "Quarvelo", owned by this thread, and hold it until the end, so
//     every later start sees this one running.
//  2. When it already existed (or exists out of this user's reach), act as a second instance
//     (ForwardToRunningInstance) and end.
//  3. Initialise the common-control classes.
//  4. Decide with PlanFirstInstance; show the splash when it says so and, once it has closed,
//     call the chosen export of QuarveloDll.dll beside the program. When the library or the
//     export is missing, write "Message printed from executable\n" to standard output (only
//     when the process has one: a program started from the desktop has none) and go on.
//  5. End as soon as the export has returned: the launcher has no window of its own.
#pragma once

#include <windows.h>

#include <string_view>

namespace qv {

// arguments: the command line after the program's own path. Returns the process exit code, 0.
int RunLauncher(HINSTANCE instance, std::wstring_view arguments);

// Writes text to the standard output handle when there is one; a failed write is dropped.
void WriteStandardOutput(std::string_view text);

}  // namespace qv
