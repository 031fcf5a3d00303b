// The markup canvas over a Win32 device context: extents with GetTextExtentPoint32W, words drawn
// with ExtTextOutW in their colour on a transparent background, each character at the advance
// the extents gave, paths shortened with PathCompactPathW. Both list controls measure and paint
// their rows through it.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

#include "controls/html_list.h"
#include "controls/win32/gdi_handles.h"

namespace qv {

class CGdiCanvas final : public IListCanvas {
 public:
  // Selects the base font into the device context for the canvas's lifetime (the font it
  // replaced goes back when the canvas ends); a null font keeps the context's own. deviceWidth is
  // the width of what is drawn on, the limit of text laid out without a rectangle. The context
  // must outlive the canvas.
  CGdiCanvas(HDC dc, HFONT baseFont, int deviceWidth);
  ~CGdiCanvas() override;
  CGdiCanvas(const CGdiCanvas&) = delete;
  CGdiCanvas& operator=(const CGdiCanvas&) = delete;

  [[nodiscard]] MARKUP_SIZE BaseTextExtent(std::wstring_view text) override;
  [[nodiscard]] MARKUP_SIZE TextExtent(MARKUP_FONT font, std::wstring_view text) override;
  // The word in the key's font and the colour, from the box's top left, or at its bottom (or
  // middle) with kDtSingleLine and kDtBottom (kDtVCenter), as DrawTextW places it; never clipped
  // to the box, so an italic overhang stays whole. The context's colour, background mode and
  // text alignment are as before afterwards.
  void DrawWord(MARKUP_FONT font, MARKUP_COLOR color, std::wstring_view word,
                const MARKUP_RECT& box, unsigned format) override;
  // The derived fonts are kept across calls while the context's font stays the one they were
  // derived from; when it has changed they are deleted here and made again from the new one.
  void EndMarkupText() override;
  [[nodiscard]] MARKUP_POINT CurrentPosition() const override;
  [[nodiscard]] int DeviceWidth() const override { return m_deviceWidth; }
  [[nodiscard]] MARKUP_COLOR TextColor() const override;

  // From now on each word's colour is drawn as the list's colours show it on a row (selected or
  // not): ShownMarkupColour. Null: as written.
  void SetShownColours(const LIST_COLOURS* colours, bool selectedRow) {
    m_colours = colours;
    m_selectedRow = selectedRow;
  }

  // PathCompactPathW in the context's current font. A text of MAX_PATH characters or more (which
  // PathCompactPathW cannot take) is cut to MAX_PATH - 1 first.
  [[nodiscard]] std::wstring CompactPath(std::wstring_view text, int width) override;

 private:
  // The font of the key, derived from the context's current font; null when it cannot be made
  // (the text is then measured and drawn in the current font).
  [[nodiscard]] HFONT DerivedFont(MARKUP_FONT key);
  void DropDerivedFonts() noexcept;
  [[nodiscard]] MARKUP_SIZE Extent(std::wstring_view text) const;

  HDC m_dc;
  int m_deviceWidth;
  // The base font belongs to the caller; the canvas only selects it.
  CSelectedObject m_baseSelection;
  HGDIOBJ m_derivedFrom = nullptr;
  const LIST_COLOURS* m_colours = nullptr;
  bool m_selectedRow = false;
  std::array<CGdiObject, kMarkupFontCombinations> m_fonts;
};

}  // namespace qv
