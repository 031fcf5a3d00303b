#include "platform/memory/text_case.h"

#include "platform/utf16.h"

namespace qv {

char16_t UpcaseUnit(char16_t u) {
  if (u < 0x80) return (u >= u'a' && u <= u'z') ? static_cast<char16_t>(u - 0x20) : u;
  if (u == 0xB5) return 0x39C;  // micro sign -> Greek capital mu
  if ((u >= 0xE0 && u <= 0xFE && u != 0xF7)) return static_cast<char16_t>(u - 0x20);
  if (u == 0xFF) return 0x178;
  // Latin Extended-A: pairs (even capital, odd small) with two runs shifted by one.
  if (u >= 0x100 && u <= 0x17F) {
    if (u == 0x131) return u'I';   // dotless i
    if (u == 0x17F) return u'S';   // long s
    if (u == 0x138 || u == 0x149) return u;
    const bool shifted = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
    if (shifted) return (u % 2 == 0) ? static_cast<char16_t>(u - 1) : u;
    return (u % 2 == 1) ? static_cast<char16_t>(u - 1) : u;
  }
  // Greek.
  if (u >= 0x3B1 && u <= 0x3CB && u != 0x3C2) return static_cast<char16_t>(u - 0x20);
  if (u == 0x3C2) return 0x3A3;  // final sigma
  if (u == 0x3AC) return 0x386;
  if (u >= 0x3AD && u <= 0x3AF) return static_cast<char16_t>(u - 0x25);
  if (u == 0x3CC) return 0x38C;
  if (u == 0x3CD || u == 0x3CE) return static_cast<char16_t>(u - 0x3F);
  // Cyrillic.
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 0x50);
  // Fullwidth Latin small letters.
  if (u >= 0xFF41 && u <= 0xFF5A) return static_cast<char16_t>(u - 0x20);
  return u;
}

std::u16string FoldCase(std::wstring_view name) {
  std::u16string units = ToUtf16(name);
  for (char16_t& u : units) u = UpcaseUnit(u);
  return units;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) { return FoldCase(a) == FoldCase(b); }

}  // namespace qv
