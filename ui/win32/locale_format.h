// Numbers and dates in the windows as the user's locale writes them (the console keeps its own
// documented formats for scripts): counts with the locale's digit grouping ("1.234" in German),
// dates and times in its short date and its time without seconds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/schedule.h"

namespace qv::ui {

// A whole number with the locale's grouping and minus sign; plain decimal when the locale cannot
// be asked.
[[nodiscard]] std::wstring LocaleNumber(std::int64_t value);

// The locale's short date ("8.12.2026"), or M/D/YYYY when the locale cannot write it.
[[nodiscard]] std::wstring LocaleShortDate(unsigned year, unsigned month, unsigned day);
// The short date and the time, without seconds unless asked ("8.12.2026 07:53"); empty when the
// locale cannot write them.
[[nodiscard]] std::wstring LocaleDateTime(const SYSTEMTIME& time, bool seconds = false);

// The last-scan text of the pages from the stored one ("dd-mm-yyyy HH:MM:SS", "-1" for none):
// kNeverScanned in the user's language, the scan's start in the locale, or the stored text as it
// is when it has another form.
[[nodiscard]] std::wstring LocaleLastScanText(std::wstring_view stored);
// A file time (UTC, 100-nanosecond units) as local date and time, with seconds, in the locale.
[[nodiscard]] std::wstring LocaleFileTime(std::uint64_t fileTime);

// Our trigger descriptions in the user's language with dates in the locale.
[[nodiscard]] TRIGGER_WORDING LocaleTriggerWording();

}  // namespace qv::ui
