// The walks of the system checks on the real system under Wine: real shortcut files made with
// IShellLinkW, a folder loop (a symbolic link back to an ancestor, made by the test's prefix
// set-up), a real registry link, and an association whose open command is reached through a
// key path ending in a backslash.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/checks.h"
#include "base/utf16.h"
#include "engine/registry_cleaner.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/win32/registry_link.h"

namespace qv {
namespace {

constexpr wchar_t kRoot[] = L"C:\\QvShortcuts";
// Made by the prefix set-up: C:\QvShortcuts\Loop is a symbolic link to C:\QvShortcuts.
constexpr wchar_t kLoop[] = L"C:\\QvShortcuts\\Loop";

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

FILETIME WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

class ChecksOnWindowsTest : public ::testing::Test {
 protected:
  ChecksOnWindowsTest() : engine(system.platform(), problems, nullptr, nullptr) {
    engine.Prepare(AllCategories());
  }
  void MakeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << ToUtf8(path);
    CloseHandle(file);
  }
  void MakeShortcut(const std::wstring& path, const std::wstring& target) {
    ASSERT_EQ(system.shell().CreateShortcut(path, {target, L"/arg", L""}), kErrorSuccess)
        << ToUtf8(path);
  }
  std::vector<std::wstring> ProblemKeys() const {
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < problems.size(); ++i) keys.push_back(problems.At(i)->key);
    return keys;
  }

  CWin32Platform system;
  CProblemList problems;
  CRegistryCleaner engine;
};

TEST_F(ChecksOnWindowsTest, ShortcutsAreJudgedByTheirTargetAndNoneIsChanged) {
  ASSERT_NE(GetFileAttributesW(kLoop), INVALID_FILE_ATTRIBUTES) << "the set-up makes the loop";
  const std::wstring root = kRoot;
  for (const wchar_t* folder : {L"\\Apps", L"\\SendTo", L"\\Deeper", L"\\Deeper\\Still"}) {
    CreateDirectoryW((root + folder).c_str(), nullptr);
  }
  MakeFile(root + L"\\Apps\\tool.exe");
  MakeShortcut(root + L"\\Present.lnk", root + L"\\Apps\\tool.exe");
  MakeShortcut(root + L"\\Deeper\\Still\\Missing.lnk", root + L"\\Apps\\gone.exe");
  MakeShortcut(root + L"\\Upper.LNK", root + L"\\Apps\\gone.exe");
  MakeShortcut(root + L"\\SendTo\\Missing.lnk", root + L"\\Apps\\gone.exe");
  // The program's own shortcut backups, in the product's real data folder.
  wchar_t common[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common), S_OK);
  const std::wstring backup = std::wstring(common) + L"\\Quarvelo\\Backup";
  CreateDirectoryW((std::wstring(common) + L"\\Quarvelo").c_str(), nullptr);
  CreateDirectoryW(backup.c_str(), nullptr);
  CreateDirectoryW((backup + L"\\QuarveloBak_Test").c_str(), nullptr);
  MakeShortcut(backup + L"\\QuarveloBak_Test\\Moved.lnk", L"C:\\gone\\moved.exe");

  const std::vector<std::wstring> shortcuts = {root + L"\\Present.lnk",
                                               root + L"\\Deeper\\Still\\Missing.lnk",
                                               backup + L"\\QuarveloBak_Test\\Moved.lnk"};
  std::vector<std::string> before;
  std::vector<FILETIME> written;
  for (const std::wstring& s : shortcuts) {
    before.push_back(FileBytes(s));
    written.push_back(WriteTime(s));
  }

  WalkShortcuts(engine, root + L"\\*.*");
  WalkShortcuts(engine, backup + L"\\*.*");
  EXPECT_EQ(ProblemKeys(), std::vector<std::wstring>{root + L"\\Deeper\\Still\\Missing.lnk"});

  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    EXPECT_EQ(FileBytes(shortcuts[i]), before[i]) << ToUtf8(shortcuts[i]);
    const FILETIME now = WriteTime(shortcuts[i]);
    EXPECT_EQ(CompareFileTime(&now, &written[i]), 0) << "not written: " << ToUtf8(shortcuts[i]);
  }
  // The shortcut's own fields read back as written.
  SHORTCUT_INFO info;
  ASSERT_EQ(system.shell().ReadShortcut(root + L"\\Present.lnk", &info), kErrorSuccess);
  EXPECT_EQ(info.target, root + L"\\Apps\\tool.exe");
  EXPECT_EQ(info.arguments, L"/arg");
}

TEST_F(ChecksOnWindowsTest, TheRegistryWalksNeverFollowALink) {
  constexpr wchar_t kWalk[] = L"Software\\QuarveloWalk";
  constexpr wchar_t kTarget[] = L"Software\\QuarveloWalkTarget";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\QuarveloWalkTarget\\Inside", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const std::wstring gone = L"C:\\gone\\through_the_link.exe";
  ASSERT_EQ(RegSetValueExW(key, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(gone.c_str()),
                           static_cast<DWORD>((gone.size() + 1) * 2)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\QuarveloWalk\\Plain", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::wstring native = test::NativeKeyPath(HKEY_LOCAL_MACHINE, kTarget);
  ASSERT_FALSE(native.empty());
  ASSERT_EQ(test::CreateRegistryLink(HKEY_LOCAL_MACHINE, L"Software\\QuarveloWalk\\Link", native),
            ERROR_SUCCESS);

  WalkFileReferences(engine, kHkeyLocalMachine, kWalk, L"HKEY_LOCAL_MACHINE\\Software\\QuarveloWalk");
  EXPECT_TRUE(problems.empty()) << ToUtf8(problems.empty() ? L"" : problems.At(0)->key);
  // The empty key is reported; the link, which holds its one value, is not.
  static_cast<void>(WalkEmptyKeys(engine, kHkeyLocalMachine, kWalk, L"HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(ProblemKeys(), std::vector<std::wstring>{
                               L"HKEY_LOCAL_MACHINE\\Software\\QuarveloWalk\\Plain"});
  // Walked where it really is, the target's value is found.
  problems.Clear();
  WalkFileReferences(engine, kHkeyLocalMachine, kTarget,
                     L"HKEY_LOCAL_MACHINE\\Software\\QuarveloWalkTarget");
  EXPECT_EQ(ProblemKeys(), std::vector<std::wstring>{
                               L"HKEY_LOCAL_MACHINE\\Software\\QuarveloWalkTarget\\Inside"});
  EXPECT_EQ(test::DeleteRegistryLink(HKEY_LOCAL_MACHINE, L"Software\\QuarveloWalk\\Link"),
            ERROR_SUCCESS);
}

TEST_F(ChecksOnWindowsTest, AnAssociationsOpenCommandIsFoundThroughItsPathWithATrailingBackslash) {
  HKEY key = nullptr;
  const auto setDefault = [&](const wchar_t* path, const std::wstring& text) {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  };
  setDefault(L".qvgone", L"QuarveloGoneFile");
  setDefault(L"QuarveloGoneFile\\shell\\open\\command", L"\"C:\\gone\\viewer.exe\" \"%1\"");
  CheckFileAssociations(engine);
  bool found = false;
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const CRegistryProblem& p = *problems.At(i);
    if (p.key == L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.qvgone") {
      found = true;
      EXPECT_EQ(p.data, L"C:\\gone\\viewer.exe");
    }
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace qv
