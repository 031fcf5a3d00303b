// The windows at 150 % display scale: the prefix's LogPixels is 144 (set before the program
// starts) and the Xvfb screen 1920x1440. Every page, the scan's pages, the repair's progress, the
// registry backup and the schedule editor are photographed (QV_SCREENSHOT_DIR, "dpi144-*") and
// checked whole: each control inside its parent's client area, each text inside its control at
// the control's font, each list column's caption inside its column. The main window's client area is 1.5 times its 96-DPI size; a DPI change
// (WM_DPICHANGED) lays it out at 96 DPI and back. The launcher shows its splash and the window at
// the same scale.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "controls/control_texts.h"
#include "controls/win32/html_list_ctrl.h"
#include "launcher/launcher_texts.h"
#include "launcher/win32/splash_picture.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/gui_layout.h"
#include "ui/ui_texts.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"
#include "ui/win32/schedule_editor.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif
#ifndef QV_BIN_DIR
#error QV_BIN_DIR must name the folder of Quarvelo.exe and QuarveloDll.dll
#endif

namespace qv {
namespace {

using namespace test::gui;  // NOLINT: the driver's vocabulary

constexpr int kDpi = 144;

int Scaled(int value) { return ScaleToDpi(value, kDpi); }

void ExpectWhole(HWND window, const wchar_t* name) {
  for (const std::string& fault : CutOff(window)) ADD_FAILURE() << ToUtf8(name) << ": " << fault;
}

void ShotWhole(HWND window, const std::wstring& name) {
  const std::wstring shot = L"dpi144-" + name;
  Shot(window, shot.c_str());
  ExpectWhole(window, shot.c_str());
}

LONG FontHeight(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
             &font);
  return font.lfHeight;
}

HWND FindByClass(HWND root, const wchar_t* cls) {
  struct SEARCH {
    std::wstring cls;
    HWND found;
  } search{cls, nullptr};
  for (wchar_t& c : search.cls) c = static_cast<wchar_t>(std::towlower(c));
  EnumChildWindows(
      root,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(data);
        if (ClassOf(child) != s->cls) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The rows of a markup list: each shown row across the list's width, the first one's height.
int FirstRowHeight(HWND list) {
  const int count = static_cast<int>(SendMessageW(list, kHtmlListGetItemCount, 0, 0));
  const SIZE client = ClientSize(list);
  for (int row = 0; row < count; ++row) {
    RECT rect{};
    SendMessageW(list, kHtmlListGetItemRect, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&rect));
    if (rect.bottom <= rect.top || rect.top >= client.cy) continue;
    EXPECT_EQ(rect.left, 0) << row;
    EXPECT_EQ(rect.right, client.cx) << row;
  }
  RECT first{};
  SendMessageW(list, kHtmlListGetItemRect, 0, reinterpret_cast<LPARAM>(&first));
  return first.bottom - first.top;
}

void ChangeDpi(HWND main, int dpi) {
  test::gui::ChangeDpi(main, dpi, ui::kMainClientWidth, ui::kMainClientHeight);
}

// Answers the product's message boxes with OK until `done` holds.
void AnswerBoxesUntil(HWND main, const std::function<bool()>& done, int seconds) {
  EXPECT_TRUE(WaitFor(
      [&] {
        if (HWND box = FindDialog(ui::kMainCaption, main)) {
          if (GetDlgItem(box, 0xFFFF) != nullptr) PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return done();
      },
      seconds));
}

TEST(DisplayScaleGui, EveryPageAndDialogAt144DpiIsOneAndAHalfTimesAsLargeAndWhole) {
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), kDpi) << "the prefix's LogPixels is not 144";
  ReleaseDC(nullptr, screen);
  const LIBRARY library = LoadLibraryAt(QV_DLL_PATH);
  ASSERT_NE(library.showMainDialog, nullptr) << GetLastError();
  int result = -1;
  HWND main = nullptr;
  // A failed assertion returns early: the window is closed and its thread joined all the same.
  struct CLOSER {
    std::thread thread;
    HWND* window;
    ~CLOSER() {
      if (*window != nullptr) PostMessageW(*window, WM_CLOSE, 0, 0);
      if (thread.joinable()) thread.join();
    }
  } uiThread{std::thread([&] { result = library.showMainDialog(); }), &main};
  ASSERT_TRUE(WaitFor([&] { return (main = FindDialog(ui::kMainCaption)) != nullptr; }, 30));
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 10));

  // The client area is the 96-DPI one times 1.5; the window is that and the system's frame.
  const SIZE client = ClientSize(main);
  EXPECT_NEAR(client.cx, 1.5 * ui::kMainClientWidth, 1);
  EXPECT_NEAR(client.cy, 1.5 * ui::kMainClientHeight, 1);
  RECT frame{0, 0, client.cx, client.cy};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE)));
  RECT window{};
  GetWindowRect(main, &window);
  EXPECT_EQ(window.right - window.left, frame.right - frame.left);
  EXPECT_EQ(window.bottom - window.top, frame.bottom - frame.top);
  HWND title = Find(main, IDC_PAGE_TITLE);
  EXPECT_EQ(FontHeight(title), FontHeightForDpi(18, kDpi));

  WalkPages(main, [](HWND page, const std::wstring& name) { ShotWhole(page, name); });

  // A scan of the demo registry: its live list while it runs, then the results.
  ScanToResults(main, [](HWND page, const std::wstring& name) { ShotWhole(page, name); });
  HWND results = FindByClass(main, std::wstring(kResultsListClassName).c_str());
  ASSERT_NE(results, nullptr);
  const int rowAt144 = FirstRowHeight(results);

  // A move to a display of 96 DPI lays everything out at 96, fonts and rows included; back at
  // 144 everything is as it was.
  ChangeDpi(main, kBaseDpi);
  EXPECT_EQ(ClientSize(Find(main, IDC_NAV_FIRST)).cx, 116);
  EXPECT_EQ(ClientSize(Find(main, IDC_NAV_FIRST)).cy, 36);
  EXPECT_EQ(FontHeight(title), FontHeightForDpi(18, kBaseDpi));
  const int rowAt96 = FirstRowHeight(results);
  Shot(main, L"dpi144-changed-to-96");
  ChangeDpi(main, kDpi);
  EXPECT_EQ(ClientSize(main).cx, client.cx);
  EXPECT_EQ(ClientSize(main).cy, client.cy);
  EXPECT_EQ(ClientSize(Find(main, IDC_NAV_FIRST)).cx, Scaled(116));
  EXPECT_EQ(ClientSize(Find(main, IDC_NAV_FIRST)).cy, Scaled(36));
  EXPECT_EQ(FontHeight(title), FontHeightForDpi(18, kDpi));
  EXPECT_EQ(FirstRowHeight(results), rowAt144);
  EXPECT_NEAR(rowAt144, 1.5 * rowAt96, 2);
  ShotWhole(main, L"scan-results-after-dpi-change");

  // "Fix Errors": the repair's progress dialog, then the statistics.
  Click(main, IDC_FIX_ERRORS);
  HWND progress = nullptr;
  AnswerBoxesUntil(main, [&] { return (progress = FindDialog(ui::kRepairCaption.english.data())) != nullptr; }, 30);
  if (progress != nullptr) ShotWhole(progress, L"repair-progress");
  AnswerBoxesUntil(
      main,
      [&] { return FindDialog(ui::kRepairCaption.english.data()) == nullptr && Find(main, IDC_STATS_DATE); },
      120);
  ShotWhole(main, L"statistics-after-repair");

  // The full registry backup's dialog.
  Click(main, IDC_NAV_FIRST + 2);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_TAB_BACKUPS) != nullptr; }, 5));
  Click(main, IDC_TAB_BACKUPS);  // the container shows the tab it showed last
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_BACKUP_CREATE) != nullptr; }, 5));
  Click(main, IDC_BACKUP_CREATE);
  HWND backup = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (backup = FindDialog(ui::kBackupCaption.english.data())) != nullptr; }, 30));
  ShotWhole(backup, L"registry-backup");
  AnswerBoxesUntil(main, [&] { return FindDialog(ui::kBackupCaption.english.data()) == nullptr; }, 300);

  // Manage Schedule opens our schedule editor (Wine has no schedule page).
  Click(main, IDC_NAV_FIRST + 1);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_CONTAINER_TAB_FIRST + 2) != nullptr; }, 5));
  Click(main, IDC_CONTAINER_TAB_FIRST + 2);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_MANAGE_SCHEDULE) != nullptr; }, 5));
  Click(main, IDC_MANAGE_SCHEDULE);
  HWND editor = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (editor = FindDialog(ui::kScheduleEditorCaption.english.data())) != nullptr; }, 30));
  SendMessageW(GetDlgItem(editor, ui::kScheduleEditorNew), BM_CLICK, 0, 0);
  ShotWhole(editor, L"schedule-editor");
  PostMessageW(GetDlgItem(editor, IDCANCEL), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(editor); }, 10));

  PostMessageW(main, WM_CLOSE, 0, 0);
  uiThread.thread.join();
  EXPECT_EQ(result, 1);
  FreeLibrary(library.module);
}

