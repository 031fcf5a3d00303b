// QuarveloCli.exe end to end on the real Win32 registry of a throwaway Wine prefix: scan the
// prefix as it is (a fresh prefix has dangling entries of its own), seed healthy, broken and
// excluded entries of all eleven categories (registry values, shortcut files, a registry link),
// scan again, and require the new problems to be exactly the broken entries (Windows' own
// configuration naming missing files among them is never reported, nor anything of the prefix's
// own in the areas the list beside the program names). Then the exit codes, the default selection
// from the product key, what the scan records, and the report forms (JSON file, JSON on standard
// output, text).
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <sddl.h>
#include <shlobj.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/report.h"
#include "engine/categories.h"
#include "engine/exclusion_lists.h"
#include "engine/scan_driver.h"
#include "base/utf16.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_link.h"

#ifndef QV_CLI_EXE
#error QV_CLI_EXE must name the QuarveloCli.exe to test
#endif
#ifndef QV_EXPECTED_VERSION
#error QV_EXPECTED_VERSION must give the version the program embeds
#endif

namespace qv {
namespace {

using namespace test;  // the child and seeding helpers

using Json = nlohmann::json;

// ---- Seeding the registry and the disk ----

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kFonts[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kHelp[] = L"SOFTWARE\\Microsoft\\Windows\\HELP";
constexpr wchar_t kHtmlHelp[] = L"SOFTWARE\\Microsoft\\Windows\\HTML Help";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Quarvelo";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kMenuOrder[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
constexpr wchar_t kMenuOrder2[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";
constexpr wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services";
constexpr wchar_t kMemoryManagement[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr wchar_t kUserWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
#define QV_GUID(n) L"{5A17C0DE-0000-4000-8000-0000000000" n L"}"
// A name and a path with characters outside every 8-bit code page.
#define QV_UNICODE_NAME L"QvTest \u00dcn\u00efc\u00f8d\u00e9 \u0422\u0435\u0441\u0442"
#define QV_UNICODE_PATH L"C:\\qvtest_gone\\\u00fcn\u00ef-\u0442\u0435\u0441\u0442.exe"

// One problem as the JSON report gives it.
using PROBLEM_TUPLE = std::tuple<int, std::string, std::string, std::string>;
using PROBLEM_COUNTS = std::map<PROBLEM_TUPLE, int>;

PROBLEM_TUPLE Problem(int category, std::wstring_view key, std::wstring_view name,
                      std::wstring_view data) {
  return {category, ToUtf8(key), ToUtf8(name), ToUtf8(data)};
}

std::wstring Hklm(std::wstring_view subkey) {
  return L"HKEY_LOCAL_MACHINE\\" + std::wstring(subkey);
}

// A machine key as the walks spell it: by the names the registry enumerates (this prefix has
// "Software", not "SOFTWARE").
std::wstring Walked(std::wstring_view belowSoftware) {
  return L"HKEY_LOCAL_MACHINE\\Software\\" + std::wstring(belowSoftware);
}

// A key of the current control set as the walks spell it (in this prefix CurrentControlSet is a
// key of its own, not a link to a numbered control set).
std::wstring WalkedSystem(std::wstring_view belowControlSet) {
  return L"HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\" + std::wstring(belowControlSet);
}

// The areas of the list of Windows' own configuration beside the program under test.
std::vector<OWNED_AREA> ShippedOwnedAreas() {
  std::wstring folder = CliPath();
  folder.resize(folder.rfind(L'\\'));
  WLS_CONTENT content;
  ParseWlsBytes(ReadFileBytes(folder + L"\\" + kWindowsOwnedListName), &content);
  return content.ownedAreas;
}

// The problems that lie in one of the areas.
PROBLEM_COUNTS InOwnedAreas(const PROBLEM_COUNTS& problems, const std::vector<OWNED_AREA>& areas) {
  PROBLEM_COUNTS inside;
  for (const auto& [p, count] : problems) {
    for (const OWNED_AREA& area : areas) {
      if (OwnedAreaCovers(area, std::get<0>(p), FromUtf8(std::get<1>(p)))) {
        inside[p] = count;
        break;
      }
    }
  }
  return inside;
}

std::wstring Hku(std::wstring_view subkeyOfTheUser) {
  return UsersKeyOfThisUser() + L"\\" + std::wstring(subkeyOfTheUser);
}

std::wstring UserProgramsFolder() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAMS, TRUE));
  return path;
}

// The Common Programs folder of the machine's Shell Folders key (what the startup check reads).
std::wstring CommonProgramsFolder() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   L"Common Programs", RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) {
    return L"";
  }
  return buffer;
}

PROBLEM_COUNTS ProblemsOf(const Json& report) {
  PROBLEM_COUNTS counts;
  for (const Json& p : report.at("problems")) {
    ++counts[{p.at("category").get<int>(), p.at("key").get<std::string>(),
              p.at("name").get<std::string>(), p.at("data").get<std::string>()}];
  }
  return counts;
}

// a minus b, as multisets.
PROBLEM_COUNTS Minus(const PROBLEM_COUNTS& a, const PROBLEM_COUNTS& b) {
  PROBLEM_COUNTS rest;
  for (const auto& [problem, count] : a) {
    const auto other = b.find(problem);
    const int left = count - (other == b.end() ? 0 : other->second);
    if (left > 0) rest[problem] = left;
  }
  return rest;
}

