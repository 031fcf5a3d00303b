// The storage of the in-memory file system (memory_file_system.h), shared by the files that
// implement it: the tree of entries, where a path leads in it, and reading a path as Windows
// reads it. Only the in-memory file system's own sources include this.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_case.h"
#include "platform/memory/memory_file_system.h"

namespace qv {

// A file or folder: its name, its content or children (sorted by folded name), what a listing and
// the trust checks see of it, and who has it open.
struct CMemoryFileSystem::CEntry {
  std::wstring name;
  std::u16string folded;
  bool directory = false;
  bool reparsePoint = false;  // MarkReparsePoint
  FileOwner owner = FileOwner::kAdministrators;
  bool adminsOnly = false;  // the protected access list
  std::wstring linkTarget;    // MakeLink: the folder a path through this one leads into
  std::uint64_t lastWriteTime = 0;  // SetLastWriteTime
  std::uint64_t* structure = nullptr;  // the file system's count of changes to the tree
  std::string content;
  std::vector<std::shared_ptr<CEntry>> children;  // sorted by folded name
  CEntry* parent = nullptr;
  int openCount = 0;
  int writers = 0;      // open with write access
  int denyWriters = 0;  // open with writing denied to others
  int flushes = 0;

  std::size_t LowerBound(const std::u16string& key) const {
    const auto it = std::lower_bound(
        children.begin(), children.end(), key,
        [](const std::shared_ptr<CEntry>& e, const std::u16string& k) { return e->folded < k; });
    return static_cast<std::size_t>(it - children.begin());
  }
  std::shared_ptr<CEntry> Child(std::wstring_view childName) const {
    const std::u16string key = FoldCase(childName);
    const std::size_t i = LowerBound(key);
    return (i < children.size() && children[i]->folded == key) ? children[i] : nullptr;
  }
  void Attach(const std::shared_ptr<CEntry>& child) {
    child->parent = this;
    child->structure = structure;
    if (structure != nullptr) ++*structure;
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(LowerBound(child->folded)),
                    child);
  }
  std::shared_ptr<CEntry> AddChild(std::wstring_view childName, bool isDirectory) {
    auto child = std::make_shared<CEntry>();
    child->name = std::wstring(childName);
    child->folded = FoldCase(childName);
    child->directory = isDirectory;
    Attach(child);
    return child;
  }
  std::shared_ptr<CEntry> Detach(const CEntry* child) {
    for (auto it = children.begin(); it != children.end(); ++it) {
      if (it->get() == child) {
        std::shared_ptr<CEntry> kept = *it;
        children.erase(it);
        if (structure != nullptr) ++*structure;
        kept->parent = nullptr;
        return kept;
      }
    }
    return nullptr;
  }
  bool AnythingOpen() const {
    if (openCount > 0) return true;
    return std::any_of(children.begin(), children.end(),
                       [](const std::shared_ptr<CEntry>& c) { return c->AnythingOpen(); });
  }
};

// Where a path leads: its folder, and the entry itself when it exists.
struct CMemoryFileSystem::CLocation {
  std::shared_ptr<CEntry> parent;  // null for a drive root
  std::shared_ptr<CEntry> entry;   // null when the last element does not exist
  std::wstring name;               // the last element as written
  bool trailingSlash = false;
};

// Path reading shared by the operations and the tests' helpers.
namespace file_tree {

// A path read: its drive (upper case) and its names below the drive's root.
struct CParsedPath {
  wchar_t drive = L'C';
  std::vector<std::wstring> parts;
  bool trailingSlash = false;
};

inline wchar_t UpperDrive(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}
inline bool IsDriveLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Parses a Windows path into drive and components ("." and ".." resolved). UNC paths and
// text that is not a path fail.
bool ParsePath(std::wstring_view input, std::wstring_view current, CParsedPath* out);

}  // namespace file_tree
}  // namespace qv
