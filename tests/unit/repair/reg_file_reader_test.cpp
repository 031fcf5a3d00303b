#include "repair/reg_file_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_file_system.h"
#include "platform/registry.h"

namespace qv {
namespace {

// UTF-16LE with a byte-order mark, "\n" written as CR LF.
std::string Utf16File(std::wstring_view text) {
  std::wstring crlf;
  for (const wchar_t c : text) {
    if (c == L'\n') crlf.push_back(L'\r');
    crlf.push_back(c);
  }
  std::string bytes = "\xFF\xFE";
  for (const std::uint8_t b : ToUtf16LeBytes(crlf, false)) bytes.push_back(static_cast<char>(b));
  return bytes;
}

// One byte per character (every character below U+0100), "\n" written as CR LF.
std::string AnsiFile(std::wstring_view text) {
  std::string bytes;
  for (const wchar_t c : text) {
    if (c == L'\n') bytes.push_back('\r');
    bytes.push_back(static_cast<char>(c));
  }
  return bytes;
}

ErrorCode Latin1(std::string_view bytes, std::wstring* text) {
  text->clear();
  for (const char c : bytes) text->push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return kErrorSuccess;
}

std::vector<REG_FILE_SECTION> Parse(const std::string& bytes) {
  std::vector<REG_FILE_SECTION> sections;
  EXPECT_EQ(ParseRegFile(bytes, Latin1, &sections), kErrorSuccess);
  return sections;
}

TEST(ParseRegFile, ReadsValueLinesAsTheEditorDoesInBothForms) {
  const std::wstring body =
      L"\"before any section\"=\"ignored\"\n"
      L"[HKEY_USERS\\a]\n"
      L"\"a\\\\b\\\"c\\n\\q\"=\"x\\\"y\\\\\" ; comment\n"
      L"  @ = dword:0000010a\n"
      L"\"bin\"=hex:01,\\\n   ; between\n  0x02,ff\n"
      L"\"typed\"=hex(2):41,00\n"
      L"\"q\"=hex( b):01,02,03,04,05,06,07,08\n"
      L"\"gone\"=-\n"
      L"\"upper\"=DWORD:1\n"
      L"\"nul\"=\"a\\0\"\n"
      L"\"big\"=hex:100\n"
      L"\"lost\"=hex:01,\\\n\n\"eaten\"=\"by the empty line\"\n"
      L"\"kept\"=\"\"\n"
      L"[-HKEY_USERS\\b]\n"
      L"\"in a deleted key\"=\"ignored\"\n"
      L"[HKEY_USERS\\c]\n"
      L"\"end\"=hex:01,\\\n";
  struct EXPECT_VALUE {
    std::wstring name;
    RegValueAction action;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const std::vector<EXPECT_VALUE> expectedA = {
      {L"a\\b\"c\nq", RegValueAction::kSet, kRegSz, {'x', 0, '"', 0, 'y', 0, '\\', 0}},
      {L"", RegValueAction::kSet, kRegDword, {0x0a, 0x01, 0, 0}},
      {L"bin", RegValueAction::kSet, kRegBinary, {1, 2, 0xff}},
      {L"typed", RegValueAction::kSet, kRegExpandSz, {0x41, 0}},
      {L"q", RegValueAction::kSet, kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
      {L"gone", RegValueAction::kDelete, 0, {}},
      {L"upper", RegValueAction::kRejected, 0, {}},
      {L"nul", RegValueAction::kRejected, 0, {}},
      {L"big", RegValueAction::kRejected, 0, {}},
      {L"lost", RegValueAction::kRejected, 0, {}},
      {L"kept", RegValueAction::kSet, kRegSz, {}},
  };
  struct FORM {
    const char* what;
    std::string bytes;
    RegDataMatch stringBytes;
  };
  const std::vector<FORM> forms = {
      {"Unicode", Utf16File(L"Windows Registry Editor Version 5.00\n" + body),
       RegDataMatch::kStringBytes},
      {"8-bit", AnsiFile(L"REGEDIT4\n" + body), RegDataMatch::kTypeOnly},
  };
  for (const FORM& form : forms) {
    SCOPED_TRACE(form.what);
    const std::vector<REG_FILE_SECTION> sections = Parse(form.bytes);
    ASSERT_EQ(sections.size(), 3u);
    const std::vector<REG_FILE_VALUE>& values = sections[0].values;
    ASSERT_EQ(values.size(), expectedA.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(values[i].name, expectedA[i].name);
      EXPECT_EQ(values[i].action, expectedA[i].action);
      if (expectedA[i].action != RegValueAction::kSet) continue;
      EXPECT_EQ(values[i].type, expectedA[i].type);
      EXPECT_EQ(values[i].data, expectedA[i].data);
    }
    EXPECT_EQ(values[0].match, RegDataMatch::kString);
    EXPECT_EQ(values[1].match, RegDataMatch::kExact);
    EXPECT_EQ(values[3].match, form.stringBytes);
    EXPECT_TRUE(sections[1].deletion);
    EXPECT_TRUE(sections[1].values.empty());
    ASSERT_EQ(sections[2].values.size(), 1u);
    EXPECT_EQ(sections[2].values[0].action, RegValueAction::kRejected);  // broken off at the end
  }
}

TEST(ParseRegFile, ReadsHeadsAndLineEndsOfBothForms) {
  // CR LF, LF and a CR alone all end a line; the last bracket closes the name.
  const std::string unicode = Utf16File(
      L"Windows Registry Editor Version 5.00\n\n[HKEY_USERS\\a]\n\"x\"=hex:01,\\\n  02\n\n"
      L"[-HKEY_USERS\\b]\n  [HKCU\\c]]\n\"[not a head]\"=\"\"\n");
  const std::string ansi = "REGEDIT4\n[HKEY_USERS\\a]\r\"x\"=hex:01,\\\r\n  02\n[-HKEY_USERS\\b]"
                           "\r\n  [HKCU\\c]]\r\"[not a head]\"=\"\"";
  for (const std::string& bytes : {unicode, ansi}) {
    const std::vector<REG_FILE_SECTION> sections = Parse(bytes);
    ASSERT_EQ(sections.size(), 3u);
    EXPECT_EQ(sections[0].key, L"HKEY_USERS\\a");
    EXPECT_FALSE(sections[0].deletion);
    ASSERT_EQ(sections[0].values.size(), 1u);
    EXPECT_EQ(sections[0].values[0].data, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(sections[1].key, L"HKEY_USERS\\b");
    EXPECT_TRUE(sections[1].deletion);
    EXPECT_EQ(sections[2].key, L"HKCU\\c]");
    ASSERT_EQ(sections[2].values.size(), 1u);
    EXPECT_EQ(sections[2].values[0].name, L"[not a head]");
  }
}

TEST(ParseRegFile, RefusesFilesWithoutAHeaderAndPassesOnTheDecodersError) {
  const std::vector<std::string> rejected = {
      "",
      "\xFF\xFE",
      "[HKEY_USERS\\x]\r\n",
      "regedit4\r\n[HKEY_USERS\\x]\r\n",
      "\xEF\xBB\xBFREGEDIT4\r\n",
      "REGEDIT\r\n",
      Utf16File(L"REGEDIT4 5.00\n"),
  };
  for (const std::string& bytes : rejected) {
    std::vector<REG_FILE_SECTION> sections(1);
    EXPECT_EQ(ParseRegFile(bytes, Latin1, &sections), kErrorInvalidData) << bytes;
    EXPECT_EQ(sections.size(), 1u) << "left as it was";
  }
  EXPECT_EQ(Parse(" REGEDIT4\t\r\n").size(), 0u);  // blanks around the header are allowed

  const CodePageDecoder failing = [](std::string_view, std::wstring*) {
    return kErrorNoUnicodeTranslation;
  };
  std::vector<REG_FILE_SECTION> sections;
  EXPECT_EQ(ParseRegFile("REGEDIT4\r\n", failing, &sections), kErrorNoUnicodeTranslation);
  EXPECT_EQ(ParseRegFile(Utf16File(L"REGEDIT4\n[HKCU\\a]\n"), failing, &sections), kErrorSuccess)
      << "a Unicode file never goes through the code page";
}

TEST(ReadRegFile, DecodesEightBitFilesInTheCodePageAndReportsReadErrors) {
  CMemoryFileSystem files;
  // 0x80 is the euro sign in the file system's code page (Windows-1252), not U+0080.
  files.AddFile(L"C:\\b.reg", "REGEDIT4\r\n[HKCU\\caf\xE9]\r\n\"\x80\"=\"\xE9\"\r\n");
  std::vector<REG_FILE_SECTION> sections;
  ASSERT_EQ(ReadRegFile(files, L"C:\\b.reg", &sections), kErrorSuccess);
  ASSERT_EQ(sections.size(), 1u);
  EXPECT_EQ(sections[0].key, L"HKCU\\caf\u00e9");
  ASSERT_EQ(sections[0].values.size(), 1u);
  EXPECT_EQ(sections[0].values[0].name, L"\u20ac");
  EXPECT_EQ(sections[0].values[0].data, ToUtf16LeBytes(L"\u00e9", false));

  EXPECT_EQ(ReadRegFile(files, L"C:\\missing.reg", &sections), kErrorFileNotFound);
  EXPECT_EQ(ReadRegFile(files, L"C:\\no\\such.reg", &sections), kErrorPathNotFound);
  EXPECT_EQ(sections.size(), 1u);
}

}  // namespace
}  // namespace qv
