// The tree of the in-memory registry (memory_registry_tree.h): the predefined roots, the table of
// open handles, what a handle refers to (HKEY_CLASSES_ROOT's merged view included), the walk of a
// path through links, opening and creating keys, and deleting them. It touches the tree and the
// handle table, under the caller's lock; the IRegistry calls are in memory_registry.cpp, the
// tests' conveniences in memory_registry_setup.cpp.
#include "platform/memory/memory_registry_tree.h"

#include <initializer_list>

#include "base/utf16.h"

namespace qv {
namespace {

using CNode = CMemoryRegistry::CNode;
using registry_tree::Detach;
using registry_tree::kNativeMachine;
using registry_tree::kNativeRegistry;
using registry_tree::kNativeUser;

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

}  // namespace

namespace registry_tree {

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

}  // namespace registry_tree

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

}  // namespace qv
