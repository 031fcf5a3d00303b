// The repair worker: deletes registry keys and values, each only after its backup is on disk, and
// moves shortcut files aside instead of deleting them.
//
// What it never deletes: a root, a key directly below a root (a hive such as HKEY_USERS\S-1-5-21-...
// or HKEY_LOCAL_MACHINE\SOFTWARE), and the containers the checks look into (the CLSID and AppID
// keys, Uninstall, App Paths, Run, SharedDLLs, Fonts, HELP, HTML Help and the menu-order keys,
// in every view of the registry that shows them). Only entries inside them are ever removed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/language.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "repair/backup_file.h"

namespace qv {

// The refusals of the sweep itself, beside the error codes the registry and file system give.
// A root, a hive or a container of the checks: never deleted.
inline constexpr ErrorCode kErrorProtectedKey = kErrorInvalidParameter;
// No registry backup file is set while a backup is required: nothing is deleted.
inline constexpr ErrorCode kErrorNoBackupFile = 82;  // ERROR_CANNOT_MAKE

// Whether root\subkey is one of the keys above (case does not matter; trailing backslashes and
// Wow6432Node levels are looked through).
[[nodiscard]] bool IsProtectedKey(RegHandle root, std::wstring_view subkey);

class CCleanSweep {
 public:
  explicit CCleanSweep(const CPlatform& platform) : m_platform(platform) {}

  // The files of the repair (neither is owned). With no registry backup file and a backup
  // required (the default), no key or value is deleted: kErrorNoBackupFile.
  void SetRegBackupFile(CBackupFile* file) { m_targets.SetRegBackupFile(file); }
  void SetLnkBackupFile(CShortcutBackup* backup) { m_targets.SetLnkBackupFile(backup); }
  void SetBackupRequired(bool required) { m_backupRequired = required; }

  // Deletes a key and its whole tree after backing it up. The key path may begin with a root
  // name; naming a root other than `categoryRoot` gives kErrorInvalidHandle. Results: 0 deleted;
  // kErrorFileNotFound when it was already gone; kErrorProtectedKey; kErrorNoBackupFile; the
  // backup's refusal (kErrorReparsePointEncountered for a tree holding a registry link,
  // kErrorInvalidData for a name with a line break or a NUL character, a read error), with
  // nothing deleted; kErrorInvalidParameter for a key path that holds a NUL character (nothing
  // touched); or the deletion's error (kErrorAccessDenied when a subkey could not be deleted).
  [[nodiscard]] ErrorCode CleanKey(RegHandle categoryRoot, std::wstring_view keyPath);

  // Deletes one value after backing it up. `categoryRoot` may be kNullRegHandle (the root is then
  // the one the key path names). Neither given, or both given and different (the entry is not
  // where the category repairs): kErrorInvalidHandle, nothing touched. The key is opened
  // no-follow (IRegistry::OpenKeyNoFollow) and the value deleted through that handle: a key that
  // is a registry link gives kErrorReparsePointEncountered with nothing written or deleted.
  // Results otherwise as CleanKey's (a value name that holds a NUL character:
  // kErrorInvalidParameter, nothing touched); the empty name is the default value.
  [[nodiscard]] ErrorCode CleanValue(RegHandle categoryRoot, std::wstring_view keyPath,
                                     std::wstring_view valueName);

  // Moves a shortcut into the repair's shortcut folder and lists it (MoveShortcutToBackup);
  // kErrorNoBackupFile when no shortcut backup is set.
  [[nodiscard]] ErrorCode MoveShortcut(std::wstring_view shortcutPath);

  // Deletes a file the startup manager no longer needs: nothing when it cannot be opened for
  // reading, or not for writing by this process alone (another program has it open). Before the
  // deletion each pass overwrites the file's whole 1024-byte blocks twice, with two byte values
  // taken at random (the bytes after the last whole block are left as they are). The deleted
  // bytes and files are counted once the file is gone. Returns the first failure, or 0.
  [[nodiscard]] ErrorCode CleanFile(std::wstring_view path, int passes);

  // Every registry key and value this sweep really deleted, the subkeys of a key whose own
  // deletion then failed included: 0 means the registry is as it was before the sweep.
  [[nodiscard]] std::uint32_t DeletedCount() const { return m_deleted; }
  [[nodiscard]] std::uint32_t DeletedFileBytes() const { return m_fileBytes; }
  [[nodiscard]] std::uint32_t DeletedFiles() const { return m_files; }

 private:
  CPlatform m_platform;
  CBackupTargets m_targets;
  bool m_backupRequired = true;
  std::uint32_t m_deleted = 0;
  std::uint32_t m_fileBytes = 0;
  std::uint32_t m_files = 0;
};

// The block that CleanFile overwrites at a time.
inline constexpr std::size_t kCleanFileBlockBytes = 1024;

// What a user is told of a repair's failure code: a short sentence without a full stop.
[[nodiscard]] std::wstring RepairFailureReason(ErrorCode error, WORDING wording = WORDING::kUser);

}  // namespace qv
