// The engine's one case conversion and white-space definition.
#include "engine/text_case.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(TextCase, LettersOfAsciiAndLatin1PairUp) {
  struct {
    wchar_t lower;
    wchar_t upper;
  } const pairs[] = {
      {L'a', L'A'},       {L'z', L'Z'},       {0x00E0, 0x00C0},  // à À
      {0x00E9, 0x00C9},  // é É
      {0x00F6, 0x00D6},  // ö Ö
      {0x00F8, 0x00D8},  // ø Ø
      {0x00FE, 0x00DE},  // þ Þ
      {0x00FF, 0x0178},  // ÿ Ÿ
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(ToUpperChar(p.lower), p.upper) << std::hex << static_cast<unsigned>(p.lower);
    EXPECT_EQ(ToLowerChar(p.upper), p.lower) << std::hex << static_cast<unsigned>(p.upper);
    EXPECT_EQ(ToUpperChar(p.upper), p.upper);
    EXPECT_EQ(ToLowerChar(p.lower), p.lower);
  }
}

TEST(TextCase, CharactersWithoutASingleCounterpartStayAsTheyAre) {
  // Signs, digits, the multiplication and division signs, micro sign, sharp s, and letters
  // outside Latin-1 (Greek, Cyrillic) are left alone.
  for (wchar_t c : {L'0', L'9', L'@', L'[', L'`', L'{', L'\\', L'%', wchar_t{0x00D7},
                    wchar_t{0x00F7}, wchar_t{0x00B5}, wchar_t{0x00DF}, wchar_t{0x00AA},
                    wchar_t{0x03B1}, wchar_t{0x0391}, wchar_t{0x0430}, wchar_t{0x0410}}) {
    EXPECT_EQ(ToUpperChar(c), c) << std::hex << static_cast<unsigned>(c);
    EXPECT_EQ(ToLowerChar(c), c) << std::hex << static_cast<unsigned>(c);
  }
}

TEST(TextCase, WholeTextsKeepTheirLength) {
  EXPECT_EQ(ToUpper(L"c:\\Programme\\\x00e9t\x00e9\\x.exe"), L"C:\\PROGRAMME\\\x00c9T\x00c9\\X.EXE");
  EXPECT_EQ(ToLower(L"%SystemRoot%\\STRA\x00df" L"E"), L"%systemroot%\\stra\x00df" L"e");
  EXPECT_EQ(ToUpper(L""), L"");
}

TEST(TextCase, WhiteSpaceIsTheSixAsciiSpaceCharacters) {
  for (wchar_t c : {L' ', L'\t', L'\n', L'\v', L'\f', L'\r'}) EXPECT_TRUE(IsWhiteSpace(c)) << int(c);
  for (wchar_t c : {L'a', L'\0', wchar_t{0x00A0}, wchar_t{0x3000}}) EXPECT_FALSE(IsWhiteSpace(c)) << int(c);
  EXPECT_EQ(TrimWhiteSpace(L" \t a b \r\n"), L"a b");
  EXPECT_EQ(TrimWhiteSpace(L" \t\r\n"), L"");
}

}  // namespace
}  // namespace qv
