// The safe list and the ignore list on the real Win32 API, in the throwaway prefix: ignore.wls
// bytes in the real code page, its replacement while another handle holds it, shipped lists from
// a real folder listing, the blocked store in the real registry, and the undo section merged by
// the system registry editor lifting the block again.
#include "engine/exclusion_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text_case.h"
#include "platform/win32/registry_editor_win32.h"
#include "platform/win32/win32_platform.h"
#include "repair/backup_file.h"
#include "repair/backup_texts.h"
#include "repair/registry_merge.h"
#include "state/state_texts.h"
#include "tests/support/forwarding_shell.h"

#include <windows.h>
#include <shlobj.h>
#undef ReplaceFile

namespace qv {
namespace {

constexpr wchar_t kRunKey[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kBlockedRun[] = L"SOFTWARE\\Quarvelo\\blocked\\WinStartUpErrors";

// The real shell, except that the running program lives in a folder the test owns (so the
// shipped lists beside it are the test's).
class CProgramFolderShell final : public test::CForwardingShell {
 public:
  using CForwardingShell::CForwardingShell;
  // Empty: the real program's path.
  void SetModuleFileName(std::wstring module) { m_module = std::move(module); }
  std::wstring ModuleFileName() override {
    return m_module.empty() ? CForwardingShell::ModuleFileName() : m_module;
  }

 private:
  std::wstring m_module;
};

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
}

std::wstring ReadRunBlock(const std::wstring& name) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  const LSTATUS rc =
      RegGetValueW(HKEY_LOCAL_MACHINE, kBlockedRun, name.c_str(), RRF_RT_ANY, &type, data, &bytes);
  if (rc != ERROR_SUCCESS) return L"<error " + std::to_wstring(rc) + L">";
  return type == REG_SZ ? std::wstring(data) : L"<type " + std::to_wstring(type) + L">";
}

class ExclusionListsOnWindows : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    m_programFolder = std::wstring(temp) + L"qv_exclusion_program";
    CreateDirectoryW(m_programFolder.c_str(), nullptr);
    wchar_t common[MAX_PATH] = {};
    ASSERT_EQ(
        SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, common),
        S_OK);
    m_userFile = std::wstring(common) + L"\\Quarvelo\\ignore.wls";
  }

  CPlatform Platform() { return {win32.registry(), win32.files(), m_shell, win32.clock()}; }

  CWin32Platform win32;
  std::wstring m_programFolder;
  CProgramFolderShell m_shell{win32.shell()};
  std::wstring m_userFile;

  void UseProgramFolder() { m_shell.SetModuleFileName(m_programFolder + L"\\Quarvelo.exe"); }
};

