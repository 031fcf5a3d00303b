// The console's forms of the ignore list page and of the backups page's Delete, through
// QuarveloCli.exe on the registry and files of a throwaway Wine prefix: a scan's problem ignored
// (as the results page writes it) and one blocked by a repair are listed newest first and taken
// off again, the scan reporting the problem once more; a backup's files deleted (a repair's with
// its shortcut list and folder), and a registry file held open reported and kept with its list.
#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>

#include "base/text_case.h"
#include "base/utf16.h"
#include "tests/support/win32/cli_child.h"

namespace qv {
namespace {

using namespace test;  // the child and seeding helpers
using Json = nlohmann::json;

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kFontsBlocked[] = L"SOFTWARE\\Quarvelo\\blocked\\FontErrors";
constexpr char kBlockedIdentity[] = "HKEY_LOCAL_MACHINE\\Fonts\\Gone|C:\\gone.ttf";

// The identity ("key\name|data") of the scan's problem of this name, or "" when not reported.
std::string ScannedIdentity(const std::string& name) {
  const CHILD_RESULT scan = RunCli(L"scan -c 6 --quiet --json -");
  const Json report = Json::parse(scan.out, nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << scan.err;
  if (report.is_discarded()) return {};
  for (const Json& p : report.at("problems")) {
    if (p.at("name").get<std::string>() == name) {
      return p.at("key").get<std::string>() + "\\" + name + "|" + p.at("data").get<std::string>();
    }
  }
  return {};
}

TEST(CliPages, IgnoredAndBlockedEntriesAreListedNewestFirstAndRemovedByNumber) {
  SetString(HKEY_LOCAL_MACHINE, kRun, L"QvIgnore Gone", L"C:\\qvignore\\gone\\agent.exe");
  const std::string identity = ScannedIdentity("QvIgnore Gone");
  ASSERT_FALSE(identity.empty());
  const std::wstring folder = CommonAppData() + L"\\Quarvelo";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring userFile = folder + L"\\ignore.wls";
  WriteFileBytes(userFile, "6\r\n" + identity + "\r\n");
  SetString(HKEY_LOCAL_MACHINE, kFontsBlocked, L"12345", FromUtf8(kBlockedIdentity));

  const CHILD_RESULT list = RunCli(L"ignore list --json");
  EXPECT_EQ(list.exitCode, 0u) << list.err;
  const Json listed = Json::parse(list.out, nullptr, false);
  ASSERT_FALSE(listed.is_discarded()) << list.out;
  const Json expected = {{"entries",
                          {{{"category", 2}, {"categoryName", "Fonts"}, {"identity", kBlockedIdentity}},
                           {{"category", 6},
                            {"categoryName", "Windows Startups"},
                            {"identity", ToUtf8(ToLowerAscii(FromUtf8(identity)))}}}}};
  EXPECT_EQ(listed, expected) << list.out;
  EXPECT_TRUE(ScannedIdentity("QvIgnore Gone").empty());

  const CHILD_RESULT second = RunCli(L"ignore remove 2");
  EXPECT_EQ(second.exitCode, 0u) << second.err;
  EXPECT_EQ(second.out.rfind("Removed 2  Windows Startups: ", 0), 0u) << second.out;
  EXPECT_EQ(ScannedIdentity("QvIgnore Gone"), identity);

  // The blocked entry goes from the registry too, and with it the last of the user file.
  const CHILD_RESULT first = RunCli(L"ignore remove 1");
  EXPECT_EQ(first.exitCode, 0u) << first.err;
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsBlocked, L"12345"), L"<missing>");
  EXPECT_EQ(GetFileAttributesW(userFile.c_str()), INVALID_FILE_ATTRIBUTES);
  const CHILD_RESULT empty = RunCli(L"ignore list");
  EXPECT_EQ(empty.out, "The ignore list is empty.\r\n");
  EXPECT_EQ(RunCli(L"ignore remove 1").exitCode, 2u);
  EXPECT_EQ(RunCli(L"ignore remove 0").exitCode, 2u);
}

TEST(CliPages, BackupsDeleteRemovesBothFilesAndKeepsABackupItCannotDelete) {
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\Backup";
  CreateDirectoryW((CommonAppData() + L"\\Quarvelo").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  CreateDirectoryW((folder + L"\\QuarveloBak_T").c_str(), nullptr);
  for (const wchar_t* name : {L"a.reg", L"a.bak", L"a.old.reg", L"held.reg", L"held.bak",
                              L"RCBak_T.reg", L"QuarveloBak_T.bak", L"QuarveloBak_T\\A.lnk"}) {
    WriteFileBytes(folder + L"\\" + name, "REGEDIT4\r\n");
  }
  const CHILD_RESULT listed = RunCli(L"backups --json");
  EXPECT_NE(listed.out.find("\"name\": \"a\""), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("\"name\": \"a.old\""), std::string::npos) << listed.out;

  // A repair's backup goes with its shortcut list and the folder of shortcuts it moved aside.
  EXPECT_EQ(RunCli(L"backups delete RCBak_T").exitCode, 0u);
  for (const wchar_t* name : {L"RCBak_T.reg", L"QuarveloBak_T.bak", L"QuarveloBak_T"}) {
    EXPECT_EQ(GetFileAttributesW((folder + L"\\" + name).c_str()), INVALID_FILE_ATTRIBUTES)
        << ToUtf8(name);
  }

  const CHILD_RESULT deleted = RunCli(L"backups delete a");
  EXPECT_EQ(deleted.exitCode, 0u) << deleted.err;
  EXPECT_EQ(GetFileAttributesW((folder + L"\\a.reg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((folder + L"\\a.bak").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW((folder + L"\\a.old.reg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(RunCli(L"backups delete a").exitCode, 1u);
  EXPECT_EQ(RunCli(L"backups delete ..\\a").exitCode, 2u);

  {
    CUniqueHandle<CWin32FileTraits> held(CreateFileW((folder + L"\\held.reg").c_str(), GENERIC_READ,
                                                     0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    const CHILD_RESULT refused = RunCli(L"backups delete held");
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_NE(refused.err.find("held.reg could not be deleted (error 32)"), std::string::npos)
        << refused.err;
  }
  EXPECT_NE(GetFileAttributesW((folder + L"\\held.bak").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(RunCli(L"backups delete held").exitCode, 0u);
}

}  // namespace
}  // namespace qv
