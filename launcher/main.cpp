// Quarvelo.exe: the program the user starts, and the scheduled scan task with "-t".
#include <windows.h>

#include "launcher/win32/launcher_app.h"
#include "platform/win32/system_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  // Before anything else: libraries named without a path come from the system folder only, and
  // nothing is looked for in the folder the program was started from (its switches name no
  // file, so there is nothing to resolve against it first).
  qv::RestrictLibrarySearchToSystemFolder();
  qv::MakeSystemFolderCurrent();
  return qv::RunLauncher(instance, arguments != nullptr ? arguments : L"");
}