TEST_F(ExclusionListsOnWindows, UserFileBytesAndCharactersBeyondTheCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "the expected bytes below are those of code page 1252";
  const std::vector<bool> roundTrips = CodePageRoundTrips(win32.files());
  for (std::size_t b = 0; b < roundTrips.size(); ++b) EXPECT_TRUE(roundTrips[b]) << b;

  CExclusionLists lists(Platform(), nullptr, kProductName);
  const CRegistryProblem problem(kRunKey, L"Caf\u00e9 \u20ac", L"C:\\\u65e5\u672c\\\u0080.exe",
                                 REGPROBLEM_STARTUP, 0);
  ASSERT_EQ(lists.IgnoreProblem(problem), kErrorSuccess);
  EXPECT_EQ(ReadBytes(m_userFile),
            "6\r\nHKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\"
            "Caf\xe9 &#x20ac;|C:\\&#x65e5;&#x672c;\\\x80.exe\r\n");

  CExclusionLists again(Platform(), nullptr, kProductName);
  again.LoadExclusionLists();
  ASSERT_EQ(again.VisibleCount(), 1u);
  EXPECT_EQ(again.VisibleEntries()[0].identity, ToLowerAscii(ProblemIdentity(problem)));
  EXPECT_TRUE(again.IsProblemExcluded(problem));

  ASSERT_TRUE(again.RemoveVisibleEntry(0));
  EXPECT_EQ(again.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_EQ(GetFileAttributesW(m_userFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExclusionListsOnWindows, AListHeldOpenElsewhereStaysAsItWas) {
  const std::string old = "6\r\nfirst\r\n";
  WriteBytes(m_userFile, old);
  CExclusionLists lists(Platform(), nullptr, kProductName);
  lists.LoadExclusionLists();

  // Another program reads the list and lets nobody delete or rename it meanwhile.
  HANDLE reader = CreateFileW(m_userFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_NE(lists.IgnoreProblem(
                CRegistryProblem(kRunKey, L"Second", L"C:\\2.exe", REGPROBLEM_STARTUP, 0)),
            kErrorSuccess);
  CloseHandle(reader);
  EXPECT_EQ(ReadBytes(m_userFile), old);
  EXPECT_EQ(GetFileAttributesW((m_userFile + L".new").c_str()), INVALID_FILE_ATTRIBUTES);

  // Once it is free, the next change replaces it whole.
  EXPECT_EQ(
      lists.IgnoreProblem(CRegistryProblem(kRunKey, L"Third", L"C:\\3.exe", REGPROBLEM_STARTUP, 0)),
      kErrorSuccess);
  EXPECT_EQ(
      ReadBytes(m_userFile),
      "6\r\nfirst\r\n6\r\n" +
          std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run") +
          "\\Second|C:\\2.exe\r\n6\r\nHKEY_LOCAL_"
          "MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Third|C:\\3.exe\r\n");
  DeleteFileW(m_userFile.c_str());
}

TEST_F(ExclusionListsOnWindows, ShippedListsComeFromTheProgramFolder) {
  UseProgramFolder();
  WriteBytes(m_programFolder + L"\\vendor.wls", "1\r\nShipped\r\nk\r\nAcmeVendor\r\n");
  WriteBytes(m_programFolder + L"\\empty.wls", "");
  WriteBytes(m_userFile, "6\r\nUser\r\n");
  CExclusionLists lists(Platform(), nullptr, kProductName);
  lists.LoadExclusionLists();
  EXPECT_EQ(lists.ShippedCount(), 1u);
  EXPECT_EQ(lists.IgnoreList(), (std::vector<EXCLUSION_ENTRY>{{1, L"shipped"}, {6, L"user"}}));
  EXPECT_EQ(lists.KRows().back(), L"acmevendor");
  DeleteFileW(m_userFile.c_str());
}

TEST_F(ExclusionListsOnWindows, BlockIsStoredAndMergingTheBackupLiftsIt) {
  const CRegistryProblem problem(L"ab", L"cd", L"ef", REGPROBLEM_STARTUP, 0);  // hash -628100691
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring backupPath = std::wstring(temp) + L"qv_exclusion_undo.reg";
  std::unique_ptr<CBackupFile> backup;
  ASSERT_EQ(CBackupFile::Create(win32.files(), backupPath, kRegHeaderVersion5, &backup),
            kErrorSuccess);
  ASSERT_EQ(backup->Write(std::wstring(kRegHeaderVersion4) + L"\n"), kErrorSuccess);

  CExclusionLists lists(Platform(), nullptr, kProductName);
  lists.LoadExclusionLists();
  ASSERT_EQ(lists.BlockProblem(problem, *backup), kErrorSuccess);
  ASSERT_EQ(backup->Close(), kErrorSuccess);
  ASSERT_EQ(lists.SaveExclusionListsIfChanged(), kErrorSuccess);
  EXPECT_EQ(ReadRunBlock(L"-628100691"), L"ab\\cd|ef");
  EXPECT_EQ(
      ReadBytes(backupPath),
      "REGEDIT4\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\WinStartUpErrors]\r\n"
      "\"-628100691\"=-\r\n");

  CExclusionLists next(Platform(), nullptr, kProductName);
  next.LoadExclusionLists();
  EXPECT_TRUE(next.IsProblemExcluded(problem));

  CWin32RegistryEditor editor;
  ASSERT_EQ(MergeRegistryFile(editor, win32.registry(), win32.files(), backupPath), kErrorSuccess);
  EXPECT_EQ(ReadRunBlock(L"-628100691"), L"<error 2>");
  next.LoadExclusionLists();
  EXPECT_FALSE(next.IsProblemExcluded(problem));
  DeleteFileW(backupPath.c_str());
}

}  // namespace
}  // namespace qv
