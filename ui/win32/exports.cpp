// The library's exports: plain names (QuarveloDll.def), no arguments, a 32-bit result. Those
// that open the main window run it modally and return its result (1 when it closed through its
// own close path).
#include <windows.h>
#include <commctrl.h>

#include <exception>

#include "app/category_table.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/com_security.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_dpi.h"
#include "platform/win32/win32_language.h"
#include "state/state_texts.h"
#include "ui/win32/dll_app.h"
#include "ui/win32/framework.h"
#include "ui/win32/locale_format.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"

namespace qv::ui {
namespace {

// The library's own manifest (resource 2: common controls 6), active while its windows are made
// and run, whatever the program that loaded it asked for.
class CActivationScope {
 public:
  CActivationScope() {
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = LibraryInstance();
    context.lpResourceName = MAKEINTRESOURCEW(2);
    m_context = ::CreateActCtxW(&context);
    if (m_context != INVALID_HANDLE_VALUE && !::ActivateActCtx(m_context, &m_cookie)) m_cookie = 0;
  }
  ~CActivationScope() {
    if (m_cookie != 0) ::DeactivateActCtx(0, m_cookie);
    if (m_context != INVALID_HANDLE_VALUE) ::ReleaseActCtx(m_context);
  }
  CActivationScope(const CActivationScope&) = delete;
  CActivationScope& operator=(const CActivationScope&) = delete;

 private:
  HANDLE m_context = INVALID_HANDLE_VALUE;
  ULONG_PTR m_cookie = 0;
};

int RunMainWindow(OPENING_REQUEST request, bool becomeCurrent) {
  // Whatever program loaded the library: what the window's work loads by name (COM servers and
  // their libraries, the shell's handlers) comes from the system folder only. Quarvelo.exe has
  // done so already; this covers any other host.
  RestrictLibrarySearchToSystemFolder();
  // The texts in the user's display language (the library's string tables), numbers and dates
  // in the user's locale.
  UseUserLanguage(LibraryInstance());
  SetDisplayNumbers(&LocaleNumber);
  // COM on the window's thread while the window runs, the process's security set before
  // anything is marshalled: a repair's restore point needs System Restore to call back in.
  const CComScope com;
  static_cast<void>(SetComSecurityForSystemRestore());
  CQuarveloDllApp& dll = CQuarveloDllApp::Instance();
  CActivationScope scope;
  // The windows scale with their display whichever program loaded the library (a manifest's
  // DPI awareness counts for the program only, not for a library).
  const CPerMonitorDpiScope perMonitor;
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                    ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&classes);
  if (becomeCurrent) dll.request = request;
  INT_PTR result = 0;
  {
    CQuarveloDlg window(dll);
    if (becomeCurrent) dll.current = &window;
    result = window.RunModal(nullptr, IDD_MAIN);
    if (becomeCurrent) {
      dll.current = nullptr;
      dll.request = OPENING_REQUEST::kNone;
    }
  }
  // After a normal close the launcher unloads the library: nothing may still run by then.
  if (result == 1 && becomeCurrent) dll.Release();
  return static_cast<int>(result);
}

// An export never lets an exception reach the program that called it.
template <typename Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace
}  // namespace qv::ui

using qv::ui::CQuarveloDllApp;
using qv::ui::OPENING_REQUEST;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qv::ui::SetLibraryInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

__declspec(dllexport) int ShowMainDialogFirst() {
  return qv::ui::Guarded([] {
    if (CQuarveloDllApp::Instance().current != nullptr) return 0;
    return qv::ui::RunMainWindow(OPENING_REQUEST::kFirstStart, true);
  });
}

__declspec(dllexport) int ShowMainDialog() {
  return qv::ui::Guarded([] {
    if (qv::ui::CQuarveloDlg* window = CQuarveloDllApp::Instance().current) {
      ::ShowWindow(window->Handle(), SW_SHOWNORMAL);
      ::SetForegroundWindow(window->Handle());
      return 0;
    }
    return qv::ui::RunMainWindow(OPENING_REQUEST::kPlain, true);
  });
}

__declspec(dllexport) int ShowResultsPage() {
  return qv::ui::Guarded([] {
    if (qv::ui::CQuarveloDlg* window = CQuarveloDllApp::Instance().current) {
      window->ShowPage(qv::ui::kPageStatistics);
      return 0;
    }
    return qv::ui::RunMainWindow(OPENING_REQUEST::kResults, true);
  });
}

__declspec(dllexport) int ShowUpdates() {
  return qv::ui::Guarded([] {
    if (qv::ui::CQuarveloDlg* window = CQuarveloDllApp::Instance().current) {
      window->LaunchUpdater(/*explicitRequest=*/true);
      return 0;
    }
    return qv::ui::RunMainWindow(OPENING_REQUEST::kUpdates, true);
  });
}

__declspec(dllexport) int ShowStartScan() {
  return qv::ui::Guarded([] {
    if (qv::ui::CQuarveloDlg* window = CQuarveloDllApp::Instance().current) {
      if (CQuarveloDllApp::Instance().idle.load()) window->StartScan(qv::ui::STARTED_BY::kItself);
      return 0;
    }
    return qv::ui::RunMainWindow(OPENING_REQUEST::kStartScan, true);
  });
}

__declspec(dllexport) int SetTopWnd() {
  return qv::ui::Guarded([] { return qv::ui::RunMainWindow(OPENING_REQUEST::kNone, false); });
}

__declspec(dllexport) int IsSanning() {
  return CQuarveloDllApp::Instance().idle.load() ? 1 : 0;
}

__declspec(dllexport) int GetErrorCount() {
  return qv::ui::Guarded([] {
    CQuarveloDllApp& dll = CQuarveloDllApp::Instance();
    qv::CSystemApplication& app = dll.App();
    return static_cast<int>(qv::TotalFoundCount(app.Platform().registry, qv::kProductName,
                                                dll.current != nullptr ? &app.Categories() : nullptr));
  });
}

__declspec(dllexport) int GetFixedCount() {
  return qv::ui::Guarded([] {
    CQuarveloDllApp& dll = CQuarveloDllApp::Instance();
    qv::CSystemApplication& app = dll.App();
    return static_cast<int>(qv::TotalFixedCount(app.Platform().registry, qv::kProductName,
                                                dll.current != nullptr ? &app.Categories() : nullptr));
  });
}

}  // extern "C"
