// The real clock: time(), localtime_s(), Sleep() and GetTickCount().
#pragma once

#include "platform/clock.h"

namespace qv {

class CWin32Clock final : public IClock {
 public:
  [[nodiscard]] std::int64_t Now() override;
  [[nodiscard]] std::tm ToLocalTime(std::int64_t seconds) override;
  void Sleep(std::uint32_t milliseconds) override;
  [[nodiscard]] std::uint32_t TickCount() override;
};

}  // namespace qv