std::string Describe(const PROBLEM_COUNTS& problems) {
  std::string text;
  for (const auto& [p, count] : problems) {
    text += "  " + std::to_string(std::get<0>(p)) + " | " + std::get<1>(p) + " | " +
            std::get<2>(p) + " | " + std::get<3>(p) + " x" + std::to_string(count) + "\n";
  }
  return text;
}

// Every category scanned in this process on the real registry with no safe list or ignore list:
// what the program would report if it excluded nothing.
PROBLEM_COUNTS UnfilteredProblems() {
  CWin32Platform system;
  std::shared_ptr<CRegistryCleaner> engine = CreateScanEngine(system.platform(), nullptr, nullptr);
  const SCAN_RESULT result = RunScan(*engine, AllCategories(), {});
  PROBLEM_COUNTS counts;
  for (const REPORTED_PROBLEM& p : result.problems) {
    ++counts[Problem(p.category, p.key, p.name, p.data)];
  }
  return counts;
}

class CliScanTest : public ::testing::Test {
 protected:
  // Scans every category with the JSON report in a file; returns the parsed report.
  Json ScanToJson(const std::wstring& file, DWORD* exitCode, const std::wstring& more = L"") {
    std::wstring categories;
    for (int i = 0; i < kCategoryCount; ++i) categories += L"-c " + std::to_wstring(i) + L" ";
    const CHILD_RESULT run = RunCli(L"scan " + categories + L"--quiet --json " + file + more);
    *exitCode = run.exitCode;
    EXPECT_TRUE(run.out.empty()) << run.out;  // --quiet: no text report
    const std::string bytes = ReadFileBytes(file);
    EXPECT_FALSE(bytes.empty()) << run.err;
    return Json::parse(bytes, nullptr, false);
  }

  static void SeedFiles() {
    for (const wchar_t* folder : {L"C:\\qvtest", L"C:\\qvtest\\app", L"C:\\qvtest\\fonts",
                                  L"C:\\qvtest\\dll", L"C:\\qvtest\\help"}) {
      CreateDirectoryW(folder, nullptr);
    }
    for (const wchar_t* file :
         {L"C:\\qvtest\\app\\healthy.exe", L"C:\\qvtest\\app\\healthy-uninst.exe",
          L"C:\\qvtest\\fonts\\healthy.ttf", L"C:\\qvtest\\dll\\healthy.dll",
          L"C:\\qvtest\\help\\healthy.chm"}) {
      WriteFileBytes(file, "placeholder");
    }
    WriteFileBytes(WindowsFolder() + L"\\Fonts\\qvtest-healthy.ttf", "placeholder");

    // Category 6: a Start menu folder of the user's.
    CreateDirectoryW((UserProgramsFolder() + L"\\QvTest Healthy Menu").c_str(), nullptr);
    // Category 8: shortcuts whose target is there and gone; one named in upper case, one in a
    // SendTo folder and one among the program's own shortcut backups, none of them examined.
    CWin32Shell shell;
    for (const wchar_t* folder : {L"C:\\qvtest\\links", L"C:\\qvtest\\links\\SendTo"}) {
      CreateDirectoryW(folder, nullptr);
    }
    const std::wstring backup = CommonAppData() + L"\\Quarvelo\\Backup";
    for (const std::wstring& folder : {CommonAppData() + L"\\Quarvelo", backup,
                                       backup + L"\\QuarveloBak_Test"}) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    const struct {
      std::wstring path;
      const wchar_t* target;
    } shortcuts[] = {
        {L"C:\\qvtest\\links\\Healthy.lnk", L"C:\\qvtest\\app\\healthy.exe"},
        {L"C:\\qvtest\\links\\Broken.lnk", L"C:\\qvtest_gone\\linked.exe"},
        {L"C:\\qvtest\\links\\Upper.LNK", L"C:\\qvtest_gone\\upper.exe"},
        {L"C:\\qvtest\\links\\SendTo\\Broken.lnk", L"C:\\qvtest_gone\\sendto.exe"},
        {backup + L"\\QuarveloBak_Test\\Moved.lnk", L"C:\\qvtest_gone\\moved.exe"},
    };
    for (const auto& shortcut : shortcuts) {
      ASSERT_EQ(shell.CreateShortcut(shortcut.path, {shortcut.target, L"", L""}), kErrorSuccess)
          << ToUtf8(shortcut.path);
    }
  }

