// The Win32 scan sink and the scan worker on a real window: a scan runs on its own thread while
// this thread pumps messages, and the window procedure sees the scan protocol's messages in
// order, synchronously, on this thread. A closed sink delivers nothing, not even the message the
// scan thread is already waiting in. Destroying the worker on the window's thread, from outside
// or from inside one of its own messages, returns once the scan has ended.
#include "engine/win32/scan_sink_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/scan_worker.h"
#include "engine/scan_driver.h"
#include "platform/memory/memory_platform.h"
#include "platform/win32/win32_message_pump.h"

namespace qv {
namespace {

constexpr wchar_t kNotifyClassName[] = L"QuarveloScanSinkTestWindow";

// What the window procedure saw.
struct WINDOW_LOG {
  std::vector<std::string> messages;  // "1587", "1582:<text>", "1583:<key>", "1584:<i>" ...
  DWORD expectedThread = 0;
  CRegistryCleaner* engine = nullptr;
  int wrongThread = 0;     // messages handled on another thread
  int notSentByOther = 0;  // messages that did not come as a call from another thread
  int nonZeroWParam = 0;
  int countsOutOfStep = 0;  // 1583 arriving when the engine has already counted further
  int problemsSeen = 0;
  bool ended = false;
  // Called on the window's thread after a message has been logged.
  std::function<void(UINT, LPARAM)> onMessage;
};

WINDOW_LOG* g_log = nullptr;

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; *text != 0; ++text) out += static_cast<char>(*text);
  return out;
}

LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < kMsgScanEnded || message > kMsgScanStarted || g_log == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  WINDOW_LOG& log = *g_log;
  if (GetCurrentThreadId() != log.expectedThread) ++log.wrongThread;
  if (!InSendMessage()) ++log.notSentByOther;
  if (wParam != 0) ++log.nonZeroWParam;
  std::string entry = std::to_string(message);
  switch (message) {
    case kMsgScanStarted:
      entry += reinterpret_cast<CRegistryCleaner*>(lParam) == log.engine ? ":engine" : ":other";
      break;
    case kMsgEntryExamined:
      entry += ':';
      entry += Narrow(reinterpret_cast<const wchar_t*>(lParam));
      break;
    case kMsgProblemFound: {
      auto* problem = reinterpret_cast<CRegistryProblem*>(lParam);
      entry += ':';
      entry += Narrow(problem->key.c_str());
      ++log.problemsSeen;
      // The scan thread waits while we handle it: the engine has counted exactly this problem.
      if (log.engine->TotalFound() != log.problemsSeen ||
          log.engine->Problems().At(static_cast<std::size_t>(log.problemsSeen - 1)) != problem) {
        ++log.countsOutOfStep;
      }
      break;
    }
    case kMsgCategoryStarted:
    case kMsgCategoryFinished:
    case kMsgCategorySkipped:
      entry += ':';
      entry += std::to_string(lParam);
      break;
    case kMsgScanEnded:
      log.ended = true;
      break;
    default:
      break;
  }
  log.messages.push_back(entry);
  if (log.onMessage) log.onMessage(message, lParam);
  return 0;
}

class Win32ScanSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW notifyClass{};
    notifyClass.cbSize = sizeof(notifyClass);
    notifyClass.lpfnWndProc = &NotifyProc;
    notifyClass.hInstance = GetModuleHandleW(nullptr);
    notifyClass.lpszClassName = kNotifyClassName;
    ASSERT_TRUE(RegisterClassExW(&notifyClass) != 0 ||
                GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
    window = CreateWindowExW(0, kNotifyClassName, L"scan page", 0, 0, 0, 0, 0, HWND_MESSAGE,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    log.expectedThread = GetCurrentThreadId();
    g_log = &log;
  }
  void TearDown() override {
    g_log = nullptr;
    if (window != nullptr) DestroyWindow(window);
  }

  // A stand-in for the checks: one entry examined per category, one problem in 1 and in 4.
  static SCAN_DRIVER_OPTIONS StandInChecks() {
    SCAN_DRIVER_OPTIONS options;
    options.pacing = false;
    options.runCheck = [](CRegistryCleaner& e, int index) {
      e.ReportEntryExamined(L"HKEY_LOCAL_MACHINE\\entry" + std::to_wstring(index));
      if (index == REGPROBLEM_UNINSTALL || index == REGPROBLEM_APP_PATH) {
        static_cast<void>(e.AddProblem(std::make_unique<CRegistryProblem>(
            L"HKEY_LOCAL_MACHINE\\problem" + std::to_wstring(index), L"n", L"d",
            static_cast<REGPROBLEM_TYPE>(index))));
      }
      return true;
    };
    return options;
  }

  // Pumps this thread's messages until the predicate holds (bounded, so a fault fails instead of
  // hanging).
  template <typename Predicate>
  bool PumpUntil(Predicate done) {
    for (int round = 0; round < 20000; ++round) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (done()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    return false;
  }

  // Waits, without handling anything, until a message sent by another thread waits for this one.
  static bool WaitForSentMessage() {
    for (int round = 0; round < 20000; ++round) {
      if ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0) return true;
      Sleep(1);
    }
    return false;
  }

  CMemoryPlatform memory;
  CWin32MessagePump pump;
  HWND window = nullptr;
  WINDOW_LOG log;
};

