#include "tests/unit/platform/registry_contract.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/utf16.h"

namespace qv::test {
namespace {

constexpr wchar_t kCurrentConfigPath[] =
    L"System\\CurrentControlSet\\Hardware Profiles\\Current\\QuarveloParity";
constexpr std::uint32_t kSentinel = 0xDEADBEEF;
constexpr wchar_t kCanaryChar = static_cast<wchar_t>(0x2A2A);
constexpr std::uint8_t kCanaryByte = 0xEE;

// Removes the key and its tree through no-follow handles, so a link is removed itself and its
// target left alone. False when the key is still there.
bool RemoveTree(IRegistry& reg, RegHandle parent, std::wstring_view subkey) {
  RegHandle key = kNullRegHandle;
  constexpr std::uint32_t kAccess = kDeleteAccess | kKeyQueryValue | kKeyEnumerateSubKeys;
  if (reg.OpenKeyNoFollow(parent, subkey, kAccess, &key) != kErrorSuccess) {
    return false;
  }
  for (std::uint32_t index = 0;;) {
    std::array<wchar_t, 512> name{};
    auto chars = static_cast<std::uint32_t>(name.size());
    if (reg.EnumKey(key, index, name.data(), &chars) != kErrorSuccess) break;
    if (!RemoveTree(reg, key, std::wstring(name.data(), chars))) ++index;
  }
  const bool removed = reg.DeleteOpenedKey(key) == kErrorSuccess;
  static_cast<void>(reg.CloseKey(key));
  return removed;
}

void CleanScratch(IRegistry& reg) {
  static_cast<void>(RemoveTree(reg, kHkeyCurrentUser, kScratchKey));
  static_cast<void>(RemoveTree(reg, kHkeyCurrentUser, kScratchClassPath));
  static_cast<void>(RemoveTree(reg, kHkeyLocalMachine, kScratchClassPath));
  static_cast<void>(RemoveTree(reg, kHkeyLocalMachine, kCurrentConfigPath));
}

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

}  // namespace

std::string RegistryTargetName(const ::testing::TestParamInfo<REGISTRY_TARGET>& info) {
  return info.param.name;
}

void CRegistryContract::SetUp() {
  m_target = GetParam().make();
  CleanScratch(Reg());
  bool created = false;
  ASSERT_EQ(Reg().CreateKey(kHkeyCurrentUser, kScratchKey, kKeyAllAccess, &m_scratch, &created),
            kErrorSuccess);
  ASSERT_TRUE(created);
}

void CRegistryContract::TearDown() {
  if (!m_target) return;
  for (RegHandle h : m_kept) static_cast<void>(Reg().CloseKey(h));
  if (m_scratch != kNullRegHandle) static_cast<void>(Reg().CloseKey(m_scratch));
  CleanScratch(Reg());
}

RegHandle CRegistryContract::Keep(RegHandle handle) {
  m_kept.push_back(handle);
  return handle;
}

RegHandle CRegistryContract::Make(std::wstring_view subkey, std::uint32_t access) {
  RegHandle key = kNullRegHandle;
  EXPECT_EQ(Reg().CreateKey(m_scratch, subkey, access, &key, nullptr), kErrorSuccess);
  return Keep(key);
}

void CRegistryContract::SetRaw(RegHandle key, std::wstring_view name, std::uint32_t type,
                               const std::vector<std::uint8_t>& bytes) {
  static const std::uint8_t kNothing = 0;
  ASSERT_EQ(Reg().SetValue(key, name, type, bytes.empty() ? &kNothing : bytes.data(),
                           static_cast<std::uint32_t>(bytes.size())),
            kErrorSuccess);
}

void CRegistryContract::SetText(RegHandle key, std::wstring_view name, std::wstring_view text) {
  SetRaw(key, name, kRegSz, ToUtf16LeBytes(text, true));
}

std::vector<std::wstring> CRegistryContract::SubkeyNames(RegHandle key) {
  std::vector<std::wstring> names;
  for (std::uint32_t i = 0;; ++i) {
    std::array<wchar_t, 512> buffer{};
    auto chars = static_cast<std::uint32_t>(buffer.size());
    const ErrorCode rc = Reg().EnumKey(key, i, buffer.data(), &chars);
    if (rc == kErrorNoMoreItems) break;
    EXPECT_EQ(rc, kErrorSuccess);
    if (rc != kErrorSuccess) break;
    names.emplace_back(buffer.data(), chars);
  }
  return names;
}

std::wstring CRegistryContract::MakeScratchLink(std::wstring_view link, std::wstring_view target) {
  return m_target->MakeLink(std::wstring(kScratchKey) + L"\\" + std::wstring(link),
                            std::wstring(kScratchKey) + L"\\" + std::wstring(target));
}

std::vector<std::wstring> CRegistryContract::ValueNames(RegHandle key) {
  std::vector<std::wstring> names;
  for (std::uint32_t i = 0;; ++i) {
    std::array<wchar_t, 2048> buffer{};
    auto chars = static_cast<std::uint32_t>(buffer.size());
    const ErrorCode rc = Reg().EnumValue(key, i, buffer.data(), &chars, nullptr, nullptr, nullptr);
    if (rc == kErrorNoMoreItems) break;
    EXPECT_EQ(rc, kErrorSuccess);
    if (rc != kErrorSuccess) break;
    names.emplace_back(buffer.data(), chars);
  }
  return names;
}

// ---- Buffer limits ----------------------------------------------------------------------------

TEST_P(CRegistryContract, EnumKeyHonoursTheCharacterLimitIncludingTheNul) {
  const RegHandle parent = Make(L"enum");
  static_cast<void>(Make(L"enum\\abcdef"));
  struct {
    std::uint32_t limit;
    ErrorCode expected;
  } cases[] = {{1, kErrorMoreData}, {6, kErrorMoreData}, {7, kErrorSuccess}, {64, kErrorSuccess}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limit);
    std::array<wchar_t, 80> buffer;
    buffer.fill(kCanaryChar);
    std::uint32_t chars = c.limit;
    EXPECT_EQ(Reg().EnumKey(parent, 0, buffer.data(), &chars), c.expected);
    if (c.expected == kErrorSuccess) {
      EXPECT_EQ(chars, 6u);
      EXPECT_EQ(std::wstring(buffer.data()), L"abcdef");
    } else {
      EXPECT_EQ(chars, c.limit);  // the length is left alone when the name does not fit
    }
    for (std::size_t i = c.limit; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], kCanaryChar) << "written beyond the buffer at " << i;
    }
  }
  std::array<wchar_t, 16> buffer{};
  std::uint32_t chars = 16;
  EXPECT_EQ(Reg().EnumKey(parent, 1, buffer.data(), &chars), kErrorNoMoreItems);
  EXPECT_EQ(Reg().EnumKey(parent, 1000, buffer.data(), &chars), kErrorNoMoreItems);
}

