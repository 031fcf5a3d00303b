// The splash window, CSplashScreenDlg: a modal dialog from the IDD_SPLASH template, without a
// caption bar, titled "QUARVELO", white, with the splash picture at its top-left corner and the
// window sized to the picture and centred on the screen. The picture is drawn for the window's
// DPI, and again (the window resized) when the DPI changes. When it becomes visible it starts a
// 4000 ms timer; when that fires the timer is stopped and the window closes. Enter, Escape and
// the window's close request do nothing, so only the timer closes it.
#pragma once

#include <windows.h>

#include <string>

#include "base/dpi_scale.h"
#include "platform/win32/win32_handles.h"

namespace qv {

class CSplashScreenDlg {
 public:
  // version: the text of the picture's version line, empty for none.
  CSplashScreenDlg(HINSTANCE instance, std::wstring version);
  CSplashScreenDlg(const CSplashScreenDlg&) = delete;
  CSplashScreenDlg& operator=(const CSplashScreenDlg&) = delete;

  // Shows the splash without an owner and returns once the timer has closed it: IDOK, or -1 when
  // the window could not be made (the start goes on without a splash then).
  INT_PTR DoModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnShowWindow(bool shown);
  void OnTimer(UINT_PTR id);
  void OnPaint();
  void OnDpiChanged(int dpi, const RECT& suggested);

  HINSTANCE m_instance;
  std::wstring m_version;
  HWND m_window = nullptr;
  bool m_timerStarted = false;
  CUniqueHandle<CGdiObjectTraits> m_picture;
  CDpiScale m_scale;
};

}  // namespace qv
