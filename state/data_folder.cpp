#include "state/data_folder.h"

#include "base/text.h"
#include "state/state_texts.h"
#include "state/time_format.h"
#include "state/trusted_files.h"

namespace qv {
namespace {

// Whether the folder at the path can be used: 0 when it is there and trusted.
ErrorCode CheckLevel(IFileSystem& files, const std::wstring& path) {
  CPathInfo info;
  const ErrorCode rc = files.QueryPathInfo(path, &info);
  if (rc != kErrorSuccess) return rc;
  const ErrorCode trust = TrustOf(info);
  if (trust != kErrorSuccess) return trust;
  return info.directory ? kErrorSuccess : kErrorDirectory;
}

bool Missing(ErrorCode rc) { return rc == kErrorFileNotFound || rc == kErrorPathNotFound; }

// Makes one protected level (an elevated process only). 0 when it is there and trusted after.
ErrorCode MakeLevel(IFileSystem& files, const std::wstring& path) {
  if (!files.IsElevated()) return kErrorAccessDenied;
  const ErrorCode rc = files.MakeProtectedDirectory(path);
  // Someone else may have made it between the look and the creation: it is judged as found.
  if (rc == kErrorAlreadyExists || rc == kErrorFileExists) return CheckLevel(files, path);
  return rc;
}

// Appends one level to the path and creates it when missing. Returns 0 when it exists afterwards
// and is trusted.
ErrorCode AddLevel(IFileSystem& files, std::wstring* path, std::wstring_view level) {
  if (!path->empty()) path->push_back(L'\\');
  *path += level;
  const ErrorCode found = CheckLevel(files, *path);
  if (!Missing(found)) return found;
  return MakeLevel(files, *path);
}

}  // namespace

std::wstring_view StripTrailingBackslashes(std::wstring_view path) {
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

std::wstring ProgramFolder(IShell& shell) {
  const std::wstring module = shell.ModuleFileName();
  const std::size_t slash = module.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return std::wstring(StripTrailingBackslashes(std::wstring_view(module).substr(0, slash)));
}

std::wstring ProductDataFolder(IShell& shell, IFileSystem& files, std::wstring_view subfolder,
                               ErrorCode* createError) {
  subfolder = StripTrailingBackslashes(subfolder);
  std::wstring common;
  const bool haveCommon =
      shell.GetFolderPath(kCommonAppDataCreate, &common) == kErrorSuccess && !common.empty();

  std::wstring path;
  std::wstring_view levels[2];
  std::size_t levelCount = 0;
  if (haveCommon) {
    path = StripTrailingBackslashes(common);
    levels[levelCount++] = kProductName;
  } else {
    path = ProgramFolder(shell);
  }
  if (!subfolder.empty()) levels[levelCount++] = subfolder;

  ErrorCode firstError = kErrorSuccess;
  for (std::size_t i = 0; i < levelCount; ++i) {
    if (firstError != kErrorSuccess) {
      // Creation stopped: the rest of the path is named but not made.
      path.push_back(L'\\');
      path += levels[i];
      continue;
    }
    firstError = AddLevel(files, &path, levels[i]);
  }
  if (createError != nullptr) *createError = firstError;
  return std::wstring(StripTrailingBackslashes(path));
}

std::wstring ProductDataFolderPath(IShell& shell, std::wstring_view subfolder) {
  subfolder = StripTrailingBackslashes(subfolder);
  std::wstring common;
  std::wstring path;
  if (shell.GetFolderPath(kCsidlCommonAppData, &common) == kErrorSuccess && !common.empty()) {
    path = StripTrailingBackslashes(common);
    path.push_back(L'\\');
    path += kProductName;
  } else {
    path = ProgramFolder(shell);
  }
  if (!subfolder.empty()) {
    path.push_back(L'\\');
    path += subfolder;
  }
  return std::wstring(StripTrailingBackslashes(path));
}

}  // namespace qv

namespace qv {
namespace {

// Renames the folder aside under a name that says why and when. 0 and *movedTo, or the error.
ErrorCode MoveAside(IFileSystem& files, IClock& clock, const std::wstring& folder,
                    std::wstring* movedTo) {
  const std::wstring stamped =
      folder + FormatTime(kMovedAsideSuffixFormat, clock.ToLocalTime(clock.Now()));
  ErrorCode rc = kErrorAlreadyExists;
  constexpr int kNumbers = 100;
  for (int number = 1; number <= kNumbers; ++number) {
    const std::wstring candidate =
        number == 1 ? stamped : stamped + L"_" + std::to_wstring(number);
    rc = files.RenameNoFollow(folder, candidate);
    if (rc == kErrorSuccess) {
      *movedTo = candidate;
      return rc;
    }
    if (rc != kErrorAlreadyExists && rc != kErrorFileExists) return rc;
  }
  return rc;
}

class CFolderGuard {
 public:
  CFolderGuard(IFileSystem& files, IClock& clock) : m_files(files), m_clock(clock) {
    m_elevated = files.IsElevated();
  }