TEST_P(CRegistryContract, EnumValueHonoursNameAndDataLimits) {
  const RegHandle key = Make(L"values");
  SetText(key, L"valname", L"abcd");  // 10 bytes with the NUL
  struct {
    std::uint32_t nameLimit;
    std::uint32_t dataLimit;
    ErrorCode expected;
  } cases[] = {
      {7, 64, kErrorMoreData},   // the name needs 8 with its NUL
      {8, 9, kErrorMoreData},    // the data needs 10 bytes
      {8, 10, kErrorSuccess},
      {100, 64, kErrorSuccess},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nameLimit << "/" << c.dataLimit);
    std::array<wchar_t, 128> name;
    name.fill(kCanaryChar);
    std::array<std::uint8_t, 80> data;
    data.fill(kCanaryByte);
    std::uint32_t nameChars = c.nameLimit;
    std::uint32_t dataBytes = c.dataLimit;
    std::uint32_t type = kSentinel;
    EXPECT_EQ(Reg().EnumValue(key, 0, name.data(), &nameChars, &type, data.data(), &dataBytes),
              c.expected);
    if (c.expected == kErrorSuccess) {
      EXPECT_EQ(nameChars, 7u);
      EXPECT_EQ(std::wstring(name.data()), L"valname");
      EXPECT_EQ(type, kRegSz);
      EXPECT_EQ(dataBytes, 10u);
      EXPECT_EQ(FromUtf16LeBytes(data.data(), 10), std::wstring(L"abcd") + L'\0');
    } else if (c.nameLimit >= 8) {
      EXPECT_EQ(dataBytes, 10u);  // the size needed
      EXPECT_EQ(type, kRegSz);
    }
    for (std::size_t i = c.nameLimit; i < name.size(); ++i) {
      ASSERT_EQ(name[i], kCanaryChar) << "name written beyond the buffer at " << i;
    }
    for (std::size_t i = c.dataLimit; i < data.size(); ++i) {
      ASSERT_EQ(data[i], kCanaryByte) << "data written beyond the buffer at " << i;
    }
  }
  // Without a data buffer only the size is reported.
  std::array<wchar_t, 16> name{};
  std::uint32_t nameChars = 16;
  std::uint32_t dataBytes = kSentinel;
  EXPECT_EQ(Reg().EnumValue(key, 0, name.data(), &nameChars, nullptr, nullptr, &dataBytes),
            kErrorSuccess);
  EXPECT_EQ(dataBytes, 10u);
  nameChars = 16;
  EXPECT_EQ(Reg().EnumValue(key, 1, name.data(), &nameChars, nullptr, nullptr, nullptr),
            kErrorNoMoreItems);
}

