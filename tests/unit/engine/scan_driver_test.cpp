// The scan driver on the in-memory platform: the log header and the lastScan stamp, the report
// sequence for every choice of categories, the paced waits with their seeding, cancellation, and
// a cancelled scan that keeps running on its own engine while a newer scan replaces it.
#include "engine/scan_driver.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/journal.h"

namespace qv {
namespace {

// 2010-03-05 09:07:03 (the fake clock's local time is UTC), a Friday.
constexpr std::int64_t kMarch5th2010 = 1267780023;

using test::CJournal;
using test::CJournalLog;
using test::CJournalSink;

// The per-category and start/end reports (not entries examined or problems found).
const std::vector<std::string_view> kProgress = {"1581", "1584", "1585", "1586", "1587"};

// The fake clock, with every sleep also written into the journal together with the second it
// began in (the second the pause was seeded from).
class CJournalClock final : public IClock {
 public:
  CJournalClock(CFakeClock& clock, CJournal& journal) : m_clock(clock), m_journal(journal) {}
  std::int64_t Now() override { return m_clock.Now(); }
  std::tm ToLocalTime(std::int64_t seconds) override { return m_clock.ToLocalTime(seconds); }
  void Sleep(std::uint32_t milliseconds) override {
    sleptAt.push_back(m_clock.Now());
    m_clock.Sleep(milliseconds);
    m_journal.Record("sleep", std::to_wstring(milliseconds));
  }
  std::uint32_t TickCount() override { return m_clock.TickCount(); }
  std::vector<std::int64_t> sleptAt;

 private:
  CFakeClock& m_clock;
  CJournal& m_journal;
};

// The pause the driver must draw in a given second, computed here from the rule itself: seed
// srand with the low 32 bits of the seconds + years since 1900 + month (0-11) + day + 1901, then
// rand() % 201 + 400.
std::uint32_t ExpectedPause(std::int64_t seconds) {
  const std::tm t = CFakeClock::BreakDownUtc(seconds);
  const unsigned seed = static_cast<unsigned>(seconds & 0xFFFFFFFF) +
                        static_cast<unsigned>(t.tm_year + t.tm_mon + t.tm_mday + 1901);
  std::srand(seed);
  return static_cast<std::uint32_t>(std::rand() % 201 + 400);
}

class ScanDriverTest : public ::testing::Test {
 protected:
  ScanDriverTest()
      : clock(memory.clock(), journal),
        platform{memory.registry(), memory.files(), memory.shell(), clock},
        log(journal),
        sink(journal),
        engine(platform, problems, nullptr, &log) {
    engine.SetNotifySink(&sink);
  }

  // Selects exactly the given categories.
  void Select(std::initializer_list<int> indices) {
    CATEGORY_SELECTION selection{};
    for (int i : indices) selection[static_cast<std::size_t>(i)] = true;
    engine.Prepare(selection);
  }

  // A stand-in for the checks: journals which check ran, reports one entry, and finds one
  // problem in categories listed in `findIn`.
  SCAN_DRIVER_OPTIONS StandInChecks(bool pacing, std::vector<int> findIn = {}) {
    SCAN_DRIVER_OPTIONS options;
    options.pacing = pacing;
    options.runCheck = [this, findIn](CRegistryCleaner& e, int index) {
      journal.Record("check", std::to_wstring(index));
      e.ReportEntryExamined(L"HKEY_LOCAL_MACHINE\\entry" + std::to_wstring(index));
      for (int f : findIn) {
        if (f == index) {
          static_cast<void>(e.AddProblem(std::make_unique<CRegistryProblem>(
              L"HKEY_LOCAL_MACHINE\\problem" + std::to_wstring(index), L"name", L"data",
              static_cast<REGPROBLEM_TYPE>(index))));
        }
      }
      return true;
    };
    return options;
  }

  std::wstring StoredLastScan() { return ReadLastScanText(memory.registry(), kProductName); }

