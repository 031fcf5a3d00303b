// Backing up and deleting trees that hold a real registry link, on the real registry: the link
// inside HKLM\Software\QuarveloLinkSafety\Tree leads to ...\Target, outside the tree. Following
// it would delete the target (RegDeleteKeyW on the link's path) or its whole tree (a recursive
// delete of a key holding the link); a .reg file cannot hold it. Both operations refuse such a
// tree and touch nothing; a tree without links is backed up and deleted as before.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/registry_editor_win32.h"
#include "platform/win32/win32_platform.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "repair/key_delete.h"
#include "repair/registry_merge.h"
#include "tests/support/win32/registry_link.h"

namespace qv {
namespace {

constexpr wchar_t kArea[] = L"Software\\QuarveloLinkSafety";
constexpr wchar_t kTree[] = L"Software\\QuarveloLinkSafety\\Tree";
constexpr wchar_t kLink[] = L"Software\\QuarveloLinkSafety\\Tree\\a\\Link";
constexpr wchar_t kTarget[] = L"Software\\QuarveloLinkSafety\\Target";
constexpr wchar_t kPlain[] = L"Software\\QuarveloLinkSafety\\Plain";

void SetText(const std::wstring& subkey, const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// The value as text, read through the registry API; "<missing>" when the key or value is gone.
std::wstring GetText(const std::wstring& subkey, const wchar_t* name, DWORD options = 0) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), options, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  wchar_t text[512] = {};
  DWORD bytes = sizeof text - sizeof(wchar_t);
  const LSTATUS rc = RegQueryValueExW(key, name, nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(text), &bytes);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? std::wstring(text) : L"<missing>";
}

bool KeyExists(const std::wstring& subkey, DWORD options = 0) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), options, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

class LinkSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CleanUp();
    SetText(kTarget, L"keep", L"me");
    SetText(std::wstring(kTarget) + L"\\Inner", L"deep", L"too");
    SetText(kTree, L"v", L"1");
    SetText(std::wstring(kTree) + L"\\a\\deep", L"w", L"2");
    SetText(std::wstring(kTree) + L"\\b", L"x", L"3");
    const std::wstring software = test::NativeKeyPath(HKEY_LOCAL_MACHINE, L"Software");
    ASSERT_FALSE(software.empty());
    ASSERT_EQ(test::CreateRegistryLink(HKEY_LOCAL_MACHINE, kLink,
                                       software + L"\\QuarveloLinkSafety\\Target"),
              ERROR_SUCCESS);
    // The link is real: its path opens the target.
    ASSERT_EQ(GetText(kLink, L"keep"), L"me");
  }
  void TearDown() override { CleanUp(); }

  // The link goes first, by itself, so the tree delete below cannot follow it.
  static void CleanUp() {
    test::DeleteRegistryLink(HKEY_LOCAL_MACHINE, kLink);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kArea);
  }

  void ExpectTargetUntouched() {
    EXPECT_EQ(GetText(kTarget, L"keep"), L"me");
    EXPECT_EQ(GetText(std::wstring(kTarget) + L"\\Inner", L"deep"), L"too");
  }

  // Backs up the key into a new file; returns BackupKey's result and the file's text.
  ErrorCode Backup(const wchar_t* subkey, std::wstring* text) {
    wchar_t folder[MAX_PATH];
    EXPECT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    m_file = std::wstring(folder) + L"qv_link_safety.reg";
    DeleteFileW(m_file.c_str());  // a backup file is never made over an existing one
    std::unique_ptr<CBackupFile> file;
    EXPECT_EQ(CBackupFile::Create(m_machine.files(), m_file, kRegHeaderVersion5, &file),
              kErrorSuccess);
    if (!file) return kErrorInvalidHandle;
    EXPECT_EQ(file->Write(std::wstring(kRegHeaderVersion4) + L"\n"), kErrorSuccess);
    const ErrorCode rc = BackupKey(m_machine.registry(), kHkeyLocalMachine, subkey, file.get());
    EXPECT_EQ(file->Close(), kErrorSuccess);
    EXPECT_EQ(ReadTextFile(m_machine.files(), m_file, text), kErrorSuccess);
    return rc;
  }

  CWin32Platform m_machine;
  std::wstring m_file;
};

TEST_F(LinkSafetyTest, ATreeHoldingALinkIsNeitherBackedUpNorDeleted) {
  for (const wchar_t* subkey : {kTree, kLink}) {
    SCOPED_TRACE(testing::Message() << (subkey == kTree ? "the tree" : "the link itself"));
    std::wstring text;
    EXPECT_EQ(Backup(subkey, &text), kErrorReparsePointEncountered);
    EXPECT_EQ(text, std::wstring(kRegHeaderVersion4) + L"\r\n");  // no section at all
    EXPECT_EQ(DeleteKeyTree(m_machine.registry(), kHkeyLocalMachine, subkey),
              kErrorReparsePointEncountered);
    EXPECT_EQ(GetText(kTree, L"v"), L"1");
    EXPECT_EQ(GetText(std::wstring(kTree) + L"\\a\\deep", L"w"), L"2");
    EXPECT_EQ(GetText(std::wstring(kTree) + L"\\b", L"x"), L"3");
    EXPECT_TRUE(KeyExists(kLink, REG_OPTION_OPEN_LINK));
    EXPECT_EQ(GetText(kLink, L"keep"), L"me");  // still a link to the target
    ExpectTargetUntouched();
  }
  DeleteFileW(m_file.c_str());
}

TEST_F(LinkSafetyTest, ATreeWithoutLinksIsBackedUpDeletedAndMergesBack) {
  SetText(kPlain, L"p", L"plain");
  SetText(std::wstring(kPlain) + L"\\one\\two", L"q", L"deeper");
  SetText(std::wstring(kPlain) + L"\\three", L"r", L"side");
  std::wstring text;
  ASSERT_EQ(Backup(kPlain, &text), kErrorSuccess);
  EXPECT_NE(text.find(L"[HKEY_LOCAL_MACHINE\\Software\\QuarveloLinkSafety\\Plain\\one\\two]\r\n"
                      L"\"q\"=\"deeper\""),
            std::wstring::npos);
  EXPECT_EQ(DeleteKeyTree(m_machine.registry(), kHkeyLocalMachine, kPlain), kErrorSuccess);
  EXPECT_FALSE(KeyExists(kPlain));
  EXPECT_EQ(DeleteKeyTree(m_machine.registry(), kHkeyLocalMachine, kPlain), kErrorFileNotFound);
  CWin32RegistryEditor editor;
  EXPECT_EQ(MergeRegistryFile(editor, m_machine.registry(), m_machine.files(), m_file),
            kErrorSuccess);
  EXPECT_EQ(GetText(kPlain, L"p"), L"plain");
  EXPECT_EQ(GetText(std::wstring(kPlain) + L"\\one\\two", L"q"), L"deeper");
  EXPECT_EQ(GetText(std::wstring(kPlain) + L"\\three", L"r"), L"side");
  ExpectTargetUntouched();
  EXPECT_EQ(GetText(kLink, L"keep"), L"me");
  DeleteFileW(m_file.c_str());
}

}  // namespace
}  // namespace qv
