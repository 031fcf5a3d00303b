#include "state/time_format.h"

#include <array>

#include "state/state_texts.h"

namespace qv {
namespace {

constexpr std::array<std::wstring_view, 12> kMonths = {
    L"January", L"February", L"March",     L"April",   L"May",      L"June",
    L"July",    L"August",   L"September", L"October", L"November", L"December"};
constexpr std::array<std::wstring_view, 12> kShortMonths = {
    L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
constexpr std::array<std::wstring_view, 7> kDays = {
    L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
constexpr std::array<std::wstring_view, 7> kShortDays = {L"Sun", L"Mon", L"Tue", L"Wed",
                                                         L"Thu", L"Fri", L"Sat"};

template <std::size_t N>
std::wstring_view Name(const std::array<std::wstring_view, N>& names, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= N) return L"?";
  return names[static_cast<std::size_t>(index)];
}

// Decimal, at least `width` digits with leading zeros; negative numbers keep their sign.
void AppendNumber(std::wstring* out, long long value, int width) {
  std::wstring digits;
  const bool negative = value < 0;
  unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  while (digits.size() < static_cast<std::size_t>(width)) digits.insert(digits.begin(), L'0');
  if (negative) out->push_back(L'-');
  *out += digits;
}

}  // namespace

std::wstring_view ShortMonthName(int month) {
  if (month < 1 || month > 12) return {};
  return kShortMonths[static_cast<std::size_t>(month - 1)];
}

std::wstring FormatTime(std::wstring_view format, const std::tm& time) {
  std::wstring out;
  out.reserve(format.size() + 16);
  for (std::size_t i = 0; i < format.size(); ++i) {
    const wchar_t c = format[i];
    if (c != L'%' || i + 1 == format.size()) {
      out.push_back(c);
      continue;
    }
    const wchar_t conversion = format[++i];
    const long long year = 1900LL + time.tm_year;
    switch (conversion) {
      case L'A': out += Name(kDays, time.tm_wday); break;
      case L'a': out += Name(kShortDays, time.tm_wday); break;
      case L'B': out += Name(kMonths, time.tm_mon); break;
      case L'b': out += Name(kShortMonths, time.tm_mon); break;
      case L'd': AppendNumber(&out, time.tm_mday, 2); break;
      case L'm': AppendNumber(&out, time.tm_mon + 1LL, 2); break;
      case L'Y': AppendNumber(&out, year, 1); break;
      case L'y': AppendNumber(&out, ((year % 100) + 100) % 100, 2); break;
      case L'H': AppendNumber(&out, time.tm_hour, 2); break;
      case L'I': {
        const int hour12 = time.tm_hour % 12;
        AppendNumber(&out, hour12 == 0 ? 12 : hour12, 2);
        break;
      }
      case L'M': AppendNumber(&out, time.tm_min, 2); break;
      case L'S': AppendNumber(&out, time.tm_sec, 2); break;
      case L'p': out += time.tm_hour < 12 ? kAm : kPm; break;
      case L'%': out.push_back(L'%'); break;
      default:
        out.push_back(L'%');
        out.push_back(conversion);
        break;
    }
  }
  return out;
}

}  // namespace qv
