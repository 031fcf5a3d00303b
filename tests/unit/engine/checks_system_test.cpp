// The startup, File/Path, shortcut, empty-key and file-association checks on the in-memory
// platform: what each judges and reports with its exact fields, what it passes over, and walks
// that end whatever the tree does.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/checks.h"
#include "platform/memory/memory_shell.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/forwarding_registry.h"

namespace qv {
namespace {

using test::PROBLEM_ROW;

constexpr wchar_t kMachineRun[] =
    L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUserRun[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kUserPrograms[] =
    L"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr wchar_t kCommonPrograms[] = L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr wchar_t kUserKey[] = L"HKEY_USERS\\S-1-5-21-0-0-0-1000";

class SystemChecksTest : public ::testing::Test, protected test::CEngineFixture {
 protected:
  std::vector<PROBLEM_ROW> Run(const std::function<void(CRegistryCleaner&)>& check) {
    check(engine());
    EXPECT_EQ(registry().OpenHandleCount(), 0u) << "every key opened is closed";
    return ProblemRows();
  }
  void AddShortcut(const std::wstring& path, const std::wstring& target) {
    files().AddFile(path, CMemoryShell::ShortcutFileBytes({target, L"", L""}));
  }
};

// ---- Windows Startups ----

TEST_F(SystemChecksTest, RunEntriesOfTheMachineAndTheUser) {
  files().AddFile(L"C:\\Program Files\\Tray\\tray.exe");
  registry().SetString(kMachineRun, L"Tray", L"\"C:\\Program Files\\Tray\\tray.exe\" /min");
  registry().SetString(kMachineRun, L"Gone", L"C:\\Program Files\\Gone\\agent.exe");
  // A switch after the program is an argument, not a path that could exist.
  registry().SetString(kMachineRun, L"Args", L"C:\\Program Files\\Gone\\agent.exe -q");
  registry().SetString(kUserRun, L"UserGone", L"C:\\gone\\user.exe");
  EXPECT_EQ(Run(CheckStartup),
            (std::vector<PROBLEM_ROW>{
                {kMachineRun, L"Gone", L"C:\\Program Files\\Gone\\agent.exe", 6},
                {kMachineRun, L"Args", L"C:\\Program Files\\Gone\\agent.exe -q", 6},
                {kUserRun, L"UserGone", L"C:\\gone\\user.exe", 6}}));
}

TEST_F(SystemChecksTest, MenuOrderEntriesNeedTheirFolderInEitherProgramsFolder) {
  registry().SetString(L"HKLM\\" + std::wstring(kShellFoldersKey), L"Common Programs",
                       kCommonPrograms);
  files().AddFolder(std::wstring(kCommonPrograms) + L"\\Shared Tools");
  files().AddFolder(std::wstring(kUserPrograms) + L"\\My Tools");
  const std::wstring order = L"HKCU\\" + std::wstring(kMenuOrderKey);
  const std::wstring order2 = L"HKCU\\" + std::wstring(kMenuOrder2Key);
  for (const wchar_t* entry : {L"Shared Tools", L"My Tools", L"Removed"}) {
    registry().CreatePath(order + L"\\" + entry);
  }
  registry().CreatePath(order2 + L"\\Old Suite");
  registry().SetString(order, L"Removed Value", L"values are not examined");
  const std::wstring key1 = L"HKEY_CURRENT_USER\\" + std::wstring(kMenuOrderKey);
  const std::wstring key2 = L"HKEY_CURRENT_USER\\" + std::wstring(kMenuOrder2Key);
  EXPECT_EQ(Run(CheckStartup),
            (std::vector<PROBLEM_ROW>{
                {key1 + L"\\Removed", L"Removed", std::wstring(kCommonPrograms) + L"\\Removed", 6},
                {key2 + L"\\Old Suite", L"Old Suite",
                 std::wstring(kCommonPrograms) + L"\\Old Suite", 6}}));
}

// ---- File/Path References ----

TEST_F(SystemChecksTest, TheFilePathWalkJudgesLongStringValuesOfBothHives) {
  files().AddFile(L"C:\\Program Files\\Kept\\kept.dll");
  const std::wstring app = L"HKLM\\Software\\Vendor\\App";
  registry().SetString(app, L"Kept", L"C:\\Program Files\\Kept\\kept.dll");
  registry().SetString(app, L"Gone", L"\"C:\\Program Files\\Gone\\app.exe\" /run");
  registry().SetExpandString(app, L"Expanded", L"%ProgramFiles%\\Gone\\lib.dll");
  registry().SetString(app, L"Short", L"C:\\x");  // 10 bytes with its NUL: not judged
  registry().SetMultiString(app, L"Multi", {L"C:\\gone\\a.dll", L"C:\\gone\\b.dll"});
  registry().SetValueRaw(app, L"Binary", kRegBinary,
                         ToUtf16LeBytes(L"C:\\gone\\binary.dll", true));
  registry().SetString(L"HKCU\\Software\\Tool\\Recent", L"File1", L"C:\\gone\\report.txt");
  EXPECT_EQ(Run(CheckFileReferences),
            (std::vector<PROBLEM_ROW>{
                {L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App", L"Gone",
                 L"C:\\Program Files\\Gone\\app.exe", 7},
                {L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App", L"Expanded",
                 L"C:\\Program Files\\Gone\\lib.dll", 7},
                {std::wstring(kUserKey) + L"\\Software\\Tool\\Recent", L"File1",
                 L"C:\\gone\\report.txt", 7}}));
}

// The engine remembers what the drive said during a scan; the next scan asks again.
TEST_F(SystemChecksTest, EachScanSeesTheDriveAsItIsThen) {
  const std::wstring app = L"HKLM\\Software\\Vendor\\App";
  registry().SetString(app, L"Early", L"C:\\Tools\\early.txt");
  registry().SetString(app, L"Late", L"C:\\Tools\\late.txt");
  files().AddFile(L"C:\\Tools\\early.txt");
  EXPECT_EQ(Run(CheckFileReferences),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App", L"Late",
                                       L"C:\\Tools\\late.txt", 7}}));