TEST_P(CRegistryContract, ANameLongerThanTheBufferFailsAndTheNextIndexStillEnumerates) {
  const RegHandle key = Make(L"long");
  SetText(key, std::wstring(1100, L'n'), L"x");
  SetText(key, L"short", L"y");
  std::vector<ErrorCode> results;
  std::vector<std::wstring> names;
  for (std::uint32_t i = 0;; ++i) {
    std::vector<wchar_t> name(1024, kCanaryChar);
    name.resize(1100, kCanaryChar);
    std::uint32_t nameChars = 1024;
    std::array<std::uint8_t, 1024> data{};
    std::uint32_t dataBytes = data.size();
    const ErrorCode rc =
        Reg().EnumValue(key, i, name.data(), &nameChars, nullptr, data.data(), &dataBytes);
    if (rc == kErrorNoMoreItems) break;
    results.push_back(rc);
    if (rc == kErrorSuccess) names.emplace_back(name.data());
    for (std::size_t j = 1024; j < name.size(); ++j) ASSERT_EQ(name[j], kCanaryChar);
    ASSERT_LT(i, 10u);
  }
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(std::count(results.begin(), results.end(), kErrorMoreData), 1);
  EXPECT_EQ(names, std::vector<std::wstring>{L"short"});
}

TEST_P(CRegistryContract, QueryValueReportsSizesAndKeepsOutParametersOnFailure) {
  const RegHandle key = Make(L"query");
  SetText(key, L"", L"default text");  // 26 bytes
  // Missing value: 2, out-parameters untouched.
  std::uint32_t type = kSentinel;
  std::uint32_t bytes = 64;
  std::array<std::uint8_t, 64> data;
  data.fill(kCanaryByte);
  EXPECT_EQ(Reg().QueryValue(key, L"missing", &type, data.data(), &bytes), kErrorFileNotFound);
  EXPECT_EQ(type, kSentinel);
  EXPECT_EQ(bytes, 64u);
  EXPECT_EQ(data[0], kCanaryByte);
  // Size only.
  bytes = kSentinel;
  EXPECT_EQ(Reg().QueryValue(key, L"", &type, nullptr, &bytes), kErrorSuccess);
  EXPECT_EQ(bytes, 26u);
  EXPECT_EQ(type, kRegSz);
  // Too small: 234 with the size needed, nothing written beyond the buffer.
  bytes = 20;
  type = kSentinel;
  EXPECT_EQ(Reg().QueryValue(key, L"", &type, data.data(), &bytes), kErrorMoreData);
  EXPECT_EQ(bytes, 26u);
  EXPECT_EQ(type, kRegSz);
  for (std::size_t i = 20; i < data.size(); ++i) ASSERT_EQ(data[i], kCanaryByte);
  // Exactly the size.
  bytes = 26;
  EXPECT_EQ(Reg().QueryValue(key, L"", &type, data.data(), &bytes), kErrorSuccess);
  EXPECT_EQ(bytes, 26u);
  EXPECT_EQ(TruncateAtNul(FromUtf16LeBytes(data.data(), bytes)), L"default text");
  EXPECT_EQ(data[26], kCanaryByte);
}

// ---- Stored data -----------------------------------------------------------------------------

TEST_P(CRegistryContract, DataIsStoredExactlyAsGivenAndAStringGetsANulInTheCallersBuffer) {
  const RegHandle key = Make(L"raw");
  // The bytes after the given length are a NUL character: nothing may be added to the data.
  const std::vector<std::uint8_t> abcd = ToUtf16LeBytes(L"abcd", true);
  ASSERT_EQ(Reg().SetValue(key, L"unterminated", kRegSz, abcd.data(), 8), kErrorSuccess);
  SetRaw(key, L"odd", kRegSz, Bytes({'a', 0, 'b', 0, 'c', 0, 'd'}));
  SetRaw(key, L"binary", kRegBinary, Bytes({1, 2, 3, 4}));
  SetRaw(key, L"empty", kRegSz, {});

  struct {
    const wchar_t* name;
    std::uint32_t buffer;
    std::uint32_t size;
    std::size_t nulAt;  // where a NUL character is appended in the caller's buffer (0: none)
  } cases[] = {
      {L"unterminated", 8, 8, 0},   // no room for the NUL
      {L"unterminated", 9, 8, 0},   // one byte is not room enough
      {L"unterminated", 10, 8, 8},  // room: the NUL follows the data, not counted
      {L"odd", 16, 7, 7},
      {L"binary", 16, 4, 0},        // not a string: nothing added
      {L"empty", 16, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << ToUtf8(c.name) << " in " << c.buffer);
    std::array<std::uint8_t, 32> data;
    data.fill(kCanaryByte);
    std::uint32_t bytes = c.buffer;
    std::uint32_t type = kSentinel;
    EXPECT_EQ(Reg().QueryValue(key, c.name, &type, data.data(), &bytes), kErrorSuccess);
    EXPECT_EQ(bytes, c.size);
    std::size_t untouchedFrom = c.size;
    if (c.nulAt != 0) {
      EXPECT_EQ(data[c.nulAt], 0);
      EXPECT_EQ(data[c.nulAt + 1], 0);
      untouchedFrom = c.nulAt + 2;
    }
    for (std::size_t i = untouchedFrom; i < data.size(); ++i) ASSERT_EQ(data[i], kCanaryByte) << i;
  }
}

// ---- Order and case --------------------------------------------------------------------------

