// Programs installed for one user, as per-user installers register them: an uninstall entry, an
// application path, a Run entry, and in the user's classes a file type, its ProgID and a COM
// class. One was deleted by hand, its twin is healthy. QuarveloCli.exe finds the deleted one in
// every category it registered in, under its HKEY_CURRENT_USER keys, and never its twin; "fix"
// removes it there and "restore" brings back every key and value byte for byte, as the registry
// API reads them in the throwaway prefix. A copy of the program without the list of Windows' own
// areas still leaves those areas alone, and says so.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <shlobj.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_dump.h"

namespace qv {
namespace {

using namespace test;  // the child, seeding and dump helpers
using Json = nlohmann::json;

constexpr wchar_t kSoftware[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kClasses[] = L"Software\\Classes";
constexpr wchar_t kGoneClass[] = L"{5A17C0DE-0000-4000-8000-0000000024A1}";
constexpr wchar_t kKeptClass[] = L"{5A17C0DE-0000-4000-8000-0000000024A2}";

std::wstring LocalAppData() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path), S_OK);
  return path;
}

std::wstring ProgramOf(const std::wstring& name) {
  return LocalAppData() + L"\\" + name + L"\\bin\\" + name + L".exe";
}

void InstallForUser(const std::wstring& name, const std::wstring& classId) {
  const std::wstring folder = LocalAppData() + L"\\" + name;
  const std::wstring program = ProgramOf(name);
  const std::wstring entry = std::wstring(kSoftware) + L"\\Uninstall\\" + name;
  SetString(HKEY_CURRENT_USER, entry, L"DisplayName", name);
  SetString(HKEY_CURRENT_USER, entry, L"DisplayIcon", program + L",0");
  SetString(HKEY_CURRENT_USER, entry, L"InstallLocation", folder);
  SetString(HKEY_CURRENT_USER, entry, L"UninstallString",
            L"\"" + folder + L"\\Update.exe\" --uninstall");
  SetString(HKEY_CURRENT_USER, std::wstring(kSoftware) + L"\\App Paths\\" + name + L".exe", L"",
            program);
  SetString(HKEY_CURRENT_USER, std::wstring(kSoftware) + L"\\Run", name,
            L"\"" + program + L"\" --processStart " + name + L".exe");
  const std::wstring classes = std::wstring(kClasses) + L"\\";
  SetString(HKEY_CURRENT_USER, classes + L"." + ToLower(name), L"", name + L".File");
  SetString(HKEY_CURRENT_USER, classes + name + L".File\\shell\\open\\command", L"",
            L"\"" + program + L"\" \"%1\"");
  SetString(HKEY_CURRENT_USER, classes + name + L".File\\CLSID", L"", classId);
  SetString(HKEY_CURRENT_USER, classes + L"CLSID\\" + classId + L"\\LocalServer32", L"", program);
}

std::set<std::tuple<int, std::string, std::string>> Reported(const Json& report) {
  std::set<std::tuple<int, std::string, std::string>> problems;
  for (const Json& p : report.at("problems")) {
    problems.emplace(p.at("category").get<int>(), ToUtf8(ToUpper(FromUtf8(p.at("key").get<std::string>()))),
                     p.at("name").get<std::string>());
  }
  return problems;
}

bool IsUnder(const std::string& key, const std::wstring& area) {
  const std::string upper = ToUtf8(ToUpper(area));
  return key == upper || key.starts_with(upper + "\\");
}

