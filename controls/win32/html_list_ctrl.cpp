#include "controls/win32/html_list_ctrl.h"

#include <algorithm>

#include "controls/control_texts.h"
#include "controls/markup_text.h"
#include "controls/win32/gdi_canvas.h"
#include "controls/win32/html_list_accessible.h"
#include "controls/win32/list_images.h"
#include "platform/win32/win32_dpi.h"

namespace qv {

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP;

// The module this code is linked into (the program or the library), which owns the classes.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  static const int anchor = 0;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&anchor), &module)) {
    module = GetModuleHandleW(nullptr);
  }
  return module;
}

ErrorCode LastErrorOr(ErrorCode fallback) {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<ErrorCode>(error) : fallback;
}

MARKUP_POINT PointOf(LPARAM lParam) {
  // Signed: a captured pointer left of or above the window gives negative coordinates.
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

RECT ToRect(const MARKUP_RECT& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  const CGdiObject brush(CreateSolidBrush(color));
  if (brush) FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

// Markup in a box, from the box's top left, in the row's text colour.
void DrawMarkup(IMarkupCanvas& canvas, std::wstring_view text, MARKUP_RECT box, unsigned format) {
  (void)DrawMarkupText(canvas, text, -1, &box, format);
}

// The keyboard focus's dotted frame. The system's inverts what is under it, which under a
// contrast theme gives colours of no theme: there every other pixel is the text colour instead.
void DrawFocusFrame(HDC dc, const RECT& frame, COLORREF text, bool systemColours) {
  if (!systemColours) {
    DrawFocusRect(dc, &frame);
    return;
  }
  for (int x = frame.left; x < frame.right; x += 2) {
    SetPixel(dc, x, frame.top, text);
    SetPixel(dc, x, frame.bottom - 1, text);
  }
  for (int y = frame.top; y < frame.bottom; y += 2) {
    SetPixel(dc, frame.left, y, text);
    SetPixel(dc, frame.right - 1, y, text);
  }
}

// The row font of both lists at a DPI.
HFONT RowFont(int dpi) {
  return CreateFontW(ScaleToDpi(kRowFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, std::wstring(kRowFontFace).c_str());
}

// BeginPaint ... EndPaint.
class CPaint {
 public:
  explicit CPaint(HWND window) noexcept : m_window(window), m_dc(BeginPaint(window, &m_paint)) {}
  ~CPaint() { EndPaint(m_window, &m_paint); }
  CPaint(const CPaint&) = delete;
  CPaint& operator=(const CPaint&) = delete;

  [[nodiscard]] HDC Dc() const { return m_dc; }

 private:
  HWND m_window;
  PAINTSTRUCT m_paint{};
  HDC m_dc;
};

}  // namespace

CHTMLListWindow::CHTMLListWindow(HTMLLIST_KIND kind, const wchar_t* className)
    : m_model(kind),
      m_className(className),
      m_font(RowFont(kBaseDpi)),
      m_hand(LoadCursorW(nullptr, IDC_HAND)),
      m_arrow(LoadCursorW(nullptr, IDC_ARROW)) {}

CHTMLListWindow::~CHTMLListWindow() {
  ReleaseHtmlListAccessible(m_accessible);
  if (m_window == nullptr) return;
  // The window must not reach this object any more while it goes.
  SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
  DestroyWindow(m_window);
}

// The class names are views of string literals, so their data is terminated.
CHTMLListCtrl::CHTMLListCtrl() : CHTMLListWindow(kResultsList, kResultsListClassName.data()) {}

CMyHTMLListCtrl::CMyHTMLListCtrl() : CHTMLListWindow(kScanList, kScanListClassName.data()) {}

ErrorCode CHTMLListWindow::RegisterWindowClass() const {
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(module, m_className, &existing)) {
    if (existing.lpfnWndProc == &CHTMLListWindow::WindowProc) return kErrorSuccess;
    // Left behind by an earlier copy of this code loaded at the same address: its procedure
    // is gone. (This fails while windows of it still exist; registering then fails too.)
    UnregisterClassW(m_className, module);
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &CHTMLListWindow::WindowProc;
  windowClass.hInstance = module;
  windowClass.hCursor = m_arrow;
  windowClass.lpszClassName = m_className;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return LastErrorOr(kErrorInvalidParameter);
  }
  return kErrorSuccess;
}

ErrorCode CHTMLListWindow::Create(HWND parent, const RECT& rect) {
  if (m_window != nullptr) return kErrorAlreadyExists;
  if (!m_font) return kErrorNotEnoughMemory;
  if (const ErrorCode error = RegisterWindowClass(); error != kErrorSuccess) return error;
  const int dpi = DpiOfWindow(parent);
  if (dpi != m_model.Dpi() || !m_images) {
    if (!MakeFontAndImages(dpi)) return LastErrorOr(kErrorNotEnoughMemory);
    WithMeasureCanvas([&](IMarkupCanvas& canvas) { m_model.SetDpi(canvas, dpi); });
  }
  SetLastError(0);
  // WM_NCCREATE attaches the window to this object (m_window).
  const HWND window = CreateWindowExW(
      0, m_className, L"", kListStyle, rect.left, rect.top, rect.right - rect.left,
      rect.bottom - rect.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHtmlListControlId)), ThisModule(), this);
  if (window == nullptr) return LastErrorOr(kErrorInvalidParameter);
  RECT client{};
  GetClientRect(window, &client);
  OnSize(client.right, client.bottom);
  return kErrorSuccess;
}