TEST_F(Win32ScanSinkTest, WindowOnThisThreadReceivesTheScanOfAnotherThreadInOrder) {
  ErrorCode error = -1;
  std::shared_ptr<CWin32ScanSink> sink = CWin32ScanSink::Create(window, &error);
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(error, 0);
  std::shared_ptr<CRegistryCleaner> engine = CreateScanEngine(memory.platform(), nullptr, nullptr);
  CATEGORY_SELECTION selection = AllCategories();
  selection[REGPROBLEM_FONT] = false;
  engine->Prepare(selection);
  log.engine = engine.get();

  CScanWorker worker(pump);
  ASSERT_TRUE(worker.Start(engine, *sink, StandInChecks()));
  ASSERT_TRUE(PumpUntil([&] { return log.ended; }));
  worker.Join();

  std::vector<std::string> expected{"1587:engine"};
  for (REGPROBLEM_TYPE c : kCategoryRunOrder) {
    const std::string i = std::to_string(static_cast<int>(c));
    if (c == REGPROBLEM_FONT) {
      expected.push_back("1586:" + i);
      continue;
    }
    expected.push_back("1584:" + i);
    expected.push_back("1582:HKEY_LOCAL_MACHINE\\entry" + i);
    if (c == REGPROBLEM_UNINSTALL || c == REGPROBLEM_APP_PATH) {
      expected.push_back("1583:HKEY_LOCAL_MACHINE\\problem" + i);
    }
    expected.push_back("1585:" + i);
  }
  expected.push_back("1581");
  EXPECT_EQ(log.messages, expected);
  EXPECT_EQ(log.wrongThread, 0);
  EXPECT_EQ(log.notSentByOther, 0);
  EXPECT_EQ(log.nonZeroWParam, 0);
  EXPECT_EQ(log.problemsSeen, 2);
  EXPECT_EQ(log.countsOutOfStep, 0);

  // The relay window goes with the sink when the last holder lets go on this thread.
  const HWND relay = sink->RelayWindow();
  EXPECT_TRUE(IsWindow(relay));
  sink.reset();
  EXPECT_FALSE(IsWindow(relay));
}

TEST_F(Win32ScanSinkTest, ClosedSinkDropsEvenTheMessageTheScanIsWaitingIn) {
  std::shared_ptr<CWin32ScanSink> sink = CWin32ScanSink::Create(window, nullptr);
  ASSERT_NE(sink, nullptr);
  std::shared_ptr<CRegistryCleaner> engine = CreateScanEngine(memory.platform(), nullptr, nullptr);
  engine->Prepare(AllCategories());
  log.engine = engine.get();

  CScanWorker worker(pump);
  ASSERT_TRUE(worker.Start(engine, *sink, StandInChecks()));
  // This thread does not pump yet, so the scan thread's first message (1587) waits for us.
  ASSERT_TRUE(WaitForSentMessage());

  // The user stops the scan: close its sink, then stop the worker (which handles the waiting
  // message, undelivered, while it waits for the scan to end).
  sink->Close();
  std::weak_ptr<CRegistryCleaner> alive = engine;
  engine.reset();
  worker.Stop();
  EXPECT_FALSE(worker.Running());
  EXPECT_FALSE(alive.expired()) << "the worker holds its engine until it goes";
  EXPECT_TRUE(log.messages.empty()) << log.messages.front();
}

TEST_F(Win32ScanSinkTest, DestroyingTheWorkerWhileItsScanWaitsForTheWindowReturnsAfterTheScan) {
  std::shared_ptr<CWin32ScanSink> sink = CWin32ScanSink::Create(window, nullptr);
  ASSERT_NE(sink, nullptr);
  std::shared_ptr<CRegistryCleaner> engine = CreateScanEngine(memory.platform(), nullptr, nullptr);
  engine->Prepare(AllCategories());
  log.engine = engine.get();
  {
    CScanWorker worker(pump);
    ASSERT_TRUE(worker.Start(engine, *sink, StandInChecks()));
    ASSERT_TRUE(WaitForSentMessage());
  }  // cancelled, the waiting message handled while waiting, joined
  EXPECT_TRUE(engine->IsCancelled());
  EXPECT_FALSE(engine->IsRunning());
  EXPECT_LE(log.messages.size(), 1u);  // at most the message the scan was already waiting in
  EXPECT_FALSE(log.ended);
}

TEST_F(Win32ScanSinkTest, DestroyedFromTheWindowInsideItsOwnMessageTheWorkerReturnsAfterTheScan) {
  std::shared_ptr<CWin32ScanSink> sink = CWin32ScanSink::Create(window, nullptr);
  ASSERT_NE(sink, nullptr);
  std::shared_ptr<CRegistryCleaner> engine = CreateScanEngine(memory.platform(), nullptr, nullptr);
  engine->Prepare(AllCategories());
  log.engine = engine.get();
  auto worker = std::make_unique<CScanWorker>(pump);
  // The window procedure destroys the worker while it handles "category 1 starts", which the
  // scan thread is waiting in.
  log.onMessage = [&](UINT message, LPARAM lParam) {
    if (message == kMsgCategoryStarted && lParam == REGPROBLEM_UNINSTALL) worker.reset();
  };
  ASSERT_TRUE(worker->Start(engine, *sink, StandInChecks()));
  ASSERT_TRUE(PumpUntil([&] { return worker == nullptr; }));
  EXPECT_TRUE(engine->IsCancelled());
  EXPECT_FALSE(engine->IsRunning());
  EXPECT_EQ(log.messages.back(), "1584:1");
  EXPECT_FALSE(log.ended);
}

}  // namespace
}  // namespace qv
