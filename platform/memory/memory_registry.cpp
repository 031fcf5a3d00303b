// The in-memory registry's answers to IRegistry (memory_registry.h): opening, creating and
// closing keys, enumerating and reading names and values with the caller's buffer limits,
// writing values, deleting keys and values, and the counts of a key, through HKEY_CLASSES_ROOT's
// merged view too. Each call takes the lock and works on the tree (memory_registry_tree.h); it
// touches nothing outside this object.
#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <cstring>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/memory/memory_registry_tree.h"

namespace qv {
namespace {

using CNode = CMemoryRegistry::CNode;
using registry_tree::Detach;

// Copies the data into the caller's buffer with RegQueryValueExW's rules. Returns the result code
// for the data part; *dataBytes gets the stored size in every case.
ErrorCode CopyData(const CNode::CValue& value, std::uint8_t* data, std::uint32_t* dataBytes) {
  const auto size = static_cast<std::uint32_t>(value.data.size());
  ErrorCode rc = kErrorSuccess;
  if (data != nullptr) {
    if (size > *dataBytes) {
      rc = kErrorMoreData;
    } else {
      if (size > 0) std::memcpy(data, value.data.data(), size);
      // String data without a terminator gets one in the caller's buffer when there is room.
      if (IsStringType(value.type) && size >= 2 && size + 2 <= *dataBytes &&
          (value.data[size - 2] != 0 || value.data[size - 1] != 0)) {
        data[size] = 0;
        data[size + 1] = 0;
      }
    }
  }
  if (dataBytes != nullptr) *dataBytes = size;
  return rc;
}

// Writes the name into the caller's buffer (characters, NUL included in the limit).
ErrorCode CopyName(std::wstring_view text, wchar_t* name, std::uint32_t* nameChars) {
  const std::u16string units = ToUtf16(text);
  if (units.size() >= *nameChars) return kErrorMoreData;
  // Natively wchar_t is 32 bits: one wchar_t per character, but the limit counts UTF-16 units.
  std::size_t i = 0;
  for (wchar_t c : text) name[i++] = c;
  name[i] = L'\0';
  *nameChars = static_cast<std::uint32_t>(sizeof(wchar_t) == 2 ? units.size() : text.size());
  return kErrorSuccess;
}

// An open or create of a path that holds a NUL character: refused, as the Win32 registry of the
// platform refuses it (the text functions would open another key).
ErrorCode RefuseNulName(RegHandle* result) {
  if (result != nullptr) *result = kNullRegHandle;
  return kErrorInvalidParameter;
}

// Merges two sorted child lists into the sorted union of names (the user's spelling first).
std::vector<std::wstring> MergeNames(const CNode* user, const CNode* machine) {
  std::vector<std::wstring> names;
  static const std::vector<std::shared_ptr<CNode>> kNone;
  const auto& a = user ? user->subkeys : kNone;
  const auto& b = machine ? machine->subkeys : kNone;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i]->folded < b[j]->folded)) {
      names.push_back(a[i++]->name);
    } else if (i == a.size() || b[j]->folded < a[i]->folded) {
      names.push_back(b[j++]->name);
    } else {
      names.push_back(a[i++]->name);
      ++j;
    }
  }
  return names;
}

// The values a view shows, in order: the user's, then the machine's that the user does not hide.
std::vector<const CNode::CValue*> MergedValues(CNode* user, CNode* machine) {
  std::vector<const CNode::CValue*> values;
  if (user != nullptr) {
    for (const auto& v : user->values) values.push_back(&v);
  }
  if (machine != nullptr) {
    for (const auto& v : machine->values) {
      if (user == nullptr || user->FindValue(v.folded) == nullptr) values.push_back(&v);
    }
  }
  return values;
}

}  // namespace

ErrorCode CMemoryRegistry::OpenKey(RegHandle parent, std::wstring_view subkey,
                                   std::uint32_t access, RegHandle* result) {
  std::lock_guard lock(m_lock);
  if (HasNulCharacter(subkey)) return RefuseNulName(result);
  return OpenOrCreateLocked(parent, subkey, access, false, false, result, nullptr);
}

ErrorCode CMemoryRegistry::OpenKeyNoFollow(RegHandle parent, std::wstring_view subkey,
                                           std::uint32_t access, RegHandle* result) {
  std::lock_guard lock(m_lock);
  if (HasNulCharacter(subkey)) return RefuseNulName(result);
  return OpenOrCreateLocked(parent, subkey, access, false, true, result, nullptr);
}

