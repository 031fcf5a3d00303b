// What a screen reader reads of the two markup list windows: the accessible object WM_GETOBJECT
// hands out for the client area (IAccessible over a minimal IDispatch, one per window), and the
// WinEvents that tell a reader what an action changed.
//
// The object is the list (ROLE_SYSTEM_LIST). Its children are the rows, simple elements whose
// child id is the row id + 1, in list order:
//   category row  ROLE_SYSTEM_GROUPING: it heads the problem rows that follow it, which are its
//                 siblings, not its children. Name: the category's display name, whole (the
//                 painted text may be shortened). Description: its count column as text
//                 ("1/2 Error(s) Selected"; on the scan list the total and the risk, "2, LOW").
//                 Expanded or collapsed. Results list: checked when every problem of the
//                 category is selected, mixed when some are; default action "Check" or "UnCheck"
//                 (what its box and the space key do).
//   problem row   ROLE_SYSTEM_LISTITEM. Name: its markup as plain text (MarkupPlainText).
//                 Results list: checked while its problem is selected (the problem's own flag);
//                 default action "Ignore" (its link). The scan list shows problems still being
//                 found: its rows have no check state and no action.
// Every row is focusable and selectable; the selected row is selected, and focused while the
// list has the keyboard focus; a row folded under its category is invisible, one scrolled out of
// the client area offscreen. What the list says of itself (its name from the window text, its
// state, place and parent) is the system's standard object for the window.
//
// Lifetime: the window keeps one reference from the first WM_GETOBJECT on. When the window goes
// the object is cut loose: every call then fails with CO_E_OBJNOTCONNECTED, however long a
// client holds it. Calls arrive on the window's thread (COM brings other threads' and processes'
// calls there), which therefore needs COM (apartment-threaded) for WM_GETOBJECT to succeed.
#pragma once

#include <windows.h>

#include <vector>

#include "controls/html_list.h"

namespace qv {

class CHTMLListWindow;
class CHTMLListAccessible;

// WM_GETOBJECT of a list window: for OBJID_CLIENT the list's object (made at the first request
// and kept in `object`) through LresultFromObject, or its error; 0 for any other object id, which
// the window leaves to DefWindowProc.
[[nodiscard]] LRESULT HtmlListGetObject(CHTMLListWindow& list, CHTMLListAccessible*& object,
                                        WPARAM flags, LPARAM objectId);
// The list window is going: the object stops reaching it, COM's references from other
// apartments and processes are dropped, and the window's own reference goes. Null stays null.
void ReleaseHtmlListAccessible(CHTMLListAccessible*& object);

// What a reader knows of the rows, taken before an action to tell what it changed.
struct HTMLLIST_SNAPSHOT {
  int count = 0;
  int selected = -1;
  const void* selectedData = nullptr;  // tells the selected row from another one at its id
  std::vector<LONG> states;  // per row: checked, mixed, expanded, collapsed, invisible
};
[[nodiscard]] HTMLLIST_SNAPSHOT TakeHtmlListSnapshot(const CHTMLListModel& model);
// After an action: EVENT_OBJECT_REORDER when rows came or went, otherwise
// EVENT_OBJECT_STATECHANGE for every row whose check, folding or visibility changed; then, when
// another row is selected or the selected one has another id now, EVENT_OBJECT_FOCUS (while the
// list has the focus) and EVENT_OBJECT_SELECTION for it.
void RaiseHtmlListEvents(HWND window, const HTMLLIST_SNAPSHOT& before,
                         const CHTMLListModel& model, bool focused);
// The list got the keyboard focus: EVENT_OBJECT_FOCUS for its selected row (nothing without one).
void RaiseHtmlListFocus(HWND window, const CHTMLListModel& model);
// Rows were added or removed: EVENT_OBJECT_REORDER.
void RaiseHtmlListReorder(HWND window);

}  // namespace qv
