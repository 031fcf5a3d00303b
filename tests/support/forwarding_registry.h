// A registry that forwards every call to another one. Fault-injecting doubles derive from it and
// override only the calls they disturb.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/registry.h"

namespace qv::test {

class CForwardingRegistry : public IRegistry {
 public:
  explicit CForwardingRegistry(IRegistry& inner) : m_inner(inner) {}

  ErrorCode OpenKey(RegHandle p, std::wstring_view s, std::uint32_t a, RegHandle* r) override {
    return m_inner.OpenKey(p, s, a, r);
  }
  ErrorCode CreateKey(RegHandle p, std::wstring_view s, std::uint32_t a, RegHandle* r,
                      bool* c) override {
    return m_inner.CreateKey(p, s, a, r, c);
  }
  ErrorCode OpenKeyNoFollow(RegHandle p, std::wstring_view s, std::uint32_t a,
                            RegHandle* r) override {
    return m_inner.OpenKeyNoFollow(p, s, a, r);
  }
  ErrorCode CloseKey(RegHandle k) override { return m_inner.CloseKey(k); }
  ErrorCode EnumKey(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c) override {
    return m_inner.EnumKey(k, i, n, c);
  }
  ErrorCode EnumValue(RegHandle k, std::uint32_t i, wchar_t* n, std::uint32_t* c, std::uint32_t* t,
                      std::uint8_t* d, std::uint32_t* b) override {
    return m_inner.EnumValue(k, i, n, c, t, d, b);
  }
  ErrorCode QueryValue(RegHandle k, std::wstring_view n, std::uint32_t* t, std::uint8_t* d,
                       std::uint32_t* b) override {
    return m_inner.QueryValue(k, n, t, d, b);
  }
  ErrorCode SetValue(RegHandle k, std::wstring_view n, std::uint32_t t, const std::uint8_t* d,
                     std::uint32_t b) override {
    return m_inner.SetValue(k, n, t, d, b);
  }
  ErrorCode DeleteKey(RegHandle p, std::wstring_view s) override { return m_inner.DeleteKey(p, s); }
  ErrorCode DeleteOpenedKey(RegHandle k) override { return m_inner.DeleteOpenedKey(k); }
  ErrorCode DeleteValue(RegHandle k, std::wstring_view n) override {
    return m_inner.DeleteValue(k, n);
  }
  ErrorCode QueryInfoKey(RegHandle k, std::uint32_t* s, std::uint32_t* v) override {
    return m_inner.QueryInfoKey(k, s, v);
  }
  std::wstring CurrentUserHiveName() override { return m_inner.CurrentUserHiveName(); }

 protected:
  IRegistry& inner() { return m_inner; }

 private:
  IRegistry& m_inner;
};

}  // namespace qv::test