bool CHTMLListWindow::MakeFontAndImages(int dpi) {
  CGdiObject font(RowFont(dpi));
  CImageList images =
      CreateListImages(m_model.Kind(), ScaleToDpi(kImageSize, dpi), m_model.Colours());
  if (!font || !images) return false;
  m_font = std::move(font);
  m_images = std::move(images);
  return true;
}

void CHTMLListWindow::SetColours(const LIST_COLOURS& colours) {
  if (colours == m_model.Colours()) return;
  m_model.SetColours(colours);
  // The pictures are drawn in the new colours; nothing is measured again.
  if (m_images) {
    CImageList images =
        CreateListImages(m_model.Kind(), ScaleToDpi(kImageSize, m_model.Dpi()), colours);
    if (images) m_images = std::move(images);
  }
  if (m_window != nullptr) InvalidateRect(m_window, nullptr, FALSE);
}

void CHTMLListWindow::SetDpi(int dpi) {
  if (dpi == m_model.Dpi() && m_images) return;
  if (!MakeFontAndImages(dpi)) return;
  WithMeasureCanvas([&](IMarkupCanvas& canvas) { m_model.SetDpi(canvas, dpi); });
  Changed();
}

template <typename Action>
void CHTMLListWindow::WithMeasureCanvas(Action action) {
  // A memory context measures as the screen does, and needs no window. Should it fail, the
  // canvas measures nothing and the rows get their padding only.
  const CMemoryDc dc(CreateCompatibleDC(nullptr));
  RECT client{};
  if (m_window != nullptr) GetClientRect(m_window, &client);
  CGdiCanvas canvas(dc.get(), static_cast<HFONT>(m_font.get()), client.right);
  action(canvas);
}

template <typename Action>
void CHTMLListWindow::Announced(Action action) {
  const HTMLLIST_SNAPSHOT before = TakeHtmlListSnapshot(m_model);
  const std::weak_ptr<char> alive = m_lifetime;
  action();
  if (alive.expired() || m_window == nullptr) return;
  RaiseHtmlListEvents(m_window, before, m_model, m_focused);
}

int CHTMLListWindow::AddItem(std::wstring text, int type, void* data, int height) {
  int id = -1;
  WithMeasureCanvas([&](IMarkupCanvas& canvas) {
    id = m_model.AddItem(canvas, std::move(text), type, data, height);
  });
  Changed();
  RaiseHtmlListReorder(m_window);
  return id;
}

bool CHTMLListWindow::RemoveItem(int id) {
  if (!m_model.RemoveItem(id)) return false;
  Changed();
  RaiseHtmlListReorder(m_window);
  return true;
}

