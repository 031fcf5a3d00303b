// The skinned dialog every page and dialog of the main window derives from (CBaseDlg): the
// controls it makes in code, their 96-DPI layout shown at the window's DPI and laid out again when
// it changes, the colours of its labels and lists in the user's colour mode, and its background.
// It touches its own window and children; the owner-drawn controls are painted in
// skinned_buttons.cpp, the pictures in skin_pictures.cpp.
#include "ui/win32/framework.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "controls/control_texts.h"
#include "controls/win32/html_list_ctrl.h"
#include "platform/win32/win32_dpi.h"
#include "ui/win32/skin_accessible.h"
#include "ui/win32/skin_drawing.h"

namespace qv::ui {
namespace {

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

}  // namespace

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

}  // namespace qv::ui