TEST_P(CRegistryContract, SubkeysEnumerateSortedWithoutCaseByUpperCaseCodeUnits) {
  const RegHandle parent = Make(L"order");
  for (const wchar_t* name : {L"b", L"A_b", L"ab", L"C", L"a", L"\u00e9t\u00e9", L"Z"}) {
    static_cast<void>(Make(std::wstring(L"order\\") + name));
  }
  if (Quirks().sortsByLowerCase) {
    // Wine: lower-cased, "a_b" sorts before "ab" ('_' < 'b').
    EXPECT_EQ(SubkeyNames(parent), (std::vector<std::wstring>{L"a", L"A_b", L"ab", L"b", L"C",
                                                              L"Z", L"\u00e9t\u00e9"}));
  } else {
    // Windows: upper-cased, "AB" sorts before "A_B" ('B' < '_'); U+00C9 sorts after 'Z'.
    EXPECT_EQ(SubkeyNames(parent), (std::vector<std::wstring>{L"a", L"ab", L"A_b", L"b", L"C",
                                                              L"Z", L"\u00e9t\u00e9"}));
  }
}

TEST_P(CRegistryContract, ValuesEnumerateInCreationOrderOnWindows) {
  const RegHandle key = Make(L"values");
  for (const wchar_t* name : {L"zeta", L"Alpha", L"mid", L"", L"beta", L"m_x", L"MX"}) {
    SetText(key, name, L"v");
  }
  SetText(key, L"ALPHA", L"again");  // rewriting keeps the place and the first spelling
  const std::vector<std::wstring> names = ValueNames(key);
  if (Quirks().valuesSorted) {
    // Wine keeps values sorted without case (lower-cased: "m_x" before "mid" and "MX").
    EXPECT_EQ(names, (std::vector<std::wstring>{L"", L"Alpha", L"beta", L"m_x", L"mid", L"MX",
                                                L"zeta"}));
  } else {
    EXPECT_EQ(names, (std::vector<std::wstring>{L"zeta", L"Alpha", L"mid", L"", L"beta", L"m_x",
                                                L"MX"}));
  }
}

TEST_P(CRegistryContract, NamesCompareWithoutCaseAndKeepTheirCase) {
  static_cast<void>(Make(L"MixedCase\\Child"));
  RegHandle key = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(Scratch(), L"MIXEDCASE\\child", kKeyRead, &key), kErrorSuccess);
  Keep(key);
  bool created = true;
  RegHandle again = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(Scratch(), L"mixedcase", kKeyAllAccess, &again, &created),
            kErrorSuccess);
  Keep(again);
  EXPECT_FALSE(created);
  EXPECT_EQ(SubkeyNames(Scratch()), std::vector<std::wstring>{L"MixedCase"});

  SetText(again, L"Name", L"first");
  SetText(again, L"NAME", L"second");
  std::array<std::uint8_t, 64> data{};
  std::uint32_t bytes = data.size();
  ASSERT_EQ(Reg().QueryValue(again, L"name", nullptr, data.data(), &bytes), kErrorSuccess);
  EXPECT_EQ(TruncateAtNul(FromUtf16LeBytes(data.data(), bytes)), L"second");
  EXPECT_EQ(ValueNames(again), std::vector<std::wstring>{L"Name"});
  EXPECT_EQ(Reg().DeleteValue(again, L"nAmE"), kErrorSuccess);
  EXPECT_EQ(Reg().DeleteValue(again, L"name"), kErrorFileNotFound);
}

TEST_P(CRegistryContract, TheDefaultValueIsTheEmptyNameAndCountsIncludeIt) {
  const RegHandle key = Make(L"info");
  static_cast<void>(Make(L"info\\one"));
  static_cast<void>(Make(L"info\\two"));
  static_cast<void>(Make(L"info\\two\\grandchild"));
  std::uint32_t subkeys = kSentinel;
  std::uint32_t values = kSentinel;
  ASSERT_EQ(Reg().QueryInfoKey(key, &subkeys, &values), kErrorSuccess);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(values, 0u);
  // A new key has no default value.
  EXPECT_EQ(Reg().QueryValue(key, L"", nullptr, nullptr, nullptr), kErrorFileNotFound);
  SetText(key, L"", L"default");
  SetText(key, L"named", L"x");
  ASSERT_EQ(Reg().QueryInfoKey(key, &subkeys, &values), kErrorSuccess);
  EXPECT_EQ(values, 2u);
  ASSERT_EQ(Reg().QueryInfoKey(key, nullptr, &values), kErrorSuccess);
  ASSERT_EQ(Reg().QueryInfoKey(key, &subkeys, nullptr), kErrorSuccess);
}

// ---- Opening, access and paths ---------------------------------------------------------------