void CHTMLListWindow::RemoveAllItems() {
  m_model.RemoveAllItems();
  Changed();
  RaiseHtmlListReorder(m_window);
}

void CHTMLListWindow::ActivateRow(int id, HTMLLIST_AREA area) {
  Announced([&] { Report(m_model.ActivateRow(id, area)); });
}

bool CHTMLListWindow::SelectRow(int id, bool focus) {
  if (m_window == nullptr) return false;
  if (focus && GetFocus() != m_window) {
    const std::weak_ptr<char> alive = m_lifetime;
    SetFocus(m_window);
    if (alive.expired() || m_window == nullptr || GetFocus() != m_window) return false;
  }
  if (id < 0) return true;
  bool selected = false;
  Announced([&] {
    selected = m_model.SelectItem(id);
    Changed();
  });
  return selected;
}

void CHTMLListWindow::SetStyle(unsigned style) {
  m_model.SetStyle(style);
  Changed();
}

void CHTMLListWindow::SetFocusRectangle(bool draw) {
  m_model.SetFocusRectangle(draw);
  Changed();
}

void CHTMLListWindow::Changed() {
  if (m_window == nullptr) return;
  UpdateScrollBar();
  InvalidateRect(m_window, nullptr, FALSE);
}

// The range is the total height of the shown rows and the page the client height, so the
// scroll bar's positions are the model's, 0 to the range less the client height. The bar stays
// (disabled when everything fits): if it came and went, the client width, and with it every
// row's height, would change with it.
void CHTMLListWindow::UpdateScrollBar() {
  RECT client{};
  GetClientRect(m_window, &client);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = std::max(0, m_model.TotalHeight() - 1);
  info.nPage = static_cast<UINT>(std::max(0L, client.bottom));
  info.nPos = m_model.ScrollPos();
  SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

LRESULT CALLBACK CHTMLListWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  // No exception may unwind into the system's code: a message whose handling throws is left to
  // the default handling.
  try {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      auto* self = static_cast<CHTMLListWindow*>(create->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      if (self != nullptr) {
        self->m_window = window;
        self->m_parent = create->hwndParent;
      }
    }
    auto* self = reinterpret_cast<CHTMLListWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      // Destroyed with its parent, or by the owner: the object stays, without a window.
      ReleaseHtmlListAccessible(self->m_accessible);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      self->m_window = nullptr;
      self->m_parent = nullptr;
      self->m_focused = false;
      return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT CHTMLListWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_PRINTCLIENT: {
      RECT client{};
      GetClientRect(m_window, &client);
      PaintRows(reinterpret_cast<HDC>(wParam), client);
      return 0;
    }
    case WM_ERASEBKGND: return 1;  // the painting covers the whole client area
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_VSCROLL: OnVScroll(LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL:
      m_model.ScrollWheel(GET_WHEEL_DELTA_WPARAM(wParam));
      Changed();
      return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(PointOf(lParam)); return 0;
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const HTMLLIST_HIT hit = m_model.HitTest(PointOf(lParam));
      const HTMLLIST_ITEM* item = m_model.Item(hit.id);
      (void)Notify(
          message == WM_RBUTTONDOWN ? kHtmlListNotifyRightButton : kHtmlListNotifyDoubleClick,
          hit.id, item != nullptr ? item->data : nullptr);
      return 0;
    }
    case WM_MOUSEMOVE: UpdateCursor(PointOf(lParam)); return 0;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == m_window && LOWORD(lParam) == HTCLIENT) {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(m_window, &cursor);
        UpdateCursor({static_cast<int>(cursor.x), static_cast<int>(cursor.y)});
        return TRUE;
      }
      break;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case kMsgDpiChangedAfterParent: SetDpi(DpiOfWindow(m_window)); return 0;
    case kHtmlListGetItemCount: return m_model.ItemCount();
    case kHtmlListSetColours:
      if (lParam == 0) return 0;
      SetColours(*reinterpret_cast<const LIST_COLOURS*>(lParam));
      return 1;
    case kHtmlListGetItemType:
    case kHtmlListGetCheckState:
    case kHtmlListGetItemRect: {
      const HTMLLIST_ITEM* item = m_model.Item(static_cast<int>(wParam));
      if (message == kHtmlListGetItemType) return item != nullptr ? item->type : -1;
      if (message == kHtmlListGetCheckState) return item != nullptr ? item->checkState : -1;
      if (item == nullptr || lParam == 0) return 0;
      *reinterpret_cast<RECT*>(lParam) = RECT{item->rect.left, item->rect.top, item->rect.right,
                                              item->rect.bottom};
      return 1;
    }
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      m_focused = message == WM_SETFOCUS;
      InvalidateRect(m_window, nullptr, FALSE);
      if (m_focused) RaiseHtmlListFocus(m_window, m_model);
      return 0;
    case WM_UPDATEUISTATE:
      // The focus cue follows the window's state (shown once the keyboard is used).
      DefWindowProcW(m_window, message, wParam, lParam);
      InvalidateRect(m_window, nullptr, FALSE);
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = HtmlListGetObject(*this, m_accessible, wParam, lParam)) {
        return object;
      }
      break;
    default: break;
  }
  return DefWindowProcW(m_window, message, wParam, lParam);
}

