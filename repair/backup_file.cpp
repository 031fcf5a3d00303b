#include "repair/backup_file.h"

#include <utility>
#include <vector>

#include "engine/key_naming.h"
#include "base/text.h"
#include "base/text_case.h"
#include "base/text_writer.h"
#include "base/utf16.h"
#include "repair/backup_format.h"
#include "repair/backup_texts.h"
#include "repair/key_delete.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "state/time_format.h"
#include "state/trusted_files.h"

namespace qv {

namespace {

constexpr wchar_t kByteOrderMark[] = L"\uFEFF";

// First buffer sizes of the registry walk. Windows limits value names to 16,383 characters and
// key names to 255, but Wine takes longer ones: name buffers double on kErrorMoreData up to the
// longest name a registry call can carry, data buffers grow to what a value needs.
constexpr std::uint32_t kValueNameChars = 16384;
constexpr std::uint32_t kKeyNameChars = 1024;
constexpr std::uint32_t kLongestNameChars = 1u << 20;
constexpr std::size_t kInitialDataBytes = 4096;
// A value that keeps growing while it is read is given up after this many attempts.
constexpr int kReadAttempts = 8;
constexpr std::uint32_t kBackupKeyAccess = kKeyQueryValue | kKeyEnumerateSubKeys;

std::wstring FullKeyName(std::wstring_view rootName, std::wstring_view path) {
  std::wstring full(rootName);
  if (!path.empty()) {
    full += L'\\';
    full += path;
  }
  return full;
}

void KeepFirst(ErrorCode* first, ErrorCode rc) {
  if (*first == kErrorSuccess) *first = rc;
}

// The registry walk of BackupKey, with its buffers shared by every level. Every key is opened
// no-follow and a link is never descended into: its subtree is not written and the walk's result
// is kErrorReparsePointEncountered. An enumeration ends at its first failure other than a buffer
// too small (a key deleted meanwhile fails at every index), and the failure is the result.
class CKeyWalker {
 public:
  CKeyWalker(IRegistry& registry, CBackupFile& file)
      : m_registry(registry), m_file(file), m_name(kValueNameChars + 1, L'\0') {}

  // Writes the section of (parent, path) named `fullName` and then those of its subkeys.
  // Returns the open's error when the key cannot be opened; other failures go to m_firstError.
  // `depth`: levels below the key the backup began with; no key deeper than kMaxRegistryDepth is
  // written, and the result is then kErrorStackOverflow.
  ErrorCode Walk(RegHandle parent, std::wstring_view path, const std::wstring& fullName,
                 int depth = 0) {
    CRegKey key(m_registry);
    const ErrorCode opened = key.OpenNoFollow(parent, path, kBackupKeyAccess);
    if (opened != kErrorSuccess) return opened;
    bool isLink = false;
    const ErrorCode checked = key.IsLink(&isLink);
    if (checked != kErrorSuccess) return checked;
    if (isLink) {
      m_sawLink = true;
      return kErrorReparsePointEncountered;
    }

    std::wstring section = FormatSectionHead(fullName);
    bool needsUnicode = false;
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t type = kRegNone;
      std::wstring name;
      std::size_t bytes = 0;
      const ErrorCode rc = ReadValue(key.get(), index, &name, &type, &bytes);
      if (rc == kErrorNoMoreItems) break;
      if (rc != kErrorSuccess) {
        KeepFirst(&m_firstError, rc);
        // Only a value that kept growing while it was read is skipped; any other failure would
        // come back at every further index.
        if (rc == kErrorMoreData) continue;
        break;
      }
      if (!CanWriteRegName(name)) {
        KeepFirst(&m_firstError, kErrorInvalidData);
        continue;
      }
      section += FormatValueLine(name, FormatValueData(type, m_data.data(), bytes));
      needsUnicode = needsUnicode || ValueDataNeedsUnicode(type, m_data.data(), bytes);
    }
    const ErrorCode written = m_file.Write(section, needsUnicode);
    if (written != kErrorSuccess) KeepFirst(&m_firstError, written);

