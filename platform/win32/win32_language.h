// The language of a program's texts (base/language.h) on Windows: the string tables compiled
// into the program's module (lang/*.rc), in the user's display language.
//
// The display language is GetUserDefaultUILanguage. A module's table of exactly that language is
// taken, else one of its primary language (a German table for de-AT or de-CH), else none: the
// texts are English. The pseudo-locale qps-ploc gives the pseudo-language of the tests
// (base/pseudo_language.h). Under Wine the display language follows LANG/LC_ALL
// (docs/wine-notes.md).
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>
#include <vector>

#include "base/language.h"

namespace qv {

// qps-ploc, the pseudo-locale Windows offers for testing programs in a longer language.
inline constexpr LANGID kPseudoLocaleLanguage = 0x0501;

// The string table of one language in a module.
class CResourceLanguage final : public ILanguage {
 public:
  // The module must stay loaded as long as this object: the texts are views of its resources.
  CResourceLanguage(HMODULE module, LANGID language) : m_module(module), m_language(language) {}
  [[nodiscard]] std::wstring_view Translate(const UI_TEXT& text) const override;
  [[nodiscard]] LANGID Language() const { return m_language; }

 private:
  HMODULE m_module;
  LANGID m_language;
};

// The languages of the module's string tables.
[[nodiscard]] std::vector<LANGID> ModuleLanguages(HMODULE module);

// The language for a display language: the module's table of it or of its primary language, the
// pseudo-language for qps-ploc, or null for English.
[[nodiscard]] std::unique_ptr<ILanguage> LanguageFor(HMODULE module, LANGID displayLanguage);

// Picks the language of the user's display language for the module's texts and makes it the
// process's (SetLanguage). Call it before the windows or reports are made; called again, it picks
// again. What it made stays for the life of the process, so no text shown earlier loses its view.
void UseUserLanguage(HMODULE module);

}  // namespace qv
