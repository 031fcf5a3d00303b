// The scan worker and the worker model: reports handled on the window's thread while the scan
// waits, a stop that returns only once the scan has ended (also from inside one of its own
// reports), pause at the next item, and the application replacing one scan by the next.
#include "app/scan_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/fake_window_thread.h"
#include "tests/support/journal.h"

namespace qv {
namespace {

const std::vector<std::string_view> kProgress = {"1581", "1584", "1585", "1586", "1587"};

// A check that examines `items` entries, stopping where the engine says so.
SCAN_DRIVER_OPTIONS Examining(int items, std::atomic<int>* examined = nullptr) {
  SCAN_DRIVER_OPTIONS options;
  options.pacing = false;
  options.runCheck = [items, examined](CRegistryCleaner& e, int index) {
    for (int i = 0; i < items; ++i) {
      if (e.ShouldStop()) return true;
      e.ReportEntryExamined(L"HKEY_LOCAL_MACHINE\\" + std::to_wstring(index) + L"\\" +
                            std::to_wstring(i));
      if (examined != nullptr) ++*examined;
    }
    return true;
  };
  return options;
}

class ScanWorkerTest : public ::testing::Test {
 protected:
  ScanWorkerTest() : engine(CreateScanEngine(memory.platform(), nullptr, nullptr)) {
    engine->Prepare(AllCategories());
  }

  // Pumps the window thread until the predicate holds (bounded, so a fault fails, not hangs).
  template <typename Predicate>
  bool PumpUntil(Predicate done) {
    for (int round = 0; round < 20000 && !done(); ++round) window.PumpSentMessages(1);
    return done();
  }

