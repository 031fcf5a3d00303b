// Quarvelo.exe: the program the user starts, and the scheduled scan task with "-t".
#include <windows.h>

#include "launcher/win32/launcher_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  return qv::RunLauncher(instance, arguments != nullptr ? arguments : L"");
}
