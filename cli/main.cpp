// QuarveloCli.exe: the console front end over the scan engine.
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "cli/crash_guard.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_language.h"

int wmain(int argc, wchar_t** argv) {
  // Before anything else: libraries named without a path come from the system folder only.
  qv::RestrictLibrarySearchToSystemFolder();
  // Its reports and messages in the user's display language (the program's string tables).
  qv::UseUserLanguage(GetModuleHandleW(nullptr));
  // Then: a crash ends the program with exit code 2 and a message, never with a code that a
  // caller would read as a scan's result.
  qv::InstallCrashGuard();
  std::vector<std::wstring> args;
  args.reserve(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
  return qv::RunCli(args);
}
