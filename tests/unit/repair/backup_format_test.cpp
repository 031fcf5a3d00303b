#include "repair/backup_format.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "base/utf16.h"

namespace qv {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::vector<std::uint8_t> Sequence(std::size_t count) {
  std::vector<std::uint8_t> out(count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(i + 1);
  return out;
}

std::wstring Data(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  return FormatValueData(type, bytes.data(), bytes.size());
}

// The number of bytes on each line of a formatted byte list (prefix, blanks and continuations
// left out).
std::vector<std::size_t> BytesPerLine(const std::wstring& text) {
  std::vector<std::size_t> counts;
  std::size_t start = text.find(L':') + 1;
  while (start < text.size()) {
    const std::size_t end = text.find(L'\n', start);
    std::size_t n = 0;
    bool inByte = false;
    for (std::size_t i = start; i < end; ++i) {
      const bool hex = std::iswxdigit(text[i]) != 0;
      if (hex && !inByte) ++n;
      inByte = hex;
    }
    counts.push_back(n);
    start = end + 1;
  }
  return counts;
}

TEST(FormatValueData, EveryTypeHasADataText) {
  struct CASE {
    const char* what;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::wstring expected;
  };
  const std::vector<CASE> cases = {
      {"string with backslash and quote", kRegSz, ToUtf16LeBytes(L"C:\\a\"b", true),
       L"\"C:\\\\a\\\"b\"\n"},
      {"terminator alone", kRegSz, Bytes({0, 0}), L"\"\"\n"},
      // REG_SZ data that is not one text and its NUL keeps every byte as string bytes.
      {"string of no bytes", kRegSz, {}, L"hex(1):\n"},
      {"string with a NUL inside", kRegSz, ToUtf16LeBytes(std::wstring(L"ab\0c", 4), true),
       L"hex(1):61,00,62,00,00,00,63,00,00,00\n"},
      {"string of two NULs", kRegSz, Bytes({0, 0, 0, 0}), L"hex(1):00,00,00,00\n"},
      {"unterminated string", kRegSz, ToUtf16LeBytes(L"xyz", false),
       L"hex(1):78,00,79,00,7a,00\n"},
      {"string of odd length gains a zero byte", kRegSz, Bytes({0x61, 0, 0x62}),
       L"hex(1):61,00,62,00\n"},
      {"one-byte string", kRegSz, Bytes({0x41}), L"hex(1):41,00\n"},
      {"terminated string and an odd byte", kRegSz, Bytes({0x61, 0, 0, 0, 0x42}),
       L"hex(1):61,00,00,00,42\n"},
      {"string with a line break goes out as string bytes", kRegSz,
       ToUtf16LeBytes(L"a\nb", true), L"hex(1):61,00,0a,00,62,00,00,00\n"},
      {"dword 1", kRegDword, Bytes({1, 0, 0, 0}), L"dword:00000001\n"},
      {"dword ffffffff", kRegDword, Bytes({0xFF, 0xFF, 0xFF, 0xFF}), L"dword:ffffffff\n"},
      {"dword little-endian", kRegDword, Bytes({0x78, 0x56, 0x34, 0x12}), L"dword:12345678\n"},
      {"dword of 8 bytes keeps every byte", kRegDword, Bytes({1, 2, 3, 4, 5, 6, 7, 8}),
       L"hex(4):01,02,03,04,05,06,07,08\n"},
      {"dword of 2 bytes", kRegDword, Bytes({1, 2}), L"hex(4):01,02\n"},
      {"empty dword", kRegDword, {}, L"hex(4):\n"},
      {"binary", kRegBinary, Bytes({1, 2, 0xFF}), L"hex:01,02,ff\n"},
      {"empty binary", kRegBinary, {}, L"hex:\n"},
      {"expandable string", kRegExpandSz, ToUtf16LeBytes(L"%x", true),
       L"hex(2):25,00,78,00,00,00\n"},
      {"multi-string", kRegMultiSz, Bytes({0x61, 0, 0, 0, 0, 0}), L"hex(7):61,00,00,00,00,00\n"},
      {"expandable string of odd length gains a zero byte", kRegExpandSz, Bytes({0x25, 0, 0x78}),
       L"hex(2):25,00,78,00\n"},
      {"one-byte multi-string", kRegMultiSz, Bytes({0x41}), L"hex(7):41,00\n"},
      {"odd length after a NUL unit stays as it is", kRegMultiSz, Bytes({0x41, 0, 0, 0, 0x42}),
       L"hex(7):41,00,00,00,42\n"},
      {"empty expandable string", kRegExpandSz, {}, L"hex(2):\n"},
      {"resource list", kRegResourceList, Bytes({9}), L"hex(8):09\n"},
      {"full resource descriptor", kRegFullResourceDescriptor, Bytes({9}), L"hex(9):09\n"},
      {"type 10 in hexadecimal", kRegResourceRequirementsList, Bytes({9}), L"hex(a):09\n"},
      {"none", kRegNone, Bytes({0xAB}), L"hex(0):ab\n"},
      {"empty none", kRegNone, {}, L"hex(0):\n"},
      {"big-endian dword", kRegDwordBigEndian, Bytes({0, 0, 0, 1}), L"hex(5):00,00,00,01\n"},
      {"link", kRegLink, Bytes({0x5C, 0}), L"hex(6):5c,00\n"},
      {"qword", kRegQword, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), L"hex(b):01,00,00,00,00,00,00,00\n"},
      {"type 12", 12, Bytes({7}), L"hex(c):07\n"},
      {"type 0x100", 0x100, Bytes({7}), L"hex(100):07\n"},
      {"largest type", 0xFFFFFFFFu, Bytes({7}), L"hex(ffffffff):07\n"},
  };
  for (const CASE& c : cases) {
    EXPECT_EQ(Data(c.type, c.data), c.expected) << c.what;
  }
}

TEST(FormatValueData, OnlyStringBytesNeedTheUnicodeForm) {
  struct CASE {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    bool needs;
  };
  const std::vector<CASE> cases = {
      {kRegSz, ToUtf16LeBytes(L"plain", true), false},
      {kRegSz, ToUtf16LeBytes(L"two\r\nlines", true), true},
      {kRegSz, ToUtf16LeBytes(std::wstring(L"a\0\n", 3), true), true},  // NUL inside
      {kRegSz, ToUtf16LeBytes(L"abc", false), true},
      {kRegSz, Bytes({0x61, 0, 0x62}), true},
      {kRegSz, {}, false},  // hex(1): with no bytes is the same in both forms
      {kRegExpandSz, ToUtf16LeBytes(L"%x", true), true},
      {kRegMultiSz, Bytes({0, 0}), true},
      {kRegExpandSz, {}, false},
      {kRegMultiSz, {}, false},
      {kRegBinary, Bytes({1}), false},
      {kRegNone, Bytes({1}), false},
      {kRegDword, Bytes({1, 0, 0, 0}), false},
  };
  for (const CASE& c : cases) {
    EXPECT_EQ(ValueDataNeedsUnicode(c.type, c.data.data(), c.data.size()), c.needs)
        << Data(c.type, c.data);
  }
}

TEST(FormatByteList, WrapsAfter22Then24ThenEvery25Bytes) {
  const auto data = Sequence(120);
  const std::wstring text = FormatByteList(L"hex:", data.data(), data.size());
  EXPECT_EQ(BytesPerLine(text), (std::vector<std::size_t>{22, 24, 25, 25, 24}));
  EXPECT_EQ(text.substr(0, 10), L"hex:01,02,");
  // Every line but the last ends with a comma and the continuation.
  EXPECT_NE(text.find(L"15,16,\\\n 17,18,"), std::wstring::npos);
  EXPECT_EQ(text.substr(text.size() - 4), L",78\n");
}

TEST(FormatByteList, NeverEndsWithAContinuationOrAComma) {
  // The lengths at and around each wrap point.
  for (const std::size_t count : {1u, 21u, 22u, 23u, 45u, 46u, 47u, 70u, 71u, 72u, 96u, 97u}) {
    const auto data = Sequence(count);
    const std::wstring text = FormatByteList(L"hex:", data.data(), data.size());
    ASSERT_GE(text.size(), 4u);
    EXPECT_NE(text[text.size() - 2], L',') << count;
    EXPECT_NE(text[text.size() - 2], L' ') << count;
    std::size_t total = 0;
    for (const std::size_t n : BytesPerLine(text)) total += n;
    EXPECT_EQ(total, count);
  }
  const auto data22 = Sequence(22);
  EXPECT_EQ(FormatByteList(L"hex:", data22.data(), 22).substr(4 + 21 * 3),
            L"16\n");  // the 22nd byte ends the list: no continuation follows it
  const auto data23 = Sequence(23);
  EXPECT_EQ(FormatByteList(L"hex:", data23.data(), 23).substr(4 + 22 * 3), L"\\\n 17\n");
  EXPECT_EQ(FormatByteList(L"hex:", nullptr, 0), L"hex:\n");
}

TEST(FormatValueLine, NamesAreEscapedAndTheDefaultIsAt) {
  EXPECT_EQ(FormatValueLine(L"Path", L"\"C:\\\\a\\\"b\"\n"), L"\"Path\"=\"C:\\\\a\\\"b\"\n");
  EXPECT_EQ(FormatValueLine(L"", L"dword:00000001\n"), L"@=dword:00000001\n");
  EXPECT_EQ(FormatValueLine(L"C:\\Windows\\x.dll", L"dword:00000001\n"),
            L"\"C:\\\\Windows\\\\x.dll\"=dword:00000001\n");
  EXPECT_EQ(FormatValueLine(L"say \"hi\"=,", L"hex:\n"), L"\"say \\\"hi\\\"=,\"=hex:\n");
  EXPECT_EQ(FormatValueLine(L"@", L"hex:\n"), L"\"@\"=hex:\n");
}

TEST(FormatSections, KeyValueAndDeleteSections) {
  EXPECT_EQ(FormatSectionHead(L"HKEY_CURRENT_USER\\A"), L"\n\n[HKEY_CURRENT_USER\\A]\n");
  EXPECT_EQ(FormatValueSection(L"HKEY_USERS\\B", L"@=\"x\"\n"), L"\n\n[HKEY_USERS\\B]\n@=\"x\"\n\n");
  EXPECT_EQ(FormatDeleteValueSection(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\COM",
                                     L"12345"),
            L"\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo\\blocked\\COM]\n\"12345\"=-\n");
}

TEST(RegFileHeader, Version5OnlyForNt5) {
  struct CASE {
    std::uint32_t major, minor;
    const wchar_t* header;
  };
  const CASE cases[] = {{5, 0, L"Windows Registry Editor Version 5.00"},
                        {5, 1, L"Windows Registry Editor Version 5.00"},
                        {5, 2, L"Windows Registry Editor Version 5.00"},
                        {5, 3, L"REGEDIT4"},
                        {4, 0, L"REGEDIT4"},
                        {4, 10, L"REGEDIT4"},
                        {6, 0, L"REGEDIT4"},
                        {6, 1, L"REGEDIT4"},
                        {0, 0, L"REGEDIT4"}};
  for (const CASE& c : cases) {
    EXPECT_EQ(RegFileHeader(c.major, c.minor), c.header) << c.major << "." << c.minor;
  }
}

}  // namespace
}  // namespace qv