  CMemoryPlatform memory;
  CJournal journal;
  CJournalClock clock;
  CPlatform platform;
  CJournalLog log;
  CJournalSink sink;
  CProblemList problems;
  CRegistryCleaner engine;
};

// The events with every category pause ("sleep:400" to "sleep:600") shown as "pause"; the
// lengths themselves are checked against the seeding rule elsewhere.
std::vector<std::string> Paced(std::vector<std::string> events) {
  for (std::string& e : events) {
    if (e.rfind("sleep:", 0) != 0) continue;
    const int ms = std::stoi(e.substr(6));
    if (ms >= 400 && ms <= 600) e = "pause";
  }
  return events;
}

// The reports a scan of the selection must send, without the checks' own reports.
std::vector<std::string> ExpectedReports(unsigned selectionMask) {
  std::vector<std::string> expected{"1587"};
  for (REGPROBLEM_TYPE c : kCategoryRunOrder) {
    const std::string i = std::to_string(static_cast<int>(c));
    if ((selectionMask >> static_cast<unsigned>(c)) & 1u) {
      expected.push_back("1584:" + i);
      expected.push_back("1585:" + i);
    } else {
      expected.push_back("1586:" + i);
    }
  }
  expected.push_back("1581");
  return expected;
}

TEST_F(ScanDriverTest, EverySelectionReportsEachCategoryOnceInRunOrder) {
  for (unsigned mask = 0; mask < (1u << kCategoryCount); ++mask) {
    CJournal local;
    CJournalSink localSink(local);
    CProblemList list;
    CRegistryCleaner e(platform, list, nullptr, nullptr);
    CATEGORY_SELECTION selection{};
    for (int i = 0; i < kCategoryCount; ++i) selection[static_cast<std::size_t>(i)] = (mask >> i) & 1;
    e.Prepare(selection);
    e.SetNotifySink(&localSink);
    SCAN_DRIVER_OPTIONS options;
    options.pacing = false;
    options.runCheck = [&local](CRegistryCleaner&, int index) {
      local.Record("check", std::to_wstring(index));
      return true;
    };
    ASSERT_EQ(ScanThreadProc(e, options), 0);
    ASSERT_EQ(local.Only(kProgress), ExpectedReports(mask)) << "selection mask " << mask;
    // Each check runs exactly between its started and finished reports.
    std::vector<std::string> events = local.Texts();
    for (std::size_t k = 0; k < events.size(); ++k) {
      if (events[k].rfind("check:", 0) == 0) {
        const std::string index = events[k].substr(6);
        ASSERT_GT(k, 0u);
        ASSERT_LT(k + 1, events.size());
        EXPECT_EQ(events[k - 1], "1584:" + index);
        EXPECT_EQ(events[k + 1], "1585:" + index);
      }
    }
  }
  EXPECT_TRUE(memory.clock().Sleeps().empty()) << "a scan without pacing never waits";
}

TEST_F(ScanDriverTest, AllCategoriesPacedRunInOrderWithTheirWaits) {
  Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_EQ(ScanThreadProc(engine, StandInChecks(true, {2, 4})), 0);

  std::vector<std::string> expected{"log", "log", "log", "1587", "sleep:1700"};
  std::size_t pause = 0;
  std::vector<std::uint32_t> sleeps = memory.clock().Sleeps();
  ASSERT_EQ(sleeps.size(), 6u);
  for (REGPROBLEM_TYPE c : kCategoryRunOrder) {
    const std::string i = std::to_string(static_cast<int>(c));
    expected.push_back("1584:" + i);
    expected.push_back("check:" + i);
    expected.push_back("1582:HKEY_LOCAL_MACHINE\\entry" + i);
    if (c == REGPROBLEM_FONT || c == REGPROBLEM_APP_PATH) {
      expected.push_back("log");  // AddProblem's log line comes before the report
      expected.push_back("1583:HKEY_LOCAL_MACHINE\\problem" + i);
    }
    expected.push_back("1585:" + i);
    if (c == REGPROBLEM_COM || c == REGPROBLEM_UNINSTALL || c == REGPROBLEM_FONT ||
        c == REGPROBLEM_SHARED_DLL || c == REGPROBLEM_HELP_FILE) {
      expected.push_back("sleep:" + std::to_string(sleeps[++pause]));
    }
  }
  expected.push_back("1581");
  EXPECT_EQ(journal.Texts(), expected);
  EXPECT_EQ(engine.CurrentStep(), 11);  // the last category run was index 10
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_EQ(engine.TotalFound(), 2);
}

TEST_F(ScanDriverTest, EachPauseIsDrawnFromTheSecondItBeginsIn) {
  // Times across a day, a month and a year boundary, so the date fields of the seed change.
  for (std::int64_t start : {kMarch5th2010, std::int64_t{1293839999} /* 2010-12-31 23:59:59 */,
                             std::int64_t{1308133800}, std::int64_t{4102444799}}) {
    memory.clock().SetNow(start);
    clock.sleptAt.clear();
    Select({});
    const std::size_t before = memory.clock().Sleeps().size();
    ASSERT_EQ(ScanThreadProc(engine, StandInChecks(true)), 0);
    std::vector<std::uint32_t> sleeps = memory.clock().Sleeps();
    sleeps.erase(sleeps.begin(), sleeps.begin() + static_cast<std::ptrdiff_t>(before));
    ASSERT_EQ(sleeps.size(), 6u) << start;
    EXPECT_EQ(sleeps[0], kScanStartDelayMs);
    for (std::size_t k = 1; k < sleeps.size(); ++k) {
      EXPECT_GE(sleeps[k], 400u);
      EXPECT_LE(sleeps[k], 600u);
      EXPECT_EQ(sleeps[k], ExpectedPause(clock.sleptAt[k])) << "start " << start << " pause " << k;
    }
  }
}

TEST(ScanDriverPieces, PauseSeedAddsTheDateFieldsToTheLow32BitsOfTheSeconds) {
  struct CASE {
    std::int64_t seconds;
    int year, month, day;
    unsigned seed;
  };
  const CASE cases[] = {
      {kMarch5th2010, 110, 2, 5, 1267782041u},
      {0, 70, 0, 1, 1972u},
      {0x1FFFFFFFFLL, 0, 0, 0, 1900u},  // only the low 32 bits count, and the sum wraps
      {0xFFFFFFFFLL, 200, 11, 31, 2142u},
  };
  for (const CASE& c : cases) {
    std::tm t{};
    t.tm_year = c.year;
    t.tm_mon = c.month;
    t.tm_mday = c.day;
    EXPECT_EQ(CategoryPauseSeed(c.seconds, t), c.seed) << c.seconds;
  }
  EXPECT_TRUE(PausesAfterCategory(0) && PausesAfterCategory(1) && PausesAfterCategory(2) &&
              PausesAfterCategory(3) && PausesAfterCategory(5));
  for (int i : {4, 6, 7, 8, 9, 10, -1, 11}) EXPECT_FALSE(PausesAfterCategory(i)) << i;
}

TEST_F(ScanDriverTest, NothingSelectedStillWritesHeaderAndStampAndSkipsAll) {
  memory.clock().SetNow(kMarch5th2010);
  memory.shell().SetFileVersion(CMemoryPlatform::kModuleFileName, CFileVersion{{1, 20, 300, 4}});
  static_cast<void>(problems.Add(
      std::make_unique<CRegistryProblem>(L"HKEY_CLASSES_ROOT\\old", L"n", L"d", REGPROBLEM_COM)));
  Select({});
  ASSERT_EQ(ScanThreadProc(engine, StandInChecks(true)), 0);

  const std::wstring rule(76, L'-');
  EXPECT_EQ(log.entries,
            (std::vector<std::wstring>{
                L"Registry Cleaner 1.20.300.4",
                L"Scanning Started on: Friday, March 05, 2010 09:07:03\n" + rule + L"\n" + rule,
                L"Scanning started\n" + rule}));
  EXPECT_EQ(StoredLastScan(), L"05-03-2010 09:07:03");
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(sink.startedWith, &engine);
  EXPECT_EQ(journal.Only({"1581", "1584", "1585", "1586", "1587", "check"}), ExpectedReports(0));
  // The paced waits happen although nothing runs: 1,700 ms, then after 0, 1, 2, 3 and 5.
  EXPECT_EQ(Paced(journal.Only({"sleep", "1586"})),
            (std::vector<std::string>{"sleep:1700", "1586:0", "pause", "1586:1", "pause", "1586:2",
                                      "pause", "1586:3", "pause", "1586:5", "pause", "1586:6",
                                      "1586:4", "1586:7", "1586:8", "1586:9", "1586:10"}));
  EXPECT_EQ(engine.CurrentStep(), 0);
}

TEST_F(ScanDriverTest, CancelBeforeStartSkipsEverythingWithoutWaiting) {
  memory.clock().SetNow(kMarch5th2010);
  Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  engine.SetCancel(1);
  ASSERT_EQ(ScanThreadProc(engine, StandInChecks(true)), 0);

  EXPECT_EQ(log.entries.size(), 3u);
  EXPECT_EQ(StoredLastScan(), L"05-03-2010 09:07:03");
  EXPECT_EQ(journal.Only({"1581", "1584", "1585", "1586", "1587", "check", "sleep"}),
            ExpectedReports(0));
  EXPECT_TRUE(memory.clock().Sleeps().empty());
}

TEST_F(ScanDriverTest, CancelDuringACheckSkipsEveryLaterCategory) {
  Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  SCAN_DRIVER_OPTIONS options;
  options.pacing = true;
  options.runCheck = [](CRegistryCleaner& e, int index) {
    if (index == REGPROBLEM_FONT) e.SetCancel(1);
    return true;
  };
  ASSERT_EQ(ScanThreadProc(engine, options), 0);
  EXPECT_EQ(journal.Only(kProgress), ExpectedReports(0b111));  // 0, 1 and 2 ran, the rest skipped
  EXPECT_EQ(engine.CurrentStep(), 3);
  // 1,700 ms, then pauses after 0 and 1; none once cancelled.
  EXPECT_EQ(memory.clock().Sleeps().size(), 3u);
}

TEST_F(ScanDriverTest, OnlyProgramPathsSelected) {
  Select({REGPROBLEM_APP_PATH});
  ASSERT_EQ(ScanThreadProc(engine, StandInChecks(true)), 0);
  EXPECT_EQ(Paced(journal.Only({"1581", "1584", "1585", "1586", "1587", "check", "sleep"})),
            (std::vector<std::string>{
                "1587",    "sleep:1700", "1586:0", "pause",  "1586:1", "pause",   "1586:2",
                "pause",   "1586:3",     "pause",  "1586:5", "pause",  "1586:6",  "1584:4",
                "check:4", "1585:4",     "1586:7", "1586:8", "1586:9", "1586:10", "1581"}));
  EXPECT_EQ(engine.CurrentStep(), 5);
}

TEST_F(ScanDriverTest, HeaderWithoutVersionResourceAndStampFormat) {
  struct CASE {
    std::int64_t seconds;
    const wchar_t* stamp;
    const wchar_t* startedOn;
  };
  const CASE cases[] = {
      {kMarch5th2010, L"05-03-2010 09:07:03",
       L"Scanning Started on: Friday, March 05, 2010 09:07:03"},
      {1293839999, L"31-12-2010 23:59:59",
       L"Scanning Started on: Friday, December 31, 2010 23:59:59"},
      {946684800, L"01-01-2000 00:00:00",
       L"Scanning Started on: Saturday, January 01, 2000 00:00:00"},
  };
  for (const CASE& c : cases) {
    memory.clock().SetNow(c.seconds);
    log.entries.clear();
    Select({});
    ASSERT_EQ(ScanThreadProc(engine, StandInChecks(false)), 0);
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0], L"Registry Cleaner ");  // the in-memory program has no version
    EXPECT_EQ(log.entries[1].substr(0, log.entries[1].find(L'\n')), c.startedOn);
    EXPECT_EQ(StoredLastScan(), c.stamp);
    EXPECT_EQ(FormatLastScanStamp(CFakeClock::BreakDownUtc(c.seconds)), c.stamp);
  }
}

