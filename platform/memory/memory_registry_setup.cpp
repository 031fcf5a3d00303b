// The tests' hands on the in-memory registry (memory_registry.h): keys, values and links made
// and removed by full key text, access denied to a key, the native path of a key, and what a
// test reads back. They throw std::invalid_argument when they cannot do what they are asked.
// They ignore DenyAccess and touch the tree (memory_registry_tree.h) of this object only.
#include "platform/memory/memory_registry.h"

#include <stdexcept>

#include "base/text_case.h"
#include "base/utf16.h"
#include "platform/memory/memory_registry_tree.h"

namespace qv {
namespace {

using CNode = CMemoryRegistry::CNode;
using registry_tree::kNativeMachine;
using registry_tree::kNativeRegistry;
using registry_tree::kNativeUser;

[[noreturn]] void Fail(std::wstring_view keyPath, const char* what, ErrorCode rc) {
  throw std::invalid_argument(std::string("CMemoryRegistry: ") + what + " failed (" +
                              std::to_string(rc) + ") for " + ToUtf8(keyPath));
}

}  // namespace

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
