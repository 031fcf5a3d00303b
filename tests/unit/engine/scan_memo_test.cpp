// The drive's answers remembered for a scan: over the machines other tests build, a scan that
// remembers them finds, passes over and reports exactly what a scan that asks the drive every time
// does.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/checks.h"
#include "engine/registry_cleaner.h"
#include "tests/support/engine_fixture.h"
#include "tests/unit/engine/fixture_machines.h"
#include "tests/unit/engine/path_reference_cases.h"

namespace qv {
namespace {

using test::CEngineFixture;

// Names every file and folder of the installed-program machine, as it is and gone, in two
// spellings, and as a command line with arguments.
void InstalledPrograms(CEngineFixture& fx) {
  test::SeedInstalledPrograms(fx.files());
  int i = 0;
  for (const wchar_t* folder :
       {L"C:\\Program Files\\Tool", L"C:\\PROGRAM FILES\\suite\\bin", L"C:\\Program Files\\Deep\\a",
        L"C:\\Program Files\\Logged", L"C:\\Program Files\\Linked\\bin", L"C:\\Program Files\\Emptied",
        L"C:\\Program Files (x86)\\Old", L"C:\\ProgramData\\Vendor", L"C:\\users\\bob\\Downloads",
        L"C:\\Tools", L"C:\\Program Files\\Gone\\sub"}) {
    const std::wstring base(folder);
    for (const std::wstring& path :
         {base, base + L"\\tool.exe", base + L"\\TOOL.EXE", base + L"\\data\\a.ini",
          base + L"\\missing.dll", L"\"" + base + L"\\tool.exe\" /run \"%1\"", base + L"\\tool"}) {
      fx.registry().SetString(L"HKLM\\Software\\Vendor\\Settings", std::to_wstring(i++), path);
    }
  }
}

// The per-user programs: one deleted by hand, one whole.
void UserPrograms(CEngineFixture& fx) {
  test::InstallForUser(fx.registry(), L"Gone");
  test::InstallForUser(fx.registry(), L"Kept");
  fx.files().AddFile(L"C:\\users\\user\\AppData\\Local\\Kept\\Update.exe");
  fx.files().AddFile(L"C:\\users\\user\\AppData\\Local\\Kept\\bin\\Kept.exe");
}

// The path-reference cases' files and variables, with every case's text a value in both views.
void PathCases(CEngineFixture& fx) {
  fx.machine().Make64Bit();
  const CFolderTable folders = CFolderTable::Resolve(fx.shell());
  for (const auto& [name, value] : test::PathCaseEnvironment(folders)) {
    fx.shell().SetEnvironment(name, value);
  }
  ASSERT_EQ(test::CreatePathCaseFiles(fx.files(), folders), kErrorSuccess);
  int i = 0;
  for (const test::PATH_REFERENCE_CASE& c : test::PathReferenceCases()) {
    const std::wstring text = test::SubstituteMarkers(c.input, folders);
    fx.registry().SetExpandString(L"HKLM\\Software\\Cases", std::to_wstring(i), text);
    fx.registry().SetString(L"HKLM\\Software\\Wow6432Node\\Cases", std::to_wstring(i), text);
    ++i;
  }
}

// What a full scan reported, as comparable text.
struct SCAN_RESULT {
  std::vector<test::PROBLEM_ROW> problems;
  std::vector<std::wstring> evidence;
  std::vector<std::wstring> passedOver;
  std::vector<std::wstring> examined;
};

SCAN_RESULT Scan(const std::function<void(CEngineFixture&)>& build, bool remembered) {
  CEngineFixture fx;
  build(fx);
  CRegistryCleaner& engine = fx.engine();
  engine.SetDriveAnswersRemembered(remembered);
  engine.Prepare(AllCategories());
  for (int category = 0; category < kCategoryCount; ++category) {
    EXPECT_TRUE(RunCategoryCheck(engine, category));
  }
  SCAN_RESULT result{fx.ProblemRows(), {}, {}, fx.sink().Examined()};
  for (std::size_t i = 0; i < fx.problems().size(); ++i) {
    result.evidence.push_back(EvidenceText(ShownEvidence(*fx.problems().At(i))));
  }
  for (const PASSED_OVER& entry : engine.PassedOver()) {
    result.passedOver.push_back(entry.key + L"|" + entry.name + L"|" + entry.data + L"|" +
                                EvidenceText(entry.evidence));
  }
  return result;
}

TEST(ScanMemo, RememberedAnswersGiveTheResultsOfAskingEveryTime) {
  const struct {
    const char* name;
    std::function<void(CEngineFixture&)> build;
    bool findsProblems;
  } machines[] = {
      {"installed programs", InstalledPrograms, true},
      {"user programs", UserPrograms, true},
      {"path reference cases", PathCases, true},
      {"fresh machine", [](CEngineFixture&) {}, false},
  };
  for (const auto& machine : machines) {
    SCOPED_TRACE(machine.name);
    const SCAN_RESULT remembered = Scan(machine.build, true);
    const SCAN_RESULT asked = Scan(machine.build, false);
    EXPECT_EQ(remembered.problems.empty(), !machine.findsProblems);
    EXPECT_EQ(remembered.problems, asked.problems);
    EXPECT_EQ(remembered.evidence, asked.evidence);
    EXPECT_EQ(remembered.passedOver, asked.passedOver);
    EXPECT_EQ(remembered.examined, asked.examined);
  }
}

}  // namespace
}  // namespace qv
