// The uninstall, font, shared-DLL, application-path and help checks and the shared value-reference
// check on the in-memory platform: what each judges and reports, the entries examined, the
// buffer limits, cancellation and the category dispatch.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/checks.h"
#include "base/utf16.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

using test::PROBLEM_ROW;

const std::wstring kHklm = L"HKLM\\";
const std::wstring kUninstall = kHklm + std::wstring(kUninstallKey);
const std::wstring kFonts = kHklm + std::wstring(kFontsKey);
const std::wstring kSharedDlls = kHklm + std::wstring(kSharedDllsKey);
const std::wstring kAppPaths = kHklm + std::wstring(kAppPathsKey);
const std::wstring kHelp = kHklm + std::wstring(kHelpKey);
const std::wstring kHtmlHelp = kHklm + std::wstring(kHtmlHelpKey);
const std::wstring kUserShellFolders = L"HKCU\\" + std::wstring(kUserShellFoldersKey);
const std::wstring kShellFolders = L"HKCU\\" + std::wstring(kShellFoldersKey);

const std::wstring kUninstallProblemKey =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kFontsProblemKey =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::wstring kSharedDllsProblemKey =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::wstring kAppPathsProblemKey =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

class SoftwareChecksTest : public ::testing::Test, protected test::CEngineFixture {
 protected:
  void Run(const std::function<void(CRegistryCleaner&)>& check) {
    check(engine());
    EXPECT_EQ(registry().OpenHandleCount(), 0u) << "every key opened is closed";
  }
};

// ---- Uninstall entries ----

TEST_F(SoftwareChecksTest, UninstallEntries) {
  files().AddFile(L"C:\\Program Files\\Kept\\uninst.exe");
  struct {
    const wchar_t* entry;
    const wchar_t* command;  // null: no UninstallString value
    const wchar_t* problemData;  // null: not reported
  } const cases[] = {
      {L"Kept", L"C:\\Program Files\\Kept\\uninst.exe /S", nullptr},
      {L"Quoted", L"\"C:\\Program Files\\Quoted\\remove.exe\" /x /y",
       L"C:\\Program Files\\Quoted\\remove.exe"},
      {L"Variable", L"%ProgramFiles%\\Variable\\u.exe -q", L"C:\\Program Files\\Variable\\u.exe"},
      // Not judged although the programs named are missing here.
      {L"Msi", L"C:\\Windows\\system32\\MsiExec.exe /X{11111111-2222-3333-4444-555555555555}",
       nullptr},
      // rundll32 runs the DLL its argument names: the DLL is what the command depends on.
      {L"Rundll", L"C:\\Windows\\system32\\RunDll32.exe C:\\gone\\setup.dll,Uninstall",
       L"C:\\gone\\setup.dll"},
      {L"S3", L"C:\\gone\\S3UNINST.EXE app.inf", nullptr},
      {L"Share", L"\\\\server\\share\\gone\\uninstall.exe", nullptr},
      {L"Bare", L"uninstall.exe /remove", nullptr},
      {L"NoCommand", nullptr, nullptr},
      {L"Regsvr", L"regsvr32 /u \"C:\\gone\\x.dll\"", L"C:\\gone\\x.dll"},
  };
  std::vector<PROBLEM_ROW> expected;
  std::vector<std::wstring> examined;
  for (const auto& c : cases) {
    const std::wstring key = kUninstall + L"\\" + c.entry;
    if (c.command != nullptr) {
      registry().SetString(key, L"UninstallString", c.command);
    } else {
      registry().SetString(key, L"DisplayName", c.entry);
    }
  }
  // Subkeys enumerate in sorted order.
  for (const wchar_t* entry : {L"Bare", L"Kept", L"Msi", L"NoCommand", L"Quoted", L"Regsvr",
                               L"Rundll", L"S3", L"Share", L"Variable"}) {
    examined.push_back(std::wstring(kUninstallKey) + L"\\" + entry);
    for (const auto& c : cases) {
      if (std::wstring(c.entry) == entry && c.problemData != nullptr) {
        expected.push_back({kUninstallProblemKey, entry, c.problemData, REGPROBLEM_UNINSTALL});
      }
    }
  }

  Run(CheckUninstallEntries);

  EXPECT_EQ(ProblemRows(), expected);
  EXPECT_EQ(sink().Examined(), examined);
}

