// The two markup list windows over CHTMLListModel: CHTMLListCtrl, the results list (check boxes,
// selected counts, the "Ignore" link), and CMyHTMLListCtrl, the scan list (one box picture, the
// error count and the risk, no notification 1). The model lays out, hit-tests and answers clicks
// and keys; the window turns mouse, keyboard and scroll-bar messages into model calls, keeps the
// vertical scroll bar in step with the model's range, paints what PaintRows returns through an
// off-screen bitmap, and tells its parent what happened with WM_NOTIFY.
//
// Notifications go to the parent as WM_NOTIFY, wParam = kHtmlListControlId, lParam = an
// NMHTMLLIST whose hdr.idFrom is kHtmlListControlId and hdr.code one of:
//   kHtmlListNotifyChecked (1)    a click or the space key changed check states, or a problem
//                                 was ignored (results list only)
//   kHtmlListNotifyRightButton (3) the right button went down
//   kHtmlListNotifyDoubleClick (4) a double click of the left button
//   kHtmlListNotifyIgnore (5)     the "Ignore" link area of a problem row was clicked (results
//                                 list only)
// item is the row under the pointer (or the clicked row) and data its bound object; -1 and null
// when there is none.
//
// An ignored problem: the model has already removed its row (and its category row when it was
// the last of its category) and taken it off the category's counts when notification 5 arrives;
// data is the problem. The control never deletes a problem: the owner removes it from the problem
// list in answer to notification 5. Notification 1 follows with item -1 and no data, since the
// row is gone and the problem may be too.
//
// The owner may add and remove rows from inside a notification, and may even destroy the control
// there: a handler that sent a notification touches nothing of the control once it has gone.
//
// The rows point at problems and categories the owner keeps; they must outlive their rows.
// Windows: one thread (the one that called Create) uses the control.
//
// Screen readers: WM_GETOBJECT gives the list's accessible object, whose children are the rows,
// and the list raises the WinEvents of what changes (html_list_accessible.h).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/errors.h"
#include "controls/html_list.h"
#include "controls/win32/gdi_handles.h"

namespace qv {

inline constexpr UINT kHtmlListNotifyChecked = 1;
inline constexpr UINT kHtmlListNotifyRightButton = 3;
inline constexpr UINT kHtmlListNotifyDoubleClick = 4;
inline constexpr UINT kHtmlListNotifyIgnore = 5;

// Questions another window (an assistive tool, a test) may send the list; wParam is a row id.
inline constexpr UINT kHtmlListGetItemCount = WM_USER + 100;  // the number of rows
inline constexpr UINT kHtmlListGetItemType = WM_USER + 101;   // 1 problem, 2 category, -1 none
inline constexpr UINT kHtmlListGetCheckState = WM_USER + 102; // 0, 1, 2; -1 for no such row
// lParam: a RECT of the caller's process that receives where the row was last laid out (client
// coordinates, empty while it is hidden); 1 when the row exists, 0 otherwise.
inline constexpr UINT kHtmlListGetItemRect = WM_USER + 103;
// lParam: a LIST_COLOURS the rows are painted in from now on (SetColours); returns 1.
inline constexpr UINT kHtmlListSetColours = WM_USER + 104;

struct NMHTMLLIST {
  NMHDR hdr;            // the list window, kHtmlListControlId, the code
  int item;             // row id, -1 for none
  const wchar_t* text;  // always the empty text
  void* data;           // the row's CRegistryProblem or CScanCategory, or null
};

// What both lists share; CHTMLListCtrl and CMyHTMLListCtrl choose the kind.
class CHTMLListAccessible;

class CHTMLListWindow {
 public:
  virtual ~CHTMLListWindow();
  CHTMLListWindow(const CHTMLListWindow&) = delete;
  CHTMLListWindow& operator=(const CHTMLListWindow&) = delete;

  // Registers the window class (with double-click messages) when it is not registered yet, makes
  // the pictures and the row font, and creates the list as a visible child of the parent with a
  // border, a vertical scroll bar and a tab stop, control id kHtmlListControlId, at the rectangle
  // (parent client coordinates). The scroll range starts at 0. Rows added before are measured
  // again for the new width. Fails with the system's error code; kErrorAlreadyExists when the
  // window exists already.
  [[nodiscard]] ErrorCode Create(HWND parent, const RECT& rect);

