// The launcher's binding to its library: loaded on the first export call from one fixed path
// (and only when that file exists), exports looked up by name when they are called, unloaded
// after an export reports that the main window closed normally.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

// The system's module loader, as much of it as the binding needs. Module handles are opaque.
class ILibraryLoader {
 public:
  using Module = void*;
  using ExportFunction = std::int32_t (*)();

  virtual ~ILibraryLoader() = default;
  // Whether a file (not a folder) exists at path.
  [[nodiscard]] virtual bool FileExists(std::wstring_view path) = 0;
  // The loaded module, or nullptr when it cannot be loaded.
  [[nodiscard]] virtual Module Load(std::wstring_view path) = 0;
  // The export of that name, or nullptr when the module has none.
  [[nodiscard]] virtual ExportFunction FindExport(Module module, const char* name) = 0;
  virtual void Free(Module module) = 0;
};

class CLibraryBinding {
 public:
  // path: the library file; empty means there is no library to load.
  CLibraryBinding(ILibraryLoader& loader, std::wstring path);
  CLibraryBinding(const CLibraryBinding&) = delete;
  CLibraryBinding& operator=(const CLibraryBinding&) = delete;
  // A library still loaded here stays loaded until the process ends: an export that did not
  // report a normal close may have left threads of its own running in the library's code.
  ~CLibraryBinding() = default;

  // Loads the library when it is not loaded and its file exists, then calls the named export and
  // gives its result; nothing when the library is missing or cannot be loaded, or has no such
  // export (a missing export leaves the library loaded). A result of 1 unloads the library and
  // forgets its handle, so a later call loads it again; any other result leaves it loaded.
  [[nodiscard]] std::optional<std::int32_t> Call(const char* exportName);

  [[nodiscard]] bool loaded() const noexcept { return m_module != nullptr; }

 private:
  ILibraryLoader& m_loader;
  std::wstring m_path;
  ILibraryLoader::Module m_module = nullptr;
};

}  // namespace qv