TEST_F(SoftwareChecksTest, UninstallCommandBufferLimit) {
  // UninstallString is read into 2,048 bytes: 1,023 characters and the terminator fit.
  const std::wstring program = L"\"C:\\gone\\a.exe\" /";
  const std::wstring fits = program + std::wstring(1023 - program.size(), L'f');
  const std::wstring tooLong = program + std::wstring(1024 - program.size(), L'l');
  registry().SetString(kUninstall + L"\\A", L"UninstallString", fits);
  registry().SetString(kUninstall + L"\\B", L"UninstallString", tooLong);
  // A path of 260 characters or more names nothing a program can open: not judged.
  registry().SetString(kUninstall + L"\\C", L"UninstallString", L"C:\\" + std::wstring(257, L'c'));

  Run(CheckUninstallEntries);

  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{{kUninstallProblemKey, L"A", L"C:\\gone\\a.exe", 1}}));
  EXPECT_EQ(sink().Examined().size(), 3u);
}

TEST_F(SoftwareChecksTest, UninstallKeyMissingExaminesNothing) {
  Run(CheckUninstallEntries);
  EXPECT_TRUE(sink().Events().empty());
}

// ---- Fonts ----

class FontCheckTest : public SoftwareChecksTest {
 protected:
  void SetUp() override {
    files().AddFile(L"C:\\Windows\\Fonts\\arial.ttf");
    files().AddFile(L"C:\\Windows\\Fonts\\x.ttf");
    files().AddFile(L"C:\\users\\user\\MyFonts\\mine.ttf");
    files().AddFile(L"D:\\Other\\abs.ttf");
    registry().SetString(kFonts, L"Arial (TrueType)", L"arial.ttf");
    registry().SetString(kFonts, L"Gone (TrueType)", L"gone.ttf");
    registry().SetString(kFonts, L"Mine (TrueType)", L"mine.ttf");
    registry().SetString(kFonts, L"Absolute Missing", L"C:\\Fonts\\x.ttf");
    registry().SetString(kFonts, L"Absolute Present", L"D:\\Other\\abs.ttf");
  }
  std::vector<std::wstring> ProblemNames() const {
    std::vector<std::wstring> names;
    for (const PROBLEM_ROW& row : ProblemRows()) names.push_back(row.name);
    return names;
  }
};

TEST_F(FontCheckTest, ShellFoldersFontsFolderWithUnexpandedUserValue) {
  registry().SetExpandString(kUserShellFolders, L"Fonts", L"%windir%\\Fonts");
  registry().SetString(kShellFolders, L"Fonts", L"C:\\Windows\\Fonts");

  Run(CheckFonts);

  // The absolute path is looked for there only, although x.ttf is in the Fonts folder.
  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{
                               {kFontsProblemKey, L"Gone (TrueType)", L"gone.ttf", 2},
                               {kFontsProblemKey, L"Mine (TrueType)", L"mine.ttf", 2},
                               {kFontsProblemKey, L"Absolute Missing", L"C:\\Fonts\\x.ttf", 2},
                           }));
  // The three keys are named; font values are not.
  EXPECT_EQ(sink().Examined(),
            (std::vector<std::wstring>{std::wstring(kUserShellFoldersKey),
                                       std::wstring(kShellFoldersKey), std::wstring(kFontsKey)}));
}

TEST_F(FontCheckTest, EitherFolderHoldingTheFileIsEnough) {
  registry().SetString(kUserShellFolders, L"Fonts", L"C:\\users\\user\\MyFonts");
  registry().SetString(kShellFolders, L"Fonts", L"C:\\Windows\\Fonts\\");

  Run(CheckFonts);

  EXPECT_EQ(ProblemNames(), (std::vector<std::wstring>{L"Gone (TrueType)", L"Absolute Missing"}));
}

