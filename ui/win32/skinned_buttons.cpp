// How the skin paints its owner-drawn controls (CBaseDlg::DrawItem): skinned buttons, the large
// start-scan button, navigation and tab buttons, links, the pictures' background and the
// keyboard focus's frame, in the colours of the user's colour mode. It draws into the item's
// device context and touches nothing else.
#include "ui/win32/framework.h"

#include <string>

#include "ui/win32/skin_drawing.h"

namespace qv::ui {

void CBaseDlg::DrawItem(const DRAWITEMSTRUCT& item) {
  const int id = static_cast<int>(item.CtlID);
  const auto found = m_looks.find(id);
  if (found == m_looks.end()) return;
  HDC dc = item.hDC;
  const RECT& rect = item.rcItem;
  if (found->second == CONTROL_LOOK::kPicture) {
    FillRect(dc, rect, Colour(SKIN_COLOUR::kWindow));
    DrawPicture(id, dc, rect);
    return;
  }
  const std::wstring text = ItemText(id);
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const LABEL_STYLE& style = m_styles[id];
  const int dpi = Dpi();
  const int line = m_scale.Line();
  const auto colour = [](SKIN_COLOUR role) { return Colour(role); };
  FillRect(dc, rect, colour(SKIN_COLOUR::kWindow));
  switch (found->second) {
    case CONTROL_LOOK::kLink: {
      HFONT font = TahomaFont(CaptionFont(found->second, style), dpi);
      const COLORREF link = colour(disabled ? SKIN_COLOUR::kLinkOff : SKIN_COLOUR::kLink);
      DrawCaption(dc, rect, text, font, link, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
      // The underline, as wide as the text.
      HGDIOBJ old = ::SelectObject(dc, font);
      SIZE extent{};
      ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      ::SelectObject(dc, old);
      const int y = (rect.top + rect.bottom + extent.cy) / 2 - line;
      RECT underline{rect.left, y, rect.left + extent.cx, y + line};
      FillRect(dc, underline, link);
      break;
    }
    case CONTROL_LOOK::kNavButton: {
      const bool selected = m_selected[id];
      if (selected) {
        RoundRect(dc, rect, colour(SKIN_COLOUR::kNavSelectedFace),
                  colour(SKIN_COLOUR::kNavSelectedEdge), m_scale(6));
        RECT bar{rect.left + m_scale(4), rect.bottom - m_scale(4), rect.right - m_scale(4),
                 rect.bottom - m_scale(1)};
        FillRect(dc, bar, colour(SKIN_COLOUR::kNavBar));
      } else {
        const COLORREF face = colour(pressed ? SKIN_COLOUR::kButtonDown : SKIN_COLOUR::kButton);
        RoundRect(dc, rect, face, pressed ? face : colour(SKIN_COLOUR::kButtonEdge), m_scale(6));
      }
      const SKIN_COLOUR caption = disabled   ? SKIN_COLOUR::kButtonTextOff
                                  : selected ? SKIN_COLOUR::kNavSelectedText
                                  : pressed  ? SKIN_COLOUR::kButtonDownText
                                             : SKIN_COLOUR::kButtonText;
      DrawCaption(dc, rect, text, TahomaFont(CaptionFont(found->second, style), dpi),
                  colour(caption), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    default: {
      const bool large = found->second == CONTROL_LOOK::kLargeButton;
      const COLORREF fill = colour(disabled  ? SKIN_COLOUR::kButtonOff
                                   : pressed ? SKIN_COLOUR::kButtonDown
                                             : SKIN_COLOUR::kButton);
      RoundRect(dc, rect, fill, pressed ? fill : colour(SKIN_COLOUR::kButtonEdge),
                m_scale(large ? 12 : 6));
      const SKIN_COLOUR caption = disabled ? SKIN_COLOUR::kButtonTextOff
                                  : pressed ? SKIN_COLOUR::kButtonDownText
                                            : SKIN_COLOUR::kButtonText;
      DrawCaption(dc, rect, text, TahomaFont(CaptionFont(found->second, style), dpi),
                  colour(caption), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    }
  }
  if (focused && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT inner = rect;
    ::InflateRect(&inner, -m_scale(3), -m_scale(3));
    DrawFocusFrame(dc, inner, found->second == CONTROL_LOOK::kLink
                                  ? Colour(SKIN_COLOUR::kLink)
                                  : Colour(SKIN_COLOUR::kButtonText));
  }
}

}  // namespace qv::ui