  static void SeedRegistry() {
    // Category 0: a class whose AppID is not registered, a ProgID whose class is not registered,
    // and their healthy twins; an ignored class and a class on the safe list.
    SetString(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("01"), L"AppID", QV_GUID("02"));
    SetString(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("03"), L"AppID", QV_GUID("04"));
    MakeKey(HKEY_CLASSES_ROOT, L"AppID\\" QV_GUID("04"));
    SetString(HKEY_CLASSES_ROOT, L"QvTest.BrokenProgId\\CLSID", L"", QV_GUID("05"));
    SetString(HKEY_CLASSES_ROOT, L"QvTest.HealthyProgId\\CLSID", L"", QV_GUID("03"));
    SetString(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("06"), L"AppID", QV_GUID("07"));
    SetString(HKEY_CLASSES_ROOT, L"CLSID\\{06DD38D3-D187-11CF-A80D-00C04FD74AD8}", L"AppID",
              QV_GUID("08"));

    // Category 1: uninstallers missing and present, an installer-driven one that is not judged,
    // a vendor on the safe list, one ignored, one blocked, and a Unicode name and path.
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvTest Broken", L"UninstallString",
              L"\"C:\\qvtest_gone\\uninst.exe\" /S");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvTest Healthy",
              L"UninstallString", L"\"C:\\qvtest\\app\\healthy-uninst.exe\" /S");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvTest MsiExec",
              L"UninstallString", L"MsiExec.exe /X" QV_GUID("09"));
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\Adobe QvTest Viewer",
              L"UninstallString", L"C:\\qvtest_gone\\viewer-uninst.exe");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvTest Ignored",
              L"UninstallString", L"C:\\qvtest_gone\\ignored-uninst.exe");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvTest Blocked",
              L"UninstallString", L"C:\\qvtest_gone\\blocked-uninst.exe");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\" QV_UNICODE_NAME,
              L"UninstallString", QV_UNICODE_PATH);

    // Category 2: fonts by absolute path and by name in the Windows fonts folder.
    SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvTest Broken (TrueType)",
              L"C:\\qvtest_gone\\fonts\\gone.ttf");
    SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvTest Healthy (TrueType)",
              L"C:\\qvtest\\fonts\\healthy.ttf");
    SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvTest Missing (TrueType)", L"qvtest-missing.ttf");
    SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvTest Present (TrueType)", L"qvtest-healthy.ttf");

    // Category 3: shared DLLs gone and present, and one under a folder name on the safe list.
    SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, L"C:\\qvtest\\dll\\gone.dll", 1);
    SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, L"C:\\qvtest\\dll\\healthy.dll", 2);
    SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, L"C:\\qvtest\\InstallSource\\gone.dll", 1);

    // Category 4: application paths to a missing and an existing program, and one whose data
    // names a product on the safe list.
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\qvtest-broken.exe", L"",
              L"C:\\qvtest_gone\\broken.exe");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\qvtest-healthy.exe", L"",
              L"C:\\qvtest\\app\\healthy.exe");
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\qvtest-safe.exe", L"",
              L"C:\\qvtest_Windows Search\\gone.exe");

    // Category 5: help folders gone and present, in both help keys.
    SetString(HKEY_LOCAL_MACHINE, kHelp, L"qvtest-broken.hlp", L"C:\\qvtest_gonehelp");
    SetString(HKEY_LOCAL_MACHINE, kHelp, L"qvtest-healthy.hlp", L"C:\\qvtest\\help");
    SetString(HKEY_LOCAL_MACHINE, kHtmlHelp, L"qvtest-broken.chm", L"C:\\qvtest_gonehtmlhelp");
    SetString(HKEY_LOCAL_MACHINE, kHtmlHelp, L"qvtest-healthy.chm", L"C:\\qvtest\\help");

    // Category 6: Run entries of the machine and the user, gone and there; Start menu ordering
    // entries whose folder is in neither Programs folder, and one whose folder is there.
    SetString(HKEY_LOCAL_MACHINE, kRun, L"QvTest Gone Agent", L"C:\\qvtest_gone\\agent.exe");
    SetString(HKEY_LOCAL_MACHINE, kRun, L"QvTest Agent", L"\"C:\\qvtest\\app\\healthy.exe\" /tray");
    SetString(HKEY_CURRENT_USER, kRun, L"QvTest Gone User Agent", L"C:\\qvtest_gone\\useragent.exe");
    MakeKey(HKEY_CURRENT_USER, std::wstring(kMenuOrder) + L"\\QvTest Gone Menu");
    MakeKey(HKEY_CURRENT_USER, std::wstring(kMenuOrder) + L"\\QvTest Healthy Menu");
    MakeKey(HKEY_CURRENT_USER, std::wstring(kMenuOrder2) + L"\\QvTest Gone Menu Two");

    // Category 7: string values anywhere in the two hives, short ones that are not judged, a
    // subtree below Wow6432Node (walked as the 32-bit view), and a link that is not followed
    // (what lies below its target is reported once, where it is).
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\Settings", L"LastReport",
              L"C:\\qvtest_gone\\report.txt");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\Settings", L"Workspace", L"C:\\qvtest\\app");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\Settings", L"Short", L"C:\\q");
    SetString(HKEY_CURRENT_USER, L"Software\\QvTest\\Recent", L"File1",
              L"C:\\qvtest_gone\\recent.doc");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\QvTest\\Old", L"v",
              L"C:\\qvtest_gone\\wow.exe");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTestTarget\\Inside", L"v",
              L"C:\\qvtest_gone\\linked.dll");
    ASSERT_EQ(test::CreateRegistryLink(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvTest\\ToTarget",
                                       test::NativeKeyPath(HKEY_LOCAL_MACHINE,
                                                           L"SOFTWARE\\QvTestTarget")),
              ERROR_SUCCESS);

    // Windows' own configuration naming missing files: a service's program, the paging file, a
    // user's logon shell and a machine policy. None is ever reported.
    SetString(HKEY_LOCAL_MACHINE, std::wstring(kServices) + L"\\QvTestService", L"ImagePath",
              L"C:\\qvtest_gone\\service.exe");
    SetString(HKEY_LOCAL_MACHINE, kMemoryManagement, L"PagingFiles",
              L"C:\\qvtest_gone\\pagefile.sys 0 0");
    SetString(HKEY_CURRENT_USER, kUserWinlogon, L"QvTestShell", L"C:\\qvtest_gone\\shell.exe");
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\QvTest", L"Tool",
              L"C:\\qvtest_gone\\policy.exe");

    // Category 9: empty keys below the users (the menu-order entries above are empty too, but
    // they are Explorer's keys, which are Windows' own), a filled one, and an empty class key
    // that is never reported.
    MakeKey(HKEY_CURRENT_USER, L"Software\\QvTest\\Empty");
    SetString(HKEY_CURRENT_USER, L"Software\\QvTest\\Filled", L"v", L"kept");
    MakeKey(HKEY_CURRENT_USER, L"Software\\Classes\\QvTest.EmptyClass");

    // Category 10: an extension whose open command names a missing program, one whose program
    // is there, and one that names a bare program (not judged).
    SetString(HKEY_CLASSES_ROOT, L".qvgone", L"", L"QvTest.GoneFile");
    SetString(HKEY_CLASSES_ROOT, L"QvTest.GoneFile\\shell\\open\\command", L"",
              L"\"C:\\qvtest_gone\\viewer.exe\" \"%1\"");
    SetString(HKEY_CLASSES_ROOT, L".qvkept", L"", L"QvTest.KeptFile");
    SetString(HKEY_CLASSES_ROOT, L"QvTest.KeptFile\\shell\\open\\command", L"",
              L"\"C:\\qvtest\\app\\healthy.exe\" \"%1\"");
    SetString(HKEY_CLASSES_ROOT, L".qvbare", L"", L"QvTest.BareFile");
    SetString(HKEY_CLASSES_ROOT, L"QvTest.BareFile\\shell\\open\\command", L"",
              L"qvbareviewer.exe %1");
  }

  static void SeedExclusions() {
    // The user's ignore list: a record (category, lower-case identity) per ignored problem.
    const std::wstring folder = CommonAppData() + L"\\Quarvelo";
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteFileBytes(folder + L"\\ignore.wls",
                   "0\r\nhkey_classes_root\\clsid\\{5a17c0de-0000-4000-8000-000000000006}\\appid|"
                   "{5a17c0de-0000-4000-8000-000000000007}\r\n"
                   "1\r\nhkey_local_machine\\software\\microsoft\\windows\\currentversion\\"
                   "uninstall\\qvtest ignored|c:\\qvtest_gone\\ignored-uninst.exe\r\n");
    // The blocked store: a problem an earlier repair removed, kept under its identity's hash.
    const std::wstring identity =
        Hklm(kUninstall) + L"\\QvTest Blocked|C:\\qvtest_gone\\blocked-uninst.exe";
    SetString(HKEY_LOCAL_MACHINE,
              std::wstring(kProductKey) + L"\\blocked\\" +
                  std::wstring(BlockedCategoryValueName(REGPROBLEM_UNINSTALL)),
              IdentityHashText(identity), identity);
  }

  static PROBLEM_COUNTS ExpectedNewProblems() {
    PROBLEM_COUNTS expected;
    for (const PROBLEM_TUPLE& p : {
             Problem(0, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" QV_GUID("01"), L"AppID", QV_GUID("02")),
             Problem(0, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\QvTest.BrokenProgId\\CLSID", L"{Default}",
                     QV_GUID("05")),
             Problem(1, Hklm(kUninstall), L"QvTest Broken", L"C:\\qvtest_gone\\uninst.exe"),
             Problem(1, Hklm(kUninstall), QV_UNICODE_NAME, QV_UNICODE_PATH),
             Problem(2, Hklm(kFonts), L"QvTest Broken (TrueType)", L"C:\\qvtest_gone\\fonts\\gone.ttf"),
             Problem(2, Hklm(kFonts), L"QvTest Missing (TrueType)", L"qvtest-missing.ttf"),
             Problem(3, Hklm(kSharedDlls), L"C:\\qvtest\\dll\\gone.dll", L""),
             Problem(4, Hklm(kAppPaths), L"qvtest-broken.exe", L"C:\\qvtest_gone\\broken.exe"),
             Problem(5, Hklm(kHelp), L"qvtest-broken.hlp", L"C:\\qvtest_gonehelp"),
             Problem(5, Hklm(kHtmlHelp), L"qvtest-broken.chm", L"C:\\qvtest_gonehtmlhelp"),
             // 6
             Problem(6, Walked(L"Microsoft\\Windows\\CurrentVersion\\Run"), L"QvTest Gone Agent", L"C:\\qvtest_gone\\agent.exe"),
             Problem(6, L"HKEY_CURRENT_USER\\" + std::wstring(kRun), L"QvTest Gone User Agent",
                     L"C:\\qvtest_gone\\useragent.exe"),
             Problem(6, L"HKEY_CURRENT_USER\\" + std::wstring(kMenuOrder) + L"\\QvTest Gone Menu",
                     L"QvTest Gone Menu", CommonProgramsFolder() + L"\\QvTest Gone Menu"),
             Problem(6,
                     L"HKEY_CURRENT_USER\\" + std::wstring(kMenuOrder2) + L"\\QvTest Gone Menu Two",
                     L"QvTest Gone Menu Two", CommonProgramsFolder() + L"\\QvTest Gone Menu Two"),
             // 7: the seeded values of every category that name a missing local file, but those
             // of an uninstall entry (the uninstall check's)
             Problem(7, Walked(L"Microsoft\\Windows NT\\CurrentVersion\\Fonts"), L"QvTest Broken (TrueType)", L"C:\\qvtest_gone\\fonts\\gone.ttf"),
             Problem(7, Walked(L"Microsoft\\Windows\\CurrentVersion\\App Paths\\qvtest-broken.exe"), L"",
                     L"C:\\qvtest_gone\\broken.exe"),
             Problem(7, Walked(L"Microsoft\\Windows\\HELP"), L"qvtest-broken.hlp", L"C:\\qvtest_gonehelp"),
             Problem(7, Walked(L"Microsoft\\Windows\\HTML Help"), L"qvtest-broken.chm", L"C:\\qvtest_gonehtmlhelp"),
             Problem(7, Walked(L"Microsoft\\Windows\\CurrentVersion\\Run"), L"QvTest Gone Agent", L"C:\\qvtest_gone\\agent.exe"),
             Problem(7, Hku(kRun), L"QvTest Gone User Agent", L"C:\\qvtest_gone\\useragent.exe"),
             Problem(7, Walked(L"QvTest\\Settings"), L"LastReport",
                     L"C:\\qvtest_gone\\report.txt"),
             Problem(7, Hku(L"Software\\QvTest\\Recent"), L"File1", L"C:\\qvtest_gone\\recent.doc"),
             Problem(7, Walked(L"Wow6432Node\\QvTest\\Old"), L"v", L"C:\\qvtest_gone\\wow.exe"),
             Problem(7, Walked(L"QvTestTarget\\Inside"), L"v",
                     L"C:\\qvtest_gone\\linked.dll"),
             Problem(7, Walked(L"Classes\\QvTest.GoneFile\\shell\\open\\command"), L"",
                     L"C:\\qvtest_gone\\viewer.exe"),
             // 8
             Problem(8, L"C:\\qvtest\\links\\Broken.lnk", L"", L""),
             // 9: the empty keys, the menu-order entries among them
             Problem(9, Hku(L"Software\\QvTest\\Empty"), L"(Default)", L""),
             // 10
             Problem(10, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.qvgone", L"(Default)", L"C:\\qvtest_gone\\viewer.exe"),
         }) {
      ++expected[p];
    }
    return expected;
  }

  // The broken entries that the safe list, the ignore list or the blocked store cover.
  static PROBLEM_COUNTS ExpectedExcludedProblems() {
    PROBLEM_COUNTS expected;
    for (const PROBLEM_TUPLE& p : {
             Problem(0, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" QV_GUID("06"), L"AppID", QV_GUID("07")),
             Problem(0, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{06DD38D3-D187-11CF-A80D-00C04FD74AD8}",
                     L"AppID", QV_GUID("08")),
             Problem(1, Hklm(kUninstall), L"Adobe QvTest Viewer",
                     L"C:\\qvtest_gone\\viewer-uninst.exe"),
             Problem(1, Hklm(kUninstall), L"QvTest Ignored",
                     L"C:\\qvtest_gone\\ignored-uninst.exe"),
             Problem(1, Hklm(kUninstall), L"QvTest Blocked",
                     L"C:\\qvtest_gone\\blocked-uninst.exe"),
             Problem(3, Hklm(kSharedDlls), L"C:\\qvtest\\InstallSource\\gone.dll", L""),
             Problem(4, Hklm(kAppPaths), L"qvtest-safe.exe",
                     L"C:\\qvtest_Windows Search\\gone.exe"),
             Problem(7, Walked(L"Microsoft\\Windows\\CurrentVersion\\App Paths\\qvtest-safe.exe"), L"",
                     L"C:\\qvtest_Windows Search\\gone.exe"),
             // Windows' own configuration (the list beside the program)
             Problem(7, WalkedSystem(L"Services\\QvTestService"), L"ImagePath",
                     L"C:\\qvtest_gone\\service.exe"),
             Problem(7, WalkedSystem(L"Control\\Session Manager\\Memory Management"),
                     L"PagingFiles", L"C:\\qvtest_gone\\pagefile.sys"),
             Problem(7, Hku(kUserWinlogon), L"QvTestShell", L"C:\\qvtest_gone\\shell.exe"),
             Problem(7, Walked(L"Policies\\QvTest"), L"Tool", L"C:\\qvtest_gone\\policy.exe"),
             Problem(9, Hku(std::wstring(kMenuOrder) + L"\\QvTest Gone Menu"), L"(Default)", L""),
             Problem(9, Hku(std::wstring(kMenuOrder) + L"\\QvTest Healthy Menu"), L"(Default)",
                     L""),
             Problem(9, Hku(std::wstring(kMenuOrder2) + L"\\QvTest Gone Menu Two"), L"(Default)",
                     L""),
         }) {
      ++expected[p];
    }
    return expected;
  }
};

TEST_F(CliScanTest, SeededPrefixReportsExactlyTheBrokenEntries) {
  // Recorded values that the scan must overwrite (found and fixed counts) or leave alone (the
  // enabled switches).
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"EFonts", L"99");
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"FFonts", L"7");
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"Help Files", L"1");

  // Wine adds volatile, empty keys under the user's "Temporary System Parameters" the first time
  // a process of the prefix brings up the window system (a shell call does): make them now, so
  // the baseline holds them.
  {
    CWin32Shell shell;
    ASSERT_EQ(shell.CreateShortcut(L"C:\\warm-up.lnk", {L"C:\\windows\\notepad.exe", L"", L""}),
              kErrorSuccess);
    DeleteFileW(L"C:\\warm-up.lnk");
  }
  const PROBLEM_COUNTS unfilteredBefore = UnfilteredProblems();
  DWORD baselineExit = 0;
  const Json baseline = ScanToJson(L"C:\\baseline.json", &baselineExit);
  ASSERT_FALSE(baseline.is_discarded());
  ASSERT_TRUE(baselineExit == 0 || baselineExit == 1) << baselineExit;
  EXPECT_EQ(baselineExit == 1, !baseline.at("problems").empty());

  SeedFiles();
  SeedRegistry();
  SeedExclusions();
  // Without the lists, the excluded entries are problems like the others.
  PROBLEM_COUNTS expectedUnfiltered = ExpectedNewProblems();
  for (const auto& [p, count] : ExpectedExcludedProblems()) expectedUnfiltered[p] += count;
  const PROBLEM_COUNTS unfilteredAdded = Minus(UnfilteredProblems(), unfilteredBefore);
  EXPECT_EQ(unfilteredAdded, expectedUnfiltered)
      << "unexpected:\n"
      << Describe(Minus(unfilteredAdded, expectedUnfiltered)) << "missing:\n"
      << Describe(Minus(expectedUnfiltered, unfilteredAdded));

  DWORD seededExit = 0;
  const Json seeded = ScanToJson(L"C:\\seeded.json", &seededExit);
  ASSERT_FALSE(seeded.is_discarded());
  EXPECT_EQ(seededExit, 1u);
  EXPECT_TRUE(seeded.at("completed").get<bool>());

  const PROBLEM_COUNTS before = ProblemsOf(baseline);
  const PROBLEM_COUNTS after = ProblemsOf(seeded);
  const PROBLEM_COUNTS added = Minus(after, before);
  const PROBLEM_COUNTS expected = ExpectedNewProblems();
  EXPECT_EQ(added, expected) << "new problems:\n"
                             << Describe(added) << "expected:\n"
                             << Describe(expected) << "unexpected:\n"
                             << Describe(Minus(added, expected)) << "missing:\n"
                             << Describe(Minus(expected, added));
  // Nothing of the prefix's own problems goes (the user's Run key, empty in a fresh prefix until
  // the seeding fills it, is Windows' own and never reported as empty).
  const PROBLEM_COUNTS gone = Minus(before, after);
  EXPECT_TRUE(gone.empty()) << Describe(gone);

  // The program read the list beside it: nothing reported lies in Windows' own areas (the
  // seeded ones prove that such entries are found without the lists).
  const std::vector<OWNED_AREA> areas = ShippedOwnedAreas();
  ASSERT_FALSE(areas.empty());
  EXPECT_TRUE(InOwnedAreas(after, areas).empty()) << Describe(InOwnedAreas(after, areas));
  const PROBLEM_COUNTS prefixOwn = InOwnedAreas(unfilteredBefore, areas);
  std::printf("cli scan: %zu areas beside the program; the prefix as made has %zu problems there "
              "without the lists, reported 0:\n%s",
              areas.size(), prefixOwn.size(), Describe(prefixOwn).c_str());
  std::printf(
      "cli scan: prefix as made %zu problems (%llu items); seeded %zu problems (%llu items); "
      "new %zu, expected %zu; broken entries the lists exclude %zu, reported 0\n",
      baseline.at("problems").size(),
      static_cast<unsigned long long>(baseline.at("itemsScanned").get<std::uint64_t>()),
      seeded.at("problems").size(),
      static_cast<unsigned long long>(seeded.at("itemsScanned").get<std::uint64_t>()), added.size(),
      expected.size(), ExpectedExcludedProblems().size());

  // The categories, in run order, with their risk and counts; the counts match the problems.
  std::vector<int> order;
  std::map<int, int> perCategory;
  for (const auto& [p, count] : after) perCategory[std::get<0>(p)] += count;
  for (const Json& c : seeded.at("categories")) {
    const int index = c.at("index").get<int>();
    order.push_back(index);
    EXPECT_EQ(c.at("name").get<std::string>(), ToUtf8(CategoryDisplayName(index)));
    EXPECT_EQ(c.at("risk").get<std::string>(), ToUtf8(CategoryRiskLabel(index)));
    EXPECT_EQ(c.at("found").get<int>(), perCategory[index]) << index;
    EXPECT_TRUE(c.at("checked").get<bool>()) << index;
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 5, 6, 4, 7, 8, 9, 10}));
  // Problems in the order they were added, that is by category in run order.
  std::vector<int> runPosition(kCategoryCount);
  for (std::size_t i = 0; i < kCategoryRunOrder.size(); ++i) {
    runPosition[static_cast<std::size_t>(kCategoryRunOrder[i])] = static_cast<int>(i);
  }
  int lastPosition = -1;
  for (const Json& p : seeded.at("problems")) {
    const int position = runPosition[static_cast<std::size_t>(p.at("category").get<int>())];
    EXPECT_GE(position, lastPosition);
    lastPosition = position;
  }

  // What the scan recorded under the product key.
  const std::uint64_t items = seeded.at("itemsScanned").get<std::uint64_t>();
  EXPECT_GT(items, baseline.at("itemsScanned").get<std::uint64_t>());
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"itscanned"), std::to_wstring(items));
  EXPECT_TRUE(std::regex_match(ToUtf8(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"lastScan")),
                               std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d)")));
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(
        ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"E" + std::wstring(CategoryDisplayName(i))),
        std::to_wstring(perCategory[i]))
        << i;
  }
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(
        ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"F" + std::wstring(CategoryDisplayName(i))),
        L"0")
        << i;
  }
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"Help Files"), L"1");

  // The activity log of the runs: the header with the program's version and the problem lines.
  std::string logText;
  const std::wstring logFolder = CommonAppData() + L"\\Quarvelo\\LOGS\\";
  WIN32_FIND_DATAW found{};
  CUniqueHandle<CWin32FindTraits> search(
      FindFirstFileW((logFolder + L"LOGS_*.log").c_str(), &found));
  ASSERT_TRUE(search.valid());
  do {
    logText += ReadFileBytes(logFolder + found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  EXPECT_NE(logText.find(std::string("Registry Cleaner ") + QV_EXPECTED_VERSION + "\r\n"),
            std::string::npos);
  EXPECT_NE(logText.find("Scanning started\r\n" + std::string(76, '-')), std::string::npos);
  EXPECT_NE(logText.find("Error at HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                         "\\Uninstall\\QvTest Broken=\r\nC:\\qvtest_gone\\uninst.exe"),
            std::string::npos);
  EXPECT_EQ(logText.find("QvTest Ignored="), std::string::npos);
  EXPECT_EQ(logText.find("Adobe QvTest Viewer="), std::string::npos);

  // The same report on standard output, and the text report.
  const CHILD_RESULT toStdout =
      RunCli(L"scan -c 0 -c 1 -c 2 -c 3 -c 4 -c 5 -c 6 -c 7 -c 8 -c 9 -c 10 --json -");
  EXPECT_EQ(toStdout.exitCode, 1u);
  const Json fromStdout = Json::parse(toStdout.out, nullptr, false);
  ASSERT_FALSE(fromStdout.is_discarded()) << toStdout.out;
  EXPECT_EQ(ProblemsOf(fromStdout), after);

  const CHILD_RESULT text = RunCli(L"scan --category 1 --category 4");
  EXPECT_EQ(text.exitCode, 1u);
  EXPECT_NE(text.out.find("Uninstalled Files (risk: MEDIUM): "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Program Paths (risk: MEDIUM): "), std::string::npos);
  EXPECT_EQ(text.out.find("Fonts (risk"), std::string::npos);
  EXPECT_NE(text.out.find("name: " + ToUtf8(QV_UNICODE_NAME) + "\r\n"), std::string::npos);
  EXPECT_NE(text.out.find("data: " + ToUtf8(QV_UNICODE_PATH) + "\r\n"), std::string::npos);
  EXPECT_NE(text.out.find("Categories scanned: 2 of 11\r\n"), std::string::npos);
  EXPECT_TRUE(text.err.empty()) << text.err;  // standard error is a pipe: no progress line
}

TEST_F(CliScanTest, DefaultCategoriesComeFromTheProductKey) {
  for (int i = 0; i < kCategoryCount; ++i) {
    SetString(HKEY_LOCAL_MACHINE, kProductKey, std::wstring(CategoryDisplayName(i)),
              i == REGPROBLEM_SHARED_DLL || i == REGPROBLEM_HELP_FILE ? L"1" : L"0");
  }
  const CHILD_RESULT run = RunCli(L"scan --json -");
  const Json report = Json::parse(run.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
  std::vector<int> scanned;
  for (const Json& c : report.at("categories")) scanned.push_back(c.at("index").get<int>());
  EXPECT_EQ(scanned, (std::vector<int>{3, 5}));

  // None enabled and none named: nothing to do is a usage error.
  for (int i = 0; i < kCategoryCount; ++i) {
    SetString(HKEY_LOCAL_MACHINE, kProductKey, std::wstring(CategoryDisplayName(i)), L"0");
  }
  const CHILD_RESULT none = RunCli(L"scan");
  EXPECT_EQ(none.exitCode, 2u);
  EXPECT_NE(none.err.find("no category to scan"), std::string::npos) << none.err;
}

TEST_F(CliScanTest, ExitCodesAndUsage) {
  struct CASE {
    const wchar_t* arguments;
    DWORD exitCode;
    const char* inOut;  // text expected on standard output, or null
    const char* inErr;  // text expected on standard error, or null
  };
  const CASE cases[] = {
      {L"scan --bogus", 2, nullptr, "--bogus"},
      {L"scan --category 11", 2, nullptr, "11"},
      {L"scan --category x", 2, nullptr, nullptr},
      {L"scan --json", 2, nullptr, nullptr},
      {L"", 2, nullptr, "subcommand"},
      {L"frobnicate", 2, nullptr, nullptr},
      {L"--help", 0, "Exit codes:", nullptr},
      {L"scan --help", 0, "--category", nullptr},
      {L"scan --json C:\\no-such-folder\\report.json --category 9", 2, nullptr, "report.json"},
  };
  for (const CASE& c : cases) {
    const CHILD_RESULT run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << ToUtf8(c.arguments) << "\n" << run.out << run.err;
    if (c.inOut != nullptr) {
      EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
    }
    if (c.inErr != nullptr) {
      EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
  }
  const CHILD_RESULT help = RunCli(L"scan --help");
  for (const char* text : {"--json", "--quiet", "0  the scan completed and found no problems",
                           "1  the scan completed and found problems", "2  usage error",
                           "10  File Association References", "itscanned",
                           "F + category name", "administrator rights"}) {
    EXPECT_NE(help.out.find(text), std::string::npos) << text;
  }
}

// While it lives, the key refuses set-value and create-subkey access to everyone, as the
// machine's keys refuse an ordinary user's process on Windows; then its own DACL comes back.
class CWriteDeniedKey {
 public:
  CWriteDeniedKey(HKEY root, const wchar_t* subkey) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, subkey, 0, READ_CONTROL | WRITE_DAC, &raw) != ERROR_SUCCESS) return;
    m_key.reset(raw);
    DWORD bytes = 0;
    if (RegGetKeySecurity(raw, DACL_SECURITY_INFORMATION, nullptr, &bytes) !=
        ERROR_INSUFFICIENT_BUFFER) {
      return;
    }
    m_original.resize(bytes);
    if (RegGetKeySecurity(raw, DACL_SECURITY_INFORMATION, m_original.data(), &bytes) !=
        ERROR_SUCCESS) {
      m_original.clear();
      return;
    }
    PSECURITY_DESCRIPTOR denying = nullptr;
    // Deny KEY_SET_VALUE | KEY_CREATE_SUB_KEY to Everyone, allow everything else.
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x6;;;WD)(A;;KA;;;WD)",
                                                              SDDL_REVISION_1, &denying, nullptr)) {
      return;
    }
    m_applied = RegSetKeySecurity(raw, DACL_SECURITY_INFORMATION, denying) == ERROR_SUCCESS;
    LocalFree(denying);
  }
  ~CWriteDeniedKey() {
    if (m_applied) {
      EXPECT_EQ(RegSetKeySecurity(m_key.get(), DACL_SECURITY_INFORMATION, m_original.data()),
                ERROR_SUCCESS);
    }
  }
  CWriteDeniedKey(const CWriteDeniedKey&) = delete;
  CWriteDeniedKey& operator=(const CWriteDeniedKey&) = delete;
  [[nodiscard]] bool Applied() const { return m_applied; }

 private:
  CUniqueHandle<CWin32KeyTraits> m_key;
  std::vector<BYTE> m_original;
  bool m_applied = false;
};

