// Moving the shortcuts of a repair back from its shortcut folder, as its list file records them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/language.h"
#include "platform/file_system.h"

namespace qv {

// A line of the list that the restore did not use, and why (one of the kShortcutLine* texts).
struct SHORTCUT_LINE_LEFT {
  std::wstring line;
  UI_TEXT reason;
};

struct SHORTCUT_RESTORE {
  std::size_t moved = 0;    // lines whose copy went back to where it was
  std::size_t alreadyBack = 0;  // lines whose copy is gone and whose shortcut is in its place
  std::size_t failed = 0;   // lines whose move failed (the copy stays in the folder)
  std::size_t untrusted = 0;  // lines whose copy is a link or another account's file: left alone
  std::vector<SHORTCUT_LINE_LEFT> leftAlone;  // lines not used, in the list's order
  bool listDeleted = false;
  bool folderRemoved = false;
};

// Reads the list (8-bit in the code page, or UTF-16LE with a byte-order mark once a path needed
// it) when it is trusted (ReadTrustedFile: otherwise its trust error, and nothing is moved) and
// moves back only what a repair moved: a line is used when it holds exactly two
// comma-separated paths, the second (the moved copy) lies directly in this list's own shortcut
// folder (the list's path up to its last "."), both names end in ".lnk" (any case), the first is
// a plain full path (IsPlainDrivePath), and no folder from the drive down to the first's folder
// is a reparse point (a junction or symbolic link). Any other line is left alone, listed in
// leftAlone with its reason, and keeps the list. A copy that is not trusted (a link, another
// account's file) is never moved: it is counted in `untrusted` and keeps the list too. A used
// line's copy is moved back through open handles (IFileSystem::MoveByHandle), so a folder that
// becomes a link meanwhile is not passed through either. A line whose copy is no longer in the
// folder while a file is at its path again (moved back by an earlier restore that could not
// finish) is done already, not a failure, so a restore tried again never fails on what came back
// the first time. Then the folder is removed when it is empty. The list is deleted only when no
// move failed, no line was left alone and no copy was untrusted: a copy that could not go back
// keeps the line that says where it belongs. Returns the error of reading the list (nothing is
// moved), kErrorFileNotFound when there is no list, otherwise 0 (failed moves, untrusted copies
// and lines left alone are counted, not returned).
[[nodiscard]] ErrorCode RestoreShortcuts(IFileSystem& files, std::wstring_view listPath,
                                         SHORTCUT_RESTORE* result);

}  // namespace qv
