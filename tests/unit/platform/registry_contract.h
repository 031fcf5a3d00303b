// The registry behaviours the engine relies on, written once and run against every IRegistry
// implementation: the in-memory one (natively and under Wine) and the Win32 one (under Wine).
// A program instantiates the suite with INSTANTIATE_TEST_SUITE_P(Name, CRegistryContract,
// ::testing::Values(REGISTRY_TARGET{...})).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace qv::test {

// One registry under test, prepared for one test: the scratch keys are empty and deleted again
// when the object is destroyed.
class CRegistryUnderTest {
 public:
  virtual ~CRegistryUnderTest() = default;
  virtual IRegistry& Registry() = 0;

  // Where Wine's registry differs from Windows' (measured under Wine 8), the suite expects
  // Wine's behaviour from the Win32 implementation there and Windows' everywhere else.
  struct CQuirks {
    // Wine enumerates values sorted without case; Windows in creation order.
    bool valuesSorted = false;
    // Wine compares names for its order in lower case ("A_b" before "ab"); Windows compares the
    // upper-cased names ("ab" before "A_b", since 'B' < '_').
    bool sortsByLowerCase = false;
    // Wine's HKEY_CLASSES_ROOT is HKLM\Software\Classes alone; Windows merges the user's classes.
    bool classesRootMerged = true;
    // Wine answers RegQueryInfoKeyW on a handle without KEY_QUERY_VALUE; Windows refuses it.
    bool queryInfoNeedsQueryRight = true;
    // Windows' NtDeleteKey on a handle whose key is already deleted fails with
    // STATUS_KEY_DELETED; Wine's returns success.
    bool deletingADeletedKeyFails = true;
  };
  virtual CQuirks Quirks() const = 0;

  // Makes HKEY_CURRENT_USER\<linkSubkey> (which must not exist; its parent does) a registry
  // link to HKEY_CURRENT_USER\<targetSubkey>, the way the implementation's registry makes one.
  // Returns the native path the link holds (its SymbolicLinkValue), empty on failure.
  virtual std::wstring MakeLink(std::wstring_view linkSubkey, std::wstring_view targetSubkey) = 0;
};

struct REGISTRY_TARGET {
  const char* name;
  std::unique_ptr<CRegistryUnderTest> (*make)();
};

// Scratch keys every target cleans before and after each test.
inline constexpr wchar_t kScratchKey[] = L"Software\\QuarveloParity";        // under HKCU
inline constexpr wchar_t kScratchClass[] = L"QuarveloParityClass";          // under HKCR
inline constexpr wchar_t kScratchClassPath[] = L"Software\\Classes\\QuarveloParityClass";

class CRegistryContract : public ::testing::TestWithParam<REGISTRY_TARGET> {
 protected:
  void SetUp() override;
  void TearDown() override;

  IRegistry& Reg() { return m_target->Registry(); }
  CRegistryUnderTest::CQuirks Quirks() const { return m_target->Quirks(); }

  // A handle (KEY_ALL_ACCESS) to HKCU\Software\QuarveloParity, empty at the start of the test.
  RegHandle Scratch() const { return m_scratch; }
  // Creates the subkey of the scratch key (and every level) and returns an open handle, closed
  // at the end of the test.
  RegHandle Make(std::wstring_view subkey, std::uint32_t access = kKeyAllAccess);
  // Opens a key and keeps the handle for closing at the end of the test.
  RegHandle Keep(RegHandle handle);
  void SetRaw(RegHandle key, std::wstring_view name, std::uint32_t type,
              const std::vector<std::uint8_t>& bytes);
  void SetText(RegHandle key, std::wstring_view name, std::wstring_view text);
  std::vector<std::wstring> SubkeyNames(RegHandle key);
  std::vector<std::wstring> ValueNames(RegHandle key);
  // MakeLink below the scratch key: scratch\<link> leads to scratch\<target>.
  std::wstring MakeScratchLink(std::wstring_view link, std::wstring_view target);

 private:
  std::unique_ptr<CRegistryUnderTest> m_target;
  RegHandle m_scratch = kNullRegHandle;
  std::vector<RegHandle> m_kept;
};

std::string RegistryTargetName(const ::testing::TestParamInfo<REGISTRY_TARGET>& info);

}  // namespace qv::test
