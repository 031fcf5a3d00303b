// The installer under Wine, in the throwaway prefix, as an administrator's script runs it:
// Quarvelo-<version>-setup.exe /S installs the programs, the shortcut, the data folder and the
// uninstall entry (64-bit view, every value); the installed console program scans; installing
// again upgrades in place (one entry; the settings, the ignore list, a backup and the scheduled
// task kept); the uninstall entry's QuietUninstallString waits and removes every file of ours,
// the shortcut, the task and the entry, keeping the user's data; and a scan of the prefix then
// reports nothing that names Quarvelo. Both refuse while Quarvelo runs; a file that cannot be
// written over makes the setup's exit code 3; /REMOVEDATA removes the data and the settings too.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: they need its declarations
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "launcher/launcher_texts.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/task_scheduler.h"

#ifndef QV_INSTALLER_EXE
#error QV_INSTALLER_EXE must name the installer to test
#endif

namespace qv::test {
namespace {

using Json = nlohmann::json;

constexpr wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kEntry[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarvelo";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quarvelo";
constexpr DWORD kRefused = 2;
constexpr DWORD kIncomplete = 3;

std::wstring ProgramFiles() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path), S_OK);
  return path;
}
std::wstring InstallFolder() { return ProgramFiles() + L"\\Quarvelo"; }
std::wstring DataFolder() { return CommonAppData() + L"\\Quarvelo"; }
std::wstring Shortcut() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path), S_OK);
  return std::wstring(path) + L"\\Quarvelo.lnk";
}
bool KeyExists(const wchar_t* subkey) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | KEY_WOW64_64KEY, &raw) != 0) {
    return false;
  }
  RegCloseKey(raw);
  return true;
}
bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The uninstaller's own file and the emptied folder go a moment after it has ended: true when the
// folder is gone within ten seconds.
bool FolderGoes(const std::wstring& folder) {
  const ULONGLONG start = GetTickCount64();
  while (Exists(folder) && GetTickCount64() - start < 10000) Sleep(20);
  std::printf("installer test: the program folder went %llu ms after the uninstaller ended\n",
              GetTickCount64() - start);
  return !Exists(folder);
}

// Runs the command line as a deployment tool does (no handles inherited) and waits for that
// process alone; its exit code.
DWORD Timed(const char* what, std::wstring commandLine) {
  const ULONGLONG start = GetTickCount64();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "CreateProcessW " << GetLastError() << " " << ToUtf8(commandLine);
    return ~0u;
  }
  CUniqueHandle<CWin32HandleTraits> processHandle(process.hProcess), threadHandle(process.hThread);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
  DWORD exitCode = ~0u;
  GetExitCodeProcess(process.hProcess, &exitCode);
  std::printf("installer test: %s: exit code %lu, %llu ms\n", what, exitCode,
              GetTickCount64() - start);
  return exitCode;
}

DWORD Install() { return Timed("setup /S", Quoted(BuildTreePath(QV_INSTALLER_EXE)) + L" /S"); }

// Runs the entry's QuietUninstallString as a management tool does, with extra switches before
// the _?= that ends it.
DWORD QuietUninstall(const std::wstring& extra) {
  std::wstring command = ReadString(HKEY_LOCAL_MACHINE, kEntry, L"QuietUninstallString");
  const std::size_t tail = command.find(L" _?=");
  if (tail == std::wstring::npos) {
    ADD_FAILURE() << "no QuietUninstallString ending in _?=: " << ToUtf8(command);
    return ~0u;
  }
  if (!extra.empty()) command.insert(tail, L" " + extra);
  return Timed("QuietUninstallString", command);
}

