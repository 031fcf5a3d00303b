// A repair on a machine where one program is installed and healthy, one was deleted by hand (its
// folder is gone) and one left only its log behind, beside Windows' own entries that name
// missing files: QuarveloCli.exe "fix" removes the deleted programs' settings and changes
// nothing else, as the registry API reads it back in the throwaway prefix. "scan --json" first
// shows the evidence of each leftover.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_dump.h"

namespace qv {
namespace {

using namespace test;  // the child, seeding and dump helpers
using Json = nlohmann::json;

constexpr wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services";
constexpr wchar_t kMemoryManagement[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
constexpr wchar_t kUserWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t kMachineFonts[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::wstring ProgramFiles() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path), S_OK);
  return path;
}

// One seeded value, with whose it is and whether the repair is to remove it.
struct SEEDED {
  HKEY root;
  std::wstring key;
  std::wstring name;
  std::wstring data;
  DWORD type;
  bool leftover;  // of a deleted program: removed
};

// The dump's spelling of a seeded value's key (HKEY_CURRENT_USER is the user's hive).
std::wstring DumpKeyOf(const SEEDED& value) {
  const std::wstring root = value.root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE"
                                                             : UsersKeyOfThisUser();
  return ToUpper(root + L"\\" + value.key);
}

std::vector<SEEDED> Seeds() {
  const std::wstring programs = ProgramFiles();
  const std::wstring healthy = programs + L"\\QvHealthy";
  const std::wstring gone = programs + L"\\QvGone";
  const std::wstring logged = programs + L"\\QvLogged";
  return {
      // The healthy program: a data file and a log folder it makes on first use.
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvHealthy\\Settings", L"DataFile",
       healthy + L"\\data\\settings.ini", REG_SZ, false},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvHealthy\\Settings", L"LogFolder", healthy + L"\\logs",
       REG_SZ, false},
      {HKEY_CURRENT_USER, L"Software\\QvHealthy\\Recent", L"LastData",
       healthy + L"\\data\\recent.dat", REG_SZ, false},
      // The program deleted by hand: its folder is gone.
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvGone\\Settings", L"DataFile",
       gone + L"\\data\\settings.ini", REG_SZ, true},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvGone\\Settings", L"LogFolder", gone + L"\\logs", REG_SZ,
       true},
      {HKEY_CURRENT_USER, L"Software\\QvGone\\Recent", L"File1", gone + L"\\data\\recent.dat",
       REG_SZ, true},
      // The program whose uninstaller left its log in its folder.
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvLogged\\Settings", L"DataFile",
       logged + L"\\settings.ini", REG_SZ, true},
      // Windows' own: a service hosted by Windows with its library in the Windows folder, a
      // service of a program that is gone, a paging-file setting, the user's logon settings.
      {HKEY_LOCAL_MACHINE, std::wstring(kServices) + L"\\QvProofHosted\\Parameters",
       L"ServiceDll", L"%SystemRoot%\\system32\\qvproofhosted.dll", REG_EXPAND_SZ, false},
      {HKEY_LOCAL_MACHINE, std::wstring(kServices) + L"\\QvProofService", L"ImagePath",
       L"\"%ProgramFiles%\\QvProofService\\qvservice.exe\" /service", REG_EXPAND_SZ, false},
      {HKEY_LOCAL_MACHINE, kMemoryManagement, L"QvProofPagingFiles", L"C:\\qvproof.sys 27 77",
       REG_SZ, false},
      {HKEY_CURRENT_USER, kUserWinlogon, L"QvProofLogonScript", L"C:\\QvProofScripts\\logon.cmd",
       REG_SZ, false},
  };
}

void Seed(const std::vector<SEEDED>& seeds) {
  const std::wstring programs = ProgramFiles();
  for (const std::wstring& folder : {programs + L"\\QvHealthy", programs + L"\\QvLogged"}) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << ToUtf8(folder);
  }
  WriteFileBytes(programs + L"\\QvHealthy\\healthy.exe", "MZ placeholder");
  WriteFileBytes(programs + L"\\QvLogged\\uninstall.log", "removed");
  for (const SEEDED& value : seeds) {
    SetValue(value.root, value.key, value.name, value.type, value.data.c_str(),
             static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t)));
  }
}

bool IsUnder(const std::wstring& key, const std::wstring& upperPrefix) {
  return key == upperPrefix || key.starts_with(upperPrefix + L"\\");
}