TEST_F(ScanDriverTest, RealChecksRunOnAnEmptyRegistry) {
  // The default runner is the engine's own checks; on a machine without their keys every
  // category runs and finds nothing.
  Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  SCAN_DRIVER_OPTIONS options;
  options.pacing = false;
  ASSERT_EQ(ScanThreadProc(engine, options), 0);
  EXPECT_EQ(journal.Only(kProgress), ExpectedReports(0x7FF));
  EXPECT_TRUE(problems.empty());
}

// The driver with the engine's own checks on a small machine: each problem is reported between
// its category's started and finished reports, the filter still decides, and a cancel inside a
// check ends that check and skips every later category.
TEST(ScanDriverWithChecks, ProblemsArriveInsideTheirCategory) {
  for (bool cancelInSharedDlls : {false, true}) {
    test::CEngineFixture fx;
    const std::wstring sharedDlls =
        L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const std::wstring appPaths = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    // Kept apart from C:\Tools: a program file there would keep C:\Tools's missing paths as
    // those of an installed program.
    fx.files().AddFile(L"C:\\Lib\\kept.dll");
    fx.registry().SetDword(sharedDlls, L"C:\\Tools\\gone.dll", 1);
    fx.registry().SetDword(sharedDlls, L"C:\\Lib\\kept.dll", 1);
    fx.registry().SetDword(sharedDlls, L"C:\\Tools\\second-gone.dll", 1);
    fx.registry().SetString(appPaths + L"\\gone.exe", L"", L"C:\\Tools\\gone.exe");
    fx.registry().SetString(appPaths + L"\\hidden.exe", L"", L"C:\\Tools\\hidden.exe");
    fx.filter().exclude = [](const CRegistryProblem& p) { return p.name == L"hidden.exe"; };
    if (cancelInSharedDlls) fx.CancelWhenExamined(L"C:\\Tools\\gone.dll");
    fx.engine().Prepare(AllCategories());
    SCAN_DRIVER_OPTIONS options;
    options.pacing = false;
    ASSERT_EQ(ScanThreadProc(fx.engine(), options), 0);

    // The reports in order, with each problem shown as "1583:<name>".
    std::vector<std::string> reports;
    for (const test::SCAN_EVENT& e : fx.sink().Events()) {
      if (e.message == kMsgEntryExamined) continue;
      std::string text = std::to_string(e.message);
      if (e.index >= 0) text += ":" + std::to_string(e.index);
      if (e.problem != nullptr) text += ":" + ToUtf8(e.problem->name);
      reports.push_back(text);
    }
    std::vector<std::string> expected{"1587"};
    for (REGPROBLEM_TYPE c : kCategoryRunOrder) {
      const std::string i = std::to_string(static_cast<int>(c));
      const bool runs = !cancelInSharedDlls || c == REGPROBLEM_COM || c == REGPROBLEM_UNINSTALL ||
                        c == REGPROBLEM_FONT || c == REGPROBLEM_SHARED_DLL;
      if (!runs) {
        expected.push_back("1586:" + i);
        continue;
      }
      expected.push_back("1584:" + i);
      if (c == REGPROBLEM_SHARED_DLL) {
        expected.push_back("1583:C:\\Tools\\gone.dll");
        if (!cancelInSharedDlls) expected.push_back("1583:C:\\Tools\\second-gone.dll");
      }
      if (c == REGPROBLEM_APP_PATH) expected.push_back("1583:gone.exe");
      if (c == REGPROBLEM_FILE_PATH) {
        // The File/Path walk finds both App Paths defaults (the filter only hides hidden.exe's
        // App Paths entry, by its name).
        expected.push_back("1583:");
        expected.push_back("1583:");
      }
      expected.push_back("1585:" + i);
    }
    expected.push_back("1581");
    EXPECT_EQ(reports, expected) << "cancel " << cancelInSharedDlls;
    EXPECT_EQ(fx.problems().size(), cancelInSharedDlls ? 1u : 5u);
  }
}

// ---- Engines with their own lists, and a cancelled scan replaced by a newer one ----

TEST(ScanEngine, EachEngineOwnsItsProblemList) {
  CMemoryPlatform memory;
  std::shared_ptr<CRegistryCleaner> a = CreateScanEngine(memory.platform(), nullptr, nullptr);
  std::shared_ptr<CRegistryCleaner> b = CreateScanEngine(memory.platform(), nullptr, nullptr);
  ASSERT_NE(&a->Problems(), &b->Problems());
  EXPECT_TRUE(a->AddProblem(
      std::make_unique<CRegistryProblem>(L"HKEY_CLASSES_ROOT\\x", L"n", L"d", REGPROBLEM_COM)));
  EXPECT_EQ(a->Problems().size(), 1u);
  EXPECT_TRUE(b->Problems().empty());
}

}  // namespace
}  // namespace qv
