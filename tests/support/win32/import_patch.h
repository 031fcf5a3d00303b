// Makes a loaded module call a function of the test in place of one it imports, by writing the
// test's function into the module's import address table. Wine cannot be told some answers of
// the system a GUI test needs: the pseudo-locale as the display language
// (GetUserDefaultUILanguage), a contrast theme that is on (SPI_GETHIGHCONTRAST, which Wine 8
// always answers "off"). The module's own code runs unchanged; only the system's answer is the
// test's. Windows build only.
#pragma once

#include <windows.h>

#include <cstring>

namespace qv::test {

// Replaces the module's import of `function` from `library` (any case) with `replacement`.
// Returns what the module called before, or null when it does not import the function so.
inline void* PatchImport(HMODULE module, const char* library, const char* function,
                         void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), library) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function),
                          PAGE_READWRITE, &protection)) {
        return nullptr;
      }
      void* before = reinterpret_cast<void*>(addresses->u1.Function);
      addresses->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&addresses->u1.Function, sizeof(addresses->u1.Function), protection,
                     &protection);
      return before;
    }
  }
  return nullptr;
}

}  // namespace qv::test
