#include "ui/win32/locale_format.h"

#include <cwchar>

#include "base/language.h"
#include "base/text.h"
#include "state/state_texts.h"

namespace qv::ui {
namespace {

std::wstring LocaleInfo(LCTYPE type) {
  wchar_t text[16] = {};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 16) == 0) return {};
  return text;
}

// NUMBERFMT's grouping from the locale's: "3;0" (threes all the way) is 3, "3;2;0" is 32, "3"
// (one group, then none) is 30. The system's own GetNumberFormatEx is not asked to read it: Wine 8
// groups only the last three digits of "3;0".
UINT GroupingOf(const std::wstring& grouping) {
  UINT value = 0;
  bool repeats = false;
  for (std::size_t i = 0; i < grouping.size(); ++i) {
    const wchar_t c = grouping[i];
    if (c < L'0' || c > L'9') continue;
    if (c == L'0' && i + 1 == grouping.size() && i > 0) {
      repeats = true;
      break;
    }
    value = value * 10 + static_cast<UINT>(c - L'0');
  }
  return repeats || value == 0 ? value : value * 10;
}

bool SystemTimeOf(std::uint64_t fileTime, SYSTEMTIME* local) {
  FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  SYSTEMTIME time{};
  return ::FileTimeToSystemTime(&utc, &time) &&
         ::SystemTimeToTzSpecificLocalTime(nullptr, &time, local);
}

}  // namespace

std::wstring LocaleNumber(std::int64_t value) {
  const std::wstring digits = DecimalText(value);
  std::wstring thousand = LocaleInfo(LOCALE_STHOUSAND);
  std::wstring decimal = LocaleInfo(LOCALE_SDECIMAL);
  const std::wstring negative = LocaleInfo(LOCALE_INEGNUMBER);
  NUMBERFMTW format{};
  format.NumDigits = 0;
  // Whole numbers have no fraction to lead; Wine 8 writes 0 as nothing without it.
  format.LeadingZero = 1;
  format.Grouping = GroupingOf(LocaleInfo(LOCALE_SGROUPING));
  format.lpDecimalSep = decimal.data();
  format.lpThousandSep = thousand.data();
  format.NegativeOrder = negative.empty() ? 1 : static_cast<UINT>(ParseLeadingInt(negative));
  wchar_t text[64] = {};
  if (thousand.empty() || decimal.empty() ||
      ::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, text, 64) <= 1) {
    return digits;
  }
  return text;
}

std::wstring LocaleShortDate(unsigned year, unsigned month, unsigned day) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  wchar_t text[64] = {};
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 64,
                        nullptr) == 0) {
    return DecimalText(month) + L"/" + DecimalText(day) + L"/" + DecimalText(year);
  }
  return text;
}

std::wstring LocaleDateTime(const SYSTEMTIME& time, bool seconds) {
  wchar_t date[64] = {};
  wchar_t clock[64] = {};
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 64,
                        nullptr) == 0 ||
      ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, seconds ? 0 : TIME_NOSECONDS, &time, nullptr,
                        clock, 64) == 0) {
    return {};
  }
  return std::wstring(date) + L" " + clock;
}

std::wstring LocaleLastScanText(std::wstring_view stored) {
  if (stored.empty() || stored == kNoLastScan) return std::wstring(Tr(kNeverScanned));
  const std::wstring text(stored);
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (std::swscanf(text.c_str(), L"%d-%d-%d %d:%d:%d", &day, &month, &year, &hour, &minute,
                   &second) < 5 ||
      month < 1 || month > 12 || day < 1 || day > 31 || year < 1601 || year > 30827 || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return text;
  }
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wHour = static_cast<WORD>(hour);
  time.wMinute = static_cast<WORD>(minute);
  time.wSecond = static_cast<WORD>(second);
  const std::wstring shown = LocaleDateTime(time);
  return shown.empty() ? text : shown;
}

std::wstring LocaleFileTime(std::uint64_t fileTime) {
  SYSTEMTIME local{};
  if (!SystemTimeOf(fileTime, &local)) return {};
  return LocaleDateTime(local, /*seconds=*/true);
}

TRIGGER_WORDING LocaleTriggerWording() {
  TRIGGER_WORDING wording;
  wording.date = &LocaleShortDate;
  return wording;
}

}  // namespace qv::ui
