// The repair of a problem list on the in-memory platform: every category repaired in its root,
// the log and the reports in their order, failures never counted as repairs, nothing deleted
// without a backup file, an exception that ends the repair, and a second look that blocks what
// came back.
#include "repair/repair_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <string>
#include <vector>

#include "engine/exclusion_lists.h"
#include "platform/memory/memory_system_restore.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/forwarding_file_system.h"
#include "tests/support/forwarding_registry.h"
#include "tests/support/memory_registry_editor.h"

namespace qv {
namespace {

using test::CRecordingLog;

constexpr wchar_t kBackupFolder[] = L"C:\\ProgramData\\Quarvelo\\Backup";

// Records the repair's reports as their message numbers; `throwAt` makes the report before that
// problem throw.
class CRecordingRepairSink final : public IRepairSink {
 public:
  void OnRestorePointStarting() override { messages.push_back(kMsgRestorePointStarting); }
  void OnRestorePointFailed() override { ++restorePointFailures; }
  void OnRestorePointEnded() override { messages.push_back(kMsgRestorePointEnded); }
  void OnProblemStarting(std::size_t index, std::size_t count) override {
    messages.push_back(kMsgProblemStarting);
    lastCount = count;
    if (index == throwAt) throw std::runtime_error("disk on fire");
  }
  void OnRepairCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME&) override {
    messages.push_back(kMsgRepairCompleted);
    problemsAtCompletion = engine.Problems().size();
  }

  std::vector<unsigned> messages;
  int restorePointFailures = 0;
  std::size_t lastCount = 0;
  std::size_t throwAt = static_cast<std::size_t>(-1);
  std::size_t problemsAtCompletion = 0;
};

// A registry whose value deletions report success but leave the value where it is.
class CStubbornRegistry final : public test::CForwardingRegistry {
 public:
  using CForwardingRegistry::CForwardingRegistry;
  ErrorCode DeleteValue(RegHandle, std::wstring_view) override { return kErrorSuccess; }
};

// A file system whose registry backup files refuse every write that holds a block's undo section.
class CNoUndoFileSystem final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode OpenFileNoFollow(std::wstring_view path, FileOpenMode mode, FileShareMode share,
                             std::unique_ptr<IFile>* file) override {
    const ErrorCode rc = CForwardingFileSystem::OpenFileNoFollow(path, mode, share, file);
    if (rc == kErrorSuccess && path.ends_with(L".reg")) {
      *file = std::make_unique<CNoUndoFile>(std::move(*file));
    }
    return rc;
  }

 private:
  class CNoUndoFile final : public IFile {
   public:
    explicit CNoUndoFile(std::unique_ptr<IFile> inner) : m_file(std::move(inner)) {}
    ErrorCode Write(const void* data, std::size_t bytes) override {
      const std::string_view text(static_cast<const char*>(data), bytes);
      if (text.find("Quarvelo\\blocked") != std::string_view::npos) return kErrorDiskFull;
      return m_file->Write(data, bytes);
    }
    ErrorCode Flush() override { return m_file->Flush(); }
    ErrorCode ReadAll(std::string* bytes) override { return m_file->ReadAll(bytes); }

   private:
    std::unique_ptr<IFile> m_file;
  };
};

// A file system in which no new file can be created below the backup folder.
class CFullDiskFileSystem final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode OpenFile(std::wstring_view path, FileOpenMode mode, FileShareMode share,
                     std::unique_ptr<IFile>* file) override {
    if (path.starts_with(kBackupFolder) && mode != FileOpenMode::kRead) {
      return kErrorDiskFull;
    }
    return CForwardingFileSystem::OpenFile(path, mode, share, file);
  }
  ErrorCode CreateUniqueFile(std::wstring_view folder, std::wstring* path,
                             std::unique_ptr<IFile>* file) override {
    if (folder.starts_with(kBackupFolder)) return kErrorDiskFull;
    return CForwardingFileSystem::CreateUniqueFile(folder, path, file);
  }
};

class RepairDriverTest : public ::testing::Test {
 protected:
  // The engine and lists work on `platform`, which tests may point at a faulty registry or file
  // system before the first Engine() call.
  RepairDriverTest() { platform.emplace(machine.platform()); }

