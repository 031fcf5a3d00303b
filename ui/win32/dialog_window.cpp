// The dialog window of the library: a dialog from the library's templates whose messages reach
// its C++ object (CDialogWindow), the library's module handle, and the product's message box.
// It may touch the window procedure and the dialog's own window; it knows nothing of the skin's
// drawing beyond giving a dialog opened under a contrast theme the system's look.
#include "ui/win32/framework.h"

#include <exception>
#include <string>

#include "state/state_texts.h"
#include "ui/win32/skin_palette.h"

namespace qv::ui {
namespace {

HINSTANCE g_instance = nullptr;

}  // namespace

HINSTANCE LibraryInstance() { return g_instance; }
void SetLibraryInstance(HINSTANCE instance) { g_instance = instance; }

// ---- CDialogWindow ----

CDialogWindow::~CDialogWindow() {
  if (m_hwnd != nullptr) {
    ::SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    ::DestroyWindow(m_hwnd);
  }
}

HWND CDialogWindow::Create(HWND parent, int templateId) {
  return ::CreateDialogParamW(LibraryInstance(), MAKEINTRESOURCEW(templateId), parent, &Proc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialogWindow::RunModal(HWND owner, int templateId) {
  return ::DialogBoxParamW(LibraryInstance(), MAKEINTRESOURCEW(templateId), owner, &Proc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialogWindow::SetItemText(int id, std::wstring_view text) const {
  const std::wstring copy(text);
  ::SetDlgItemTextW(m_hwnd, id, copy.c_str());
}

std::wstring CDialogWindow::ItemText(int id) const {
  HWND item = Item(id);
  const int length = item != nullptr ? ::GetWindowTextLengthW(item) : 0;
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  if (length > 0) ::GetWindowTextW(item, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void CDialogWindow::ShowItem(int id, bool show) const {
  if (HWND item = Item(id)) ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

INT_PTR CDialogWindow::OnMessage(UINT, WPARAM, LPARAM, bool* handled) {
  *handled = false;
  return 0;
}

INT_PTR CALLBACK CDialogWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogWindow* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogWindow*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hwnd = window;
  } else {
    self = reinterpret_cast<CDialogWindow*>(::GetWindowLongPtrW(window, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  try {
    switch (message) {
      case WM_INITDIALOG:
        if (self->InitializesOnCreate()) self->OnInitDialog();
        // A dialog opened while a contrast theme is on: its standard controls without the style.
        if (CurrentPalette().mode == COLOUR_MODE::kContrast) {
          ::EnumChildWindows(
              window,
              [](HWND child, LPARAM) -> BOOL {
                ApplyControlLook(child);
                return TRUE;
              },
              0);
        }
        return TRUE;
      case WM_COMMAND: {
        bool handled = false;
        const INT_PTR result = self->OnMessage(message, wParam, lParam, &handled);
        if (handled) return result;
        self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
      }
      case WM_NCDESTROY:
        self->OnDestroy();
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
        return FALSE;
      default: {
        bool handled = false;
        const INT_PTR result = self->OnMessage(message, wParam, lParam, &handled);
        if (!handled) return FALSE;
        // A dialog procedure's result for messages that return a value goes through DWLP_MSGRESULT.
        switch (message) {
          case WM_CTLCOLORSTATIC:
          case WM_CTLCOLORBTN:
          case WM_CTLCOLORDLG:
          case WM_ERASEBKGND:
          case WM_DRAWITEM:
          case WM_INITDIALOG:
            return result;
          default:
            ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
      }
    }
  } catch (const std::exception&) {
    // Nothing may cross the window procedure; the message is dropped.
    return FALSE;
  }
}

int ProductMessageBox(HWND owner, std::wstring_view text, UINT flags) {
  const std::wstring copy(text);
  return ::MessageBoxW(owner, copy.c_str(), kProductName, flags);
}

}  // namespace qv::ui
