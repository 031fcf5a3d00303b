// Driving the library's windows from a second thread of a GUI test: loading the library and its
// exports, finding controls by id and dialogs by caption, clicking, waiting, screenshots.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <shlobj.h>

#include <chrono>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "base/utf16.h"
#include "platform/win32/win32_handles.h"
#include "tests/support/win32/screenshot.h"

namespace qv::test::gui {

using Export = int (*)();

struct LIBRARY {
  HMODULE module = nullptr;
  Export showMainDialog = nullptr;
  Export isScanning = nullptr;  // IsSanning: 1 when idle
  Export errorCount = nullptr;
  Export fixedCount = nullptr;
  Export firstStart = nullptr;
};

// The library at a path of the build machine (seen by Wine on drive Z:).
inline LIBRARY LoadLibraryAt(const char* unixPath) {
  std::wstring path = L"Z:" + FromUtf8(unixPath);
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
inline bool WaitFor(const std::function<bool()>& condition, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

inline std::wstring Text(HWND window) {
  wchar_t buffer[1024] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                      5000, nullptr);
  return buffer;
}

// The control of the id anywhere below the window (the pages are child dialogs).
inline HWND Find(HWND root, int id) {
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

inline void Click(HWND root, int id) {
  HWND button = Find(root, id);
  ASSERT_NE(button, nullptr) << "no visible control " << id;
  PostMessageW(button, BM_CLICK, 0, 0);
}

// A top-level dialog of the process with this caption (a message box of the product, the
// progress dialog), other than `except`.
inline HWND FindDialog(const wchar_t* caption, HWND except = nullptr) {
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
inline std::wstring MessageText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text != nullptr ? Text(text) : L"";
}

// A screenshot once the window has had time to paint what just changed (Wine shows a window's
// painting on the screen a little after it is done).
inline void Shot(HWND window, const wchar_t* name) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  test::CaptureScreenshot(window, name);
}

inline void SetSetting(const wchar_t* name, const wchar_t* value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quarvelo", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// <common application data>\Quarvelo\<subfolder> (the backups, the logs).
inline std::wstring DataFolder(const wchar_t* subfolder) {
  wchar_t base[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, base), S_OK);
  return std::wstring(base) + L"\\Quarvelo\\" + subfolder;
}

// The names of the folder's files that match the pattern.
inline std::set<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const std::wstring wanted = folder + L"\\" + pattern;
  CUniqueHandle<CWin32FindTraits> search(FindFirstFileW(wanted.c_str(), &found));
  if (!search) return names;
  do {
    names.insert(found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  return names;
}

inline std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  CUniqueHandle<CWin32FileTraits> file(CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

// Every activity log of the prefix but those named in `before`, one after the other.
inline std::string ActivityLogs(const std::set<std::wstring>& before = {}) {
  const std::wstring logs = DataFolder(L"LOGS");
  std::string text;
  for (const std::wstring& name : FilesIn(logs, L"LOGS_*.log")) {
    if (before.count(name) == 0) text += ReadBytes(logs + L"\\" + name);
  }
  return text;
}

// Whether the log text holds the message as a line of its own ("<time>:<message>").
inline bool LogHasLine(const std::string& log, const std::wstring& message) {
  std::string line(1, ':');
  line += ToUtf8(message);
  line += "\r\n";
  return log.find(line) != std::string::npos;
}

}  // namespace qv::test::gui
