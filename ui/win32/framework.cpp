#include "ui/win32/framework.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "state/state_texts.h"
#include "ui/win32/skin_accessible.h"

namespace qv::ui {
namespace {

HINSTANCE g_instance = nullptr;

struct FONT_KEY {
  int points;
  bool bold;
  friend bool operator<(const FONT_KEY& a, const FONT_KEY& b) {
    return a.points != b.points ? a.points < b.points : a.bold < b.bold;
  }
};

// The fonts of the run, released when the library goes.
class CFontCache {
 public:
  ~CFontCache() {
    for (auto& [key, font] : m_fonts) ::DeleteObject(font);
  }
  HFONT Get(int points, bool bold) {
    const FONT_KEY key{points, bold};
    const auto found = m_fonts.find(key);
    if (found != m_fonts.end()) return found->second;
    // 96 dots per inch: the height of a point size in pixels.
    const int height = -MulDiv(points, 96, 72);
    HFONT font = ::CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    m_fonts[key] = font;
    return font;
  }

 private:
  std::map<FONT_KEY, HFONT> m_fonts;
};

CFontCache& Fonts() {
  static CFontCache cache;
  return cache;
}

void FillRect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

// The default corner picture of a skinned page: three pale blue quarter rings around the
// bottom-right corner, flush with it.
void DrawCornerPictureRings(HDC dc, const RECT& client) {
  constexpr COLORREF kRings[] = {RGB(0xF2, 0xF6, 0xFD), RGB(0xE6, 0xEE, 0xFB),
                                 RGB(0xDA, 0xE5, 0xF8)};
  constexpr int kOuterRadius = 96;
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  for (int i = 0; i < 3; ++i) {
    const int radius = kOuterRadius - i * 24;
    HBRUSH brush = ::CreateSolidBrush(kRings[i]);
    HGDIOBJ old = ::SelectObject(dc, brush);
    ::Ellipse(dc, client.right - radius, client.bottom - radius, client.right + radius,
              client.bottom + radius);
    ::SelectObject(dc, old);
    ::DeleteObject(brush);
  }
  ::RestoreDC(dc, saved);
}

void RoundRect(HDC dc, const RECT& rect, COLORREF fill, COLORREF edge, int radius) {
  HBRUSH brush = ::CreateSolidBrush(fill);
  HPEN pen = ::CreatePen(PS_SOLID, 1, edge);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, pen);
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(brush);
  ::DeleteObject(pen);
}

void DrawCaption(HDC dc, const RECT& rect, std::wstring_view text, HFONT font, COLORREF colour,
                 UINT format) {
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colour);
  RECT box = rect;
  ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box, format);
  ::SelectObject(dc, old);
}

}  // namespace

HINSTANCE LibraryInstance() { return g_instance; }
void SetLibraryInstance(HINSTANCE instance) { g_instance = instance; }

HFONT TahomaFont(int pointSize, bool bold) { return Fonts().Get(pointSize, bold); }

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

// ---- CBaseDlg ----

HWND CBaseDlg::AddControl(CONTROL_LOOK look, int id, std::wstring_view text, int x, int y,
                          int width, int height, const LABEL_STYLE& style, DWORD extraStyle) {
  const wchar_t* cls = L"BUTTON";
  DWORD windowStyle = WS_CHILD | WS_VISIBLE | extraStyle;
  switch (look) {
    case CONTROL_LOOK::kLabel:
      cls = L"STATIC";
      windowStyle |= SS_NOPREFIX;
      break;
    case CONTROL_LOOK::kPicture:
      cls = L"STATIC";
      windowStyle |= SS_OWNERDRAW;
      break;
    case CONTROL_LOOK::kCheck:
      windowStyle |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case CONTROL_LOOK::kButton:
    case CONTROL_LOOK::kLargeButton:
    case CONTROL_LOOK::kNavButton:
    case CONTROL_LOOK::kLink:
      windowStyle |= BS_OWNERDRAW | WS_TABSTOP;
      break;
  }
  const std::wstring caption(text);
  HWND control = ::CreateWindowExW(0, cls, caption.c_str(), windowStyle, x, y, width, height,
                                   m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   LibraryInstance(), nullptr);
  m_looks[id] = look;
  AttachSkinAccessible(control, look);
  LABEL_STYLE applied = style;
  if (applied.font == nullptr) applied.font = TahomaFont(8);
  m_styles[id] = applied;
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(applied.font), FALSE);
  return control;
}

