// Missing paths of the File/Path walk against the folders they lie in: a program that is still
// installed keeps the files and folders it makes on first use, a deleted program's leftovers are
// found, the Windows folder is never judged, and the drive is asked about each folder once per
// scan. Then the evidence every check gives its problems, and its texts.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/checks.h"
#include "engine/registry_cleaner.h"
#include "platform/memory/memory_shell.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/unit/engine/fixture_machines.h"

namespace qv {
namespace test {

// A program file in an immediate subfolder of every folder that holds programs, so that only its
// standing as such a folder makes a path below it a leftover.
void SeedInstalledPrograms(CMemoryFileSystem& files) {
  for (const wchar_t* file : {
           L"C:\\Program Files\\Tool\\tool.exe",              // healthy, files in its folder
           L"C:\\Program Files\\Suite\\bin\\suite.dll",       // healthy, program one level down
           L"C:\\Program Files\\Deep\\a\\b\\deep.exe",        // two levels down: no program
           L"C:\\Program Files\\Logged\\uninstall.log",       // deleted, its log left behind
           L"C:\\Program Files\\Linked\\bin\\linked.exe",     // bin is a link to elsewhere
           L"C:\\Program Files (x86)\\Old\\old.exe",
           L"C:\\Program Files\\Common Files\\Shared\\shared.dll",
           L"C:\\Program Files (x86)\\Common Files\\Shared\\shared.dll",
           L"C:\\ProgramData\\Vendor\\service.exe",
           L"C:\\users\\Public\\setup.exe",
           L"C:\\users\\bob\\Downloads\\setup.exe",
           L"C:\\users\\bob\\AppData\\Roaming\\Other\\other.exe",
           L"C:\\users\\user\\AppData\\Local\\Updater\\updater.exe",
           L"C:\\users\\user\\AppData\\Local\\Temp\\setup1\\setup.exe",
           L"C:\\Tools\\tool.exe",
       }) {
    files.AddFile(file);
  }
  files.AddFolder(L"C:\\Program Files\\Emptied");
  files.MarkReparsePoint(L"C:\\Program Files\\Linked\\bin");
}

}  // namespace test

namespace {

using test::CEngineFixture;

constexpr wchar_t kSettings[] = L"HKLM\\Software\\Vendor\\Settings";

struct RULE_CASE {
  const wchar_t* path;          // the value's data
  PROBLEM_EVIDENCE evidence;    // EVIDENCE_NONE: not reported
};

TEST(InstalledProgram, MissingPathsAreJudgedByTheFolderTheyLieIn) {
  const std::vector<RULE_CASE> cases = {
      // A program still installed: what it makes on first use is kept.
      {L"C:\\Program Files\\Tool\\data\\settings.ini", {}},
      {L"C:\\Program Files\\Tool\\logs", {}},
      {L"C:\\Program Files\\Tool\\conf\\user.ini", {}},
      {L"C:\\Program Files\\Suite\\suite.ini", {}},
      // Several paths: one of an installed program keeps the value.
      {L"C:\\gone\\a.dat,C:\\Program Files\\Tool\\cache", {}},
      // Windows' own folder is not judged.
      {L"C:\\Windows\\gone.dll", {}},
      {L"C:\\Windows\\Missing\\deep\\x.sys", {}},
      // A program's folder without a program any more.
      {L"C:\\Program Files\\Emptied\\data\\settings.ini",
       {EVIDENCE_NO_PROGRAM, L"C:\\Program Files\\Emptied\\data\\settings.ini",
        L"C:\\Program Files\\Emptied"}},
      {L"C:\\Program Files\\Logged\\settings.ini",
       {EVIDENCE_NO_PROGRAM, L"C:\\Program Files\\Logged\\settings.ini",
        L"C:\\Program Files\\Logged"}},
      {L"C:\\Program Files\\Logged\\cache\\x.bin",
       {EVIDENCE_NO_PROGRAM, L"C:\\Program Files\\Logged\\cache\\x.bin",
        L"C:\\Program Files\\Logged\\cache"}},
      {L"C:\\Program Files\\Deep\\deep.ini",
       {EVIDENCE_NO_PROGRAM, L"C:\\Program Files\\Deep\\deep.ini", L"C:\\Program Files\\Deep"}},
      {L"C:\\Program Files\\Linked\\linked.ini",
       {EVIDENCE_NO_PROGRAM, L"C:\\Program Files\\Linked\\linked.ini",
        L"C:\\Program Files\\Linked"}},
      // Folders that hold programs rather than being one; the path keeps its own case.
      {L"C:\\PROGRAM Files\\Gone\\Data.ini",
       {EVIDENCE_MISSING_FOLDER, L"C:\\PROGRAM Files\\Gone\\Data.ini", L"C:\\PROGRAM Files\\Gone"}},
      {L"%program_files%\\Gone\\x.ini",
       {EVIDENCE_MISSING_FOLDER, L"C:\\Program Files\\Gone\\x.ini", L"C:\\Program Files\\Gone"}},
      {L"C:\\Program Files (x86)\\Gone\\x.ini",
       {EVIDENCE_MISSING_FOLDER, L"C:\\Program Files (x86)\\Gone\\x.ini",
        L"C:\\Program Files (x86)\\Gone"}},
      {L"C:\\Program Files\\Common Files\\gone.dll",
       {EVIDENCE_MISSING_FILE, L"C:\\Program Files\\Common Files\\gone.dll",
        L"C:\\Program Files\\Common Files"}},
      {L"C:\\Program Files (x86)\\Common Files\\gone.dll",
       {EVIDENCE_MISSING_FILE, L"C:\\Program Files (x86)\\Common Files\\gone.dll",
        L"C:\\Program Files (x86)\\Common Files"}},
      {L"C:\\ProgramData\\Gone\\x.dat",
       {EVIDENCE_MISSING_FOLDER, L"C:\\ProgramData\\Gone\\x.dat", L"C:\\ProgramData\\Gone"}},
      {L"C:\\users\\gone\\x.txt",
       {EVIDENCE_MISSING_FOLDER, L"C:\\users\\gone\\x.txt", L"C:\\users\\gone"}},
      {L"C:\\users\\bob\\report.txt",
       {EVIDENCE_MISSING_FILE, L"C:\\users\\bob\\report.txt", L"C:\\users\\bob"}},
      {L"C:\\users\\bob\\AppData\\Roaming\\Tool\\x.cfg",
       {EVIDENCE_MISSING_FOLDER, L"C:\\users\\bob\\AppData\\Roaming\\Tool\\x.cfg",
        L"C:\\users\\bob\\AppData\\Roaming\\Tool"}},
      {L"C:\\users\\user\\AppData\\Local\\Gone\\x.db",
       {EVIDENCE_MISSING_FOLDER, L"C:\\users\\user\\AppData\\Local\\Gone\\x.db",
        L"C:\\users\\user\\AppData\\Local\\Gone"}},
      {L"C:\\users\\user\\AppData\\Local\\Temp\\gone.tmp",
       {EVIDENCE_MISSING_FILE, L"C:\\users\\user\\AppData\\Local\\Temp\\gone.tmp",
        L"C:\\users\\user\\AppData\\Local\\Temp"}},
      {L"C:\\gone\\x.txt", {EVIDENCE_MISSING_FOLDER, L"C:\\gone\\x.txt", L"C:\\gone"}},
      // A drive that is not there now is not judged.
      {L"Q:\\data\\x.txt", {}},
  };
  CEngineFixture fx;
  test::SeedInstalledPrograms(fx.files());
  fx.files().AddFolder(L"C:\\Program Files\\Tool\\conf");    // made at setup, still empty
  fx.files().AddFolder(L"C:\\Program Files\\Logged\\cache");  // left behind with the log
  for (std::size_t i = 0; i < cases.size(); ++i) {
    fx.registry().SetString(kSettings, L"v" + std::to_wstring(i), cases[i].path);
  }
  CheckFileReferences(fx.engine());
  std::map<std::wstring, PROBLEM_EVIDENCE> found;
  for (std::size_t i = 0; i < fx.problems().size(); ++i) {
    found[fx.problems().At(i)->name] = fx.problems().At(i)->evidence;
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto it = found.find(L"v" + std::to_wstring(i));
    const PROBLEM_EVIDENCE got = it == found.end() ? PROBLEM_EVIDENCE{} : it->second;
    EXPECT_EQ(got, cases[i].evidence)
        << ToUtf8(cases[i].path) << ": got \"" << ToUtf8(EvidenceText(got)) << "\"";
  }
}

// Counts what the drive is asked, by call and path.
class CCountingFileSystem final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode QueryExistence(std::wstring_view p) override {
    ++asked[L"is " + std::wstring(p)];
    return CForwardingFileSystem::QueryExistence(p);
  }
  bool IsDirectory(std::wstring_view p) override {
    ++asked[L"dir " + std::wstring(p)];
    return CForwardingFileSystem::IsDirectory(p);
  }
  ErrorCode FindFiles(std::wstring_view p, std::vector<CFindData>* e) override {
    ++asked[L"list " + std::wstring(p)];
    return CForwardingFileSystem::FindFiles(p, e);
  }
  std::map<std::wstring, int> asked;
};

TEST(InstalledProgram, EachFolderIsAskedAfterOncePerScan) {
  CMemoryPlatform machine;
  test::SeedInstalledPrograms(machine.files());
  CCountingFileSystem counting(machine.files());
  const CPlatform platform{machine.registry(), counting, machine.shell(), machine.clock()};
  CProblemList problems;
  CRegistryCleaner engine(platform, problems);
  // Several values in the same folders, in two spellings, with and without a program.
  for (const wchar_t* path :
       {L"C:\\Program Files\\Tool\\data\\a.ini", L"C:\\program files\\tool\\b.ini",
        L"C:\\Program Files\\Tool\\data\\c.ini", L"C:\\Program Files\\Logged\\a.ini",
        L"C:\\PROGRAM FILES\\LOGGED\\b.ini", L"C:\\Program Files\\Suite\\x.ini",
        L"C:\\Program Files\\Suite\\y.ini"}) {
    machine.registry().SetString(kSettings, path, path);
  }
  const auto scan = [&] {
    problems.Clear();
    counting.asked.clear();
    engine.Prepare(AllCategories());
    CheckFileReferences(engine);
  };
  // Each folder is listed once, and its listing answers for every path in it, in any spelling:
  // nothing is asked of a path itself.
  const std::map<std::wstring, int> expected = {
      {L"list C:\\Program Files\\Tool\\data\\*", 1}, {L"list C:\\Program Files\\Tool\\*", 1},
      {L"list C:\\Program Files\\Logged\\*", 1}, {L"list C:\\Program Files\\Suite\\*", 1},
      {L"list C:\\Program Files\\Suite\\bin\\*", 1}};
  scan();
  EXPECT_EQ(counting.asked, expected);
  EXPECT_EQ(problems.size(), 2u);  // Logged's two
  // The next scan asks again: the program left its folder in between.
  ASSERT_EQ(machine.files().RemoveFile(L"C:\\Program Files\\Tool\\tool.exe"), kErrorSuccess);
  scan();
  EXPECT_EQ(counting.asked, expected);
  EXPECT_EQ(problems.size(), 5u);
  // And a file made in a folder the last scan listed is there for the next.
  machine.files().AddFile(L"C:\\Program Files\\Logged\\a.ini");
  scan();
  EXPECT_EQ(counting.asked, expected);
  EXPECT_EQ(problems.size(), 4u);
}

// ---- Evidence ----

TEST(ProblemEvidence, EveryCheckSaysWhatItTestedAndFoundMissing) {
  CEngineFixture fx;
  test::SeedInstalledPrograms(fx.files());
  const std::wstring windows = L"HKLM\\SOFTWARE\\Microsoft\\Windows";
  const std::wstring current = windows + L"\\CurrentVersion";
  fx.registry().SetString(L"HKLM\\Software\\Classes\\CLSID\\{C1}", L"AppID", L"{A1}");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\Some.Prog\\CLSID", L"", L"{C2}");
  fx.registry().SetString(current + L"\\Uninstall\\Old", L"UninstallString",
                          L"\"C:\\Program Files\\Gone\\uninst.exe\" /x");
  fx.registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                          L"Gone (TrueType)", L"gone.ttf");
  fx.registry().SetDword(current + L"\\SharedDLLs", L"C:\\Tools\\gone.dll", 1);
  fx.registry().SetString(current + L"\\App Paths\\gone.exe", L"", L"c:\\TOOLS\\Gone.exe");
  fx.registry().SetString(windows + L"\\HELP", L"gone.hlp", L"C:\\Help\\gone.hlp");
  fx.registry().SetString(L"HKCU\\" + std::wstring(kMenuOrderKey) + L"\\Removed", L"x", L"y");
  fx.registry().SetString(L"HKLM\\" + std::wstring(kShellFoldersKey), L"Common Programs",
                          L"C:\\Common");
  fx.files().AddFile(L"C:\\users\\user\\Desktop\\Gone.lnk",
                     CMemoryShell::ShortcutFileBytes({L"C:\\Tools\\gone-target.exe", L"", L""}));
  fx.registry().CreatePath(L"HKCU\\Software\\Vendor\\Empty");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\.gone", L"", L"Gone.File");
  fx.registry().SetString(L"HKLM\\Software\\Classes\\Gone.File\\shell\\open\\command", L"",
                          L"\"C:\\Program Files\\Viewer\\viewer.exe\" \"%1\"");
  fx.files().AddFolder(L"C:\\Windows\\Fonts");
  for (int category = 0; category < kCategoryCount; ++category) {
    if (category == REGPROBLEM_FILE_PATH) continue;
    static_cast<void>(RunCategoryCheck(fx.engine(), category));
  }
  std::vector<std::wstring> texts;
  for (std::size_t i = 0; i < fx.problems().size(); ++i) {
    texts.push_back(std::to_wstring(fx.problems().At(i)->type) + L" " +
                    EvidenceText(ShownEvidence(*fx.problems().At(i))));
  }
  const std::wstring user = L"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
  EXPECT_EQ(texts, (std::vector<std::wstring>{
                       L"0 Not registered: HKEY_CLASSES_ROOT\\AppID\\{A1}",
                       L"0 Not registered: HKEY_CLASSES_ROOT\\CLSID\\{C2}",
                       L"1 Missing folder: C:\\Program Files\\Gone (for C:\\Program Files\\Gone\\"
                       L"uninst.exe)",
                       L"2 Missing file: C:\\Windows\\Fonts\\gone.ttf",
                       L"3 Missing file: C:\\Tools\\gone.dll",
                       L"4 Missing file: c:\\TOOLS\\Gone.exe",
                       L"5 Missing folder: C:\\Help (for C:\\Help\\gone.hlp)",
                       L"6 Neither folder exists: C:\\Common\\Removed, " + user +
                           L"\\Programs\\Removed",
                       L"8 Missing shortcut target: C:\\Tools\\gone-target.exe",
                       L"9 No subkeys and no values: HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\"
                       L"Vendor\\Empty",
                       L"10 Missing folder: C:\\Program Files\\Viewer (for C:\\Program Files\\"
                       L"Viewer\\viewer.exe)"}));
}

