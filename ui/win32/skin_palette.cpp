#include "ui/win32/skin_palette.h"

#include <uxtheme.h>

#include "platform/win32/system_library.h"

namespace qv::ui {
namespace {

using enum SKIN_COLOUR;

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kAppsUseLightTheme[] = L"AppsUseLightTheme";
constexpr wchar_t kDwmLibrary[] = L"dwmapi.dll";
constexpr wchar_t kThemeLibrary[] = L"uxtheme.dll";
// DWMWA_USE_IMMERSIVE_DARK_MODE: 20 from Windows 10 20H1, 19 before it; older systems refuse
// both, and the title bar stays as the system draws it.
constexpr DWORD kDwmDarkModeAttribute = 20;
constexpr DWORD kDwmDarkModeAttributeBefore20H1 = 19;

struct ROLE_COLOUR {
  SKIN_COLOUR role;
  COLORREF colour;
};

SKIN_PALETTE Build(COLOUR_MODE mode, std::initializer_list<ROLE_COLOUR> colours,
                   const LIST_COLOURS& list) {
  SKIN_PALETTE palette;
  palette.mode = mode;
  for (const ROLE_COLOUR& entry : colours) {
    palette.colours[static_cast<std::size_t>(entry.role)] = entry.colour;
  }
  palette.list = list;
  return palette;
}

// The skin as it always was.
SKIN_PALETTE LightPalette() {
  constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
  constexpr COLORREF kHeaderLine = RGB(0xBB, 0xCF, 0xF2);
  constexpr COLORREF kBlue = RGB(0x2F, 0x6F, 0xD0);
  constexpr COLORREF kOff = RGB(0xA8, 0xB4, 0xC8);
  constexpr COLORREF kRed = RGB(0xD0, 0x10, 0x10);
  return Build(COLOUR_MODE::kLight,
               {{kWindow, kWhite},
                {kText, RGB(0x20, 0x20, 0x20)},
                {kTitleText, RGB(0x37, 0x37, 0x37)},
                {kAccentText, kBlue},
                {kWarningText, kRed},
                {kSeparatorText, kHeaderLine},
                {kLine, kHeaderLine},
                {kPageLine, RGB(0xD2, 0xD2, 0xD2)},
                {kButton, kBlue},
                {kButtonDown, RGB(0x1D, 0x4E, 0x9E)},
                {kButtonOff, kOff},
                {kButtonEdge, kBlue},
                {kButtonText, kWhite},
                {kButtonDownText, kWhite},
                {kButtonTextOff, kOff},
                {kNavSelectedFace, kWhite},
                {kNavSelectedEdge, kHeaderLine},
                {kNavSelectedText, kBlue},
                {kNavBar, kBlue},
                {kLink, RGB(0x00, 0x00, 0xFF)},
                {kLinkOff, kOff},
                {kAttentionBack, RGB(0xBA, 0x0E, 0x0D)},
                {kAttentionText, kWhite},
                {kGood, RGB(0x2E, 0x9E, 0x3E)},
                {kBad, kRed},
                {kNeutral, RGB(0x9A, 0xA4, 0xB4)},
                {kPictureMark, kWhite},
                {kRingOuter, RGB(0xF2, 0xF6, 0xFD)},
                {kRingMiddle, RGB(0xE6, 0xEE, 0xFB)},
                {kRingInner, RGB(0xDA, 0xE5, 0xF8)},
                {kListFrame, RGB(0, 0, 0)},
                {kAnimationLit, kBlue},
                {kAnimationDim, RGB(0xB4, 0xB4, 0xFF)}},
               kLightListColours);
}

// Ours for the dark mode: every text colour stands at 4.5:1 or more against the background it is
// drawn on (the languages GUI test measures it from the pixels).
SKIN_PALETTE DarkPalette() {
  constexpr COLORREF kWindowDark = RGB(0x1F, 0x20, 0x23);
  constexpr COLORREF kAccent = RGB(0x8A, 0xB4, 0xF8);
  constexpr COLORREF kEdge = RGB(0x3C, 0x40, 0x43);
  constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
  constexpr COLORREF kOffText = RGB(0xA3, 0xA8, 0xAF);
  const LIST_COLOURS list{MarkupRgb(0x1F, 0x20, 0x23), MarkupRgb(0xE3, 0xE3, 0xE3),
                          MarkupRgb(0x26, 0x4F, 0x78), MarkupRgb(0xFF, 0xFF, 0xFF),
                          MARKUP_COLOUR_RULE::kReadable,
                          MarkupRgb(0x9A, 0xA0, 0xA6), MarkupRgb(0x2A, 0x2C, 0x30),
                          MarkupRgb(0xE8, 0xEA, 0xED), MarkupRgb(0xBD, 0xC1, 0xC6),
                          MarkupRgb(0x80, 0x86, 0x8B), MarkupRgb(0xE8, 0xEA, 0xED)};
  return Build(COLOUR_MODE::kDark,
               {{kWindow, kWindowDark},
                {kText, RGB(0xE3, 0xE3, 0xE3)},
                {kTitleText, RGB(0xF1, 0xF1, 0xF1)},
                {kAccentText, kAccent},
                {kWarningText, RGB(0xFF, 0x8A, 0x80)},
                {kSeparatorText, RGB(0x9A, 0xA0, 0xA6)},
                {kLine, kEdge},
                {kPageLine, kEdge},
                {kButton, RGB(0x2B, 0x5E, 0xB8)},
                {kButtonDown, RGB(0x1D, 0x44, 0x85)},
                {kButtonOff, RGB(0x34, 0x37, 0x3C)},
                {kButtonEdge, RGB(0x2B, 0x5E, 0xB8)},
                {kButtonText, kWhite},
                {kButtonDownText, kWhite},
                {kButtonTextOff, kOffText},
                {kNavSelectedFace, kWindowDark},
                {kNavSelectedEdge, kEdge},
                {kNavSelectedText, kAccent},
                {kNavBar, kAccent},
                {kLink, kAccent},
                {kLinkOff, kOffText},
                {kAttentionBack, RGB(0x8E, 0x1C, 0x17)},
                {kAttentionText, kWhite},
                {kGood, RGB(0x3C, 0x9D, 0x52)},
                {kBad, RGB(0xE2, 0x57, 0x4C)},
                {kNeutral, RGB(0x70, 0x77, 0x82)},
                {kPictureMark, kWhite},
                {kRingOuter, RGB(0x24, 0x26, 0x2A)},
                {kRingMiddle, RGB(0x29, 0x2B, 0x30)},
                {kRingInner, RGB(0x2F, 0x32, 0x37)},
                {kListFrame, RGB(0x5F, 0x63, 0x68)},
                {kAnimationLit, kAccent},
                {kAnimationDim, RGB(0x3E, 0x4A, 0x5E)}},
               list);
}

// A contrast theme: the system's own colours, in the roles the system gives them.
SKIN_PALETTE ContrastPalette() {
  const COLORREF window = ::GetSysColor(COLOR_WINDOW);
  const COLORREF text = ::GetSysColor(COLOR_WINDOWTEXT);
  const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  const COLORREF hotLight = ::GetSysColor(COLOR_HOTLIGHT);
  const COLORREF gray = ::GetSysColor(COLOR_GRAYTEXT);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  const COLORREF faceText = ::GetSysColor(COLOR_BTNTEXT);
  const auto markup = [](COLORREF colour) { return static_cast<MARKUP_COLOR>(colour); };
  const LIST_COLOURS list{markup(window),    markup(text), markup(highlight), markup(highlightText),
                          MARKUP_COLOUR_RULE::kTextColour, markup(text), markup(window),
                          markup(text),      markup(text), markup(text),      markup(text)};
  return Build(COLOUR_MODE::kContrast,
               {{kWindow, window},
                {kText, text},
                {kTitleText, text},
                {kAccentText, text},
                {kWarningText, text},
                {kSeparatorText, text},
                {kLine, text},
                {kPageLine, text},
                {kButton, face},
                {kButtonDown, highlight},
                {kButtonOff, face},
                {kButtonEdge, faceText},
                {kButtonText, faceText},
                {kButtonDownText, highlightText},
                {kButtonTextOff, gray},
                {kNavSelectedFace, highlight},
                {kNavSelectedEdge, highlight},
                {kNavSelectedText, highlightText},
                {kNavBar, highlightText},
                {kLink, hotLight},
                {kLinkOff, gray},
                {kAttentionBack, highlight},
                {kAttentionText, highlightText},
                {kGood, text},
                {kBad, text},
                {kNeutral, text},
                {kPictureMark, window},
                {kRingOuter, window},
                {kRingMiddle, window},
                {kRingInner, window},
                {kListFrame, text},
                {kAnimationLit, text},
                {kAnimationDim, gray}},
               list);
}

SKIN_PALETTE& Palette() {
  static SKIN_PALETTE palette = LightPalette();
  return palette;
}

}  // namespace

COLOUR_MODE SystemColourMode() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  if (::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0) {
    return COLOUR_MODE::kContrast;
  }
  DWORD light = 1;
  DWORD size = sizeof(light);
  if (::RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, RRF_RT_REG_DWORD,
                     nullptr, &light, &size) == ERROR_SUCCESS &&
      light == 0) {
    return COLOUR_MODE::kDark;
  }
  return COLOUR_MODE::kLight;
}