  ASSERT_EQ(files().RemoveFile(L"C:\\Tools\\early.txt"), kErrorSuccess);
  files().AddFile(L"C:\\Tools\\late.txt");
  problems().Clear();
  engine().Prepare(AllCategories());
  EXPECT_EQ(Run(CheckFileReferences),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\Software\\Vendor\\App", L"Early",
                                       L"C:\\Tools\\early.txt", 7}}));
}

TEST_F(SystemChecksTest, TheFilePathWalkPassesOverWhatItMustNotEnter) {
  const std::wstring base = L"HKLM\\Software\\Walk";
  registry().SetString(base + L"\\A", L"v", L"C:\\gone\\a.exe");
  registry().SetString(base + L"\\C", L"v", L"C:\\gone\\c.exe");
  registry().SetString(base + L"\\Locked\\Inner", L"v", L"C:\\gone\\locked.exe");
  registry().DenyAccess(base + L"\\Locked", kKeyAllAccess & ~kKeyRead);
  // A link to a tree elsewhere is not followed: what is below the target is reported once,
  // where it really is.
  registry().SetString(L"HKLM\\Software\\Elsewhere\\Deep", L"v", L"C:\\gone\\deep.exe");
  registry().CreateLink(base + L"\\ToElsewhere", L"HKLM\\Software\\Elsewhere");
  // A link back to an ancestor cannot make the walk go round.
  registry().CreateLink(base + L"\\Loop", L"HKLM\\Software\\Walk");
  const std::wstring shown = L"HKEY_LOCAL_MACHINE\\Software\\";
  EXPECT_EQ(Run(CheckFileReferences),
            (std::vector<PROBLEM_ROW>{
                {shown + L"Elsewhere\\Deep", L"v", L"C:\\gone\\deep.exe", 7},
                {shown + L"Walk\\A", L"v", L"C:\\gone\\a.exe", 7},
                {shown + L"Walk\\C", L"v", L"C:\\gone\\c.exe", 7}}));
}

