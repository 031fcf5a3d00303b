// The console's unexpected end. A scan's exit code is read by scripts and schedulers (0 nothing
// found, 1 problems found), so a crash must never pass for one of them: whatever ends the program
// unexpectedly (an access violation, a stack overflow, a C++ exception nobody caught) writes
// kUnexpectedEndMessage with the exception code to the standard error and ends the process with
// kExitError (2). Windows build only.
#pragma once

#include <string_view>

namespace qv {

// %08X: the exception code (0xE06D7363 for a C++ exception, 0xC00000FD for a stack overflow,
// 0xC0000005 for an access violation; 0 when the C++ runtime ended the program).
inline constexpr std::string_view kUnexpectedEndMessage =
    "QuarveloCli: the program ended unexpectedly (exception 0x%08X); nothing it reported so far "
    "is a complete result.\r\n";

// Installs the guard for the process: keeps enough stack in reserve on the calling thread that
// the guard still runs after a stack overflow (SetThreadStackGuarantee), catches a stack
// overflow on any thread first (a vectored handler) and every other exception nobody handles
// (the unhandled exception filter), and ends a call of std::terminate the same way. Call it
// first in wmain, on the thread that runs the commands.
void InstallCrashGuard();

}  // namespace qv