  CRegistryCleaner& Engine() {
    if (!engine) {
      exclusions = std::make_unique<CExclusionLists>(*platform, &log, L"Quarvelo");
      // With the rows of Windows' own areas built in, as a copy without the list file has them.
      exclusions->LoadExclusionLists();
      engine = std::make_unique<CRegistryCleaner>(*platform, problems, exclusions.get(), &log);
      CATEGORY_SELECTION all{};
      all.fill(true);
      engine->Prepare(all);
    }
    return *engine;
  }
  CRegistryProblem& Add(std::wstring key, std::wstring name, REGPROBLEM_TYPE type,
                        std::wstring data = L"C:\\gone") {
    return *problems.Add(
        std::make_unique<CRegistryProblem>(std::move(key), std::move(name), std::move(data), type));
  }
  REPAIR_OUTCOME Repair(bool restorePoint = false, bool followUncovered = true) {
    REPAIR_OPTIONS options;
    options.restorePoint = restorePoint;
    options.followUncovered = followUncovered;
    options.systemRestore = &restore;
    options.pacing = false;
    CRegistryCleaner& repaired = Engine();
    return RepairProblems(repaired, *exclusions, options, sink);
  }
  bool Logged(std::wstring_view line) const {
    return std::find(log.entries.begin(), log.entries.end(), line) != log.entries.end();
  }
  std::vector<std::wstring> BackupFiles() {
    std::vector<CFindData> found;
    static_cast<void>(machine.files().FindFiles(std::wstring(kBackupFolder) + L"\\*", &found));
    std::vector<std::wstring> names;
    for (const CFindData& f : found) {
      if (f.name != L"." && f.name != L"..") names.push_back(f.name);
    }
    return names;
  }
  CMemoryRegistry& registry() { return machine.registry(); }

  CMemoryPlatform machine;
  CStubbornRegistry stubborn{machine.registry()};
  CFullDiskFileSystem fullDisk{machine.files()};
  CNoUndoFileSystem noUndo{machine.files()};
  std::optional<CPlatform> platform;
  CRecordingLog log;
  CMemorySystemRestore restore;
  CRecordingRepairSink sink;
  CProblemList problems;
  std::unique_ptr<CExclusionLists> exclusions;
  std::unique_ptr<CRegistryCleaner> engine;
};

