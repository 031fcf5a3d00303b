// The helpers the checks share: registry data as terminated text, value enumeration within the
// caller's limits, the referenced-key test and the shell's path append.
#include "engine/check_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_registry.h"
#include "base/utf16.h"

namespace qv {
namespace {

TEST(CheckSupport, RegistryDataText) {
  struct {
    const char* label;
    std::vector<std::uint8_t> bytes;
    std::uint32_t capacity;
    std::wstring expected;
  } const cases[] = {
      {"terminated", ToUtf16LeBytes(L"abc", true), 16, L"abc"},
      {"unterminated with room", ToUtf16LeBytes(L"abc", false), 16, L"abc"},
      {"unterminated filling the buffer", ToUtf16LeBytes(L"abcd", false), 8, L"abc"},
      {"terminated filling the buffer", ToUtf16LeBytes(L"abc", true), 8, L"abc"},
      {"embedded NUL", ToUtf16LeBytes(std::wstring(L"ab\0cd", 5), false), 16, L"ab"},
      {"odd byte count", {'a', 0, 'b'}, 16, L"a"},
      {"a DWORD", {7, 0, 0, 0}, 16, L"\x07"},
      {"empty", {}, 16, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(RegistryDataText(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()),
                               c.capacity),
              c.expected);
  }
}

TEST(CheckSupport, EnumValueTextKeepsTheLimitsAndLeavesOutputsAloneOnFailure) {
  CMemoryRegistry registry;
  registry.SetString(L"HKLM\\T", L"abc", L"1234");       // 10 bytes with the NUL
  registry.SetString(L"HKLM\\T", L"second", L"data");
  CRegKey key(registry);
  ASSERT_EQ(key.Open(kHkeyLocalMachine, L"T", kKeyReadWriteCreate), kErrorSuccess);

  struct {
    std::uint32_t index;
    std::uint32_t nameChars;
    std::uint32_t dataBytes;
    ErrorCode rc;
    std::wstring name;
    std::wstring data;
  } const cases[] = {
      {0, 4, 10, kErrorSuccess, L"abc", L"1234"},
      {0, 3, 10, kErrorMoreData, L"sentinel", L"sentinel"},  // "abc" needs 4 with the NUL
      {0, 4, 9, kErrorMoreData, L"sentinel", L"sentinel"},
      {0, 4, 0, kErrorSuccess, L"abc", L""},  // no data buffer: the data is not limited
      {1, 16, 16, kErrorSuccess, L"second", L"data"},
      {2, 16, 16, kErrorNoMoreItems, L"sentinel", L"sentinel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index * 1000 + c.nameChars * 100 + c.dataBytes);
    std::wstring name = L"sentinel";
    std::wstring data = L"sentinel";
    EXPECT_EQ(EnumValueText(key, c.index, c.nameChars, c.dataBytes, &name, &data), c.rc);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(data, c.data);
  }
  key.Close();
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(CheckSupport, ReferencedKeyExists) {
  CMemoryRegistry registry;
  registry.CreatePath(L"HKCR\\AppID\\{PRESENT}");
  registry.CreatePath(L"HKCR\\AppID\\{READ-ONLY}");
  registry.DenyAccess(L"HKCR\\AppID\\{READ-ONLY}", kKeySetValue);

  EXPECT_TRUE(ReferencedKeyExists(registry, kHkeyClassesRoot, L"AppID\\{PRESENT}"));
  EXPECT_TRUE(ReferencedKeyExists(registry, kHkeyClassesRoot, L"AppID\\{READ-ONLY}"));
  EXPECT_FALSE(ReferencedKeyExists(registry, kHkeyClassesRoot, L"AppID\\{MISSING}"));
  EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(CheckSupport, AppendPathFollowsTheShell) {
  struct {
    const wchar_t* path;
    const wchar_t* more;
    const wchar_t* expected;
  } const cases[] = {
      {L"C:\\Windows\\Fonts", L"arial.ttf", L"C:\\Windows\\Fonts\\arial.ttf"},
      {L"C:\\Windows\\Fonts\\", L"arial.ttf", L"C:\\Windows\\Fonts\\arial.ttf"},
      {L"C:\\Windows\\Fonts", L"\\arial.ttf", L"C:\\Windows\\Fonts\\arial.ttf"},
      {L"C:\\Windows\\Fonts", L"sub\\arial.ttf", L"C:\\Windows\\Fonts\\sub\\arial.ttf"},
      {L"C:\\Windows\\Fonts", L"", L"C:\\Windows\\Fonts"},
      {L"C:\\Windows\\Fonts", L"\\\\server\\fonts\\a.ttf", L"\\\\server\\fonts\\a.ttf"},
      {L"C:\\Windows\\Fonts", L"D:a.ttf", L"D:a.ttf"},
      {L"", L"arial.ttf", L"arial.ttf"},
      {L"%windir%\\Fonts", L"arial.ttf", L"%windir%\\Fonts\\arial.ttf"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.more));
    std::wstring result = L"sentinel";
    EXPECT_TRUE(AppendPath(c.path, c.more, &result));
    EXPECT_EQ(result, c.expected);
  }
}

TEST(CheckSupport, AppendPathRefusesWhatDoesNotFitAPathBuffer) {
  const std::wstring folder = L"C:\\" + std::wstring(250, L'f');  // 253 characters
  std::wstring result = L"sentinel";
  EXPECT_TRUE(AppendPath(folder, L"a.ttf", &result));  // 259 characters
  EXPECT_EQ(result.size(), 259u);
  result = L"sentinel";
  EXPECT_FALSE(AppendPath(folder, L"ab.ttf", &result));  // 260 characters
  EXPECT_EQ(result, L"sentinel");
}

}  // namespace
}  // namespace qv
