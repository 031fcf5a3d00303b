#include "launcher/win32/splash_screen_dlg.h"

#include <utility>

#include "launcher/launcher_resources.h"
#include "launcher/launcher_texts.h"
#include "launcher/win32/splash_picture.h"
#include "platform/win32/win32_dpi.h"

namespace qv {

namespace {

constexpr UINT_PTR kSplashTimerId = 1;

struct CMemoryDcTraits {
  using Handle = HDC;
  static constexpr Handle Invalid() noexcept { return nullptr; }
  void Close(Handle h) noexcept { ::DeleteDC(h); }
};

}  // namespace

CSplashScreenDlg::CSplashScreenDlg(HINSTANCE instance, std::wstring version)
    : m_instance(instance), m_version(std::move(version)) {}

INT_PTR CSplashScreenDlg::DoModal() {
  return ::DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_SPLASH), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CSplashScreenDlg::DialogProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CSplashScreenDlg*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_window = window;
  }
  auto* self = reinterpret_cast<CSplashScreenDlg*>(::GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CSplashScreenDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return FALSE;  // no control to give the focus to
    case WM_SHOWWINDOW:
      OnShowWindow(wParam != FALSE);
      return FALSE;
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return TRUE;
    case WM_PAINT:
      OnPaint();
      return TRUE;
    case kMsgDpiChanged:
      if (lParam != 0) OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(::GetStockObject(WHITE_BRUSH));
    case WM_COMMAND:
      // Enter (IDOK), Escape and the close request (IDCANCEL) leave the splash up.
      return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
    default:
      return FALSE;
  }
}

void CSplashScreenDlg::OnInitDialog() {
  ::SetWindowTextW(m_window, kSplashTitle);
  KeepDialogFromSystemScaling(m_window);
  m_scale = ScaleOfWindow(m_window);
  m_picture = DrawSplashPicture(m_version, m_scale);
  // The window is exactly the picture, centred on the primary screen's work area.
  const SIZE picture = SplashPictureSize(m_scale);
  RECT frame{0, 0, picture.cx, picture.cy};
  AdjustWindowRectForDpi(&frame, static_cast<DWORD>(::GetWindowLongPtrW(m_window, GWL_STYLE)),
                         static_cast<DWORD>(::GetWindowLongPtrW(m_window, GWL_EXSTYLE)),
                         m_scale.Dpi());
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(m_window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSplashScreenDlg::OnDpiChanged(int dpi, const RECT& suggested) {
  m_scale = CDpiScale(dpi);
  m_picture = DrawSplashPicture(m_version, m_scale);
  ::SetWindowPos(m_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(m_window, nullptr, TRUE);
}

void CSplashScreenDlg::OnShowWindow(bool shown) {
  if (!shown || m_timerStarted) return;
  m_timerStarted = ::SetTimer(m_window, kSplashTimerId, kSplashMilliseconds, nullptr) != 0;
  // Without a timer nothing would ever close the splash: leave it out rather than stay up.
  if (!m_timerStarted) ::EndDialog(m_window, IDOK);
}

void CSplashScreenDlg::OnTimer(UINT_PTR id) {
  if (id != kSplashTimerId) return;
  ::KillTimer(m_window, kSplashTimerId);
  ::EndDialog(m_window, IDOK);
}

void CSplashScreenDlg::OnPaint() {
  PAINTSTRUCT paint{};
  const HDC target = ::BeginPaint(m_window, &paint);
  if (target != nullptr && m_picture) {
    CUniqueHandle<CMemoryDcTraits> source(::CreateCompatibleDC(target));
    if (source) {
      const HGDIOBJ previous = ::SelectObject(source.get(), m_picture.get());
      const SIZE picture = SplashPictureSize(m_scale);
      ::BitBlt(target, 0, 0, picture.cx, picture.cy, source.get(), 0, 0, SRCCOPY);
      ::SelectObject(source.get(), previous);
    }
  }
  ::EndPaint(m_window, &paint);
}

}  // namespace qv
