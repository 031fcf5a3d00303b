// The blocked store in the registry (blocked_store.h): its values read, written and deleted under
// HKEY_LOCAL_MACHINE\SOFTWARE\<product>\blocked. It touches that tree only.
#include "engine/blocked_store.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "engine/categories.h"
#include "base/utf16.h"
#include "state/settings.h"

namespace qv {

std::int32_t IdentityHash(std::wstring_view identity) {
  std::uint32_t hash = 0;
  for (const char16_t unit : ToUtf16(identity)) hash = hash * 33u + unit;
  return static_cast<std::int32_t>(hash);
}

std::wstring IdentityHashText(std::wstring_view identity) {
  return std::to_wstring(IdentityHash(identity));
}

std::wstring BlockedStoreKeyPath(std::wstring_view productName, int category) {
  std::wstring path = ProductKeyPath(productName);
  path.push_back(L'\\');
  path += kBlockedSubkey;
  path.push_back(L'\\');
  path += BlockedCategoryValueName(category);
  return path;
}

std::vector<EXCLUSION_ENTRY> ReadBlockedStore(IRegistry& registry, std::wstring_view productName) {
  std::vector<EXCLUSION_ENTRY> entries;
  CRegKey product(registry);
  if (product.Open(kHkeyLocalMachine, ProductSubkey(productName), kKeyRead) != kErrorSuccess) {
    return entries;
  }
  CRegKey blocked(registry);
  if (blocked.Open(product.get(), kBlockedSubkey, kKeyRead) != kErrorSuccess) return entries;

  std::vector<wchar_t> name(kBlockedNameMaxChars + 1);
  std::vector<std::uint8_t> data(kBlockedDataMaxBytes);
  for (int category = 0; category < kCategoryCount; ++category) {
    CRegKey subkey(registry);
    if (subkey.Open(blocked.get(), BlockedCategoryValueName(category), kKeyRead) != kErrorSuccess) {
      continue;
    }
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t nameChars = kBlockedNameMaxChars + 1;
      std::uint32_t dataBytes = kBlockedDataMaxBytes;
      std::uint32_t type = kRegNone;
      const ErrorCode rc = registry.EnumValue(subkey.get(), index, name.data(), &nameChars, &type,
                                              data.data(), &dataBytes);
      if (rc != kErrorSuccess) break;  // the end, a name or data over the limits, or a failure
      std::wstring text(TruncateAtNul(
          FromUtf16LeBytes(data.data(), std::min<std::size_t>(dataBytes, data.size()))));
      if (text.empty()) continue;
      entries.push_back({category, std::move(text)});
    }
  }
  return entries;
}

ErrorCode WriteBlockedStore(IRegistry& registry, std::wstring_view productName,
                            const std::vector<EXCLUSION_ENTRY>& blocked) {
  CRegKey product(registry);
  ErrorCode rc = OpenProductKey(registry, productName, &product);
  if (rc != kErrorSuccess) return rc;
  CRegKey store(registry);
  rc = store.Create(product.get(), kBlockedSubkey, kKeyReadWriteCreate);
  if (rc != kErrorSuccess) return rc;

  std::array<CRegKey, kCategoryCount> subkeys;
  for (const EXCLUSION_ENTRY& entry : blocked) {
    if (!IsValidCategory(entry.category)) continue;
    CRegKey& subkey = subkeys[static_cast<std::size_t>(entry.category)];
    if (!subkey.valid()) {
      subkey = CRegKey(registry);
      rc =
          subkey.Create(store.get(), BlockedCategoryValueName(entry.category), kKeyReadWriteCreate);
      if (rc != kErrorSuccess) return rc;
    }
    rc = subkey.SetString(IdentityHashText(entry.identity), entry.identity);
    if (rc != kErrorSuccess) return rc;
  }
  return kErrorSuccess;
}

ErrorCode DeleteBlockedValue(IRegistry& registry, std::wstring_view productName, int category,
                             std::wstring_view identity) {
  CRegKey subkey(registry);
  std::wstring path = ProductSubkey(productName);
  path.push_back(L'\\');
  path += kBlockedSubkey;
  path.push_back(L'\\');
  path += BlockedCategoryValueName(category);
  ErrorCode rc = subkey.Open(kHkeyLocalMachine, path, kKeyRead | kKeySetValue);
  if (rc == kErrorFileNotFound || rc == kErrorPathNotFound) return kErrorSuccess;
  if (rc != kErrorSuccess) return rc;

  std::vector<wchar_t> name(kBlockedNameMaxChars + 1);
  std::vector<std::uint8_t> data(kBlockedDataMaxBytes);
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t nameChars = kBlockedNameMaxChars + 1;
    std::uint32_t dataBytes = kBlockedDataMaxBytes;
    std::uint32_t type = kRegNone;
    if (registry.EnumValue(subkey.get(), index, name.data(), &nameChars, &type, data.data(),
                           &dataBytes) != kErrorSuccess) {
      break;
    }
    const std::wstring text(TruncateAtNul(
        FromUtf16LeBytes(data.data(), std::min<std::size_t>(dataBytes, data.size()))));
    if (text == identity) {
      rc = registry.DeleteValue(subkey.get(), std::wstring_view(name.data(), nameChars));
      return rc == kErrorFileNotFound ? kErrorSuccess : rc;
    }
  }
  return kErrorSuccess;
}

}  // namespace qv
