// The splash picture: drawn at start-up by GDI and by our own pixel code, nothing loaded from a
// file. White, framed by a thin #BBCFF2 line; at the left the product emblem (a blue disc
// holding a white ring with a tail, smoothed by 4 x 4 sampling); at the right the product name
// in large type over a thin #BBCFF2 rule, the tagline and, when known, the version.
// It is drawn at the size it is shown: its layout is written for 96 DPI and every length, font
// and the emblem are drawn anew at the window's DPI.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/dpi_scale.h"
#include "platform/win32/win32_handles.h"

namespace qv {

inline constexpr int kSplashPictureWidth = 440;
inline constexpr int kSplashPictureHeight = 200;
inline constexpr COLORREF kSplashLineColour = RGB(0xBB, 0xCF, 0xF2);
inline constexpr COLORREF kEmblemBlue = RGB(0x2B, 0x63, 0xC8);

// The picture as a 32-bit bitmap of kSplashPictureWidth x kSplashPictureHeight pixels at 96
// DPI (SplashPictureSize at another), ready to be selected into a memory device context; empty
// when GDI is out of resources. version: the program's version text ("1.0.0.1"), or empty for no
// version line.
[[nodiscard]] CUniqueHandle<CGdiObjectTraits> DrawSplashPicture(std::wstring_view version,
                                                                const CDpiScale& scale = {});
[[nodiscard]] inline SIZE SplashPictureSize(const CDpiScale& scale) {
  return SIZE{scale(kSplashPictureWidth), scale(kSplashPictureHeight)};
}

}  // namespace qv