  // Checks one folder; `make` makes a missing (or moved) one. Returns whether it can be used.
  bool Check(const std::wstring& folder, bool make) {
    CPathInfo info;
    const ErrorCode asked = m_files.QueryPathInfo(folder, &info);
    if (Missing(asked)) return make && Make(folder);
    // An ordinary user may not even look into the protected folders: nothing to tell then.
    if (asked == kErrorAccessDenied && !m_elevated) return false;
    ErrorCode trust = asked != kErrorSuccess ? asked : TrustOf(info);
    if (trust == kErrorSuccess && !info.directory) trust = kErrorDirectory;
    if (trust == kErrorSuccess) {
      if (!info.adminsOnly && m_elevated) Protect(folder);
      return true;
    }
    FOLDER_NOTICE notice;
    notice.folder = folder;
    notice.trust = trust;
    notice.elevated = m_elevated;
    bool usable = false;
    if (m_elevated) {
      notice.moveError = MoveAside(m_files, m_clock, folder, &notice.movedTo);
      usable = notice.moveError == kErrorSuccess && (!make || Make(folder));
    }
    m_check.untrusted.push_back(std::move(notice));
    return usable;
  }

  DATA_FOLDER_CHECK Result() { return std::move(m_check); }
  [[nodiscard]] bool Elevated() const { return m_elevated; }

 private:
  bool Make(const std::wstring& folder) {
    if (!m_elevated) return false;
    const ErrorCode rc = m_files.MakeProtectedDirectory(folder);
    if (rc == kErrorSuccess) return true;
    m_check.unprotected.emplace_back(folder, rc);
    return false;
  }
  void Protect(const std::wstring& folder) {
    const ErrorCode rc = m_files.ProtectDirectory(folder);
    if (rc != kErrorSuccess) m_check.unprotected.emplace_back(folder, rc);
  }

  IFileSystem& m_files;
  IClock& m_clock;
  bool m_elevated = false;
  DATA_FOLDER_CHECK m_check;
};

}  // namespace

DATA_FOLDER_CHECK SecureDataFolders(IShell& shell, IFileSystem& files, IClock& clock) {
  CFolderGuard guard(files, clock);
  std::wstring common;
  const bool haveCommon =
      shell.GetFolderPath(kCommonAppDataCreate, &common) == kErrorSuccess && !common.empty();
  std::wstring base;
  if (haveCommon) {
    base = std::wstring(StripTrailingBackslashes(common)) + L"\\" + kProductName;
    if (!guard.Check(base, true)) return guard.Result();
  } else {
    // The program's own folder stands in: it is not ours to move, only what we make in it.
    base = ProgramFolder(shell);
  }
  for (const wchar_t* subfolder : {kBackupSubfolder, kLogSubfolder}) {
    const std::wstring folder = base + L"\\" + subfolder;
    if (!guard.Check(folder, true) || subfolder != kBackupSubfolder) continue;
    std::vector<CFindData> entries;
    if (files.FindFiles(folder + L"\\" + kShortcutFolderPattern, &entries) != kErrorSuccess) {
      continue;
    }
    for (const CFindData& entry : entries) {
      // The shortcut folders (a link to one lists as a folder too); the lists and backups there
      // are files, judged when they are read.
      if (entry.directory) static_cast<void>(guard.Check(folder + L"\\" + entry.name, false));
    }
  }
  return guard.Result();
}

std::wstring FolderNoticeText(const FOLDER_NOTICE& notice, WORDING wording) {
  const std::wstring reason = UntrustedReasonText(notice.trust, wording);
  if (!notice.movedTo.empty()) {
    return TrFormat(kFolderMovedAsideFormat, {notice.folder, reason, notice.movedTo}, wording);
  }
  if (notice.elevated) {
    return TrFormat(kFolderNotMovedFormat, {notice.folder, reason, DecimalText(notice.moveError)},
                    wording);
  }
  return TrFormat(kFolderLeftAloneFormat, {notice.folder, reason}, wording);
}

std::vector<std::wstring> DataFolderCheckTexts(const DATA_FOLDER_CHECK& check, WORDING wording) {
  std::vector<std::wstring> texts;
  for (const FOLDER_NOTICE& notice : check.untrusted) {
    texts.push_back(FolderNoticeText(notice, wording));
  }
  for (const auto& [folder, error] : check.unprotected) {
    texts.push_back(TrFormat(kFolderNotProtectedFormat, {folder, DecimalText(error)}, wording));
  }
  return texts;
}

}  // namespace qv
