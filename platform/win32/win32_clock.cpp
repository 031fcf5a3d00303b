#include "platform/win32/win32_clock.h"

#include <windows.h>

#include <ctime>

namespace qv {

std::int64_t CWin32Clock::Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::tm CWin32Clock::ToLocalTime(std::int64_t seconds) {
  const auto value = static_cast<std::time_t>(seconds);
  std::tm result{};
  if (localtime_s(&result, &value) != 0) result = std::tm{};
  return result;
}

void CWin32Clock::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint32_t CWin32Clock::TickCount() { return ::GetTickCount(); }

}  // namespace qv
