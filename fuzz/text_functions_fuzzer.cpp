// Key-path parsing and the path-reference functions must accept any text: no crash, no read out
// of bounds, and the length limits they promise hold. The input bytes are UTF-16LE code units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/key_naming.h"
#include "engine/path_references.h"
#include "engine/reference_reading.h"
#include "base/text_case.h"
#include "platform/memory/memory_platform.h"
#include "base/utf16.h"

namespace {

using namespace qv;

struct CFuzzMachine {
  CMemoryPlatform memory;
  CFolderTable folders;
  CContainerFolders containers;
  CPathView view32;  // the 32-bit registry view's paths

  CFuzzMachine() {
    memory.Make64Bit();
    memory.files().AddFile(L"C:\\App\\present.exe");
    memory.files().AddFile(L"C:\\Windows\\system32\\x.dll");
    memory.files().AddFolder(L"C:\\Data");
    memory.shell().SetEnvironment(L"QV_APP", L"C:\\App");
    memory.shell().SetEnvironment(L"QV_LONG", std::wstring(1100, L'l'));
    memory.shell().SetEnvironment(L"QV_SELF", L"%QV_SELF%");
    folders = CFolderTable::Resolve(memory.shell());
    containers = CContainerFolders::Resolve(memory.shell(), folders);
    view32 = CPathView::Resolve32Bit(memory.shell(), folders);
  }
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static CFuzzMachine machine;
  const CPlatform platform = machine.memory.platform();
  const std::wstring text = FromUtf16LeBytes(data, size);

  const PARSED_KEY_PATH parsed = ParseRootKey(text);
  Check(parsed.subkeyOffset <= text.size());
  Check(parsed.root == kNullRegHandle || !RootKeyName(parsed.root).empty());
  Check(parsed.root != kNullRegHandle || parsed.subkeyOffset == 0);
  static_cast<void>(SubkeyPath(text, parsed));
  static_cast<void>(AbbreviateRootNames(text));

  Check(ToUpper(text).size() == text.size());
  Check(ToLower(text).size() == text.size());

  static_cast<void>(ExpandPlaceholders(text, machine.folders));
  Check(Utf16Length(ExtractCommandPath(text)) <= kMaxPathChars);
  Check(Utf16Length(CleanPath(text, platform.shell)) < kCleanPathExpandChars);
  static_cast<void>(PathTokenExists(text, platform));
  // The same in the 32-bit view, whose paths resolve as a 32-bit program opens them (a mapped
  // folder may be a few characters longer than the one written).
  Check(Utf16Length(CleanPath(text, platform.shell, &machine.view32)) < kCleanPathExpandChars + 16);
  static_cast<void>(PathTokenExists(text, platform, nullptr, &machine.view32));
  // A reference judged missing names each missing path, found in the text again in its own case,
  // and what is said of each path's folders is said of folders on its way; in both views.
  const CPathView* const views[] = {nullptr, &machine.view32};
  for (const CPathView* view : views) {
    const CFolderTable& folders = view != nullptr ? view->Folders() : machine.folders;
    // Every path a reading gives is a local drive path a program could open.
    const REFERENCE_JUDGEMENT judged =
        JudgeReference(text, folders, platform, nullptr, nullptr, view);
    for (const std::wstring& path : judged.reading.paths) {
      Check(StartsWithDrivePath(path) && Utf16Length(path) + 1 < kMaxPathChars);
    }
    std::vector<std::wstring> missing;
    if (IsValidReference(text, folders, platform, nullptr, &missing, view)) continue;
    Check(!missing.empty());
    for (const std::wstring& path : missing) {
      const std::wstring readable = ReadablePath(path, text, folders, view);
      Check(EqualsNoCase(readable, path));
      for (const MISSING_PATH& where :
           {LocateMissingPath(readable, platform.files, nullptr),
            JudgeMissingPath(readable, machine.folders.Path(FOLDER_WINDOWS), machine.containers,
                             platform.files, nullptr)}) {
        Check(EqualsNoCase(readable.substr(0, where.folder.size()), where.folder));
      }
    }
  }
  return 0;
}
