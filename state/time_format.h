// strftime for the names in files and logs, with English month and day names and AM/PM whatever
// the locale, so a file name or log line is the same on every machine.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace qv {

// Conversions: %A %a (weekday name, full and short), %B %b (month name), %d (day 01-31),
// %m (month 01-12), %Y (year), %y (year 00-99), %H (hour 00-23), %I (hour 01-12), %M, %S,
// %p ("AM" for hours 0-11, else "PM"), %% ('%'). Any other conversion, and a '%' at the end, is
// copied as written. A name field outside its range (tm_mon not 0-11, tm_wday not 0-6) gives "?".
[[nodiscard]] std::wstring FormatTime(std::wstring_view format, const std::tm& time);

// "Jan" .. "Dec" for months 1-12, empty otherwise.
[[nodiscard]] std::wstring_view ShortMonthName(int month);

}  // namespace qv
