// The one case table and the shared text helpers.
#include "base/text_case.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/text.h"
#include "base/utf16.h"

namespace qv {
namespace {

TEST(TextCase, LettersPairUpAcrossTheScriptsOfTheTable) {
  struct {
    wchar_t lower;
    wchar_t upper;
  } const pairs[] = {
      {L'a', L'A'},        {L'z', L'Z'},        {0x00E0, 0x00C0},  // à À
      {0x00E9, 0x00C9},    {0x00FE, 0x00DE},    {0x00FF, 0x0178},  // é É, þ Þ, ÿ Ÿ
      {0x0101, 0x0100},    {0x013A, 0x0139},    {0x017E, 0x017D},  // ā Ā, ĺ Ĺ, ž Ž
      {0x03B1, 0x0391},    {0x03C9, 0x03A9},    {0x03AC, 0x0386},  // α Α, ω Ω, ά Ά
      {0x0430, 0x0410},    {0x044F, 0x042F},    {0x0451, 0x0401},  // а А, я Я, ё Ё
      {0xFF41, 0xFF21},                                            // ａ Ａ
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(ToUpperChar(p.lower), p.upper) << std::hex << static_cast<unsigned>(p.lower);
    EXPECT_EQ(ToLowerChar(p.upper), p.lower) << std::hex << static_cast<unsigned>(p.upper);
    EXPECT_EQ(ToUpperChar(p.upper), p.upper);
    EXPECT_EQ(ToLowerChar(p.lower), p.lower);
  }
  EXPECT_EQ(ToLowerChar(0x03A3), 0x03C3);  // capital sigma lower-cases to the plain sigma
  // No single-unit counterpart in the system's mapping: signs, the micro sign, sharp s, dotless
  // i, capital I with dot, long s, final sigma.
  for (wchar_t c : {L'0', L'@', L'[', L'`', L'{', wchar_t{0x00D7}, wchar_t{0x00F7},
                    wchar_t{0x00B5}, wchar_t{0x00DF}, wchar_t{0x0138}, wchar_t{0x0149},
                    wchar_t{0x0131}, wchar_t{0x0130}, wchar_t{0x017F}, wchar_t{0x03C2}}) {
    EXPECT_EQ(ToUpperChar(c), c) << std::hex << static_cast<unsigned>(c);
    EXPECT_EQ(ToLowerChar(c), c) << std::hex << static_cast<unsigned>(c);
  }
}

TEST(TextCase, NamesFoldAndCompareAsTheRegistryDoes) {
  EXPECT_EQ(ToUpper(L"c:\\Programme\\\x00e9t\x00e9\\x.exe"), L"C:\\PROGRAMME\\\x00c9T\x00c9\\X.EXE");
  EXPECT_TRUE(EqualsNoCase(L"Software\\\x0416\x0443\x0440", L"SOFTWARE\\\x0436\x0443\x0440"));
  EXPECT_FALSE(EqualsNoCase(L"ab", L"abc"));
  // Folded forms order by upcased units: '_' sorts after 'B'.
  EXPECT_LT(FoldCase(L"ab"), FoldCase(L"a_b"));
  EXPECT_EQ(FoldCase(L"\x00ff"), FoldCase(L"\x0178"));
  // The exclusion lists' rule folds ASCII letters only.
  EXPECT_EQ(ToLowerAscii(L"ABC\x00c9\x0416"), L"abc\x00c9\x0416");
  EXPECT_TRUE(EqualsIgnoringAsciiCase(L"Office", L"oFFICE"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(L"\x00e9", L"\x00c9"));
}

TEST(Text, WhiteSpaceIsTheSixAsciiSpaceCharacters) {
  for (wchar_t c : {L' ', L'\t', L'\n', L'\v', L'\f', L'\r'}) EXPECT_TRUE(IsWhiteSpace(c)) << int(c);
  for (wchar_t c : {L'a', L'\0', wchar_t{0x00A0}, wchar_t{0x3000}}) EXPECT_FALSE(IsWhiteSpace(c)) << int(c);
  EXPECT_EQ(TrimWhiteSpace(L" \t a b \r\n"), L"a b");
  EXPECT_EQ(TrimWhiteSpace(L" \t\r\n"), L"");
}

TEST(Text, LeadingIntegersReadAsTheRuntimeReadsStoredNumbers) {
  EXPECT_EQ(ParseLeadingInt(L"  42abc"), 42);
  EXPECT_EQ(ParseLeadingInt(L"-7"), -7);
  EXPECT_EQ(ParseLeadingInt(L"+3"), 3);
  EXPECT_EQ(ParseLeadingInt(L"Keep"), 0);
  EXPECT_EQ(ParseLeadingInt(L""), 0);
  EXPECT_EQ(ParseLeadingInt(L"99999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseLeadingInt(L"-99999999999999999999"), INT_MIN);
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(-2147483648LL), L"-2147483648");
  EXPECT_EQ(DecimalText(INT64_MIN), L"-9223372036854775808");
}

TEST(Text, FormatWithStringsSubstitutesInOrder) {
  EXPECT_EQ(FormatWithStrings(L"%s\\QuarveloBak%s.bak", {L"C:\\B", L"_May"}),
            L"C:\\B\\QuarveloBak_May.bak");
  EXPECT_EQ(FormatWithStrings(L"100%% %s %d", {L"x"}), L"100% x %d");
  EXPECT_EQ(FormatWithStrings(L"%s-%s", {L"only"}), L"only-");
  EXPECT_EQ(JoinPath(L"CLSID", L"{x}"), L"CLSID\\{x}");
  EXPECT_EQ(JoinPath(L"", L"x"), L"\\x");
}

// A relative path of a command line, made full before the program leaves the folder it was
// started in.
TEST(Text, FullPathResolvesAgainstTheCurrentFolderAsWindowsDoes) {
  struct CASE {
    const wchar_t* path;
    const wchar_t* current;
    const wchar_t* full;
  };
  const CASE cases[] = {
      {L"out.json", L"C:\\Users\\me", L"C:\\Users\\me\\out.json"},
      {L".\\a/b.json", L"C:\\Users\\me\\", L"C:\\Users\\me\\a\\b.json"},
      {L"..\\..\\..\\x.json", L"C:\\Users\\me", L"C:\\x.json"},
      {L"..", L"C:\\Users", L"C:\\"},
      {L"\\r.json", L"D:\\work\\deep", L"D:\\r.json"},
      {L"c:rel.json", L"C:\\work", L"C:\\work\\rel.json"},
      {L"E:rel.json", L"C:\\work", L"E:\\rel.json"},
      {L"x\\..\\y.json", L"\\\\srv\\share\\dir", L"\\\\srv\\share\\dir\\y.json"},
      {L"..\\..\\z.json", L"\\\\srv\\share\\dir", L"\\\\srv\\share\\z.json"},
      {L"\\top.json", L"\\\\srv\\share\\dir", L"\\\\srv\\share\\top.json"},
      // Already full: as it is.
      {L"C:\\a\\..\\b.json", L"D:\\x", L"C:\\a\\..\\b.json"},
      {L"\\\\host\\s\\f.json", L"D:\\x", L"\\\\host\\s\\f.json"},
      {L"\\\\?\\C:\\f.json", L"D:\\x", L"\\\\?\\C:\\f.json"},
      // Nothing to resolve against, or nothing to resolve.
      {L"out.json", L"", L"out.json"},
      {L"", L"C:\\x", L""},
  };
  for (const CASE& c : cases) {
    EXPECT_EQ(FullPath(c.path, c.current), c.full) << ToUtf8(c.path) << " in " << ToUtf8(c.current);
  }
}

}  // namespace
}  // namespace qv
