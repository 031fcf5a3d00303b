// The pseudo-language of the tests: every text made from its English, about 40 % longer, its
// letters accented and the whole in brackets ("Scan Now" -> "[Šçåñ Ñöŵ ·]"). A label too small
// for a longer translation shows cut off, and a text that does not come from the tables shows
// plain English, so both are seen at once. What a program needs of a text stays as it is:
// format conversions and numbered arguments, markup tags, character entities ("&lt;"), the
// letter after the "&" of a mnemonic, line breaks and tabs.
//
// Programs use it when the user's display language is the pseudo-locale qps-ploc
// (platform/win32/win32_language.h); no table of it is shipped.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "base/language.h"

namespace qv {

// The pseudo-language's text of an English text.
[[nodiscard]] std::wstring PseudoText(std::wstring_view english);

class CPseudoLanguage final : public ILanguage {
 public:
  // Made once per text and kept (any thread).
  [[nodiscard]] std::wstring_view Translate(const UI_TEXT& text) const override;

 private:
  mutable std::mutex m_lock;
  mutable std::map<std::uint16_t, std::wstring> m_texts;
};

}  // namespace qv