// Fails every enumeration of one key, as a key deleted while it is walked does.
class CDeletedMidWalk final : public test::CForwardingRegistry {
 public:
  using CForwardingRegistry::CForwardingRegistry;
  ErrorCode OpenKeyNoFollow(RegHandle p, std::wstring_view s, std::uint32_t a,
                            RegHandle* r) override {
    const ErrorCode rc = CForwardingRegistry::OpenKeyNoFollow(p, s, a, r);
    if (rc == kErrorSuccess && s == L"Gone") doomed = *r;
    return rc;
  }
  ErrorCode EnumKey(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c) override {
    if (k == doomed) {
      ++doomedCalls;
      return kErrorKeyDeleted;
    }
    return CForwardingRegistry::EnumKey(k, i, n, c);
  }
  ErrorCode EnumValue(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c, std::uint32_t* t,
                      std::uint8_t* d, std::uint32_t* b) override {
    if (k == doomed) {
      ++doomedCalls;
      return kErrorKeyDeleted;
    }
    return CForwardingRegistry::EnumValue(k, i, n, c, t, d, b);
  }
  RegHandle doomed = kNullRegHandle;
  int doomedCalls = 0;
};

TEST_F(SystemChecksTest, AKeyDeletedDuringTheWalksEndsItsEnumerationAndTheWalkGoesOn) {
  registry().SetString(L"HKLM\\Software\\Gone\\Child", L"v", L"C:\\gone\\child.exe");
  registry().SetString(L"HKLM\\Software\\Next", L"v", L"C:\\gone\\next.exe");
  // A subkey name of 1,023 characters or more does not fit the walk's buffer: that one index is
  // passed over and its siblings are walked.
  registry().SetString(L"HKLM\\Software\\" + std::wstring(1100, L'n'), L"v", L"C:\\gone\\n.exe");
  CDeletedMidWalk deleting(registry());
  CProblemList problems;
  CPlatform platform{deleting, files(), shell(), clock()};
  CRegistryCleaner walker(platform, problems);
  walker.Prepare(AllCategories());
  WalkFileReferences(walker, kHkeyLocalMachine, L"Software", L"HKEY_LOCAL_MACHINE\\Software");
  EXPECT_EQ(deleting.doomedCalls, 2) << "one failed call ends each enumeration of the key";
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems.At(0)->key, L"HKEY_LOCAL_MACHINE\\Software\\Next");
  EXPECT_EQ(registry().OpenHandleCount(), 0u);
}

// ---- Windows Shortcuts ----

