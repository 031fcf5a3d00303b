// Repair and restore end to end on the real Win32 registry of a throwaway Wine prefix, through
// QuarveloCli.exe: seed broken and healthy entries of all eleven categories (the keys a repair
// deletes whole hold values of every awkward form and nested subkeys; one holds a registry link
// to a key outside every problem), dump the registry through the registry API (every key, every
// value's type and bytes), run "fix", and require that what changed is exactly what the repair
// reports as fixed; then "restore" the backup it made, dump again and compare byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/win32/win32_shell.h"
#include "tests/support/win32/cli_child.h"
#include "tests/support/win32/registry_dump.h"
#include "tests/support/win32/registry_link.h"

namespace qv {
namespace {

using namespace test;  // the child and seeding helpers
using Json = nlohmann::json;

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kFonts[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kAppPaths[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr wchar_t kHelp[] = L"SOFTWARE\\Microsoft\\Windows\\HELP";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kMenuOrder[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs";
#define QV_GUID(n) L"{5A17C0DE-0000-4000-8000-0000000001" n L"}"
#define QV_WIDE L"\u0416\u6f22\u2603\U0001F600"

// ---- What a repair removes ----

// A problem's key as the dump spells it: the classes view is the machine's classes key (Wine
// shows no user classes there), the current user is the user's hive below HKEY_USERS.
std::wstring DumpPath(const std::string& utf8Key) {
  std::wstring key = ToUpper(FromUtf8(utf8Key));
  const std::wstring classes = L"HKEY_CLASSES_ROOT\\";
  const std::wstring user = L"HKEY_CURRENT_USER\\";
  if (key.starts_with(classes)) key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\" + key.substr(classes.size());
  if (key.starts_with(user)) key = ToUpper(UsersKeyOfThisUser()) + L"\\" + key.substr(user.size());
  return key;
}

// The entries one fixed problem removed: a whole tree, or one value.
struct REMOVED {
  std::wstring tree;   // every key at or below it
  std::wstring key;    // or this value of this key
  std::wstring value;
};

REMOVED RemovedBy(const Json& problem) {
  const int category = problem.at("category").get<int>();
  const std::wstring key = DumpPath(problem.at("key").get<std::string>());
  const std::wstring name = ToUpper(FromUtf8(problem.at("name").get<std::string>()));
  switch (category) {
    case 0:
    case 9:
    case 10:
      return {key, L"", L""};
    case 1:
      return {key + L"\\" + name, L"", L""};
    case 4:
      return {L"", key + L"\\" + name, L""};
    case 6:
      if (key.find(L"MENUORDER\\") != std::wstring::npos) return {key, L"", L""};
      return {L"", key, name};
    default:
      return {L"", key, name};
  }
}

bool Covered(const DUMP_DIFFERENCE& d, const std::vector<REMOVED>& removed) {
  if (d.what != "key gone" && d.what != "value gone") return false;
  for (const REMOVED& r : removed) {
    if (!r.tree.empty() && (d.key == r.tree || d.key.starts_with(r.tree + L"\\"))) return true;
    if (r.tree.empty() && d.value && d.key == r.key && d.name == r.value) return true;
  }
  return false;
}

// ---- Seeding ----

void SetRaw(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD type,
            std::vector<BYTE> data) {
  SetValue(root, subkey, name, type, data.data(), static_cast<DWORD>(data.size()));
}

std::vector<BYTE> Utf16(const std::wstring& text, bool terminated) {
  std::vector<BYTE> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Values of every awkward form, and two levels of subkeys holding more, inside a key that a
// repair deletes whole.
void SeedAwkwardTree(HKEY root, const std::wstring& key) {
  std::vector<BYTE> odd = Utf16(L"odd length", true);
  odd.push_back(0x41);
  SetRaw(root, key, L"odd", REG_SZ, odd);
  SetRaw(root, key, L"inner nul", REG_SZ, Utf16(std::wstring(L"before") + L'\0' + L"after", true));
  SetRaw(root, key, L"unterminated", REG_SZ, Utf16(L"no end", false));
  SetRaw(root, key, L"empty", REG_SZ, {});
  SetRaw(root, key, L"none", REG_NONE, {1, 2, 3});
  SetRaw(root, key, L"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  std::vector<BYTE> large(6000);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 7 + 3);
  SetRaw(root, key, L"binary", REG_BINARY, large);
  SetString(root, key, L"a \"quoted\" name", L"with \"quotes\" and \\ backslashes");
  SetString(root, key, L"back\\slash=equals", L"C:\\path\\with=equals");
  SetString(root, key, L"wide " QV_WIDE, L"text " QV_WIDE);
  SetString(root, key + L"\\child", L"v", L"child value");
  SetRaw(root, key + L"\\child", L"", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\gone", true));
  SetRaw(root, key + L"\\child\\grand " QV_WIDE, L"multi", REG_MULTI_SZ,
         Utf16(std::wstring(L"one") + L'\0' + L"two" + L'\0', true));
  MakeKey(root, key + L"\\empty child");
}

void SeedRegistry() {
  // 0: a class whose AppID is not registered (deleted whole), and its healthy twin.
  SetString(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("01"), L"AppID", QV_GUID("02"));
  SeedAwkwardTree(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("01"));
  SetString(HKEY_CLASSES_ROOT, L"CLSID\\" QV_GUID("03"), L"AppID", QV_GUID("04"));
  MakeKey(HKEY_CLASSES_ROOT, L"AppID\\" QV_GUID("04"));
  // 1: an uninstaller gone (deleted whole), a healthy one, and a gone one holding a link to a
  // key outside every problem (a backup cannot hold a link: refused, link and target stay).
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvProof Broken", L"UninstallString",
            L"C:\\qvproof\\gone\\uninst.exe");
  SeedAwkwardTree(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvProof Broken");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvProof Healthy", L"UninstallString",
            L"C:\\qvproof\\app\\healthy.exe");
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + L"\\QvProof Linked", L"UninstallString",
            L"C:\\qvproof\\gone\\linked-uninst.exe");
  SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvProofTarget", L"keep", L"the link's target");
  ASSERT_EQ(CreateRegistryLink(HKEY_LOCAL_MACHINE,
                               std::wstring(kUninstall) + L"\\QvProof Linked\\Link",
                               NativeKeyPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvProofTarget")),
            ERROR_SUCCESS);
  // 2, 3, 5: values gone and healthy.
  SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvProof Gone (TrueType)", L"C:\\qvproof\\gone.ttf");
  SetString(HKEY_LOCAL_MACHINE, kFonts, L"QvProof Healthy (TrueType)", L"C:\\qvproof\\app\\f.ttf");
  SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, L"C:\\qvproof\\gone\\gone.dll", 1);
  SetDword(HKEY_LOCAL_MACHINE, kSharedDlls, L"C:\\qvproof\\app\\healthy.dll", 1);
  SetString(HKEY_LOCAL_MACHINE, kHelp, L"qvproof-gone.hlp", L"C:\\qvproof\\gonehelp");
  SetString(HKEY_LOCAL_MACHINE, kHelp, L"qvproof-healthy.hlp", L"C:\\qvproof\\app");
  // 4: an application path gone (its default value goes, its other values stay).
  SetString(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\qvproof-gone.exe", L"",
            L"C:\\qvproof\\gone\\app.exe");
  SeedAwkwardTree(HKEY_LOCAL_MACHINE, std::wstring(kAppPaths) + L"\\qvproof-gone.exe\\kept");
  // 6: Run entries of the machine and the user, a menu-order key (deleted whole).
  SetString(HKEY_LOCAL_MACHINE, kRun, L"QvProof Gone", L"C:\\qvproof\\gone\\agent.exe");
  SetString(HKEY_LOCAL_MACHINE, kRun, L"QvProof Healthy", L"C:\\qvproof\\app\\healthy.exe");
  SetString(HKEY_CURRENT_USER, kRun, L"QvProof Gone " QV_WIDE, L"C:\\qvproof\\gone\\user.exe");
  SeedAwkwardTree(HKEY_CURRENT_USER, std::wstring(kMenuOrder) + L"\\QvProof Gone Menu");
  // 7: a file reference of a deleted program's settings (C:\qvproof holds a program: a missing
  // path there would be one of an installed program's).
  SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvProof\\Settings", L"LastFile",
            L"C:\\qvproof_gone\\file.txt");
  SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvProof\\Settings", L"Folder", L"C:\\qvproof\\app");
  // 9: an empty key of the user's.
  MakeKey(HKEY_CURRENT_USER, L"Software\\QvProof\\Empty");
  SetString(HKEY_CURRENT_USER, L"Software\\QvProof\\Filled", L"v", L"kept");
  // 10: an extension whose program is gone (deleted whole) and a healthy one.
  SetString(HKEY_CLASSES_ROOT, L".qvproofgone", L"", L"QvProof.GoneFile");
  SeedAwkwardTree(HKEY_CLASSES_ROOT, L".qvproofgone");
  SetString(HKEY_CLASSES_ROOT, L"QvProof.GoneFile\\shell\\open\\command", L"",
            L"\"C:\\qvproof\\gone\\viewer.exe\" \"%1\"");
  SetString(HKEY_CLASSES_ROOT, L".qvproofkept", L"", L"QvProof.KeptFile");
  SetString(HKEY_CLASSES_ROOT, L"QvProof.KeptFile\\shell\\open\\command", L"",
            L"\"C:\\qvproof\\app\\healthy.exe\" \"%1\"");
}

constexpr wchar_t kBrokenShortcut[] = L"C:\\qvproof\\links\\Gone " QV_WIDE L".lnk";
constexpr wchar_t kHealthyShortcut[] = L"C:\\qvproof\\links\\Healthy.lnk";

void SeedFiles() {
  for (const wchar_t* folder : {L"C:\\qvproof", L"C:\\qvproof\\app", L"C:\\qvproof\\links"}) {
    CreateDirectoryW(folder, nullptr);
  }
  for (const wchar_t* file : {L"C:\\qvproof\\app\\healthy.exe", L"C:\\qvproof\\app\\f.ttf",
                              L"C:\\qvproof\\app\\healthy.dll"}) {
    WriteFileBytes(file, "placeholder");
  }
  CWin32Shell shell;
  ASSERT_EQ(shell.CreateShortcut(kBrokenShortcut, {L"C:\\qvproof\\gone\\linked.exe", L"", L""}),
            kErrorSuccess);
  ASSERT_EQ(shell.CreateShortcut(kHealthyShortcut, {L"C:\\qvproof\\app\\healthy.exe", L"", L""}),
            kErrorSuccess);
}

// The seeded problems the repair must fix, as (category, dump path of the entry removed).
bool Fixed(const Json& fixed, int category, const std::wstring& keyFragment) {
  for (const Json& p : fixed) {
    if (p.at("category").get<int>() != category) continue;
    const std::wstring where = ToUpper(FromUtf8(p.at("key").get<std::string>() + "\\" +
                                                p.at("name").get<std::string>()));
    if (where.find(ToUpper(keyFragment)) != std::wstring::npos) return true;
  }
  return false;
}

TEST(CliFixRestore, TheRepairRemovesExactlyWhatItReportsAndTheRestoreBringsBackEveryByte) {
  SeedFiles();
  SeedRegistry();
  const std::string shortcutBytes = ReadFileBytes(kBrokenShortcut);
  ASSERT_FALSE(shortcutBytes.empty());
  const DUMP before = DumpRegistry();

  // The repair, without a restore point (Wine's System Restore is off).
  const std::wstring report = L"C:\\qvproof\\fix.json";
  const CHILD_RESULT fix = RunCli(L"fix --no-restore-point --quiet --json " + report);
  const Json outcome = Json::parse(ReadFileBytes(report), nullptr, false);
  ASSERT_FALSE(outcome.is_discarded()) << fix.err;
  ASSERT_TRUE(outcome.at("completed").get<bool>()) << fix.err;
  const Json& fixed = outcome.at("fixed");
  const Json& failed = outcome.at("failed");
  for (const auto& [category, fragment] : std::vector<std::pair<int, std::wstring>>{
           {0, L"CLSID\\" QV_GUID("01")}, {1, L"Uninstall\\QvProof Broken"},
           {2, L"QvProof Gone (TrueType)"}, {3, L"C:\\qvproof\\gone\\gone.dll"},
           {4, L"qvproof-gone.exe"}, {5, L"qvproof-gone.hlp"}, {6, L"Run\\QvProof Gone"},
           {6, L"Run\\QvProof Gone " QV_WIDE}, {6, L"QvProof Gone Menu"},
           {7, L"QvProof\\Settings\\LastFile"}, {8, kBrokenShortcut}, {9, L"QvProof\\Empty"},
           {10, L".qvproofgone"}}) {
    EXPECT_TRUE(Fixed(fixed, category, fragment)) << category << " " << ToUtf8(fragment);
  }
  // The uninstall entry holding a link is refused, whole; the link's target is untouched.
  bool linkRefused = false;
  for (const Json& p : failed) {
    if (p.at("name").get<std::string>() == "QvProof Linked") {
      linkRefused = p.at("error").get<int>() == 4395;  // ERROR_REPARSE_POINT_ENCOUNTERED
    }
  }
  EXPECT_TRUE(linkRefused) << failed.dump(1);
  EXPECT_EQ(fix.exitCode, failed.empty() ? 0u : 1u);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvProofTarget", L"keep"), L"the link's target");
  EXPECT_FALSE(ReadFileBytes(kHealthyShortcut).empty());
  EXPECT_TRUE(ReadFileBytes(kBrokenShortcut).empty());

  // Everything that changed is an entry of a problem reported as fixed or chained: every healthy
  // entry and everything of the failed problems is as it was, and nothing was added.
  std::vector<REMOVED> removed;
  for (const Json& p : fixed) {
    if (p.at("category").get<int>() != 8) removed.push_back(RemovedBy(p));
  }
  // What the repair emptied and repaired in the same run (reported as chained) is covered too.
  for (const Json& p : outcome.at("chained")) removed.push_back(RemovedBy(p));
  const DUMP afterFix = DumpRegistry();
  const COMPARISON repair = Compare(before, afterFix);
  std::vector<DUMP_DIFFERENCE> uncovered;
  std::copy_if(repair.differences.begin(), repair.differences.end(), std::back_inserter(uncovered),
               [&](const DUMP_DIFFERENCE& d) { return !Covered(d, removed); });
  EXPECT_TRUE(uncovered.empty()) << "changed, yet not a fixed problem's entry:\n"
                                 << Describe(uncovered);
  std::printf("fix: %zu problems fixed, %zu failed; %zu keys and values removed, %zu other "
              "changes\n",
              fixed.size(), failed.size(), repair.differences.size(), uncovered.size());

  // The restore merges the repair's backup back and moves the shortcut back.
  ASSERT_TRUE(outcome.at("backup").is_string());
  const CHILD_RESULT restore = RestoreBackup(outcome.at("backup").get<std::string>());
  EXPECT_EQ(restore.exitCode, 0u) << restore.out << restore.err;
  EXPECT_EQ(ReadFileBytes(kBrokenShortcut), shortcutBytes);

  const COMPARISON restored = Compare(before, DumpRegistry());
  EXPECT_TRUE(restored.differences.empty()) << Describe(restored.differences);
  std::printf("restore: compared %zu keys and %zu values (every type and byte): %zu differences; "
              "%zu strings came back with the terminating NUL the registry editor adds\n",
              restored.keys, restored.values, restored.differences.size(), restored.terminated);
}

// The real registry editor and file system: a merge the editor does not carry out keeps the
// backup; a shortcut that cannot go back keeps the backup listed, named with where it is, and the
// restore tried again merges nothing over what changed meanwhile.
TEST(CliFixRestore, ARestoreThatCannotFinishKeepsItsBackupAndDoesNoHarmTheSecondTime) {
  const std::wstring folder = CommonAppData() + L"\\Quarvelo\\Backup";
  CreateDirectoryW((CommonAppData() + L"\\Quarvelo").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring moved = folder + L"\\QuarveloBak_T";
  CreateDirectoryW(moved.c_str(), nullptr);
  CreateDirectoryW(L"C:\\qvrestore", nullptr);
  WriteFileBytes(folder + L"\\RCBak_T.reg",
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QvRestore]\r\n\"v\"=\"again\"\r\n");
  WriteFileBytes(moved + L"\\Gone.lnk", "the shortcut");
  WriteFileBytes(folder + L"\\QuarveloBak_T.bak",
                 "C:\\qvrestore\\Gone.lnk," + ToUtf8(moved) + "\\Gone.lnk\r\n");
  WriteFileBytes(L"C:\\qvrestore\\Gone.lnk", "in the way");
  WriteFileBytes(folder + L"\\RCBak_U.reg",
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\QvRejected]\r\n\"v\"=DWORD:1\r\n");
  const auto listed = [](const char* name) {
    return RunCli(L"backups --json").out.find(std::string("\"name\": \"") + name + "\"") !=
           std::string::npos;
  };

  const CHILD_RESULT rejected = RunCli(L"restore RCBak_U");
  EXPECT_EQ(rejected.exitCode, 1u) << rejected.out;
  EXPECT_NE(rejected.out.find("the merge is not confirmed"), std::string::npos) << rejected.out;
  EXPECT_TRUE(listed("RCBak_U"));

  const CHILD_RESULT first = RunCli(L"restore RCBak_T");
  EXPECT_EQ(first.exitCode, 1u) << first.out;
  EXPECT_NE(first.out.find("1 could not be moved back: they are in " + ToUtf8(moved)),
            std::string::npos)
      << first.out;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QvRestore", L"v"), L"again");
  EXPECT_TRUE(listed("RCBak_T"));

  SetString(HKEY_CURRENT_USER, L"Software\\QvRestore", L"v", L"changed");
  ASSERT_TRUE(DeleteFileW(L"C:\\qvrestore\\Gone.lnk"));
  const CHILD_RESULT second = RunCli(L"restore RCBak_T");
  EXPECT_EQ(second.exitCode, 0u) << second.out;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\QvRestore", L"v"), L"changed");
  EXPECT_EQ(ReadFileBytes(L"C:\\qvrestore\\Gone.lnk"), "the shortcut");
  EXPECT_FALSE(listed("RCBak_T"));
  EXPECT_EQ(GetFileAttributesW(moved.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Wine's SRSetRestorePointW refuses every request (returning FALSE with ERROR_SUCCESS as the
// status), as a Windows whose System Restore is off does: the repair warns, goes on, and its
// report says that no point was made and what the system answered.
TEST(CliFixRestore, ARefusedRestorePointIsReportedAndTheRepairGoesOn) {
  SetString(HKEY_LOCAL_MACHINE, kHelp, L"qvpoint-gone.hlp", L"C:\\qvpoint\\gone.hlp");
  const CHILD_RESULT fix = RunCli(L"fix --category 5 --json -");
  const Json outcome = Json::parse(fix.out, nullptr, false);
  ASSERT_FALSE(outcome.is_discarded()) << fix.out << fix.err;
  EXPECT_EQ(outcome.at("restorePoint"), "failed");
  EXPECT_EQ(outcome.at("restorePointStatus"), 0);
  EXPECT_EQ(outcome.at("restorePointReason"), "System Restore gave no reason");
  EXPECT_FALSE(outcome.contains("restorePointNumber"));
  EXPECT_NE(fix.err.find("QuarveloCli: warning: Couldn't set restore point because your Windows "
                         "System Restore is turned off"),
            std::string::npos)
      << fix.err;
  EXPECT_TRUE(Fixed(outcome.at("fixed"), 5, L"HELP\\qvpoint-gone.hlp")) << fix.out;
  EXPECT_EQ(fix.exitCode, 0u) << fix.err;
}

}  // namespace
}  // namespace qv
