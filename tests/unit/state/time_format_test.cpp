#include "state/time_format.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

std::tm MakeTime(int year, int month, int day, int hour, int minute, int second, int weekday) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_wday = weekday;
  return t;
}

TEST(FormatTime, ConversionsGiveEnglishNamesAndPaddedNumbers) {
  // Sunday 6 December 2026, 18:31:14.
  const std::tm evening = MakeTime(2026, 12, 6, 18, 31, 14, 0);
  // Thursday 1 January 2009, 00:05:09.
  const std::tm midnight = MakeTime(2009, 1, 1, 0, 5, 9, 4);
  // Wednesday 15 July 2026, 12:00:00.
  const std::tm noon = MakeTime(2026, 7, 15, 12, 0, 0, 3);
  struct Case {
    const wchar_t* format;
    const std::tm* time;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"RCBak_%B_%d_%y_%H_%M_%S.reg", &evening, L"RCBak_December_06_26_18_31_14.reg"},
      {L"%m_%d_%Y_%H_%M_%S_%p", &evening, L"12_06_2026_18_31_14_PM"},
      {L"%m/%d/%Y %H:%M:%S %p:", &evening, L"12/06/2026 18:31:14 PM:"},
      {L"%d-%m-%Y %H:%M:%S", &midnight, L"01-01-2009 00:05:09"},
      {L"%A %a %B %b", &evening, L"Sunday Sun December Dec"},
      {L"%A %a %B %b", &midnight, L"Thursday Thu January Jan"},
      {L"%y", &midnight, L"09"},
      {L"%I %p", &midnight, L"12 AM"},
      {L"%I %p", &noon, L"12 PM"},
      {L"%I %p", &evening, L"06 PM"},
      {L"100%% %q %", &noon, L"100% %q %"},
      {L"", &noon, L""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatTime(c.format, *c.time), c.expected) << c.format;
  }
}

TEST(FormatTime, EveryMonthAndWeekdayNameAndOutOfRangeFields) {
  const wchar_t* months[] = {L"January", L"February", L"March",     L"April",
                             L"May",     L"June",     L"July",      L"August",
                             L"September", L"October", L"November", L"December"};
  const wchar_t* days[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                           L"Thursday", L"Friday", L"Saturday"};
  std::tm t = MakeTime(2026, 1, 1, 0, 0, 0, 0);
  for (int m = 0; m < 12; ++m) {
    t.tm_mon = m;
    EXPECT_EQ(FormatTime(L"%B", t), months[m]);
    EXPECT_EQ(FormatTime(L"%b", t), std::wstring(months[m]).substr(0, 3));
    EXPECT_EQ(ShortMonthName(m + 1), std::wstring(months[m]).substr(0, 3));
  }
  for (int d = 0; d < 7; ++d) {
    t.tm_wday = d;
    EXPECT_EQ(FormatTime(L"%A", t), days[d]);
  }
  t.tm_mon = 12;
  t.tm_wday = -1;
  EXPECT_EQ(FormatTime(L"%B %b %A %a", t), L"? ? ? ?");
  EXPECT_EQ(ShortMonthName(0), L"");
  EXPECT_EQ(ShortMonthName(13), L"");
}

}  // namespace
}  // namespace qv
