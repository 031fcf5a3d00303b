#include "controls/win32/gdi_canvas.h"

// after windows.h: it needs its declarations
#include <shlwapi.h>

#include <algorithm>
#include <vector>

namespace qv {

namespace {

constexpr int kBoldWeight = 700;
constexpr int kNormalWeight = 400;

int Length(std::wstring_view text) {
  return static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
}

}  // namespace

CGdiCanvas::CGdiCanvas(HDC dc, HFONT baseFont, int deviceWidth)
    : m_dc(dc), m_deviceWidth(deviceWidth), m_baseSelection(dc, baseFont) {}

CGdiCanvas::~CGdiCanvas() { DropDerivedFonts(); }

void CGdiCanvas::DropDerivedFonts() noexcept {
  // None of them is selected: TextExtent and DrawWord put the current font back before they
  // return.
  for (CGdiObject& font : m_fonts) font.reset();
  m_derivedFrom = nullptr;
}

HFONT CGdiCanvas::DerivedFont(MARKUP_FONT key) {
  const HGDIOBJ current = GetCurrentObject(m_dc, OBJ_FONT);
  if (current != m_derivedFrom) {
    DropDerivedFonts();
    m_derivedFrom = current;
  }
  CGdiObject& font = m_fonts[key % kMarkupFontCombinations];
  if (!font) {
    LOGFONTW base{};
    if (current == nullptr || GetObjectW(current, sizeof(base), &base) == 0) return nullptr;
    base.lfWeight = (key & kMarkupBold) != 0 ? kBoldWeight : kNormalWeight;
    base.lfItalic = (key & kMarkupItalic) != 0 ? TRUE : FALSE;
    base.lfUnderline = (key & kMarkupUnderline) != 0 ? TRUE : FALSE;
    if ((key & (kMarkupSubscript | kMarkupSuperscript)) != 0)
      base.lfHeight = base.lfHeight * 7 / 10;
    font.reset(CreateFontIndirectW(&base));
  }
  return static_cast<HFONT>(font.get());
}

MARKUP_SIZE CGdiCanvas::Extent(std::wstring_view text) const {
  if (text.empty()) {
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(m_dc, &metrics)) return {};
    return {0, static_cast<int>(metrics.tmHeight)};
  }
  SIZE size{};
  if (!GetTextExtentPoint32W(m_dc, text.data(), Length(text), &size)) return {};
  return {static_cast<int>(size.cx), static_cast<int>(size.cy)};
}

MARKUP_SIZE CGdiCanvas::BaseTextExtent(std::wstring_view text) { return Extent(text); }

MARKUP_SIZE CGdiCanvas::TextExtent(MARKUP_FONT font, std::wstring_view text) {
  const CSelectedObject selected(m_dc, DerivedFont(font));
  return Extent(text);
}

void CGdiCanvas::DrawWord(MARKUP_FONT font, MARKUP_COLOR color, std::wstring_view word,
                          const MARKUP_RECT& box, unsigned format) {
  if (word.empty()) return;
  const CSelectedObject selected(m_dc, DerivedFont(font));
  // Every character advances by exactly what the layout measured: a renderer whose glyph
  // advances differ from its extents (as with substituted fonts under Wine) would otherwise
  // crowd a long word or leave a gap after it.
  const int length = Length(word);
  std::vector<INT> partial(static_cast<std::size_t>(length));
  SIZE size{};
  if (!GetTextExtentExPointW(m_dc, word.data(), length, 0, nullptr, partial.data(), &size)) {
    return;
  }
  std::vector<INT> advances(partial.size());
  for (std::size_t i = 0; i < partial.size(); ++i) {
    advances[i] = partial[i] - (i == 0 ? 0 : partial[i - 1]);
  }
  int y = box.top;
  if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0) {
    y = box.bottom - static_cast<int>(size.cy);
  } else if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0) {
    y = box.top + (box.bottom - box.top - static_cast<int>(size.cy)) / 2;
  }
  const MARKUP_COLOR shown =
      m_colours != nullptr ? ShownMarkupColour(*m_colours, color, m_selectedRow) : color;
  const COLORREF oldColor = SetTextColor(m_dc, static_cast<COLORREF>(shown));
  const int oldMode = SetBkMode(m_dc, TRANSPARENT);
  const UINT oldAlign = SetTextAlign(m_dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  ExtTextOutW(m_dc, box.left, y, 0, nullptr, word.data(), static_cast<UINT>(length),
              advances.data());
  if (oldAlign != GDI_ERROR) SetTextAlign(m_dc, oldAlign);
  if (oldMode != 0) SetBkMode(m_dc, oldMode);
  if (oldColor != CLR_INVALID) SetTextColor(m_dc, oldColor);
}

void CGdiCanvas::EndMarkupText() {
  if (GetCurrentObject(m_dc, OBJ_FONT) != m_derivedFrom) DropDerivedFonts();
}

MARKUP_POINT CGdiCanvas::CurrentPosition() const {
  POINT position{};
  if (!GetCurrentPositionEx(m_dc, &position)) return {};
  return {static_cast<int>(position.x), static_cast<int>(position.y)};
}

MARKUP_COLOR CGdiCanvas::TextColor() const {
  const COLORREF color = GetTextColor(m_dc);
  return color == CLR_INVALID ? MarkupRgb(0, 0, 0) : static_cast<MARKUP_COLOR>(color);
}

std::wstring CGdiCanvas::CompactPath(std::wstring_view text, int width) {
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  const std::size_t length = std::min<std::size_t>(text.size(), MAX_PATH - 1);
  std::copy_n(text.begin(), length, buffer.begin());
  if (!PathCompactPathW(m_dc, buffer.data(), static_cast<UINT>(std::max(0, width)))) {
    return std::wstring(text.substr(0, length));
  }
  return std::wstring(buffer.data());
}

}  // namespace qv
