// The product data folder on a machine others share, under Wine: after a start of the console
// the folder and its subfolders grant nothing to other accounts (Wine derives the access list
// from the Unix mode, so a folder left open reads back with an entry for Everyone), and a Unix
// symbolic link planted in place of LOGS is not used, never written through. Owners cannot be
// told apart here (Wine gives every file the current user): the in-memory tests prove them.
#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "state/state_texts.h"
#include "tests/support/win32/cli_child.h"
#include "tests/wine/hostile/unix_link.h"

namespace qv::test {
namespace {

std::wstring DataFolder() { return CommonAppData() + L"\\" + kProductName; }

// The names in a folder, "." and ".." left out.
std::vector<std::wstring> Names(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// The accounts other than SYSTEM, Administrators and this user that the folder's access list
// allows anything, as SID strings; "no list" when it has none (which allows everyone everything).
std::vector<std::string> OthersAllowed(const std::wstring& folder) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD rc = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &dacl, nullptr, &descriptor);
  if (rc != ERROR_SUCCESS) return {"error " + std::to_string(rc)};
  std::vector<std::string> others;
  if (dacl == nullptr) others.push_back("no list");
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    if (static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart;
    for (const WELL_KNOWN_SID_TYPE type : {WinWorldSid, WinBuiltinUsersSid,
                                           WinAuthenticatedUserSid, WinInteractiveSid}) {
      if (IsWellKnownSid(sid, type)) others.push_back(std::to_string(type));
    }
  }
  LocalFree(descriptor);
  return others;
}

TEST(HostileDataFolder, TheFoldersGrantNothingToOtherAccounts) {
  // Made beforehand as any program makes a folder, with the list it inherits: open to everyone.
  const std::wstring data = DataFolder();
  const std::wstring open = data + L"\\" + kBackupSubfolder + L"\\QuarveloBak_Open";
  for (const std::wstring& folder : {data, data + L"\\" + kBackupSubfolder, open}) {
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  ASSERT_FALSE(OthersAllowed(open).empty()) << "Wine no longer shows an open folder";

  const CHILD_RESULT run = RunCli(L"ignore list");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  for (const std::wstring& folder :
       {data, data + L"\\" + kBackupSubfolder, data + L"\\" + kLogSubfolder, open}) {
    EXPECT_EQ(OthersAllowed(folder), std::vector<std::string>{}) << ToUtf8(folder);
  }
}

TEST(HostileDataFolder, ALinkInPlaceOfTheLogFolderIsNeitherUsedNorWrittenThrough) {
  const std::wstring data = DataFolder();
  const std::wstring logs = data + L"\\" + kLogSubfolder;
  const std::wstring elsewhere = L"C:\\QvHostileLogs";
  ASSERT_EQ(RunCli(L"ignore list").exitCode, 0u);  // the folders are there
  ASSERT_TRUE(MoveFileW(logs.c_str(), (logs + L".before").c_str())) << GetLastError();
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  MakeUnixLink(elsewhere, logs);

  const CHILD_RESULT run = RunCli(L"ignore list");
  EXPECT_EQ(run.exitCode, 0u);
  // Wine renames what a Unix symbolic link leads to, never the link (docs/wine-notes.md), so the
  // rename aside is refused there (ERROR_NOT_SUPPORTED, 50) and the folder stays unused for the
  // run; Windows renames a junction or symbolic link itself and makes a fresh folder.
  EXPECT_EQ(run.err, "QuarveloCli: The folder " + ToUtf8(logs) + " is not used: " +
                         ToUtf8(kUntrustedReparsePoint.english) +
                         ". It could not be moved aside (error 50), so nothing is read from it "
                         "or written to it in this run.\r\n");
  EXPECT_EQ(Names(elsewhere + L"\\*"), std::vector<std::wstring>{}) << "written through the link";
  EXPECT_EQ(Names(data + L"\\*.untrusted-*"), std::vector<std::wstring>{})
      << "what the link leads to was moved";
  EXPECT_NE(GetFileAttributesW(logs.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

  // The other tests of the program read the logs again.
  RemoveUnixLink(logs);
  EXPECT_TRUE(MoveFileW((logs + L".before").c_str(), logs.c_str())) << GetLastError();
}

}  // namespace
}  // namespace qv::test
