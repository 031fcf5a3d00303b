#include "tests/unit/engine/path_reference_cases.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

namespace {

using enum PATH_OPERATION;

PATH_REFERENCE_CASE Text(PATH_OPERATION operation, std::wstring input, std::wstring expected) {
  return {operation, std::move(input), std::move(expected), false};
}

PATH_REFERENCE_CASE Judge(PATH_OPERATION operation, std::wstring input, bool expected) {
  return {operation, std::move(input), L"", expected};
}

// "<root>\" followed by a name of `nameChars` characters: a path of 15 + nameChars characters.
std::wstring LongRootPath(std::size_t nameChars) {
  return L"<root>\\" + std::wstring(nameChars, L'a');
}

void ReplaceAll(std::wstring* text, std::wstring_view from, std::wstring_view to) {
  std::size_t position = 0;
  while ((position = text->find(from, position)) != std::wstring::npos) {
    text->replace(position, from.size(), to);
    position += to.size();
  }
}

const char* OperationName(PATH_OPERATION operation) {
  switch (operation) {
    case kExpandPlaceholders: return "ExpandPlaceholders";
    case kCleanPath: return "CleanPath";
    case kIsValidReference: return "IsValidReference";
    case kPathTokenExists: return "PathTokenExists";
    case kReadPath: return "ReadPathReference";
  }
  return "?";
}

}  // namespace

std::wstring SubstituteMarkers(std::wstring_view pattern, const CFolderTable& folders) {
  std::wstring text(pattern);
  ReplaceAll(&text, L"<root>", kPathCaseRoot);
  ReplaceAll(&text, L"<windows>", folders.Path(FOLDER_WINDOWS));
  ReplaceAll(&text, L"<system>", folders.Path(FOLDER_SYSTEM));
  ReplaceAll(&text, L"<temp>", folders.Path(FOLDER_TEMP));
  return text;
}

