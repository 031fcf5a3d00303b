#include <gtest/gtest.h>

#include <string>

#include "base/language.h"
#include "base/pseudo_language.h"

namespace qv {
namespace {

TEST(TextFields, KeepsConversionsAndTagsInOrderAndNumberedArgumentsByNumber) {
  const struct {
    const wchar_t* text;
    const wchar_t* fields;
  } cases[] = {
      {L"Plain words", L""},
      {L"%lld Error(s) found", L"%lld"},
      {L"%s of %s (%d%%)", L"%s %s %d %%"},
      {L"The file referenced (%1) doesn't exist.<br>Key: %2", L"<br> %1 %2"},
      // A translation may move numbered arguments: their order does not count.
      {L"Schl\u00FCssel: %2, Datei %1", L"%1 %2"},
      {L"%1!d!/%2!d! Error(s) Selected", L"%1!d! %2!d!"},
      {L"<font color=#0000ff><u>Ignore</u><font>", L"<font color=#0000ff> <u> </u> <font>"},
      // A '<' before something other than a letter or '/' is text, as is a '%' before a blank.
      {L"a < b, 5 % more, error 0x%x", L"%x"},
  };
  for (const auto& c : cases) EXPECT_EQ(TextFields(c.text), c.fields) << c.text;
}

TEST(PseudoText, IsLongerAccentedAndBracketedAndKeepsWhatProgramsNeed) {
  const wchar_t* texts[] = {
      L"Scan Now",
      L"%lld Error(s) found",
      L"<font color=#ff0000><b>The file referenced (%1) doesn't exist.</b></font><br>Key: %2",
      L"%1!d!/%2!d! Error(s) Selected",
      L"Last scan date:\t\t\t%s",
      L"Restore Information \n\n There are no items to restore.",
      L"Schedule &task: &lt;none&gt;",
      L"|",
  };
  for (const wchar_t* english : texts) {
    const std::wstring pseudo = PseudoText(english);
    EXPECT_EQ(TextFields(pseudo), TextFields(english)) << pseudo;
    EXPECT_EQ(pseudo.front(), L'[') << pseudo;
    EXPECT_EQ(pseudo.back(), L']') << pseudo;
    EXPECT_GE(pseudo.size(), std::wstring_view(english).size() + 2) << pseudo;
  }
  EXPECT_EQ(PseudoText(L"Scan Now"), L"[\u0160\u00E7\u00E5\u00F1 \u00D1\u00F6\u0175 \u00B7]");
  // Tabs, line breaks, the mnemonic's letter and an entity stay as written.
  EXPECT_NE(PseudoText(L"a\tb\nc").find(L"\t"), std::wstring::npos);
  EXPECT_NE(PseudoText(L"Schedule &task").find(L"&t"), std::wstring::npos);
  EXPECT_NE(PseudoText(L"&lt;none&gt;").find(L"&lt;"), std::wstring::npos);
  // Some 40 % longer for a sentence of 50 characters.
  const std::wstring sentence(50, L'x');
  EXPECT_EQ(PseudoText(sentence).size(), 70u);
}

class CGermanFew final : public ILanguage {
 public:
  std::wstring_view Translate(const UI_TEXT& text) const override {
    return text.id == 1 ? std::wstring_view(L"Jetzt scannen (%s)") : std::wstring_view();
  }
};

TEST(Tr, AnswersInTheProcessLanguageWithEnglishForWhatItLacks) {
  constexpr UI_TEXT kScanNow{1, L"Scan Now (%s)"};
  constexpr UI_TEXT kFixErrors{2, L"Fix Errors"};
  EXPECT_EQ(Tr(kScanNow), L"Scan Now (%s)");
  const CGermanFew german;
  SetLanguage(&german);
  EXPECT_EQ(Tr(kScanNow), L"Jetzt scannen (%s)");
  EXPECT_EQ(TrFormat(kScanNow, {L"2"}), L"Jetzt scannen (2)");
  EXPECT_EQ(Tr(kFixErrors), L"Fix Errors");
  const CPseudoLanguage pseudo;
  SetLanguage(&pseudo);
  EXPECT_EQ(Tr(kFixErrors), PseudoText(L"Fix Errors"));
  // The same view each time: the text is made once.
  EXPECT_EQ(Tr(kFixErrors).data(), Tr(kFixErrors).data());
  SetLanguage(nullptr);
  EXPECT_EQ(Tr(kScanNow), L"Scan Now (%s)");
}

}  // namespace
}  // namespace qv