TEST_P(CRegistryContract, OpenKeyResultsAndPathSyntax) {
  static_cast<void>(Make(L"a\\b"));
  struct {
    const wchar_t* subkey;
    ErrorCode expected;
  } cases[] = {
      {L"a\\b", kErrorSuccess},    {L"a\\b\\", kErrorSuccess},   {L"", kErrorSuccess},
      {L"a\\missing", kErrorFileNotFound}, {L"missing\\b", kErrorFileNotFound},
      {L"\\a", kErrorBadPathname},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.subkey));
    RegHandle key = static_cast<RegHandle>(kSentinel);
    EXPECT_EQ(Reg().OpenKey(Scratch(), c.subkey, kKeyRead, &key), c.expected);
    if (c.expected == kErrorSuccess) {
      EXPECT_NE(key, kNullRegHandle);
      Keep(key);
    } else {
      EXPECT_EQ(key, kNullRegHandle);
    }
  }
}

TEST_P(CRegistryContract, HandlesCarryTheirAccessRights) {
  SetText(Make(L"rights"), L"v", L"x");
  static_cast<void>(Make(L"rights\\child"));
  RegHandle query = kNullRegHandle;
  RegHandle enumerate = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(Scratch(), L"rights", kKeyQueryValue, &query), kErrorSuccess);
  Keep(query);
  ASSERT_EQ(Reg().OpenKey(Scratch(), L"rights", kKeyEnumerateSubKeys, &enumerate), kErrorSuccess);
  Keep(enumerate);
  const std::uint8_t one[4] = {1, 0, 0, 0};
  std::array<wchar_t, 32> name{};
  std::uint32_t chars = name.size();
  EXPECT_EQ(Reg().SetValue(query, L"w", kRegDword, one, 4), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteValue(query, L"v"), kErrorAccessDenied);
  EXPECT_EQ(Reg().EnumKey(query, 0, name.data(), &chars), kErrorAccessDenied);
  EXPECT_EQ(Reg().QueryValue(query, L"v", nullptr, nullptr, nullptr), kErrorSuccess);
  chars = name.size();
  EXPECT_EQ(Reg().EnumValue(enumerate, 0, name.data(), &chars, nullptr, nullptr, nullptr),
            kErrorAccessDenied);
  EXPECT_EQ(Reg().QueryValue(enumerate, L"v", nullptr, nullptr, nullptr), kErrorAccessDenied);
  chars = name.size();
  EXPECT_EQ(Reg().EnumKey(enumerate, 0, name.data(), &chars), kErrorSuccess);
  std::uint32_t subkeys = 0;
  EXPECT_EQ(Reg().QueryInfoKey(enumerate, &subkeys, nullptr),
            Quirks().queryInfoNeedsQueryRight ? kErrorAccessDenied : kErrorSuccess);
  // Creating a subkey needs no right on the parent handle.
  RegHandle child = kNullRegHandle;
  EXPECT_EQ(Reg().CreateKey(query, L"made", kKeyRead, &child, nullptr), kErrorSuccess);
  Keep(child);
}

// ---- Deleting --------------------------------------------------------------------------------

TEST_P(CRegistryContract, DeleteKeyAndDeleteOpenedKeyRefuseAKeyWithSubkeys) {
  static_cast<void>(Make(L"tree\\child\\grandchild"));
  SetText(Make(L"tree\\child"), L"v", L"x");
  EXPECT_EQ(Reg().DeleteKey(Scratch(), L"tree"), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteKey(Scratch(), L"tree\\child"), kErrorAccessDenied);
  RegHandle child = kNullRegHandle;
  ASSERT_EQ(
      Reg().OpenKeyNoFollow(Scratch(), L"TREE\\child", kDeleteAccess | kKeyQueryValue, &child),
      kErrorSuccess);
  Keep(child);
  EXPECT_EQ(Reg().DeleteOpenedKey(child), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteKey(Scratch(), L"tree\\child\\grandchild"), kErrorSuccess);
  EXPECT_EQ(Reg().DeleteKey(Scratch(), L"tree\\child\\grandchild"), kErrorFileNotFound);
  // Without subkeys the handle's key goes; the handle then stands for a deleted key.
  EXPECT_EQ(Reg().DeleteOpenedKey(child), kErrorSuccess);
  EXPECT_EQ(Reg().DeleteOpenedKey(child),
            Quirks().deletingADeletedKeyFails ? kErrorKeyDeleted : kErrorSuccess);
  EXPECT_EQ(SubkeyNames(Scratch()), std::vector<std::wstring>{L"tree"});
  RegHandle key = kNullRegHandle;
  EXPECT_EQ(Reg().OpenKey(Scratch(), L"tree\\child", kKeyRead, &key), kErrorFileNotFound);
}

TEST_P(CRegistryContract, DeleteOpenedKeyNeedsDeleteAccessAndNeverTakesARoot) {
  const RegHandle readOnly = Make(L"leaf", kKeyRead);
  EXPECT_EQ(Reg().DeleteOpenedKey(readOnly), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteOpenedKey(kHkeyCurrentUser), kErrorAccessDenied);
  EXPECT_EQ(Reg().DeleteOpenedKey(kHkeyLocalMachine), kErrorAccessDenied);
  EXPECT_EQ(SubkeyNames(Scratch()), std::vector<std::wstring>{L"leaf"});
}

