#include "platform/win32/win32_language.h"

#include <algorithm>
#include <mutex>

#include "base/pseudo_language.h"

namespace qv {
namespace {

// A string table block holds 16 strings, each its length in UTF-16 units and then its
// characters; block n holds the strings 16 (n - 1) to 16 n - 1.
constexpr unsigned kStringsPerBlock = 16;

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  auto* languages = reinterpret_cast<std::vector<LANGID>*>(list);
  if (std::find(languages->begin(), languages->end(), language) == languages->end()) {
    languages->push_back(language);
  }
  return TRUE;
}

BOOL CALLBACK AddBlockLanguages(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR list) {
  ::EnumResourceLanguagesW(module, type, name, &AddLanguage, list);
  return TRUE;
}

}  // namespace

std::wstring_view CResourceLanguage::Translate(const UI_TEXT& text) const {
  const UINT block = text.id / kStringsPerBlock + 1;
  HRSRC found =
      ::FindResourceExW(m_module, RT_STRING, MAKEINTRESOURCEW(block), m_language);
  if (found == nullptr) return {};
  const DWORD bytes = ::SizeofResource(m_module, found);
  HGLOBAL loaded = ::LoadResource(m_module, found);
  const auto* data = static_cast<const wchar_t*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
  if (data == nullptr) return {};
  const wchar_t* end = data + bytes / sizeof(wchar_t);
  for (unsigned i = 0; i < text.id % kStringsPerBlock; ++i) {
    if (data >= end) return {};
    data += 1 + *data;
  }
  if (data >= end || data + 1 + *data > end) return {};
  return std::wstring_view(data + 1, *data);
}

std::vector<LANGID> ModuleLanguages(HMODULE module) {
  std::vector<LANGID> languages;
  ::EnumResourceNamesW(module, RT_STRING, &AddBlockLanguages,
                       reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

std::unique_ptr<ILanguage> LanguageFor(HMODULE module, LANGID displayLanguage) {
  if (displayLanguage == kPseudoLocaleLanguage) return std::make_unique<CPseudoLanguage>();
  const std::vector<LANGID> tables = ModuleLanguages(module);
  const auto has = [&](LANGID language) {
    return std::find(tables.begin(), tables.end(), language) != tables.end();
  };
  if (has(displayLanguage)) return std::make_unique<CResourceLanguage>(module, displayLanguage);
  const WORD primary = PRIMARYLANGID(displayLanguage);
  // English is the programs' own: it has no table.
  if (primary == LANG_ENGLISH) return nullptr;
  const LANGID neutral = MAKELANGID(primary, SUBLANG_NEUTRAL);
  if (has(neutral)) return std::make_unique<CResourceLanguage>(module, neutral);
  for (const LANGID table : tables) {
    if (PRIMARYLANGID(table) == primary) return std::make_unique<CResourceLanguage>(module, table);
  }
  return nullptr;
}

void UseUserLanguage(HMODULE module) {
  static std::mutex lock;
  static std::vector<std::unique_ptr<ILanguage>> made;
  const std::lock_guard guard(lock);
  std::unique_ptr<ILanguage> language = LanguageFor(module, ::GetUserDefaultUILanguage());
  SetLanguage(language.get());
  if (language != nullptr) made.push_back(std::move(language));
}

}  // namespace qv
