// The colours of the skin: what the pages, the skinned buttons, tabs, links and pictures and the
// markup lists draw with, in the user's colour mode.
//
//   light     the skin's own palette (white pages, blue buttons);
//   dark      Windows' dark app mode (AppsUseLightTheme 0 under HKCU, key
//             Software\Microsoft\Windows\CurrentVersion\Themes\Personalize): a dark palette
//             of ours, every text at 4.5:1 or more against what it is drawn on (WCAG 2.1), and a
//             dark title bar where the system has one (DWMWA_USE_IMMERSIVE_DARK_MODE);
//   contrast  a contrast theme is on (SPI_GETHIGHCONTRAST): the system's colours (GetSysColor)
//             and nothing of the skin's palette; colour that carried a meaning becomes plain text.
//
// Code names a colour by its role (SKIN_COLOUR); Colour() gives it in the mode of the moment. The
// main window asks the system again when its colours or settings change (WM_SYSCOLORCHANGE,
// WM_SETTINGCHANGE, WM_THEMECHANGED) and repaints everything. Used on the windows' thread only.
#pragma once

#include <windows.h>

#include <array>

#include "controls/list_colours.h"

namespace qv::ui {

enum class COLOUR_MODE { kLight, kDark, kContrast };

enum class SKIN_COLOUR {
  kWindow,            // the pages' background
  kText,              // labels
  kTitleText,         // headings and titles
  kAccentText,        // step labels, section captions, a hovered option
  kWarningText,       // text in red: a bad health word, the unattended repair's notes
  kSeparatorText,     // the "|" between the navigation buttons
  kLine,              // the header and separator lines
  kPageLine,          // the lines across the tool pages and the scan page
  kButton,            // a skinned button's face
  kButtonDown,        // ... pressed
  kButtonOff,         // ... disabled
  kButtonEdge,        // ... its outline
  kButtonText,        // its caption
  kButtonDownText,    // ... pressed
  kButtonTextOff,     // a disabled button's or tab's caption
  kNavSelectedFace,   // the tab of the page shown
  kNavSelectedEdge,
  kNavSelectedText,
  kNavBar,            // the bar at its foot
  kLink,
  kLinkOff,
  kAttentionBack,     // the results page's "Attention!" heading
  kAttentionText,
  kGood,              // the health pictures: a tick, a cross, a question mark in a circle
  kBad,
  kNeutral,
  kPictureMark,       // the mark in the circle
  kRingOuter,         // the corner picture's rings
  kRingMiddle,
  kRingInner,
  kListFrame,         // the frame behind the scan page's list
  kAnimationLit,      // the scanning animation's lit dot and the others
  kAnimationDim,
  kCount,
};

struct SKIN_PALETTE {
  COLOUR_MODE mode = COLOUR_MODE::kLight;
  std::array<COLORREF, static_cast<std::size_t>(SKIN_COLOUR::kCount)> colours{};
  LIST_COLOURS list = kLightListColours;
  [[nodiscard]] COLORREF operator[](SKIN_COLOUR role) const {
    return colours[static_cast<std::size_t>(role)];
  }
};

// The mode the system asks for: contrast when a contrast theme is on, dark when apps are to use
// the dark mode, otherwise light.
[[nodiscard]] COLOUR_MODE SystemColourMode();
// The palette of a mode; the contrast palette is read from the system's colours now.
[[nodiscard]] SKIN_PALETTE PaletteFor(COLOUR_MODE mode);

// The palette of the moment (light until first read), and reading it again from the system.
[[nodiscard]] const SKIN_PALETTE& CurrentPalette();
void ReadSystemPalette();
[[nodiscard]] inline COLORREF Colour(SKIN_COLOUR role) { return CurrentPalette()[role]; }

// A standard control (check box, list view and its header, scroll bar, a list's own scroll bars)
// in the contrast mode drawn without the visual style, with the system's colours only: some
// styles (Wine's among them) keep their own greys and whites when a contrast theme is on. In
// the other modes the control gets its visual style back.
void ApplyControlLook(HWND control);

// The window's title bar dark in the dark mode, as the system draws it, where it can; light
// otherwise.
void ApplyTitleBarMode(HWND window);

}  // namespace qv::ui