// The values of a key of one registry view, by name, as text (DWORDs in decimal).
std::vector<std::pair<std::wstring, std::wstring>> Values(const wchar_t* subkey, REGSAM view) {
  std::vector<std::pair<std::wstring, std::wstring>> values;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | view, &raw) != ERROR_SUCCESS) {
    return values;
  }
  CUniqueHandle<CWin32KeyTraits> key(raw);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256] = {};
    DWORD nameChars = 256;
    BYTE data[2048] = {};
    DWORD bytes = sizeof(data) - 2;
    DWORD type = 0;
    if (RegEnumValueW(raw, i, name, &nameChars, nullptr, &type, data, &bytes) != ERROR_SUCCESS) {
      break;
    }
    std::wstring text = type == REG_DWORD ? std::to_wstring(*reinterpret_cast<DWORD*>(data))
                                          : std::wstring(reinterpret_cast<wchar_t*>(data));
    values.emplace_back(name, text);
  }
  std::sort(values.begin(), values.end());
  return values;
}

// The subkeys of the uninstall key of one view whose DisplayName is Quarvelo.
std::vector<std::wstring> EntriesNamedQuarvelo(REGSAM view) {
  std::vector<std::wstring> entries;
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_READ | view, &raw) != 0) {
    return entries;
  }
  CUniqueHandle<CWin32KeyTraits> key(raw);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256] = {};
    DWORD chars = 256;
    if (RegEnumKeyExW(raw, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != 0) break;
    const std::wstring subkey = std::wstring(kUninstallRoot) + L"\\" + name;
    for (const auto& [valueName, text] : Values(subkey.c_str(), view)) {
      if (valueName == L"DisplayName" && text == L"Quarvelo") entries.push_back(name);
    }
  }
  return entries;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, ULONGLONG* bytes = nullptr) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    names.push_back(found.cFileName);
    if (bytes != nullptr) *bytes += (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring ShortcutTarget(const std::wstring& path) {
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return L"<no shell link>";
  }
  std::wstring target = L"<not loaded>";
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) {
      target = buffer;
    }
    file->Release();
  }
  link->Release();
  return target;
}

bool TaskExists() { return ReadRawTask(L"Quarvelo").activated == S_OK; }

// A console scan of the whole prefix; the problems that name Quarvelo anywhere, printed with the
// totals.
std::vector<std::string> ScanNamingQuarvelo(const char* what, const std::wstring& console) {
  const CHILD_RESULT run = RunProgram(Quoted(console) + L" scan --json -");
  EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode << " " << run.err;
  const Json report = Json::parse(run.out, nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << run.out;
  if (report.is_discarded()) return {"<no report>"};
  EXPECT_TRUE(report.value("completed", false));
  std::vector<std::string> naming;
  for (const Json& problem : report["problems"]) {
    const std::string text = problem.dump();
    if (ToUpper(FromUtf8(text)).find(L"QUARVELO") != std::wstring::npos) naming.push_back(text);
  }
  std::printf("installer test: %s: %zu entries examined, %zu problems, %zu naming Quarvelo\n",
              what, static_cast<std::size_t>(report.value("itemsScanned", 0)),
              report["problems"].size(), naming.size());
  return naming;
}

// What the user keeps: a setting, the ignore list and a backup.
void SeedUserData() {
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"Splash", L"0");
  WriteFileBytes(DataFolder() + L"\\ignore.wls", "6\r\nhkey_x\\run\\tool|c:\\tool.exe\r\n");
  CreateDirectoryW((DataFolder() + L"\\Backup").c_str(), nullptr);
  WriteFileBytes(DataFolder() + L"\\Backup\\RCBak_120820261806.reg", "REGEDIT4\r\n");
}
void ExpectUserData(bool kept) {
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"Splash"), kept ? L"0" : L"<missing>");
  EXPECT_EQ(Exists(DataFolder() + L"\\ignore.wls"), kept);
  EXPECT_EQ(Exists(DataFolder() + L"\\Backup\\RCBak_120820261806.reg"), kept);
}

