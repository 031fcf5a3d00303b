#include "launcher/win32/launcher_app.h"

#include <commctrl.h>

#include <optional>
#include <string>

#include "launcher/launch_plan.h"
#include "launcher/launcher_texts.h"
#include "launcher/library_binding.h"
#include "launcher/win32/running_instance.h"
#include "launcher/win32/splash_screen_dlg.h"
#include "launcher/win32/win32_library_loader.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_language.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "state/settings.h"

namespace qv {

namespace {

// The instance mutex of a first instance: released (it is owned) and closed at the end.
struct COwnedMutexTraits {
  using Handle = HANDLE;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept {
    ::ReleaseMutex(h);
    ::CloseHandle(h);
  }
};

void InitCommonControlClasses() {
  INITCOMMONCONTROLSEX classes{};
  classes.dwSize = sizeof(classes);
  classes.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&classes);
}

}  // namespace

void WriteStandardOutput(std::string_view text) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int RunLauncher(HINSTANCE instance, std::wstring_view arguments) {
  // The system shows no critical-error box of its own (a drive without its disk, met while the
  // scan looks for a file): the scheduled scan runs with nobody there to answer it. Microsoft
  // recommends this for every program at start-up (SetErrorMode, "Error Mode").
  ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS);
  // The splash's texts in the user's display language (the program's string tables).
  UseUserLanguage(instance);
  const LAUNCH_SWITCHES switches = ParseLaunchSwitches(arguments);
  CWin32Shell shell;
  const std::wstring programPath = shell.ModuleFileName();

  const HANDLE created = ::CreateMutexW(nullptr, TRUE, kInstanceName);
  const DWORD createError = ::GetLastError();
  // ERROR_ACCESS_DENIED: the mutex exists but belongs to a process out of this one's reach.
  if ((created != nullptr && createError == ERROR_ALREADY_EXISTS) ||
      (created == nullptr && createError == ERROR_ACCESS_DENIED)) {
    CUniqueHandle<CWin32HandleTraits> notOwned(created);
    ForwardToRunningInstance(PlanSecondInstance(switches), FileNameOf(programPath));
    return 0;
  }
  // Any other failure to create it leaves nothing to hold: start as the first instance.
  CUniqueHandle<COwnedMutexTraits> instanceMutex(created);

  InitCommonControlClasses();
  CWin32Registry registry;
  const LAUNCH_PLAN plan = PlanFirstInstance(switches, registry);
  if (plan.splash) {
    CSplashScreenDlg splash(instance, ProductVersionText(shell));
    splash.DoModal();
  }
  if (plan.call) {
    CWin32LibraryLoader loader;
    CLibraryBinding binding(loader, LibraryPathBeside(programPath));
    if (!binding.Call(ExportName(*plan.call))) WriteStandardOutput(kNoLibraryText);
  }
  return 0;
}

}  // namespace qv
