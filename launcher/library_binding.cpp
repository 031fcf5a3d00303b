#include "launcher/library_binding.h"

#include <utility>

#include "launcher/launcher_texts.h"

namespace qv {

CLibraryBinding::CLibraryBinding(ILibraryLoader& loader, std::wstring path)
    : m_loader(loader), m_path(std::move(path)) {}

std::optional<std::int32_t> CLibraryBinding::Call(const char* exportName) {
  if (m_module == nullptr) {
    if (m_path.empty() || !m_loader.FileExists(m_path)) return std::nullopt;
    m_module = m_loader.Load(m_path);
    if (m_module == nullptr) return std::nullopt;
  }
  const ILibraryLoader::ExportFunction function = m_loader.FindExport(m_module, exportName);
  if (function == nullptr) return std::nullopt;
  const std::int32_t result = function();
  if (result == kExportClosedNormally) m_loader.Free(std::exchange(m_module, nullptr));
  return result;
}

}  // namespace qv