TEST_F(RepairDriverTest, EveryCategoryIsRepairedInItsRootAndReportedInOrder) {
  const std::wstring run = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring uninstall =
      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const std::wstring appPaths =
      L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
  const std::wstring menuOrder =
      L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\"
      L"Start Menu\\Gone";
  registry().SetString(L"HKCR\\CLSID\\{A}\\InprocServer32", L"", L"C:\\gone.dll");
  registry().SetString(L"HKCR\\CLSID\\{B}\\InprocServer32", L"", L"C:\\here.dll");
  registry().SetString(uninstall + L"\\Gone", L"DisplayName", L"Gone");
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", L"F",
                       L"gone.ttf");
  registry().SetString(appPaths + L"\\gone.exe", L"", L"C:\\gone.exe");
  registry().SetString(appPaths + L"\\gone.exe", L"Path", L"C:\\");
  registry().SetString(run, L"Gone", L"C:\\gone.exe");
  registry().SetString(run, L"Kept", L"C:\\here.exe");
  const std::wstring userRun =
      L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  registry().SetString(userRun, L"Gone", L"C:\\gone.exe");
  registry().SetString(menuOrder, L"Order", L"x");
  registry().SetString(L"HKU\\.DEFAULT\\Software\\Empty\\Leaf", L"", L"");
  registry().SetString(L"HKCR\\.gone", L"", L"gonefile");
  machine.files().AddFile(L"C:\\users\\user\\Desktop\\Gone.lnk", "link");

  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"", REGPROBLEM_COM);
  Add(uninstall, L"Gone", REGPROBLEM_UNINSTALL);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", L"F",
      REGPROBLEM_FONT);
  Add(appPaths, L"gone.exe", REGPROBLEM_APP_PATH);
  Add(run, L"Gone", REGPROBLEM_STARTUP);
  Add(userRun, L"Gone", REGPROBLEM_STARTUP);
  Add(menuOrder, L"", REGPROBLEM_STARTUP);
  Add(L"HKEY_USERS\\.DEFAULT\\Software\\Empty\\Leaf", L"", REGPROBLEM_EMPTY_KEY);
  Add(L"HKEY_CLASSES_ROOT\\.gone", L"", REGPROBLEM_FILE_ASSOCIATION);
  Add(L"C:\\users\\user\\Desktop\\Gone.lnk", L"", REGPROBLEM_SHORTCUT);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing", L"AlreadyGone", REGPROBLEM_SHARED_DLL);
  Add(run, L"Kept", REGPROBLEM_STARTUP).selected = false;

  const REPAIR_OUTCOME outcome = Repair();

  EXPECT_TRUE(outcome.completed);
  EXPECT_FALSE(registry().KeyExists(L"HKCR\\CLSID\\{A}"));
  EXPECT_TRUE(registry().KeyExists(L"HKCR\\CLSID\\{B}\\InprocServer32"));
  EXPECT_FALSE(registry().KeyExists(uninstall + L"\\Gone"));
  EXPECT_TRUE(registry().KeyExists(uninstall));
  EXPECT_FALSE(registry().GetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                    L"F"));
  EXPECT_FALSE(registry().GetString(appPaths + L"\\gone.exe", L""));
  EXPECT_EQ(registry().GetString(appPaths + L"\\gone.exe", L"Path"), L"C:\\");
  EXPECT_FALSE(registry().GetString(run, L"Gone"));
  EXPECT_FALSE(registry().GetString(userRun, L"Gone"));
  EXPECT_EQ(registry().GetString(run, L"Kept"), L"C:\\here.exe");
  EXPECT_FALSE(registry().KeyExists(menuOrder));
  EXPECT_FALSE(registry().KeyExists(L"HKU\\.DEFAULT\\Software\\Empty\\Leaf"));
  EXPECT_FALSE(registry().KeyExists(L"HKCR\\.gone"));
  EXPECT_FALSE(machine.files().FileExists(L"C:\\users\\user\\Desktop\\Gone.lnk"));

  // Eleven repaired (one of them already gone), one skipped; the counts per category. A user's
  // Run entry is looked for again as a value: its Run key stays, and that is no failure.
  EXPECT_EQ(outcome.fixed.size(), 11u);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_TRUE(outcome.stillPresent.empty());
  EXPECT_EQ(outcome.skipped, 1u);
  EXPECT_EQ(Engine().Fixed(REGPROBLEM_STARTUP), 3);
  EXPECT_EQ(Engine().Fixed(REGPROBLEM_SHORTCUT), 1);
  EXPECT_EQ(Engine().TotalFixed(), 11);

  // Reports: no restore point asked, one report per problem, the completion before the list goes.
  std::vector<unsigned> expected = {kMsgRestorePointEnded};
  expected.insert(expected.end(), 12, kMsgProblemStarting);
  expected.push_back(kMsgRepairCompleted);
  EXPECT_EQ(sink.messages, expected);
  EXPECT_EQ(sink.problemsAtCompletion, 12u);
  EXPECT_EQ(restore.Calls(), 0);
  EXPECT_TRUE(problems.empty());

  // The log in its order, the unselected problem without its number line.
  const std::vector<std::wstring> head(log.entries.begin(), log.entries.begin() + 11);
  EXPECT_EQ(head, (std::vector<std::wstring>{
                      L"Started fixing...", L"OpenBackUpRegistryFile", L"OpenBackUpShrtctFile",
                      L"sweep SetRegBackupFile", L"sweep SetLnkBackupFile", L"getting count",
                      L"checked registry", L"declared problems",
                      L"Trying to fix HKEY_CLASSES_ROOT\\CLSID\\{A}", L"fixing error number : 1",
                      L"Fixed COM/Activex Entries error HKEY_CLASSES_ROOT\\CLSID\\{A}\\=C:\\gone"}));
  EXPECT_TRUE(Logged(L"Fixed program shortcuts error C:\\users\\user\\Desktop\\Gone.lnk\\=C:\\gone"));
  EXPECT_TRUE(Logged(L"Trying to fix " + run));
  EXPECT_FALSE(Logged(L"fixing error number : 12"));

  // Both backups kept and named by the same stamp; the shortcut is in its folder.
  ASSERT_FALSE(outcome.registryBackupPath.empty());
  ASSERT_FALSE(outcome.shortcutListPath.empty());
  const std::wstring stamp = outcome.registryBackupPath.substr(
      outcome.registryBackupPath.find(L"RCBak") + 5,
      outcome.registryBackupPath.size() - outcome.registryBackupPath.find(L"RCBak") - 9);
  EXPECT_EQ(outcome.shortcutListPath, std::wstring(kBackupFolder) + L"\\QuarveloBak" + stamp + L".bak");
  EXPECT_TRUE(machine.files().FileExists(outcome.registryBackupPath));
  EXPECT_TRUE(
      machine.files().FileExists(std::wstring(kBackupFolder) + L"\\QuarveloBak" + stamp + L"\\Gone.lnk"));
}

