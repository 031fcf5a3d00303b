// The engine object: construction, preparation from the category selection, and AddProblem's five
// steps in their order, proved with doubles that write into one shared journal.
#include "engine/registry_cleaner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "tests/support/journal.h"

namespace qv {
namespace {

// A problem that reports its own destruction.
class CTrackedProblem final : public CRegistryProblem {
 public:
  CTrackedProblem(int* destroyed, std::wstring keyPath, REGPROBLEM_TYPE problemType)
      : CRegistryProblem(std::move(keyPath), L"Name", L"Data", problemType, 0), m_destroyed(destroyed) {}
  ~CTrackedProblem() override { ++*m_destroyed; }

 private:
  int* m_destroyed;
};

class RegistryCleanerTest : public testing::Test {
 protected:
  RegistryCleanerTest() {
    journal.list = &problems;
    journal.engine = &engine;
    engine.SetNotifySink(&sink);
  }

  std::unique_ptr<CRegistryProblem> Problem(std::wstring key, REGPROBLEM_TYPE type) {
    return std::make_unique<CRegistryProblem>(std::move(key), L"Name", L"Data", type, 0);
  }

  CMemoryPlatform memory;
  CProblemList problems;
  test::CJournal journal;
  test::CJournalFilter filter{journal};
  test::CJournalLog log{journal};
  test::CJournalSink sink{journal};
  CRegistryCleaner engine{memory.platform(), problems, &filter, &log};
};

TEST(RegistryProblem, ConstructorTakesKeyNameDataTypeAndValue) {
  const CRegistryProblem problem(L"HKEY_CLASSES_ROOT\\CLSID\\{x}", L"AppID", L"{y}", REGPROBLEM_COM,
                                 -7);
  EXPECT_EQ(problem.key, L"HKEY_CLASSES_ROOT\\CLSID\\{x}");
  EXPECT_EQ(problem.name, L"AppID");
  EXPECT_EQ(problem.data, L"{y}");
  EXPECT_EQ(problem.type, REGPROBLEM_COM);
  EXPECT_EQ(problem.reserved, -7);
  EXPECT_TRUE(problem.selected);
}

TEST(ProblemList, ClearDeletesEveryProblemAndStartsAgainAtZero) {
  int destroyed = 0;
  CProblemList list;
  for (int i = 0; i < 3; ++i) {
    list.Add(std::make_unique<CTrackedProblem>(&destroyed, L"K" + std::to_wstring(i), REGPROBLEM_FONT));
  }
  EXPECT_EQ(list.Add(nullptr), nullptr);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.At(2)->key, L"K2");
  EXPECT_EQ(list.At(3), nullptr);

  list.Clear();
  EXPECT_EQ(destroyed, 3);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.At(0), nullptr);

  list.Add(std::make_unique<CTrackedProblem>(&destroyed, L"Next", REGPROBLEM_FONT));
  EXPECT_EQ(list.At(0)->key, L"Next");
}

TEST(ProblemList, DestroyingTheListDeletesItsProblems) {
  int destroyed = 0;
  {
    CProblemList list;
    list.Add(std::make_unique<CTrackedProblem>(&destroyed, L"K", REGPROBLEM_FONT));
    list.Add(std::make_unique<CTrackedProblem>(&destroyed, L"L", REGPROBLEM_FONT));
  }
  EXPECT_EQ(destroyed, 2);
}

TEST_F(RegistryCleanerTest, ConstructionLeavesTheEngineIdleWithItsFoldersResolved) {
  EXPECT_EQ(engine.Cancel(), 0);
  EXPECT_FALSE(engine.IsRunning());
  EXPECT_EQ(engine.CurrentStep(), 0);
  EXPECT_EQ(engine.TotalFound(), 0);
  EXPECT_EQ(engine.TotalFixed(), 0);
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_FALSE(engine.ScanCategory(i)) << i;
    EXPECT_EQ(engine.Found(i), 0) << i;
    EXPECT_EQ(engine.Fixed(i), 0) << i;
  }
  EXPECT_EQ(engine.FolderPath(FOLDER_WINDOWS), CMemoryPlatform::kWindowsFolder);
  EXPECT_EQ(engine.FolderPath(FOLDER_TEMP), CMemoryPlatform::kTempFolder);
}

