// The display scale of windows. The per-monitor calls (GetDpiForWindow, GetSystemMetricsForDpi,
// AdjustWindowRectExForDpi: Windows 10 1607; SetThreadDpiAwarenessContext: 1607;
// SetDialogDpiChangeBehavior: 1703) are looked up in user32 when first used; where a system has
// none of them (Windows 7 to 8.1) the answers fall back to the system DPI, which is then the only
// DPI a window has.
#pragma once

#include <windows.h>

#include "base/dpi_scale.h"

namespace qv {

// WM_DPICHANGED and WM_DPICHANGED_AFTERPARENT, which older SDK headers lack.
inline constexpr UINT kMsgDpiChanged = 0x02E0;
inline constexpr UINT kMsgDpiChangedAfterParent = 0x02E3;

// The DPI of the system: the DPI every window had before per-monitor scaling.
[[nodiscard]] int SystemDpi();
// The DPI the window is shown at: GetDpiForWindow, or the system DPI where that call is missing
// (or answers 0 for a window that is gone).
[[nodiscard]] int DpiOfWindow(HWND window);
[[nodiscard]] inline CDpiScale ScaleOfWindow(HWND window) { return CDpiScale(DpiOfWindow(window)); }

// GetSystemMetrics at a DPI (the metric scaled from the system DPI where the call is missing).
[[nodiscard]] int SystemMetricForDpi(int index, int dpi);
// AdjustWindowRectEx at a DPI (AdjustWindowRectEx where the call is missing).
bool AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, int dpi);

// A dialog that lays itself out again on a DPI change: the dialog manager of Windows 10 1703
// and later is told to leave its size, its controls and their fonts alone.
void KeepDialogFromSystemScaling(HWND dialog);

// The calling thread is per-monitor aware (v2 where the system has it, else v1) while the scope
// lasts: the windows it makes scale with their display whatever the program declared. Nothing
// happens where the system cannot set a thread's awareness.
class CPerMonitorDpiScope {
 public:
  CPerMonitorDpiScope();
  ~CPerMonitorDpiScope();
  CPerMonitorDpiScope(const CPerMonitorDpiScope&) = delete;
  CPerMonitorDpiScope& operator=(const CPerMonitorDpiScope&) = delete;

 private:
  void* m_previous = nullptr;
};

}  // namespace qv
