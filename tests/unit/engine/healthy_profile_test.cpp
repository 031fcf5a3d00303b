// A user's machine as it really is: programs installed for one user (registered in the user's
// hive and the user's classes), drives that come and go, and paths the drive cannot tell about.
// A program of the user deleted by hand is found in every category it registered in, under the
// keys where it really is; its healthy twin never is; nothing on a drive that is not there, and
// nothing the drive could not answer for, is judged missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/checks.h"
#include "engine/registry_cleaner.h"
#include "tests/support/engine_fixture.h"
#include "tests/unit/engine/fixture_machines.h"

namespace qv {
namespace {

using test::CEngineFixture;
using test::PROBLEM_ROW;

constexpr wchar_t kUserSoftware[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kLocalAppData[] = L"C:\\users\\user\\AppData\\Local";

}  // namespace

namespace test {

// A program installed for the user the way per-user installers register one: an uninstall entry
// (icon, location, quiet uninstall), its application path, a Run entry, and a file type with its
// open command in the user's classes.
void InstallForUser(CMemoryRegistry& registry, const std::wstring& name) {
  const std::wstring folder = std::wstring(kLocalAppData) + L"\\" + name;
  const std::wstring program = folder + L"\\bin\\" + name + L".exe";
  const std::wstring entry = std::wstring(kUserSoftware) + L"\\Uninstall\\" + name;
  registry.SetString(entry, L"DisplayName", name);
  registry.SetString(entry, L"DisplayIcon", program + L",0");
  registry.SetString(entry, L"InstallLocation", folder);
  registry.SetString(entry, L"UninstallString", L"\"" + folder + L"\\Update.exe\" --uninstall");
  registry.SetString(std::wstring(kUserSoftware) + L"\\App Paths\\" + name + L".exe", L"", program);
  registry.SetString(std::wstring(kUserSoftware) + L"\\Run", name,
                     L"\"" + program + L"\" --processStart " + name + L".exe");
  registry.SetString(L"HKCU\\Software\\Classes\\." + name, L"", name + L".File");
  registry.SetString(L"HKCU\\Software\\Classes\\" + name + L".File\\shell\\open\\command", L"",
                     L"\"" + program + L"\" \"%1\"");
}

}  // namespace test

namespace {

using test::InstallForUser;


TEST(HealthyProfile, AProgramInstalledForTheUserIsJudgedInEveryCategoryWhereItIs) {
  CEngineFixture fx;
  InstallForUser(fx.registry(), L"Gone");
  InstallForUser(fx.registry(), L"Kept");
  const std::wstring kept = std::wstring(kLocalAppData) + L"\\Kept";
  fx.files().AddFile(kept + L"\\Update.exe");
  fx.files().AddFile(kept + L"\\bin\\Kept.exe");
  const std::wstring gone = std::wstring(kLocalAppData) + L"\\Gone";

  const std::wstring userRoot = L"HKEY_CURRENT_USER\\";
  const struct {
    int category;
    std::vector<PROBLEM_ROW> rows;
  } expected[] = {
      {REGPROBLEM_UNINSTALL,
       {{userRoot + std::wstring(kUninstallKey), L"Gone", gone + L"\\Update.exe", 1}}},
      {REGPROBLEM_APP_PATH,
       {{userRoot + std::wstring(kAppPathsKey), L"Gone.exe", gone + L"\\bin\\Gone.exe", 4}}},
      {REGPROBLEM_STARTUP,
       {{std::wstring(kUserSoftware) + L"\\Run", L"Gone",
         L"\"" + gone + L"\\bin\\Gone.exe\" --processStart Gone.exe", 6}}},
      {REGPROBLEM_FILE_ASSOCIATION,
       {{L"HKEY_CURRENT_USER\\Software\\Classes\\.Gone", L"(Default)", gone + L"\\bin\\Gone.exe",
         10}}},
  };
  for (const auto& c : expected) {
    SCOPED_TRACE(c.category);
    fx.problems().Clear();
    ASSERT_TRUE(RunCategoryCheck(fx.engine(), c.category));
    EXPECT_EQ(fx.ProblemRows(), c.rows);
  }

  // The File/Path walk finds the program's other leftovers, but leaves its uninstall entry to the
  // uninstall check: removing the entry's values one by one would leave Windows listing the
  // program with an uninstall button that no longer works.
  fx.problems().Clear();
  CheckFileReferences(fx.engine());
  std::vector<std::wstring> keys;
  for (const PROBLEM_ROW& row : fx.ProblemRows()) keys.push_back(row.key);
  const std::wstring user = L"HKEY_USERS\\S-1-5-21-0-0-0-1000";
  EXPECT_EQ(keys, (std::vector<std::wstring>{
                      user + L"\\Software\\Classes\\Gone.File\\shell\\open\\command",
                      user + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Gone.exe",
                      user + L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  }));
}

TEST(HealthyProfile, ATypeAndItsCommandResolveAcrossTheUserAndTheMachine) {
  CEngineFixture fx;
  fx.files().AddFile(L"C:\\Program Files\\Viewer\\view.exe");
  // The user's extension names a type registered for the machine, and the reverse; a machine
  // type the user registered again is read as the user's copy.
  fx.registry().SetString(L"HKCU\\Software\\Classes\\.mine", L"", L"Viewer.File");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\Viewer.File\\shell\\open\\command", L"",
                          L"\"C:\\Program Files\\Viewer\\view.exe\" \"%1\"");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\.theirs", L"", L"User.File");
  fx.registry().SetString(L"HKCU\\Software\\Classes\\User.File\\shell\\open\\command", L"",
                          L"\"C:\\Program Files\\Viewer\\view.exe\" \"%1\"");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\.over", L"", L"Over.File");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\Over.File\\shell\\open\\command", L"",
                          L"C:\\Gone\\old.exe \"%1\"");
  fx.registry().SetString(L"HKCU\\Software\\Classes\\Over.File\\shell\\open\\command", L"",
                          L"\"C:\\Program Files\\Viewer\\view.exe\" \"%1\"");
  // A type the user holds hides the machine's copy whole, its command included.
  fx.registry().SetString(L"HKLM\\Software\\Classes\\.hidden", L"", L"Hidden.File");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\Hidden.File\\shell\\open\\command", L"",
                          L"C:\\Gone\\old.exe \"%1\"");
  fx.registry().SetString(L"HKCU\\Software\\Classes\\Hidden.File", L"FriendlyTypeName", L"Mine");
  CheckFileAssociations(fx.engine());
  EXPECT_TRUE(fx.problems().empty());
}

