// Makes the demo's shortcut files with the shell link object, so they are real .lnk files of the
// prefix they are made in: QuarveloDemoShortcuts.exe "<shortcut path>=<target path>"...
// Exits 0 when every shortcut was written, otherwise with the number of the ones that failed.
#include <cstdio>
#include <string>

#include "platform/win32/win32_shell.h"

int wmain(int argc, wchar_t** argv) {
  qv::CWin32Shell shell;
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::wstring pair = argv[i];
    const std::size_t equals = pair.find(L'=');
    if (equals == std::wstring::npos) {
      std::fwprintf(stderr, L"QuarveloDemoShortcuts: not shortcut=target: %ls\n", pair.c_str());
      ++failed;
      continue;
    }
    const qv::ErrorCode rc =
        shell.CreateShortcut(pair.substr(0, equals), {pair.substr(equals + 1), L"", L""});
    if (rc != qv::kErrorSuccess) {
      std::fwprintf(stderr, L"QuarveloDemoShortcuts: %ls: error %ld\n", pair.c_str(), rc);
      ++failed;
    }
  }
  return failed;
}
