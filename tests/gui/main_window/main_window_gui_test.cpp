// QuarveloDll.dll under Wine and Xvfb, driven from a second thread of the test by control id and
// window text while an export runs the main window: the state exports, page switching, a scan of
// the seeded prefix from "Scan Now" with its live list, the results, "Fix Errors" with the
// repair's progress dialog, the statistics, the close guard. Screenshots of every window go to
// QV_SCREENSHOT_DIR.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "repair/repair_driver.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/registry_link.h"
#include "tests/support/win32/screenshot.h"
#include "ui/ui_texts.h"
#include "ui/win32/resource.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif

namespace qv {
namespace {

using namespace test::gui;  // NOLINT: the driver's vocabulary

LIBRARY Load() { return LoadLibraryAt(QV_DLL_PATH); }

// ---- The lists, through the questions they answer ----

constexpr UINT kGetItemCount = WM_USER + 100;
constexpr UINT kGetItemType = WM_USER + 101;
constexpr UINT kGetCheckState = WM_USER + 102;
constexpr UINT kGetItemRect = WM_USER + 103;

HWND FindByClass(HWND root, const wchar_t* cls) {
  struct SEARCH {
    const wchar_t* cls;
    HWND found;
  } search{cls, nullptr};
  EnumChildWindows(
      root,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(data);
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (std::wstring(name) == s->cls) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<int> RowTypes(HWND list) {
  std::vector<int> types;
  const int count = static_cast<int>(SendMessageW(list, kGetItemCount, 0, 0));
  for (int i = 0; i < count; ++i) {
    types.push_back(static_cast<int>(SendMessageW(list, kGetItemType, static_cast<WPARAM>(i), 0)));
  }
  return types;
}

// The problem rows under the heading row at `heading`.
int CategoryRows(const std::vector<int>& rows, int heading) {
  int count = 0;
  for (std::size_t i = static_cast<std::size_t>(heading) + 1; i < rows.size() && rows[i] == 1; ++i) {
    ++count;
  }
  return count;
}

int CheckState(HWND list, int row) {
  return static_cast<int>(SendMessageW(list, kGetCheckState, static_cast<WPARAM>(row), 0));
}

RECT RowRect(HWND list, int row) {
  RECT rect{};
  EXPECT_EQ(SendMessageW(list, kGetItemRect, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect)), 1);
  return rect;
}

// A left click at x pixels from the row's left edge, halfway down.
void ClickRow(HWND list, int row, int x) {
  const RECT rect = RowRect(list, row);
  const int y = (rect.top + rect.bottom) / 2;
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rect.left + x, y));
  PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(rect.left + x, y));
}

void ClickIgnore(HWND list, int row) {
  const RECT rect = RowRect(list, row);
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rect.right - 20, rect.bottom - 8));
  PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(rect.right - 20, rect.bottom - 8));
}

// Answers every message box of the product with OK until the progress dialog has gone and the
// statistics page shows; returns the messages in order. With a name, the progress dialog is
// photographed once.
std::vector<std::wstring> RepairUntilStatistics(HWND main, const wchar_t* shot) {
  std::vector<std::wstring> messages;
  bool shotTaken = shot == nullptr;
  bool seen = false;
  EXPECT_TRUE(WaitFor(
      [&] {
        HWND progress = FindDialog(ui::kRepairCaption.english.data());
        seen = seen || progress != nullptr;
        if (progress != nullptr && !shotTaken) {
          test::CaptureScreenshot(progress, shot);
          shotTaken = true;
        }
        if (HWND box = FindDialog(L"Quarvelo", main)) {
          messages.push_back(MessageText(box));
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5);
        }
        return seen && progress == nullptr && Find(main, IDC_STATS_DATE) != nullptr;
      },
      120));
  return messages;
}

// "Scan Now" on the options page, then the page the scan ends on: the id of its "Fix Errors"
// (results page) or of its date label (statistics page).
int ScanToEnd(HWND main) {
  Click(main, IDC_NAV_FIRST);
  EXPECT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 5));
  Click(main, IDC_SCAN_NOW);
  EXPECT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  int page = 0;
  EXPECT_TRUE(WaitFor(
      [&] {
        if (Find(main, IDC_FIX_ERRORS) != nullptr) page = IDC_FIX_ERRORS;
        if (Find(main, IDC_STATS_DATE) != nullptr) page = IDC_STATS_DATE;
        return page != 0;
      },
      120));
  return page;
}