void CBaseDlg::SetLabelStyle(int id, const LABEL_STYLE& style) {
  LABEL_STYLE applied = style;
  if (applied.font == nullptr) applied.font = TahomaFont(8);
  m_styles[id] = applied;
  if (HWND item = Item(id)) {
    ::SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(applied.font), FALSE);
    ::InvalidateRect(item, nullptr, TRUE);
  }
}

void CBaseDlg::SetSelected(int id, bool selected) {
  m_selected[id] = selected;
  if (HWND item = Item(id)) {
    ::InvalidateRect(item, nullptr, TRUE);
    SetSkinAccessibleSelected(item, selected);
  }
}

INT_PTR CBaseDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (message) {
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT client{};
      ::GetClientRect(m_hwnd, &client);
      FillRect(dc, client, kColourWhite);
      if (m_headerLine) {
        RECT line{client.left, 26, client.right, 27};
        FillRect(dc, line, kColourHeaderLine);
      }
      if (!HasBackgroundPicture()) DrawCornerPicture(dc, client);
      PaintBackground(dc, client);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(m_white);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      const auto style = m_styles.find(id);
      const LABEL_STYLE look = style != m_styles.end() ? style->second : LABEL_STYLE{};
      ::SetTextColor(dc, look.text);
      ::SetBkColor(dc, look.back);
      if (look.transparentBack) ::SetBkMode(dc, TRANSPARENT);
      HBRUSH& brush = m_brushes[look.back];
      if (brush == nullptr) brush = ::CreateSolidBrush(look.back);
      return reinterpret_cast<INT_PTR>(brush);
    }
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      // Enter and Escape do nothing on a skinned dialog (a skinned button takes Enter itself).
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) return TRUE;
      *handled = false;
      return 0;
    case WM_DESTROY:
      ::DeleteObject(m_white);
      m_white = nullptr;
      for (auto& [colour, brush] : m_brushes) ::DeleteObject(brush);
      m_brushes.clear();
      *handled = false;
      return 0;
    default:
      *handled = false;
      return 0;
  }
}