TEST_F(RegistryCleanerTest, AddProblemRunsItsStepsInOrder) {
  const bool kept = engine.AddProblem(
      std::make_unique<CRegistryProblem>(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help",
                                         L"x.hlp", L"C:\\Windows\\Help\\x.hlp", REGPROBLEM_HELP_FILE, 0));
  EXPECT_TRUE(kept);

  // Filter before anything; appended before the log; counted after the log and before the sink.
  ASSERT_EQ(journal.Events(), (std::vector<std::string>{"filter", "log", "1583"}));
  const std::vector<test::JOURNAL_ENTRY> entries = journal.Entries();
  EXPECT_EQ(entries[0].listSize, 0u);
  EXPECT_EQ(entries[1].listSize, 1u);
  EXPECT_EQ(entries[1].totalFound, 0);
  EXPECT_EQ(entries[2].listSize, 1u);
  EXPECT_EQ(entries[2].totalFound, 1);

  ASSERT_EQ(log.entries.size(), 1u);
  EXPECT_EQ(log.entries[0],
            L"Error at HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help\\x.hlp=\n"
            L"C:\\Windows\\Help\\x.hlp");
  ASSERT_EQ(sink.problems.size(), 1u);
  EXPECT_EQ(sink.problems[0], problems.At(0));
  EXPECT_EQ(engine.Found(REGPROBLEM_HELP_FILE), 1);
  EXPECT_EQ(engine.TotalFound(), 1);
}

TEST_F(RegistryCleanerTest, ProblemsAreListedAndCountedInReportOrder) {
  const struct {
    const wchar_t* key;
    REGPROBLEM_TYPE type;
  } reports[] = {{L"A", REGPROBLEM_FONT}, {L"B", REGPROBLEM_COM}, {L"C", REGPROBLEM_FONT},
                 {L"D", REGPROBLEM_FILE_ASSOCIATION}};
  for (const auto& r : reports) EXPECT_TRUE(engine.AddProblem(Problem(r.key, r.type)));

  ASSERT_EQ(problems.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(problems.At(i)->key, reports[i].key);
  const std::int32_t expectedFound[kCategoryCount] = {1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1};
  for (int i = 0; i < kCategoryCount; ++i) EXPECT_EQ(engine.Found(i), expectedFound[i]) << i;
  EXPECT_EQ(engine.TotalFound(), 4);
}

TEST_F(RegistryCleanerTest, AnExcludedProblemIsDeletedAndLeavesNoTrace) {
  filter.exclude = [](const CRegistryProblem& p) { return p.key == L"Ignored"; };
  int destroyed = 0;
  EXPECT_TRUE(engine.AddProblem(Problem(L"Kept", REGPROBLEM_STARTUP)));
  journal.Clear();

  EXPECT_FALSE(engine.AddProblem(
      std::make_unique<CTrackedProblem>(&destroyed, L"Ignored", REGPROBLEM_STARTUP)));

  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(journal.Events(), std::vector<std::string>{"filter"});  // not logged, not reported
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems.At(0)->key, L"Kept");
  EXPECT_EQ(engine.Found(REGPROBLEM_STARTUP), 1);
  EXPECT_EQ(engine.TotalFound(), 1);
}

TEST_F(RegistryCleanerTest, ProblemsThatAreNotProblemsAreRefusedBeforeAnyStep) {
  int destroyed = 0;
  for (int type : {-1, 11, 1000}) {
    EXPECT_FALSE(engine.AddProblem(std::make_unique<CTrackedProblem>(
        &destroyed, L"K", static_cast<REGPROBLEM_TYPE>(type))))
        << type;
  }
  EXPECT_FALSE(engine.AddProblem(nullptr));
  EXPECT_EQ(destroyed, 3);
  EXPECT_TRUE(journal.Entries().empty());
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(engine.TotalFound(), 0);
}

TEST(RegistryCleaner, WithoutFilterLogOrSinkAProblemIsStillListedAndCounted) {
  CMemoryPlatform memory;
  CProblemList problems;
  CRegistryCleaner engine(memory.platform(), problems);
  EXPECT_TRUE(engine.AddProblem(
      std::make_unique<CRegistryProblem>(L"K", L"", L"", REGPROBLEM_EMPTY_KEY, 0)));
  EXPECT_EQ(problems.size(), 1u);
  EXPECT_EQ(engine.Found(REGPROBLEM_EMPTY_KEY), 1);
  // Reports without a sink go nowhere.
  engine.ReportScanStarted();
  engine.ReportEntryExamined(L"x");
  engine.ReportScanEnded();
}

TEST_F(RegistryCleanerTest, LogLineJoinsKeyNameAndDataEvenWhenTheyAreEmptyOrOdd) {
  struct {
    const wchar_t* key;
    const wchar_t* name;
    const wchar_t* data;
    const wchar_t* line;
  } const cases[] = {
      {L"HKEY_CLASSES_ROOT\\.xyz", L"(Default)", L"C:\\gone.exe",
       L"Error at HKEY_CLASSES_ROOT\\.xyz\\(Default)=\nC:\\gone.exe"},
      {L"C:\\Users\\u\\Desktop\\x.lnk", L"", L"", L"Error at C:\\Users\\u\\Desktop\\x.lnk\\=\n"},
      {L"K%s%d", L"%n", L"100%", L"Error at K%s%d\\%n=\n100%"},
  };
  for (const auto& c : cases) {
    const CRegistryProblem problem(c.key, c.name, c.data, REGPROBLEM_FILE_PATH, 0);
    EXPECT_EQ(FormatProblemLogLine(problem), c.line);
  }
}