TEST_F(FontCheckTest, WithoutShellFoldersValueTheWindowsFontsFolderStandsIn) {
  struct {
    const wchar_t* label;
    const wchar_t* userValue;  // null: not there
  } const cases[] = {
      {L"neither value", nullptr},
      {L"only an unexpanded User Shell Folders value", L"%windir%\\Fonts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.label));
    problems().Clear();
    if (c.userValue != nullptr) {
      registry().SetExpandString(kUserShellFolders, L"Fonts", c.userValue);
    }

    Run(CheckFonts);

    EXPECT_EQ(ProblemNames(), (std::vector<std::wstring>{L"Gone (TrueType)", L"Mine (TrueType)",
                                                         L"Absolute Missing"}));
  }
}

TEST_F(FontCheckTest, WithNoFolderKnownOnlyAbsolutePathsAreJudged) {
  shell().RemoveFolder(kCsidlWindows);  // before the engine resolves its folders

  Run(CheckFonts);

  EXPECT_EQ(ProblemNames(), (std::vector<std::wstring>{L"Absolute Missing"}));
}

TEST_F(FontCheckTest, FontsKeyMissingEndsAfterNamingIt) {
  registry().RemovePath(kFonts);
  registry().SetString(kShellFolders, L"Fonts", L"C:\\Windows\\Fonts");

  Run(CheckFonts);

  EXPECT_TRUE(problems().empty());
  EXPECT_EQ(sink().Examined().size(), 3u);
}

// ---- Shared DLLs ----

TEST_F(SoftwareChecksTest, SharedDlls) {
  files().AddFile(L"C:\\Windows\\system32\\kept.dll");
  registry().SetDword(kSharedDlls, L"C:\\Windows\\system32\\kept.dll", 3);
  registry().SetDword(kSharedDlls, L"C:\\Program Files\\Gone\\gone.dll", 1);
  // The reference count is not read: data of any size does not stop the enumeration.
  registry().SetValueRaw(kSharedDlls, L"C:\\Gone\\big.dll", kRegBinary,
                         std::vector<std::uint8_t>(5000, 0x41));
  registry().SetDword(kSharedDlls, L"C:\\Windows\\system32", 1);  // a folder exists too

  Run(CheckSharedDlls);

  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{
                {kSharedDllsProblemKey, L"C:\\Program Files\\Gone\\gone.dll", L"", 3},
                {kSharedDllsProblemKey, L"C:\\Gone\\big.dll", L"", 3},
            }));
  // Values enumerate in creation order.
  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{
                                   L"C:\\Windows\\system32\\kept.dll",
                                   L"C:\\Program Files\\Gone\\gone.dll",
                                   L"C:\\Gone\\big.dll",
                                   L"C:\\Windows\\system32",
                               }));
}

// ---- Application paths ----

TEST_F(SoftwareChecksTest, AppPaths) {
  files().AddFile(L"C:\\Program Files\\Kept\\kept.exe");
  registry().SetString(kAppPaths + L"\\kept.exe", L"", L"C:\\Program Files\\Kept\\kept.exe");
  registry().SetString(kAppPaths + L"\\gone.exe", L"",
                       L"\"C:\\Program Files\\Gone\\gone.exe\" -x");
  registry().SetString(kAppPaths + L"\\nodefault.exe", L"Path", L"C:\\Gone");
  // A hyphen inside a name is part of the name.
  registry().SetString(kAppPaths + L"\\hyphen.exe", L"", L"C:\\Program Files\\My-App\\missing.exe");
  registry().SetString(kAppPaths + L"\\relative.exe", L"", L"relative.exe");
  registry().SetExpandString(kAppPaths + L"\\variable.exe", L"",
                             L"%ProgramFiles%\\Variable\\variable.exe");

  Run(CheckAppPaths);

  // The data is the default value as read, not the cleaned path.
  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{
                {kAppPathsProblemKey, L"gone.exe", L"\"C:\\Program Files\\Gone\\gone.exe\" -x", 4},
                {kAppPathsProblemKey, L"hyphen.exe", L"C:\\Program Files\\My-App\\missing.exe", 4},
                {kAppPathsProblemKey, L"variable.exe", L"%ProgramFiles%\\Variable\\variable.exe",
                 4},
            }));
  std::vector<std::wstring> examined;
  for (const wchar_t* name : {L"gone.exe", L"hyphen.exe", L"kept.exe", L"nodefault.exe",
                              L"relative.exe", L"variable.exe"}) {
    examined.push_back(std::wstring(kAppPathsKey) + L"\\" + name);
  }
  EXPECT_EQ(sink().Examined(), examined);
}

// ---- Help files and the value-reference check ----

