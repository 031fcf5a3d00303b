// Time: the wall clock, local broken-down time, sleeping and the tick counter. Tests use a fake
// clock so waits take no time and can still be checked.
#pragma once

#include <cstdint>
#include <ctime>

namespace qv {

class IClock {
 public:
  virtual ~IClock() = default;
  // Seconds since 1970-01-01 UTC (time()).
  [[nodiscard]] virtual std::int64_t Now() = 0;
  // The local broken-down time of those seconds (localtime()): tm_year is years since 1900,
  // tm_mon 0-11, tm_wday 0 = Sunday.
  [[nodiscard]] virtual std::tm ToLocalTime(std::int64_t seconds) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  [[nodiscard]] virtual std::uint32_t TickCount() = 0;
};

}  // namespace qv