TEST_F(RegistryCleanerTest, PreparationCopiesTheSelectionAndZeroesTheCounters) {
  const CATEGORY_SELECTION selection = {true,  false, true,  false, true, true,
                                        false, false, true,  false, true};
  // Counts left over from an earlier use of the engine.
  EXPECT_TRUE(engine.AddProblem(Problem(L"K", REGPROBLEM_COM)));
  engine.CountFixed(REGPROBLEM_COM);
  engine.CountFixed(REGPROBLEM_SHORTCUT);
  engine.SetCurrentStep(4);
  engine.SetCancel(1);

  engine.Prepare(selection);

  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(engine.ScanCategory(i), selection[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(engine.Found(i), 0) << i;
    EXPECT_EQ(engine.Fixed(i), 0) << i;
  }
  EXPECT_EQ(engine.TotalFound(), 0);
  EXPECT_EQ(engine.TotalFixed(), 0);
  EXPECT_TRUE(engine.IsRunning());
  // Cancel and the step belong to the scan page and the scan thread.
  EXPECT_EQ(engine.CurrentStep(), 4);
  EXPECT_EQ(engine.Cancel(), 1);
}

TEST(RegistryCleaner, ASecondScanStartsWithAnEmptyListAndFreshCounters) {
  CMemoryPlatform memory;
  CProblemList problems;
  CATEGORY_SELECTION all{};
  all.fill(true);
  int destroyed = 0;

  auto first = std::make_unique<CRegistryCleaner>(memory.platform(), problems);
  first->Prepare(all);
  for (int i = 0; i < 3; ++i) {
    first->AddProblem(std::make_unique<CTrackedProblem>(&destroyed, L"First", REGPROBLEM_UNINSTALL));
  }
  first->CountFixed(REGPROBLEM_UNINSTALL);
  ASSERT_EQ(problems.size(), 3u);

  // The next scan: the previous engine goes, a new one is prepared, the list is emptied.
  first.reset();
  CRegistryCleaner second(memory.platform(), problems);
  second.Prepare(all);
  problems.Clear();

  EXPECT_EQ(destroyed, 3);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(second.Found(REGPROBLEM_UNINSTALL), 0);
  EXPECT_EQ(second.Fixed(REGPROBLEM_UNINSTALL), 0);
  EXPECT_TRUE(second.AddProblem(
      std::make_unique<CRegistryProblem>(L"Second", L"", L"", REGPROBLEM_FONT, 0)));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems.At(0)->key, L"Second");
  EXPECT_EQ(second.TotalFound(), 1);
}

TEST_F(RegistryCleanerTest, CountFixedCountsPerCategoryAndInTotal) {
  engine.CountFixed(REGPROBLEM_SHORTCUT);
  engine.CountFixed(REGPROBLEM_SHORTCUT);
  engine.CountFixed(REGPROBLEM_FONT);
  engine.CountFixed(11);
  engine.CountFixed(-1);
  EXPECT_EQ(engine.Fixed(REGPROBLEM_SHORTCUT), 2);
  EXPECT_EQ(engine.Fixed(REGPROBLEM_FONT), 1);
  EXPECT_EQ(engine.TotalFixed(), 3);
  EXPECT_EQ(engine.Fixed(11), 0);
}

TEST_F(RegistryCleanerTest, ProgressReportsReachTheSinkAsTheirMessages) {
  engine.ReportScanStarted();
  engine.ReportCategorySkipped(0);
  engine.ReportCategoryStarted(4);
  engine.ReportEntryExamined(L"HKEY_LOCAL_MACHINE\\SOFTWARE");
  engine.ReportCategoryFinished(4);
  engine.ReportScanEnded();

  EXPECT_EQ(journal.Events(),
            (std::vector<std::string>{"1587", "1586", "1584", "1582", "1585", "1581"}));
  EXPECT_EQ(sink.startedWith, &engine);
  EXPECT_EQ(journal.Texts(), (std::vector<std::string>{"1587", "1586:0", "1584:4",
                                                        "1582:HKEY_LOCAL_MACHINE\\SOFTWARE",
                                                        "1585:4", "1581"}));
}

}  // namespace
}  // namespace qv