TEST_F(SoftwareChecksTest, HelpFolders) {
  registry().SetString(kHelp, L"kept.hlp", L"C:\\Windows\\Help");
  files().AddFolder(L"C:\\Windows\\Help");
  registry().SetString(kHelp, L"gone.hlp", L"C:\\Gone\\Help");
  registry().SetString(kHelp, L"share.hlp", L"\\\\server\\help");
  // An existing folder whose name, read as a reference, expands into a missing path: the plain
  // existence test comes first.
  files().AddFolder(L"C:\\Help %temp%");
  registry().SetString(kHelp, L"percent.hlp", L"C:\\Help %temp%");
  registry().SetString(kHtmlHelp, L"gone.chm", L"C:\\Missing");
  registry().SetString(kHtmlHelp, L"placeholder.chm", L"%windir%\\Help");

  Run(CheckHelpFiles);

  EXPECT_EQ(ProblemRows(),
            (std::vector<PROBLEM_ROW>{
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP", L"gone.hlp",
                 L"C:\\Gone\\Help", 5},
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help", L"gone.chm",
                 L"C:\\Missing", 5},
            }));
  EXPECT_EQ(sink().Examined(), (std::vector<std::wstring>{
                                   std::wstring(kHelpKey),
                                   L"C:\\Windows\\Help",
                                   L"C:\\Gone\\Help",
                                   L"\\\\server\\help",
                                   L"C:\\Help %temp%",
                                   std::wstring(kHtmlHelpKey),
                                   L"C:\\Missing",
                                   L"%windir%\\Help",
                               }));
}

TEST_F(SoftwareChecksTest, HelpKeysMissingAreStillNamed) {
  Run(CheckHelpFiles);
  EXPECT_EQ(sink().Examined(),
            (std::vector<std::wstring>{std::wstring(kHelpKey), std::wstring(kHtmlHelpKey)}));
}

TEST_F(SoftwareChecksTest, ValueReferencesNameTheirRootAndType) {
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  files().AddFile(L"C:\\Program Files\\Tool\\tool.exe");
  registry().SetString(L"HKCU\\" + run, L"Tool", L"\"C:\\Program Files\\Tool\\tool.exe\" /tray");
  registry().SetString(L"HKCU\\" + run, L"Gone", L"C:\\Gone\\gone.exe");
  registry().SetDword(L"HKCU\\" + run, L"Number", 7);  // any type is read as text

  Run([&](CRegistryCleaner& e) {
    CheckValueReferences(e, kHkeyCurrentUser, run, REGPROBLEM_STARTUP);
  });

  EXPECT_EQ(ProblemRows(), (std::vector<PROBLEM_ROW>{{L"HKEY_CURRENT_USER\\" + run, L"Gone",
                                                      L"C:\\Gone\\gone.exe", 6}}));
  EXPECT_EQ(sink().Examined().size(), 4u);
}

// ---- Rules every check shares ----