void CHTMLListWindow::OnSize(int width, int height) {
  WithMeasureCanvas([&](IMarkupCanvas& canvas) { m_model.Resize(canvas, width, height); });
  Changed();
}

void CHTMLListWindow::OnVScroll(int request) {
  switch (request) {
    case SB_LINEUP: m_model.ScrollLines(-1); break;
    case SB_LINEDOWN: m_model.ScrollLines(1); break;
    case SB_PAGEUP: m_model.ScrollPages(-1); break;
    case SB_PAGEDOWN: m_model.ScrollPages(1); break;
    case SB_TOP: m_model.ScrollTo(0); break;
    case SB_BOTTOM: m_model.ScrollTo(m_model.MaxScrollPos()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      // The 32-bit track position: the message's own is 16 bits, too few for a long list.
      SCROLLINFO info{};
      info.cbSize = sizeof(info);
      info.fMask = SIF_TRACKPOS;
      if (!GetScrollInfo(m_window, SB_VERT, &info)) return;
      m_model.ScrollTo(info.nTrackPos);
      break;
    }
    default: return;  // SB_ENDSCROLL
  }
  Changed();
}

void CHTMLListWindow::OnLeftButtonDown(MARKUP_POINT point) {
  if (GetFocus() != m_window) {
    const std::weak_ptr<char> alive = m_lifetime;
    SetFocus(m_window);
    // Focus messages run other windows' code, which may have destroyed this list.
    if (alive.expired() || m_window == nullptr) return;
  }
  Announced([&] { Report(m_model.OnLeftButtonDown(point)); });
}

void CHTMLListWindow::OnKeyDown(WPARAM key) {
  Announced([&] {
    switch (key) {
      case VK_UP:
        (void)m_model.OnKeyUp();
        Changed();
        break;
      case VK_DOWN:
        (void)m_model.OnKeyDown();
        Changed();
        break;
      case VK_SPACE: Report(m_model.OnKeySpace()); break;
      default: break;
    }
  });
}

void CHTMLListWindow::Report(const HTMLLIST_CLICK& click) {
  Changed();
  if (click.ignored != nullptr && !Notify(kHtmlListNotifyIgnore, click.id, click.ignored)) return;
  if (click.notifyChanged) {
    const HTMLLIST_ITEM* item = click.ignored != nullptr ? nullptr : m_model.Item(click.id);
    (void)Notify(kHtmlListNotifyChecked, item != nullptr ? click.id : -1,
                 item != nullptr ? item->data : nullptr);
  }
}

bool CHTMLListWindow::Notify(UINT code, int item, void* data) {
  if (m_window == nullptr) return false;
  NMHTMLLIST record{};
  record.hdr.hwndFrom = m_window;
  record.hdr.idFrom = kHtmlListControlId;
  record.hdr.code = code;
  record.item = item;
  record.text = L"";
  record.data = data;
  const HWND parent = m_parent != nullptr ? m_parent : GetParent(m_window);
  const std::weak_ptr<char> alive = m_lifetime;
  SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(kHtmlListControlId),
               reinterpret_cast<LPARAM>(&record));
  return !alive.expired() && m_window != nullptr;
}