// A problem names the copy of a key that holds it: the user's or the machine's classes, the
// user's or the machine's uninstall entries and application paths. Its repair acts on that copy
// and leaves the other hive's of the same path alone.
TEST_F(RepairDriverTest, EntriesOfTheUserAndOfTheMachineAreRepairedWhereTheyAre) {
  const std::wstring software = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  for (const wchar_t* hive : {L"HKEY_LOCAL_MACHINE", L"HKEY_CURRENT_USER"}) {
    registry().SetString(hive + software + L"\\Uninstall\\Tool", L"DisplayName", L"Tool");
    registry().SetString(hive + software + L"\\App Paths\\tool.exe", L"", L"C:\\gone\\tool.exe");
    registry().SetString(std::wstring(hive) + L"\\Software\\Classes\\CLSID\\{T}", L"AppID", L"{G}");
    registry().SetString(std::wstring(hive) + L"\\Software\\Classes\\.tool", L"", L"Tool.File");
  }
  Add(L"HKEY_CURRENT_USER" + software + L"\\Uninstall", L"Tool", REGPROBLEM_UNINSTALL);
  Add(L"HKEY_CURRENT_USER" + software + L"\\App Paths", L"tool.exe", REGPROBLEM_APP_PATH);
  Add(L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{T}", L"AppID", REGPROBLEM_COM);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.tool", L"", REGPROBLEM_FILE_ASSOCIATION);

  const REPAIR_OUTCOME outcome = Repair();

  EXPECT_EQ(outcome.fixed.size(), 4u);
  EXPECT_TRUE(outcome.failed.empty());
  EXPECT_FALSE(registry().KeyExists(L"HKCU" + software + L"\\Uninstall\\Tool"));
  EXPECT_TRUE(registry().KeyExists(L"HKLM" + software + L"\\Uninstall\\Tool"));
  EXPECT_FALSE(registry().GetString(L"HKCU" + software + L"\\App Paths\\tool.exe", L""));
  EXPECT_TRUE(registry().GetString(L"HKLM" + software + L"\\App Paths\\tool.exe", L""));
  EXPECT_FALSE(registry().KeyExists(L"HKCU\\Software\\Classes\\CLSID\\{T}"));
  EXPECT_TRUE(registry().KeyExists(L"HKLM\\Software\\Classes\\CLSID\\{T}"));
  EXPECT_FALSE(registry().KeyExists(L"HKLM\\Software\\Classes\\.tool"));
  EXPECT_TRUE(registry().KeyExists(L"HKCU\\Software\\Classes\\.tool"));
}

