#include "platform/memory/memory_registry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "base/text_case.h"
#include "base/utf16.h"

namespace qv {

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

namespace {

using CNode = CMemoryRegistry::CNode;

// Native key paths, as a link's SymbolicLinkValue names its target: \Registry\Machine\... for
// HKEY_LOCAL_MACHINE, \Registry\User\... for HKEY_USERS.
constexpr std::wstring_view kNativeRegistry = L"Registry";
constexpr std::wstring_view kNativeMachine = L"Machine";
constexpr std::wstring_view kNativeUser = L"User";
// Links followed for one path before the open gives up (a link that leads to itself).
constexpr int kMaxLinkDepth = 16;

// Splits a subkey path at backslashes, as the registry parses it: a leading backslash makes the
// path invalid (kErrorBadPathname); doubled and trailing backslashes are ignored.
ErrorCode SplitSubkey(std::wstring_view subkey, std::vector<std::wstring_view>* parts) {
  parts->clear();
  if (!subkey.empty() && subkey.front() == L'\\') return kErrorBadPathname;
  std::size_t start = 0;
  while (start <= subkey.size()) {
    std::size_t end = subkey.find(L'\\', start);
    if (end == std::wstring_view::npos) end = subkey.size();
    if (end > start) parts->push_back(subkey.substr(start, end - start));
    start = end + 1;
  }
  return kErrorSuccess;
}

std::shared_ptr<CNode> Walk(const std::shared_ptr<CNode>& from,
                            std::initializer_list<std::wstring_view> names) {
  std::shared_ptr<CNode> node = from;
  for (std::wstring_view n : names) {
    if (!node) return nullptr;
    node = node->Child(FoldCase(n));
  }
  return node;
}

std::shared_ptr<CNode> Live(const std::shared_ptr<CNode>& node) {
  return (node && !node->deleted) ? node : nullptr;
}

void MarkDeleted(CNode* node) {
  node->deleted = true;
  node->parent = nullptr;
  for (auto& child : node->subkeys) MarkDeleted(child.get());
  node->subkeys.clear();
  node->values.clear();
}

void Detach(CNode* node) {
  CNode* parent = node->parent;
  if (parent != nullptr) {
    const std::size_t i = parent->LowerBound(node->folded);
    if (i < parent->subkeys.size() && parent->subkeys[i].get() == node) {
      parent->subkeys.erase(parent->subkeys.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  MarkDeleted(node);
}

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

[[noreturn]] void Fail(std::wstring_view keyPath, const char* what, ErrorCode rc) {
  throw std::invalid_argument(std::string("CMemoryRegistry: ") + what + " failed (" +
                              std::to_string(rc) + ") for " + ToUtf8(keyPath));
}

}  // namespace

// What a handle refers to: one key, or (HKEY_CLASSES_ROOT) a user key and a machine key.
struct CMemoryRegistry::CTarget {
  std::shared_ptr<CNode> node;
  bool view = false;
  std::shared_ptr<CNode> user;
  std::shared_ptr<CNode> machine;
  CHandleEntry* entry = nullptr;  // for the merged-name cache (views only)
};

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

CMemoryRegistry::CMemoryRegistry() {
  auto makeRoot = [](std::wstring_view rootName) {
    auto node = std::make_shared<CNode>();
    node->name = std::wstring(rootName);
    node->folded = FoldCase(rootName);
    return node;
  };
  m_machine = makeRoot(L"HKEY_LOCAL_MACHINE");
  m_users = makeRoot(L"HKEY_USERS");
  m_performance = makeRoot(L"HKEY_PERFORMANCE_DATA");
  m_performance->readOnly = true;
  m_dynData = makeRoot(L"HKEY_DYN_DATA");
  m_dynData->readOnly = true;
  auto ensure = [](std::shared_ptr<CNode> node, std::wstring_view path) {
    std::vector<std::wstring_view> parts;
    static_cast<void>(SplitSubkey(path, &parts));
    for (std::wstring_view p : parts) {
      std::shared_ptr<CNode> child = node->Child(FoldCase(p));
      node = child ? child : node->AddChild(p);
    }
  };
  ensure(m_machine, L"Software\\Classes");
  ensure(m_machine, kCurrentConfigPath);
  ensure(m_users, L".DEFAULT\\Software");
  ensure(m_users, std::wstring(kCurrentUserSid) + L"\\Software\\Classes");
}

CMemoryRegistry::~CMemoryRegistry() = default;

namespace {

constexpr RegHandle kFirstHandle = 0x1000;
constexpr int kSlotUseShift = 32;

}  // namespace

RegHandle CMemoryRegistry::AddHandleLocked(CHandleEntry entry) {
  std::size_t slot = 0;
  if (!m_freeSlots.empty()) {
    slot = m_freeSlots.back();
    m_freeSlots.pop_back();
    *m_slots[slot] = std::move(entry);
  } else {
    slot = m_slots.size();
    m_slots.push_back(std::make_unique<CHandleEntry>(std::move(entry)));
    m_slotUses.push_back(1);
  }
  ++m_openHandles;
  return (static_cast<RegHandle>(m_slotUses[slot]) << kSlotUseShift) |
         (kFirstHandle + static_cast<RegHandle>(slot) * 4);
}

CMemoryRegistry::CHandleEntry* CMemoryRegistry::FindHandleLocked(RegHandle handle) {
  const RegHandle low = handle & 0xFFFFFFFFu;
  if (low < kFirstHandle || (low - kFirstHandle) % 4 != 0) return nullptr;
  const std::size_t slot = static_cast<std::size_t>((low - kFirstHandle) / 4);
  if (slot >= m_slots.size()) return nullptr;
  if (static_cast<RegHandle>(m_slotUses[slot]) != (handle >> kSlotUseShift)) return nullptr;
  return m_slots[slot].get();
}

bool CMemoryRegistry::EraseHandleLocked(RegHandle handle) {
  if (FindHandleLocked(handle) == nullptr) return false;
  const std::size_t slot =
      static_cast<std::size_t>(((handle & 0xFFFFFFFFu) - kFirstHandle) / 4);
  *m_slots[slot] = CHandleEntry{};  // lets go of the keys, keeps the storage
  ++m_slotUses[slot];
  m_freeSlots.push_back(slot);
  --m_openHandles;
  return true;
}

ErrorCode CMemoryRegistry::ResolveLocked(RegHandle handle, std::uint32_t needed,
                                         CTarget* target) {
  *target = CTarget{};
  switch (handle) {
    case kHkeyLocalMachine:
      target->node = m_machine;
      return kErrorSuccess;
    case kHkeyUsers:
      target->node = m_users;
      return kErrorSuccess;
    case kHkeyPerformanceData:
      target->node = m_performance;
      return kErrorSuccess;
    case kHkeyDynData:
      target->node = m_dynData;
      return kErrorSuccess;
    case kHkeyCurrentUser:
      target->node = Live(Walk(m_users, {kCurrentUserSid}));
      return target->node ? kErrorSuccess : kErrorFileNotFound;
    case kHkeyCurrentConfig:
      target->node = Live(Walk(m_machine, {L"System", L"CurrentControlSet", L"Hardware Profiles",
                                            L"Current"}));
      return target->node ? kErrorSuccess : kErrorFileNotFound;
    case kHkeyClassesRoot: {
      // The predefined view: both class roots looked up afresh; its cache lives in a handle
      // entry of its own.
      if (m_classesRootEntry == nullptr) m_classesRootEntry = std::make_unique<CHandleEntry>();
      CHandleEntry& entry = *m_classesRootEntry;
      entry.view = true;
      entry.access = kKeyAllAccess;
      entry.user = Live(Walk(m_users, {kCurrentUserSid, L"Software", L"Classes"}));
      entry.machine = Live(Walk(m_machine, {L"Software", L"Classes"}));
      target->view = true;
      target->user = entry.user;
      target->machine = entry.machine;
      target->entry = &entry;
      return (target->user || target->machine) ? kErrorSuccess : kErrorFileNotFound;
    }
    default:
      break;
  }
  CHandleEntry* found = FindHandleLocked(handle);
  if (found == nullptr) return kErrorInvalidHandle;
  CHandleEntry& entry = *found;
  if ((entry.access & needed) != needed) return kErrorAccessDenied;
  if (entry.view) {
    target->view = true;
    target->user = Live(entry.user);
    target->machine = Live(entry.machine);
    target->entry = &entry;
    return (target->user || target->machine) ? kErrorSuccess : kErrorKeyDeleted;
  }
  if (entry.node->deleted) return kErrorKeyDeleted;
  target->node = entry.node;
  return kErrorSuccess;
}

std::shared_ptr<CNode> CMemoryRegistry::WalkLocked(std::shared_ptr<CNode> node,
                                                   const std::vector<std::wstring_view>& parts,
                                                   bool create, bool followLast, int depth,
                                                   bool* madeOne) {
  // Raw pointers along the way (no reference counting per level); `owner` holds the node reached.
  const std::shared_ptr<CNode>* owner = &node;
  std::shared_ptr<CNode> followed;  // a link's target, kept while the walk goes on from it
  for (std::size_t i = 0; i < parts.size(); ++i) {
    CNode* current = owner->get();
    if (current == nullptr) return nullptr;
    FoldCaseInto(parts[i], &m_folded);
    const std::size_t at = current->LowerBound(m_folded);
    const std::shared_ptr<CNode>* child =
        (at < current->subkeys.size() && current->subkeys[at]->folded == m_folded)
            ? &current->subkeys[at]
            : nullptr;
    std::shared_ptr<CNode> made;
    if (child == nullptr) {
      if (!create || current->readOnly) return nullptr;
      made = current->AddChild(parts[i]);
      if (madeOne != nullptr) *madeOne = true;
      ++m_generation;
      child = &made;
    }
    if ((*child)->link && (followLast || i + 1 < parts.size())) {
      followed = FollowLinkLocked(**child, create, depth + 1, madeOne);
      owner = &followed;
      continue;
    }
    if (made) {
      followed = std::move(made);
      owner = &followed;
    } else {
      owner = child;
    }
  }
  return *owner;
}

std::shared_ptr<CNode> CMemoryRegistry::FollowLinkLocked(CNode& link, bool create, int depth,
                                                         bool* madeOne) {
  if (depth > kMaxLinkDepth) return nullptr;
  const CNode::CValue* value = link.FindValue(FoldCase(kSymbolicLinkValueName));
  if (value == nullptr || value->type != kRegLink) return nullptr;
  const std::wstring native = FromUtf16LeBytes(value->data.data(), value->data.size());
  std::vector<std::wstring_view> parts;
  static_cast<void>(SplitSubkey(std::wstring_view(native).substr(native.empty() ? 0 : 1), &parts));
  if (parts.size() < 2 || !EqualsNoCase(parts[0], kNativeRegistry)) return nullptr;
  std::shared_ptr<CNode> root;
  if (EqualsNoCase(parts[1], kNativeMachine)) root = m_machine;
  if (EqualsNoCase(parts[1], kNativeUser)) root = m_users;
  if (!root) return nullptr;
  parts.erase(parts.begin(), parts.begin() + 2);
  return WalkLocked(root, parts, create, true, depth, madeOne);
}

ErrorCode CMemoryRegistry::OpenOrCreateLocked(RegHandle parent, std::wstring_view subkey,
                                              std::uint32_t access, bool create, bool noFollow,
                                              RegHandle* result, bool* created) {
  if (result == nullptr) return kErrorInvalidParameter;
  *result = kNullRegHandle;  // as RegOpenKeyExW and RegCreateKeyExW do, also on failure
  CTarget from;
  ErrorCode rc = ResolveLocked(parent, 0, &from);
  if (rc != kErrorSuccess) return rc;
  std::vector<std::wstring_view>& parts = m_parts;
  rc = SplitSubkey(subkey, &parts);
  if (rc != kErrorSuccess) return rc;
  bool madeOne = false;
  auto walkOrCreate = [&](std::shared_ptr<CNode> node, bool mayCreate) -> std::shared_ptr<CNode> {
    if (!node) return nullptr;
    return WalkLocked(std::move(node), parts, mayCreate, !noFollow, 0, &madeOne);
  };
  auto denied = [&](const std::shared_ptr<CNode>& n) {
    return n && (n->deniedAccess & access) != 0;
  };

  CHandleEntry entry;
  entry.access = access;
  if (from.view) {
    entry.view = true;
    entry.user = walkOrCreate(from.user, false);
    entry.machine = walkOrCreate(from.machine, false);
    if (!entry.user && !entry.machine) {
      if (!create) return kErrorFileNotFound;
      // New class keys go to the machine's classes.
      if (!from.machine) return kErrorAccessDenied;
      entry.machine = walkOrCreate(from.machine, true);
      if (!entry.machine) return kErrorAccessDenied;
    }
    if (denied(entry.user) || denied(entry.machine)) return kErrorAccessDenied;
  } else {
    if (create && from.node->readOnly) return kErrorAccessDenied;
    entry.node = walkOrCreate(from.node, create);
    if (!entry.node) return create ? kErrorAccessDenied : kErrorFileNotFound;
    if (denied(entry.node)) return kErrorAccessDenied;
  }
  *result = AddHandleLocked(std::move(entry));
  if (created != nullptr) *created = madeOne;
  return kErrorSuccess;
}

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

namespace {

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

bool CMemoryRegistry::IsRootNodeLocked(const std::shared_ptr<CNode>& node) {
  if (node->parent == nullptr || node == m_machine || node == m_users) return true;
  return node == Walk(m_users, {kCurrentUserSid}) ||
         node == Walk(m_users, {kCurrentUserSid, L"Software", L"Classes"}) ||
         node == Walk(m_machine, {L"Software", L"Classes"}) ||
         node == Walk(m_machine, {L"System", L"CurrentControlSet", L"Hardware Profiles",
                                  L"Current"});
}

ErrorCode CMemoryRegistry::DeleteLocked(RegHandle parent, std::wstring_view subkey, bool tree) {
  CTarget from;
  ErrorCode rc = ResolveLocked(parent, 0, &from);
  if (rc != kErrorSuccess) return rc;
  std::vector<std::wstring_view> parts;
  rc = SplitSubkey(subkey, &parts);
  if (rc != kErrorSuccess) return rc;
  // RegDeleteKeyW opens the key, following every link on the way, the last one too; the test's
  // RemovePath (tree) removes a link itself.
  auto walk = [&](const std::shared_ptr<CNode>& node) -> std::shared_ptr<CNode> {
    if (!node) return nullptr;
    return WalkLocked(node, parts, false, !tree, 0, nullptr);
  };
  std::shared_ptr<CNode> victim;
  if (from.view) {
    // The user's copy when there is one, otherwise the machine's.
    victim = walk(from.user);
    if (!victim) victim = walk(from.machine);
    if (victim && parts.empty()) return kErrorAccessDenied;  // a class root itself
  } else {
    victim = walk(from.node);
  }
  if (!victim) return kErrorFileNotFound;
  // Predefined roots and the keys they stand for cannot be deleted.
  if (victim->parent == nullptr || victim == m_machine || victim == m_users) {
    return kErrorAccessDenied;
  }
  if (parent >= kHkeyClassesRoot && parent <= kHkeyDynData && parts.empty()) {
    return kErrorAccessDenied;
  }
  if ((victim->deniedAccess & kDeleteAccess) != 0) return kErrorAccessDenied;
  if (!tree && !victim->subkeys.empty()) return kErrorAccessDenied;
  Detach(victim.get());
  ++m_generation;
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

// ---------------------------------------------------------------------------------------------
// Test conveniences.

bool CMemoryRegistry::SplitKeyPath(std::wstring_view keyPath, RegHandle* root,
                                   std::wstring_view* subkey) {
  const std::size_t sep = keyPath.find_first_of(L"\\/");
  const std::wstring_view rootText = keyPath.substr(0, sep);
  for (const ROOT_SPELLING& r : kRootSpellings) {
    if (EqualsNoCase(r.name, rootText)) {
      *root = r.root;
      *subkey = sep == std::wstring_view::npos ? std::wstring_view() : keyPath.substr(sep + 1);
      return true;
    }
  }
  return false;
}

ErrorCode CMemoryRegistry::OpenPath(std::wstring_view keyPath, bool create, std::uint32_t access,
                                    RegHandle* result) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  if (!SplitKeyPath(keyPath, &root, &subkey)) Fail(keyPath, "root lookup", kErrorInvalidParameter);
  std::lock_guard lock(m_lock);
  // Test conveniences ignore DenyAccess (they are the test's own hands on the tree): open with
  // no access, then give the handle the access asked for.
  const ErrorCode rc = OpenOrCreateLocked(root, subkey, 0, create, false, result, nullptr);
  if (rc == kErrorSuccess) {
    if (CHandleEntry* entry = FindHandleLocked(*result); entry != nullptr) entry->access = access;
  }
  return rc;
}

void CMemoryRegistry::CreatePath(std::wstring_view keyPath) {
  RegHandle key = kNullRegHandle;
  const ErrorCode rc = OpenPath(keyPath, true, kKeyAllAccess, &key);
  if (rc != kErrorSuccess) Fail(keyPath, "CreatePath", rc);
  static_cast<void>(CloseKey(key));
}

void CMemoryRegistry::SetValueRaw(std::wstring_view keyPath, std::wstring_view valueName,
                                  std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  RegHandle key = kNullRegHandle;
  ErrorCode rc = OpenPath(keyPath, true, kKeyAllAccess, &key);
  if (rc != kErrorSuccess) Fail(keyPath, "open for SetValue", rc);
  static const std::uint8_t kEmpty = 0;
  rc = SetValueAnyName(key, valueName, type, bytes.empty() ? &kEmpty : bytes.data(),
                      static_cast<std::uint32_t>(bytes.size()));
  static_cast<void>(CloseKey(key));
  if (rc != kErrorSuccess) Fail(keyPath, "SetValue", rc);
}

void CMemoryRegistry::SetString(std::wstring_view keyPath, std::wstring_view valueName,
                                std::wstring_view text) {
  SetValueRaw(keyPath, valueName, kRegSz, ToUtf16LeBytes(text, true));
}

void CMemoryRegistry::SetExpandString(std::wstring_view keyPath, std::wstring_view valueName,
                                      std::wstring_view text) {
  SetValueRaw(keyPath, valueName, kRegExpandSz, ToUtf16LeBytes(text, true));
}

void CMemoryRegistry::SetMultiString(std::wstring_view keyPath, std::wstring_view valueName,
                                     const std::vector<std::wstring>& strings) {
  std::vector<std::uint8_t> bytes;
  for (const std::wstring& s : strings) {
    const auto part = ToUtf16LeBytes(s, true);
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  bytes.push_back(0);
  bytes.push_back(0);
  SetValueRaw(keyPath, valueName, kRegMultiSz, bytes);
}

void CMemoryRegistry::SetDword(std::wstring_view keyPath, std::wstring_view valueName,
                               std::uint32_t value) {
  SetValueRaw(keyPath, valueName, kRegDword,
              {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
               static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void CMemoryRegistry::RemovePath(std::wstring_view keyPath) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  if (!SplitKeyPath(keyPath, &root, &subkey)) Fail(keyPath, "root lookup", kErrorInvalidParameter);
  std::lock_guard lock(m_lock);
  const ErrorCode rc = DeleteLocked(root, subkey, true);
  if (rc != kErrorSuccess && rc != kErrorFileNotFound) Fail(keyPath, "RemovePath", rc);
}

std::wstring CMemoryRegistry::NativePath(std::wstring_view keyPath) {
  RegHandle root = kNullRegHandle;
  std::wstring_view subkey;
  if (!SplitKeyPath(keyPath, &root, &subkey)) Fail(keyPath, "root lookup", kErrorInvalidParameter);
  std::wstring native = L"\\" + std::wstring(kNativeRegistry) + L"\\";
  switch (root) {
    case kHkeyLocalMachine:
      native += kNativeMachine;
      break;
    case kHkeyUsers:
      native += kNativeUser;
      break;
    case kHkeyCurrentUser:
      native += std::wstring(kNativeUser) + L"\\" + std::wstring(kCurrentUserSid);
      break;
    case kHkeyClassesRoot:
      native += std::wstring(kNativeMachine) + L"\\Software\\Classes";
      break;
    case kHkeyCurrentConfig:
      native += std::wstring(kNativeMachine) + L"\\" + std::wstring(kCurrentConfigPath);
      break;
    default:
      Fail(keyPath, "native path", kErrorInvalidParameter);
  }
  if (!subkey.empty()) native += L"\\" + std::wstring(subkey);
  return native;
}

void CMemoryRegistry::CreateLink(std::wstring_view linkKeyPath, std::wstring_view targetKeyPath) {
  const std::vector<std::uint8_t> target = ToUtf16LeBytes(NativePath(targetKeyPath), false);
  const std::size_t slash = linkKeyPath.find_last_of(L'\\');
  if (slash == std::wstring_view::npos || slash + 1 == linkKeyPath.size()) {
    Fail(linkKeyPath, "CreateLink", kErrorInvalidParameter);
  }
  const std::wstring_view linkName = linkKeyPath.substr(slash + 1);
  RegHandle parent = kNullRegHandle;
  ErrorCode rc = OpenPath(linkKeyPath.substr(0, slash), true, kKeyAllAccess, &parent);
  if (rc != kErrorSuccess) Fail(linkKeyPath, "CreateLink", rc);
  std::lock_guard lock(m_lock);
  CHandleEntry* entry = FindHandleLocked(parent);
  if (entry == nullptr) Fail(linkKeyPath, "CreateLink", kErrorInvalidHandle);
  const std::shared_ptr<CNode> node = entry->view ? entry->machine : entry->node;
  EraseHandleLocked(parent);
  if (!node || node->Child(FoldCase(linkName))) {
    Fail(linkKeyPath, "CreateLink", kErrorAlreadyExists);
  }
  std::shared_ptr<CNode> link = node->AddChild(linkName);
  link->link = true;
  link->values.push_back(CNode::CValue{std::wstring(kSymbolicLinkValueName),
                                       FoldCase(kSymbolicLinkValueName), kRegLink, target});
  ++m_generation;
}

void CMemoryRegistry::DenyAccess(std::wstring_view keyPath, std::uint32_t mask) {
  RegHandle key = kNullRegHandle;
  const ErrorCode rc = OpenPath(keyPath, false, kKeyRead, &key);
  if (rc != kErrorSuccess) Fail(keyPath, "DenyAccess", rc);
  std::lock_guard lock(m_lock);
  CHandleEntry* entry = FindHandleLocked(key);
  if (entry == nullptr) Fail(keyPath, "DenyAccess", kErrorInvalidHandle);
  for (const auto& node : {entry->node, entry->user, entry->machine}) {
    if (node) node->deniedAccess |= mask;
  }
  EraseHandleLocked(key);
}

bool CMemoryRegistry::KeyExists(std::wstring_view keyPath) {
  RegHandle key = kNullRegHandle;
  if (OpenPath(keyPath, false, kKeyRead, &key) != kErrorSuccess) return false;
  static_cast<void>(CloseKey(key));
  return true;
}

std::optional<CMemoryRegistry::CRawValue> CMemoryRegistry::GetValueRaw(
    std::wstring_view keyPath, std::wstring_view valueName) {
  RegHandle key = kNullRegHandle;
  if (OpenPath(keyPath, false, kKeyRead, &key) != kErrorSuccess) return std::nullopt;
  std::optional<CRawValue> result;
  std::uint32_t bytes = 0;
  std::uint32_t type = kRegNone;
  if (QueryValueAnyName(key, valueName, &type, nullptr, &bytes) == kErrorSuccess) {
    CRawValue raw;
    raw.type = type;
    raw.data.resize(bytes);
    if (QueryValueAnyName(key, valueName, &type, raw.data.data(), &bytes) == kErrorSuccess) {
      raw.data.resize(bytes);
      result = std::move(raw);
    }
  }
  static_cast<void>(CloseKey(key));
  return result;
}

bool CMemoryRegistry::ValueExists(std::wstring_view keyPath, std::wstring_view valueName) {
  return GetValueRaw(keyPath, valueName).has_value();
}

std::optional<std::wstring> CMemoryRegistry::GetString(std::wstring_view keyPath,
                                                       std::wstring_view valueName) {
  const auto raw = GetValueRaw(keyPath, valueName);
  if (!raw) return std::nullopt;
  return std::wstring(TruncateAtNul(FromUtf16LeBytes(raw->data.data(), raw->data.size())));
}

std::optional<std::uint32_t> CMemoryRegistry::GetDword(std::wstring_view keyPath,
                                                       std::wstring_view valueName) {
  const auto raw = GetValueRaw(keyPath, valueName);
  if (!raw || raw->data.size() < 4) return std::nullopt;
  return static_cast<std::uint32_t>(raw->data[0] | (raw->data[1] << 8) | (raw->data[2] << 16) |
                                    (static_cast<std::uint32_t>(raw->data[3]) << 24));
}

std::vector<std::wstring> CMemoryRegistry::SubkeyNames(std::wstring_view keyPath) {
  RegHandle key = kNullRegHandle;
  const ErrorCode rc = OpenPath(keyPath, false, kKeyRead, &key);
  if (rc != kErrorSuccess) Fail(keyPath, "SubkeyNames", rc);
  std::vector<std::wstring> names;
  std::vector<wchar_t> buffer(16385);
  for (std::uint32_t i = 0;; ++i) {
    auto chars = static_cast<std::uint32_t>(buffer.size());
    if (EnumKey(key, i, buffer.data(), &chars) != kErrorSuccess) break;
    names.emplace_back(buffer.data(), chars);
  }
  static_cast<void>(CloseKey(key));
  return names;
}

std::vector<std::wstring> CMemoryRegistry::ValueNames(std::wstring_view keyPath) {
  RegHandle key = kNullRegHandle;
  const ErrorCode rc = OpenPath(keyPath, false, kKeyRead, &key);
  if (rc != kErrorSuccess) Fail(keyPath, "ValueNames", rc);
  std::vector<std::wstring> names;
  std::vector<wchar_t> buffer(16385);
  for (std::uint32_t i = 0;; ++i) {
    auto chars = static_cast<std::uint32_t>(buffer.size());
    if (EnumValue(key, i, buffer.data(), &chars, nullptr, nullptr, nullptr) != kErrorSuccess) {
      break;
    }
    names.emplace_back(buffer.data(), chars);
  }
  static_cast<void>(CloseKey(key));
  return names;
}

std::size_t CMemoryRegistry::OpenHandleCount() {
  std::lock_guard lock(m_lock);
  return m_openHandles;
}

}  // namespace qv