  CMemoryPlatform memory;
  test::CFakeWindowThread window;
  test::CJournal journal;
  test::CJournalSink page{journal};
  test::CSendingScanSink sink{window, page};
  std::shared_ptr<CRegistryCleaner> engine;
};

TEST_F(ScanWorkerTest, ReportsReachThePageOnItsThreadAndTheScanIsJoined) {
  CScanWorker worker(window);
  ASSERT_TRUE(worker.Start(engine, sink, Examining(2)));
  EXPECT_TRUE(engine->IsRunning());
  EXPECT_FALSE(worker.Start(engine, sink, Examining(2))) << "one scan at a time";
  ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
  worker.Join();
  EXPECT_FALSE(worker.Running());
  EXPECT_FALSE(engine->IsRunning());
  EXPECT_EQ(journal.Only({"1582"}).size(), 22u);
  EXPECT_EQ(journal.Texts().back(), "1581");
  EXPECT_EQ(page.startedWith, engine.get());
  EXPECT_FALSE(CScanWorker(window).Start(nullptr, sink));
}

TEST_F(ScanWorkerTest, StopWhileTheScanWaitsInAReportReturnsOnceTheScanHasEnded) {
  std::weak_ptr<CRegistryCleaner> alive = engine;
  {
    CScanWorker worker(window);
    ASSERT_TRUE(worker.Start(engine, sink, Examining(1000)));
    engine.reset();  // the worker keeps the engine until it has joined the scan
    window.WaitForPending();  // the scan waits in its first report: this thread has not pumped
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_TRUE(worker.Finished());
    const std::shared_ptr<CRegistryCleaner> held = alive.lock();
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(held->IsCancelled());
    EXPECT_FALSE(held->IsRunning());
  }
  EXPECT_TRUE(alive.expired());
  // At most the report that had passed the gate before the stop was handled; nothing after it.
  EXPECT_LE(journal.Texts().size(), 1u);
}

TEST_F(ScanWorkerTest, DestroyedInsideOneOfItsOwnReportsTheWorkerReturnsAfterTheScanEnded) {
  auto worker = std::make_unique<CScanWorker>(window);
  CRegistryCleaner* scanned = engine.get();
  // The page is told category 1 starts and destroys the worker there, on the window thread,
  // while the scan waits for the page to answer.
  test::CJournal pageJournal;
  class CDestroyingPage final : public test::CJournalSink {
   public:
    CDestroyingPage(test::CJournal& journal, std::unique_ptr<CScanWorker>& owner)
        : CJournalSink(journal), m_owner(owner) {}
    void OnCategoryStarted(int index) override {
      CJournalSink::OnCategoryStarted(index);
      if (index == REGPROBLEM_UNINSTALL) m_owner.reset();
    }

   private:
    std::unique_ptr<CScanWorker>& m_owner;
  } destroying(pageJournal, worker);
  test::CSendingScanSink destroyingSink(window, destroying);
  ASSERT_TRUE(worker->Start(engine, destroyingSink, Examining(3)));
  ASSERT_TRUE(PumpUntil([&] { return worker == nullptr; }));
  EXPECT_TRUE(scanned->IsCancelled());
  EXPECT_FALSE(scanned->IsRunning());
  EXPECT_EQ(pageJournal.Only(kProgress),
            (std::vector<std::string>{"1587", "1584:0", "1585:0", "1584:1"}));
}

TEST_F(ScanWorkerTest, PauseParksTheScanAtItsNextItemAndResumeGoesOnWhereItWas) {
  std::atomic<int> examined{0};
  CScanWorker worker(window);
  ASSERT_TRUE(worker.Start(engine, sink, Examining(200, &examined)));
  ASSERT_TRUE(PumpUntil([&] { return examined.load() >= 50; }));
  worker.Pause();
  ASSERT_TRUE(PumpUntil([&] { return engine->Control().IsParked(); }));
  const int atPause = examined.load();
  for (int i = 0; i < 20; ++i) window.PumpSentMessages(1);
  EXPECT_EQ(examined.load(), atPause) << "a parked scan examines nothing";
  EXPECT_FALSE(worker.Finished());
  worker.Resume();
  ASSERT_TRUE(PumpUntil([&] { return worker.Finished(); }));
  worker.Join();
  EXPECT_EQ(examined.load(), 200 * kCategoryCount);
  EXPECT_EQ(journal.Only({"1582"}).size(), static_cast<std::size_t>(200 * kCategoryCount));
}

TEST_F(ScanWorkerTest, AStopWhilePausedEndsTheScan) {
  std::atomic<int> examined{0};
  CScanWorker worker(window);
  ASSERT_TRUE(worker.Start(engine, sink, Examining(200, &examined)));
  ASSERT_TRUE(PumpUntil([&] { return examined.load() >= 10; }));
  worker.Pause();
  ASSERT_TRUE(PumpUntil([&] { return engine->Control().IsParked(); }));
  worker.Stop();
  EXPECT_LT(examined.load(), 200 * kCategoryCount);
  EXPECT_FALSE(worker.Running());
}

TEST(ApplicationScan, ANewScanStopsTheLastOneAndPreparesANewEngine) {
  CMemoryPlatform memory;
  test::CFakeWindowThread window;
  test::CJournal journal;
  test::CJournalSink page(journal);
  test::CSendingScanSink sink(window, page);
  CApplication app(memory.platform(), window);
  app.LoadCategoryTable();
  EXPECT_FALSE(app.NewScan(CATEGORY_SELECTION{})) << "nothing selected";
  EXPECT_EQ(app.Engine(), nullptr);

  CATEGORY_SELECTION some{};
  some[REGPROBLEM_FONT] = true;
  some[REGPROBLEM_HELP_FILE] = true;
  ASSERT_TRUE(app.NewScan(some));
  for (int i = 0; i < kCategoryCount; ++i) {
    EXPECT_EQ(app.Categories()[static_cast<std::size_t>(i)].enabled, some[i] ? 1 : 0) << i;
    EXPECT_EQ(app.Engine()->ScanCategory(i), some[i]) << i;
  }
  app.Categories()[REGPROBLEM_FONT].found = 7;
  app.Categories()[REGPROBLEM_FONT].fixed = 3;
  ASSERT_TRUE(app.StartScan(sink, false));
  EXPECT_EQ(app.Categories()[REGPROBLEM_FONT].found, 0);
  EXPECT_EQ(app.Categories()[REGPROBLEM_FONT].fixed, 0);
  window.WaitForPending();  // the first scan waits in a report
  const CRegistryCleaner* first = app.Engine();

  // The next scan: the first is stopped (its pending report handled while waiting) and goes.
  ASSERT_TRUE(app.NewScan(AllCategories()));
  EXPECT_FALSE(app.ScanWorker().Running());
  EXPECT_NE(app.Engine(), first);
  for (int i = 0; i < kCategoryCount; ++i) EXPECT_TRUE(app.Engine()->ScanCategory(i)) << i;
  app.CountFound(REGPROBLEM_COM);
  app.CountFound(11);
  EXPECT_EQ(app.Categories()[REGPROBLEM_COM].found, 1);
}

TEST(ApplicationScan, DestroyingTheApplicationStopsItsScanFirst) {
  CMemoryPlatform memory;
  test::CFakeWindowThread window;
  test::CJournal journal;
  test::CJournalSink page(journal);
  test::CSendingScanSink sink(window, page);
  {
    CApplication app(memory.platform(), window);
    ASSERT_TRUE(app.NewScan(AllCategories()));
    ASSERT_TRUE(app.StartScan(sink, true));
    window.WaitForPending();
  }  // returns only once the scan has ended, before the lists and the log it uses go
  EXPECT_LE(journal.Texts().size(), 1u);
  EXPECT_EQ(memory.registry().OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace qv
