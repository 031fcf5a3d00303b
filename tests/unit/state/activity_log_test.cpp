#include "state/activity_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "base/utf16.h"
#include "state/text_file.h"
#include "tests/support/forwarding_file_system.h"

namespace qv {
namespace {

constexpr wchar_t kLogFolder[] = L"C:\\ProgramData\\Quarvelo\\LOGS";
constexpr std::int64_t kEvening = 1796581874;  // 2026-12-06 18:31:14 (the fake's local time)
constexpr std::int64_t kMorning = 1767225909;  // 2026-01-01 00:05:09

std::vector<std::wstring> LogFiles(CMemoryPlatform& machine) {
  if (!machine.files().IsDirectory(kLogFolder)) return {};
  return machine.files().ListFolder(kLogFolder);
}

std::vector<std::wstring> Lines(CMemoryPlatform& machine, const std::wstring& path) {
  std::vector<std::wstring> lines;
  EXPECT_EQ(ReadTextLines(machine.files(), path, &lines), kErrorSuccess);
  return lines;
}

TEST(CActivityLog, FileNamedFromTheFirstCallAndLinesWithTheTimePrefix) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  CActivityLog log(machine.platform());
  ASSERT_EQ(log.WriteLog(L"Started fixing..."), kErrorSuccess);
  const std::wstring path = log.LogFilePath();
  EXPECT_EQ(path, std::wstring(kLogFolder) + L"\\LOGS_12_06_2026_18_31_14_PM.log");
  EXPECT_EQ(machine.files().ReadFile(path), "12/06/2026 18:31:14 PM:Started fixing...\r\n");

  CMemoryPlatform morning;
  morning.clock().SetNow(kMorning);
  CActivityLog early(morning.platform());
  ASSERT_EQ(early.WriteLog(L"Scan"), kErrorSuccess);
  EXPECT_EQ(early.LogFilePath(), std::wstring(kLogFolder) + L"\\LOGS_01_01_2026_00_05_09_AM.log");
  EXPECT_EQ(morning.files().ReadFile(early.LogFilePath()), "01/01/2026 00:05:09 AM:Scan\r\n");
  EXPECT_EQ(morning.files().OpenFileCount(), 0u);
}

TEST(CActivityLog, MessagesAreTrimmedAndBlankOnesGiveEmptyLines) {
  struct Case {
    std::wstring message;
    std::string bytes;
  };
  const std::string prefix = "12/06/2026 18:31:14 PM:";
  const Case cases[] = {
      {L"  Trying to fix HKEY_CLASSES_ROOT\\x \t", prefix + "Trying to fix HKEY_CLASSES_ROOT\\x\r\n"},
      {L"", "\r\n"},
      {L"   \t ", "\r\n"},
      {L"\n", "\r\n"},
      {L"\r\n", "\r\n"},
      {L"\u3000\u00a0", "\r\n"},
      {L"first\nsecond", prefix + "first\r\nsecond\r\n"},
      {L" a \n b ", prefix + "a \r\n b\r\n"},
      {L"caf\u00e9 \u0416", prefix + "caf\xE9 ?\r\n"},
      {L"100% %s %d", prefix + "100% %s %d\r\n"},
  };
  for (const Case& c : cases) {
    CMemoryPlatform machine;
    machine.clock().SetNow(kEvening);
    CActivityLog log(machine.platform());
    ASSERT_EQ(log.WriteLog(c.message), kErrorSuccess);
    EXPECT_EQ(machine.files().ReadFile(log.LogFilePath()), c.bytes) << ToUtf8(c.message);
  }
}

TEST(CActivityLog, OneRunOneFileAndANewRunANewFile) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  {
    CActivityLog run(machine.platform());
    ASSERT_EQ(run.WriteLog(L"one"), kErrorSuccess);
    machine.clock().Advance(61 * 1000);
    ASSERT_EQ(run.WriteLog(L"two"), kErrorSuccess);
    EXPECT_EQ(LogFiles(machine).size(), 1u);
    EXPECT_EQ(Lines(machine, run.LogFilePath()),
              (std::vector<std::wstring>{L"12/06/2026 18:31:14 PM:one",
                                         L"12/06/2026 18:32:15 PM:two"}));
  }
  // The next load of the library, one second later: its own file.
  machine.clock().SetNow(kEvening + 1);
  CActivityLog next(machine.platform());
  ASSERT_EQ(next.WriteLog(L"three"), kErrorSuccess);
  EXPECT_EQ(LogFiles(machine), (std::vector<std::wstring>{L"LOGS_12_06_2026_18_31_14_PM.log",
                                                          L"LOGS_12_06_2026_18_31_15_PM.log"}));
  EXPECT_EQ(Lines(machine, next.LogFilePath()),
            std::vector<std::wstring>{L"12/06/2026 18:31:15 PM:three"});

