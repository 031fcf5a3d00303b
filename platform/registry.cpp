#include "platform/registry.h"

#include "base/utf16.h"

namespace qv {

std::wstring VisibleRegName(std::wstring_view name) {
  std::wstring shown;
  shown.reserve(name.size());
  for (const wchar_t c : name) {
    if (c == L'\0') {
      shown += L"\\0";
    } else {
      shown += c;
    }
  }
  return shown;
}

ErrorCode CRegKey::Open(RegHandle parent, std::wstring_view subkey, std::uint32_t access) {
  IRegistry* reg = registry();
  if (reg == nullptr) return kErrorInvalidHandle;
  RegHandle handle = kNullRegHandle;
  const ErrorCode rc = reg->OpenKey(parent, subkey, access, &handle);
  if (rc == kErrorSuccess) m_key.reset(handle);
  return rc;
}

ErrorCode CRegKey::Create(RegHandle parent, std::wstring_view subkey, std::uint32_t access,
                          bool* created) {
  IRegistry* reg = registry();
  if (reg == nullptr) return kErrorInvalidHandle;
  RegHandle handle = kNullRegHandle;
  const ErrorCode rc = reg->CreateKey(parent, subkey, access, &handle, created);
  if (rc == kErrorSuccess) m_key.reset(handle);
  return rc;
}

ErrorCode CRegKey::OpenNoFollow(RegHandle parent, std::wstring_view subkey,
                              std::uint32_t access) {
  IRegistry* reg = registry();
  if (reg == nullptr) return kErrorInvalidHandle;
  RegHandle handle = kNullRegHandle;
  const ErrorCode rc = reg->OpenKeyNoFollow(parent, subkey, access, &handle);
  if (rc == kErrorSuccess) m_key.reset(handle);
  return rc;
}

ErrorCode CRegKey::EnumKeyName(std::uint32_t index, std::uint32_t maxChars,
                               std::wstring* name) const {
  if (!valid()) return kErrorInvalidHandle;
  // One buffer per thread for every enumeration: walks call this once per key.
  thread_local std::wstring buffer;
  if (buffer.size() < static_cast<std::size_t>(maxChars) + 1) buffer.resize(maxChars + 1);
  std::uint32_t chars = maxChars;
  const ErrorCode rc = registry()->EnumKey(get(), index, buffer.data(), &chars);
  if (rc != kErrorSuccess) return rc;
  name->assign(buffer.data(), chars);
  return kErrorSuccess;
}

ErrorCode CRegKey::QueryString(std::wstring_view valueName, std::uint32_t maxBytes,
                               std::wstring* text, std::uint32_t* type) const {
  if (!valid()) return kErrorInvalidHandle;
  std::vector<std::uint8_t> buffer(maxBytes + 2, 0);
  std::uint32_t bytes = maxBytes;
  std::uint32_t valueType = kRegNone;
  const ErrorCode rc = registry()->QueryValue(get(), valueName, &valueType, buffer.data(), &bytes);
  if (rc != kErrorSuccess) return rc;
  // Unterminated data that fills the buffer loses its last character to the terminator, as a
  // fixed wchar_t buffer terminated at its end would.
  *text = FixedBufferText(buffer.data(), bytes, maxBytes);
  if (type != nullptr) *type = valueType;
  return kErrorSuccess;
}

ErrorCode CRegKey::QueryRaw(std::wstring_view valueName, std::uint32_t* type,
                            std::vector<std::uint8_t>* data) const {
  if (!valid()) return kErrorInvalidHandle;
  // The value may grow between the size query and the read; ask again until it fits.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::uint32_t bytes = 0;
    std::uint32_t valueType = kRegNone;
    ErrorCode rc = registry()->QueryValue(get(), valueName, &valueType, nullptr, &bytes);
    if (rc != kErrorSuccess) return rc;
    std::vector<std::uint8_t> buffer(bytes);
    rc = registry()->QueryValue(get(), valueName, &valueType, buffer.data(), &bytes);
    if (rc == kErrorMoreData) continue;
    if (rc != kErrorSuccess) return rc;
    buffer.resize(bytes);
    *data = std::move(buffer);
    if (type != nullptr) *type = valueType;
    return kErrorSuccess;
  }
  return kErrorMoreData;
}

ErrorCode CRegKey::SetString(std::wstring_view valueName, std::wstring_view text) const {
  if (!valid()) return kErrorInvalidHandle;
  const std::vector<std::uint8_t> bytes = ToUtf16LeBytes(text, true);
  return registry()->SetValue(get(), valueName, kRegSz, bytes.data(),
                              static_cast<std::uint32_t>(bytes.size()));
}

ErrorCode CRegKey::IsLink(bool* isLink) const {
  if (!valid()) return kErrorInvalidHandle;
  std::uint32_t type = kRegNone;
  std::uint32_t bytes = 0;
  const ErrorCode rc =
      registry()->QueryValue(get(), kSymbolicLinkValueName, &type, nullptr, &bytes);
  if (rc == kErrorFileNotFound) {
    *isLink = false;
    return kErrorSuccess;
  }
  if (rc != kErrorSuccess) return rc;
  *isLink = type == kRegLink;
  return kErrorSuccess;
}

ErrorCode IsRegistryLink(IRegistry& registry, RegHandle parent, std::wstring_view subkey,
                         bool* isLink) {
  CRegKey key(registry);
  const ErrorCode rc = key.OpenNoFollow(parent, subkey, kKeyQueryValue);
  if (rc != kErrorSuccess) return rc;
  return key.IsLink(isLink);
}

}  // namespace qv
