// What the markup layout needs of a device: text extents in the base font and in its 32 derived
// styles, and a way to draw one word. The Win32 list controls implement it over a device context;
// tests implement it with fixed character widths. Also the geometry, colour and format-flag types
// the layout and the list rows share.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

// Rectangle in device pixels; right and bottom are exclusive, as in Win32.
struct MARKUP_RECT {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  friend bool operator==(const MARKUP_RECT&, const MARKUP_RECT&) = default;
};

struct MARKUP_POINT {
  int x = 0;
  int y = 0;

  friend bool operator==(const MARKUP_POINT&, const MARKUP_POINT&) = default;
};

struct MARKUP_SIZE {
  int cx = 0;
  int cy = 0;
};

// A colour laid out as a Win32 COLORREF: 0x00BBGGRR.
using MARKUP_COLOR = std::uint32_t;

[[nodiscard]] constexpr MARKUP_COLOR MarkupRgb(int red, int green, int blue) {
  return static_cast<MARKUP_COLOR>(red & 0xFF) | (static_cast<MARKUP_COLOR>(green & 0xFF) << 8) |
         (static_cast<MARKUP_COLOR>(blue & 0xFF) << 16);
}

// The format flags of the text calls, with the values of the Win32 DT_ flags so that a Win32
// canvas hands them to DrawTextW unchanged. (Named kDt... because the Win32 headers define the
// DT_ names as macros.)
inline constexpr unsigned kDtTop = 0x0;
inline constexpr unsigned kDtLeft = 0x0;
inline constexpr unsigned kDtCenter = 0x1;
inline constexpr unsigned kDtRight = 0x2;
inline constexpr unsigned kDtVCenter = 0x4;
inline constexpr unsigned kDtBottom = 0x8;
inline constexpr unsigned kDtWordBreak = 0x10;
inline constexpr unsigned kDtSingleLine = 0x20;
inline constexpr unsigned kDtExpandTabs = 0x40;
inline constexpr unsigned kDtTabStop = 0x80;
inline constexpr unsigned kDtNoClip = 0x100;
inline constexpr unsigned kDtExternalLeading = 0x200;
inline constexpr unsigned kDtCalcRect = 0x400;
inline constexpr unsigned kDtNoPrefix = 0x800;
inline constexpr unsigned kDtEndEllipsis = 0x8000;

// The style key of a derived font: any combination of these bits, 0..31. The font of a key is
// the base font with weight 700 when bold (400 otherwise), italic and underline as set, and 7/10
// of the base height for subscript or superscript.
using MARKUP_FONT = unsigned;
inline constexpr MARKUP_FONT kMarkupBold = 0x01;
inline constexpr MARKUP_FONT kMarkupItalic = 0x02;
inline constexpr MARKUP_FONT kMarkupUnderline = 0x04;
inline constexpr MARKUP_FONT kMarkupSubscript = 0x08;
inline constexpr MARKUP_FONT kMarkupSuperscript = 0x10;
inline constexpr int kMarkupFontCombinations = 32;

class IMarkupCanvas {
 public:
  virtual ~IMarkupCanvas() = default;

  // Extent of the text in the device's current font (the base font). The height is the font's
  // line height, for an empty text too.
  [[nodiscard]] virtual MARKUP_SIZE BaseTextExtent(std::wstring_view text) = 0;
  // Extent of the text in the font of a style key. A canvas may create each key's font the first
  // time it is asked for and keep it until EndMarkupText.
  [[nodiscard]] virtual MARKUP_SIZE TextExtent(MARKUP_FONT font, std::wstring_view text) = 0;
  // Draws one word (no white space in it) in the font of the key and the colour, inside the box,
  // as DrawTextW would with the format.
  virtual void DrawWord(MARKUP_FONT font, MARKUP_COLOR color, std::wstring_view word,
                        const MARKUP_RECT& box, unsigned format) = 0;
  // Called once at the end of every DrawMarkupText: the derived fonts may go, so the next call
  // derives them from the base font of that time.
  virtual void EndMarkupText() {}

  // Where drawing starts when no rectangle is given, the device width, and the text colour at the
  // start of a call.
  [[nodiscard]] virtual MARKUP_POINT CurrentPosition() const = 0;
  [[nodiscard]] virtual int DeviceWidth() const = 0;
  [[nodiscard]] virtual MARKUP_COLOR TextColor() const = 0;
};

}  // namespace qv
