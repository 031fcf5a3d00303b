// The storage of the in-memory registry (memory_registry.h), shared by the files that implement
// it: the keys of the tree, what an open handle refers to, and the native names of the trees that
// links point into. Only the in-memory registry's own sources include this.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_case.h"
#include "platform/memory/memory_registry.h"

namespace qv {

// A key: its name, its subkeys and values, and what tests set on it.
struct CMemoryRegistry::CNode {
  struct CValue {
    std::wstring name;
    std::u16string folded;
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
  };

  std::wstring name;
  std::u16string folded;
  CNode* parent = nullptr;
  std::vector<std::shared_ptr<CNode>> subkeys;  // sorted by folded name
  std::vector<CValue> values;                   // creation order
  bool deleted = false;
  bool link = false;               // CreateLink: its SymbolicLinkValue names the target
  bool readOnly = false;          // HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA
  std::uint32_t deniedAccess = 0;  // DenyAccess

  std::size_t LowerBound(const std::u16string& key) const {
    const auto it = std::lower_bound(
        subkeys.begin(), subkeys.end(), key,
        [](const std::shared_ptr<CNode>& n, const std::u16string& k) { return n->folded < k; });
    return static_cast<std::size_t>(it - subkeys.begin());
  }
  std::shared_ptr<CNode> Child(const std::u16string& key) const {
    const std::size_t i = LowerBound(key);
    return (i < subkeys.size() && subkeys[i]->folded == key) ? subkeys[i] : nullptr;
  }
  std::shared_ptr<CNode> AddChild(std::wstring_view childName) {
    auto node = std::make_shared<CNode>();
    node->name = std::wstring(childName);
    node->folded = FoldCase(childName);
    node->parent = this;
    subkeys.insert(subkeys.begin() + static_cast<std::ptrdiff_t>(LowerBound(node->folded)), node);
    return node;
  }
  CValue* FindValue(const std::u16string& key) {
    for (CValue& v : values) {
      if (v.folded == key) return &v;
    }
    return nullptr;
  }
};

// What a handle refers to: one key, or (HKEY_CLASSES_ROOT) a user key and a machine key.
struct CMemoryRegistry::CTarget {
  std::shared_ptr<CNode> node;
  bool view = false;
  std::shared_ptr<CNode> user;
  std::shared_ptr<CNode> machine;
  CHandleEntry* entry = nullptr;  // for the merged-name cache (views only)
};

// An open handle: what it refers to, the access it was opened with, and a view's cached names.
struct CMemoryRegistry::CHandleEntry {
  std::shared_ptr<CNode> node;
  bool view = false;
  std::shared_ptr<CNode> user;
  std::shared_ptr<CNode> machine;
  std::uint32_t access = 0;
  // Merged subkey names of a view, valid while the registry's generation is unchanged.
  std::uint64_t cacheGeneration = ~std::uint64_t{0};
  std::vector<std::wstring> mergedNames;
  std::uint32_t mergedValueCount = 0;
};

namespace registry_tree {

// Native key paths, as a link's SymbolicLinkValue names its target: \Registry\Machine\... for
// HKEY_LOCAL_MACHINE, \Registry\User\... for HKEY_USERS.
inline constexpr std::wstring_view kNativeRegistry = L"Registry";
inline constexpr std::wstring_view kNativeMachine = L"Machine";
inline constexpr std::wstring_view kNativeUser = L"User";

// Takes the key out of its parent and marks it and everything below it deleted (a handle to any
// of them then fails with kErrorKeyDeleted).
void Detach(CMemoryRegistry::CNode* node);

}  // namespace registry_tree
}  // namespace qv
