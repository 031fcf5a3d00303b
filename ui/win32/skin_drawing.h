// The drawing primitives of the skin, shared by its controls and pictures: a filled rectangle,
// a rounded rectangle, a caption, the keyboard focus's frame, and the font each look of control
// shows its caption in. They draw into the device context they are given and touch nothing else.
#pragma once

#include <windows.h>

#include <string_view>

#include "ui/win32/framework.h"

namespace qv::ui {

void FillRect(HDC dc, const RECT& rect, COLORREF colour);
void RoundRect(HDC dc, const RECT& rect, COLORREF fill, COLORREF edge, int radius);
void DrawCaption(HDC dc, const RECT& rect, std::wstring_view text, HFONT font, COLORREF colour,
                 UINT format);
// The keyboard focus's dotted frame. The system's inverts what is under it, which under a
// contrast theme gives colours of no theme: there every other pixel is in `colour` instead.
void DrawFocusFrame(HDC dc, const RECT& frame, COLORREF colour);
// The font a control shows its text in: a label's own; a button's caption bold (larger on the
// large button) unless the style gives one; a navigation or tab button's bold; a link's plain.
// The control is given this font, so what measures its text (the system, a screen reader, a
// test) measures what is drawn.
[[nodiscard]] FONT_SPEC CaptionFont(CONTROL_LOOK look, const LABEL_STYLE& style);

}  // namespace qv::ui
