#include "repair/merge_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_registry.h"

namespace qv {
namespace {

constexpr wchar_t kKey[] = L"HKCU\\Software\\T";

// The sections of a file whose lines follow its header; `unicode` reads it in the Unicode form.
std::vector<REG_FILE_SECTION> Sections(const std::wstring& lines, bool unicode) {
  std::string bytes = unicode ? "\xFF\xFE" : "";
  const std::wstring text = (unicode ? L"Windows Registry Editor Version 5.00\n" : L"REGEDIT4\n") +
                            lines;
  if (unicode) {
    for (const std::uint8_t b : ToUtf16LeBytes(text, false)) bytes.push_back(static_cast<char>(b));
  } else {
    for (const wchar_t c : text) bytes.push_back(static_cast<char>(c));
  }
  std::vector<REG_FILE_SECTION> sections;
  const CodePageDecoder latin1 = [](std::string_view in, std::wstring* out) {
    out->assign(in.begin(), in.end());
    return kErrorSuccess;
  };
  EXPECT_EQ(ParseRegFile(bytes, latin1, &sections), kErrorSuccess);
  return sections;
}

std::wstring Sub(const wchar_t* below) { return std::wstring(kKey) + L"\\" + below; }

TEST(ConfirmMerge, HoldsOnlyWhenEveryKeyAndValueIsAsTheFileLeavesIt) {
  struct CASE {
    const char* what;
    std::function<void(CMemoryRegistry&)> before;
    std::wstring lines;
    bool unicode;
    ErrorCode expected;
    MERGE_MISMATCH mismatch;  // when expected is kErrorCantWrite
  };
  const auto none = [](CMemoryRegistry&) {};
  const auto keyA = [](CMemoryRegistry& r) { r.CreatePath(Sub(L"A")); };
  const auto raw = [](std::uint32_t type, std::vector<std::uint8_t> data) {
    return [type, data](CMemoryRegistry& r) { r.SetValueRaw(Sub(L"A"), L"v", type, data); };
  };
  const std::wstring a = L"[HKCU\\Software\\T\\A]\n";
  const std::vector<CASE> cases = {
      {"keys and values there", raw(kRegSz, {'x', 0, 0, 0}),
       a + L"\"v\"=\"x\"\n[" + Sub(L"A") + L"]\n", false, kErrorSuccess, {}},
      {"a missing key is named before a wrong value", none, L"[" + Sub(L"B") + L"]\n" + a +
       L"\"v\"=\"x\"\n", false, kErrorCantWrite, {Sub(L"A"), false, L""}},
      {"a deleted key still there", keyA, L"[-" + Sub(L"A") + L"]\n", false, kErrorCantWrite,
       {Sub(L"A"), false, L""}},
      {"the last word on a key counts", none, a + L"[-" + Sub(L"a") + L"]\n", false, kErrorSuccess,
       {}},
      {"a key section brings back the levels above a deleted key",
       [](CMemoryRegistry& r) { r.CreatePath(Sub(L"A\\B")); },
       L"[-" + Sub(L"A") + L"]\n[" + Sub(L"A\\B") + L"]\n", false, kErrorSuccess, {}},
      {"a deleted key takes what the file put below it", none,
       L"[" + Sub(L"A\\B") + L"]\n\"v\"=dword:1\n[-" + Sub(L"A") + L"]\n", false, kErrorSuccess,
       {}},
      {"an unknown root", none, L"[HKEY_NOWHERE\\x]\n", false, kErrorCantWrite,
       {L"HKEY_NOWHERE\\x", false, L""}},
      {"root spellings in any case", keyA,
       L"[hkey_current_user\\Software\\T\\A]\n[hKcU\\SOFTWARE\\t\\a]\n", false, kErrorSuccess, {}},
      {"a key that refuses reading exists",
       [](CMemoryRegistry& r) {
         r.CreatePath(Sub(L"A"));
         r.DenyAccess(Sub(L"A"), kKeyQueryValue);
       },
       a, false, kErrorSuccess, {}},
      {"a string up to its first NUL", raw(kRegSz, {'x', 0, 0, 0, 'y', 0}), a + L"\"v\"=\"x\"\n",
       false, kErrorSuccess, {}},
      {"another string", raw(kRegSz, {'y', 0, 0, 0}), a + L"\"v\"=\"x\"\n", false, kErrorCantWrite,
       {Sub(L"A"), true, L"v"}},
      {"the right text in another type", raw(kRegExpandSz, {'x', 0, 0, 0}), a + L"\"v\"=\"x\"\n",
       false, kErrorCantWrite, {Sub(L"A"), true, L"v"}},
      {"exact bytes", raw(kRegDword, {5, 0, 0, 0}), a + L"\"v\"=dword:5\n", false, kErrorSuccess,
       {}},
      {"other bytes", raw(kRegDword, {5, 0, 0, 0}), a + L"\"v\"=dword:6\n", false,
       kErrorCantWrite, {Sub(L"A"), true, L"v"}},
      {"string bytes as written", raw(kRegExpandSz, {0x41, 0}), a + L"\"v\"=hex(2):41,00\n", true,
       kErrorSuccess, {}},
      {"string bytes terminated by the editor", raw(kRegExpandSz, {0x41, 0, 0, 0}),
       a + L"\"v\"=hex(2):41,00\n", true, kErrorSuccess, {}},
      {"the editor's NUL over an odd last byte", raw(kRegMultiSz, {0x41, 0, 0, 0}),
       a + L"\"v\"=hex(7):41,00,42\n", true, kErrorSuccess, {}},
      {"string bytes that differ", raw(kRegExpandSz, {0x41, 0, 0x42, 0}),
       a + L"\"v\"=hex(2):41,00\n", true, kErrorCantWrite, {Sub(L"A"), true, L"v"}},
      {"only the type of string bytes in an 8-bit file", raw(kRegExpandSz, {1, 2, 3}),
       a + L"\"v\"=hex(2):41,00\n", false, kErrorSuccess, {}},
      {"a deleted value gone", keyA, a + L"\"v\"=-\n", false, kErrorSuccess, {}},
      {"a deleted value still there", raw(kRegSz, {}), a + L"\"v\"=-\n", false, kErrorCantWrite,
       {Sub(L"A"), true, L"v"}},
      {"a rejected line is never confirmed", raw(kRegDword, {1, 0, 0, 0}),
       a + L"\"v\"=DWORD:1\n", false, kErrorCantWrite, {Sub(L"A"), true, L"v"}},
      {"the last line on a value counts", raw(kRegDword, {2, 0, 0, 0}),
       a + L"\"v\"=DWORD:1\n\"V\"=dword:2\n", false, kErrorSuccess, {}},
      {"the default value", keyA, a + L"@=\"d\"\n", false, kErrorCantWrite,
       {Sub(L"A"), true, L""}},
  };
  for (const CASE& c : cases) {
    SCOPED_TRACE(c.what);
    CMemoryRegistry registry;
    c.before(registry);
    MERGE_MISMATCH mismatch{L"untouched", false, L""};
    EXPECT_EQ(ConfirmMerge(registry, Sections(c.lines, c.unicode), &mismatch), c.expected);
    if (c.expected == kErrorSuccess) {
      EXPECT_EQ(mismatch.key, L"untouched");
    } else {
      EXPECT_EQ(mismatch.key, c.mismatch.key);
      EXPECT_EQ(mismatch.value, c.mismatch.value);
      EXPECT_EQ(mismatch.valueName, c.mismatch.valueName);
    }
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
  }
  CMemoryRegistry empty;
  EXPECT_EQ(ConfirmMerge(empty, Sections(L"[HKCU\\x]\n", false)), kErrorCantWrite);  // no out
}

}  // namespace
}  // namespace qv
