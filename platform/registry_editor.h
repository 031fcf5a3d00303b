// The system registry editor as a peer process: started with a file to merge or to export into,
// and waited for up to a time limit. What a merge or an export achieved is not the editor's to
// say (its exit status means nothing); repair/registry_merge.h reads the result back.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/errors.h"

namespace qv {

class IRegistryEditor {
 public:
  virtual ~IRegistryEditor() = default;
  // Merges the file silently ("regedit.exe /S /i \"file\"" on Windows; under Wine, whose editor
  // knows no /i, "/s \"file\"") and waits up to timeoutMs for the editor to end. 0 once it has
  // ended (its exit status says nothing); kErrorTimeout (1460) when it did not end in time (it is
  // left running); the shell's error when it cannot be started.
  [[nodiscard]] virtual ErrorCode Merge(std::wstring_view regFile, std::uint32_t timeoutMs) = 0;
  // Exports the whole registry ("regedit.exe /e \"file\"") and waits the same way.
  [[nodiscard]] virtual ErrorCode Export(std::wstring_view regFile, std::uint32_t timeoutMs) = 0;
};

}  // namespace qv
