// The 32-bit registry view of Wine's 64-bit prefix (SOFTWARE\Wow6432Node, the classes'
// Wow6432Node, an empty syswow64 folder) through QuarveloCli.exe: a 32-bit program's leftovers
// (uninstall entry, Run entry, COM class, settings value) are found by "scan", removed by "fix"
// under their real key paths and put back by "restore" byte for byte; an entry naming
// system32 for a file that is only in syswow64, and a ProgID whose class is registered only in
// the 32-bit view, are not reported.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <shlobj.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>

#include "base/utf16.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_dump.h"

namespace qv {
namespace {

using namespace test;  // the child, seeding and dump helpers
using Json = nlohmann::json;

constexpr wchar_t kUninstall32[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kRun32[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRun64[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSharedDlls32[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kClass32[] = L"Wow6432Node\\CLSID\\{5A17C0DE-0000-4000-8000-000000003201}";
constexpr wchar_t kRegisteredClass32[] = L"{5A17C0DE-0000-4000-8000-000000003202}";
constexpr wchar_t kSettings32[] = L"SOFTWARE\\Wow6432Node\\QvViews\\Settings";

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path), S_OK) << csidl;
  return path;
}

void SetExpandString(HKEY root, const std::wstring& key, const std::wstring& name,
                     const std::wstring& text) {
  SetValue(root, key, name, REG_EXPAND_SZ, text.c_str(),
           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// (category, key, name) of each problem of a console report.
std::set<std::tuple<int, std::string, std::string>> Reported(const Json& report) {
  std::set<std::tuple<int, std::string, std::string>> problems;
  for (const Json& p : report.at("problems")) {
    problems.emplace(p.at("category").get<int>(), p.at("key").get<std::string>(),
                     p.at("name").get<std::string>());
  }
  return problems;
}

TEST(CliViews, The32BitViewsLeftoversAreFoundFixedAndRestoredUnderTheirRealKeys) {
  const std::wstring x86 = Folder(CSIDL_PROGRAM_FILESX86);
  const std::wstring syswow64 = Folder(CSIDL_SYSTEMX86);
  std::printf("32-bit folders: %s, %s\n", ToUtf8(x86).c_str(), ToUtf8(syswow64).c_str());
  ASSERT_NE(ToUtf8(syswow64).find("syswow64"), std::string::npos);
  ASSERT_TRUE(CreateDirectoryW((x86 + L"\\QvViewsTool").c_str(), nullptr));
  WriteFileBytes(x86 + L"\\QvViewsTool\\tool.exe", "MZ placeholder");
  WriteFileBytes(syswow64 + L"\\qvviews32.dll", "MZ placeholder");

  // The leftovers of a 32-bit program that is gone.
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall32) + L"\\QvViews Gone", L"UninstallString",
            L"C:\\qvviews_gone\\uninst.exe");
  SetString(HKEY_LOCAL_MACHINE, kRun32, L"QvViews Gone", L"C:\\qvviews_gone\\agent.exe");
  SetString(HKEY_CLASSES_ROOT, kClass32, L"AppID", L"{5A17C0DE-0000-4000-8000-000000003203}");
  SetString(HKEY_CLASSES_ROOT, std::wstring(kClass32) + L"\\InprocServer32", L"",
            L"C:\\qvviews_gone\\server32.dll");
  SetExpandString(HKEY_LOCAL_MACHINE, kSettings32, L"LastFile",
                  L"%ProgramFiles%\\QvViewsGone\\file.txt");
  // What a 32-bit program finds: its system folder is syswow64, its %ProgramFiles% the x86
  // folder (where its program still is), its class below Wow6432Node.
  SetString(HKEY_LOCAL_MACHINE, kRun32, L"QvViews System", L"C:\\windows\\system32\\qvviews32.dll");
  SetDword(HKEY_LOCAL_MACHINE, kSharedDlls32, L"C:\\windows\\system32\\qvviews32.dll", 1);
  SetExpandString(HKEY_LOCAL_MACHINE, kSettings32, L"Settings",
                  L"%ProgramFiles%\\QvViewsTool\\settings.ini");
  SetString(HKEY_CLASSES_ROOT, std::wstring(L"Wow6432Node\\CLSID\\") + kRegisteredClass32, L"",
            L"QvViews 32-bit class");
  SetString(HKEY_CLASSES_ROOT, L"QvViews.Prog32\\CLSID", L"", kRegisteredClass32);
  // The same entry in the 64-bit Run key names the 64-bit system folder, where it is not.
  SetString(HKEY_LOCAL_MACHINE, kRun64, L"QvViews System", L"C:\\windows\\system32\\qvviews32.dll");
  {
    // Wine writes volatile keys of its own the first time a process brings up the window system.
    CWin32Shell shell;
    ASSERT_EQ(shell.CreateShortcut(L"C:\\warm-up.lnk", {L"C:\\windows\\notepad.exe", L"", L""}),
              kErrorSuccess);
    DeleteFileW(L"C:\\warm-up.lnk");
  }

  const CHILD_RESULT scan = RunCli(L"scan --quiet --json C:\\views-scan.json");
  const Json report = Json::parse(ReadFileBytes(L"C:\\views-scan.json"), nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << scan.err;
  const auto reported = Reported(report);
  const std::string hklm = "HKEY_LOCAL_MACHINE\\";
  const std::string classes32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + ToUtf8(kClass32);
  const std::string run32 = hklm + ToUtf8(kRun32);
  for (const auto& problem : std::set<std::tuple<int, std::string, std::string>>{
           {0, classes32, "AppID"},
           {1, hklm + ToUtf8(kUninstall32), "QvViews Gone"},
           {6, run32, "QvViews Gone"},
           {6, hklm + ToUtf8(kRun64), "QvViews System"},
           {7, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\"
               "{5A17C0DE-0000-4000-8000-000000003201}\\InprocServer32",
            ""},
           {7, "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\QvViews\\Settings", "LastFile"}}) {
    EXPECT_EQ(reported.count(problem), 1u)
        << std::get<0>(problem) << " " << std::get<1>(problem) << " " << std::get<2>(problem);
  }
  for (const Json& p : report.at("problems")) {
    const std::string what = p.dump();
    if (p.at("key").get<std::string>().find("Wow6432Node") != std::string::npos) {
      EXPECT_EQ(what.find("qvviews32.dll"), std::string::npos)
          << "judged in the 64-bit system folder: " << what;
    }
    EXPECT_EQ(what.find("QvViewsTool"), std::string::npos) << what;
    EXPECT_EQ(what.find("QvViews.Prog32"), std::string::npos) << what;
    if (p.at("name").get<std::string>() == "LastFile") {
      EXPECT_EQ(p.at("data").get<std::string>(), ToUtf8(x86) + "\\QvViewsGone\\file.txt");
      EXPECT_EQ(p.at("evidence").at("text").get<std::string>(),
                "Missing folder: " + ToUtf8(x86) + "\\QvViewsGone (for " + ToUtf8(x86) +
                    "\\QvViewsGone\\file.txt)");
    }
  }

  // The repair removes them where they are; everything of the 32-bit view that is in use stays.
  const DUMP before = DumpRegistry();
  const CHILD_RESULT fix = RunCli(L"fix --no-restore-point --quiet --json C:\\views-fix.json");
  const Json outcome = Json::parse(ReadFileBytes(L"C:\\views-fix.json"), nullptr, false);
  ASSERT_FALSE(outcome.is_discarded()) << fix.err;
  ASSERT_TRUE(outcome.at("completed").get<bool>()) << fix.err;
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kUninstall32) + L"\\QvViews Gone"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRun32, L"QvViews Gone"), L"<missing>");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClass32));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kSettings32, L"LastFile"), L"<missing>");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kRun32, L"QvViews System"),
            L"C:\\windows\\system32\\qvviews32.dll");
  EXPECT_TRUE(
      KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"Wow6432Node\\CLSID\\") + kRegisteredClass32));
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, L"QvViews.Prog32\\CLSID", L""), kRegisteredClass32);

  // The restore brings back every key, value type and byte, the 32-bit view's included.
  ASSERT_TRUE(outcome.at("backup").is_string());
  const CHILD_RESULT restore = RestoreBackup(outcome.at("backup").get<std::string>());
  EXPECT_EQ(restore.exitCode, 0u) << restore.out << restore.err;
  const COMPARISON restored = Compare(before, DumpRegistry());
  EXPECT_TRUE(restored.differences.empty()) << Describe(restored.differences);
  std::printf("fix: %zu problems fixed, %zu failed; restore: compared %zu keys and %zu values: "
              "%zu differences\n",
              outcome.at("fixed").size(), outcome.at("failed").size(), restored.keys,
              restored.values, restored.differences.size());
}

}  // namespace
}  // namespace qv