TEST_F(CliScanTest, WithoutAdministratorRightsItRefusesToScanAndRecordsNothing) {
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"lastScan", L"before");
  SetString(HKEY_LOCAL_MACHINE, kProductKey, L"itscanned", L"12345");
  {
    CWriteDeniedKey denied(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    ASSERT_TRUE(denied.Applied());
    HKEY probe = nullptr;
    const LSTATUS probed =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, &probe);
    CUniqueHandle<CWin32KeyTraits> probeKey(probe);
    ASSERT_EQ(probed, ERROR_ACCESS_DENIED)
        << "the prefix does not refuse the access as Windows does";

    const CHILD_RESULT run = RunCli(L"scan --json C:\\denied.json");
    EXPECT_EQ(run.exitCode, 2u) << run.out << run.err;
    EXPECT_EQ(run.err,
              "QuarveloCli: the scan needs administrator rights (run it from an elevated "
              "prompt)\r\n");
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_TRUE(ReadFileBytes(L"C:\\denied.json").empty());
  }
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"lastScan"), L"before");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"itscanned"), L"12345");

  // With the access back, the same command scans (finding problems or not).
  const CHILD_RESULT allowed = RunCli(L"scan --category 9 --json C:\\allowed.json");
  EXPECT_LE(allowed.exitCode, 1u) << allowed.out << allowed.err;
  EXPECT_FALSE(ReadFileBytes(L"C:\\allowed.json").empty());
  EXPECT_NE(ReadString(HKEY_LOCAL_MACHINE, kProductKey, L"lastScan"), L"before");
}