std::vector<PATH_REFERENCE_CASE> PathReferenceCases() {
  const std::wstring fitting(kFittingValueChars, L'f');
  std::vector<PATH_REFERENCE_CASE> cases = {
      // Placeholders match after the text is lower-cased; the folder keeps its own case.
      Text(kExpandPlaceholders, L"%Temp%\\x.tmp", L"<temp>\\x.tmp"),
      Text(kExpandPlaceholders, L"%SYSTEMROOT%\\Fonts\\Arial.TTF", L"<windows>\\fonts\\arial.ttf"),
      Text(kExpandPlaceholders, L"%system%\\X.DLL;%windir%", L"<system>\\x.dll;<windows>"),
      Text(kExpandPlaceholders, L"C:\\Plain\\Path.EXE", L"c:\\plain\\path.exe"),

      // Quotes and arguments go; the text ends after the earliest program extension.
      Text(kCleanPath, L"\"C:\\Program Files\\App\\app.exe\" /min", L"C:\\Program Files\\App\\app.exe"),
      Text(kCleanPath, L"C:\\Program Files\\App\\app.exe /min", L"C:\\Program Files\\App\\app.exe"),
      Text(kCleanPath, L"C:\\Tools\\a.dll\\b.exe", L"C:\\Tools\\a.dll"),
      Text(kCleanPath, L"c:\\tools\\run.ocx.exe args", L"c:\\tools\\run.ocx"),
      Text(kCleanPath, L"c:\\x.exe.dll", L"c:\\x.exe"),
      Text(kCleanPath, L"c:\\x.exec /y", L"c:\\x.exe"),
      Text(kCleanPath, L"C:\\App\\APP.Exe", L"C:\\App\\APP.Exe"),
      Text(kCleanPath, L"\"\"c:\\a.exe\" x", L"c:\\a.exe"),
      Text(kCleanPath, L"\"c:\\dir\\file.txt\" more", L"c:\\dir\\file.txt"),
      Text(kCleanPath, L"c:\\noext args", L"c:\\noext args"),
      Text(kCleanPath, L"", L""),
      // Environment variables are expanded after the cut.
      Text(kCleanPath, L"%SystemRoot%\\system32\\x.ocx,1", L"<windows>\\system32\\x.ocx"),
      Text(kCleanPath, L"%QV_UNSET_VARIABLE%\\a.exe /x", L"%QV_UNSET_VARIABLE%\\a.exe"),
      Text(kCleanPath, L"%QV_FIT%\\a.exe /x", fitting + L"\\a.exe"),
      // An expansion beyond 1,024 characters leaves the text unexpanded.
      Text(kCleanPath, L"%QV_LONG%\\a.exe /x", L"%QV_LONG%\\a.exe"),
      // Only an extension wholly within the first 260 characters cuts.
      Text(kCleanPath, L"c:\\" + std::wstring(253, L'a') + L".exe args",
           L"c:\\" + std::wstring(253, L'a') + L".exe"),
      Text(kCleanPath, L"c:\\" + std::wstring(254, L'a') + L".exe args",
           L"c:\\" + std::wstring(254, L'a') + L".exe args"),

      // Existing and missing local paths, folders, any case.
      Judge(kPathTokenExists, L"<root>\\app\\present.exe", true),
      Judge(kPathTokenExists, L"<root>\\APP\\PRESENT.EXE", true),
      Judge(kPathTokenExists, L"<root>\\app\\caf\x00e9.exe", true),
      Judge(kPathTokenExists, L"<root>\\app\\missing.exe", false),
      Judge(kPathTokenExists, L"<root>\\data", true),
      Judge(kPathTokenExists, L"<root>\\data\\", true),
      Judge(kPathTokenExists, L"<root>\\gone\\\\ \\ ", false),
      Judge(kPathTokenExists, L" \t<root>\\app\\present.exe\t ", true),
      Judge(kPathTokenExists, L"\t<root>\\app\\missing.exe\r\n", false),
      Judge(kPathTokenExists, L"<root>\\app\\\\present.exe", true),
      Judge(kPathTokenExists, L"<root>\\\\app\\\\missing.exe", false),
      // Not judged: network and rooted paths, URLs, roots, wildcards and other odd characters,
      // relative paths, paths of 259 characters or more.
      Judge(kPathTokenExists, L"\\\\server\\share\\file.exe", true),
      Judge(kPathTokenExists, L"\\missing.exe", true),
      Judge(kPathTokenExists, L"file:///c:/x", true),
      Judge(kPathTokenExists, L"c:\\", true),
      Judge(kPathTokenExists, L"c:", true),
      Judge(kPathTokenExists, L"c:\\ \t", true),
      Judge(kPathTokenExists, L"c:\\missing*.exe", true),
      Judge(kPathTokenExists, L"c:\\a|b", true),
      Judge(kPathTokenExists, L"c:\\a<b", true),
      Judge(kPathTokenExists, L"c:\\a>b", true),
      Judge(kPathTokenExists, L"c:\\a?b", true),
      Judge(kPathTokenExists, L"c:/missing.exe", true),
      Judge(kPathTokenExists, L"", true),
      Judge(kPathTokenExists, L"   ", true),
      Judge(kPathTokenExists, L"missing.exe", true),
      Judge(kPathTokenExists, L"c:missing.exe", true),
      Judge(kPathTokenExists, L"app\\missing.exe", true),
      Judge(kPathTokenExists, L"0:\\missing.exe", true),
      // A hyphen and a "k" inside a name are part of the name.
      Judge(kPathTokenExists, L"<root>\\my-kit\\missing.exe", false),
      Judge(kPathTokenExists, LongRootPath(243), false),  // 258 characters: judged
      Judge(kPathTokenExists, LongRootPath(244), true),   // 259: its expansion fills 260
      Judge(kPathTokenExists, LongRootPath(245), true),   // 260
      Judge(kPathTokenExists, L"c:\\" + std::wstring(297, L'x'), true),
      // The length limit applies before the expansion; the expansion's limit after doubled
      // backslashes are made single.
      Judge(kPathTokenExists, L"%QV_SHORT_VALUE_BEHIND_A_LONG_NAME%\\" + std::wstring(224, L'a'), true),
      Judge(kPathTokenExists, L"<root>\\\\" + std::wstring(243, L'a'), false),
      // Environment variables: expanded, then judged.
      Judge(kPathTokenExists, L"%QV_APP%\\present.exe", true),
      Judge(kPathTokenExists, L"%QV_APP%\\missing.exe", false),
      Judge(kPathTokenExists, L"%QV_ODD%", true),
      Judge(kPathTokenExists, L"%QV_URL%", true),
      Judge(kPathTokenExists, L"%QV_LONG%", true),
      Judge(kPathTokenExists, L"%QV_UNSET_VARIABLE%\\x.exe", true),
      Judge(kPathTokenExists, L"c:\\%QV_UNSET_VARIABLE%\\x.exe", false),

      Judge(kIsValidReference, L"<root>\\app\\present.exe", true),
      Judge(kIsValidReference, L"<root>\\app\\missing.exe", false),
      Judge(kIsValidReference, L"<root>\\data", true),
      // A quoted path ends at its quote; fewer than four characters is not judged.
      Judge(kIsValidReference, L"\"<root>\\app\\missing.exe\" /arg", false),
      Judge(kIsValidReference, L"\"<root>\\app\\present.exe\" <root>\\app\\missing.exe", true),
      Judge(kIsValidReference, L"\"<root>\\app\\missing.exe\" <root>\\app\\present.exe", false),
      Judge(kIsValidReference, L"\"abc\" <root>\\app\\missing.exe", true),
      Judge(kIsValidReference, L"\"c:\\q\" <root>\\app\\present.exe", false),
      Judge(kIsValidReference, L"\"<root>\\app\\present.exe", true),
      Judge(kIsValidReference, L"\"<root>\\app\\missing.exe", false),
      Judge(kIsValidReference, L"\"\"", true),
      // Several paths: the reference is missing only when all of them are.
      Judge(kIsValidReference, L"<root>\\app\\missing.exe,c:\\", true),
      Judge(kIsValidReference, L"<root>\\app\\missing.exe;<root>\\app\\present.exe", true),
      Judge(kIsValidReference, L"<root>\\app\\missing.exe;<root>\\app\\missing2.exe", false),
      Judge(kIsValidReference, L"<root>\\gone\\a.dat, <root>\\data", true),
      Judge(kIsValidReference, L"<root>\\data;", true),
      Judge(kIsValidReference, L"<root>\\gone;", false),
      // A blank does not end a path that names nothing: the program name's end does.
      Judge(kIsValidReference, L"<root>\\app\\missing.exe <root>\\app\\present.exe", false),
      Judge(kIsValidReference, L"rundll32", true),
      // A folder named rundll is no rundll32.
      Judge(kIsValidReference, L"<root>\\rundll\\x <root>\\app\\present.exe", false),
      // Placeholders are expanded first.
      Judge(kIsValidReference, L"%temp%\\qvpresent.tmp", true),
      Judge(kIsValidReference, L"%TEMP%\\qvmissing.tmp", false),
      // Nothing path-like at all cannot be judged.
      Judge(kIsValidReference, L"", true),
      Judge(kIsValidReference, L"----", true),
  };
  // The forms installers write references in: each read for the path the program or the shell
  // opens, judged missing when that path is gone, and never when it is there. Each row: the
  // form with a missing path, the same form with an existing one, and the path the reading finds
  // in the missing form.
  const struct {
    const wchar_t* gone;
    const wchar_t* present;
    const wchar_t* path;
  } forms[] = {
      {L"<root>\\Gone\\app.exe -min", L"<root>\\app\\present.exe -min", L"<root>\\Gone\\app.exe"},
      {L"<root>\\Gone\\app.exe /autostart", L"<root>\\app\\present.exe /autostart",
       L"<root>\\Gone\\app.exe"},
      {L"<root>\\Gone-App\\app.exe", L"<root>\\My-App\\present.exe", L"<root>\\Gone-App\\app.exe"},
      {L"<root>\\Gone\\gone-helper.exe", L"<root>\\app\\present-helper.exe",
       L"<root>\\Gone\\gone-helper.exe"},
      {L"\"<root>\\Package Cache\\{c60fd5ac-1111-4d5e-8f00-000000000001}\\setup.exe\" /uninstall",
       L"\"<root>\\Package Cache\\{c60fd5ac-2222-4d5e-8f00-000000000002}\\setup.exe\" /uninstall",
       L"<root>\\Package Cache\\{c60fd5ac-1111-4d5e-8f00-000000000001}\\setup.exe"},
      {L"rundll32.exe <root>\\Gone\\x.dll,Entry", L"rundll32.exe <root>\\app\\present.dll,Entry",
       L"<root>\\Gone\\x.dll"},
      {L"<system>\\rundll32.exe \"<root>\\Gone App\\x.dll\",Entry 1",
       L"<system>\\rundll32.exe \"<root>\\Some App\\present.dll\",Entry 1", L"<root>\\Gone App\\x.dll"},
      {L"regsvr32 /s \"<root>\\Gone\\x.ocx\"", L"regsvr32 /s \"<root>\\app\\present.dll\"",
       L"<root>\\Gone\\x.ocx"},
      {L"wscript.exe //B \"<root>\\Gone\\start.vbs\"", L"wscript.exe //B \"<root>\\app\\start.vbs\"",
       L"<root>\\Gone\\start.vbs"},
      {L"<root>\\Gone\\app.exe,0", L"<root>\\app\\present.exe,0", L"<root>\\Gone\\app.exe"},
      {L"\"<root>\\Gone\\app.exe\",-101", L"\"<root>\\app\\present.exe\",-101",
       L"<root>\\Gone\\app.exe"},
      {L"@<root>\\Gone\\res.dll,-22067", L"@<root>\\app\\present.dll,-22067", L"<root>\\Gone\\res.dll"},
      {L"\"<root>\\Gone\\app.exe\" \"%1\"", L"\"<root>\\app\\present.exe\" \"%1\"",
       L"<root>\\Gone\\app.exe"},
      {L"<root>\\Gone App\\app.exe --background", L"<root>\\Some App\\present.exe --background",
       L"<root>\\Gone App\\app.exe"},
      {L"<root>\\Gone App\\app.exe <root>\\app\\present.exe",
       L"<root>\\Some App\\present.exe <root>\\Gone\\file.txt", L"<root>\\Gone App\\app.exe"},
      {L"<root>\\Gone App - Copy\\app.exe", L"<root>\\Some App\\present.exe",
       L"<root>\\Gone App - Copy\\app.exe"},
      // A folder that is the beginning of a longer name ends no path.
      {L"<root>\\Program Files (x86)\\Gone\\x.ini", L"<root>\\Program Files (x86)\\Kept\\x.ini",
       L"<root>\\Program Files (x86)\\Gone\\x.ini"},
      // A program name without its extension, as a command line finds it.
      {L"<root>\\Gone\\app -min", L"<root>\\app\\present -min", L"<root>\\Gone\\app"},
      {L"Folder:\"<root>\\Gone\"", L"Folder:\"<root>\\data\"", L"<root>\\Gone"},
      {L"<root>\\gone\\a.dll;<root>\\gone\\b.dll", L"<root>\\gone\\a.dll;<root>\\app\\present.dll",
       L"<root>\\gone\\a.dll|<root>\\gone\\b.dll"},
  };
  for (const auto& form : forms) {
    cases.push_back(Judge(kIsValidReference, form.gone, false));
    cases.push_back(Judge(kIsValidReference, form.present, true));
    cases.push_back(Text(kReadPath, form.gone, form.path));
  }
  // What is no local drive path is not judged: a bare or relative program name, a network path,
  // a URL, a DLL rundll32 finds on the search path.
  for (const wchar_t* notJudged : {
           L"MsiExec.exe /X{11111111-2222-3333-4444-555555555555}", L"notepad.exe %1",
           L"\\\\server\\share\\gone.exe /s", L"file:///c:/gone.exe", L"http://example.com/gone.exe",
           L"rundll32.exe shell32.dll,Control_RunDLL", L"regsvr32 /s gone.dll", L"app\\gone.exe"}) {
    cases.push_back(Judge(kIsValidReference, notJudged, true));
    cases.push_back(Text(kReadPath, notJudged, L""));
  }
  return cases;
}