// What the repairs leave broken is repaired in the same run, into the same backup file, round by
// round up a chain of emptied keys; the report says what each repair uncovered and why; the one
// backup brings everything back. With following off, what the first round uncovers is only
// listed. Nothing the lists exclude is touched.
TEST_F(RepairDriverTest, WhatARepairUncoversIsRepairedInTheSameRunAndTheSameBackup) {
  const std::wstring vendor = L"HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Vendor";
  const std::wstring app = vendor + L"\\App";
  const std::wstring settings = app + L"\\Deep\\Settings";
  const std::wstring classes = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
  const auto seed = [&] {
    registry().SetString(settings, L"LastFile", L"C:\\gone\\a.txt");
    registry().SetString(vendor + L"\\Kept", L"v", L"x");
    registry().SetString(classes + L"\\CLSID\\{C}", L"AppID", L"{GONE}");
    registry().SetString(classes + L"\\Prog.One\\CLSID", L"", L"{C}");
    // Below an area of Windows' own: emptied, and left so.
    registry().SetString(L"HKU\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Old", L"Path",
                         L"C:\\gone\\b.txt");
  };
  const auto problemsOfTheScan = [&] {
    Add(settings, L"LastFile", REGPROBLEM_FILE_PATH);
    Add(classes + L"\\CLSID\\{C}", L"AppID", REGPROBLEM_COM);
    Add(L"HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Old", L"Path",
        REGPROBLEM_FILE_PATH);
  };
  seed();
  const std::vector<std::wstring> before = registry().SubkeyNames(vendor);
  problemsOfTheScan();

  const REPAIR_OUTCOME outcome = Repair();

  ASSERT_TRUE(outcome.completed);
  std::vector<std::tuple<int, std::wstring, std::wstring, int>> chained;
  for (const REPAIR_ITEM& item : outcome.chained) {
    EXPECT_EQ(item.error, kErrorSuccess) << ToUtf8(item.key);
    chained.emplace_back(item.category, item.key, item.because, item.round);
  }
  EXPECT_EQ(chained, (std::vector<std::tuple<int, std::wstring, std::wstring, int>>{
                         {9, settings, settings + L"\\LastFile", 1},
                         {0, classes + L"\\Prog.One\\CLSID", classes + L"\\CLSID\\{C}", 1},
                         {9, app + L"\\Deep", settings, 2},
                         {9, app, app + L"\\Deep", 3},
                     }));
  EXPECT_FALSE(registry().KeyExists(app));
  EXPECT_TRUE(registry().KeyExists(vendor + L"\\Kept"));
  EXPECT_FALSE(registry().KeyExists(classes + L"\\Prog.One\\CLSID"));
  EXPECT_TRUE(registry().KeyExists(L"HKU\\S-1-5-21-0-0-0-1000\\Software\\Microsoft\\Old"));
  EXPECT_EQ(Engine().Found(REGPROBLEM_EMPTY_KEY), 3);
  EXPECT_EQ(Engine().Fixed(REGPROBLEM_EMPTY_KEY), 3);
  EXPECT_EQ(TallyRepair(outcome).repaired, 7u);
  EXPECT_TRUE(Logged(L"The repair of " + settings + L"\\LastFile left " + settings +
                     L"\\(Default) broken: repairing it too"));

  // One backup file, and merging it brings back every key and value.
  ASSERT_FALSE(outcome.registryBackupPath.empty());
  test::CMemoryRegistryEditor editor(registry(), machine.files());
  ASSERT_EQ(editor.Merge(outcome.registryBackupPath, 1000), kErrorSuccess);
  EXPECT_EQ(registry().SubkeyNames(vendor), before);
  EXPECT_EQ(registry().GetString(settings, L"LastFile"), L"C:\\gone\\a.txt");
  EXPECT_EQ(registry().GetString(classes + L"\\Prog.One\\CLSID", L""), L"{C}");

  // Following off: the first round's finds are listed, nothing more is deleted.
  registry().RemovePath(app);
  seed();
  engine.reset();
  problemsOfTheScan();
  const REPAIR_OUTCOME listed = Repair(false, false);
  EXPECT_TRUE(listed.chained.empty());
  ASSERT_EQ(listed.uncovered.size(), 2u);
  EXPECT_EQ(listed.uncovered[0].key, settings);
  EXPECT_EQ(Engine().Found(REGPROBLEM_EMPTY_KEY), 1) << "found, and not fixed";
  EXPECT_EQ(Engine().Fixed(REGPROBLEM_EMPTY_KEY), 0);
  EXPECT_TRUE(registry().KeyExists(settings));
  EXPECT_TRUE(registry().KeyExists(classes + L"\\Prog.One\\CLSID"));
}