void CBaseDlg::DrawItem(const DRAWITEMSTRUCT& item) {
  const int id = static_cast<int>(item.CtlID);
  const auto found = m_looks.find(id);
  if (found == m_looks.end()) return;
  HDC dc = item.hDC;
  const RECT& rect = item.rcItem;
  if (found->second == CONTROL_LOOK::kPicture) {
    FillRect(dc, rect, kColourWhite);
    DrawPicture(id, dc, rect);
    return;
  }
  const std::wstring text = ItemText(id);
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const LABEL_STYLE& style = m_styles[id];
  FillRect(dc, rect, kColourWhite);
  switch (found->second) {
    case CONTROL_LOOK::kLink:
      DrawCaption(dc, rect, text, TahomaFont(8), disabled ? kColourButtonOff : kColourLink,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      {
        // The underline, as wide as the text.
        HGDIOBJ old = ::SelectObject(dc, TahomaFont(8));
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        ::SelectObject(dc, old);
        const int y = (rect.top + rect.bottom + extent.cy) / 2 - 1;
        RECT line{rect.left, y, rect.left + extent.cx, y + 1};
        FillRect(dc, line, disabled ? kColourButtonOff : kColourLink);
      }
      break;
    case CONTROL_LOOK::kNavButton: {
      const bool selected = m_selected[id];
      if (selected) {
        RoundRect(dc, rect, kColourWhite, kColourHeaderLine, 6);
        RECT bar{rect.left + 4, rect.bottom - 4, rect.right - 4, rect.bottom - 1};
        FillRect(dc, bar, kColourButton);
      } else {
        RoundRect(dc, rect, pressed ? kColourButtonDown : kColourButton,
                  pressed ? kColourButtonDown : kColourButton, 6);
      }
      DrawCaption(dc, rect, text, TahomaFont(9, true),
                  disabled ? kColourButtonOff : (selected ? kColourButton : kColourWhite),
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    default: {
      const COLORREF fill = disabled ? kColourButtonOff : (pressed ? kColourButtonDown : kColourButton);
      RoundRect(dc, rect, fill, fill, found->second == CONTROL_LOOK::kLargeButton ? 12 : 6);
      DrawCaption(dc, rect, text,
                  style.font != nullptr && style.font != TahomaFont(8)
                      ? style.font
                      : TahomaFont(found->second == CONTROL_LOOK::kLargeButton ? 12 : 9, true),
                  kColourWhite, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
  }
  if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT inner = rect;
    ::InflateRect(&inner, -3, -3);
    ::DrawFocusRect(dc, &inner);
  }
}

int ProductMessageBox(HWND owner, std::wstring_view text, UINT flags) {
  const std::wstring copy(text);
  return ::MessageBoxW(owner, copy.c_str(), kProductName, flags);
}

void DrawHealthPicture(HDC dc, const RECT& rect, PICTURE picture) {
  const int size = std::min(rect.right - rect.left, rect.bottom - rect.top) - 4;
  const int left = rect.left + (rect.right - rect.left - size) / 2;
  const int top = rect.top + (rect.bottom - rect.top - size) / 2;
  const COLORREF colour = picture == PICTURE::kGood  ? kColourGood
                          : picture == PICTURE::kBad ? kColourRed
                                                     : kColourNeutral;
  HBRUSH brush = ::CreateSolidBrush(colour);
  HPEN edge = ::CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, edge);
  ::Ellipse(dc, left, top, left + size, top + size);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(brush);
  ::DeleteObject(edge);

  const int stroke = std::max(2, size / 9);
  HPEN pen = ::CreatePen(PS_SOLID, stroke, kColourWhite);
  oldPen = ::SelectObject(dc, pen);
  auto at = [&](double u, double v) {
    return POINT{left + static_cast<int>(u * size), top + static_cast<int>(v * size)};
  };
  if (picture == PICTURE::kGood) {
    const POINT tick[3] = {at(0.27, 0.52), at(0.44, 0.69), at(0.74, 0.33)};
    ::Polyline(dc, tick, 3);
  } else if (picture == PICTURE::kBad) {
    const POINT a[2] = {at(0.32, 0.32), at(0.68, 0.68)};
    const POINT b[2] = {at(0.68, 0.32), at(0.32, 0.68)};
    ::Polyline(dc, a, 2);
    ::Polyline(dc, b, 2);
  } else {
    DrawCaption(dc, RECT{left, top, left + size, top + size}, L"?", TahomaFont(size / 3, true),
                kColourWhite, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  ::SelectObject(dc, oldPen);
  ::DeleteObject(pen);
}

void DrawScanAnimation(HDC dc, const RECT& rect, int frame) {
  // Eight dots on a circle; the lit one goes round.
  const int cx = (rect.left + rect.right) / 2;
  const int cy = (rect.top + rect.bottom) / 2;
  const int radius = std::min(rect.right - rect.left, rect.bottom - rect.top) / 2 - 6;
  for (int i = 0; i < 8; ++i) {
    const double angle = i * 3.14159265358979 / 4;
    const int x = cx + static_cast<int>(radius * std::cos(angle));
    const int y = cy + static_cast<int>(radius * std::sin(angle));
    const int age = (frame - i + 8) % 8;
    const int shade = std::min(255, 0x40 + age * 0x1C);
    const COLORREF colour = age == 0 ? kColourButton : RGB(shade, shade, 0xFF);
    HBRUSH brush = ::CreateSolidBrush(colour);
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::Ellipse(dc, x - 4, y - 4, x + 4, y + 4);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(brush);
    ::DeleteObject(pen);
  }
}

void DrawCornerPicture(HDC dc, const RECT& client) { DrawCornerPictureRings(dc, client); }

}  // namespace qv::ui
