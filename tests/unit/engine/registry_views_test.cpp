// The two registry views of a 64-bit Windows on the in-memory platform: each category that has a
// 32-bit key finds its problems there too, a ProgID's class counts in the view its program uses,
// paths of the 32-bit view resolve as a 32-bit program opens them, the File/Path walk takes a key
// named Wow6432Node (and only such a key) for the 32-bit view, and a machine without a 32-bit
// view is scanned as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "engine/checks.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

using test::PROBLEM_ROW;

constexpr wchar_t kSoftware64[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\";
constexpr wchar_t kSoftware32[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\";
constexpr wchar_t kRun64[] =
    L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRun32[] =
    L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryViewsTest : public ::testing::Test, protected test::CEngineFixture {
 protected:
  void SetUp() override { machine().Make64Bit(); }

  std::vector<PROBLEM_ROW> Run(int category) {
    problems().Clear();
    EXPECT_TRUE(RunCategoryCheck(engine(), category));
    EXPECT_EQ(registry().OpenHandleCount(), 0u) << "every key opened is closed";
    return ProblemRows();
  }
};

TEST_F(RegistryViewsTest, EachCategoryFindsItsProblemsInBothViews) {
  struct ROW {
    int category;
    std::wstring key64;  // the problem's key in each view
    std::wstring key32;
    // Seeds one broken entry named `name` at the key.
    std::function<void(CMemoryRegistry&, const std::wstring& key, const std::wstring& name)> seed;
  };
  const auto value = [](CMemoryRegistry& r, const std::wstring& key, const std::wstring& name) {
    r.SetString(key, name, L"C:\\Gone\\" + name + L".exe");
  };
  const std::vector<ROW> rows = {
      {0, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID",
       L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID",
       [](CMemoryRegistry& r, const std::wstring& key, const std::wstring& name) {
         r.SetString(key + L"\\{" + name + L"}", L"AppID", L"{AB}");
       }},
      {1, std::wstring(kSoftware64) + L"CurrentVersion\\Uninstall",
       std::wstring(kSoftware32) + L"CurrentVersion\\Uninstall",
       [](CMemoryRegistry& r, const std::wstring& key, const std::wstring& name) {
         r.SetString(key + L"\\" + name, L"UninstallString", L"C:\\Gone\\uninstall.exe");
       }},
      {3, std::wstring(kSoftware64) + L"CurrentVersion\\SharedDLLs",
       std::wstring(kSoftware32) + L"CurrentVersion\\SharedDLLs",
       [](CMemoryRegistry& r, const std::wstring& key, const std::wstring& name) {
         r.SetDword(key, L"C:\\Gone\\" + name + L".dll", 1);
       }},
      {5, std::wstring(kSoftware64) + L"HELP", std::wstring(kSoftware32) + L"HTML Help", value},
      {6, kRun64, kRun32, value},
  };
  for (const ROW& row : rows) {
    SCOPED_TRACE(row.category);
    row.seed(registry(), row.key64, L"Of64");
    row.seed(registry(), row.key32, L"Of32");
    std::vector<std::wstring> keys;
    for (const PROBLEM_ROW& problem : Run(row.category)) keys.push_back(problem.key);
    const std::wstring key64 = row.category == 0 ? row.key64 + L"\\{Of64}" : row.key64;
    const std::wstring key32 = row.category == 0 ? row.key32 + L"\\{Of32}" : row.key32;
    EXPECT_EQ(keys, (std::vector<std::wstring>{key64, key32}));
  }
}

TEST_F(RegistryViewsTest, AProgIdsClassCountsInTheViewsItsProgramUses) {
  const std::wstring only32 = L"{32000000-0000-0000-0000-000000000032}";
  const std::wstring only64 = L"{64000000-0000-0000-0000-000000000064}";
  registry().CreatePath(L"HKCR\\Wow6432Node\\CLSID\\" + only32);
  registry().CreatePath(L"HKCR\\CLSID\\" + only64);
  // The ProgIDs of the classes root are shared by both views: either view's class will do.
  registry().SetString(L"HKCR\\Shared32.Prog\\CLSID", L"", only32);
  registry().SetString(L"HKCR\\Shared64.Prog\\CLSID", L"", only64);
  registry().SetString(L"HKCR\\Gone.Prog\\CLSID", L"", L"{00000000-0000-0000-0000-00000000DEAD}");
  // A ProgID of the 32-bit view needs its class there.
  registry().SetString(L"HKCR\\Wow6432Node\\Own.Prog\\CLSID", L"", only32);
  registry().SetString(L"HKCR\\Wow6432Node\\Other.Prog\\CLSID", L"", only64);
  // Both views share the AppID key.
  registry().CreatePath(L"HKCR\\AppID\\{A1}");
  registry().SetString(L"HKCR\\Wow6432Node\\CLSID\\" + only32, L"AppID", L"{A1}");

  EXPECT_EQ(Run(REGPROBLEM_COM),
            (std::vector<PROBLEM_ROW>{
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Gone.Prog\\CLSID", L"{Default}",
                 L"{00000000-0000-0000-0000-00000000DEAD}", REGPROBLEM_COM},
                {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\Other.Prog\\CLSID",
                 L"{Default}", only64, REGPROBLEM_COM}}));
}

TEST_F(RegistryViewsTest, PathsOfThe32BitViewResolveAsA32BitProgramOpensThem) {
  const CPathView view = CPathView::Resolve32Bit(shell(), CFolderTable::Resolve(shell()));
  ASSERT_TRUE(view.MapsPaths());
  const struct {
    const wchar_t* written;
    const wchar_t* opened;
  } cases[] = {
      {L"C:\\Windows\\System32\\x.dll", L"C:\\Windows\\SysWOW64\\x.dll"},
      {L"c:\\WINDOWS\\SYSTEM32\\X.DLL", L"C:\\Windows\\SysWOW64\\X.DLL"},
      {L"%SystemRoot%\\system32\\x.dll", L"C:\\Windows\\SysWOW64\\x.dll"},
      {L"\"%windir%\\System32\\tool.exe\" /q", L"C:\\Windows\\SysWOW64\\tool.exe"},
      {L"C:\\Windows\\System32", L"C:\\Windows\\SysWOW64"},
      {L"C:\\Windows\\System32\\drivers\\etc\\x", L"C:\\Windows\\System32\\drivers\\etc\\x"},
      {L"C:\\Windows\\System32\\Spool\\x.dll", L"C:\\Windows\\System32\\Spool\\x.dll"},
      {L"C:\\Windows\\System32\\drivers\\x.sys", L"C:\\Windows\\SysWOW64\\drivers\\x.sys"},
      {L"C:\\Windows\\System32x\\x.dll", L"C:\\Windows\\System32x\\x.dll"},
      {L"C:\\Windows\\Sysnative\\x.dll", L"C:\\Windows\\system32\\x.dll"},
      {L"%ProgramFiles%\\App\\app.exe", L"C:\\Program Files (x86)\\App\\app.exe"},
      {L"%COMMONPROGRAMFILES%\\Lib\\l.dll", L"C:\\Program Files (x86)\\Common Files\\Lib\\l.dll"},
      {L"%ProgramW6432%\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},
      {L"C:\\Program Files\\App\\app.exe", L"C:\\Program Files\\App\\app.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CleanPath(c.written, shell(), &view), c.opened) << ToUtf8(c.written);
  }
  // The program's own placeholders of the program folders stand for the x86 folders.
  EXPECT_EQ(ExpandPlaceholders(L"%program_files%\\a;%common_programs%\\b", view.Folders()),
            L"C:\\Program Files (x86)\\a;C:\\Program Files (x86)\\Common Files\\b");

  // Judged where the 32-bit program finds it: the file is only in SysWOW64.
  files().AddFile(L"C:\\Windows\\SysWOW64\\only32.dll");
  registry().SetString(kRun32, L"Ok", L"C:\\Windows\\System32\\only32.dll");
  registry().SetString(kRun64, L"Gone", L"C:\\Windows\\System32\\only32.dll");
  EXPECT_EQ(Run(REGPROBLEM_STARTUP),
            (std::vector<PROBLEM_ROW>{{kRun64, L"Gone", L"C:\\Windows\\System32\\only32.dll", 6}}));
}

TEST_F(RegistryViewsTest, TheWalkTakesAKeyNamedExactlyWow6432NodeForThe32BitView) {
  // A program installed in Program Files (x86) keeps the settings it makes on first use.
  files().AddFile(L"C:\\Program Files (x86)\\Tool\\tool.exe");
  const std::wstring kept = L"%ProgramFiles%\\Tool\\settings.ini";
  registry().SetExpandString(L"HKLM\\Software\\Wow6432Node\\Tool", L"Settings", kept);
  registry().SetExpandString(L"HKLM\\Software\\Vendor\\WOW6432NODE\\Tool", L"Settings", kept);
  // An ordinary key, whatever its name holds: the 64-bit program's folder is not there.
  registry().SetExpandString(L"HKLM\\Software\\Wow6432NodeLike\\Tool", L"Settings", kept);
  registry().SetExpandString(L"HKLM\\Software\\Wow6432Node\\Gone", L"Data",
                             L"%ProgramFiles%\\Gone\\data.ini");
  // A class of the 32-bit view is walked once, where it is (not again through the link
  // Wow6432Node\Classes).
  registry().SetString(L"HKCR\\Wow6432Node\\CLSID\\{C1}\\InprocServer32", L"",
                       L"C:\\Gone32\\server.dll");

  std::vector<PROBLEM_ROW> rows = Run(REGPROBLEM_FILE_PATH);
  EXPECT_EQ(rows, (std::vector<PROBLEM_ROW>{
                      {L"HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{C1}\\"
                       L"InprocServer32",
                       L"", L"C:\\Gone32\\server.dll", 7},
                      {L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Gone", L"Data",
                       L"C:\\Program Files (x86)\\Gone\\data.ini", 7},
                      {L"HKEY_LOCAL_MACHINE\\Software\\Wow6432NodeLike\\Tool", L"Settings",
                       L"C:\\Program Files\\Tool\\settings.ini", 7}}));
  ASSERT_EQ(problems().size(), 3u);
  // The evidence names the path that was tested.
  EXPECT_EQ(problems().At(1)->evidence,
            (PROBLEM_EVIDENCE{EVIDENCE_MISSING_FOLDER, L"C:\\Program Files (x86)\\Gone\\data.ini",
                              L"C:\\Program Files (x86)\\Gone"}));
}

TEST(RegistryViews, AMachineWithoutA32BitViewIsScannedAsBefore) {
  // The same entries of the 64-bit keys, on a 32-bit Windows and on a 64-bit one whose 32-bit
  // view is empty: the same problems, and the same entries examined but for the 32-bit keys.
  const auto scan = [](bool sixtyFour, std::vector<std::wstring>* examined) {
    test::CEngineFixture fx;
    if (sixtyFour) fx.machine().Make64Bit();
    CMemoryRegistry& r = fx.registry();
    fx.files().AddFile(L"C:\\Windows\\system32\\present.dll");
    r.SetString(kRun64, L"System", L"C:\\Windows\\System32\\present.dll");
    r.SetString(kRun64, L"Gone", L"C:\\Windows\\System32\\gone.dll");
    r.SetString(std::wstring(kSoftware64) + L"CurrentVersion\\Uninstall\\App", L"UninstallString",
                L"%ProgramFiles%\\App\\uninstall.exe");
    r.SetDword(std::wstring(kSoftware64) + L"CurrentVersion\\SharedDLLs",
               L"C:\\Windows\\System32\\gone.dll", 1);
    r.SetString(L"HKCR\\CLSID\\{C1}", L"AppID", L"{A1}");
    r.SetString(L"HKCR\\App.Prog\\CLSID", L"", L"{C2}");
    r.SetExpandString(L"HKLM\\Software\\App", L"Folder", L"%ProgramFiles%\\App\\data");
    for (int category = 0; category <= 7; ++category) {
      EXPECT_TRUE(RunCategoryCheck(fx.engine(), category));
    }
    *examined = fx.sink().Examined();
    return fx.ProblemRows();
  };
  std::vector<std::wstring> examined32;
  std::vector<std::wstring> examined64;
  const std::vector<PROBLEM_ROW> rows32 = scan(false, &examined32);
  EXPECT_FALSE(rows32.empty());
  EXPECT_EQ(rows32, scan(true, &examined64));
  const auto in32BitView = [](const std::wstring& text) {
    return text.find(L"Wow6432Node") != std::wstring::npos;
  };
  EXPECT_EQ(std::count_if(examined32.begin(), examined32.end(), in32BitView), 0);
  std::erase_if(examined64, in32BitView);
  EXPECT_EQ(examined32, examined64);
}

}  // namespace
}  // namespace qv
