// One table of path-reference cases that runs twice with the same expectations: natively on the
// in-memory platform (tests/unit/engine) and under Wine on real files of the throwaway prefix's
// C: drive (tests/wine/engine). Each fixture resolves the engine's folder table from its own
// platform, sets the environment variables of PathCaseEnvironment its own way, creates the files
// with CreatePathCaseFiles, and calls RunPathReferenceCases.
//
// Case texts name folders by markers that are replaced before use:
//   <root>     the scratch folder C:\QvPathCases
//   <windows>  <system>  <temp>  the engine's Windows, System and Temp folders
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/path_references.h"
#include "engine/reference_reading.h"
#include "platform/platform.h"

namespace qv::test {

inline constexpr std::wstring_view kPathCaseRoot = L"C:\\QvPathCases";

// Length of the long environment values (characters).
inline constexpr std::size_t kLongValueChars = 1100;  // does not fit CleanPath's 1,024
inline constexpr std::size_t kFittingValueChars = 1000;

enum class PATH_OPERATION {
  kExpandPlaceholders,
  kCleanPath,
  kIsValidReference,
  kPathTokenExists,
  kReadPath,  // the paths the reading finds, joined by "|" (none: not judged)
};

struct PATH_REFERENCE_CASE {
  PATH_OPERATION operation;
  std::wstring input;         // with markers
  std::wstring expectedText;  // with markers; for kExpandPlaceholders, kCleanPath, kReadPath
  bool expectedResult;        // for kIsValidReference and kPathTokenExists
};

// The text with every marker replaced by its folder.
[[nodiscard]] std::wstring SubstituteMarkers(std::wstring_view pattern, const CFolderTable& folders);

[[nodiscard]] std::vector<PATH_REFERENCE_CASE> PathReferenceCases();

// Environment variables the cases rely on, markers already replaced: (name, value).
[[nodiscard]] std::vector<std::pair<std::wstring, std::wstring>> PathCaseEnvironment(
    const CFolderTable& folders);

// Creates the folders and files the cases expect to exist, through the seam. Missing folder
// levels are created on the way. Returns 0 or the first failure.
[[nodiscard]] ErrorCode CreatePathCaseFiles(IFileSystem& files, const CFolderTable& folders);

// Runs every case with gtest expectations (one SCOPED_TRACE per case).
void RunPathReferenceCases(const CPlatform& platform, const CFolderTable& folders);

}  // namespace qv::test