TEST(CliUserPrograms, AProgramOfTheUserDeletedByHandIsFoundFixedAndRestoredWhereItIs) {
  InstallForUser(L"QvUserGone", kGoneClass);
  InstallForUser(L"QvUserKept", kKeptClass);
  const std::wstring kept = LocalAppData() + L"\\QvUserKept";
  ASSERT_TRUE(CreateDirectoryW(kept.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((kept + L"\\bin").c_str(), nullptr));
  WriteFileBytes(kept + L"\\Update.exe", "MZ placeholder");
  WriteFileBytes(ProgramOf(L"QvUserKept"), "MZ placeholder");
  // Windows' own, naming what is missing: a service, the user's logon settings, and a user's
  // Active Setup record that is empty.
  SetString(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\QvProofService",
            L"ImagePath", L"C:\\QvProofGone\\service.exe");
  SetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
            L"QvProofShell", L"C:\\QvProofGone\\shell.exe");
  MakeKey(HKEY_CURRENT_USER,
          L"Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\{QvProof}");
  // An archive opened from a drive that is not there now (a USB disk, a card).
  SetString(HKEY_CURRENT_USER, L"Software\\QvArchiver\\ArcHistory", L"0",
            L"Q:\\Archives\\photos.rar");
  {
    // Wine writes volatile keys of its own the first time a process brings up the window system.
    CWin32Shell shell;
    ASSERT_EQ(shell.CreateShortcut(L"C:\\warm-up.lnk", {L"C:\\windows\\notepad.exe", L"", L""}),
              kErrorSuccess);
    DeleteFileW(L"C:\\warm-up.lnk");
  }
  const std::wstring windowsOwned[] = {
      L"HKEY_LOCAL_MACHINE\\SYSTEM",
      UsersKeyOfThisUser() + L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
      UsersKeyOfThisUser() + L"\\Software\\Wow6432Node\\Microsoft\\Active Setup"};

  // A copy of the program without its list of Windows' own areas (a portable copy, a damaged
  // install) protects them with the rows built in, and says so.
  ASSERT_TRUE(CreateDirectoryW(L"C:\\QvPortable", nullptr));
  ASSERT_TRUE(CopyFileW(CliPath().c_str(), L"C:\\QvPortable\\QuarveloCli.exe", FALSE));
  const CHILD_RESULT portable =
      RunChild(L"C:\\QvPortable\\QuarveloCli.exe", L"scan --quiet --json C:\\portable-scan.json");
  EXPECT_NE(portable.err.find("windows-owned.wls is missing or cannot be read"), std::string::npos)
      << portable.err;
  const Json portableReport =
      Json::parse(ReadFileBytes(L"C:\\portable-scan.json"), nullptr, false);
  ASSERT_FALSE(portableReport.is_discarded()) << portable.err;
  EXPECT_EQ(portableReport.at("notices").size(), 1u);
  for (const auto& [category, key, name] : Reported(portableReport)) {
    for (const std::wstring& area : windowsOwned) {
      EXPECT_FALSE(IsUnder(key, area)) << category << " " << key << " " << name;
    }
  }

  const CHILD_RESULT scan = RunCli(L"scan --quiet --json C:\\user-scan.json");
  const Json report = Json::parse(ReadFileBytes(L"C:\\user-scan.json"), nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << scan.err;
  EXPECT_TRUE(report.at("notices").empty()) << scan.err;
  const auto reported = Reported(report);
  const std::string user = "HKEY_CURRENT_USER\\";
  const std::string software = ToUtf8(ToUpper(L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
  const std::string hive = ToUtf8(ToUpper(UsersKeyOfThisUser()));
  for (const auto& problem : std::set<std::tuple<int, std::string, std::string>>{
           {1, software + "\\UNINSTALL", "QvUserGone"},
           {4, software + "\\APP PATHS", "QvUserGone.exe"},
           {6, software + "\\RUN", "QvUserGone"},
           {7, hive + "\\SOFTWARE\\CLASSES\\CLSID\\" + ToUtf8(kGoneClass) + "\\LOCALSERVER32", ""},
           {10, "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES\\.QVUSERGONE", "(Default)"}}) {
    EXPECT_EQ(reported.count(problem), 1u)
        << std::get<0>(problem) << " " << std::get<1>(problem) << " " << std::get<2>(problem);
  }
  for (const auto& [category, key, name] : reported) {
    EXPECT_EQ(key.find("QVUSERKEPT"), std::string::npos) << category << " " << key;
    EXPECT_EQ(name.find("QvUserKept"), std::string::npos) << category << " " << key;
    EXPECT_EQ(key.find("UNINSTALL\\QVUSERGONE"), std::string::npos)
        << "an uninstall entry's values are the uninstall check's: " << category << " " << key;
    for (const std::wstring& area : windowsOwned) {
      EXPECT_FALSE(IsUnder(key, area)) << category << " " << key << " " << name;
    }
  }

  // The archive's drive is not judged: the entry is listed with why, not reported.
  bool listed = false;
  for (const Json& p : report.at("passedOver")) {
    if (p.at("data").get<std::string>() != "Q:\\Archives\\photos.rar") continue;
    listed = true;
    EXPECT_EQ(p.at("evidence").at("kind").get<std::string>(), "driveAbsent") << p.dump();
  }
  EXPECT_TRUE(listed) << report.at("passedOver").dump();
  for (const auto& [category, key, name] : reported) {
    EXPECT_EQ(key.find("QVARCHIVER"), std::string::npos) << category << " " << key;
  }

  // The repair removes the program's entries under the user's keys, and only them.
  const DUMP before = DumpRegistry();
  const CHILD_RESULT fix = RunCli(L"fix --no-restore-point --quiet --json C:\\user-fix.json");
  const Json outcome = Json::parse(ReadFileBytes(L"C:\\user-fix.json"), nullptr, false);
  ASSERT_FALSE(outcome.is_discarded()) << fix.err;
  ASSERT_TRUE(outcome.at("completed").get<bool>()) << fix.err;
  EXPECT_TRUE(outcome.at("failed").empty()) << outcome.at("failed").dump();
  const std::wstring uninstall = std::wstring(kSoftware) + L"\\Uninstall\\";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, uninstall + L"QvUserGone"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, uninstall + L"QvUserKept"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, std::wstring(kSoftware) + L"\\Run", L"QvUserGone"),
            L"<missing>");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kClasses) + L"\\.qvusergone"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, std::wstring(kClasses) + L"\\.qvuserkept"));
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER,
                       std::wstring(kClasses) + L"\\CLSID\\" + kKeptClass + L"\\LocalServer32",
                       L""),
            ProgramOf(L"QvUserKept"));

  // One restore brings back every key, value type and byte.
  ASSERT_TRUE(outcome.at("backup").is_string());
  const CHILD_RESULT restore = RestoreBackup(outcome.at("backup").get<std::string>());
  EXPECT_EQ(restore.exitCode, 0u) << restore.out << restore.err;
  const COMPARISON restored = Compare(before, DumpRegistry());
  EXPECT_TRUE(restored.differences.empty()) << Describe(restored.differences);
  std::printf("scan: %zu problems; portable copy: %zu problems, notice \"%s\"; fix: %zu fixed, "
              "%zu failed; restore: compared %zu keys and %zu values: %zu differences\n",
              report.at("problems").size(), portableReport.at("problems").size(),
              portableReport.at("notices").at(0).get<std::string>().c_str(),
              outcome.at("fixed").size(), outcome.at("failed").size(), restored.keys,
              restored.values, restored.differences.size());
}

}  // namespace
}  // namespace qv
