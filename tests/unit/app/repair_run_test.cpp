// The repair as the console runs it through the application, on the in-memory platform: a real
// scan finds the broken entries, the repair removes them, the completion records the counts
// (TFixed, each category's fixed count) and the report says what happened.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>

#include "app/application.h"
#include "cli/report.h"
#include "platform/memory/memory_message_pump.h"
#include "platform/memory/memory_platform.h"
#include "platform/memory/memory_system_restore.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "tests/support/engine_fixture.h"

namespace qv {
namespace {

constexpr wchar_t kHelp[] = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\HELP";

// Completes the repair as a front end must (through the application, when there is one) and
// counts what it was told.
class CCompletingSink final : public IRepairSink {
 public:
  explicit CCompletingSink(CApplication* app = nullptr) : m_app(app) {}
  void OnRestorePointStarting() override { ++restorePointsAsked; }
  void OnRestorePointFailed() override { ++restorePointFailures; }
  void OnRestorePointEnded() override {}
  void OnProblemStarting(std::size_t, std::size_t) override {}
  void OnRepairCompleted(const CRegistryCleaner& engine, const REPAIR_OUTCOME& outcome) override {
    if (m_app != nullptr) recorded = m_app->CompleteRepair(engine, outcome);
  }
  int restorePointsAsked = 0;
  int restorePointFailures = 0;
  ErrorCode recorded = kErrorInvalidParameter;

 private:
  CApplication* m_app;
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
  CCompletingSink sink(&app);
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
  CCompletingSink sink(&app);
  const REPAIR_OUTCOME outcome = app.RunRepairHere(sink, app.RepairOptions());
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.abortMessage.empty());
  const nlohmann::json report = nlohmann::json::parse(FormatRepairJson(outcome));
  EXPECT_EQ(report.at("abortMessage"), "there is no scan to repair");
}

// What System Restore did with the request, through the repair with the in-memory System
// Restore: the log line after "Creating System Restore Point", whether the front end is told of
// a failure, and the console's report (the JSON's restorePoint fields and the text line).
TEST(RepairRun, EachRestorePointOutcomeIsLoggedAndReported) {
  using Json = nlohmann::json;
  constexpr std::int64_t kNow = CFakeClock::kDefaultNow;  // June 15, 2011 (10:30:00)
  const struct {
    const char* name;
    std::function<void(CMemorySystemRestore&)> arrange;
    std::vector<std::wstring> logged;
    bool failure;
    Json report;
    std::wstring text;
  } cases[] = {
      {"a new point above the listed ones",
       [](CMemorySystemRestore& r) { r.AddPoint(6, kNow - 2 * 86400); },
       {L"System Restore point 7 created"}, false,
       {{"restorePoint", "created"}, {"restorePointNumber", 7}},
       L"created (number 7)"},
      {"a point of the last 24 hours kept",
       [](CMemorySystemRestore& r) { r.AddPoint(41, kNow - 3600); },
       {L"No new System Restore point: Windows keeps restore point 41 of June 15, 2011 "
        L"(09:30:00) (by default it makes none within 24 hours of the last)"},
       false,
       {{"restorePoint", "reused"}, {"restorePointNumber", 41},
        {"restorePointTime", "June 15, 2011 (09:30:00)"}},
       L"reused: Windows made no new one and keeps number 41 of June 15, 2011 (09:30:00)"},
      {"a kept point, the points not listed",
       [](CMemorySystemRestore& r) {
         r.AddPoint(41, kNow - 3600);
         r.SetListed(false);
       },
       {L"No new System Restore point could be confirmed: Windows answered with restore point "
        L"41, which may be an earlier one"},
       false, {{"restorePoint", "reused"}, {"restorePointNumber", 41}},
       L"reused: no new one could be confirmed; Windows answered with number 41, which may be "
       L"an earlier one"},
      {"a new point, the points not listed: not claimed",
       [](CMemorySystemRestore& r) {
         r.AddPoint(41, kNow - 2 * 86400);
         r.SetListed(false);
       },
       {L"No new System Restore point could be confirmed: Windows answered with restore point "
        L"42, which may be an earlier one"},
       false, {{"restorePoint", "reused"}, {"restorePointNumber", 42}},
       L"reused: no new one could be confirmed; Windows answered with number 42, which may be "
       L"an earlier one"},
      {"the end refused",
       [](CMemorySystemRestore& r) { r.SetEndStatus(kRestoreStatusInvalidSequence); },
       {L"System Restore point 1 created",
        L"--> System Restore refused the end of restore point 1 (status 13); the point stays"},
       false, {{"restorePoint", "created"}, {"restorePointNumber", 1}}, L"created (number 1)"},
      {"turned off", [](CMemorySystemRestore& r) { r.SetStatus(kRestoreStatusServiceDisabled); },
       {L"--> No System Restore point: System Restore is turned off (status 1058)"}, true,
       {{"restorePoint", "failed"}, {"restorePointStatus", 1058},
        {"restorePointReason", "System Restore is turned off"}},
       L"failed: System Restore is turned off (status 1058)"},
      {"no client", [](CMemorySystemRestore& r) { r.SetAvailable(false); },
       {L"--> No System Restore point: this Windows has no System Restore client (SRCLIENT.DLL)"},
       false, {{"restorePoint", "unavailable"}},
       L"unavailable: this Windows has no System Restore client"},
  };
  for (const auto& c : cases) {
    CMemoryPlatform memory;
    test::CRecordingLog log;
    CMemorySystemRestore restore;
    c.arrange(restore);
    CExclusionLists exclusions(memory.platform(), &log, L"Quarvelo");
    CProblemList problems;
    CRegistryCleaner engine(memory.platform(), problems, nullptr, &log);
    engine.Prepare({});
    CCompletingSink sink;
    REPAIR_OPTIONS options;
    options.systemRestore = &restore;
    options.pacing = false;
    const REPAIR_OUTCOME outcome = RepairProblems(engine, exclusions, options, sink);

    const auto asked = std::find(log.entries.begin(), log.entries.end(), kLogCreatingRestorePoint);
    ASSERT_NE(asked, log.entries.end()) << c.name;
    EXPECT_EQ(std::vector<std::wstring>(asked + 1, asked + 1 + static_cast<std::ptrdiff_t>(
                                                                   c.logged.size())),
              c.logged)
        << c.name;
    EXPECT_EQ(*(asked + 1 + static_cast<std::ptrdiff_t>(c.logged.size())), kLogOpenBackUpRegistryFile)
        << c.name;
    EXPECT_EQ(sink.restorePointFailures, c.failure ? 1 : 0) << c.name;
    const Json report = Json::parse(FormatRepairJson(outcome));
    Json fields = Json::object();
    for (const auto& [key, value] : report.items()) {
      if (key.starts_with("restorePoint")) fields[key] = value;
    }
    EXPECT_EQ(fields, c.report) << c.name;
    EXPECT_NE(FormatRepairText(outcome).find(L"\nRestore point:    " + c.text + L"\n"),
              std::wstring::npos)
        << c.name << "\n" << ToUtf8(FormatRepairText(outcome));
  }
}

}  // namespace
}  // namespace qv