// A link, made the implementation's own way, as Windows and Wine treat it: a path through it
// opens the target, a no-follow open the link itself; RegDeleteKeyW on its path deletes the
// TARGET, DeleteOpenedKey on a no-follow handle the link.
TEST_P(CRegistryContract, LinksAreFollowedByPathsAndOpenedThemselvesNoFollow) {
  SetText(Make(L"target"), L"t", L"in target");
  static_cast<void>(Make(L"target\\child"));
  static_cast<void>(Make(L"holder"));
  const std::wstring native = MakeScratchLink(L"holder\\link", L"target");
  ASSERT_FALSE(native.empty());
  EXPECT_EQ(SubkeyNames(Keep([&] {
              RegHandle k = kNullRegHandle;
              EXPECT_EQ(Reg().OpenKey(Scratch(), L"holder", kKeyRead, &k), kErrorSuccess);
              return k;
            }())),
            std::vector<std::wstring>{L"link"});
  struct {
    const wchar_t* subkey;
    bool noFollow;
    std::vector<std::wstring> values;  // of the key opened
    bool link;                         // what IsRegistryLink says of the path
  } cases[] = {
      {L"holder\\link", false, {L"t"}, true},
      {L"holder\\link", true, {std::wstring(kSymbolicLinkValueName)}, true},
      {L"holder\\link\\child", false, {}, false},  // a link in the middle is followed
      {L"holder\\link\\child", true, {}, false},
      {L"target", true, {L"t"}, false},  // a plain key opens as with OpenKey
      {L"holder", true, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << ToUtf8(c.subkey) << (c.noFollow ? " no-follow" : ""));
    RegHandle key = kNullRegHandle;
    const ErrorCode opened =
        c.noFollow ? Reg().OpenKeyNoFollow(Scratch(), c.subkey, kKeyRead, &key)
                   : Reg().OpenKey(Scratch(), c.subkey, kKeyRead, &key);
    ASSERT_EQ(opened, kErrorSuccess);
    Keep(key);
    EXPECT_EQ(ValueNames(key), c.values);
    bool isLink = false;
    ASSERT_EQ(IsRegistryLink(Reg(), Scratch(), c.subkey, &isLink), kErrorSuccess);
    EXPECT_EQ(isLink, c.link);
  }
  bool isLink = false;
  EXPECT_EQ(IsRegistryLink(Reg(), Scratch(), L"missing", &isLink), kErrorFileNotFound);
  // The link key: one REG_LINK value holding the native path without a terminator, no subkeys.
  RegHandle link = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKeyNoFollow(Scratch(), L"holder\\link", kKeyRead, &link), kErrorSuccess);
  Keep(link);
  std::array<std::uint8_t, 1024> data{};
  std::uint32_t bytes = data.size();
  std::uint32_t type = kSentinel;
  ASSERT_EQ(Reg().QueryValue(link, kSymbolicLinkValueName, &type, data.data(), &bytes),
            kErrorSuccess);
  EXPECT_EQ(type, kRegLink);
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.begin() + bytes),
            ToUtf16LeBytes(native, false));
  std::uint32_t subkeys = kSentinel;
  std::uint32_t values = kSentinel;
  ASSERT_EQ(Reg().QueryInfoKey(link, &subkeys, &values), kErrorSuccess);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 1u);
}

TEST_P(CRegistryContract, DeleteKeyOnALinkDeletesItsTargetAndDeleteOpenedKeyTheLinkItself) {
  SetText(Make(L"target"), L"t", L"in target");
  static_cast<void>(Make(L"holder"));
  ASSERT_FALSE(MakeScratchLink(L"holder\\link", L"target").empty());
  // The danger: RegDeleteKeyW on the link's path takes the target, the link stays.
  EXPECT_EQ(Reg().DeleteKey(Scratch(), L"holder\\link"), kErrorSuccess);
  RegHandle key = kNullRegHandle;
  EXPECT_EQ(Reg().OpenKey(Scratch(), L"target", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(Reg().OpenKey(Scratch(), L"holder\\link", kKeyRead, &key), kErrorFileNotFound);
  bool isLink = false;
  EXPECT_EQ(IsRegistryLink(Reg(), Scratch(), L"holder\\link", &isLink), kErrorSuccess);
  EXPECT_TRUE(isLink);

  // Through a no-follow handle the link itself goes and the target stays.
  SetText(Make(L"target"), L"t", L"back");
  RegHandle link = kNullRegHandle;
  ASSERT_EQ(
      Reg().OpenKeyNoFollow(Scratch(), L"holder\\link", kDeleteAccess | kKeyQueryValue, &link),
      kErrorSuccess);
  Keep(link);
  EXPECT_EQ(Reg().DeleteOpenedKey(link), kErrorSuccess);
  RegHandle holder = Keep([&] {
    RegHandle k = kNullRegHandle;
    EXPECT_EQ(Reg().OpenKey(Scratch(), L"holder", kKeyRead, &k), kErrorSuccess);
    return k;
  }());
  EXPECT_TRUE(SubkeyNames(holder).empty());
  RegHandle target = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(Scratch(), L"target", kKeyRead, &target), kErrorSuccess);
  Keep(target);
  EXPECT_EQ(ValueNames(target), std::vector<std::wstring>{L"t"});
}

TEST_P(CRegistryContract, AnEmptySubkeyDeletesTheKeyOfTheHandleButNeverARoot) {
  RegHandle self = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(Scratch(), L"self", kKeyAllAccess, &self, nullptr), kErrorSuccess);
  Keep(self);
  EXPECT_EQ(Reg().DeleteKey(self, L""), kErrorSuccess);
  RegHandle key = kNullRegHandle;
  EXPECT_EQ(Reg().OpenKey(Scratch(), L"self", kKeyRead, &key), kErrorFileNotFound);
  EXPECT_EQ(Reg().DeleteKey(kHkeyLocalMachine, L""), kErrorAccessDenied);
}

