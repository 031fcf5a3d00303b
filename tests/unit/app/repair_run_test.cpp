// The repair as the console runs it through the application, on the in-memory platform: a real
// scan finds the broken entries, the repair removes them, the completion records the counts
// (TFixed, each category's fixed count) and the report says what happened.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "cli/report.h"
#include "platform/memory/memory_message_pump.h"
#include "platform/memory/memory_platform.h"
#include "platform/memory/memory_system_restore.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr wchar_t kHelp[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP";

// Completes the repair as a front end must: through the application, on its own thread.
class CCompletingSink final : public IRepairSink {
 public:
  explicit CCompletingSink(CApplication& app) : m_app(app) {}
  void OnRestorePointStarting() override { ++restorePointsAsked; }
  void OnRestorePointFailed() override {}
  void OnRestorePointEnded() override {}
  void OnProblemStarting(std::size_t, std::size_t) override {}
  void OnRepairCompleted(const CRegistryCleaner& engine) override {
    recorded = m_app.CompleteRepair(engine);
  }
  int restorePointsAsked = 0;
  ErrorCode recorded = kErrorInvalidParameter;

 private:
  CApplication& m_app;
};

TEST(RepairRun, AScanThenARepairRecordsTheCountsAndReportsWhatWasDone) {
  CMemoryPlatform memory;
  CNoMessagePump pump;
  CMemorySystemRestore restore;
  CApplication app(memory.platform(), pump, &restore);
  memory.registry().SetString(kHelp, L"gone.hlp", L"C:\\gone");
  memory.registry().SetString(kHelp, L"gone2.hlp", L"C:\\gone2");
  memory.registry().SetString(kHelp, L"kept.hlp", L"C:\\Windows");
  memory.registry().SetString(L"HKLM\\SOFTWARE\\Quarvelo", kValueRestorePoint, L"0");
  app.LoadCategoryTable();
  app.LoadExclusionLists();
  CATEGORY_SELECTION help{};
  help[REGPROBLEM_HELP_FILE] = true;
  const SCAN_RESULT scan = app.RunScanHere(help, {});
  ASSERT_EQ(scan.found[REGPROBLEM_HELP_FILE], 2);
  ASSERT_EQ(app.RecordScan(scan), kErrorSuccess);

  REPAIR_OPTIONS options = app.RepairOptions();
  EXPECT_FALSE(options.restorePoint);  // RESTOREPOINT 0
  options.pacing = false;
  CCompletingSink sink(app);
  const REPAIR_OUTCOME outcome = app.RunRepairHere(sink, options);

  ASSERT_TRUE(outcome.completed);
  EXPECT_EQ(sink.restorePointsAsked, 0);
  EXPECT_EQ(restore.Calls(), 0);
  EXPECT_EQ(sink.recorded, kErrorSuccess);
  EXPECT_FALSE(memory.registry().GetString(kHelp, L"gone.hlp"));
  EXPECT_EQ(memory.registry().GetString(kHelp, L"kept.hlp"), L"C:\\Windows");
  EXPECT_EQ(memory.registry().GetString(L"HKLM\\SOFTWARE\\Quarvelo", L"TFixed"), L"2");
  EXPECT_EQ(app.Categories()[REGPROBLEM_HELP_FILE].fixed, 2);
  EXPECT_FALSE(app.Engine()->IsRunning());
  EXPECT_EQ(app.Engine()->Problems().size(), 0u);  // the list does not survive a repair

  const nlohmann::json report = nlohmann::json::parse(FormatRepairJson(outcome));
  EXPECT_EQ(report.at("fixed").size(), 2u);
  EXPECT_EQ(report.at("failed").size(), 0u);
  EXPECT_EQ(report.at("restorePoint"), "not asked");
  EXPECT_EQ(report.at("backup").get<std::string>().find("C:\\ProgramData\\Quarvelo\\Backup\\RCBak_"),
            0u);
  EXPECT_EQ(report.at("shortcutList"), nullptr);

  // The next scan finds nothing; its repair still makes and removes its backups, and stores 0.
  ASSERT_EQ(app.RunScanHere(help, {}).found[REGPROBLEM_HELP_FILE], 0);
  const REPAIR_OUTCOME again = app.RunRepairHere(sink, options);
  EXPECT_TRUE(again.completed);
  EXPECT_TRUE(again.registryBackupPath.empty());
  EXPECT_EQ(memory.registry().GetString(L"HKLM\\SOFTWARE\\Quarvelo", L"TFixed"), L"0");
}

TEST(RepairRun, NoScanNoRepair) {
  CMemoryPlatform memory;
  CNoMessagePump pump;
  CApplication app(memory.platform(), pump);
  CCompletingSink sink(app);
  const REPAIR_OUTCOME outcome = app.RunRepairHere(sink, app.RepairOptions());
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.abortMessage.empty());
  const nlohmann::json report = nlohmann::json::parse(FormatRepairJson(outcome));
  EXPECT_EQ(report.at("abortMessage"), "there is no scan to repair");
}

}  // namespace
}  // namespace qv