TEST(ProblemEvidence, TextsAndKindNames) {
  const struct {
    PROBLEM_EVIDENCE evidence;
    const wchar_t* text;
    const wchar_t* kind;
  } cases[] = {
      {{}, L"", L"none"},
      {{EVIDENCE_MISSING_FILE, L"C:\\a\\b.ini", L"C:\\a"}, L"Missing file: C:\\a\\b.ini",
       L"missingFile"},
      {{EVIDENCE_MISSING_FOLDER, L"C:\\a\\b.ini", L"C:\\a"},
       L"Missing folder: C:\\a (for C:\\a\\b.ini)", L"missingFolder"},
      {{EVIDENCE_NO_PROGRAM, L"C:\\P\\T\\x.ini", L"C:\\P\\T"},
       L"No program left in C:\\P\\T (for C:\\P\\T\\x.ini)", L"noProgram"},
      {{EVIDENCE_NOT_REGISTERED, L"HKEY_CLASSES_ROOT\\CLSID\\{X}", L""},
       L"Not registered: HKEY_CLASSES_ROOT\\CLSID\\{X}", L"notRegistered"},
      {{EVIDENCE_EMPTY_KEY, L"HKEY_USERS\\S\\K", L""},
       L"No subkeys and no values: HKEY_USERS\\S\\K", L"emptyKey"},
      {{EVIDENCE_MISSING_TARGET, L"C:\\t.exe", L""}, L"Missing shortcut target: C:\\t.exe",
       L"missingTarget"},
      {{EVIDENCE_NO_MENU_FOLDER, L"C:\\A\\E", L"C:\\B\\E"},
       L"Neither folder exists: C:\\A\\E, C:\\B\\E", L"noMenuFolder"},
      // A path holding "%1" stays as it is.
      {{EVIDENCE_MISSING_FILE, L"C:\\%1%2.txt", L""}, L"Missing file: C:\\%1%2.txt",
       L"missingFile"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EvidenceText(c.evidence), c.text);
    EXPECT_EQ(EvidenceKindName(c.evidence.kind), c.kind);
  }
}

}  // namespace
}  // namespace qv