// A chain longer than the rounds allow: followed for kMaxUncoveredRounds rounds, the rest listed
// for the next scan, and the limit said.
TEST_F(RepairDriverTest, WhatIsUncoveredIsFollowedForAtMostEightRounds) {
  std::wstring key = L"HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Deep";
  for (int level = 0; level < kMaxUncoveredRounds + 2; ++level) {
    key += L"\\L" + std::to_wstring(level);
  }
  registry().SetString(key, L"LastFile", L"C:\\gone\\a.txt");
  Add(key, L"LastFile", REGPROBLEM_FILE_PATH);
  const REPAIR_OUTCOME outcome = Repair();
  EXPECT_EQ(outcome.chained.size(), static_cast<std::size_t>(kMaxUncoveredRounds));
  ASSERT_EQ(outcome.uncovered.size(), 1u);
  EXPECT_EQ(outcome.uncovered[0].round, kMaxUncoveredRounds + 1);
  EXPECT_TRUE(outcome.uncoveredRoundLimit);
  EXPECT_TRUE(Logged(L"--> What the repair uncovers was followed for 8 rounds; the rest is left "
                     L"for the next scan"));
}

// The verdict's numbers: every entry gone, some refused, none removed because all were gone.
TEST_F(RepairDriverTest, TheTallySaysWhatReallyHappened) {
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone",
                       L"C:\\gone.exe");
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone",
      REGPROBLEM_STARTUP);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Already",
      REGPROBLEM_STARTUP);
  const REPAIR_TALLY some = TallyRepair(Repair());
  EXPECT_EQ(some.selected, 2u);
  EXPECT_EQ(some.repaired, 2u);
  EXPECT_TRUE(some.changedAnything);

  engine.reset();
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone",
      REGPROBLEM_STARTUP);
  const REPAIR_TALLY none = TallyRepair(Repair());
  EXPECT_EQ(none.repaired, 1u);
  EXPECT_FALSE(none.changedAnything) << "it was gone already";

  engine.reset();
  Add(L"HKEY_CLASSES_ROOT\\CLSID", L"", REGPROBLEM_COM);  // a container: refused
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Gone",
      REGPROBLEM_STARTUP);
  const REPAIR_TALLY refused = TallyRepair(Repair());
  EXPECT_EQ(refused.selected, 2u);
  EXPECT_EQ(refused.notRepaired, 1u);
}

