// The system registry editor ("regedit.exe" of the Windows folder, by its full path) started
// through the shell and waited for with a time limit. It only starts and waits: reading the file
// and confirming what a merge left behind are repair/registry_merge.h's.
//
// Wine's editor knows no /i switch (it prints an error and imports nothing); under Wine the merge
// is started with "/s \"file\"" instead of "/S /i \"file\"".
#pragma once

#include <cstdint>
#include <string_view>

#include "base/errors.h"
#include "platform/registry_editor.h"

namespace qv {

// The program's file name in the Windows folder and its parameters (each "%s" is the file path).
inline constexpr wchar_t kRegistryEditorProgram[] = L"regedit.exe";
inline constexpr wchar_t kRegistryEditorMergeParameters[] = L"/S /i \"%s\"";
inline constexpr wchar_t kRegistryEditorMergeParametersWine[] = L"/s \"%s\"";
inline constexpr wchar_t kRegistryEditorExportParameters[] = L"/e \"%s\"";

class CWin32RegistryEditor final : public IRegistryEditor {
 public:
  [[nodiscard]] ErrorCode Merge(std::wstring_view regFile, std::uint32_t timeoutMs) override;
  [[nodiscard]] ErrorCode Export(std::wstring_view regFile, std::uint32_t timeoutMs) override;
};

}  // namespace qv
