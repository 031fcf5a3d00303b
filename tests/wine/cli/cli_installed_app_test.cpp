// A program installed for the machine by a real installer (an NSIS script, made by makensis at
// build time) on an otherwise clean throwaway prefix: while it is there, nothing of it is
// reported; once its folder is deleted by hand, "fix" repairs every leftover, what those repairs
// leave broken included (its settings keys emptied of their values), in one run and one backup;
// a scan right after finds nothing of it, nothing else of the machine changed, and "restore"
// brings every key and value back byte for byte, as the registry API reads them.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h: it needs its declarations
#include <shlobj.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_dump.h"

#ifndef QV_INSTALLED_APP_SETUP
#error QV_INSTALLED_APP_SETUP must name the installer of the test program
#endif

namespace qv {
namespace {

using namespace test;  // the child, seeding and dump helpers
using Json = nlohmann::json;

// What names the program in the registry: its name, its file type, its class and its AppID.
const char* const kProgramMarks[] = {"QVINSTALLED", ".QVDOC",
                                     "5A17C0DE-0000-4000-8000-0000000025A"};

bool NamesTheProgram(const std::string& text) {
  const std::string upper = ToUtf8(ToUpper(FromUtf8(text)));
  for (const char* mark : kProgramMarks) {
    if (upper.find(mark) != std::string::npos) return true;
  }
  return false;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path), S_OK);
  return std::wstring(path) + L"\\QvInstalledApp";
}

// Deletes a folder and everything in it, as a user does by hand.
void DeleteFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        DeleteFolder(path);
      } else {
        EXPECT_TRUE(DeleteFileW(path.c_str())) << ToUtf8(path);
      }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << ToUtf8(folder);
}

Json RunJson(const std::wstring& command, const std::wstring& file) {
  const CHILD_RESULT run = RunCli(command + L" --quiet --json " + file);
  const Json report = Json::parse(ReadFileBytes(file), nullptr, false);
  EXPECT_FALSE(report.is_discarded()) << run.out << run.err;
  return report;
}

// The problems of a scan report that name the program, as "category key\name".
std::set<std::string> ProgramProblems(const Json& report) {
  std::set<std::string> found;
  for (const Json& p : report.at("problems")) {
    const std::string entry = std::to_string(p.at("category").get<int>()) + " " +
                              p.at("key").get<std::string>() + "\\" +
                              p.at("name").get<std::string>();
    if (NamesTheProgram(entry + p.at("data").get<std::string>())) found.insert(entry);
  }
  return found;
}

TEST(CliInstalledApp, OneFixLeavesNothingOfAProgramDeletedByHandAndOneRestoreBringsItBack) {
  {
    // Wine writes volatile keys of its own the first time a process brings up the window system.
    CWin32Shell shell;
    ASSERT_EQ(shell.CreateShortcut(L"C:\\warm-up.lnk", {L"C:\\windows\\notepad.exe", L"", L""}),
              kErrorSuccess);
    DeleteFileW(L"C:\\warm-up.lnk");
  }
  // The prefix's own leftovers first, so that what follows is the program's alone.
  RunJson(L"fix --no-restore-point", L"C:\\clean-fix.json");
  const Json clean = RunJson(L"scan", L"C:\\clean-scan.json");

  const CHILD_RESULT install = RunProgram(L"\"" + BuildTreePath(QV_INSTALLED_APP_SETUP) + L"\" /S");
  ASSERT_EQ(install.exitCode, 0u) << install.out << install.err;
  ASSERT_NE(GetFileAttributesW((ProgramFolder() + L"\\app.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  const Json installed = RunJson(L"scan", L"C:\\installed-scan.json");
  EXPECT_TRUE(ProgramProblems(installed).empty()) << installed.at("problems").dump(1);

  DeleteFolder(ProgramFolder());
  const Json deleted = RunJson(L"scan", L"C:\\deleted-scan.json");
  std::set<int> categories;
  for (const std::string& problem : ProgramProblems(deleted)) categories.insert(std::stoi(problem));
  EXPECT_EQ(categories, (std::set<int>{1, 4, 6, 7, 10})) << deleted.at("problems").dump(1);

  const DUMP before = DumpRegistry();
  const Json fix = RunJson(L"fix --no-restore-point", L"C:\\deleted-fix.json");
  ASSERT_TRUE(fix.at("completed").get<bool>());
  EXPECT_TRUE(fix.at("failed").empty()) << fix.at("failed").dump(1);
  EXPECT_EQ(fix.at("notRepaired").get<int>(), 0);
  // The settings keys the repair emptied of their values went in the same run, each with the
  // entry whose repair left it empty.
  const std::string user = ToUtf8(UsersKeyOfThisUser()) + "\\Software\\QvInstalledVendor";
  std::set<std::string> chained;
  for (const Json& c : fix.at("chained")) {
    EXPECT_EQ(c.at("error").get<int>(), 0) << c.dump();
    if (!NamesTheProgram(c.at("key").get<std::string>())) continue;  // Wine's own (wine-notes)
    chained.insert(c.at("key").get<std::string>() + " <- " + c.at("because").get<std::string>());
  }
  EXPECT_EQ(chained, (std::set<std::string>{
                         user + "\\QvInstalledApp\\Settings <- " + user +
                             "\\QvInstalledApp\\Settings\\LastProject",
                         user + "\\QvInstalledApp <- " + user + "\\QvInstalledApp\\Settings",
                         user + " <- " + user + "\\QvInstalledApp",
                     }))
      << fix.at("chained").dump(1);

  // A scan right after finds nothing of the program, and nothing the clean prefix did not have.
  const Json after = RunJson(L"scan", L"C:\\after-scan.json");
  EXPECT_TRUE(ProgramProblems(after).empty()) << after.at("problems").dump(1);
  EXPECT_EQ(after.at("problems").size(), clean.at("problems").size())
      << after.at("problems").dump(1);

  // Nothing but the program's entries changed, and the empty keys Wine makes of its own each time
  // a process brings up the window system (docs/wine-notes.md).
  const COMPARISON changes = Compare(before, DumpRegistry());
  const std::wstring wine = ToUpper(UsersKeyOfThisUser()) + L"\\SOFTWARE\\WINE\\";
  std::vector<DUMP_DIFFERENCE> others;
  for (const DUMP_DIFFERENCE& d : changes.differences) {
    if (!NamesTheProgram(ToUtf8(d.key + L" : " + d.name)) && !d.key.starts_with(wine)) {
      others.push_back(d);
    }
  }
  EXPECT_TRUE(others.empty()) << "changed, yet not the program's:\n" << Describe(others);

  // One restore brings every key and value back.
  ASSERT_TRUE(fix.at("backup").is_string());
  const CHILD_RESULT restore = RestoreBackup(fix.at("backup").get<std::string>());
  EXPECT_EQ(restore.exitCode, 0u) << restore.out << restore.err;
  const COMPARISON restored = Compare(before, DumpRegistry());
  EXPECT_TRUE(restored.differences.empty()) << Describe(restored.differences);
  std::printf("leftovers of the deleted program: %zu problems; fix: %zu fixed, %zu uncovered and "
              "repaired; scan after: %zu problems (clean prefix: %zu); %zu keys and values "
              "changed, %zu not the program's; restore: compared %zu keys and %zu values: %zu "
              "differences\n",
              ProgramProblems(deleted).size(), fix.at("fixed").size(), fix.at("chained").size(),
              after.at("problems").size(), clean.at("problems").size(),
              changes.differences.size(), others.size(), restored.keys, restored.values,
              restored.differences.size());
}

}  // namespace
}  // namespace qv