TEST_F(SystemChecksTest, ShortcutsWhoseTargetIsGoneOnTheProfilesDrive) {
  files().AddFile(L"C:\\Program Files\\App\\app.exe");
  const std::wstring desktop = L"C:\\users\\user\\Desktop\\";
  AddShortcut(desktop + L"App.lnk", L"C:\\Program Files\\App\\app.exe");
  AddShortcut(desktop + L"Gone.lnk", L"C:\\Program Files\\Gone\\gone.exe");
  AddShortcut(L"C:\\Games\\Deep\\Folder\\Old Game.lnk", L"C:\\Games\\old.exe");
  AddShortcut(desktop + L"UPPER.LNK", L"C:\\gone\\upper.exe");       // not ".lnk": not examined
  AddShortcut(L"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\SendTo\\Gone.lnk",
              L"C:\\gone\\sendto.exe");                              // SendTo is not entered
  AddShortcut(L"C:\\ProgramData\\Quarvelo\\Backup\\QuarveloBak_x\\Moved.lnk",
              L"C:\\gone\\moved.exe");                               // our own backups
  AddShortcut(L"C:\\Documents and Settings\\All Users\\Application Data\\Quarvelo\\Backup\\b.lnk",
              L"C:\\gone\\xp.exe");                                  // our own, XP layout
  files().AddFile(desktop + L"Damaged.lnk", "not a shortcut");      // cannot be read: fine
  AddShortcut(desktop + L"Shell Object.lnk", L"");                  // no file target: fine
  AddShortcut(L"C:\\users\\user\\Junction\\Through.lnk", L"C:\\gone\\through.exe");
  files().MarkReparsePoint(L"C:\\users\\user\\Junction");           // never entered
  // A network or device target counts as there without a look at it (the drive knows none of
  // them: a look would report each).
  shell().SetEnvironment(L"SHARE", L"\\\\server\\share");
  int net = 0;
  for (const wchar_t* target :
       {L"\\\\server\\share\\gone.exe", L"//server/share/gone.exe", L"\\/server\\gone.exe",
        L"\\\\?\\C:\\gone\\long.exe", L"\\\\.\\pipe\\gone", L"\\??\\C:\\gone.exe",
        L"%SHARE%\\gone.exe", L"\"\\\\server\\share\\quoted.exe\""}) {
    AddShortcut(desktop + L"Net " + std::to_wstring(++net) + L".lnk", target);
  }
  EXPECT_EQ(Run(CheckShortcuts),
            (std::vector<PROBLEM_ROW>{{L"C:\\Games\\Deep\\Folder\\Old Game.lnk", L"", L"", 8},
                                      {desktop + L"Gone.lnk", L"", L"", 8}}));
  // Every entry of the walk was reported as examined, the folders' dot entries included.
  const std::vector<std::wstring> examined = sink().Examined();
  EXPECT_NE(std::find(examined.begin(), examined.end(), desktop + L"UPPER.LNK"), examined.end());
  EXPECT_NE(std::find(examined.begin(), examined.end(), L"C:\\users\\user\\Junction"),
            examined.end());
  EXPECT_EQ(std::find(examined.begin(), examined.end(), L"C:\\users\\user\\Junction\\Through.lnk"),
            examined.end());
}

TEST_F(SystemChecksTest, CancelStopsTheShortcutWalkAtTheNextEntry) {
  for (int i = 0; i < 5; ++i) {
    AddShortcut(L"C:\\Links\\" + std::to_wstring(i) + L".lnk", L"C:\\gone\\x.exe");
  }
  CancelWhenExamined(L"C:\\Links\\1.lnk");
  // 0.lnk is reported; 1.lnk, examined as the stop comes, is not; nothing after it is examined.
  EXPECT_EQ(Run(CheckShortcuts),
            (std::vector<PROBLEM_ROW>{{L"C:\\Links\\0.lnk", L"", L"", 8}}));
  EXPECT_EQ(sink().Examined().back(), L"C:\\Links\\1.lnk");
}

// ---- Empty Registry Keys ----

TEST_F(SystemChecksTest, EachEmptyKeyBelowTheUsersIsReportedNeverItsParent) {
  const std::wstring user = L"HKU\\S-1-5-21-0-0-0-1000";
  registry().CreatePath(user + L"\\Software\\Vendor\\Empty One");
  registry().CreatePath(user + L"\\Software\\Vendor\\Empty Two");
  registry().SetString(user + L"\\Software\\Vendor\\Full", L"v", L"kept");
  registry().CreatePath(user + L"\\Software\\Classes\\.ext");           // classes: not reported
  registry().CreatePath(L"HKU\\S-1-5-21-0-0-0-1000_Classes\\Empty");    // _Classes: not reported
  registry().CreatePath(L"HKU\\.DEFAULT\\Software\\Empty");             // not visited
  registry().CreateLink(user + L"\\Software\\Link", L"HKLM\\Software");  // a link is no empty key
  const std::wstring shown = std::wstring(kUserKey) + L"\\Software\\Vendor\\";
  EXPECT_EQ(Run(CheckEmptyKeys),
            (std::vector<PROBLEM_ROW>{{shown + L"Empty One", L"(Default)", L"", 9},
                                      {shown + L"Empty Two", L"(Default)", L"", 9}}));
}