TEST_P(CRegistryContract, AHandleToADeletedKeyFailsWithKeyDeleted) {
  RegHandle gone = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(Scratch(), L"gone\\sub", kKeyAllAccess, &gone, nullptr),
            kErrorSuccess);
  SetText(gone, L"v", L"x");
  ASSERT_EQ(Reg().DeleteKey(gone, L""), kErrorSuccess);
  ASSERT_EQ(Reg().DeleteKey(Scratch(), L"gone"), kErrorSuccess);
  const std::uint8_t one[4] = {1, 0, 0, 0};
  std::array<wchar_t, 32> name{};
  std::uint32_t chars = name.size();
  std::uint32_t bytes = 0;
  std::uint32_t subkeys = kSentinel;
  RegHandle child = kNullRegHandle;
  EXPECT_EQ(Reg().QueryValue(gone, L"v", nullptr, nullptr, &bytes), kErrorKeyDeleted);
  EXPECT_EQ(Reg().EnumValue(gone, 0, name.data(), &chars, nullptr, nullptr, nullptr),
            kErrorKeyDeleted);
  chars = name.size();
  EXPECT_EQ(Reg().EnumKey(gone, 0, name.data(), &chars), kErrorKeyDeleted);
  EXPECT_EQ(Reg().SetValue(gone, L"w", kRegDword, one, 4), kErrorKeyDeleted);
  EXPECT_EQ(Reg().DeleteValue(gone, L"v"), kErrorKeyDeleted);
  EXPECT_EQ(Reg().QueryInfoKey(gone, &subkeys, nullptr), kErrorKeyDeleted);
  EXPECT_EQ(subkeys, kSentinel);
  EXPECT_EQ(Reg().OpenKey(gone, L"", kKeyRead, &child), kErrorKeyDeleted);
  EXPECT_EQ(Reg().CreateKey(gone, L"new", kKeyAllAccess, &child, nullptr), kErrorKeyDeleted);
  EXPECT_EQ(Reg().CloseKey(gone), kErrorSuccess);
}

// ---- Predefined roots ------------------------------------------------------------------------

TEST_P(CRegistryContract, CurrentUserIsTheUsersOwnKeyUnderHkeyUsers) {
  static_cast<void>(Make(L"marker"));
  RegHandle users = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(kHkeyUsers, L"", kKeyRead, &users), kErrorSuccess);
  Keep(users);
  std::vector<std::wstring> owners;
  for (const std::wstring& sid : SubkeyNames(users)) {
    RegHandle key = kNullRegHandle;
    if (Reg().OpenKey(kHkeyUsers, sid + L"\\" + kScratchKey + L"\\marker", kKeyRead, &key) ==
        kErrorSuccess) {
      Keep(key);
      owners.push_back(sid);
    }
  }
  ASSERT_EQ(owners.size(), 1u);
  EXPECT_EQ(owners[0].rfind(L"S-1-5-21-", 0), 0u) << ToUtf8(owners[0]);
}

TEST_P(CRegistryContract, CurrentConfigIsTheCurrentHardwareProfile) {
  RegHandle viaAlias = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyCurrentConfig, L"QuarveloParity", kKeyAllAccess, &viaAlias,
                            nullptr),
            kErrorSuccess);
  Keep(viaAlias);
  SetText(viaAlias, L"v", L"x");
  RegHandle direct = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(kHkeyLocalMachine, kCurrentConfigPath, kKeyRead, &direct),
            kErrorSuccess);
  Keep(direct);
  EXPECT_EQ(ValueNames(direct), std::vector<std::wstring>{L"v"});
}

