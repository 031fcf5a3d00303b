// Merging a .reg file with the system registry editor and exporting the registry through it,
// with the proof of each read back afterwards: the editor's exit status says nothing.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/errors.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/registry_editor.h"
#include "repair/merge_check.h"

namespace qv {

// How long the editor may take before the caller stops waiting (it is left running).
//
// Merge: 10 minutes. A repair's backup holds what one repair removed, thousands of keys at the
// most; Wine's editor merges about 5,600 keys a second (Windows' is faster), so ten minutes is
// room for over three million keys, a whole-registry restore included. Only an editor that makes
// no progress (waiting on a dialog that no one sees, say) reaches it.
inline constexpr std::uint32_t kRegistryMergeTimeoutMs = 10u * 60u * 1000u;
// Export: 30 minutes. The whole registry is written: about 3,800 keys a second under Wine
// (101,010 keys in 26 s, 66 MB), so half an hour is room for some 6.8 million keys, several times
// a large desktop's registry, on a slow disk too.
inline constexpr std::uint32_t kRegistryExportTimeoutMs = 30u * 60u * 1000u;

// Reads the file (its error is returned and the editor is not started), has the editor merge it
// and wait up to timeoutMs (its error, kErrorTimeout included, is returned), then confirms the
// merge with ConfirmMerge: 0, or kErrorCantWrite with *mismatch (may be null) naming the first
// key or value that is not as the file leaves it. kErrorInvalidData for a file the editor would
// reject outright (no header). A file of no section (a header and comments only) has nothing to
// merge: 0 without starting the editor, and *nothingToMerge (may be null) is set.
[[nodiscard]] ErrorCode MergeRegistryFile(IRegistryEditor& editor, IRegistry& registry,
                                          IFileSystem& files, std::wstring_view regFile,
                                          std::uint32_t timeoutMs = kRegistryMergeTimeoutMs,
                                          MERGE_MISMATCH* mismatch = nullptr,
                                          bool* nothingToMerge = nullptr);

// Removes a file already at the path first, so that an older file cannot pass for the export
// (its error, other than kErrorFileNotFound, is returned and the editor is not started); has the
// editor export the whole registry into it and wait up to timeoutMs (its error, kErrorTimeout
// included, is returned). 0 once the editor has ended and the file exists; kErrorFileNotFound
// when it wrote none.
[[nodiscard]] ErrorCode ExportRegistryFile(IRegistryEditor& editor, IFileSystem& files,
                                           std::wstring_view regFile,
                                           std::uint32_t timeoutMs = kRegistryExportTimeoutMs);

}  // namespace qv
