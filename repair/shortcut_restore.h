// Moving the shortcuts of a repair back from its shortcut folder, as its list file records them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "platform/file_system.h"

namespace qv {

struct SHORTCUT_RESTORE {
  std::size_t moved = 0;    // lines whose copy went back to where it was
  std::size_t alreadyBack = 0;  // lines whose copy is gone and whose shortcut is in its place
  std::size_t failed = 0;   // lines whose move failed (the copy stays in the folder)
  std::size_t ignored = 0;  // lines without exactly two fields (a comma inside a path, say)
  std::size_t untrusted = 0;  // lines whose copy is a link or another account's file: left alone
  bool listDeleted = false;
  bool folderRemoved = false;
};

// Reads the list (8-bit in the code page, or UTF-16LE with a byte-order mark once a path needed
// it) when it is trusted (ReadTrustedFile: otherwise its trust error, and nothing is moved); each
// line of exactly two comma-separated fields moves the file named by the second back
// to the path in the first. A line whose copy is no longer in the folder while a file is at its
// path again (moved back by an earlier restore that could not finish) is done already, not a
// failure, so a restore tried again never fails on what came back the first time. Then the
// folder (the list's path up to its last ".") is removed when it is empty. The list is deleted
// only when no move failed: a copy that could not go back keeps the line that says where it
// belongs; so does a copy that is not trusted (a link, another account's file), which is never
// moved. Returns the error of reading the list (nothing is moved),
// kErrorFileNotFound when there is no list, otherwise 0 (failed moves are counted, not returned).
[[nodiscard]] ErrorCode RestoreShortcuts(IFileSystem& files, std::wstring_view listPath,
                                         SHORTCUT_RESTORE* result);

}  // namespace qv