  // Within the same second the name is the same, and the lines are appended, not replaced.
  CActivityLog same(machine.platform());
  ASSERT_EQ(same.WriteLog(L"four"), kErrorSuccess);
  EXPECT_EQ(same.LogFilePath(), next.LogFilePath());
  EXPECT_EQ(Lines(machine, next.LogFilePath()).size(), 2u);
}

TEST(CActivityLog, FallsBackToTheProgramFolder) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  machine.shell().RemoveFolder(kCsidlCommonAppData);
  CActivityLog log(machine.platform());
  ASSERT_EQ(log.WriteLog(L"x"), kErrorSuccess);
  EXPECT_EQ(log.LogFilePath(),
            L"C:\\Program Files\\Quarvelo\\LOGS\\LOGS_12_06_2026_18_31_14_PM.log");
}

TEST(CActivityLog, UnwritableFolderGivesItsErrorAndMakesTheFolderWhenItCan) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  machine.files().AddFile(L"C:\\ProgramData\\Quarvelo");  // blocks the data folder
  CActivityLog log(machine.platform());
  EXPECT_NE(log.WriteLog(L"lost"), kErrorSuccess);

  // The log folder removed while the program runs is made again.
  CMemoryPlatform other;
  other.clock().SetNow(kEvening);
  CActivityLog kept(other.platform());
  ASSERT_EQ(kept.WriteLog(L"before"), kErrorSuccess);
  ASSERT_EQ(other.files().RemoveFile(kept.LogFilePath()), kErrorSuccess);
  ASSERT_EQ(other.files().RemoveFolder(kLogFolder), kErrorSuccess);
  ASSERT_EQ(kept.WriteLog(L"after"), kErrorSuccess);
  EXPECT_EQ(Lines(other, kept.LogFilePath()),
            std::vector<std::wstring>{L"12/06/2026 18:31:14 PM:after"});
}

// Forwards to the memory file system, refusing the first `busyOpens` opens of the log file as
// another process holding it would.
class CBusyFileSystem final : public test::CForwardingFileSystem {
 public:
  CBusyFileSystem(IFileSystem& inner, int busyOpens) : CForwardingFileSystem(inner), m_busy(busyOpens) {}
  ErrorCode OpenFileNoFollow(std::wstring_view p, FileOpenMode m, FileShareMode s,
                             std::unique_ptr<IFile>* f) override {
    ++opens;
    if (m_busy > 0) {
      --m_busy;
      return kErrorSharingViolation;
    }
    return inner().OpenFileNoFollow(p, m, s, f);
  }
  int opens = 0;

 private:
  int m_busy;
};

TEST(CActivityLog, WaitsForAFileAnotherProcessHolds) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  CBusyFileSystem busy(machine.files(), 3);
  CActivityLog log(machine.shell(), busy, machine.clock());
  machine.files().AddFile(log.LogFilePath());  // held by another process that wrote it
  ASSERT_EQ(log.WriteLog(L"kept"), kErrorSuccess);
  EXPECT_EQ(busy.opens, 4);
  EXPECT_EQ(machine.clock().Sleeps(), (std::vector<std::uint32_t>{10, 10, 10}));
  EXPECT_EQ(Lines(machine, log.LogFilePath()),
            std::vector<std::wstring>{L"12/06/2026 18:31:14 PM:kept"});
}

