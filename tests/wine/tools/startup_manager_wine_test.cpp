// The startup manager on the real registry and real shell links of a throwaway prefix: a .lnk
// with arguments in the user's Startup folder (as the Shell Folders key names it) and a Run value
// of the current user, disabled into the pss folder and the MSConfig records and enabled back.
// Seeding and checking go through the raw API, never through the code under test.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: they need its declarations
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "tools/startup_manager.h"

namespace qv {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRegRecords[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr wchar_t kFolderRecords[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";

std::wstring ReadString(HKEY root, const std::wstring& subkey, const std::wstring& name) {
  wchar_t buffer[2048] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

// Type and bytes of a value; type REG_NONE and no bytes when it is missing.
std::pair<DWORD, std::vector<BYTE>> ReadRaw(HKEY root, const std::wstring& subkey,
                                            const std::wstring& name) {
  DWORD type = REG_NONE;
  std::vector<BYTE> data(4096);
  DWORD bytes = static_cast<DWORD>(data.size());
  if (RegGetValueW(root, subkey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                   data.data(), &bytes) != ERROR_SUCCESS) {
    return {REG_NONE, {}};
  }
  data.resize(bytes);
  return {type, data};
}

bool KeyExists(HKEY root, const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::wstring& path) {
  CUniqueHandle<CWin32FileTraits> file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  std::string bytes(GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty())
    ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  return bytes;
}

// A real shortcut made with the shell link object.
void MakeShortcut(const std::wstring& path, const std::wstring& target,
                  const std::wstring& arguments) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    CComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               PutVoid(link)),
              S_OK);
    ASSERT_EQ(link.get()->SetPath(target.c_str()), S_OK);
    ASSERT_EQ(link.get()->SetArguments(arguments.c_str()), S_OK);
    CComPtr<IPersistFile> file;
    ASSERT_EQ(link.get()->QueryInterface(IID_IPersistFile, PutVoid(file)), S_OK);
    ASSERT_EQ(file.get()->Save(path.c_str(), TRUE), S_OK);
  }
  CoUninitialize();
}

const StartupItem* Find(const CStartupManager& manager, std::wstring_view name) {
  for (const StartupItem& item : manager.Items()) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

std::size_t IndexOf(const CStartupManager& manager, std::wstring_view name) {
  return static_cast<std::size_t>(Find(manager, name) - manager.Items().data());
}

TEST(StartupManagerOnWindows, RealShortcutAndRunValueDisabledAndEnabledBack) {
  const std::wstring startup = ReadString(
      HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      L"Startup");
  ASSERT_NE(startup, L"<missing>") << "the prefix names no Startup folder under Shell Folders";
  SHCreateDirectoryExW(nullptr, startup.c_str(), nullptr);
  wchar_t windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::wstring pss = std::wstring(windows) + L"\\pss";
  // A fresh prefix has none: the manager makes it.
  EXPECT_FALSE(Exists(pss));

  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring target = std::wstring(system) + L"\\notepad.exe";
  const std::wstring shortcut = startup + L"\\QvStartup Tool.lnk";
  MakeShortcut(shortcut, target, L"/p \"C:\\some file.txt\"");
  const std::string shortcutBytes = ReadBytes(shortcut);
  const std::wstring command = L"\"C:\\Program Files\\QvAgent\\agent.exe\" /tray \u00e9";
  HKEY run = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueExW(run, L"QvAgent", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
  RegCloseKey(run);
  const auto runValue = ReadRaw(HKEY_CURRENT_USER, kRun, L"QvAgent");

  CWin32Platform machine;
  CStartupManager manager(machine.platform());
  manager.Refresh();
  const StartupItem* tool = Find(manager, L"QvStartup Tool");
  const StartupItem* agent = Find(manager, L"QvAgent");
  ASSERT_NE(tool, nullptr);
  ASSERT_NE(agent, nullptr);
  EXPECT_TRUE(EqualsNoCase(tool->command, target + L" /p \"C:\\some file.txt\""))
      << ToUtf8(tool->command);
  EXPECT_EQ(tool->location, L"Startup");
  EXPECT_TRUE(tool->enabled);
  EXPECT_EQ(agent->command, command);
  EXPECT_EQ(agent->location, L"HKEY_CURRENT_USER/Run");
  const std::wstring toolCommand = tool->command;
  manager.Flip(IndexOf(manager, L"QvStartup Tool"));
  manager.Flip(IndexOf(manager, L"QvAgent"));
  ASSERT_EQ(manager.Apply(), 0);

  // Disabled: the shortcut in pss under the Windows folder, the value gone, both recorded.
  std::wstring recordName = shortcut;
  for (wchar_t& c : recordName) {
    if (c == L'\\') c = L'^';
  }
  const std::wstring folderRecord = std::wstring(kFolderRecords) + L"\\" + recordName;
  const std::wstring backup = pss + L"\\QvStartup Tool.lnkStartup";
  EXPECT_FALSE(Exists(shortcut));
  EXPECT_EQ(ReadBytes(backup), shortcutBytes);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, folderRecord, L"item"), L"QvStartup Tool");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, folderRecord, L"command"), toolCommand);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, folderRecord, L"location"), L"Startup");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, folderRecord, L"path"), shortcut);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, folderRecord, L"backup"), backup);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kRun, L"QvAgent").first, static_cast<DWORD>(REG_NONE));
  const std::wstring regRecord = std::wstring(kRegRecords) + L"\\QvAgent";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, regRecord, L"item"), L"QvAgent");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, regRecord, L"command"), command);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, regRecord, L"hkey"), L"HKEY_CURRENT_USER");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, regRecord, L"key"), kRun);
  tool = Find(manager, L"QvStartup Tool");
  agent = Find(manager, L"QvAgent");
  ASSERT_NE(tool, nullptr);
  ASSERT_NE(agent, nullptr);
  EXPECT_FALSE(tool->enabled);
  EXPECT_EQ(tool->location, L"Startup");
  EXPECT_FALSE(agent->enabled);
  EXPECT_EQ(agent->location, std::wstring(L"HKEY_CURRENT_USER/") + kRun);

  manager.Flip(IndexOf(manager, L"QvStartup Tool"));
  manager.Flip(IndexOf(manager, L"QvAgent"));
  ASSERT_EQ(manager.Apply(), 0);

  // Enabled: back as they were, byte for byte, and no record left.
  EXPECT_EQ(ReadBytes(shortcut), shortcutBytes);
  EXPECT_FALSE(Exists(backup));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, folderRecord));
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, kRun, L"QvAgent"), runValue);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, regRecord));
  tool = Find(manager, L"QvStartup Tool");
  agent = Find(manager, L"QvAgent");
  ASSERT_NE(tool, nullptr);
  ASSERT_NE(agent, nullptr);
  EXPECT_TRUE(tool->enabled);
  EXPECT_EQ(tool->command, toolCommand);
  EXPECT_TRUE(agent->enabled);
  EXPECT_EQ(agent->location, L"HKEY_CURRENT_USER/Run");

  DeleteFileW(shortcut.c_str());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"QvAgent");
}

}  // namespace
}  // namespace qv