// Names and data that do not fit the check's buffer (subkey names and value names 1,024
// characters, the terminator included; enumerated value data 1,024 bytes) pass over that entry
// only, and so does a name that holds a NUL character (with a log line): the entry after it is
// still judged.
TEST(SoftwareChecks, AnEntryThatDoesNotFitOrHoldsANulIsPassedOver) {
  const std::wstring fitName(1023, L'a');
  const std::wstring longName(1024, L'a');
  const std::wstring nulName(L"\0a", 2);  // sorts and enumerates before "after" and "zz"
  // A missing quoted path padded with an argument, so the reference stays judgeable.
  const std::wstring program = L"\"C:\\gone\" /";
  const std::wstring fitData = program + std::wstring(500, L'x');   // 511 + NUL = 1,024 bytes
  const std::wstring longData = program + std::wstring(501, L'x');  // 512 + NUL = 1,026 bytes
  struct CASE {
    const char* label;
    std::function<void(CMemoryRegistry&, const std::wstring& name, const std::wstring& data)> add;
    std::function<void(CRegistryCleaner&)> check;
  };
  const CASE cases[] = {
      {"uninstall subkey name",
       [](CMemoryRegistry& r, const std::wstring& n, const std::wstring&) {
         r.SetString(kUninstall + L"\\" + n, L"UninstallString", L"C:\\gone\\u.exe");
         r.SetString(kUninstall + L"\\zz", L"UninstallString", L"C:\\gone\\u.exe");
       },
       CheckUninstallEntries},
      {"app path subkey name",
       [](CMemoryRegistry& r, const std::wstring& n, const std::wstring&) {
         r.SetString(kAppPaths + L"\\" + n, L"", L"C:\\gone\\a.exe");
         r.SetString(kAppPaths + L"\\zz", L"", L"C:\\gone\\a.exe");
       },
       CheckAppPaths},
      {"shared DLL value name",
       [](CMemoryRegistry& r, const std::wstring& n, const std::wstring&) {
         // The name is the DLL's path: a drive path of the name's length.
         r.SetDword(kSharedDlls, n.size() > 3 ? L"C:\\" + n.substr(3) : n, 1);
         r.SetDword(kSharedDlls, L"C:\\gone\\after.dll", 1);
       },
       CheckSharedDlls},
      {"font value name",
       [](CMemoryRegistry& r, const std::wstring& n, const std::wstring&) {
         r.SetString(kFonts, n, L"gone.ttf");
         r.SetString(kFonts, L"after", L"gone.ttf");
       },
       CheckFonts},
      {"font value data",
       [](CMemoryRegistry& r, const std::wstring&, const std::wstring& d) {
         // A font's data is a file name or a path, never a command.
         r.SetString(kFonts, L"first", L"C:\\" + std::wstring(d.size() - 3, L'f'));
         r.SetString(kFonts, L"after", L"gone.ttf");
       },
       CheckFonts},
      {"help value name",
       [](CMemoryRegistry& r, const std::wstring& n, const std::wstring&) {
         r.SetString(kHelp, n, L"C:\\gone");
         r.SetString(kHelp, L"after", L"C:\\gone");
       },
       CheckHelpFiles},
      {"help value data",
       [](CMemoryRegistry& r, const std::wstring&, const std::wstring& d) {
         r.SetString(kHelp, L"first", d);
         r.SetString(kHelp, L"after", L"C:\\gone");
       },
       CheckHelpFiles},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.label);
    {
      test::CEngineFixture fits;
      c.add(fits.registry(), fitName, fitData);
      c.check(fits.engine());
      EXPECT_EQ(fits.problems().size(), 2u) << "both entries are judged";
    }
    {
      test::CEngineFixture overflows;
      c.add(overflows.registry(), longName, longData);
      c.check(overflows.engine());
      EXPECT_EQ(overflows.problems().size(), 1u) << "the entry after the large one is judged";
    }
    if (std::string_view(c.label).ends_with("name")) {
      test::CEngineFixture hostile;
      c.add(hostile.registry(), nulName, fitData);
      c.check(hostile.engine());
      ASSERT_EQ(hostile.problems().size(), 1u) << "only the entry after the NUL name";
      EXPECT_FALSE(HasNulCharacter(hostile.problems().At(0)->name));
      const std::vector<std::wstring>& log = hostile.log().entries;
      EXPECT_EQ(std::count_if(log.begin(), log.end(),
                              [](const std::wstring& line) {
                                return line.starts_with(L"Passed over ") &&
                                       line.find(L"\\\\0a: its name holds a NUL character") !=
                                           std::wstring::npos;
                              }),
                1);
    }
  }
}

TEST(SoftwareChecks, UnterminatedValueDataFillingTheBufferLosesItsLastCharacter) {
  test::CEngineFixture fx;
  const std::wstring filling = L"\"C:\\gone\" /" + std::wstring(501, L'x');  // exactly 1,024 bytes
  fx.registry().SetValueRaw(kHelp, L"raw", kRegSz, ToUtf16LeBytes(filling, false));

  CheckHelpFiles(fx.engine());

  EXPECT_EQ(fx.ProblemRows(),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP",
                                       L"raw", filling.substr(0, 511), 5}}));
}