std::vector<std::pair<std::wstring, std::wstring>> PathCaseEnvironment(const CFolderTable& folders) {
  return {
      {L"QV_APP", SubstituteMarkers(L"<root>\\app", folders)},
      {L"QV_ODD", L"c:\\dir?x"},
      {L"QV_URL", L"c:\\file:/x"},
      {L"QV_LONG", std::wstring(kLongValueChars, L'l')},
      {L"QV_FIT", std::wstring(kFittingValueChars, L'f')},
      {L"QV_SHORT_VALUE_BEHIND_A_LONG_NAME", L"c:"},
  };
}

ErrorCode CreatePathCaseFiles(IFileSystem& files, const CFolderTable& folders) {
  const std::wstring folderList[] = {L"<root>\\app",
                                     L"<root>\\data",
                                     L"<root>\\My-App",
                                     L"<root>\\rundll",
                                     L"<root>\\Some App",
                                     L"<root>\\Program Files",
                                     L"<root>\\Program Files (x86)\\Kept",
                                     L"<root>\\Package Cache\\{c60fd5ac-2222-4d5e-8f00-000000000002}",
                                     L"<temp>"};
  for (const std::wstring& pattern : folderList) {
    const std::wstring folder = SubstituteMarkers(pattern, folders);
    // Every level from the drive down; levels that exist already are fine.
    for (std::size_t end = folder.find(L'\\', 3);; end = folder.find(L'\\', end + 1)) {
      const std::wstring level = folder.substr(0, end);
      if (!files.IsDirectory(level)) {
        const ErrorCode rc = files.MakeDirectory(level);
        if (rc != kErrorSuccess && rc != kErrorAlreadyExists) return rc;
      }
      if (end == std::wstring::npos) break;
    }
  }
  const std::wstring fileList[] = {
      L"<root>\\app\\present.exe",
      L"<root>\\app\\present.dll",
      L"<root>\\app\\present-helper.exe",
      L"<root>\\app\\start.vbs",
      L"<root>\\app\\CAF\x00c9.EXE",
      L"<root>\\My-App\\present.exe",
      L"<root>\\Some App\\present.exe",
      L"<root>\\Some App\\present.dll",
      L"<root>\\Program Files (x86)\\Kept\\x.ini",
      L"<root>\\Package Cache\\{c60fd5ac-2222-4d5e-8f00-000000000002}\\setup.exe",
      L"<temp>\\qvpresent.tmp"};
  for (const std::wstring& pattern : fileList) {
    std::unique_ptr<IFile> file;
    const ErrorCode rc = files.OpenFile(SubstituteMarkers(pattern, folders),
                                        FileOpenMode::kCreateAlways, FileShareMode::kShareAll, &file);
    if (rc != kErrorSuccess) return rc;
  }
  return kErrorSuccess;
}