// Hostile trees: a key whose name begins with a NUL (opened by its name as text it would be its
// parent again, and the walk would never end) and a chain of keys deeper than Windows allows are
// passed over by both walks with a log line; what lies beside them is still judged.
TEST_F(SystemChecksTest, BothWalksPassOverNulNamesAndStopAt512Levels) {
  const std::wstring user = L"HKU\\S-1-5-21-0-0-0-1000\\Software";
  const std::wstring nul(L"\0evil", 5);
  registry().SetString(user + L"\\Hostile\\" + nul, L"v", L"C:\\gone\\inside.exe");
  registry().SetString(user + L"\\Hostile", std::wstring(L"w\0x", 3), L"C:\\gone\\value.exe");
  registry().CreatePath(user + L"\\Hostile\\Empty");
  std::wstring deep = user + L"\\Deep";
  for (int level = 0; level < kMaxRegistryDepth; ++level) deep += L"\\k";
  registry().SetString(deep, L"v", L"C:\\gone\\deep.exe");
  registry().CreatePath(deep + L"\\Empty");
  const std::wstring shown = std::wstring(kUserKey) + L"\\Software\\Hostile";
  const struct {
    const char* walk;
    std::function<void(CRegistryCleaner&)> check;
    std::vector<PROBLEM_ROW> rows;
    long nulValueLines;  // the empty-key walk reads no values
  } cases[] = {
      {"File/Path", CheckFileReferences, {}, 1},
      {"empty keys", CheckEmptyKeys, {{shown + L"\\Empty", L"(Default)", L"", 9}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.walk);
    log().entries.clear();
    problems().Clear();
    EXPECT_EQ(Run(c.check), c.rows);
    const auto logged = [&](std::wstring_view text) {
      return std::count_if(log().entries.begin(), log().entries.end(), [&](const std::wstring& e) {
        return e.find(text) != std::wstring::npos;
      });
    };
    EXPECT_EQ(logged(L"Hostile\\\\0evil: its name holds a NUL character"), 1);
    EXPECT_EQ(logged(L"Hostile\\w\\0x: its name holds a NUL character"), c.nulValueLines);
    EXPECT_EQ(logged(L"Not walked below "), 1);
    // Nothing else but the problems' own lines.
    EXPECT_EQ(log().entries.size(), 2 + c.nulValueLines + c.rows.size());
  }
}

// A scan that runs both walks reads HKEY_USERS once: the empty-key check works from what the
// File/Path walk saw. It must find and report as examined what a walk of its own finds, over
// every place the walk treats apart: classes keys, .DEFAULT, a link, an uninstall entry (whose
// values the File/Path walk does not read), a subtree that refuses the File/Path walk's access,
// and the depth limit below a classes key.
TEST_F(SystemChecksTest, TheEmptyKeyCheckAfterTheFilePathWalkFindsWhatItsOwnWalkFinds) {
  const std::wstring user = L"HKU\\S-1-5-21-0-0-0-1000\\Software";
  for (const wchar_t* key : {L"\\Vendor\\Empty One", L"\\Vendor\\Empty Two",
                             L"\\Locked\\Empty", L"\\Locked\\Deeper\\Empty",
                             L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bare",
                             L"\\Classes\\.ext"}) {
    registry().CreatePath(user + key);
  }
  registry().SetString(user + L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", L"v", L"x");
  registry().CreatePath(L"HKU\\S-1-5-21-0-0-0-1000_Classes\\Empty");
  registry().CreatePath(L"HKU\\.DEFAULT\\Software\\Empty");
  registry().CreateLink(user + L"\\Link", L"HKLM\\Software");
  registry().DenyAccess(user + L"\\Locked", kKeyAllAccess & ~kKeyReadWriteCreate);
  std::wstring deep = user;  // a classes key one level above the limit, with three subkeys
  for (int level = 3; level < kMaxRegistryDepth - 2; ++level) deep += L"\\k";
  deep += L"\\Software\\Classes";
  for (const wchar_t* leaf : {L"\\a", L"\\b", L"\\c"}) registry().CreatePath(deep + leaf);

  const auto emptyKeys = [&] {
    problems().Clear();
    sink().Clear();
    CheckEmptyKeys(engine());
    return std::make_pair(ProblemRows(), sink().Examined().size());
  };
  engine().Prepare(AllCategories());
  CheckFileReferences(engine());
  ASSERT_TRUE(engine().EmptyKeySightings().Whole());
  const auto recorded = emptyKeys();
  EXPECT_FALSE(engine().EmptyKeySightings().Whole()) << "a record serves one check";
  engine().Prepare(CATEGORY_SELECTION{});
  const auto walked = emptyKeys();

  const std::wstring shown = std::wstring(kUserKey) + L"\\Software\\";
  EXPECT_EQ(walked.first, (std::vector<PROBLEM_ROW>{
                              {shown + L"Locked\\Deeper\\Empty", L"(Default)", L"", 9},
                              {shown + L"Locked\\Empty", L"(Default)", L"", 9},
                              {shown + L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bare",
                               L"(Default)", L"", 9},
                              {shown + L"Vendor\\Empty One", L"(Default)", L"", 9},
                              {shown + L"Vendor\\Empty Two", L"(Default)", L"", 9}}));
  EXPECT_EQ(recorded.first, walked.first);
  EXPECT_EQ(recorded.second, walked.second);
  EXPECT_EQ(registry().OpenHandleCount(), 0u);
}

// ---- File Association References ----

TEST_F(SystemChecksTest, ExtensionsWhoseOpenCommandNamesAMissingProgram) {
  files().AddFile(L"C:\\Program Files\\Viewer\\view.exe");
  const auto associate = [&](const wchar_t* extension, const wchar_t* type,
                             const wchar_t* command) {
    registry().SetString(std::wstring(L"HKCR\\") + extension, L"", type);
    if (command != nullptr) {
      registry().SetString(std::wstring(L"HKCR\\") + type + L"\\shell\\open\\command", L"",
                           command);
    }
  };
  associate(L".kept", L"KeptFile", L"\"C:\\Program Files\\Viewer\\view.exe\" \"%1\"");
  associate(L".gone", L"GoneFile", L"\"C:\\Program Files\\Gone\\gone.exe\" \"%1\"");
  associate(L".bare", L"BareFile", L"gone.exe %1");      // no drive: not reported
  associate(L".noopen", L"NoOpenFile", nullptr);        // no open command: not judged
  registry().SetString(L"HKCR\\NotAnExtension\\shell\\open\\command", L"", L"C:\\gone\\n.exe");
  registry().CreatePath(L"HKCR\\.nodefault");
  EXPECT_EQ(Run(CheckFileAssociations),
            (std::vector<PROBLEM_ROW>{{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.gone", L"(Default)",
                                       L"C:\\Program Files\\Gone\\gone.exe", 10}}));
  const std::vector<std::wstring> examined = sink().Examined();
  EXPECT_EQ(examined, (std::vector<std::wstring>{L"BareFile\\shell\\open\\command\\",
                                                 L"GoneFile\\shell\\open\\command\\",
                                                 L"KeptFile\\shell\\open\\command\\",
                                                 L"NoOpenFile\\shell\\open\\command\\"}));
}

}  // namespace
}  // namespace qv
