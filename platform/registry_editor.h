// The system registry editor as a peer: it merges our backup files and exports the registry.
#pragma once

#include <string_view>

#include "base/errors.h"

namespace qv {

class IRegistryEditor {
 public:
  virtual ~IRegistryEditor() = default;
  // Merges a .reg file silently ("regedit.exe /S /i \"file\"" on Windows) and waits for it.
  // Returns 0 once the merge is confirmed, otherwise a failure code.
  [[nodiscard]] virtual ErrorCode MergeFile(std::wstring_view regFile) = 0;
  // Exports the whole registry ("regedit.exe /e \"file\"") and waits for it.
  [[nodiscard]] virtual ErrorCode ExportRegistry(std::wstring_view regFile) = 0;
};

}  // namespace qv