SKIN_PALETTE PaletteFor(COLOUR_MODE mode) {
  switch (mode) {
    case COLOUR_MODE::kDark: return DarkPalette();
    case COLOUR_MODE::kContrast: return ContrastPalette();
    case COLOUR_MODE::kLight: break;
  }
  return LightPalette();
}

const SKIN_PALETTE& CurrentPalette() { return Palette(); }

void ReadSystemPalette() { Palette() = PaletteFor(SystemColourMode()); }

void ApplyControlLook(HWND control) {
  static const auto setTheme =
      SystemFunction<decltype(::SetWindowTheme)>(kThemeLibrary, "SetWindowTheme");
  if (setTheme == nullptr) return;
  // An empty name selects no style at all; nulls give the control the style of the process back.
  if (CurrentPalette().mode == COLOUR_MODE::kContrast) {
    // Wine refuses the empty name (ERROR_INVALID_NAME); a name no style has does the same there.
    if (FAILED(setTheme(control, L"", L""))) static_cast<void>(setTheme(control, L" ", L" "));
  } else {
    static_cast<void>(setTheme(control, nullptr, nullptr));
  }
}

void ApplyTitleBarMode(HWND window) {
  using SetAttribute = HRESULT WINAPI(HWND, DWORD, LPCVOID, DWORD);
  static SetAttribute* const setAttribute =
      SystemFunction<SetAttribute>(kDwmLibrary, "DwmSetWindowAttribute");
  if (setAttribute == nullptr) return;
  const BOOL dark = CurrentPalette().mode == COLOUR_MODE::kDark ? TRUE : FALSE;
  if (FAILED(setAttribute(window, kDwmDarkModeAttribute, &dark, sizeof(dark)))) {
    static_cast<void>(setAttribute(window, kDwmDarkModeAttributeBefore20H1, &dark, sizeof(dark)));
  }
}

}  // namespace qv::ui
