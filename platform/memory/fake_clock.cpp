#include "platform/memory/fake_clock.h"

#include <numeric>

namespace qv {

CFakeClock::CFakeClock(std::int64_t now, std::uint32_t ticks) : m_nowMs(now * 1000), m_ticks(ticks) {}

std::int64_t CFakeClock::Now() {
  std::lock_guard lock(m_lock);
  // Floor division, so instants before 1970 land in the right second.
  return m_nowMs >= 0 ? m_nowMs / 1000 : -((-m_nowMs + 999) / 1000);
}

std::tm CFakeClock::ToLocalTime(std::int64_t seconds) { return BreakDownUtc(seconds); }

void CFakeClock::Sleep(std::uint32_t milliseconds) {
  std::lock_guard lock(m_lock);
  m_sleeps.push_back(milliseconds);
  m_nowMs += milliseconds;
  m_ticks += milliseconds;
}

std::uint32_t CFakeClock::TickCount() {
  std::lock_guard lock(m_lock);
  return m_ticks;
}

void CFakeClock::SetNow(std::int64_t seconds) {
  std::lock_guard lock(m_lock);
  m_nowMs = seconds * 1000;
}

void CFakeClock::Advance(std::uint32_t milliseconds) {
  std::lock_guard lock(m_lock);
  m_nowMs += milliseconds;
  m_ticks += milliseconds;
}

void CFakeClock::SetTickCount(std::uint32_t ticks) {
  std::lock_guard lock(m_lock);
  m_ticks = ticks;
}

std::vector<std::uint32_t> CFakeClock::Sleeps() {
  std::lock_guard lock(m_lock);
  return m_sleeps;
}

std::uint64_t CFakeClock::TotalSleptMilliseconds() {
  std::lock_guard lock(m_lock);
  return std::accumulate(m_sleeps.begin(), m_sleeps.end(), std::uint64_t{0});
}

std::tm CFakeClock::BreakDownUtc(std::int64_t seconds) {
  constexpr std::int64_t kDay = 86400;
  std::int64_t days = seconds / kDay;
  std::int64_t rest = seconds % kDay;
  if (rest < 0) {
    rest += kDay;
    --days;
  }
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar, eras of 400 years).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);

  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

  std::tm result{};
  result.tm_year = static_cast<int>(year - 1900);
  result.tm_mon = static_cast<int>(month - 1);
  result.tm_mday = static_cast<int>(day);
  result.tm_hour = static_cast<int>(rest / 3600);
  result.tm_min = static_cast<int>(rest % 3600 / 60);
  result.tm_sec = static_cast<int>(rest % 60);
  result.tm_wday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  result.tm_yday = kDaysBefore[month - 1] + static_cast<int>(day) - 1 + ((leap && month > 2) ? 1 : 0);
  result.tm_isdst = 0;
  return result;
}

}  // namespace qv