TEST(CActivityLog, GivesUpAfterAboutASecondWhileTheFileStaysHeld) {
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  CActivityLog log(machine.platform());
  std::unique_ptr<IFile> holder;  // another writer that denies us
  ASSERT_EQ(machine.files().OpenFile(log.LogFilePath(), FileOpenMode::kAppend,
                                     FileShareMode::kDenyWrite, &holder),
            kErrorSuccess);
  EXPECT_EQ(log.WriteLog(L"refused"), kErrorSharingViolation);
  EXPECT_EQ(machine.clock().Sleeps().size(),
            static_cast<std::size_t>(CActivityLog::kOpenAttempts));
  EXPECT_LE(machine.clock().TotalSleptMilliseconds(), 1000u);
  holder.reset();
  ASSERT_EQ(log.WriteLog(L"written"), kErrorSuccess);
  EXPECT_EQ(Lines(machine, log.LogFilePath()),
            std::vector<std::wstring>{L"12/06/2026 18:31:15 PM:written"})
      << "the waits moved the clock on by one second";
}

// Lines written at the same moment from several threads all arrive, each whole, each thread's in
// its own order.
TEST(CActivityLog, ConcurrentWritersLoseNoLine) {
  constexpr int kThreads = 3;
  constexpr int kLinesEach = 500;
  CMemoryPlatform machine;
  machine.clock().SetNow(kEvening);
  CActivityLog log(machine.platform());
  std::atomic<int> ready{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int i = 0; i < kLinesEach; ++i) {
        const std::wstring message =
            L"thread " + std::to_wstring(t) + L" line " + std::to_wstring(i) + L" " +
            std::wstring(static_cast<std::size_t>(i % 40), static_cast<wchar_t>(L'a' + t));
        if (log.WriteLog(message) != kErrorSuccess) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  ASSERT_EQ(LogFiles(machine).size(), 1u);
  const std::vector<std::wstring> lines = Lines(machine, log.LogFilePath());
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
  std::map<int, int> next;
  const std::wstring prefix = L"12/06/2026 18:31:14 PM:thread ";
  for (const std::wstring& line : lines) {
    ASSERT_EQ(line.compare(0, prefix.size(), prefix), 0) << ToUtf8(line);
    const int t = line[prefix.size()] - L'0';
    const int i = next[t]++;
    const std::wstring expected =
        prefix + std::to_wstring(t) + L" line " + std::to_wstring(i) +
        (i % 40 == 0 ? L"" : L" " + std::wstring(static_cast<std::size_t>(i % 40),
                                                  static_cast<wchar_t>(L'a' + t)));
    ASSERT_EQ(line, expected);
  }
  EXPECT_EQ(machine.files().OpenFileCount(), 0u);
}

// A clock that moves one second on every reading, so two threads that each formed the file name
// would name different files.
class CTickingClock final : public IClock {
 public:
  explicit CTickingClock(CFakeClock& inner) : m_inner(inner) {}
  std::int64_t Now() override {
    m_inner.Advance(1000);
    return m_inner.Now();
  }
  std::tm ToLocalTime(std::int64_t s) override { return m_inner.ToLocalTime(s); }
  void Sleep(std::uint32_t ms) override { m_inner.Sleep(ms); }
  std::uint32_t TickCount() override { return m_inner.TickCount(); }

 private:
  CFakeClock& m_inner;
};

TEST(CActivityLog, FirstCallsAtOnceFormOnePath) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 20; ++round) {
    CMemoryPlatform machine;
    machine.clock().SetNow(kEvening);
    CTickingClock ticking(machine.clock());
    CActivityLog log(machine.shell(), machine.files(), ticking);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    std::vector<std::wstring> paths(kThreads);
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready.load() < kThreads) std::this_thread::yield();
        if (t % 2 == 0) {
          paths[static_cast<std::size_t>(t)] = log.LogFilePath();
        } else {
          EXPECT_EQ(log.WriteLog(L"first"), kErrorSuccess);
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_EQ(LogFiles(machine).size(), 1u) << "round " << round;
    EXPECT_EQ(Lines(machine, log.LogFilePath()).size(), static_cast<std::size_t>(kThreads / 2));
    for (int t = 0; t < kThreads; t += 2) {
      EXPECT_EQ(paths[static_cast<std::size_t>(t)], log.LogFilePath());
    }
  }
}

}  // namespace
}  // namespace qv