// Only "not found" is missing: a path the drive cannot tell about counts as there.
TEST(HealthyProfile, APathTheDriveCannotTellAboutIsThere) {
  const struct {
    ErrorCode error;
    bool reported;
  } cases[] = {
      {kErrorFileNotFound, true},  {kErrorPathNotFound, true},      {kErrorAccessDenied, false},
      {kErrorSharingViolation, false}, {kErrorNotReady, false},    {kErrorBadNetPath, false},
      {kErrorInvalidParameter, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    CEngineFixture fx;
    fx.files().AddFolder(L"C:\\Tool");
    fx.files().SetPathError(L"C:\\Tool\\data", c.error);
    fx.registry().SetString(L"HKLM\\Software\\Tool", L"Data", L"C:\\Tool\\data\\settings.ini");
    fx.registry().SetString(std::wstring(kUserSoftware) + L"\\Run", L"Tool",
                            L"C:\\Tool\\data\\tool.exe -min");
    CheckFileReferences(fx.engine());
    CheckStartup(fx.engine());
    EXPECT_EQ(fx.problems().size(), c.reported ? 3u : 0u);
  }
}

// A path on a drive that is not there now, or whose content comes and goes, is not judged: the
// entry is passed over, with the drive and why in its evidence, unless the lists exclude it.
TEST(HealthyProfile, PathsOnDrivesThatComeAndGoArePassedOverAndListed) {
  const struct {
    wchar_t drive;
    DRIVE_KIND kind;  // kAbsent: no drive with the letter
    EVIDENCE_KIND evidence;
  } cases[] = {
      {L'C', DRIVE_KIND::kFixed, EVIDENCE_NONE},
      {L'R', DRIVE_KIND::kRamDisk, EVIDENCE_NONE},
      {L'D', DRIVE_KIND::kAbsent, EVIDENCE_DRIVE_ABSENT},
      {L'E', DRIVE_KIND::kRemovable, EVIDENCE_REMOVABLE_DRIVE},
      {L'F', DRIVE_KIND::kOptical, EVIDENCE_OPTICAL_DRIVE},
      {L'N', DRIVE_KIND::kNetwork, EVIDENCE_NETWORK_DRIVE},
      {L'U', DRIVE_KIND::kUnknown, EVIDENCE_UNKNOWN_DRIVE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<char>(c.drive));
    CEngineFixture fx;
    if (c.kind != DRIVE_KIND::kAbsent) {
      fx.files().AddDrive(c.drive);
      fx.files().SetDriveKind(c.drive, c.kind);
    }
    const std::wstring path = std::wstring(1, c.drive) + L":\\Archives\\photos.rar";
    fx.registry().SetString(L"HKCU\\Software\\WinRAR\\ArcHistory", L"0", path);
    // The same in an area the lists exclude: neither reported nor listed.
    fx.registry().SetString(L"HKCU\\Software\\Hidden", L"0", path);
    fx.filter().exclude = [](const CRegistryProblem& p) {
      return p.key.find(L"Hidden") != std::wstring::npos;
    };
    CheckFileReferences(fx.engine());
    const bool judged = c.evidence == EVIDENCE_NONE;
    EXPECT_EQ(fx.problems().size(), judged ? 1u : 0u);
    const std::vector<PASSED_OVER>& passed = fx.engine().PassedOver();
    ASSERT_EQ(passed.size(), judged ? 0u : 1u);
    if (judged) continue;
    EXPECT_EQ(passed[0].key, L"HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\WinRAR\\ArcHistory");
    EXPECT_EQ(passed[0].evidence,
              (PROBLEM_EVIDENCE{c.evidence, path, std::wstring(1, c.drive) + L":"}));
  }
}

}  // namespace
}  // namespace qv