TEST(Installer, InstallUpgradeAndUninstallLeaveNothingOfOursBehind) {
  const std::wstring folder = InstallFolder();
  ASSERT_EQ(Install(), 0u);

  ULONGLONG bytes = 0;
  EXPECT_EQ(FilesIn(folder, &bytes),
            (std::vector<std::wstring>{L"Quarvelo.exe", L"QuarveloCli.exe", L"QuarveloDll.dll",
                                       L"Uninstall.exe", L"windows-owned.wls"}));
  const std::wstring uninstaller = Quoted(folder + L"\\Uninstall.exe");
  const std::vector<std::pair<std::wstring, std::wstring>> entry = {
      {L"DisplayIcon", folder + L"\\Quarvelo.exe"},
      {L"DisplayName", L"Quarvelo"},
      {L"DisplayVersion", FromUtf8(QV_EXPECTED_VERSION)},
      {L"EstimatedSize", std::to_wstring(bytes / 1024)},
      {L"InstallLocation", folder},
      {L"NoModify", L"1"},
      {L"NoRepair", L"1"},
      {L"Publisher", L"Quarvelo"},
      {L"QuietUninstallString", uninstaller + L" /S _?=" + folder},
      {L"UninstallString", uninstaller},
  };
  EXPECT_EQ(Values(kEntry, KEY_WOW64_64KEY), entry);
  EXPECT_TRUE(EntriesNamedQuarvelo(KEY_WOW64_32KEY).empty());
  EXPECT_EQ(ShortcutTarget(Shortcut()), folder + L"\\Quarvelo.exe");
  EXPECT_TRUE(Exists(DataFolder()));

  const std::wstring installedConsole = folder + L"\\QuarveloCli.exe";
  EXPECT_EQ(ScanNamingQuarvelo("scan by the installed console", installedConsole),
            std::vector<std::string>{});

  ASSERT_EQ(RunProgram(Quoted(installedConsole) + L" schedule create").exitCode, 0u);
  SeedUserData();
  ASSERT_EQ(Install(), 0u);
  EXPECT_EQ(EntriesNamedQuarvelo(KEY_WOW64_64KEY), std::vector<std::wstring>{L"Quarvelo"});
  EXPECT_TRUE(EntriesNamedQuarvelo(KEY_WOW64_32KEY).empty());
  EXPECT_TRUE(TaskExists());
  ExpectUserData(true);

  ASSERT_EQ(QuietUninstall(L""), 0u);
  EXPECT_TRUE(FolderGoes(folder)) << ::testing::PrintToString(FilesIn(folder));
  EXPECT_FALSE(Exists(Shortcut()));
  EXPECT_FALSE(TaskExists());
  EXPECT_FALSE(KeyExists(kEntry));
  EXPECT_TRUE(EntriesNamedQuarvelo(KEY_WOW64_64KEY).empty());
  ExpectUserData(true);
  EXPECT_EQ(ScanNamingQuarvelo("scan after the uninstall", CliPath()), std::vector<std::string>{});
}

TEST(Installer, RefusesWhileQuarveloRunsAndRemovesTheDataOnlyWhenAsked) {
  ASSERT_EQ(Install(), 0u);
  SeedUserData();
  {
    CUniqueHandle<CWin32HandleTraits> running(CreateMutexW(nullptr, TRUE, kInstanceName));
    ASSERT_TRUE(running.valid());
    EXPECT_EQ(Install(), kRefused);
    EXPECT_EQ(QuietUninstall(L"/REMOVEDATA"), kRefused);
    EXPECT_TRUE(Exists(InstallFolder() + L"\\Quarvelo.exe"));
    EXPECT_EQ(EntriesNamedQuarvelo(KEY_WOW64_64KEY), std::vector<std::wstring>{L"Quarvelo"});
    ExpectUserData(true);
  }
  {
    // A file another program holds cannot be written over: the upgrade says so.
    CUniqueHandle<CWin32FileTraits> held(
        CreateFileW((InstallFolder() + L"\\windows-owned.wls").c_str(), GENERIC_READ, 0, nullptr,
                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(Install(), kIncomplete);
  }
  ASSERT_EQ(QuietUninstall(L"/REMOVEDATA"), 0u);
  EXPECT_TRUE(FolderGoes(InstallFolder()));
  EXPECT_TRUE(EntriesNamedQuarvelo(KEY_WOW64_64KEY).empty());
  ExpectUserData(false);
  EXPECT_FALSE(Exists(DataFolder()));
  EXPECT_FALSE(KeyExists(kProductKey));
}

}  // namespace
}  // namespace qv::test
