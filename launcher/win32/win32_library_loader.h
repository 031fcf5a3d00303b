// The library binding's loader on the real system: GetFileAttributesW, LoadLibraryW,
// GetProcAddress and FreeLibrary.
#pragma once

#include "launcher/library_binding.h"

namespace qv {

class CWin32LibraryLoader final : public ILibraryLoader {
 public:
  [[nodiscard]] bool FileExists(std::wstring_view path) override;
  [[nodiscard]] Module Load(std::wstring_view path) override;
  [[nodiscard]] ExportFunction FindExport(Module module, const char* name) override;
  void Free(Module module) override;
};

}  // namespace qv
