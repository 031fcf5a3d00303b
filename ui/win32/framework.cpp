#include "ui/win32/framework.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "controls/control_texts.h"
#include "controls/win32/html_list_ctrl.h"
#include "platform/win32/win32_dpi.h"
#include "state/state_texts.h"
#include "ui/win32/skin_accessible.h"

namespace qv::ui {
namespace {

HINSTANCE g_instance = nullptr;

struct FONT_KEY {
  int points;
  bool bold;
  int dpi;
  friend bool operator<(const FONT_KEY& a, const FONT_KEY& b) {
    if (a.points != b.points) return a.points < b.points;
    if (a.bold != b.bold) return a.bold < b.bold;
    return a.dpi < b.dpi;
  }
};

// The fonts of the run, released when the library goes.
class CFontCache {
 public:
  ~CFontCache() {
    for (auto& [key, font] : m_fonts) ::DeleteObject(font);
  }
  HFONT Get(int points, bool bold, int dpi) {
    const FONT_KEY key{points, bold, dpi};
    const auto found = m_fonts.find(key);
    if (found != m_fonts.end()) return found->second;
    HFONT font = ::CreateFontW(FontHeightForDpi(points, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
                               FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS,
                               L"Tahoma");
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
// bottom-right corner, flush with it (96 pixels across at 96 DPI, a ring every 24).
void DrawCornerPictureRings(HDC dc, const RECT& client, const CDpiScale& scale) {
  // A contrast theme has no pale tones: no rings.
  if (CurrentPalette().mode == COLOUR_MODE::kContrast) return;
  const COLORREF rings[] = {Colour(SKIN_COLOUR::kRingOuter), Colour(SKIN_COLOUR::kRingMiddle),
                            Colour(SKIN_COLOUR::kRingInner)};
  constexpr int kOuterRadius = 96;
  constexpr int kRingWidth = 24;
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  for (int i = 0; i < 3; ++i) {
    const int radius = scale(kOuterRadius - i * kRingWidth);
    HBRUSH brush = ::CreateSolidBrush(rings[i]);
    HGDIOBJ old = ::SelectObject(dc, brush);
    ::Ellipse(dc, client.right - radius, client.bottom - radius, client.right + radius,
              client.bottom + radius);
    ::SelectObject(dc, old);
    ::DeleteObject(brush);
  }
  ::RestoreDC(dc, saved);
}

// A list view's check boxes are pictures the list drew once, in the style of that moment. Under a
// contrast theme they are drawn again as the system draws a check box without a style, in the
// system's colours; the list's own pictures come back when the theme goes. (A list closed while a
// contrast theme is on leaves its own two pictures unreleased, once.)
constexpr wchar_t kListCheckPictures[] = L"Quarvelo.ListCheckPictures";
void ApplyCheckBoxPictures(HWND list, bool contrast) {
  if ((ListView_GetExtendedListViewStyle(list) & LVS_EX_CHECKBOXES) == 0) return;
  auto* const own = static_cast<HIMAGELIST>(::GetPropW(list, kListCheckPictures));
  if (!contrast) {
    if (own == nullptr) return;
    ::RemovePropW(list, kListCheckPictures);
    HIMAGELIST ours = ListView_SetImageList(list, own, LVSIL_STATE);
    if (ours != nullptr) ImageList_Destroy(ours);
    return;
  }
  int width = 0;
  int height = 0;
  HIMAGELIST current = ListView_GetImageList(list, LVSIL_STATE);
  if (current == nullptr || !ImageList_GetIconSize(current, &width, &height)) return;
  HIMAGELIST ours = ImageList_Create(width, height, ILC_COLOR32, 2, 0);
  if (ours == nullptr) return;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP pictures = ::CreateCompatibleBitmap(screen, 2 * width, height);
  HGDIOBJ old = ::SelectObject(dc, pictures);
  const RECT all{0, 0, 2 * width, height};
  ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_WINDOW));
  // The box as large as the list's own, 13 in 16, centred: unchecked first, then checked.
  const int side = std::min(width, height) * 13 / 16;
  for (int picture = 0; picture < 2; ++picture) {
    RECT box{picture * width + (width - side) / 2, (height - side) / 2, 0, 0};
    box.right = box.left + side;
    box.bottom = box.top + side;
    ::DrawFrameControl(dc, &box, DFC_BUTTON,
                       DFCS_BUTTONCHECK | (picture == 1 ? DFCS_CHECKED : 0));
  }
  ::SelectObject(dc, old);
  ImageList_Add(ours, pictures, nullptr);
  ::DeleteObject(pictures);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  HIMAGELIST previous = ListView_SetImageList(list, ours, LVSIL_STATE);
  if (own == nullptr) {
    ::SetPropW(list, kListCheckPictures, previous);
  } else if (previous != nullptr) {
    ImageList_Destroy(previous);  // ours of a colour change before
  }
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

// The font a control shows its text in: a label's own; a button's caption bold (larger on the
// large button) unless the style gives one; a navigation or tab button's bold; a link's plain.
// The control is given this font, so what measures its text (the system, a screen reader, a
// test) measures what is drawn.
FONT_SPEC CaptionFont(CONTROL_LOOK look, const LABEL_STYLE& style) {
  switch (look) {
    case CONTROL_LOOK::kNavButton: return FONT_SPEC{9, true};
    case CONTROL_LOOK::kLink: return FONT_SPEC{8, false};
    case CONTROL_LOOK::kButton:
    case CONTROL_LOOK::kLargeButton:
      if (style.font != FONT_SPEC{}) return style.font;
      return FONT_SPEC{look == CONTROL_LOOK::kLargeButton ? 12 : 9, true};
    case CONTROL_LOOK::kLabel:
    case CONTROL_LOOK::kCheck:
    case CONTROL_LOOK::kPicture: break;
  }
  return style.font;
}

// The keyboard focus's dotted frame. The system's inverts what is under it, which under a
// contrast theme gives colours of no theme: there every other pixel is in `colour` instead.
void DrawFocusFrame(HDC dc, const RECT& frame, COLORREF colour) {
  if (CurrentPalette().mode != COLOUR_MODE::kContrast) {
    ::DrawFocusRect(dc, &frame);
    return;
  }
  for (int x = frame.left; x < frame.right; x += 2) {
    ::SetPixel(dc, x, frame.top, colour);
    ::SetPixel(dc, x, frame.bottom - 1, colour);
  }
  for (int y = frame.top; y < frame.bottom; y += 2) {
    ::SetPixel(dc, frame.left, y, colour);
    ::SetPixel(dc, frame.right - 1, y, colour);
  }
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

HFONT TahomaFont(int pointSize, bool bold, int dpi) { return Fonts().Get(pointSize, bold, dpi); }

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

// ---- CBaseDlg ----

void CBaseDlg::SetLayout(int dpi, SIZE designSize) {
  m_scale = CDpiScale(dpi);
  m_designSize = designSize;
}

SIZE CBaseDlg::DesignSize() const {
  if (m_designSize.cx > 0 || m_designSize.cy > 0) return m_designSize;
  RECT client{};
  ::GetClientRect(m_hwnd, &client);
  return SIZE{m_scale.Unscale(client.right), m_scale.Unscale(client.bottom)};
}

RECT CBaseDlg::ScaleRect(int left, int top, int right, int bottom) const {
  return RECT{m_scale(left), m_scale(top), m_scale(right), m_scale(bottom)};
}

void CBaseDlg::PlaceAtDpi(const PLACED& placed) const {
  // Both edges are scaled, so controls that meet at 96 DPI still meet.
  const RECT& d = placed.design;
  const RECT at = ScaleRect(d.left, d.top, d.right, d.bottom);
  ::SetWindowPos(placed.window, nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBaseDlg::Place(HWND child, int x, int y, int width, int height) {
  if (child == nullptr) return;
  const PLACED placed{child, RECT{x, y, x + width, y + height}};
  const auto known = std::find_if(m_placed.begin(), m_placed.end(),
                                  [child](const PLACED& p) { return p.window == child; });
  if (known != m_placed.end()) {
    *known = placed;
  } else {
    m_placed.push_back(placed);
  }
  PlaceAtDpi(placed);
}

void CBaseDlg::SetControlFont(HWND child, FONT_SPEC font) {
  if (child == nullptr) return;
  m_fonts[child] = font;
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(TahomaFont(font, Dpi())), FALSE);
}

void CBaseDlg::AddListColumn(HWND list, int index, std::wstring_view caption, int width,
                             int format) {
  std::wstring text(caption);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  column.fmt = format;
  column.pszText = text.data();
  column.iSubItem = index;
  m_columns.push_back({list, index, width, text});
  column.cx = ColumnWidth(m_columns.back());
  ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

int CBaseDlg::ColumnWidth(const COLUMN& column) const {
  // The header draws its caption with three edges' width of margin at either side.
  const int margin = std::max(m_scale(12), 6 * ::GetSystemMetrics(SM_CXEDGE));
  HDC dc = ::GetDC(column.list);
  if (dc == nullptr) return m_scale(column.width);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(column.list, WM_GETFONT, 0, 0));
  HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, column.caption.c_str(), static_cast<int>(column.caption.size()),
                          &extent);
  if (old != nullptr) ::SelectObject(dc, old);
  ::ReleaseDC(column.list, dc);
  return std::max(m_scale(column.width), static_cast<int>(extent.cx) + margin);
}

void CBaseDlg::ApplyDpi(int dpi) {
  if (dpi <= 0 || dpi == Dpi()) return;
  m_scale = CDpiScale(dpi);
  for (const PLACED& placed : m_placed) PlaceAtDpi(placed);
  for (const auto& [child, font] : m_fonts) {
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(TahomaFont(font, dpi)), FALSE);
  }
  for (const COLUMN& column : m_columns) {
    ::SendMessageW(column.list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column.index),
                   MAKELPARAM(ColumnWidth(column), 0));
  }
  for (CBaseDlg* child : m_children) child->ApplyDpi(dpi);
  OnDpiChanged();
  ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

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
  const RECT at = ScaleRect(x, y, x + width, y + height);
  HWND control = ::CreateWindowExW(0, cls, caption.c_str(), windowStyle, at.left, at.top,
                                   at.right - at.left, at.bottom - at.top, m_hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   LibraryInstance(), nullptr);
  if (control != nullptr) m_placed.push_back({control, RECT{x, y, x + width, y + height}});
  m_looks[id] = look;
  AttachSkinAccessible(control, look);
  m_styles[id] = style;
  SetControlFont(control, CaptionFont(look, style));
  return control;
}

void CBaseDlg::SetLabelStyle(int id, const LABEL_STYLE& style) {
  m_styles[id] = style;
  if (HWND item = Item(id)) {
    SetControlFont(item, style.font);
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
      FillRect(dc, client, Colour(SKIN_COLOUR::kWindow));
      if (m_headerLine) {
        const int top = m_scale(26);
        RECT line{client.left, top, client.right, top + m_scale.Line()};
        FillRect(dc, line, Colour(SKIN_COLOUR::kLine));
      }
      if (!HasBackgroundPicture()) DrawCornerPicture(dc, client, m_scale);
      PaintBackground(dc, client);
      return TRUE;
    }
    case kMsgDpiChanged: {
      // The window moved to a display of another scale (or the scale changed): it takes the
      // size and place the system suggests, then lays itself out at the new DPI.
      if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
        ::SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ApplyDpi(LOWORD(wParam));
      return 0;
    }
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(Brush(Colour(SKIN_COLOUR::kWindow)));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      const auto style = m_styles.find(id);
      const LABEL_STYLE look = style != m_styles.end() ? style->second : LABEL_STYLE{};
      ::SetTextColor(dc, Colour(look.text));
      ::SetBkColor(dc, Colour(look.back));
      if (look.transparentBack) ::SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<INT_PTR>(Brush(Colour(look.back)));
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT: {
      // The lists and fields of the pages: the system's own colours, but in the dark mode.
      if (CurrentPalette().mode != COLOUR_MODE::kDark) {
        *handled = false;
        return 0;
      }
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, Colour(SKIN_COLOUR::kText));
      ::SetBkColor(dc, Colour(SKIN_COLOUR::kWindow));
      return reinterpret_cast<INT_PTR>(Brush(Colour(SKIN_COLOUR::kWindow)));
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
    FillRect(dc, rect, Colour(SKIN_COLOUR::kWindow));
    DrawPicture(id, dc, rect);
    return;
  }
  const std::wstring text = ItemText(id);
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const LABEL_STYLE& style = m_styles[id];
  const int dpi = Dpi();
  const int line = m_scale.Line();
  const auto colour = [](SKIN_COLOUR role) { return Colour(role); };
  FillRect(dc, rect, colour(SKIN_COLOUR::kWindow));
  switch (found->second) {
    case CONTROL_LOOK::kLink: {
      HFONT font = TahomaFont(CaptionFont(found->second, style), dpi);
      const COLORREF link = colour(disabled ? SKIN_COLOUR::kLinkOff : SKIN_COLOUR::kLink);
      DrawCaption(dc, rect, text, font, link, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      // The underline, as wide as the text.
      HGDIOBJ old = ::SelectObject(dc, font);
      SIZE extent{};
      ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      ::SelectObject(dc, old);
      const int y = (rect.top + rect.bottom + extent.cy) / 2 - line;
      RECT underline{rect.left, y, rect.left + extent.cx, y + line};
      FillRect(dc, underline, link);
      break;
    }
    case CONTROL_LOOK::kNavButton: {
      const bool selected = m_selected[id];
      if (selected) {
        RoundRect(dc, rect, colour(SKIN_COLOUR::kNavSelectedFace),
                  colour(SKIN_COLOUR::kNavSelectedEdge), m_scale(6));
        RECT bar{rect.left + m_scale(4), rect.bottom - m_scale(4), rect.right - m_scale(4),
                 rect.bottom - m_scale(1)};
        FillRect(dc, bar, colour(SKIN_COLOUR::kNavBar));
      } else {
        const COLORREF face = colour(pressed ? SKIN_COLOUR::kButtonDown : SKIN_COLOUR::kButton);
        RoundRect(dc, rect, face, pressed ? face : colour(SKIN_COLOUR::kButtonEdge), m_scale(6));
      }
      const SKIN_COLOUR caption = disabled   ? SKIN_COLOUR::kButtonTextOff
                                  : selected ? SKIN_COLOUR::kNavSelectedText
                                  : pressed  ? SKIN_COLOUR::kButtonDownText
                                             : SKIN_COLOUR::kButtonText;
      DrawCaption(dc, rect, text, TahomaFont(CaptionFont(found->second, style), dpi),
                  colour(caption), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    default: {
      const bool large = found->second == CONTROL_LOOK::kLargeButton;
      const COLORREF fill = colour(disabled  ? SKIN_COLOUR::kButtonOff
                                   : pressed ? SKIN_COLOUR::kButtonDown
                                             : SKIN_COLOUR::kButton);
      RoundRect(dc, rect, fill, pressed ? fill : colour(SKIN_COLOUR::kButtonEdge),
                m_scale(large ? 12 : 6));
      const SKIN_COLOUR caption = disabled ? SKIN_COLOUR::kButtonTextOff
                                  : pressed ? SKIN_COLOUR::kButtonDownText
                                            : SKIN_COLOUR::kButtonText;
      DrawCaption(dc, rect, text, TahomaFont(CaptionFont(found->second, style), dpi),
                  colour(caption), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
  }
  if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT inner = rect;
    ::InflateRect(&inner, -m_scale(3), -m_scale(3));
    DrawFocusFrame(dc, inner, found->second == CONTROL_LOOK::kLink
                                  ? Colour(SKIN_COLOUR::kLink)
                                  : Colour(SKIN_COLOUR::kButtonText));
  }
}

void CBaseDlg::ApplyColours() {
  struct COLOURS {
    SKIN_PALETTE palette;
  } colours{CurrentPalette()};
  ::EnumChildWindows(
      m_hwnd,
      [](HWND child, LPARAM data) -> BOOL {
        const SKIN_PALETTE& palette = reinterpret_cast<COLOURS*>(data)->palette;
        wchar_t cls[64] = {};
        ::GetClassNameW(child, cls, 64);
        const std::wstring_view name(cls);
        ApplyControlLook(child);
        if (name == kResultsListClassName || name == kScanListClassName) {
          ::SendMessageW(child, kHtmlListSetColours, 0, reinterpret_cast<LPARAM>(&palette.list));
        } else if (name == WC_LISTVIEWW) {
          const bool dark = palette.mode == COLOUR_MODE::kDark;
          const COLORREF back = dark ? palette[SKIN_COLOUR::kWindow] : ::GetSysColor(COLOR_WINDOW);
          const COLORREF text = dark ? palette[SKIN_COLOUR::kText] : ::GetSysColor(COLOR_WINDOWTEXT);
          ListView_SetBkColor(child, back);
          ListView_SetTextBkColor(child, back);
          ListView_SetTextColor(child, text);
          ApplyCheckBoxPictures(child, palette.mode == COLOUR_MODE::kContrast);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&colours));
  ::RedrawWindow(m_hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

HBRUSH CBaseDlg::Brush(COLORREF colour) {
  HBRUSH& brush = m_brushes[colour];
  if (brush == nullptr) brush = ::CreateSolidBrush(colour);
  return brush;
}

int ProductMessageBox(HWND owner, std::wstring_view text, UINT flags) {
  const std::wstring copy(text);
  return ::MessageBoxW(owner, copy.c_str(), kProductName, flags);
}

void DrawHealthPicture(HDC dc, const RECT& rect, PICTURE picture) {
  const int size = std::min(rect.right - rect.left, rect.bottom - rect.top) - 4;
  const int left = rect.left + (rect.right - rect.left - size) / 2;
  const int top = rect.top + (rect.bottom - rect.top - size) / 2;
  const COLORREF colour = Colour(picture == PICTURE::kGood  ? SKIN_COLOUR::kGood
                                 : picture == PICTURE::kBad ? SKIN_COLOUR::kBad
                                                            : SKIN_COLOUR::kNeutral);
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
  HPEN pen = ::CreatePen(PS_SOLID, stroke, Colour(SKIN_COLOUR::kPictureMark));
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
                Colour(SKIN_COLOUR::kPictureMark), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  ::SelectObject(dc, oldPen);
  ::DeleteObject(pen);
}

void DrawScanAnimation(HDC dc, const RECT& rect, int frame, const CDpiScale& scale) {
  // Eight dots on a circle; the lit one goes round.
  const int cx = (rect.left + rect.right) / 2;
  const int cy = (rect.top + rect.bottom) / 2;
  const int dot = scale(4);
  const int radius = std::min(rect.right - rect.left, rect.bottom - rect.top) / 2 - scale(6);
  for (int i = 0; i < 8; ++i) {
    const double angle = i * 3.14159265358979 / 4;
    const int x = cx + static_cast<int>(radius * std::cos(angle));
    const int y = cy + static_cast<int>(radius * std::sin(angle));
    const int age = (frame - i + 8) % 8;
    const int shade = std::min(255, 0x40 + age * 0x1C);
    // The skin's dots fade from its blue; in the other modes they are one colour but the lit one.
    const COLORREF colour = age == 0 ? Colour(SKIN_COLOUR::kAnimationLit)
                            : CurrentPalette().mode == COLOUR_MODE::kLight
                                ? RGB(shade, shade, 0xFF)
                                : Colour(SKIN_COLOUR::kAnimationDim);
    HBRUSH brush = ::CreateSolidBrush(colour);
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    ::Ellipse(dc, x - dot, y - dot, x + dot, y + dot);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(brush);
    ::DeleteObject(pen);
  }
}

void DrawCornerPicture(HDC dc, const RECT& client, const CDpiScale& scale) {
  DrawCornerPictureRings(dc, client, scale);
}

}  // namespace qv::ui