  // Appends a row and returns its id (see CHTMLListModel::AddItem); a height of 0 measures it.
  // Works before Create too (the row is measured again when the window gets its size).
  int AddItem(std::wstring text, int type, void* data, int height = 0);
  // False when there is no such row.
  bool RemoveItem(int id);
  void RemoveAllItems();
  void SetStyle(unsigned style);
  void SetFocusRectangle(bool draw);
  // The colours the rows and pictures are painted in from now on (the product's light ones until
  // set): a dark mode's, or a contrast theme's system colours.
  void SetColours(const LIST_COLOURS& colours);
  // Lays the list out for a display scale: the row font (Tahoma, 11 pixels high at 96 DPI) and
  // the pictures are made again at that DPI and every row is measured again. Create takes the
  // DPI of the parent; a per-monitor aware window calls this when its DPI changes (the list also
  // follows WM_DPICHANGED_AFTERPARENT by itself). Nothing happens at the DPI it has.
  void SetDpi(int dpi);

  // What a click on that part of the row does, wherever the row lies, notifications included
  // (the default action a screen reader offers for a row; see CHTMLListModel::ActivateRow).
  void ActivateRow(int id, HTMLLIST_AREA area);
  // With `focus` the list takes the keyboard focus; then the shown row `id` (-1: none) becomes
  // the selected row. False when the focus was not taken or there is no such shown row.
  bool SelectRow(int id, bool focus);

  [[nodiscard]] HWND Window() const { return m_window; }
  [[nodiscard]] const CHTMLListModel& Model() const { return m_model; }
  [[nodiscard]] bool HasFocus() const { return m_focused; }
  // The picture list the rows are painted with (null before Create).
  [[nodiscard]] HIMAGELIST Images() const { return m_images.get(); }

 protected:
  CHTMLListWindow(HTMLLIST_KIND kind, const wchar_t* className);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  [[nodiscard]] ErrorCode RegisterWindowClass() const;

  void OnPaint();
  void PaintRows(HDC dc, const RECT& client);
  void OnSize(int width, int height);
  void OnVScroll(int request);
  void OnLeftButtonDown(MARKUP_POINT point);
  void OnKeyDown(WPARAM key);
  // The link area of a shown problem row: the hand; elsewhere the arrow.
  void UpdateCursor(MARKUP_POINT point) const;
  // Sends the notification; false when the control was destroyed while the parent handled it.
  bool Notify(UINT code, int item, void* data);
  // After a click or the space key: notifications 5 and 1 as the click asks, then a repaint.
  void Report(const HTMLLIST_CLICK& click);
  void Changed();  // the scroll bar follows the model, and the rows are painted again
  void UpdateScrollBar();
  // Runs a user's action, then tells screen readers what it changed (the list may be gone).
  template <typename Action>
  void Announced(Action action);

  // The row font and pictures at the DPI; false (nothing changed) when either cannot be made.
  bool MakeFontAndImages(int dpi);
  // Measures in the row font on a memory context (no window needed).
  template <typename Action>
  void WithMeasureCanvas(Action action);

  CHTMLListModel m_model;
  const wchar_t* m_className;
  HWND m_window = nullptr;  // destroyed with the object, or by its parent before
  HWND m_parent = nullptr;
  CGdiObject m_font;
  CImageList m_images;
  HCURSOR m_hand = nullptr;
  HCURSOR m_arrow = nullptr;
  bool m_focused = false;
  CHTMLListAccessible* m_accessible = nullptr;  // from the first WM_GETOBJECT until the window goes
  // Goes with the object: a handler that sent a notification holds a weak reference to it and
  // stops when it has expired.
  std::shared_ptr<char> m_lifetime = std::make_shared<char>();
};

// The results list (window class "HTMLListCtrl").
class CHTMLListCtrl final : public CHTMLListWindow {
 public:
  CHTMLListCtrl();
};

// The scan list (window class "MyHTMLListCtrl").
class CMyHTMLListCtrl final : public CHTMLListWindow {
 public:
  CMyHTMLListCtrl();
};

}  // namespace qv