TEST_F(RepairDriverTest, AFailureIsLoggedAsOneBlockedAndNotCounted) {
  registry().SetString(L"HKCR\\CLSID\\{A}\\InprocServer32", L"", L"C:\\gone.dll");
  registry().SetString(L"HKCU\\Software\\Microsoft\\Windows\\Help", L"a.hlp", L"C:\\gone");
  registry().CreateLink(L"HKCR\\CLSID\\{L}\\Link", L"HKLM\\SOFTWARE\\Elsewhere");
  registry().SetString(L"HKLM\\SOFTWARE\\Elsewhere", L"v", L"kept");

  Add(L"HKEY_CLASSES_ROOT\\CLSID", L"", REGPROBLEM_COM);           // a container: refused
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{L}", L"", REGPROBLEM_COM);      // holds a link: refused
  Add(L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Help", L"a.hlp",
      REGPROBLEM_HELP_FILE);                                       // not in HKLM: left alone
  Add(L"HKEY_CURRENT_USER\\Software\\Vendor\\{X}", L"", REGPROBLEM_FILE_ASSOCIATION);  // 6
  Add(L"C:\\users\\user\\Desktop\\Missing.lnk", L"", REGPROBLEM_SHORTCUT);

  const REPAIR_OUTCOME outcome = Repair();

  EXPECT_TRUE(outcome.completed);
  EXPECT_TRUE(registry().KeyExists(L"HKCR\\CLSID\\{A}\\InprocServer32"));
  EXPECT_EQ(registry().GetString(L"HKLM\\SOFTWARE\\Elsewhere", L"v"), L"kept");
  EXPECT_EQ(registry().GetString(L"HKCU\\Software\\Microsoft\\Windows\\Help", L"a.hlp"), L"C:\\gone");

  // The value outside the category's root was not touched: a failure with its reason, as the
  // key outside it is.
  ASSERT_EQ(outcome.failed.size(), 5u);
  EXPECT_EQ(outcome.failed[0].error, kErrorProtectedKey);
  EXPECT_EQ(outcome.failed[1].error, kErrorReparsePointEncountered);
  EXPECT_EQ(outcome.failed[2].error, kErrorInvalidHandle);
  EXPECT_EQ(outcome.failed[3].error, kErrorInvalidHandle);
  EXPECT_FALSE(outcome.failed[4].blocked);  // a shortcut is found again by the next scan
  EXPECT_TRUE(outcome.failed[0].blocked && outcome.failed[1].blocked && outcome.failed[2].blocked &&
              outcome.failed[3].blocked);
  EXPECT_TRUE(outcome.fixed.empty());
  EXPECT_EQ(Engine().TotalFixed(), 0);
  EXPECT_TRUE(Logged(L"--> Failed to fix HKEY_CLASSES_ROOT\\CLSID\\, error = 87: " +
                     RepairFailureReason(kErrorProtectedKey)));
  EXPECT_TRUE(Logged(
      L"--> Failed to fix HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\Help\\a.hlp, error = 6: "
      L"the entry lies under another root than its category repairs"));
  EXPECT_FALSE(Logged(L"Fixed COM/Activex Entries error HKEY_CLASSES_ROOT\\CLSID\\=C:\\gone"));
  EXPECT_EQ(exclusions->BlockedList().size(), 4u);

  // The block's undo sections keep the registry backup even with nothing of the registry removed.
  ASSERT_FALSE(outcome.registryBackupPath.empty());
  const std::string backup = machine.files().ReadFile(outcome.registryBackupPath).value_or("");
  EXPECT_NE(backup.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\"), std::string::npos);
  EXPECT_TRUE(outcome.shortcutListPath.empty());
}

TEST_F(RepairDriverTest, WithoutARegistryBackupNothingOfTheRegistryIsDeletedOrBlocked) {
  platform.emplace(CPlatform{machine.registry(), fullDisk, machine.shell(), machine.clock()});
  registry().SetString(L"HKCR\\CLSID\\{A}\\InprocServer32", L"", L"C:\\gone.dll");
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"", REGPROBLEM_COM);

  const REPAIR_OUTCOME outcome = Repair();

  EXPECT_EQ(outcome.registryBackupError, kErrorDiskFull);
  EXPECT_TRUE(registry().KeyExists(L"HKCR\\CLSID\\{A}\\InprocServer32"));
  ASSERT_EQ(outcome.failed.size(), 1u);
  EXPECT_EQ(outcome.failed[0].error, kErrorNoBackupFile);
  EXPECT_FALSE(outcome.failed[0].blocked);
  EXPECT_TRUE(exclusions->BlockedList().empty());
  EXPECT_EQ(Engine().TotalFixed(), 0);
  EXPECT_TRUE(std::any_of(log.entries.begin(), log.entries.end(), [](const std::wstring& line) {
    return line.starts_with(L"--> No registry backup file could be created");
  }));
}

TEST_F(RepairDriverTest, AnExceptionEndsTheRepairWithoutCompletionAndKeepsTheBackups) {
  registry().SetString(L"HKCR\\CLSID\\{A}\\InprocServer32", L"", L"C:\\gone.dll");
  registry().SetString(L"HKCR\\CLSID\\{B}\\InprocServer32", L"", L"C:\\gone.dll");
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"", REGPROBLEM_COM);
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{B}", L"", REGPROBLEM_COM);
  sink.throwAt = 1;

  const REPAIR_OUTCOME outcome = Repair();

  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.abortMessage, L"disk on fire");
  EXPECT_TRUE(Logged(L"application is going to crash now  :disk on fire"));
  EXPECT_EQ(std::count(sink.messages.begin(), sink.messages.end(), kMsgRepairCompleted), 0);
  EXPECT_FALSE(registry().KeyExists(L"HKCR\\CLSID\\{A}"));
  EXPECT_TRUE(registry().KeyExists(L"HKCR\\CLSID\\{B}"));
  // The backup of what was removed stays, complete, and the list is left to the caller.
  ASSERT_FALSE(outcome.registryBackupPath.empty());
  const std::string backup = machine.files().ReadFile(outcome.registryBackupPath).value_or("");
  EXPECT_NE(backup.find("[HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32]"), std::string::npos);
  EXPECT_EQ(problems.size(), 2u);
}