    for (std::uint32_t index = 0;; ++index) {
      std::wstring subkey;
      const ErrorCode rc = ReadSubkeyName(key, index, &subkey);
      if (rc == kErrorNoMoreItems) break;
      if (rc != kErrorSuccess) {
        KeepFirst(&m_firstError, rc);
        break;
      }
      if (!CanWriteRegName(subkey)) {
        KeepFirst(&m_firstError, kErrorInvalidData);
        continue;
      }
      if (depth + 1 >= kMaxRegistryDepth) {
        KeepFirst(&m_firstError, kErrorStackOverflow);
        break;
      }
      const ErrorCode child = Walk(key.get(), subkey, FullKeyName(fullName, subkey), depth + 1);
      if (child != kErrorSuccess) KeepFirst(&m_firstError, child);
    }
    return kErrorSuccess;
  }

  // kErrorReparsePointEncountered when a link was met, otherwise the first failure.
  [[nodiscard]] ErrorCode FirstError() const {
    return m_sawLink ? kErrorReparsePointEncountered : m_firstError;
  }

 private:
  // The index-th subkey name, the name buffer grown until it fits.
  ErrorCode ReadSubkeyName(const CRegKey& key, std::uint32_t index, std::wstring* name) {
    for (;;) {
      const ErrorCode rc = key.EnumKeyName(index, m_keyNameChars, name);
      if (rc != kErrorMoreData || m_keyNameChars >= kLongestNameChars) return rc;
      m_keyNameChars *= 2;
    }
  }

  // The index-th value into m_name/m_data, the data buffer grown to what the value needs.
  ErrorCode ReadValue(RegHandle key, std::uint32_t index, std::wstring* name, std::uint32_t* type,
                      std::size_t* bytes) {
    if (m_data.empty()) m_data.resize(kInitialDataBytes);
    for (int attempt = 0; attempt < kReadAttempts;) {
      auto nameChars = static_cast<std::uint32_t>(m_name.size() - 1);
      std::uint32_t dataBytes = static_cast<std::uint32_t>(m_data.size());
      const ErrorCode rc =
          m_registry.EnumValue(key, index, m_name.data(), &nameChars, type, m_data.data(),
                               &dataBytes);
      if (rc == kErrorMoreData) {
        if (dataBytes > m_data.size()) {
          m_data.resize(dataBytes);
          ++attempt;  // a value that keeps growing is given up after a few reads
        } else if (m_name.size() - 1 < kLongestNameChars) {
          m_name.resize((m_name.size() - 1) * 2 + 1, L'\0');  // the name did not fit
        } else {
          return rc;
        }
        continue;
      }
      if (rc != kErrorSuccess) return rc;
      name->assign(m_name.data(), nameChars);
      *bytes = dataBytes;
      return kErrorSuccess;
    }
    return kErrorMoreData;
  }

  IRegistry& m_registry;
  CBackupFile& m_file;
  std::wstring m_name;
  std::vector<std::uint8_t> m_data;
  std::uint32_t m_keyNameChars = kKeyNameChars;
  bool m_sawLink = false;
  ErrorCode m_firstError = kErrorSuccess;
};

// The part of a path from its last backslash on ("\\name.lnk"); a bare name gets a backslash.
std::wstring LastElement(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring_view::npos) return L"\\" + std::wstring(path);
  return std::wstring(path.substr(slash));
}

// Numbered names tried for a shortcut before its move is left to fail on the name in the way.
constexpr int kShortcutNameNumbers = 10000;