ErrorCode CMemoryRegistry::CreateKey(RegHandle parent, std::wstring_view subkey,
                                     std::uint32_t access, RegHandle* result, bool* created) {
  std::lock_guard lock(m_lock);
  if (HasNulCharacter(subkey)) return RefuseNulName(result);
  return OpenOrCreateLocked(parent, subkey, access, true, false, result, created);
}

ErrorCode CMemoryRegistry::CloseKey(RegHandle key) {
  std::lock_guard lock(m_lock);
  if (key >= kHkeyClassesRoot && key <= kHkeyDynData) return kErrorSuccess;
  return EraseHandleLocked(key) ? kErrorSuccess : kErrorInvalidHandle;
}

ErrorCode CMemoryRegistry::EnumKey(RegHandle key, std::uint32_t index, wchar_t* name,
                                   std::uint32_t* nameChars) {
  std::lock_guard lock(m_lock);
  if (name == nullptr || nameChars == nullptr) return kErrorInvalidParameter;
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeyEnumerateSubKeys, &target);
  if (rc != kErrorSuccess) return rc;
  if (target.view) {
    CHandleEntry& entry = *target.entry;
    if (entry.cacheGeneration != m_generation) {
      entry.mergedNames = MergeNames(target.user.get(), target.machine.get());
      entry.cacheGeneration = m_generation;
    }
    if (index >= entry.mergedNames.size()) return kErrorNoMoreItems;
    return CopyName(entry.mergedNames[index], name, nameChars);
  }
  if (index >= target.node->subkeys.size()) return kErrorNoMoreItems;
  return CopyName(target.node->subkeys[index]->name, name, nameChars);
}

ErrorCode CMemoryRegistry::EnumValue(RegHandle key, std::uint32_t index, wchar_t* name,
                                     std::uint32_t* nameChars, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* dataBytes) {
  std::lock_guard lock(m_lock);
  if (data != nullptr && dataBytes == nullptr) return kErrorInvalidParameter;
  if (name != nullptr && nameChars == nullptr) return kErrorInvalidParameter;
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeyQueryValue, &target);
  if (rc != kErrorSuccess) return rc;
  const CNode::CValue* value = nullptr;
  if (target.view) {
    const auto values = MergedValues(target.user.get(), target.machine.get());
    if (index < values.size()) value = values[index];
  } else if (index < target.node->values.size()) {
    value = &target.node->values[index];
  }
  if (value == nullptr) return kErrorNoMoreItems;
  // As RegEnumValueW: the name first; on any overflow the type and the data size are still
  // reported.
  ErrorCode result = kErrorSuccess;
  if (name != nullptr) result = CopyName(value->name, name, nameChars);
  if (result == kErrorSuccess) {
    result = CopyData(*value, data, dataBytes);
  } else if (dataBytes != nullptr) {
    *dataBytes = static_cast<std::uint32_t>(value->data.size());
  }
  if (type != nullptr) *type = value->type;
  return result;
}

ErrorCode CMemoryRegistry::QueryValue(RegHandle key, std::wstring_view name, std::uint32_t* type,
                                      std::uint8_t* data, std::uint32_t* dataBytes) {
  if (HasNulCharacter(name)) return kErrorInvalidParameter;
  return QueryValueAnyName(key, name, type, data, dataBytes);
}

ErrorCode CMemoryRegistry::QueryValueAnyName(RegHandle key, std::wstring_view name,
                                            std::uint32_t* type, std::uint8_t* data,
                                            std::uint32_t* dataBytes) {
  std::lock_guard lock(m_lock);
  if (data != nullptr && dataBytes == nullptr) return kErrorInvalidParameter;
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeyQueryValue, &target);
  if (rc != kErrorSuccess) return rc;
  const std::u16string folded = FoldCase(name);
  const CNode::CValue* value = nullptr;
  if (target.view) {
    if (target.user) value = target.user->FindValue(folded);
    if (value == nullptr && target.machine) value = target.machine->FindValue(folded);
  } else {
    value = target.node->FindValue(folded);
  }
  if (value == nullptr) return kErrorFileNotFound;
  const ErrorCode result = CopyData(*value, data, dataBytes);
  if (type != nullptr) *type = value->type;
  return result;
}