// Cancel is tested after every entry: the entry at hand is finished, no further one is looked
// at.
TEST(SoftwareChecks, CancelEndsEachCheckAfterTheCurrentEntry) {
  struct CASE {
    const char* label;
    std::function<void(CMemoryRegistry&)> add;
    std::function<void(CRegistryCleaner&)> check;
  };
  const CASE cases[] = {
      {"uninstall",
       [](CMemoryRegistry& r) {
         for (const wchar_t* n : {L"a", L"b", L"c"}) {
           r.SetString(kUninstall + L"\\" + n, L"UninstallString", L"C:\\gone\\u.exe");
         }
       },
       CheckUninstallEntries},
      {"fonts",
       [](CMemoryRegistry& r) {
         for (const wchar_t* n : {L"a", L"b", L"c"}) r.SetString(kFonts, n, L"gone.ttf");
       },
       CheckFonts},
      {"shared DLLs",
       [](CMemoryRegistry& r) {
         for (const wchar_t* n : {L"C:\\a.dll", L"C:\\b.dll", L"C:\\c.dll"}) {
           r.SetDword(kSharedDlls, n, 1);
         }
       },
       CheckSharedDlls},
      {"app paths",
       [](CMemoryRegistry& r) {
         for (const wchar_t* n : {L"a", L"b", L"c"}) {
           r.SetString(kAppPaths + L"\\" + n, L"", L"C:\\gone\\a.exe");
         }
       },
       CheckAppPaths},
      {"help",
       [](CMemoryRegistry& r) {
         for (const wchar_t* n : {L"a", L"b", L"c"}) r.SetString(kHelp, n, L"C:\\gone");
       },
       CheckHelpFiles},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.label);
    test::CEngineFixture fx;
    c.add(fx.registry());
    fx.sink().onEvent = [&fx](const test::SCAN_EVENT& e) {
      if (e.message == kMsgProblemFound) fx.engine().SetCancel(1);
    };

    c.check(fx.engine());

    EXPECT_EQ(fx.problems().size(), 1u);
    const std::vector<test::SCAN_EVENT>& events = fx.sink().Events();
    ASSERT_FALSE(events.empty());
    const auto found = std::find_if(events.begin(), events.end(), [](const test::SCAN_EVENT& e) {
      return e.message == kMsgProblemFound;
    });
    ASSERT_NE(found, events.end());
    // Nothing of the cancelled check's own key follows the problem (the help check still names
    // its second key, whose first entry then meets the cancel).
    for (auto it = found + 1; it != events.end(); ++it) {
      EXPECT_EQ(it->text, std::wstring(kHtmlHelpKey));
    }
    EXPECT_EQ(fx.registry().OpenHandleCount(), 0u);
  }
}

// Each category index 0-10 runs its own check, and only that one.
TEST(SoftwareChecks, RunCategoryCheckDispatchesByIndex) {
  const auto addOneProblemPerCategory = [](test::CEngineFixture& fx) {
    fx.registry().SetString(L"HKCR\\CLSID\\{C}", L"AppID", L"{GONE}");
    fx.registry().SetString(kUninstall + L"\\u", L"UninstallString", L"C:\\gone\\u.exe");
    fx.registry().SetString(kFonts, L"f", L"C:\\gone\\f.ttf");
    fx.registry().SetDword(kSharedDlls, L"C:\\gone\\s.dll", 1);
    fx.registry().SetString(kAppPaths + L"\\a.exe", L"", L"C:\\gone\\a.exe");
    fx.registry().SetString(kHelp, L"h", L"C:\\gone");
    fx.registry().SetString(L"HKCU\\" + std::wstring(kRunKey), L"r", L"C:\\gone\\r.exe");
    fx.registry().CreatePath(L"HKCU\\Software\\Emptied");
    fx.registry().SetString(L"HKCR\\.gone", L"", L"GoneFile");
    fx.registry().SetString(L"HKCR\\GoneFile\\shell\\open\\command", L"", L"C:\\gone\\v.exe %1");
    fx.files().AddFile(L"C:\\users\\user\\Desktop\\gone.lnk",
                       CMemoryShell::ShortcutFileBytes({L"C:\\gone\\s.exe", L"", L""}));
  };
  for (int index = -1; index <= kCategoryCount; ++index) {
    SCOPED_TRACE(index);
    test::CEngineFixture fx;
    addOneProblemPerCategory(fx);

    const bool ran = RunCategoryCheck(fx.engine(), index);

    const bool hasCheck = IsValidCategory(index);
    EXPECT_EQ(ran, hasCheck);
    if (hasCheck) {
      // The File/Path walk sees every path-like string of the two hives, the others' included.
      if (index == REGPROBLEM_FILE_PATH) {
        EXPECT_GE(fx.problems().size(), 1u);
      } else {
        EXPECT_EQ(fx.problems().size(), 1u);
      }
      for (std::size_t i = 0; i < fx.problems().size(); ++i) {
        EXPECT_EQ(fx.problems().At(i)->type, index);
      }
    } else {
      EXPECT_TRUE(fx.problems().empty());
      EXPECT_TRUE(fx.sink().Events().empty());
    }
  }
}

}  // namespace
}  // namespace qv
