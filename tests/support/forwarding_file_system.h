// A file system that forwards every call to another one. Fault-injecting doubles derive from it
// and override only the calls they disturb.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace qv::test {

class CForwardingFileSystem : public IFileSystem {
 public:
  explicit CForwardingFileSystem(IFileSystem& inner) : m_inner(inner) {}

  bool FileExists(std::wstring_view p) override { return m_inner.FileExists(p); }
  bool IsRoot(std::wstring_view p) override { return m_inner.IsRoot(p); }
  bool FindOnPath(std::wstring* p) override { return m_inner.FindOnPath(p); }
  bool IsDirectory(std::wstring_view p) override { return m_inner.IsDirectory(p); }
  ErrorCode QueryExistence(std::wstring_view p) override { return m_inner.QueryExistence(p); }
  DRIVE_KIND DriveKind(wchar_t letter) override { return m_inner.DriveKind(letter); }
  ErrorCode FindFiles(std::wstring_view p, std::vector<CFindData>* e) override {
    return m_inner.FindFiles(p, e);
  }
  ErrorCode MovePath(std::wstring_view f, std::wstring_view t) override {
    return m_inner.MovePath(f, t);
  }
  ErrorCode RemoveFile(std::wstring_view p) override { return m_inner.RemoveFile(p); }
  ErrorCode MakeDirectory(std::wstring_view p) override { return m_inner.MakeDirectory(p); }
  ErrorCode RemoveFolder(std::wstring_view p) override { return m_inner.RemoveFolder(p); }
  ErrorCode ReplaceFile(std::wstring_view f, std::wstring_view t) override {
    return m_inner.ReplaceFile(f, t);
  }
  ErrorCode OpenFile(std::wstring_view p, FileOpenMode m, FileShareMode s,
                     std::unique_ptr<IFile>* file) override {
    return m_inner.OpenFile(p, m, s, file);
  }
  ErrorCode ToCodePage(std::wstring_view t, std::string* b, bool* l) override {
    return m_inner.ToCodePage(t, b, l);
  }
  ErrorCode FromCodePage(std::string_view b, std::wstring* t) override {
    return m_inner.FromCodePage(b, t);
  }
  ErrorCode QueryPathInfo(std::wstring_view p, CPathInfo* i) override {
    return m_inner.QueryPathInfo(p, i);
  }
  ErrorCode OpenFileNoFollow(std::wstring_view p, FileOpenMode m, FileShareMode s,
                             std::unique_ptr<IFile>* file) override {
    return m_inner.OpenFileNoFollow(p, m, s, file);
  }
  ErrorCode CreateUniqueFile(std::wstring_view f, std::wstring* p,
                             std::unique_ptr<IFile>* file) override {
    return m_inner.CreateUniqueFile(f, p, file);
  }
  ErrorCode RenameNoFollow(std::wstring_view f, std::wstring_view t) override {
    return m_inner.RenameNoFollow(f, t);
  }
  ErrorCode MakeProtectedDirectory(std::wstring_view p) override {
    return m_inner.MakeProtectedDirectory(p);
  }
  ErrorCode ProtectDirectory(std::wstring_view p) override { return m_inner.ProtectDirectory(p); }
  bool IsElevated() override { return m_inner.IsElevated(); }
  ErrorCode MoveByHandle(std::wstring_view f, std::wstring_view t) override {
    return m_inner.MoveByHandle(f, t);
  }

 protected:
  IFileSystem& inner() { return m_inner; }

 private:
  IFileSystem& m_inner;
};

}  // namespace qv::test
