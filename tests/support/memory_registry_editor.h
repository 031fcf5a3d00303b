// A registry editor for native tests: applies a .reg file to a CMemoryRegistry the way the system
// editor does, read with the repair reader (repair/reg_file_reader.h), and can be told to do
// nothing or to hang so that the callers' failure paths run.
//
//   CMemoryPlatform machine;
//   test::CMemoryRegistryEditor editor(machine.registry(), machine.files());
//   editor.behaviour = test::EditorBehaviour::kHang;   // Merge and Export time out
//
// Applying (kApply): a file the editor would reject (unreadable, no header) changes nothing; a key
// section creates its key and every level above it, then sets its value lines ("name"=- deletes
// the value; a rejected line is skipped); a [-key] section deletes the key's tree (never a root).
// String data is stored as the editor stores it: a quoted string with a terminating NUL, a byte
// list of a string type in the Unicode form with a NUL added when it has none, and one in an 8-bit
// file as the 8-bit text its bytes spell. An export writes a file in the editor's Unicode form
// holding its header only. Header-only; the test links qv_repair.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "platform/memory/memory_registry.h"
#include "platform/registry_editor.h"
#include "repair/backup_texts.h"
#include "repair/reg_file_reader.h"

namespace qv::test {

enum class EditorBehaviour {
  kApply,    // merges and exports, then ends
  kNothing,  // ends at once having done nothing (as Wine's editor does with a switch it rejects)
  kHang,     // does not end within any time limit: kErrorTimeout, nothing done
};

struct EDITOR_CALL {
  bool merge = false;  // Merge, otherwise Export
  std::wstring file;
  std::uint32_t timeoutMs = 0;
};

class CMemoryRegistryEditor final : public IRegistryEditor {
 public:
  // Both must outlive the editor.
  CMemoryRegistryEditor(CMemoryRegistry& registry, IFileSystem& files)
      : m_registry(registry), m_files(files) {}

  ErrorCode Merge(std::wstring_view regFile, std::uint32_t timeoutMs) override {
    const ErrorCode rc = Start(true, regFile, timeoutMs);
    if (rc != kErrorSuccess || behaviour != EditorBehaviour::kApply) return rc;
    std::vector<REG_FILE_SECTION> sections;
    if (ReadRegFile(m_files, regFile, &sections) != kErrorSuccess) return kErrorSuccess;
    for (const REG_FILE_SECTION& section : sections) Apply(section);
    return kErrorSuccess;
  }

  ErrorCode Export(std::wstring_view regFile, std::uint32_t timeoutMs) override {
    const ErrorCode rc = Start(false, regFile, timeoutMs);
    if (rc != kErrorSuccess || behaviour != EditorBehaviour::kApply) return rc;
    std::unique_ptr<IFile> file;
    if (m_files.OpenFile(regFile, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite,
                         &file) != kErrorSuccess) {
      return kErrorSuccess;  // the editor says nothing about a file it could not write
    }
    std::string bytes = "\xFF\xFE";
    for (const std::uint8_t b : ToUtf16LeBytes(std::wstring(kRegHeaderVersion5) + L"\r\n", false)) {
      bytes.push_back(static_cast<char>(b));
    }
    static_cast<void>(file->Write(bytes.data(), bytes.size()));
    return kErrorSuccess;
  }

  EditorBehaviour behaviour = EditorBehaviour::kApply;
  ErrorCode startError = kErrorSuccess;  // not 0: the editor cannot be started (nothing done)
  std::vector<EDITOR_CALL> calls;        // every Merge and Export, in order

 private:
  ErrorCode Start(bool merge, std::wstring_view regFile, std::uint32_t timeoutMs) {
    calls.push_back(EDITOR_CALL{merge, std::wstring(regFile), timeoutMs});
    if (startError != kErrorSuccess) return startError;
    return behaviour == EditorBehaviour::kHang ? kErrorTimeout : kErrorSuccess;
  }

  void Apply(const REG_FILE_SECTION& section) {
    RegHandle root = kNullRegHandle;
    std::wstring_view subkey;
    if (!CMemoryRegistry::SplitKeyPath(section.key, &root, &subkey)) return;
    if (section.deletion) {
      // The editor removes the whole tree; the test convenience does the same in memory.
      if (subkey.empty()) return;
      try {
        m_registry.RemovePath(section.key);
      } catch (const std::invalid_argument&) {
        // A tree the editor may not remove stays, as it would.
      }
      return;
    }
    CRegKey key(m_registry);
    if (key.Create(root, subkey, kKeyAllAccess) != kErrorSuccess) return;
    for (const REG_FILE_VALUE& value : section.values) {
      if (value.action == RegValueAction::kDelete) {
        static_cast<void>(m_registry.DeleteValue(key.get(), value.name));
      } else if (value.action == RegValueAction::kSet) {
        const std::vector<std::uint8_t> data = Stored(value);
        static_cast<void>(m_registry.SetValue(key.get(), value.name, value.type, data.data(),
                                              static_cast<std::uint32_t>(data.size())));
      }
    }
  }

  std::vector<std::uint8_t> Stored(const REG_FILE_VALUE& value) {
    switch (value.match) {
      case RegDataMatch::kString:
        return ToUtf16LeBytes(FromUtf16LeBytes(value.data.data(), value.data.size()), true);
      case RegDataMatch::kStringBytes: {
        std::vector<std::uint8_t> data(value.data.begin(),
                                       value.data.begin() + (value.data.size() & ~std::size_t{1}));
        if (data.size() >= 2 && (data[data.size() - 2] != 0 || data.back() != 0)) {
          data.insert(data.end(), {0, 0});
        }
        return data;
      }
      case RegDataMatch::kTypeOnly: {
        std::wstring text;
        const std::string bytes(value.data.begin(), value.data.end());
        static_cast<void>(m_files.FromCodePage(bytes, &text));
        return ToUtf16LeBytes(text, true);
      }
      case RegDataMatch::kExact:
        break;
    }
    return value.data;
  }

  CMemoryRegistry& m_registry;
  IFileSystem& m_files;
};

}  // namespace qv::test