// Where a shortcut goes in the backup folder: its own file name, or the first free numbered name
// ("Old (2).lnk") when a file of that name is already there.
std::wstring ShortcutTarget(IFileSystem& files, const std::wstring& folder,
                            std::wstring_view shortcutPath) {
  const std::wstring element = LastElement(shortcutPath);  // "\\name.lnk"
  const std::wstring plain = folder + element;
  if (!files.FileExists(plain)) return plain;
  std::size_t dot = element.rfind(L'.');
  if (dot == std::wstring::npos || dot <= 1) dot = element.size();  // no extension
  const std::wstring stem = folder + element.substr(0, dot);
  const std::wstring extension = element.substr(dot);
  for (int number = 2; number <= kShortcutNameNumbers; ++number) {
    std::wstring numbered =
        FormatWithStrings(kShortcutNumberedNameFormat, {stem, std::to_wstring(number), extension});
    if (!files.FileExists(numbered)) return numbered;
  }
  return plain;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CBackupFile

CBackupFile::CBackupFile(IFileSystem& files, std::wstring path, std::wstring unicodeFirstLine)
    : m_files(files), m_path(std::move(path)), m_unicodeFirstLine(std::move(unicodeFirstLine)) {}

CBackupFile::~CBackupFile() { static_cast<void>(Close()); }

ErrorCode CBackupFile::Create(IFileSystem& files, std::wstring path, std::wstring unicodeFirstLine,
                              std::unique_ptr<CBackupFile>* file) {
  std::unique_ptr<CBackupFile> created(
      new CBackupFile(files, std::move(path), std::move(unicodeFirstLine)));
  std::unique_ptr<IFile> made;
  const ErrorCode rc = CreateFileInPlace(files, created->m_path, &made);
  if (rc != kErrorSuccess) return rc;
  created->m_text = std::make_unique<CTextWriter>(files, std::move(made));
  *file = std::move(created);
  return kErrorSuccess;
}

ErrorCode CBackupFile::Write(std::wstring_view text, bool needsUnicode) {
  if (!IsOpen()) return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
  if (m_unicode == nullptr) {
    if (!needsUnicode && !IsAscii(text)) {
      bool lossless = true;
      std::string bytes;
      needsUnicode = EncodeText(m_files, text, &bytes, &lossless) != kErrorSuccess || !lossless;
    }
    if (needsUnicode) {
      const ErrorCode rc = SwitchToUnicode();
      if (rc != kErrorSuccess) return rc;
    }
  }
  if (m_unicode != nullptr) return m_unicode->Write(text);
  return m_text->Write(text);
}

ErrorCode CBackupFile::Flush() {
  if (m_unicode != nullptr) return m_unicode->Flush();
  if (m_text != nullptr) return m_text->Flush();
  return m_error != kErrorSuccess ? m_error : kErrorInvalidHandle;
}

ErrorCode CBackupFile::Close() {
  ErrorCode rc = m_error;
  if (m_unicode != nullptr) {
    rc = m_unicode->Close();
    m_unicode.reset();
  } else if (m_text != nullptr) {
    rc = m_text->Close();
    m_text.reset();
  }
  if (m_error == kErrorSuccess) m_error = rc;
  return rc;
}

ErrorCode CBackupFile::AppendValueDeletion(std::wstring_view fullKey,
                                           std::wstring_view valueName) {
  return AppendDeleteValueSection(*this, fullKey, valueName);
}

ErrorCode CBackupFile::SwitchToUnicode() {
  // Everything written so far goes to the disk and is read back from there.
  ErrorCode rc = m_text->Close();
  m_text.reset();
  if (rc != kErrorSuccess) {
    m_error = rc;
    return rc;
  }
  std::wstring temporary;
  rc = RewriteAsUnicode(&temporary);
  if (rc != kErrorSuccess) {
    if (!temporary.empty()) static_cast<void>(m_files.RemoveFile(temporary));
    // The 8-bit file is untouched: go on with it.
    std::unique_ptr<IFile> again;
    const ErrorCode reopened = m_files.OpenFileNoFollow(m_path, FileOpenMode::kAppendExisting,
                                                        FileShareMode::kDenyWrite, &again);
    if (reopened != kErrorSuccess) {
      m_error = reopened;
    } else {
      m_text = std::make_unique<CTextWriter>(m_files, std::move(again));
    }
    return rc;
  }
  std::unique_ptr<IFile> file;
  rc = m_files.OpenFileNoFollow(m_path, FileOpenMode::kAppendExisting, FileShareMode::kDenyWrite,
                                &file);
  if (rc != kErrorSuccess) {
    m_error = rc;
    return rc;
  }
  m_unicode = std::make_unique<CCrLfWriter>(EncodeUtf16Le, std::move(file));
  return kErrorSuccess;
}

ErrorCode CBackupFile::RewriteAsUnicode(std::wstring* temporaryPath) {
  std::wstring content;
  ErrorCode rc = ReadTextFile(m_files, m_path, &content);
  if (rc != kErrorSuccess) return rc;
  if (!m_unicodeFirstLine.empty()) {
    const std::size_t lineEnd = content.find(L"\r\n");
    content = m_unicodeFirstLine +
              (lineEnd == std::wstring::npos ? std::wstring(L"\r\n") : content.substr(lineEnd));
  }
  std::unique_ptr<IFile> file;
  rc = CreateTemporaryBeside(m_files, m_path, temporaryPath, &file);
  if (rc != kErrorSuccess) return rc;
  CCrLfWriter writer(EncodeUtf16Le, std::move(file));
  rc = writer.WriteVerbatim(kByteOrderMark + content);
  if (rc == kErrorSuccess) rc = writer.Flush();
  const ErrorCode closed = writer.Close();
  if (rc == kErrorSuccess) rc = closed;
  if (rc != kErrorSuccess) return rc;
  return m_files.ReplaceFile(*temporaryPath, m_path);
}

// ---------------------------------------------------------------------------------------------
// Registry sections

ErrorCode BackupKey(IRegistry& registry, RegHandle root, std::wstring_view keyPath,
                    CBackupFile* file) {
  const std::wstring_view rootName = RootKeyName(root);
  if (rootName.empty() || root == kNullRegHandle) return kErrorInvalidHandle;
  if (file == nullptr) return kErrorSuccess;
  if (!CanWriteRegName(keyPath)) return kErrorInvalidData;
  // A link anywhere in the tree: nothing of it is written. Other failures of this look are met
  // again, and reported, by the walk.
  if (FindLinkInTree(registry, root, keyPath) == kErrorReparsePointEncountered) {
    return kErrorReparsePointEncountered;
  }
  CKeyWalker walker(registry, *file);
  const ErrorCode opened = walker.Walk(root, keyPath, FullKeyName(rootName, keyPath));
  if (opened != kErrorSuccess) return opened;
  const ErrorCode flushed = file->Flush();
  return walker.FirstError() != kErrorSuccess ? walker.FirstError() : flushed;
}

ErrorCode BackupValue(IRegistry& registry, RegHandle root, std::wstring_view keyPath,
                      std::wstring_view valueName, CBackupFile* file) {
  const std::wstring_view rootName = RootKeyName(root);
  if (rootName.empty() || root == kNullRegHandle) return kErrorInvalidHandle;
  if (file == nullptr) return kErrorSuccess;
  if (!CanWriteRegName(keyPath) || !CanWriteRegName(valueName)) return kErrorInvalidData;
  CRegKey key(registry);
  ErrorCode rc = key.Open(root, keyPath, kKeyQueryValue);
  if (rc != kErrorSuccess) return rc;
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
  rc = key.QueryRaw(valueName, &type, &data);
  if (rc != kErrorSuccess) return rc;
  const std::wstring line =
      FormatValueLine(valueName, FormatValueData(type, data.data(), data.size()));
  rc = file->Write(FormatValueSection(FullKeyName(rootName, keyPath), line),
                   ValueDataNeedsUnicode(type, data.data(), data.size()));
  if (rc != kErrorSuccess) return rc;
  return file->Flush();
}

ErrorCode AppendDeleteValueSection(CBackupFile& file, std::wstring_view fullKey,
                                   std::wstring_view valueName) {
  if (!CanWriteRegName(fullKey) || !CanWriteRegName(valueName)) return kErrorInvalidData;
  const ErrorCode rc = file.Write(FormatDeleteValueSection(fullKey, valueName));
  if (rc != kErrorSuccess) return rc;
  return file.Flush();
}

// ---------------------------------------------------------------------------------------------
// Shortcut backups

CShortcutBackup::CShortcutBackup(std::wstring folder, std::unique_ptr<CBackupFile> list)
    : m_folder(std::move(folder)), m_list(std::move(list)) {}

ErrorCode CShortcutBackup::Create(IFileSystem& files, std::wstring folderPath,
                                  std::unique_ptr<CShortcutBackup>* backup) {
  // Made closed to other accounts; one that is there already is used only when it is trusted.
  const ErrorCode made = files.MakeProtectedDirectory(folderPath);
  if (made == kErrorAlreadyExists || made == kErrorFileExists) {
    const ErrorCode trust = CheckTrustedPath(files, folderPath);
    if (trust != kErrorSuccess) return trust;
    if (!files.IsDirectory(folderPath)) return kErrorDirectory;
  } else if (made != kErrorSuccess) {
    return made;
  }
  std::unique_ptr<CBackupFile> list;
  const ErrorCode rc = CBackupFile::Create(files, folderPath + kShortcutListExtension, L"", &list);
  if (rc != kErrorSuccess) return rc;
  backup->reset(new CShortcutBackup(std::move(folderPath), std::move(list)));
  return kErrorSuccess;
}

ErrorCode MoveShortcutToBackup(IFileSystem& files, std::wstring_view shortcutPath,
                               CShortcutBackup& backup) {
  const std::wstring target = ShortcutTarget(files, backup.FolderPath(), shortcutPath);
  // A list line is two paths split at its comma: a path that holds a comma could never be read
  // back, and the moved shortcut would be lost to the restore.
  if (shortcutPath.find(L',') != std::wstring_view::npos ||
      target.find(L',') != std::wstring::npos) {
    return kErrorBadPathname;
  }
  ErrorCode rc =
      backup.List().Write(FormatWithStrings(kShortcutListLineFormat, {shortcutPath, target}));
  if (rc == kErrorSuccess) rc = backup.List().Flush();
  if (rc != kErrorSuccess) return rc;
  rc = files.MoveByHandle(shortcutPath, target);
  if (rc == kErrorSuccess) backup.CountMove();
  return rc;
}

// ---------------------------------------------------------------------------------------------
// CRepairBackups

std::wstring CRepairBackups::BackupFolder(ErrorCode* folderError) {
  return ProductDataFolder(m_platform.shell, m_platform.files, kBackupSubfolder, folderError);
}

ErrorCode CRepairBackups::OpenBackUpRegistryFile() {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  m_platform.shell.GetSystemVersion(&major, &minor);
  const std::wstring header = std::wstring(RegFileHeader(major, minor)) + L"\n";
  ErrorCode rc = kErrorSuccess;
  for (int attempt = 0; attempt < kBackupCreateAttempts; ++attempt) {
    if (attempt > 0) m_platform.clock.Sleep(kBackupRetryMilliseconds);
    const std::tm now = m_platform.clock.ToLocalTime(m_platform.clock.Now());
    ErrorCode folderError = kErrorSuccess;
    m_registryPath = BackupFolder(&folderError) + L"\\" + FormatTime(kRegBackupNameFormat, now);
    if (folderError != kErrorSuccess) {  // nothing goes into such a folder
      rc = folderError;
      continue;
    }
    m_stamp = FormatTime(kShortcutStampFormat, now);
    if (m_platform.files.FileExists(m_registryPath)) {
      rc = kErrorFileExists;
      continue;
    }
    std::unique_ptr<CBackupFile> file;
    rc = CBackupFile::Create(m_platform.files, m_registryPath, kRegHeaderVersion5, &file);
    if (rc != kErrorSuccess) continue;
    rc = file->Write(header);
    if (rc == kErrorSuccess) rc = file->Flush();
    if (rc != kErrorSuccess) {
      static_cast<void>(file->Close());
      static_cast<void>(m_platform.files.RemoveFile(m_registryPath));
      continue;
    }
    m_registry = std::move(file);
    return kErrorSuccess;
  }
  return rc;
}

ErrorCode CRepairBackups::OpenBackUpShrtctFile() {
  ErrorCode rc = kErrorSuccess;
  for (int attempt = 0; attempt < kBackupCreateAttempts; ++attempt) {
    if (attempt > 0) m_platform.clock.Sleep(kBackupRetryMilliseconds);
    // The first attempt takes the stamp of the registry backup file, so the two files of one
    // repair carry the same time and a restore of the one finds the other.
    const std::tm now = m_platform.clock.ToLocalTime(m_platform.clock.Now());
    ErrorCode folderError = kErrorSuccess;
    const std::wstring folder = BackupFolder(&folderError);
    if (folderError != kErrorSuccess) {
      rc = folderError;
      continue;
    }
    const std::wstring stamp = attempt == 0 && m_registry != nullptr
                                   ? m_stamp
                                   : FormatTime(kShortcutStampFormat, now);
    m_shortcutFolder = FormatWithStrings(kShortcutFolderFormat, {folder, stamp});
    m_shortcutList = FormatWithStrings(kShortcutListFormat, {folder, stamp});
    if (m_platform.files.FileExists(m_shortcutList) ||
        m_platform.files.FileExists(m_shortcutFolder)) {
      rc = kErrorFileExists;
      continue;
    }
    std::unique_ptr<CShortcutBackup> backup;
    rc = CShortcutBackup::Create(m_platform.files, m_shortcutFolder, &backup);
    if (rc != kErrorSuccess) continue;
    m_shortcuts = std::move(backup);
    return kErrorSuccess;
  }
  return rc;
}

ErrorCode CRepairBackups::EndShortcutBackup() {
  if (m_shortcuts == nullptr) return kErrorSuccess;
  ErrorCode rc = m_shortcuts->List().Close();
  if (m_shortcuts->MovedCount() == 0) {
    const ErrorCode removed = m_platform.files.RemoveFolder(m_shortcutFolder);
    const ErrorCode deleted = m_platform.files.RemoveFile(m_shortcutList);
    if (rc == kErrorSuccess) rc = removed != kErrorSuccess ? removed : deleted;
  }
  m_shortcuts.reset();
  return rc;
}

ErrorCode CRepairBackups::EndRegistryBackup(std::size_t registryRepairedCount) {
  if (m_registry == nullptr) return kErrorSuccess;
  ErrorCode rc = m_registry->Close();
  m_registry.reset();
  if (registryRepairedCount == 0) {
    const ErrorCode deleted = m_platform.files.RemoveFile(m_registryPath);
    if (rc == kErrorSuccess) rc = deleted;
  }
  return rc;
}

std::wstring ShortcutListForBackup(std::wstring_view folder, std::wstring_view name) {
  constexpr std::wstring_view kRepairPrefix = kRepairBackupPrefix;
  if (name.size() > kRepairPrefix.size() &&
      EqualsNoCase(name.substr(0, kRepairPrefix.size()), kRepairPrefix)) {
    return FormatWithStrings(kShortcutListFormat, {std::wstring(folder),
                                                   std::wstring(name.substr(kRepairPrefix.size()))});
  }
  return std::wstring(folder) + L"\\" + std::wstring(name) + kShortcutListExtension;
}

}  // namespace qv