// The program as the user starts it: its manifest's awareness, the splash drawn at 144 DPI and
// the main window at the same scale.
TEST(DisplayScaleGui, TheLauncherShowsItsSplashAndWindowAt144Dpi) {
  std::wstring command = L"\"Z:" + FromUtf8(QV_BIN_DIR) + L"/Quarvelo.exe\"";
  std::replace(command.begin(), command.end(), L'/', L'\\');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process))
      << GetLastError();
  CloseHandle(process.hThread);
  HWND splash = nullptr;
  // FindWindowW compares captions without case, and the splash's is the product name in
  // capitals: the main window is the visible one of that name that is not the splash.
  const auto visibleNamed = [](const wchar_t* caption, HWND except = nullptr) {
    for (HWND found = FindWindowExW(nullptr, nullptr, nullptr, caption); found != nullptr;
         found = FindWindowExW(nullptr, found, nullptr, caption)) {
      if (found != except && IsWindowVisible(found)) return found;
    }
    return static_cast<HWND>(nullptr);
  };
  ASSERT_TRUE(WaitFor([&] { return (splash = visibleNamed(kSplashTitle)) != nullptr; }, 30));
  RECT rect{};
  GetWindowRect(splash, &rect);
  EXPECT_EQ(rect.right - rect.left, Scaled(kSplashPictureWidth));
  EXPECT_EQ(rect.bottom - rect.top, Scaled(kSplashPictureHeight));
  Shot(splash, L"dpi144-splash");
  HWND main = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (main = visibleNamed(ui::kMainCaption, splash)) != nullptr; }, 30));
  EXPECT_NEAR(ClientSize(main).cx, 1.5 * ui::kMainClientWidth, 1);
  EXPECT_NEAR(ClientSize(main).cy, 1.5 * ui::kMainClientHeight, 1);
  Shot(main, L"dpi144-launcher-main");
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace qv
