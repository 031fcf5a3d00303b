// Quarvelo.exe with the real QuarveloDll.dll beside it, on the demo registry under Wine and Xvfb:
// "-d" opens the main window, a second "-c" closes an idle instance, "-c" during a scan is
// refused with the wait message and the scan goes on, and once it has ended "-c" closes it. The
// unattended run: "-t" with AUTOREPAIR and CLOSEAFTER scans, repairs and closes by itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16.h"
#include "app/application.h"
#include "engine/categories.h"
#include "engine/scan_driver.h"
#include "platform/win32/win32_handles.h"
#include "repair/repair_driver.h"
#include "state/state_texts.h"
#include "tests/support/win32/gui_driver.h"
#include "tests/support/win32/registry_link.h"
#include "tests/support/win32/screenshot.h"
#include "ui/ui_texts.h"
#include "ui/win32/resource.h"

#ifndef QV_BIN_DIR
#error QV_BIN_DIR must name the folder of Quarvelo.exe and QuarveloDll.dll
#endif

namespace qv {
namespace {

using test::gui::ActivityLogs;
using test::gui::DataFolder;
using test::gui::FilesIn;
using test::gui::LogHasLine;
using test::gui::ReadBytes;
using test::gui::SetSetting;
using test::gui::Text;
using test::gui::WaitFor;

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

int Occurrences(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// Whether the bytes hold the text, as 8-bit text or as UTF-16 (a backup file is written in the
// Unicode form when the 8-bit one cannot hold every text).
bool Holds(const std::string& bytes, const std::wstring& text) {
  std::string wide;
  for (const wchar_t c : text) {
    wide += static_cast<char>(c & 0xFF);
    wide += static_cast<char>((c >> 8) & 0xFF);
  }
  return bytes.find(ToUtf8(text)) != std::string::npos || bytes.find(wide) != std::string::npos;
}

// The success lines of the repair, of every category: "Fixed <category> error <key>...".
int RepairSuccessLines(const std::string& log) {
  int count = 0;
  for (int i = 0; i < kCategoryCount; ++i) {
    const std::wstring_view format = RepairSuccessFormat(i);
    count += Occurrences(log, ToUtf8(std::wstring(format.substr(0, format.find(L"%s")))));
  }
  return count;
}

// Whether the key (name null) or the value exists.
bool Exists(HKEY root, const wchar_t* subkey, const wchar_t* name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return false;
  CUniqueHandle<CWin32KeyTraits> key(raw);
  return name == nullptr ||
         RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring Setting(const std::wstring& name) {
  wchar_t buffer[256] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", name.c_str(), RRF_RT_REG_SZ, nullptr,
                   buffer, &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

int SettingSum(const wchar_t* prefix) {
  int sum = 0;
  for (int i = 0; i < kCategoryCount; ++i) {
    sum += _wtoi(Setting(prefix + std::wstring(CategoryDisplayName(i))).c_str());
  }
  return sum;
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
  EXPECT_EQ(Text(GetDlgItem(box, 0xFFFF)), ui::kWaitForScan.english);
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

// The scheduled run: "-t" with AUTOREPAIR and CLOSEAFTER set opens, scans, repairs all it found
// behind the progress dialog and closes itself. Nothing waits for a person although the restore
// point cannot be made (System Restore is off under Wine) and one entry cannot be fixed (an
// uninstall entry holding a registry link, which the repair refuses): no dialog of the process
// but the main window and the progress dialog ever shows, and the activity log says both. The
// broken entries of the demo registry are gone, the healthy, safe and ignored ones stay, the
// removed entries are in the repair's backup file, and the stored counts agree with the log.
TEST(LauncherSession, ScheduledScanRepairsAndClosesByItself) {
  // Entries of the demo registry: broken ones (true) and healthy, safe-listed and ignored ones.
  const std::wstring version = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  const std::wstring machineRun = version + L"Run";
  const std::wstring uninstall = version + L"Uninstall\\";
  const std::wstring shared = version + L"SharedDLLs";
  const std::wstring programs = version + L"App Paths\\";
  const std::wstring fonts = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  const std::wstring help = L"SOFTWARE\\Microsoft\\Windows\\HELP";
  const std::wstring userRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const struct {
    HKEY root;
    std::wstring key;
    const wchar_t* value;  // null: the key itself
    bool broken;
  } entries[] = {
      {HKEY_LOCAL_MACHINE, machineRun, L"QuarveloDemo Old Agent", true},
      {HKEY_LOCAL_MACHINE, machineRun, L"QuarveloDemo Agent", false},
      {HKEY_CURRENT_USER, userRun, L"QuarveloDemo Updater", true},
      {HKEY_LOCAL_MACHINE, uninstall + L"QuarveloDemo Removed", nullptr, true},
      {HKEY_LOCAL_MACHINE, uninstall + L"QuarveloDemo App", nullptr, false},
      {HKEY_LOCAL_MACHINE, uninstall + L"QuarveloDemo Ignored", nullptr, false},
      {HKEY_LOCAL_MACHINE, uninstall + L"Adobe Demo Viewer", nullptr, false},
      {HKEY_LOCAL_MACHINE, fonts, L"Quarvelo Demo Gone (TrueType)", true},
      {HKEY_LOCAL_MACHINE, fonts, L"Quarvelo Demo Sans (TrueType)", false},
      {HKEY_LOCAL_MACHINE, shared, L"C:\\QuarveloDemo\\Shared\\gone.dll", true},
      {HKEY_LOCAL_MACHINE, shared, L"C:\\QuarveloDemo\\Shared\\demo.dll", false},
      {HKEY_LOCAL_MACHINE, programs + L"quarvelodemo-old.exe", L"", true},
      {HKEY_LOCAL_MACHINE, programs + L"quarvelodemo.exe", L"", false},
      {HKEY_LOCAL_MACHINE, help, L"quarvelodemo-old.hlp", true},
      {HKEY_LOCAL_MACHINE, help, L"quarvelodemo.hlp", false},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloDemo\\Settings", L"LastProject", true},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloDemo\\Settings", L"DataFolder", false},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloDemo\\Settings", L"LogFolder", false},
      {HKEY_CURRENT_USER, L"Software\\QuarveloDemo\\Recent", L"File1", true},
      {HKEY_CURRENT_USER, L"Software\\QuarveloDemo\\Empty Settings", nullptr, true},
      {HKEY_CURRENT_USER, L"Software\\QuarveloDemo\\Window", L"Maximized", false},
      {HKEY_CLASSES_ROOT, L"CLSID\\{D3E40000-0000-4000-8000-000000000001}", nullptr, true},
      {HKEY_CLASSES_ROOT, L"CLSID\\{D3E40000-0000-4000-8000-000000000002}", nullptr, false},
      {HKEY_CLASSES_ROOT, L"CLSID\\{D3E40000-0000-4000-8000-000000000004}", nullptr, false},
      {HKEY_CLASSES_ROOT, L"CLSID\\{06DD38D3-D187-11CF-A80D-00C04FD74AD8}", nullptr, false},
      {HKEY_CLASSES_ROOT, L".qvdold", nullptr, true},
      {HKEY_CLASSES_ROOT, L".qvdemo", nullptr, false},
      {HKEY_CLASSES_ROOT, L"QuarveloDemo.Document\\shell\\open\\command", L"", false},
  };
  for (const auto& entry : entries) {
    ASSERT_TRUE(Exists(entry.root, entry.key.c_str(), entry.value))
        << "not seeded: " << ToUtf8(entry.key);
  }
  // The entry no repair may take: the link and the key it leads to stay.
  const std::wstring linked = uninstall + L"QuarveloDemo Linked";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, linked.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t gone[] = L"C:\\QuarveloDemo\\gone\\linked-uninst.exe";
  RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(gone),
                 sizeof(gone));
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloLinkTarget", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(test::CreateRegistryLink(
                HKEY_LOCAL_MACHINE, linked + L"\\Link",
                test::NativeKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloLinkTarget")),
            ERROR_SUCCESS);
  SetSetting(L"AutoUpdates", L"0");
  SetSetting(L"RESTOREPOINT", L"1");
  SetSetting(L"AUTOREPAIR", L"1");
  SetSetting(L"CLOSEAFTER", L"1");
  const std::wstring backups = DataFolder(L"Backup");
  const std::set<std::wstring> backupsBefore = FilesIn(backups, L"RCBak_*.reg");
  const std::set<std::wstring> logsBefore = FilesIn(DataFolder(L"LOGS"), L"LOGS_*.log");

  // Started as the scheduled task starts it; nobody touches it until it has ended.
  CUniqueHandle<CWin32HandleTraits> scheduled(Start(L"-t"));
  ASSERT_TRUE(scheduled);
  const DWORD scheduledId = GetProcessId(scheduled.get());
  bool sawMain = false;
  bool sawProgress = false;
  bool sawCompletion = false;
  std::vector<std::wstring> dialogs;  // any other dialog of the process: caption, message
  const bool ended = WaitFor(
      [&] {
        sawMain = sawMain || FindProductWindows().main != nullptr;
        std::vector<HWND> others;
        std::pair<DWORD, std::vector<HWND>*> search(scheduledId, &others);
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
              auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(data);
              DWORD process = 0;
              GetWindowThreadProcessId(window, &process);
              wchar_t cls[32] = {};
              GetClassNameW(window, cls, 32);
              const std::wstring caption = Text(window);
              const bool known =
                  (caption == ui::kMainCaption && GetDlgItem(window, 0xFFFF) == nullptr) ||
                  caption == ui::kRepairCaption.english;
              if (process == found->first && IsWindowVisible(window) &&
                  std::wstring(cls) == L"#32770" && !known) {
                found->second->push_back(window);
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : others) {
          // Nothing may wait for an answer; answered so that the run can end all the same.
          dialogs.push_back(Text(dialog) + L": " + Text(GetDlgItem(dialog, 0xFFFF)));
          PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        HWND progress = FindWindowW(L"#32770", ui::kRepairCaption.english.data());
        if (progress != nullptr && IsWindowVisible(progress)) {
          sawProgress = true;
          // The completion stays up for a second before the dialog goes.
          if (!sawCompletion &&
              Text(GetDlgItem(progress, IDC_PROGRESS_HEADING)) == ui::kRepairDoneHeading.english) {
            sawCompletion = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let it paint
            if (IsWindow(progress)) test::CaptureScreenshot(progress, L"scheduled-repair-done");
          }
        }
        return Ended(scheduled.get(), 0);
      },
      120);
  if (!ended) {
    test::CaptureScreenshot(GetDesktopWindow(), L"scheduled-run-not-closed");
    TerminateProcess(scheduled.get(), 1);
  }
  ASSERT_TRUE(ended) << "the scheduled run did not close by itself";
  DWORD exitCode = 0xDEADBEEF;
  GetExitCodeProcess(scheduled.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(sawMain);
  EXPECT_TRUE(sawProgress) << "no progress dialog was seen";
  EXPECT_TRUE(sawCompletion) << "the progress dialog never showed the completion";
  EXPECT_TRUE(dialogs.empty()) << ToUtf8(dialogs.front());
  // The launcher that closed it has ended too: no instance holds the name any more.
  EXPECT_TRUE(WaitFor(
      [] {
        return !CUniqueHandle<CWin32HandleTraits>(OpenMutexW(SYNCHRONIZE, FALSE, kProductName));
      },
      30));
  EXPECT_EQ(FindProductWindows().main, nullptr);

  for (const auto& entry : entries) {
    EXPECT_EQ(Exists(entry.root, entry.key.c_str(), entry.value), !entry.broken)
        << ToUtf8(entry.key) << " " << (entry.value != nullptr ? ToUtf8(entry.value) : "");
  }
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, linked.c_str(), L"UninstallString"));
  EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QuarveloLinkTarget", nullptr));

  // One backup file of this repair, holding what it removed.
  std::vector<std::wstring> newBackups;
  for (const std::wstring& name : FilesIn(backups, L"RCBak_*.reg")) {
    if (backupsBefore.count(name) == 0) newBackups.push_back(name);
  }
  ASSERT_EQ(newBackups.size(), 1u);
  const std::string backup = ReadBytes(backups + L"\\" + newBackups.front());
  EXPECT_FALSE(backup.empty());
  EXPECT_TRUE(Holds(backup, L"QuarveloDemo Old Agent")) << "the backup lacks a removed value";
  EXPECT_TRUE(Holds(backup, L"QuarveloDemo Removed")) << "the backup lacks a removed key";

  // The activity log of the run: the scan's header, one line per problem found, the repair's
  // start, one success line per problem but the refused one, and its end; the restore point's
  // failure and the refused entry, each said once.
  const std::string log = ActivityLogs(logsBefore);
  ASSERT_FALSE(log.empty()) << "no log of the run";
  EXPECT_EQ(Occurrences(log, ToUtf8(kScanLogStarted)), 1);
  EXPECT_EQ(Occurrences(log, ToUtf8(ui::kStartFixingLog)), 1);
  EXPECT_EQ(Occurrences(log, ToUtf8(kLogStartedFixing)), 1);
  EXPECT_EQ(Occurrences(log, ToUtf8(kLogFixedErrors)), 1);
  EXPECT_EQ(Occurrences(log, ToUtf8(kLogCreatingRestorePoint)), 1);
  EXPECT_TRUE(LogHasLine(log, std::wstring(kRestorePointOffMessage.english)));
  EXPECT_TRUE(LogHasLine(log, L"1 of the selected entries could not be fixed; they are kept off "
                              L"the next scans. The activity log names each one and why."));
  EXPECT_EQ(Occurrences(log, "--> Failed to fix"), 1);
  EXPECT_EQ(Occurrences(log, "--> Failed to fix HKEY_LOCAL_MACHINE\\" + ToUtf8(linked) +
                                 ", error = 4395"),
            1);
  EXPECT_NE(log.find("Fixed Windows start up error HKEY_LOCAL_MACHINE\\"), std::string::npos);
  const int found = Occurrences(log, "Error at ");  // one line per problem found
  const int fixedLines = RepairSuccessLines(log);
  EXPECT_EQ(Occurrences(log, "fixing error number : "), found);
  // What the repair left broken (keys it emptied) is repaired in the same run, and counted as
  // found and fixed.
  const int chained = Occurrences(log, " broken: repairing it too");
  EXPECT_EQ(fixedLines, found - 1 + chained);
  // The stored counts: all found but one were fixed; the table was written back at the close.
  EXPECT_EQ(Setting(L"TFixed"), std::to_wstring(found - 1 + chained));
  EXPECT_EQ(SettingSum(L"F"), found - 1 + chained);
  EXPECT_EQ(SettingSum(L"E"), found + chained);
  std::printf("scheduled run: %d found, %d chained, %d repaired, TFixed %ls, backup %zu bytes, "
              "log %zu bytes\n",
              found, chained, fixedLines, Setting(L"TFixed").c_str(), backup.size(), log.size());

  SetSetting(L"AUTOREPAIR", L"0");
  SetSetting(L"CLOSEAFTER", L"0");
  EXPECT_EQ(test::DeleteRegistryLink(HKEY_LOCAL_MACHINE, linked + L"\\Link"), ERROR_SUCCESS);
}

}  // namespace
}  // namespace qv