void CHTMLListWindow::UpdateCursor(MARKUP_POINT point) const {
  const HTMLLIST_HIT hit = m_model.HitTest(point);
  SetCursor(hit.area == kAreaLink ? m_hand : m_arrow);
}

void CHTMLListWindow::OnPaint() {
  const CPaint paint(m_window);
  if (paint.Dc() == nullptr) return;
  RECT client{};
  GetClientRect(m_window, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  // Drawn off screen and copied in one piece, so a repaint never flickers.
  const CMemoryDc buffer(CreateCompatibleDC(paint.Dc()));
  const CGdiObject bitmap(CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
  if (!buffer || !bitmap) {
    PaintRows(paint.Dc(), client);
    return;
  }
  const CSelectedObject selected(buffer.get(), bitmap.get());
  PaintRows(buffer.get(), client);
  BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
}

void CHTMLListWindow::PaintRows(HDC dc, const RECT& client) {
  // The context is as before afterwards (WM_PRINTCLIENT paints on the caller's).
  const CSavedDc whole(dc);
  FillSolid(dc, client, static_cast<COLORREF>(m_model.Colours().background));
  CGdiCanvas canvas(dc, static_cast<HFONT>(m_font.get()), client.right);
  SetBkMode(dc, TRANSPARENT);
  // The keyboard focus shows as a dotted frame round the selected row, or round the whole list
  // while no selected row is in view, unless the window hides focus cues (mouse use).
  const bool focusCue =
      m_focused && (SendMessageW(m_window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
  bool framed = false;
  const bool systemColours = m_model.Colours().rule == MARKUP_COLOUR_RULE::kTextColour;
  for (const HTMLLIST_ROW_PAINT& row : m_model.PaintRows(canvas)) {
    RECT rect = ToRect(row.rect);
    // Everything of a row stays inside it (a row of given height may hold taller text).
    const CSavedDc saved(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    FillSolid(dc, rect, static_cast<COLORREF>(row.background));
    if (row.sunkenEdge) DrawEdge(dc, &rect, EDGE_SUNKEN, BF_LEFT | BF_BOTTOM);
    SetTextColor(dc, static_cast<COLORREF>(row.textColour));
    canvas.SetShownColours(&m_model.Colours(), row.selected);
    if (row.markup) {
      DrawMarkup(canvas, row.text, row.textBox, row.textFormat);
    } else {
      RECT box = ToRect(row.textBox);
      DrawTextW(dc, row.text.c_str(), static_cast<int>(row.text.size()), &box,
                row.textFormat | DT_NOPREFIX);
    }
    if (!row.linkText.empty()) DrawMarkup(canvas, row.linkText, row.linkBox, 0);
    if (!row.countText.empty()) DrawMarkup(canvas, row.countText, row.countBox, 0);
    if (!row.riskText.empty()) DrawMarkup(canvas, row.riskText, row.riskBox, 0);
    if (row.markerImage >= 0) {
      ImageList_Draw(m_images.get(), row.markerImage, dc, row.markerPos.x, row.markerPos.y,
                     ILD_TRANSPARENT);
    }
    if (row.checkImage >= 0) {
      ImageList_Draw(m_images.get(), row.checkImage, dc, row.checkPos.x, row.checkPos.y,
                     ILD_TRANSPARENT);
    }
    if (row.focusRect || (focusCue && row.id == m_model.SelectedItem())) {
      RECT frame = rect;
      InflateRect(&frame, -1, -1);
      DrawFocusFrame(dc, frame, static_cast<COLORREF>(row.textColour), systemColours);
      framed = true;
    }
  }
  if (focusCue && !framed) {
    RECT frame = client;
    InflateRect(&frame, -1, -1);
    DrawFocusFrame(dc, frame, static_cast<COLORREF>(m_model.Colours().text), systemColours);
  }
}

}  // namespace qv
