#include "base/pseudo_language.h"

namespace qv {
namespace {

// Accented forms of Latin-1 and Latin Extended-A, which the system's dialog fonts draw; the
// letters without one stay as they are.
constexpr std::wstring_view kPlainLetters = L"acdeghijklnorstuwyzACDEGHIJKLNORSTUWYZ";
constexpr std::wstring_view kAccentedLetters =
    L"\u00E5\u00E7\u00F0\u00E9\u011D\u0125\u00EE\u0135\u0137\u013C\u00F1\u00F6\u0155\u0161"
    L"\u0163\u00FC\u0175\u00FD\u017E"
    L"\u00C5\u00C7\u00D0\u00C9\u011C\u0124\u00CE\u0134\u0136\u013B\u00D1\u00D6\u0154\u0160"
    L"\u0162\u00DC\u0174\u00DD\u017D";
static_assert(kPlainLetters.size() == kAccentedLetters.size());

constexpr wchar_t kPadding = L'\u00B7';  // middle dot

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// The length of what starts at `at` and must stay as it is (0: an ordinary character).
std::size_t KeptLength(std::wstring_view text, std::size_t at) {
  const wchar_t c = text[at];
  const std::size_t rest = text.size() - at;
  if (c == L'%' && rest >= 2) {
    const wchar_t next = text[at + 1];
    if (next >= L'1' && next <= L'9') {
      if (rest >= 3 && text[at + 2] == L'!') {
        const std::size_t close = text.find(L'!', at + 3);
        if (close != std::wstring_view::npos) return close + 1 - at;
      }
      return 2;
    }
    if (next == L'%') return 2;
    std::size_t end = at + 1;
    while (end < text.size() && (text[end] == L'l' || text[end] == L'h')) ++end;
    if (end < text.size() && IsAsciiLetter(text[end])) return end + 1 - at;
    return 0;
  }
  if (c == L'<' && rest >= 2 && (IsAsciiLetter(text[at + 1]) || text[at + 1] == L'/')) {
    const std::size_t close = text.find(L'>', at);
    if (close != std::wstring_view::npos) return close + 1 - at;
  }
  if (c == L'&' && rest >= 2) {
    // An entity ("&lt;", "&#39;") whole; otherwise a mnemonic with its letter.
    std::size_t end = at + 1;
    while (end < text.size() && (IsAsciiLetter(text[end]) || text[end] == L'#' ||
                                 (text[end] >= L'0' && text[end] <= L'9'))) {
      ++end;
    }
    if (end < text.size() && text[end] == L';' && end > at + 1) return end + 1 - at;
    return 2;
  }
  return 0;
}

}  // namespace

std::wstring PseudoText(std::wstring_view english) {
  std::wstring text = L"[";
  std::size_t shown = 0;  // characters a person sees, for the length to add
  for (std::size_t i = 0; i < english.size();) {
    if (const std::size_t kept = KeptLength(english, i)) {
      text += english.substr(i, kept);
      if (english[i] == L'&') ++shown;
      i += kept;
      continue;
    }
    const wchar_t c = english[i++];
    const std::size_t letter = kPlainLetters.find(c);
    text += letter == std::wstring_view::npos ? c : kAccentedLetters[letter];
    ++shown;
  }
  // About 40 % more, the brackets included: padding in short words, so a long text still wraps.
  const std::size_t extra = (shown * 2 + 4) / 5;
  const std::size_t padding = extra > 2 ? extra - 2 : 0;
  for (std::size_t k = 0; k < padding; ++k) {
    text += (k % 6 == 0 && padding >= 2) ? L' ' : kPadding;
  }
  text += L']';
  return text;
}

std::wstring_view CPseudoLanguage::Translate(const UI_TEXT& text) const {
  const std::lock_guard lock(m_lock);
  auto found = m_texts.find(text.id);
  if (found == m_texts.end()) found = m_texts.emplace(text.id, PseudoText(text.english)).first;
  // The map's nodes stay where they are: the view lives as long as this object.
  return found->second;
}

}  // namespace qv
