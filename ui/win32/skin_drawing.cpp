// The drawing primitives of the skin (skin_drawing.h). They draw into the device context they
// are given, with brushes and pens they make and release themselves.
#include "ui/win32/skin_drawing.h"

#include "ui/win32/skin_palette.h"

namespace qv::ui {

void FillRect(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

void RoundRect(HDC dc, const RECT& rect, COLORREF fill, COLORREF edge, int radius) {
  HBRUSH brush = ::CreateSolidBrush(fill);
  HPEN pen = ::CreatePen(PS_SOLID, 1, edge);
  HGDIOBJ oldBrush = ::SelectObject(dc, brush);
  HGDIOBJ oldPen = ::SelectObject(dc, pen);
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(brush);
  ::DeleteObject(pen);
}

FONT_SPEC CaptionFont(CONTROL_LOOK look, const LABEL_STYLE& style) {
  switch (look) {
    case CONTROL_LOOK::kNavButton: return FONT_SPEC{9, true};
    case CONTROL_LOOK::kLink: return FONT_SPEC{8, false};
    case CONTROL_LOOK::kButton:
    case CONTROL_LOOK::kLargeButton:
      if (style.font != FONT_SPEC{}) return style.font;
      return FONT_SPEC{look == CONTROL_LOOK::kLargeButton ? 12 : 9, true};
    case CONTROL_LOOK::kLabel:
    case CONTROL_LOOK::kCheck:
    case CONTROL_LOOK::kPicture: break;
  }
  return style.font;
}

void DrawFocusFrame(HDC dc, const RECT& frame, COLORREF colour) {
  if (CurrentPalette().mode != COLOUR_MODE::kContrast) {
    ::DrawFocusRect(dc, &frame);
    return;
  }
  for (int x = frame.left; x < frame.right; x += 2) {
    ::SetPixel(dc, x, frame.top, colour);
    ::SetPixel(dc, x, frame.bottom - 1, colour);
  }
  for (int y = frame.top; y < frame.bottom; y += 2) {
    ::SetPixel(dc, frame.left, y, colour);
    ::SetPixel(dc, frame.right - 1, y, colour);
  }
}

void DrawCaption(HDC dc, const RECT& rect, std::wstring_view text, HFONT font, COLORREF colour,
                 UINT format) {
  HGDIOBJ old = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colour);
  RECT box = rect;
  ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box, format);
  ::SelectObject(dc, old);
}

}  // namespace qv::ui
