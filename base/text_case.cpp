#include "base/text_case.h"

#include <cstddef>
#include <cstdint>

#include "base/utf16.h"

namespace qv {
namespace {

struct CASE_RUN {
  std::uint16_t first;
  std::uint16_t last;
  std::uint16_t stride;
  std::int32_t delta;
};

#include "base/case_table.inc"

template <std::size_t N>
std::uint32_t MapUnit(const CASE_RUN (&runs)[N], std::uint32_t u) {
  // The last run that starts at or before u.
  std::size_t low = 0;
  std::size_t high = N;
  while (low < high) {
    const std::size_t mid = (low + high) / 2;
    if (runs[mid].first <= u) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low == 0) return u;
  const CASE_RUN& run = runs[low - 1];
  if (u > run.last || (u - run.first) % run.stride != 0) return u;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(u) + run.delta);
}

std::uint32_t UpperUnit(std::uint32_t u) {
  if (u < 0x80) return (u >= 'a' && u <= 'z') ? u - 0x20 : u;
  return u > 0xFFFF ? u : MapUnit(kUpperRuns, u);
}

std::uint32_t LowerUnit(std::uint32_t u) {
  if (u < 0x80) return (u >= 'A' && u <= 'Z') ? u + 0x20 : u;
  return u > 0xFFFF ? u : MapUnit(kLowerRuns, u);
}

}  // namespace

wchar_t ToUpperChar(wchar_t c) {
  return static_cast<wchar_t>(UpperUnit(static_cast<std::uint32_t>(c)));
}

wchar_t ToLowerChar(wchar_t c) {
  return static_cast<wchar_t>(LowerUnit(static_cast<std::uint32_t>(c)));
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = ToUpperChar(c);
  return result;
}

std::wstring ToLower(std::wstring_view text) {
  std::wstring result(text);
  for (wchar_t& c : result) c = ToLowerChar(c);
  return result;
}

void FoldCaseInto(std::wstring_view name, std::u16string* folded) {
  folded->clear();
  folded->reserve(name.size());
  for (const wchar_t c : name) {
    const auto code = static_cast<std::uint32_t>(c);
    if constexpr (sizeof(wchar_t) > 2) {
      if (code > 0xFFFF && code <= 0x10FFFF) {
        // A surrogate pair, as UTF-16 holds it; surrogates have no case.
        folded->push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
        folded->push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        continue;
      }
    }
    folded->push_back(static_cast<char16_t>(UpperUnit(code & 0xFFFF)));
  }
}

std::u16string FoldCase(std::wstring_view name) {
  std::u16string units;
  FoldCaseInto(name, &units);
  return units;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && ToUpperChar(a[i]) != ToUpperChar(b[i])) return false;
  }
  return true;
}

wchar_t ToLowerAsciiChar(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
}

std::wstring ToLowerAscii(std::wstring_view text) {
  std::wstring lowered(text);
  for (wchar_t& c : lowered) c = ToLowerAsciiChar(c);
  return lowered;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAsciiChar(a[i]) != ToLowerAsciiChar(b[i])) return false;
  }
  return true;
}

}  // namespace qv