TEST_F(RepairDriverTest, AnEntryStillThereAfterItsRepairIsBlockedWhateverItsSize) {
  platform.emplace(CPlatform{stubborn, machine.files(), machine.shell(), machine.clock()});
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp", L"C:\\gone");
  registry().SetString(L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP", L"long.hlp",
                       L"C:\\" + std::wstring(600, L'x'));
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP", L"a.hlp", REGPROBLEM_HELP_FILE);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP", L"long.hlp",
      REGPROBLEM_HELP_FILE);

  const REPAIR_OUTCOME outcome = Repair();

  ASSERT_EQ(outcome.stillPresent.size(), 2u);
  EXPECT_EQ(outcome.stillPresent[1].name, L"long.hlp");
  EXPECT_TRUE(outcome.stillPresent[0].blocked && outcome.stillPresent[1].blocked);
  EXPECT_EQ(exclusions->BlockedList().size(), 2u);
}

// The registry backup goes only when the repair deleted nothing of the registry: a key repair
// that removed part of its tree keeps it, even when its failure could not be blocked; entries
// that were all gone already leave none.
TEST_F(RepairDriverTest, TheRegistryBackupGoesOnlyWhenNothingWasDeleted) {
  platform.emplace(CPlatform{machine.registry(), noUndo, machine.shell(), machine.clock()});
  registry().SetString(L"HKCR\\CLSID\\{A}\\Gone", L"v", L"removed");
  registry().SetString(L"HKCR\\CLSID\\{A}\\Stuck", L"v", L"kept");
  registry().DenyAccess(L"HKCR\\CLSID\\{A}\\Stuck", kDeleteAccess);
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{A}", L"", REGPROBLEM_COM);

  const REPAIR_OUTCOME partial = Repair();

  EXPECT_FALSE(registry().KeyExists(L"HKCR\\CLSID\\{A}\\Gone"));
  ASSERT_EQ(partial.failed.size(), 1u);
  EXPECT_FALSE(partial.failed[0].blocked);
  ASSERT_FALSE(partial.registryBackupPath.empty());
  const std::string text = machine.files().ReadFile(partial.registryBackupPath).value_or("");
  EXPECT_NE(text.find("[HKEY_CLASSES_ROOT\\CLSID\\{A}\\Gone]\r\n\"v\"=\"removed\""),
            std::string::npos)
      << text;

  // A second repair of entries that are gone already: nothing deleted, no backup left behind.
  machine.clock().SetNow(machine.clock().Now() + 60);
  engine.reset();
  platform.emplace(machine.platform());
  Add(L"HKEY_CLASSES_ROOT\\CLSID\\{Gone}", L"", REGPROBLEM_COM);
  Add(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing", L"v", REGPROBLEM_SHARED_DLL);
  const REPAIR_OUTCOME nothing = Repair();
  EXPECT_EQ(nothing.fixed.size(), 2u);
  EXPECT_TRUE(nothing.registryBackupPath.empty());
  EXPECT_EQ(BackupFiles().size(), 1u);  // the first repair's
}

TEST_F(RepairDriverTest, RestorePointAndAnEmptyList) {
  restore.SetStatus(kRestoreStatusServiceDisabled);

  const REPAIR_OUTCOME outcome = Repair(/*restorePoint=*/true);

  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(restore.Calls(), 1);
  EXPECT_EQ(restore.Description(), L"Quarvelo Backup");
  EXPECT_EQ(sink.restorePointFailures, 1);
  EXPECT_EQ(sink.messages, (std::vector<unsigned>{kMsgRestorePointStarting, kMsgRestorePointEnded,
                                                  kMsgRepairCompleted}));
  // Both backup files were made and removed again.
  EXPECT_TRUE(outcome.registryBackupPath.empty());
  EXPECT_EQ(BackupFiles(), std::vector<std::wstring>{});
}

}  // namespace
}  // namespace qv
