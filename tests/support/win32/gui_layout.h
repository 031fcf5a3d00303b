// What the GUI tests check of a window's layout: every control inside its parent, every text of a
// label, button, tab or list column header whole in its place; and changing a window's DPI as the
// system does when it moves to another display; every page of the main window shown in turn.
// Windows build only.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <commctrl.h>

#include <cwctype>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "base/dpi_scale.h"
#include "base/utf16.h"
#include "tests/support/win32/gui_driver.h"
#include "ui/win32/resource.h"

namespace qv::test::gui {

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  std::wstring lower(name);
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  return lower;
}

inline SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{client.right, client.bottom};
}

inline std::string Describe(HWND window) {
  std::ostringstream text;
  text << ToUtf8(ClassOf(window)) << " " << GetDlgCtrlID(window) << " \"" << ToUtf8(Text(window))
       << "\"";
  return text.str();
}

// The extent of the text in the control's own font, laid out as the control lays it out: on one
// line, or wrapped at the control's width.
inline RECT TextExtent(HWND control, const std::wstring& text, UINT format, int width) {
  HDC dc = GetDC(control);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT extent{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent;
}

// The visible controls of the window's dialogs and pages (not the parts a system control makes
// inside itself: a date picker's up-down, a list's header).
inline std::vector<HWND> DialogControls(HWND root) {
  std::vector<HWND> children;
  EnumChildWindows(
      root,
      [](HWND child, LPARAM list) -> BOOL {
        if (IsWindowVisible(child) && ClassOf(GetParent(child)) == L"#32770") {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

// The column headers of a list view whose caption does not fit its column (the header's margins
// on both sides included).
inline void AddCutHeaders(HWND list, std::vector<std::string>* faults) {
  HWND header = ListView_GetHeader(list);
  if (header == nullptr) return;
  const int margin = 2 * 3 * GetSystemMetrics(SM_CXEDGE);
  const int count = Header_GetItemCount(header);
  for (int i = 0; i < count; ++i) {
    wchar_t caption[256] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = caption;
    item.cchTextMax = 256;
    if (!Header_GetItem(header, i, &item)) continue;
    const RECT extent = TextExtent(header, caption, DT_SINGLELINE, item.cxy);
    if (extent.right + margin > item.cxy) {
      std::ostringstream text;
      text << Describe(list) << " column \"" << ToUtf8(caption) << "\" needs "
           << extent.right + margin << " in " << item.cxy;
      faults->push_back(text.str());
    }
  }
}

// What is cut off below the window: a visible control outside its parent's client area, a text
// of a label, button, tab or group box that does not fit its control, or a list column's caption
// that does not fit its column.
inline std::vector<std::string> CutOff(HWND root) {
  std::vector<std::string> faults;
  for (HWND child : DialogControls(root)) {
    HWND parent = GetParent(child);
    RECT area{};
    GetClientRect(parent, &area);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&area), 2);
    RECT rect{};
    GetWindowRect(child, &rect);
    if (rect.left < area.left || rect.top < area.top || rect.right > area.right ||
        rect.bottom > area.bottom) {
      faults.push_back(Describe(child) + " lies outside its parent");
    }
    const std::wstring cls = ClassOf(child);
    if (cls == L"syslistview32") AddCutHeaders(child, &faults);
    const std::wstring text = Text(child);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    const SIZE size = ClientSize(child);
    UINT format = 0;
    if (text.empty()) continue;
    if (cls == L"static") {
      const DWORD kind = style & SS_TYPEMASK;
      if (kind > SS_RIGHT && kind != SS_SIMPLE && kind != SS_LEFTNOWORDWRAP) continue;
      format = (style & SS_CENTERIMAGE) != 0 || kind == SS_SIMPLE || kind == SS_LEFTNOWORDWRAP
                   ? DT_SINGLELINE
                   : DT_WORDBREAK;
      format |= DT_EXPANDTABS;
      if ((style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
    } else if (cls == L"button") {
      // A check box of the settings page is as narrow as its square: it shows no text (a label
      // beside it says what it means). Those of the schedule editor show theirs.
      const DWORD kind = style & BS_TYPEMASK;
      if ((kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX) && size.cx < 2 * size.cy) continue;
      format = DT_SINGLELINE;
    } else {
      continue;
    }
    const RECT extent = TextExtent(child, text, format, size.cx);
    const int box = (cls == L"button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                        ? GetSystemMetrics(SM_CXMENUCHECK) + 4
                        : 0;
    if (extent.right + box > size.cx || extent.bottom > size.cy) {
      std::ostringstream text8;
      text8 << Describe(child) << " needs " << extent.right + box << "x" << extent.bottom
            << " in " << size.cx << "x" << size.cy;
      faults.push_back(text8.str());
    }
  }
  return faults;
}

// Tells the window its DPI changed to `dpi`, with the frame the system would suggest for a client
// area of that size (pixels at 96 DPI) at the window's place.
inline void ChangeDpi(HWND window, int dpi, int clientWidth96, int clientHeight96) {
  RECT frame{0, 0, ScaleToDpi(clientWidth96, dpi), ScaleToDpi(clientHeight96, dpi)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  RECT now{};
  GetWindowRect(window, &now);
  RECT suggested{now.left, now.top, now.left + frame.right - frame.left,
                 now.top + frame.bottom - frame.top};
  SendMessageW(window, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(dpi, dpi),
               reinterpret_cast<LPARAM>(&suggested));
}

// Shows every page of the main window in turn (each tab of the container pages) and hands it to
// `check` with its name ("options", "settings", "ignore-list" ... "statistics").
inline void WalkPages(HWND main, const std::function<void(HWND, const std::wstring&)>& check) {
  const struct {
    int nav;
    int tab;
    int shown;
    const wchar_t* name;
  } pages[] = {
      {0, 0, IDC_SCAN_NOW, L"options"},
      {1, IDC_CONTAINER_TAB_FIRST, IDC_OPTION_CHECK_FIRST, L"settings"},
      {1, IDC_CONTAINER_TAB_FIRST + 1, IDC_IGNORE_LIST, L"ignore-list"},
      {1, IDC_CONTAINER_TAB_FIRST + 2, IDC_SCHEDULE_LIST, L"schedule"},
      {2, IDC_TAB_BACKUPS, IDC_BACKUP_LIST, L"backups"},
      {2, IDC_TAB_RESTORE_POINTS, IDC_RESTORE_POINTS, L"restore-points"},
      {3, IDC_TAB_MANAGE_STARTUPS, IDC_STARTUP_LIST, L"startups"},
      {3, IDC_TAB_DEFRAGMENT, IDC_DEFRAGMENT, L"defragment"},
      {4, 0, IDC_STATS_DATE, L"statistics"},
  };
  for (const auto& page : pages) {
    Click(main, IDC_NAV_FIRST + page.nav);
    if (page.tab != 0) {
      ASSERT_TRUE(WaitFor([&] { return Find(main, page.tab) != nullptr; }, 5));
      Click(main, page.tab);
    }
    ASSERT_TRUE(WaitFor([&] { return Find(main, page.shown) != nullptr; }, 5))
        << ToUtf8(page.name);
    check(main, page.name);
  }
}

// A scan from the options page, handed to `check` while it runs ("scan-progress") and on the
// results ("scan-results").
inline void ScanToResults(HWND main,
                          const std::function<void(HWND, const std::wstring&)>& check) {
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 5));
  Click(main, IDC_SCAN_NOW);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  EXPECT_TRUE(WaitFor([&] { return Text(Find(main, IDC_SCAN_COUNT)) != L"0"; }, 30));
  check(main, L"scan-progress");
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_FIX_ERRORS) != nullptr; }, 120));
  check(main, L"scan-results");
}

}  // namespace qv::test::gui
