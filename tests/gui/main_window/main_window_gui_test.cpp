// QuarveloDll.dll under Wine and Xvfb, driven from a second thread of the test by control id and
// window text while an export runs the main window: the state exports, page switching, a scan of
// the seeded prefix from "Scan Now" with its live list, the results, "Fix Errors" with the
// repair's progress dialog, the statistics, the close guard. Screenshots of every window go to
// QV_SCREENSHOT_DIR.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "tests/support/win32/screenshot.h"
#include "ui/ui_texts.h"
#include "ui/win32/resource.h"

#ifndef QV_DLL_PATH
#error QV_DLL_PATH must name the QuarveloDll.dll to test
#endif

namespace qv {
namespace {

using Export = int (*)();

struct LIBRARY {
  HMODULE module = nullptr;
  Export showMainDialog = nullptr;
  Export isScanning = nullptr;  // IsSanning: 1 when idle
  Export errorCount = nullptr;
  Export fixedCount = nullptr;
  Export firstStart = nullptr;
};

LIBRARY Load() {
  std::wstring path = L"Z:" + FromUtf8(QV_DLL_PATH);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  LIBRARY library;
  library.module = LoadLibraryW(path.c_str());
  if (library.module == nullptr) return library;
  auto find = [&](const char* name) {
    return reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(library.module, name)));
  };
  library.showMainDialog = find("ShowMainDialog");
  library.isScanning = find("IsSanning");
  library.errorCount = find("GetErrorCount");
  library.fixedCount = find("GetFixedCount");
  library.firstStart = find("ShowMainDialogFirst");
  return library;
}

// Waits up to the limit for the condition, checking every 20 ms.
bool WaitFor(const std::function<bool()>& condition, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

std::wstring Text(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                      5000, nullptr);
  return buffer;
}

// The control of the id anywhere below the window (the pages are child dialogs).
HWND Find(HWND root, int id) {
  struct SEARCH {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      root,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(data);
        if (GetDlgCtrlID(child) == s->id && IsWindowVisible(child)) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Click(HWND root, int id) {
  HWND button = Find(root, id);
  ASSERT_NE(button, nullptr) << "no visible control " << id;
  PostMessageW(button, BM_CLICK, 0, 0);
}

// A top-level dialog of the process with this caption (a message box of the product, the
// progress dialog), other than `except`.
HWND FindDialog(const wchar_t* caption, HWND except = nullptr) {
  struct SEARCH {
    const wchar_t* caption;
    HWND except;
    HWND found;
  } search{caption, except, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || window == s->except || !IsWindowVisible(window)) {
          return TRUE;
        }
        if (Text(window) == s->caption) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The text of a message box's message (its static with id 0xFFFF).
std::wstring MessageText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? Text(text) : L"";
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
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  test::CaptureScreenshot(main, L"main-options");
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
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    test::CaptureScreenshot(main, page.shot);
  }
  EXPECT_NE(Find(main, IDC_STATS_DATE), nullptr);
  EXPECT_EQ(Text(Find(main, IDC_STATS_DATE)), L"Date and Time of last scan : Never scanned ");

  // A scan from "Scan Now": busy while it runs, the results page at its end.
  Click(main, IDC_NAV_FIRST);
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_SCAN_NOW) != nullptr; }, 5));
  Click(main, IDC_SCAN_NOW);
  EXPECT_TRUE(WaitFor([&] { return library.isScanning() == 0; }, 10));
  ASSERT_TRUE(WaitFor([&] { return Find(main, IDC_STOP_SCAN) != nullptr; }, 10));
  HWND processed = Find(main, IDC_SCAN_COUNT);
  ASSERT_NE(processed, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Text(processed) != L"0"; }, 30));
  test::CaptureScreenshot(main, L"scan-progress");
  // Closing while the scan runs is refused with the wait message.
  PostMessageW(main, WM_CLOSE, 0, 0);
  HWND wait = nullptr;
  if (WaitFor([&] { return (wait = FindDialog(L"Quarvelo", main)) != nullptr; }, 5)) {
    EXPECT_EQ(MessageText(wait), ui::kWaitForScan);
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
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  test::CaptureScreenshot(main, L"scan-results");

  // "Fix Errors": the progress dialog, the restore point's message (System Restore is off under
  // Wine), then the statistics page.
  Click(main, IDC_FIX_ERRORS);
  std::vector<std::wstring> messages;
  bool progressShot = false;
  ASSERT_TRUE(WaitFor(
      [&] {
        HWND progress = FindDialog(ui::kRepairCaption);
        if (progress != nullptr && !progressShot) {
          test::CaptureScreenshot(progress, L"repair-progress");
          progressShot = true;
        }
        if (HWND box = FindDialog(L"Quarvelo", main)) {
          messages.push_back(MessageText(box));
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5);
        }
        return progress == nullptr && progressShot && Find(main, IDC_STATS_DATE) != nullptr;
      },
      120));
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(),
            L"Couldn't set restore point because your Windows System Restore is turned off");
  EXPECT_EQ(library.isScanning(), 1);
  EXPECT_GT(library.fixedCount(), 0);
  HWND status = Find(main, IDC_STATS_STATUS);
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(Text(status), L"All identified registry error(s) are fixed.");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  test::CaptureScreenshot(main, L"statistics-after-repair");

  // An idle window closes and the export returns 1.
  PostMessageW(main, WM_CLOSE, 0, 0);
  ui.join();
  EXPECT_EQ(result, 1);
  FreeLibrary(library.module);
}

}  // namespace
}  // namespace qv
