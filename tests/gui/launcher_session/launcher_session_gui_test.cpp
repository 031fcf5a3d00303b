// Quarvelo.exe with the real QuarveloDll.dll beside it, on the demo registry under Wine and Xvfb:
// "-d" opens the main window, a second "-c" closes an idle instance, "-c" during a scan is
// refused with the wait message and the scan goes on, and once it has ended "-c" closes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "base/utf16.h"
#include "tests/support/win32/screenshot.h"
#include "ui/ui_texts.h"

#ifndef QV_BIN_DIR
#error QV_BIN_DIR must name the folder of Quarvelo.exe and QuarveloDll.dll
#endif

namespace qv {
namespace {

bool WaitFor(const std::function<bool()>& condition, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return condition();
}

std::wstring Launcher() {
  std::wstring path = L"Z:" + FromUtf8(QV_BIN_DIR) + L"/Quarvelo.exe";
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// Starts the launcher with the switches; the process handle (the caller closes it).
HANDLE Start(const std::wstring& switches) {
  std::wstring command = L"\"" + Launcher() + L"\" " + switches;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "CreateProcessW " << GetLastError();
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

bool Ended(HANDLE process, int seconds) {
  return WaitForSingleObject(process, static_cast<DWORD>(seconds) * 1000) == WAIT_OBJECT_0;
}

std::wstring Text(HWND window) {
  wchar_t buffer[512] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 5000,
                      nullptr);
  return buffer;
}

// The visible dialog windows captioned "Quarvelo": the main window, and a message box of the
// product (a dialog with a message text, id 0xFFFF).
struct PRODUCT_WINDOWS {
  HWND main = nullptr;
  HWND box = nullptr;
};

PRODUCT_WINDOWS FindProductWindows() {
  PRODUCT_WINDOWS found;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* f = reinterpret_cast<PRODUCT_WINDOWS*>(data);
        wchar_t cls[32] = {};
        GetClassNameW(window, cls, 32);
        if (!IsWindowVisible(window) || std::wstring(cls) != L"#32770" ||
            Text(window) != ui::kMainCaption) {
          return TRUE;
        }
        if (GetDlgItem(window, 0xFFFF) != nullptr) {
          f->box = window;
        } else {
          f->main = window;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void SetSetting(const wchar_t* name, const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

TEST(LauncherSession, OpenAndCloseRefusedWhileScanning) {
  SetSetting(L"AutoUpdates", L"0");

  // "-d" opens the window (no splash); a second launcher with "-c" closes the idle instance.
  HANDLE first = Start(L"-d");
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(WaitFor([] { return FindProductWindows().main != nullptr; }, 60));
  HANDLE closer = Start(L"-c");
  EXPECT_TRUE(Ended(closer, 30));
  EXPECT_TRUE(Ended(first, 30)) << "the idle instance did not close";
  CloseHandle(closer);
  CloseHandle(first);

  // "-t" opens and scans at once; "-c" meanwhile shows the wait message and the instance stays.
  first = Start(L"-t");
  ASSERT_NE(first, nullptr);
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindProductWindows().main) != nullptr; }, 60));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  closer = Start(L"-c");
  HWND box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = FindProductWindows().box) != nullptr; }, 30));
  EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), ui::kWaitForScan);
  test::CaptureScreenshot(box, L"launcher-close-refused");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Ended(closer, 30));
  CloseHandle(closer);
  EXPECT_FALSE(Ended(first, 2)) << "the scanning instance closed";

  // Once that scan has ended, the instance closes on the next "-c".
  EXPECT_TRUE(WaitFor(
      [&] {
        if (HWND message = FindProductWindows().box) PostMessageW(message, WM_COMMAND, IDOK, 0);
        return IsWindowEnabled(GetDlgItem(main, 1000)) != FALSE;
      },
      120));
  closer = Start(L"-c");
  EXPECT_TRUE(Ended(closer, 30));
  CloseHandle(closer);
  EXPECT_TRUE(Ended(first, 30)) << "the instance did not close after its scan";
  if (!Ended(first, 0)) test::CaptureScreenshot(GetDesktopWindow(), L"launcher-session-not-closed");
  CloseHandle(first);
  EXPECT_EQ(FindProductWindows().main, nullptr);
}

}  // namespace
}  // namespace qv