TEST(MainWindowGui, ScanResultsRepairAndStatisticsFromTheButtons) {
  const LIBRARY library = Load();
  ASSERT_NE(library.module, nullptr) << GetLastError();
  ASSERT_NE(library.showMainDialog, nullptr);
  ASSERT_NE(library.isScanning, nullptr);
  EXPECT_EQ(library.isScanning(), 1);  // idle after loading
  EXPECT_EQ(library.errorCount(), 0);  // no window, nothing stored

  int result = -1;
  std::thread ui([&] { result = library.showMainDialog(); });
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindDialog(ui::kMainCaption)) != nullptr; }, 30));
  EXPECT_EQ(library.firstStart(), 0);  // a window is open: nothing happens
  HWND title = Find(main, IDC_PAGE_TITLE);
  ASSERT_NE(title, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 10));
  Shot(main, L"main-options");
  EXPECT_EQ(Text(Find(main, IDC_HEALTH_LABEL)), L"PC Health is Normal");

  // The navigation buttons lead to their pages; the settings container names its first tab.
  const struct {
    int button;
    const wchar_t* title;
    const wchar_t* shot;
  } pages[] = {{1, L"Settings", L"main-settings"},
               {2, L"Backups", L"main-backups"},
               {3, L"Other Tools", L"main-other-tools"},
               {4, L"", L"main-statistics"}};
  for (const auto& page : pages) {
    Click(main, IDC_NAV_FIRST + page.button);
    EXPECT_TRUE(WaitFor([&] { return Text(title) == page.title; }, 5)) << ToUtf8(page.title);
    Shot(main, page.shot);
  }
  EXPECT_NE(Find(main, IDC_STATS_DATE), nullptr);
  EXPECT_EQ(Text(Find(main, IDC_STATS_DATE)), L"Date and Time of last scan : Never scanned ");
  EXPECT_EQ(Text(Find(main, IDC_STATS_NAME_FIRST + 3)), L"Shared DLL");

  // A scan from "Scan Now": busy while it runs, the results page at its end.
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 5));
  Click(main, IDC_SCAN_NOW);
  EXPECT_TRUE(WaitFor([&] { return library.isScanning() == 0; }, 10));
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  HWND processed = Find(main, IDC_SCAN_COUNT);
  ASSERT_NE(processed, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Text(processed) != L"0"; }, 30));
  Shot(main, L"scan-progress");
  // Closing while the scan runs is refused with the wait message.
  PostMessageW(main, WM_CLOSE, 0, 0);
  HWND wait = nullptr;
  if (WaitFor([&] { return (wait = FindDialog(L"Quarvelo", main)) != nullptr; }, 5)) {
    EXPECT_EQ(MessageText(wait), ui::kWaitForScan.english);
    PostMessageW(wait, WM_COMMAND, IDOK, 0);
  } else {
    // The scan may have ended before the close arrived: then the window must still be there.
    EXPECT_TRUE(IsWindow(main));
  }
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_FIX_ERRORS) != nullptr; }, 120));
  EXPECT_EQ(library.isScanning(), 1);
  HWND heading = Find(main, IDC_RESULTS_HEADING);
  ASSERT_NE(heading, nullptr);
  const std::wstring attention = Text(heading);
  EXPECT_NE(attention.find(L"Attention! "), std::wstring::npos) << ToUtf8(attention);
  const int found = library.errorCount();
  EXPECT_GT(found, 0);
  Shot(main, L"scan-results");

  // The live list of the scan page (categories in the order they ran) and the results list
  // (categories in table order) show the same rows: one heading per category with problems,
  // its problems beneath.
  HWND results = FindByClass(main, L"HTMLListCtrl");
  HWND live = FindByClass(main, L"MyHTMLListCtrl");
  ASSERT_NE(results, nullptr);
  ASSERT_NE(live, nullptr);
  const std::vector<int> rows = RowTypes(results);
  std::vector<int> liveRows = RowTypes(live);
  std::vector<int> sortedRows = rows;
  std::sort(liveRows.begin(), liveRows.end());
  std::sort(sortedRows.begin(), sortedRows.end());
  EXPECT_EQ(liveRows, sortedRows);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), 2);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), 1), found);
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
    if (rows[i] == 2) {
      EXPECT_EQ(rows[i + 1], 1) << "a heading without problems at row " << i;
    }
  }

  // Untick the first category, untick one problem of the second, ignore one problem of the third.
  const int firstCategory = 0;
  const int firstCount = CategoryRows(rows, firstCategory);
  ClickRow(results, firstCategory, 28);  // its check box
  EXPECT_TRUE(WaitFor([&] { return CheckState(results, firstCategory) == 0; }, 5));
  const int second = firstCategory + 1 + firstCount;
  ASSERT_LT(second, static_cast<int>(rows.size()));
  ClickRow(results, second + 1, 25);  // the first problem's check box
  EXPECT_TRUE(WaitFor([&] { return CheckState(results, second + 1) == 0; }, 5));
  EXPECT_EQ(CheckState(results, second), CategoryRows(rows, second) > 1 ? 2 : 0);
  const int third = second + 1 + CategoryRows(rows, second);
  ASSERT_LT(third, static_cast<int>(rows.size()));
  const int before = static_cast<int>(SendMessageW(results, kGetItemCount, 0, 0));
  ClickIgnore(results, third + 1);
  EXPECT_TRUE(WaitFor([&] {
    const int now = static_cast<int>(SendMessageW(results, kGetItemCount, 0, 0));
    return now == before - (CategoryRows(rows, third) == 1 ? 2 : 1);
  }, 5));
  EXPECT_TRUE(WaitFor([&] { return Text(heading) == L"Attention! " + std::to_wstring(found - 1) +
                                                    L" Error(s) found on your PC"; }, 5))
      << ToUtf8(Text(heading));
  // The live list lost the ignored problem too.
  EXPECT_EQ(static_cast<int>(SendMessageW(live, kGetItemCount, 0, 0)),
            static_cast<int>(SendMessageW(results, kGetItemCount, 0, 0)));
  Shot(main, L"scan-results-edited");
  const int ticked = found - 1 - firstCount - 1;

  // "Fix Errors" repairs the ticked problems behind the progress dialog; the restore point's
  // message comes first (System Restore is off under Wine).
  Click(main, IDC_FIX_ERRORS);
  const std::vector<std::wstring> messages = RepairUntilStatistics(main, L"repair-progress");
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(),
            L"Couldn't set restore point because your Windows System Restore is turned off");
  EXPECT_EQ(library.isScanning(), 1);
  // The ticked problems, and what their repairs left broken (each logged with its cause).
  const std::string repairLog = ActivityLogs();
  int uncovered = 0;
  for (std::size_t at = repairLog.find(": repairing it too"); at != std::string::npos;
       at = repairLog.find(": repairing it too", at + 1)) {
    ++uncovered;
  }
  EXPECT_GT(uncovered, 0) << "the demo's settings keys are emptied by the repair";
  EXPECT_EQ(library.fixedCount(), ticked + uncovered);
  // The verdict says the unticked ones are still there.
  const int cleaned = ticked + uncovered;
  const int unticked = firstCount + 1;
  EXPECT_EQ(Text(Find(main, IDC_STATS_STATUS)),
            std::to_wstring(cleaned) + L" of " + std::to_wstring(cleaned + unticked) +
                L" registry error(s) found are fixed; " + std::to_wstring(unticked) +
                L" not selected are still there.");
  EXPECT_EQ(Text(Find(main, IDC_STATS_TOTAL_CLEANED)),
            L"Error(s) Cleaned: " + std::to_wstring(ticked + uncovered));
  EXPECT_EQ(Text(Find(main, IDC_STATS_TOTAL_IGNORED)), L"Error(s) Ignored: 1");
  // No row of the repaired problems is kept by either list.
  EXPECT_EQ(SendMessageW(results, kGetItemCount, 0, 0), 0);
  EXPECT_EQ(SendMessageW(live, kGetItemCount, 0, 0), 0);
  Shot(main, L"statistics-after-repair");
  // What the user left unticked is still there: the health is not "Good" while anything found
  // is left unrepaired.
  Click(main, IDC_NAV_FIRST);
  EXPECT_TRUE(
      WaitFor([&] { return Text(Find(main, IDC_HEALTH_LABEL)) == L"PC Health is Bad"; }, 5));

  // The next scan finds what was left ticked off: health "Bad" with its repair link. With every
  // row unticked the link asks for one and repairs nothing; after a new scan (all ticked) it
  // repairs them all.
  ASSERT_EQ(ScanToEnd(main), IDC_FIX_ERRORS);
  const std::vector<int> left = RowTypes(results);
  for (std::size_t row = 0; row < left.size(); ++row) {
    if (left[row] == 2) ClickRow(results, static_cast<int>(row), 28);
  }
  EXPECT_TRUE(
      WaitFor([&] { return CheckState(results, 0) == 0 && CheckState(results, 1) == 0; }, 5));
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_REPAIR_LINK) != nullptr; }, 5));
  Click(main, IDC_REPAIR_LINK);
  HWND selectOne = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (selectOne = FindDialog(L"Quarvelo", main)) != nullptr; }, 10));
  EXPECT_EQ(MessageText(selectOne), ui::kSelectOneItem.english);
  Shot(GetDesktopWindow(), L"main-options-link-nothing-ticked");
  PostMessageW(selectOne, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(selectOne); }, 5));
  EXPECT_EQ(FindDialog(ui::kRepairCaption.english.data()), nullptr);
  EXPECT_EQ(Text(Find(main, IDC_HEALTH_LABEL)), L"PC Health is Bad");
  ASSERT_EQ(ScanToEnd(main), IDC_FIX_ERRORS);
  Click(main, IDC_NAV_FIRST);
  EXPECT_TRUE(WaitFor([&] { return Text(Find(main, IDC_HEALTH_LABEL)) == L"PC Health is Bad"; }, 5));
  ASSERT_NE(Find(main, IDC_REPAIR_LINK), nullptr);
  Shot(main, L"main-options-bad");
  Click(main, IDC_REPAIR_LINK);
  RepairUntilStatistics(main, nullptr);
  Click(main, IDC_NAV_FIRST);
  EXPECT_TRUE(WaitFor([&] { return Text(Find(main, IDC_HEALTH_LABEL)) == L"PC Health is Good"; }, 5));

  // With AUTOREPAIR set, a scan that finds something repairs it without a click and without a
  // question, although the restore point cannot be made (System Restore is off under Wine) and an
  // uninstall entry holding a registry link cannot be fixed: both are logged, and the statistics
  // page shows the lines of the log.
  SetSetting(L"AUTOREPAIR", L"1");
  SetSetting(L"RESTOREPOINT", L"1");
  HKEY help = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\HELP", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &help, nullptr),
            ERROR_SUCCESS);
  const wchar_t gone[] = L"C:\\QuarveloDemo\\gone-again";
  RegSetValueExW(help, L"gui-test.hlp", 0, REG_SZ, reinterpret_cast<const BYTE*>(gone), sizeof(gone));
  RegCloseKey(help);
  const std::wstring linked =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarveloGui Linked";
  HKEY uninstall = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, linked.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &uninstall, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(uninstall, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(gone),
                 sizeof(gone));
  RegCloseKey(uninstall);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloGuiTarget", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &uninstall, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(uninstall);
  ASSERT_EQ(test::CreateRegistryLink(
                HKEY_LOCAL_MACHINE, linked + L"\\Link",
                test::NativeKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloGuiTarget")),
            ERROR_SUCCESS);
  Click(main, IDC_SCAN_NOW);
  EXPECT_EQ(RepairUntilStatistics(main, nullptr), std::vector<std::wstring>{});
  EXPECT_GE(library.fixedCount(), 1);
  HWND notes = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (notes = Find(main, IDC_STATS_NOTES)) != nullptr; }, 5));
  const std::vector<std::wstring> lines = {
      std::wstring(kRestorePointOffMessage.english),
      L"1 of the selected entries could not be fixed; they are kept off the next scans. The "
      L"activity log names each one and why."};
  EXPECT_EQ(Text(notes), lines[0] + L"\n" + lines[1]);
  const std::string log = ActivityLogs();
  for (const std::wstring& line : lines) EXPECT_TRUE(LogHasLine(log, line)) << ToUtf8(line);
  Shot(main, L"statistics-unattended-notes");
  EXPECT_EQ(test::DeleteRegistryLink(HKEY_LOCAL_MACHINE, linked + L"\\Link"), ERROR_SUCCESS);
  SetSetting(L"AUTOREPAIR", L"0");

  // The next scan starts from the statistics page's "Fix Errors" (no problem is left to repair),
  // and the notes of the last repair are gone.
  Click(main, IDC_STATS_FIX);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  ASSERT_TRUE(
      WaitFor([&] { return IsWindowEnabled(Find(main, IDC_NAV_FIRST + 4)) != FALSE; }, 120));
  Click(main, IDC_NAV_FIRST + 4);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STATS_DATE) != nullptr; }, 5));
  // (The page is shown a moment before it is filled.)
  EXPECT_TRUE(WaitFor([&] { return Find(main, IDC_STATS_NOTES) == nullptr; }, 5));

  // "Stop Scan": declined, the scan goes on; confirmed, it ends as cancelled.
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 5));
  Click(main, IDC_SCAN_NOW);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  for (const int answer : {IDNO, IDYES}) {
    Click(main, IDC_STOP_SCAN);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (question = FindDialog(L"Quarvelo", main)) != nullptr; }, 10));
    EXPECT_EQ(MessageText(question), ui::kStopScanQuestion.english);
    if (answer == IDNO) test::CaptureScreenshot(question, L"stop-scan-question");
    PostMessageW(question, WM_COMMAND, answer, 0);
    if (answer == IDNO) {
      HWND count = Find(main, IDC_SCAN_COUNT);
      const std::wstring then = Text(count);
      EXPECT_TRUE(WaitFor([&] { return Text(count) != then; }, 20)) << "the scan did not go on";
      EXPECT_EQ(library.isScanning(), 0);
    }
  }
  EXPECT_TRUE(WaitFor([&] { return library.isScanning() == 1; }, 20));
  EXPECT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) == nullptr; }, 20));

  // An idle window closes and the export returns 1.
  PostMessageW(main, WM_CLOSE, 0, 0);
  ui.join();
  EXPECT_EQ(result, 1);
  FreeLibrary(library.module);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(MainWindowGui, FirstStartWithoutAnUpdaterSaysNothingAndClosingStoresTheTable) {
  const LIBRARY library = Load();
  ASSERT_NE(library.firstStart, nullptr);
  int result = -1;
  std::thread ui([&] { result = library.firstStart(); });
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindDialog(ui::kMainCaption)) != nullptr; }, 30));
  // The start-up check finds no updater beside the program: no "Could not launch program.".
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(FindDialog(L"Quarvelo", main), nullptr);
  // A category's name toggles its check box; with none ticked, "Scan Now" asks for one and
  // starts nothing.
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 10));
  for (int i = 0; i < 11; ++i) {
    HWND check = Find(main, IDC_CATEGORY_CHECK_FIRST + i);
    if (i == 2) {
      HWND name = Find(main, IDC_CATEGORY_NAME_FIRST + i);
      PostMessageW(name, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      PostMessageW(name, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    } else {
      PostMessageW(check, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 5))
        << "category " << i;
  }
  Click(main, IDC_SCAN_NOW);
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindDialog(L"Quarvelo", main)) != nullptr; }, 10));
  EXPECT_EQ(MessageText(box), ui::kSelectOneCategory.english);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }, 5));
  EXPECT_EQ(library.isScanning(), 1);
  EXPECT_NE(Find(main, IDC_SCAN_NOW), nullptr);  // still on the options page
  // Enter and Escape do nothing.
  PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
  PostMessageW(main, WM_COMMAND, IDOK, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(IsWindow(main));
  PostMessageW(main, WM_CLOSE, 0, 0);
  ui.join();
  EXPECT_EQ(result, 1);
  // Closing wrote the three values of every category.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  for (const wchar_t* name : {L"Fonts", L"EFonts", L"FFonts", L"File Association References",
                              L"EFile Association References", L"FFile Association References"}) {
    EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS)
        << ToUtf8(name);
  }
  RegCloseKey(key);
  FreeLibrary(library.module);
}

}  // namespace
}  // namespace qv