void RunPathReferenceCases(const CPlatform& platform, const CFolderTable& folders) {
  for (const PATH_REFERENCE_CASE& c : PathReferenceCases()) {
    const std::wstring input = SubstituteMarkers(c.input, folders);
    SCOPED_TRACE(testing::Message() << OperationName(c.operation) << "("
                                    << testing::PrintToString(input) << ")");
    switch (c.operation) {
      case kExpandPlaceholders:
        EXPECT_EQ(ExpandPlaceholders(input, folders), SubstituteMarkers(c.expectedText, folders));
        break;
      case kCleanPath:
        EXPECT_EQ(CleanPath(input, platform.shell), SubstituteMarkers(c.expectedText, folders));
        break;
      case kIsValidReference:
        EXPECT_EQ(IsValidReference(input, folders, platform), c.expectedResult);
        break;
      case kPathTokenExists:
        EXPECT_EQ(PathTokenExists(input, platform), c.expectedResult);
        break;
      case kReadPath: {
        std::wstring paths;
        const REFERENCE_JUDGEMENT judged =
            JudgeReference(input, folders, platform, nullptr, nullptr, nullptr);
        for (const std::wstring& path : judged.reading.paths) {
          paths += (paths.empty() ? L"" : L"|") + path;
        }
        EXPECT_EQ(paths, SubstituteMarkers(c.expectedText, folders));
        break;
      }
    }
  }
}

}  // namespace qv::test
