#include "repair/key_delete.h"

#include <string>

namespace qv {
namespace {

constexpr std::uint32_t kLookAccess = kKeyQueryValue | kKeyEnumerateSubKeys;
constexpr std::uint32_t kDeleteTreeAccess =
    kDeleteAccess | kKeyQueryValue | kKeyEnumerateSubKeys;
// Key names have at most 255 characters on Windows; Wine takes longer ones, so the buffer grows
// on kErrorMoreData up to the longest name a registry call can carry.
constexpr std::uint32_t kFirstNameChars = 256;
constexpr std::uint32_t kLongestNameChars = 32768;

// The index-th subkey name; the buffer grows until the name fits.
ErrorCode SubkeyName(const CRegKey& key, std::uint32_t index, std::uint32_t* nameChars,
                     std::wstring* name) {
  for (;;) {
    const ErrorCode rc = key.EnumKeyName(index, *nameChars, name);
    if (rc != kErrorMoreData || *nameChars >= kLongestNameChars) return rc;
    *nameChars *= 2;
  }
}

class CLinkFinder {
 public:
  explicit CLinkFinder(IRegistry& registry) : m_registry(registry) {}

  // Looks at (parent, subkey) and below, `depth` levels below where the look began; returns the
  // open's error when the key cannot be opened. A tree deeper than kMaxRegistryDepth is not
  // looked at below that depth, and the result is kErrorStackOverflow.
  ErrorCode Look(RegHandle parent, std::wstring_view subkey, int depth = 0) {
    CRegKey key(m_registry);
    const ErrorCode opened = key.OpenNoFollow(parent, subkey, kLookAccess);
    if (opened != kErrorSuccess) return opened;
    bool isLink = false;
    const ErrorCode checked = key.IsLink(&isLink);
    if (checked != kErrorSuccess) return checked;
    if (isLink) {
      m_sawLink = true;
      return kErrorSuccess;
    }
    for (std::uint32_t index = 0; !m_sawLink; ++index) {
      std::wstring name;
      const ErrorCode rc = SubkeyName(key, index, &m_nameChars, &name);
      if (rc == kErrorNoMoreItems) break;
      if (rc != kErrorSuccess) {
        Keep(rc);
        break;
      }
      if (depth + 1 >= kMaxRegistryDepth) {
        Keep(kErrorStackOverflow);
        break;
      }
      Keep(Look(key.get(), name, depth + 1));
    }
    return kErrorSuccess;
  }

  [[nodiscard]] ErrorCode Result(ErrorCode topOpen) const {
    if (m_sawLink) return kErrorReparsePointEncountered;
    return topOpen != kErrorSuccess ? topOpen : m_firstError;
  }

 private:
  void Keep(ErrorCode rc) {
    if (m_firstError == kErrorSuccess) m_firstError = rc;
  }

  IRegistry& m_registry;
  std::uint32_t m_nameChars = kFirstNameChars;
  bool m_sawLink = false;
  ErrorCode m_firstError = kErrorSuccess;
};

// Deletes (parent, subkey) after its subtree, `depth` levels below the tree's top; the result is
// that of deleting the key itself. Nothing deeper than kMaxRegistryDepth is entered (the key
// above it then keeps its subkeys and is not deleted).
ErrorCode DeleteLevel(IRegistry& registry, RegHandle parent, std::wstring_view subkey,
                      std::uint32_t* nameChars, std::uint32_t* deletedKeys, int depth) {
  CRegKey key(registry);
  const ErrorCode opened = key.OpenNoFollow(parent, subkey, kDeleteTreeAccess);
  if (opened != kErrorSuccess) return opened;
  bool isLink = false;
  ErrorCode rc = key.IsLink(&isLink);
  if (rc != kErrorSuccess) return rc;
  if (isLink) return kErrorReparsePointEncountered;
  for (std::uint32_t index = 0;;) {
    std::wstring name;
    rc = SubkeyName(key, index, nameChars, &name);
    // Any other failure ends the enumeration; deleting the key then tells what is left.
    if (rc != kErrorSuccess || depth + 1 >= kMaxRegistryDepth) break;
    // A name that holds a NUL character cannot be opened (the open is refused): that subkey
    // stays, and so does this key.
    if (DeleteLevel(registry, key.get(), name, nameChars, deletedKeys, depth + 1) !=
        kErrorSuccess) {
      ++index;
    }
  }
  rc = key.IsLink(&isLink);
  if (rc != kErrorSuccess) return rc;
  if (isLink) return kErrorReparsePointEncountered;
  rc = registry.DeleteOpenedKey(key.get());
  if (rc == kErrorSuccess) ++*deletedKeys;
  return rc;
}

}  // namespace

ErrorCode FindLinkInTree(IRegistry& registry, RegHandle root, std::wstring_view keyPath) {
  CLinkFinder finder(registry);
  const ErrorCode opened = finder.Look(root, keyPath);
  return finder.Result(opened);
}

ErrorCode DeleteKeyTree(IRegistry& registry, RegHandle root, std::wstring_view keyPath,
                        std::uint32_t* deletedKeys) {
  if (keyPath.empty()) return kErrorInvalidParameter;
  const ErrorCode found = FindLinkInTree(registry, root, keyPath);
  if (found != kErrorSuccess) return found;
  std::uint32_t nameChars = kFirstNameChars;
  std::uint32_t deleted = 0;
  const ErrorCode rc = DeleteLevel(registry, root, keyPath, &nameChars, &deleted, 0);
  if (deletedKeys != nullptr) *deletedKeys += deleted;
  return rc;
}

}  // namespace qv