TEST_P(CRegistryContract, ClassesRootShowsTheMachineClassesAndWritesThere) {
  RegHandle machine = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyLocalMachine, std::wstring(kScratchClassPath) + L"\\FromMachine",
                            kKeyAllAccess, &machine, nullptr),
            kErrorSuccess);
  Keep(machine);
  SetText(machine, L"", L"machine default");
  RegHandle viaRoot = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(kHkeyClassesRoot, std::wstring(kScratchClass) + L"\\frommachine",
                          kKeyRead, &viaRoot),
            kErrorSuccess);
  Keep(viaRoot);
  std::array<std::uint8_t, 64> data{};
  std::uint32_t bytes = data.size();
  ASSERT_EQ(Reg().QueryValue(viaRoot, L"", nullptr, data.data(), &bytes), kErrorSuccess);
  EXPECT_EQ(TruncateAtNul(FromUtf16LeBytes(data.data(), bytes)), L"machine default");

  // A key created through HKEY_CLASSES_ROOT lands in the machine's classes.
  RegHandle created = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyClassesRoot, std::wstring(kScratchClass) + L"\\Created",
                            kKeyAllAccess, &created, nullptr),
            kErrorSuccess);
  Keep(created);
  SetText(created, L"v", L"x");
  RegHandle landed = kNullRegHandle;
  EXPECT_EQ(Reg().OpenKey(kHkeyLocalMachine, std::wstring(kScratchClassPath) + L"\\Created",
                          kKeyRead, &landed),
            kErrorSuccess);
  Keep(landed);
  EXPECT_EQ(ValueNames(landed), std::vector<std::wstring>{L"v"});
  RegHandle notUser = kNullRegHandle;
  EXPECT_EQ(Reg().OpenKey(kHkeyCurrentUser, std::wstring(kScratchClassPath) + L"\\Created",
                          kKeyRead, &notUser),
            kErrorFileNotFound);
}

TEST_P(CRegistryContract, ClassesRootMergesTheUsersClassesOnWindows) {
  RegHandle machine = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyLocalMachine, std::wstring(kScratchClassPath) + L"\\Both",
                            kKeyAllAccess, &machine, nullptr),
            kErrorSuccess);
  Keep(machine);
  SetText(machine, L"", L"machine");
  SetText(machine, L"MachineOnly", L"m");
  static_cast<void>(Keep([&] {
    RegHandle k = kNullRegHandle;
    EXPECT_EQ(Reg().CreateKey(kHkeyLocalMachine, std::wstring(kScratchClassPath) + L"\\M",
                              kKeyAllAccess, &k, nullptr),
              kErrorSuccess);
    return k;
  }()));
  RegHandle user = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyCurrentUser, std::wstring(kScratchClassPath) + L"\\Both",
                            kKeyAllAccess, &user, nullptr),
            kErrorSuccess);
  Keep(user);
  SetText(user, L"", L"user");
  RegHandle userOnly = kNullRegHandle;
  ASSERT_EQ(Reg().CreateKey(kHkeyCurrentUser, std::wstring(kScratchClassPath) + L"\\U",
                            kKeyAllAccess, &userOnly, nullptr),
            kErrorSuccess);
  Keep(userOnly);

  RegHandle root = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(kHkeyClassesRoot, kScratchClass, kKeyRead, &root), kErrorSuccess);
  Keep(root);
  RegHandle both = kNullRegHandle;
  ASSERT_EQ(Reg().OpenKey(kHkeyClassesRoot, std::wstring(kScratchClass) + L"\\Both", kKeyRead,
                          &both),
            kErrorSuccess);
  Keep(both);
  std::array<std::uint8_t, 64> data{};
  std::uint32_t bytes = data.size();
  ASSERT_EQ(Reg().QueryValue(both, L"", nullptr, data.data(), &bytes), kErrorSuccess);
  const std::wstring defaultText(TruncateAtNul(FromUtf16LeBytes(data.data(), bytes)));
  RegHandle onlyUser = kNullRegHandle;
  const ErrorCode openUserOnly =
      Reg().OpenKey(kHkeyClassesRoot, std::wstring(kScratchClass) + L"\\U", kKeyRead, &onlyUser);
  if (openUserOnly == kErrorSuccess) Keep(onlyUser);
  std::uint32_t subkeys = 0;
  ASSERT_EQ(Reg().QueryInfoKey(root, &subkeys, nullptr), kErrorSuccess);

  if (Quirks().classesRootMerged) {
    // The user's classes win and add to the machine's.
    EXPECT_EQ(defaultText, L"user");
    bytes = data.size();
    EXPECT_EQ(Reg().QueryValue(both, L"MachineOnly", nullptr, data.data(), &bytes),
              kErrorSuccess);
    EXPECT_EQ(openUserOnly, kErrorSuccess);
    EXPECT_EQ(SubkeyNames(root), (std::vector<std::wstring>{L"Both", L"M", L"U"}));
    EXPECT_EQ(subkeys, 3u);
  } else {
    // Wine: HKEY_CLASSES_ROOT is the machine's classes only.
    EXPECT_EQ(defaultText, L"machine");
    EXPECT_EQ(openUserOnly, kErrorFileNotFound);
    EXPECT_EQ(SubkeyNames(root), (std::vector<std::wstring>{L"Both", L"M"}));
    EXPECT_EQ(subkeys, 2u);
  }
}

}  // namespace qv::test