ErrorCode CMemoryRegistry::SetValue(RegHandle key, std::wstring_view name, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t dataBytes) {
  if (HasNulCharacter(name)) return kErrorInvalidParameter;
  return SetValueAnyName(key, name, type, data, dataBytes);
}

ErrorCode CMemoryRegistry::SetValueAnyName(RegHandle key, std::wstring_view name,
                                          std::uint32_t type, const std::uint8_t* data,
                                          std::uint32_t dataBytes) {
  std::lock_guard lock(m_lock);
  if (data == nullptr && dataBytes != 0) return kErrorInvalidParameter;
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeySetValue, &target);
  if (rc != kErrorSuccess) return rc;
  CNode* node = target.view ? (target.user ? target.user.get() : target.machine.get())
                            : target.node.get();
  if (node->readOnly) return kErrorAccessDenied;
  const std::u16string folded = FoldCase(name);
  CNode::CValue* value = node->FindValue(folded);
  if (value == nullptr) {
    node->values.push_back(CNode::CValue{std::wstring(name), folded, type, {}});
    value = &node->values.back();
  }
  value->type = type;
  value->data.assign(data, data + dataBytes);
  return kErrorSuccess;
}

ErrorCode CMemoryRegistry::DeleteKey(RegHandle parent, std::wstring_view subkey) {
  if (HasNulCharacter(subkey)) return kErrorInvalidParameter;
  std::lock_guard lock(m_lock);
  return DeleteLocked(parent, subkey, false);
}

ErrorCode CMemoryRegistry::DeleteOpenedKey(RegHandle key) {
  std::lock_guard lock(m_lock);
  if (key >= kHkeyClassesRoot && key <= kHkeyDynData) return kErrorAccessDenied;
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kDeleteAccess, &target);
  if (rc != kErrorSuccess) return rc;
  // Through HKEY_CLASSES_ROOT: the user's copy when there is one, as DeleteKey does.
  const std::shared_ptr<CNode> victim =
      target.view ? (target.user ? target.user : target.machine) : target.node;
  if (IsRootNodeLocked(victim) || victim->readOnly) return kErrorAccessDenied;
  if (!victim->subkeys.empty()) return kErrorAccessDenied;
  Detach(victim.get());
  ++m_generation;
  return kErrorSuccess;
}

ErrorCode CMemoryRegistry::DeleteValue(RegHandle key, std::wstring_view name) {
  if (HasNulCharacter(name)) return kErrorInvalidParameter;
  std::lock_guard lock(m_lock);
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeySetValue, &target);
  if (rc != kErrorSuccess) return rc;
  const std::u16string folded = FoldCase(name);
  auto eraseFrom = [&](CNode* node) {
    if (node == nullptr) return false;
    const auto it = std::find_if(node->values.begin(), node->values.end(),
                                 [&](const CNode::CValue& v) { return v.folded == folded; });
    if (it == node->values.end()) return false;
    node->values.erase(it);
    return true;
  };
  if (target.view) {
    if (eraseFrom(target.user.get()) || eraseFrom(target.machine.get())) return kErrorSuccess;
    return kErrorFileNotFound;
  }
  return eraseFrom(target.node.get()) ? kErrorSuccess : kErrorFileNotFound;
}

ErrorCode CMemoryRegistry::QueryInfoKey(RegHandle key, std::uint32_t* subkeys,
                                        std::uint32_t* values) {
  std::lock_guard lock(m_lock);
  CTarget target;
  const ErrorCode rc = ResolveLocked(key, kKeyQueryValue, &target);
  if (rc != kErrorSuccess) return rc;
  std::uint32_t keyCount = 0;
  std::uint32_t valueCount = 0;
  if (target.view) {
    keyCount = static_cast<std::uint32_t>(MergeNames(target.user.get(), target.machine.get()).size());
    valueCount =
        static_cast<std::uint32_t>(MergedValues(target.user.get(), target.machine.get()).size());
  } else {
    keyCount = static_cast<std::uint32_t>(target.node->subkeys.size());
    valueCount = static_cast<std::uint32_t>(target.node->values.size());
  }
  if (subkeys != nullptr) *subkeys = keyCount;
  if (values != nullptr) *values = valueCount;
  return kErrorSuccess;
}

}  // namespace qv