TEST_F(CliScanTest, CleanScanExitsWithZero) {
  // Whatever fonts problems this prefix brings along go on the user's ignore list; then the
  // fonts scan is clean.
  const CHILD_RESULT first = RunCli(L"scan --category 2 --json -");
  const Json report = Json::parse(first.out, nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << first.out << first.err;
  EXPECT_EQ(first.exitCode, report.at("problems").empty() ? 0u : 1u);
  std::string records;
  for (const Json& p : report.at("problems")) {
    std::string identity = p.at("key").get<std::string>() + "\\" + p.at("name").get<std::string>() +
                           "|" + p.at("data").get<std::string>();
    for (char& c : identity) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    records += "2\r\n" + identity + "\r\n";
  }
  const std::wstring folder = CommonAppData() + L"\\Quarvelo";
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteFileBytes(folder + L"\\ignore.wls", records);

  const CHILD_RESULT clean = RunCli(L"scan --category 2 --json -");
  const Json cleanReport = Json::parse(clean.out, nullptr, false);
  ASSERT_FALSE(cleanReport.is_discarded()) << clean.out << clean.err;
  EXPECT_EQ(clean.exitCode, 0u);
  EXPECT_TRUE(cleanReport.at("problems").empty()) << clean.out;
  EXPECT_EQ(cleanReport.at("categories").at(0).at("found").get<int>(), 0);
}

}  // namespace
}  // namespace qv
