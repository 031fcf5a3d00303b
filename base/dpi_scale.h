// Display scale: every length of the windows is written for 96 dots per inch (100 %) and shown
// at the DPI of the display the window is on (120 at 125 %, 144 at 150 %, 192 at 200 %). This is
// the one place that turns a 96-DPI length into pixels, so rounding is the same everywhere.
#pragma once

namespace qv {

// The DPI the lengths of the windows are written for.
inline constexpr int kBaseDpi = 96;

// `value` pixels at 96 DPI, in pixels at `dpi`, rounded to the nearest pixel (a half away from
// zero, as MulDiv does). A DPI of 0 or less counts as 96.
[[nodiscard]] constexpr int ScaleToDpi(int value, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return value;
  const long long scaled = static_cast<long long>(value) * dpi;
  const long long half = kBaseDpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

// The reverse: `value` pixels at `dpi` as a length at 96 DPI, rounded the same way.
[[nodiscard]] constexpr int UnscaleFromDpi(int value, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return value;
  const long long scaled = static_cast<long long>(value) * kBaseDpi;
  const long long half = dpi / 2;
  return static_cast<int>(scaled >= 0 ? (scaled + half) / dpi : (scaled - half) / dpi);
}

// The pixel height of a font of `points` at `dpi`, negative as CreateFontW takes a character
// height: -points * dpi / 72, rounded.
[[nodiscard]] constexpr int FontHeightForDpi(int points, int dpi) {
  constexpr long long kPointsPerInch = 72;
  const long long scaled = static_cast<long long>(points) * (dpi > 0 ? dpi : kBaseDpi);
  const long long half = kPointsPerInch / 2;
  return -static_cast<int>(scaled >= 0 ? (scaled + half) / kPointsPerInch
                                       : (scaled - half) / kPointsPerInch);
}

// Lengths of one window at its DPI.
class CDpiScale {
 public:
  constexpr CDpiScale() = default;
  constexpr explicit CDpiScale(int dpi) : m_dpi(dpi > 0 ? dpi : kBaseDpi) {}

  [[nodiscard]] constexpr int Dpi() const { return m_dpi; }
  // A 96-DPI length in pixels of this DPI.
  [[nodiscard]] constexpr int operator()(int value) const { return ScaleToDpi(value, m_dpi); }
  [[nodiscard]] constexpr int Unscale(int value) const { return UnscaleFromDpi(value, m_dpi); }
  [[nodiscard]] constexpr int FontHeight(int points) const {
    return FontHeightForDpi(points, m_dpi);
  }
  // The width of a line one pixel wide at 96 DPI: whole pixels only, so it stays sharp (one
  // pixel up to 191 DPI, two from 192).
  [[nodiscard]] constexpr int Line() const { return m_dpi >= 2 * kBaseDpi ? m_dpi / kBaseDpi : 1; }

  friend constexpr bool operator==(const CDpiScale&, const CDpiScale&) = default;

 private:
  int m_dpi = kBaseDpi;
};

}  // namespace qv
