// A clock for tests: time stands still until the test (or a Sleep) moves it, local time is UTC,
// and every Sleep is recorded so tests can check the waits without waiting.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace qv {

class CFakeClock final : public IClock {
 public:
  // 2011-06-15 10:30:00 UTC, a Wednesday.
  static constexpr std::int64_t kDefaultNow = 1308133800;

  explicit CFakeClock(std::int64_t now = kDefaultNow, std::uint32_t ticks = 100000);

  // IClock
  [[nodiscard]] std::int64_t Now() override;
  // Broken-down UTC (the fake's local time), with tm_wday, tm_yday and tm_isdst = 0 filled in.
  [[nodiscard]] std::tm ToLocalTime(std::int64_t seconds) override;
  // Returns at once: advances Now and TickCount by the milliseconds and records them.
  void Sleep(std::uint32_t milliseconds) override;
  [[nodiscard]] std::uint32_t TickCount() override;

  void SetNow(std::int64_t seconds);
  // Moves time on (wall clock and ticks) without recording a sleep.
  void Advance(std::uint32_t milliseconds);
  void SetTickCount(std::uint32_t ticks);
  // Every Sleep's length in call order, and their sum.
  [[nodiscard]] std::vector<std::uint32_t> Sleeps();
  [[nodiscard]] std::uint64_t TotalSleptMilliseconds();

  // The civil-calendar conversion used by ToLocalTime (no time zone, no locale).
  [[nodiscard]] static std::tm BreakDownUtc(std::int64_t seconds);

 private:
  std::mutex m_lock;
  std::int64_t m_nowMs;
  std::uint32_t m_ticks;
  std::vector<std::uint32_t> m_sleeps;
};

}  // namespace qv
