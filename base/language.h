// The texts a person reads, in the language of the user's Windows.
//
// Each such text is a UI_TEXT: its number in the string tables and its English wording, defined
// once in its subsystem's *_texts.inc (QV_TEXT(name, number, "English")). Every other language
// is a string table of those numbers (lang/<language>.rc, compiled into each program); a program
// picks the table of the user's display language when it starts (platform/win32/win32_language.h)
// and Tr() answers from it, with the English text for a number the table lacks. Before a
// language is picked, and in the native build, Tr() gives the English text.
//
// What a program keeps for itself or for other programs (registry values, file names, the log's
// fixed lines, the console's JSON) is no UI_TEXT and never changes with the language.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qv {

struct UI_TEXT {
  std::uint16_t id = 0;  // the string resource number, the same in every language; 0: none
  std::wstring_view english;
  friend bool operator==(const UI_TEXT&, const UI_TEXT&) = default;
};

// A language other than English.
class ILanguage {
 public:
  virtual ~ILanguage() = default;
  // The text in this language, or an empty view when the language has none for it. The view
  // stays valid as long as the language object.
  [[nodiscard]] virtual std::wstring_view Translate(const UI_TEXT& text) const = 0;
};

// The language of the whole process from now on (null: English). Not owned: it must outlive
// every use of the texts it gave. Set before the windows or reports that show texts are made.
void SetLanguage(const ILanguage* language);
[[nodiscard]] const ILanguage* CurrentLanguage();

// Whose words a text is given in: the process's language (what the windows and the console's
// reports show), or English whatever the language (what is kept for people and programs
// elsewhere: the activity log, the console's JSON).
enum class WORDING { kUser, kEnglish };

// The text in the process's language, or its English when the language has none for it.
[[nodiscard]] std::wstring_view Tr(const UI_TEXT& text, WORDING wording = WORDING::kUser);
// The format in the process's language with its "%s" filled in (FormatWithStrings).
[[nodiscard]] std::wstring TrFormat(const UI_TEXT& format,
                                    std::initializer_list<std::wstring_view> args,
                                    WORDING wording = WORDING::kUser);

// A subsystem's *_texts.inc lists its texts as QV_TEXT(name, number, L"English"), the name and
// the number on the first line. Its header makes each a constant, and all of them a list for the
// language tests:
//   #define QV_TEXT QV_TEXT_CONSTANT
//   #include "ui/ui_texts.inc"
//   #undef QV_TEXT
//   inline constexpr UI_TEXT kUiTexts[] = {
//   #define QV_TEXT QV_TEXT_LIST_ITEM
//   #include "ui/ui_texts.inc"
//   #undef QV_TEXT
//   };
#define QV_TEXT_CONSTANT(name, number, text) inline constexpr ::qv::UI_TEXT name{number, text};
#define QV_TEXT_LIST_ITEM(name, number, text) name,

// What a translation must keep of the English text, as one line: the conversions of a format
// ("%s", "%d", "%lld", "%ls", "%x", "%%") and the markup tags ("<b>", "<font color=#ff0000>") in
// their order, then the numbered arguments ("%1" to "%9", also with a type as in "%1!d!") sorted
// by number, since a translation may move them.
[[nodiscard]] std::wstring TextFields(std::wstring_view text);

}  // namespace qv
