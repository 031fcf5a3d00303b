#include "platform/system_restore.h"

#include <algorithm>

namespace qv {
namespace {

// Reads `count` decimal digits at `at`; false when one is not a digit.
bool ReadDigits(std::wstring_view text, std::size_t at, std::size_t count, int* value) {
  int result = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return false;
    result = result * 10 + (text[i] - L'0');
  }
  *value = result;
  return true;
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yoe = year - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

RESTORE_POINT_OUTCOME JudgeAcceptedRequest(
    const std::optional<std::vector<LISTED_RESTORE_POINT>>& before, std::int64_t sequenceNumber) {
  RESTORE_POINT_OUTCOME outcome;
  outcome.sequenceNumber = sequenceNumber;
  outcome.result = RESTORE_POINT_RESULT::kReused;
  if (!before) return outcome;  // nothing to compare with: no new point is claimed
  const auto newest = std::max_element(
      before->begin(), before->end(), [](const LISTED_RESTORE_POINT& a, const LISTED_RESTORE_POINT& b) {
        return a.sequenceNumber < b.sequenceNumber;
      });
  if (newest == before->end() || sequenceNumber > newest->sequenceNumber) {
    outcome.result = RESTORE_POINT_RESULT::kCreated;
    return outcome;
  }
  for (const LISTED_RESTORE_POINT& point : *before) {
    if (point.sequenceNumber == sequenceNumber) outcome.time = point.time;
  }
  return outcome;
}

bool ParseWmiDateTime(std::wstring_view text, std::int64_t* seconds) {
  // yyyymmddHHMMSS.mmmmmmsUUU
  if (text.size() != 25 || text[14] != L'.' || (text[21] != L'+' && text[21] != L'-')) {
    return false;
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, micro = 0, offset = 0;
  if (!ReadDigits(text, 0, 4, &year) || !ReadDigits(text, 4, 2, &month) ||
      !ReadDigits(text, 6, 2, &day) || !ReadDigits(text, 8, 2, &hour) ||
      !ReadDigits(text, 10, 2, &minute) || !ReadDigits(text, 12, 2, &second) ||
      !ReadDigits(text, 15, 6, &micro) || !ReadDigits(text, 22, 3, &offset)) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  const std::int64_t local =
      DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  // The offset is how far the local time is ahead of UTC.
  *seconds = local - (text[21] == L'+' ? offset : -offset) * 60;
  return true;
}

}  // namespace qv
