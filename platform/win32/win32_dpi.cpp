#include "platform/win32/win32_dpi.h"

namespace qv {

namespace {

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiCall = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SetThreadDpiAwarenessContextCall = HANDLE(WINAPI*)(HANDLE);
using SetDialogDpiChangeBehaviorCall = BOOL(WINAPI*)(HWND, int, int);

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE.
const auto kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const auto kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
// DIALOG_DPI_CHANGE_BEHAVIORS: DDC_DISABLE_ALL.
constexpr int kDialogDisableAll = 0x0001;

// A call of user32, which every program with windows has loaded; null where it is missing.
template <typename Call>
Call User32Call(const char* name) {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

}  // namespace

int SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return kBaseDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

int DpiOfWindow(HWND window) {
  static const auto getDpiForWindow = User32Call<GetDpiForWindowCall>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto forDpi = User32Call<GetSystemMetricsForDpiCall>("GetSystemMetricsForDpi");
  if (forDpi != nullptr) return forDpi(index, static_cast<UINT>(dpi));
  const int system = SystemDpi();
  return system == dpi ? ::GetSystemMetrics(index)
                       : ::MulDiv(::GetSystemMetrics(index), dpi, system);
}

bool AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto forDpi = User32Call<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
  if (forDpi != nullptr) return forDpi(rect, style, FALSE, exStyle, static_cast<UINT>(dpi)) != 0;
  return ::AdjustWindowRectEx(rect, style, FALSE, exStyle) != 0;
}

void KeepDialogFromSystemScaling(HWND dialog) {
  static const auto setBehavior =
      User32Call<SetDialogDpiChangeBehaviorCall>("SetDialogDpiChangeBehavior");
  if (setBehavior != nullptr) setBehavior(dialog, kDialogDisableAll, kDialogDisableAll);
}

CPerMonitorDpiScope::CPerMonitorDpiScope() {
  static const auto setContext =
      User32Call<SetThreadDpiAwarenessContextCall>("SetThreadDpiAwarenessContext");
  if (setContext == nullptr) return;
  // Windows 10 before 1703 refuses the v2 context (null): v1 then.
  HANDLE previous = setContext(kPerMonitorAwareV2);
  if (previous == nullptr) previous = setContext(kPerMonitorAware);
  m_previous = previous;
}

CPerMonitorDpiScope::~CPerMonitorDpiScope() {
  static const auto setContext =
      User32Call<SetThreadDpiAwarenessContextCall>("SetThreadDpiAwarenessContext");
  if (setContext != nullptr && m_previous != nullptr) setContext(m_previous);
}

}  // namespace qv
