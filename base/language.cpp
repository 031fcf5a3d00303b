#include "base/language.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "base/text.h"

namespace qv {
namespace {

std::atomic<const ILanguage*> g_language{nullptr};

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

}  // namespace

void SetLanguage(const ILanguage* language) { g_language.store(language); }

const ILanguage* CurrentLanguage() { return g_language.load(); }

std::wstring_view Tr(const UI_TEXT& text, WORDING wording) {
  if (wording == WORDING::kEnglish) return text.english;
  if (const ILanguage* language = g_language.load()) {
    const std::wstring_view translated = language->Translate(text);
    if (!translated.empty()) return translated;
  }
  return text.english;
}

std::wstring TrFormat(const UI_TEXT& format, std::initializer_list<std::wstring_view> args,
                      WORDING wording) {
  return FormatWithStrings(Tr(format, wording), args);
}

std::wstring TextFields(std::wstring_view text) {
  std::wstring ordered;
  std::vector<std::wstring> numbered;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 1 < text.size()) {
      const wchar_t next = text[i + 1];
      if (next >= L'1' && next <= L'9') {
        std::size_t end = i + 2;
        // A type in exclamation marks ("%1!d!") belongs to the argument.
        if (end < text.size() && text[end] == L'!') {
          const std::size_t close = text.find(L'!', end + 1);
          if (close != std::wstring_view::npos) end = close + 1;
        }
        numbered.emplace_back(text.substr(i, end - i));
        i = end - 1;
        continue;
      }
      if (next == L'%') {
        ordered += L"%% ";
        ++i;
        continue;
      }
      // A conversion: its length modifiers, then its letter ("%s", "%lld", "%ls", "%x").
      std::size_t end = i + 1;
      while (end < text.size() && (text[end] == L'l' || text[end] == L'h')) ++end;
      if (end < text.size() && IsAsciiLetter(text[end])) {
        ordered += text.substr(i, end + 1 - i);
        ordered += L' ';
        i = end;
      }
      continue;
    }
    if (text[i] == L'<' && i + 1 < text.size() && (IsAsciiLetter(text[i + 1]) || text[i + 1] == L'/')) {
      const std::size_t close = text.find(L'>', i);
      if (close == std::wstring_view::npos) break;
      ordered += text.substr(i, close + 1 - i);
      ordered += L' ';
      i = close;
    }
  }
  std::sort(numbered.begin(), numbered.end());
  for (const std::wstring& argument : numbered) ordered += argument + L' ';
  if (!ordered.empty()) ordered.pop_back();
  return ordered;
}

}  // namespace qv
