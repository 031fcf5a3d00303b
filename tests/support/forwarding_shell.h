// A shell that forwards every call to another one. Recording or steering doubles derive from it
// and override only the calls they watch.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace qv::test {

class CForwardingShell : public IShell {
 public:
  explicit CForwardingShell(IShell& inner) : m_inner(inner) {}

  ErrorCode GetFolderPath(int csidl, std::wstring* path) override {
    return m_inner.GetFolderPath(csidl, path);
  }
  ErrorCode GetSpecialFolderPath(int csidl, bool create, std::wstring* path) override {
    return m_inner.GetSpecialFolderPath(csidl, create, path);
  }
  std::uint32_t ExpandEnvironment(std::wstring_view text, std::uint32_t capacity,
                                  std::wstring* expanded) override {
    return m_inner.ExpandEnvironment(text, capacity, expanded);
  }
  std::wstring ModuleFileName() override { return m_inner.ModuleFileName(); }
  ErrorCode GetFileVersion(std::wstring_view path, CFileVersion* version) override {
    return m_inner.GetFileVersion(path, version);
  }
  void GetSystemVersion(std::uint32_t* major, std::uint32_t* minor) override {
    m_inner.GetSystemVersion(major, minor);
  }
  ErrorCode ReadShortcut(std::wstring_view path, SHORTCUT_INFO* info) override {
    return m_inner.ReadShortcut(path, info);
  }
  ErrorCode CreateShortcut(std::wstring_view path, const SHORTCUT_INFO& info) override {
    return m_inner.CreateShortcut(path, info);
  }

 protected:
  IShell& inner() { return m_inner; }

 private:
  IShell& m_inner;
};

}  // namespace qv::test