TEST(CliInstalledProgram, FixRemovesTheDeletedProgramsSettingsAndNothingElse) {
  const std::vector<SEEDED> seeds = Seeds();
  Seed(seeds);
  // Wine writes volatile keys of its own the first time a process of the prefix brings up the
  // window system: make them before the baseline.
  {
    CWin32Shell shell;
    ASSERT_EQ(shell.CreateShortcut(L"C:\\warm-up.lnk", {L"C:\\windows\\notepad.exe", L"", L""}),
              kErrorSuccess);
    DeleteFileW(L"C:\\warm-up.lnk");
  }

  // The scan names each leftover with its evidence, and nothing of the healthy program.
  const CHILD_RESULT scan = RunCli(L"scan --quiet --json C:\\installed-scan.json");
  const Json report = Json::parse(ReadFileBytes(L"C:\\installed-scan.json"), nullptr, false);
  ASSERT_FALSE(report.is_discarded()) << scan.err;
  std::set<std::string> evidence;
  for (const Json& problem : report.at("problems")) {
    ASSERT_TRUE(problem.contains("evidence")) << problem.dump();
    const std::string data = problem.at("data").get<std::string>();
    EXPECT_EQ(data.find("QvHealthy"), std::string::npos) << problem.dump();
    if (problem.at("category").get<int>() == 7 && !problem.at("evidence").is_null() &&
        (data.find("QvGone") != std::string::npos || data.find("QvLogged") != std::string::npos)) {
      evidence.insert(problem.at("evidence").at("text").get<std::string>());
    }
  }
  const std::string programs = ToUtf8(ProgramFiles());
  EXPECT_EQ(evidence, (std::set<std::string>{
                          "Missing folder: " + programs + "\\QvGone (for " + programs +
                              "\\QvGone\\data\\settings.ini)",
                          "Missing folder: " + programs + "\\QvGone (for " + programs +
                              "\\QvGone\\logs)",
                          "Missing folder: " + programs + "\\QvGone (for " + programs +
                              "\\QvGone\\data\\recent.dat)",
                          "No program left in " + programs + "\\QvLogged (for " + programs +
                              "\\QvLogged\\settings.ini)"}));

  const DUMP before = DumpRegistry();
  const CHILD_RESULT fix = RunCli(L"fix --no-restore-point --quiet --json C:\\installed-fix.json");
  const Json outcome = Json::parse(ReadFileBytes(L"C:\\installed-fix.json"), nullptr, false);
  ASSERT_FALSE(outcome.is_discarded()) << fix.err;
  ASSERT_TRUE(outcome.at("completed").get<bool>()) << fix.err;
  const COMPARISON changes = Compare(before, DumpRegistry());

  // The keys the repair emptied and then removed in the same run, each reported as chained.
  std::set<std::wstring> chainedKeys;
  for (const Json& c : outcome.at("chained")) {
    // An empty key is named by its path, its name being "(Default)".
    if (c.at("category").get<int>() == 9) {
      chainedKeys.insert(ToUpper(FromUtf8(c.at("key").get<std::string>())));
    }
  }
  const auto keyGone = [&](const std::wstring& key) {
    return std::any_of(changes.differences.begin(), changes.differences.end(),
                       [&](const DUMP_DIFFERENCE& d) {
                         return !d.value && d.what == "key gone" && IsUnder(key, d.key);
                       });
  };
  // Every value of a deleted program is gone (with its key, when the repair emptied that);
  // nothing of the healthy program or of Windows' own entries changed.
  std::set<std::wstring> expected;
  for (const SEEDED& value : seeds) {
    const std::wstring where = DumpKeyOf(value) + L" : " + ToUpper(value.name);
    if (value.leftover) expected.insert(where);
    bool changed = keyGone(DumpKeyOf(value));
    for (const DUMP_DIFFERENCE& d : changes.differences) {
      if (d.value && d.key == DumpKeyOf(value) && d.name == ToUpper(value.name)) {
        changed = d.what == "value gone";
      }
    }
    EXPECT_EQ(changed, value.leftover) << ToUtf8(where);
  }
  // Exactly those: nothing else of the machine changed, Windows' own areas least of all. Wine's
  // own, which Windows has not, is set apart and shown: the empty keys of its configuration in
  // the user's hive, and its bitmap fonts, registered by a bare file name that lies in Wine's own
  // data folder rather than in the Fonts folder (docs/wine-notes.md).
  std::vector<DUMP_DIFFERENCE> system;
  std::vector<DUMP_DIFFERENCE> winlogon;
  std::vector<DUMP_DIFFERENCE> wine;
  std::vector<DUMP_DIFFERENCE> others;
  const std::wstring user = ToUpper(UsersKeyOfThisUser());
  for (const DUMP_DIFFERENCE& d : changes.differences) {
    if (d.value && expected.count(d.key + L" : " + d.name) == 1 && d.what == "value gone") {
      continue;
    }
    if (!d.value && d.what == "key gone" && chainedKeys.count(d.key) == 1) continue;
    if (IsUnder(d.key, L"HKEY_LOCAL_MACHINE\\SYSTEM")) {
      system.push_back(d);
    } else if (IsUnder(d.key, user + L"\\" + ToUpper(kUserWinlogon))) {
      winlogon.push_back(d);
    } else if (IsUnder(d.key, user + L"\\SOFTWARE\\WINE") ||
               (d.key == ToUpper(kMachineFonts) && d.what == "value gone")) {
      wine.push_back(d);
    } else {
      others.push_back(d);
    }
  }
  EXPECT_TRUE(system.empty()) << "changed under HKEY_LOCAL_MACHINE\\SYSTEM:\n" << Describe(system);
  EXPECT_TRUE(winlogon.empty()) << "changed in the user's logon settings:\n" << Describe(winlogon);
  EXPECT_TRUE(others.empty()) << "changed, yet no leftover of a deleted program:\n"
                              << Describe(others) << outcome.at("chained").dump(1);
  std::printf("fix: %zu problems fixed, %zu failed; %zu keys and values changed: %zu leftovers, "
              "%zu under SYSTEM, %zu of Winlogon, %zu others; Wine's own: %zu\n%s",
              outcome.at("fixed").size(), outcome.at("failed").size(),
              changes.differences.size(), expected.size(), system.size(), winlogon.size(),
              others.size(), wine.size(), Describe(wine).c_str());
}

}  // namespace
}  // namespace qv
