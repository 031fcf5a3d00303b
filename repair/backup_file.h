// The files a repair writes before it deletes anything: the registry backup file (.reg) that the
// system registry editor merges back, and the shortcut list (.bak) beside the folder that removed
// shortcuts are moved into.
//
// Both are 8-bit text in the system code page with CR LF line ends, written through CTextWriter,
// as long as every character they hold has a form in the code page (and, for a .reg file, no
// value needs its string bytes kept, see ValueDataNeedsUnicode). The first text that needs more
// turns the file into the registry editor's own Unicode form: UTF-16LE with a byte-order mark,
// CR LF, and for a .reg file the header "Windows Registry Editor Version 5.00" (what the editor's
// own export writes). What was written so far is rewritten in that form into a new file beside
// it (a name nobody can guess), which then replaces the file in one step, so the file on disk is complete in one
// form or the other at every moment; writing then goes on in the new form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/text_writer.h"
#include "engine/exclusion_lists.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "state/text_file.h"

namespace qv {

// A text file that is 8-bit until a text needs the Unicode form (see above). As the registry
// backup file of a repair it also takes the undo sections of the problems the repair blocks.
class CBackupFile final : public IBlockUndoLog {
 public:
  // Creates the file where nobody can have prepared it (CreateFileInPlace: an existing file or
  // link at the path is left alone and gives kErrorAlreadyExists). `unicodeFirstLine`, when not
  // empty, replaces the first line of the file when it turns Unicode. *file is unchanged on
  // failure.
  [[nodiscard]] static ErrorCode Create(IFileSystem& files, std::wstring path,
                                        std::wstring unicodeFirstLine,
                                        std::unique_ptr<CBackupFile>* file);
  ~CBackupFile() override;
  CBackupFile(const CBackupFile&) = delete;
  CBackupFile& operator=(const CBackupFile&) = delete;

  // Appends the text ("\n" becomes CR LF). With `needsUnicode`, or when a character of the text
  // has no form of its own in the code page, the file turns Unicode first; if that fails the text
  // is not written, the file stays as it was in its 8-bit form, and the error is returned. The
  // text may sit in a buffer until Flush() or Close().
  [[nodiscard]] ErrorCode Write(std::wstring_view text, bool needsUnicode = false);
  // Puts everything written so far on the disk.
  [[nodiscard]] ErrorCode Flush();
  // Writes what is buffered and closes; the first error of the file's life. Later writes fail.
  [[nodiscard]] ErrorCode Close();

  // IBlockUndoLog: AppendDeleteValueSection on this file.
  [[nodiscard]] ErrorCode AppendValueDeletion(std::wstring_view fullKey,
                                              std::wstring_view valueName) override;

  [[nodiscard]] const std::wstring& Path() const { return m_path; }
  [[nodiscard]] bool IsUnicode() const { return m_unicode != nullptr; }
  [[nodiscard]] bool IsOpen() const { return m_text != nullptr || m_unicode != nullptr; }

 private:
  CBackupFile(IFileSystem& files, std::wstring path, std::wstring unicodeFirstLine);
  ErrorCode SwitchToUnicode();
  // *temporaryPath gets the new file's path as soon as it exists.
  ErrorCode RewriteAsUnicode(std::wstring* temporaryPath);

  IFileSystem& m_files;
  std::wstring m_path;
  std::wstring m_unicodeFirstLine;
  std::unique_ptr<CTextWriter> m_text;         // the 8-bit form
  std::unique_ptr<CCrLfWriter> m_unicode;  // the Unicode form, once switched
  ErrorCode m_error = kErrorSuccess;            // a failure that closed the file for good
};

// ---------------------------------------------------------------------------------------------
// Registry backup sections. Each operation below puts what it wrote on the disk before it
// returns, so the caller may delete the key or value as soon as it has the result. A key or value
// that is not backed up gives a non-zero result; the caller should not delete it then.

// Writes the key section of the key and, depth first and parent first, of every key below it
// (each key's section with all its values before the sections of its subkeys, siblings in
// enumeration order). Values are read whatever their size. The key is opened below `root`, and
// every key below it relative to its parent, no-follow (a link is opened itself, never its
// target), for query-value and enumerate-subkey access.
// Result: 0 when the whole subtree is on disk. kErrorInvalidHandle when the root has no name (a
// handle that is not a predefined root), the open's error when the key cannot be opened (nothing
// is written), kErrorInvalidData when the key's path holds a line break (nothing is written),
// kErrorReparsePointEncountered when the key is a registry link or holds one anywhere below it
// (a .reg file cannot hold a link; the whole tree is looked at first and nothing of it is
// written; a link made while the walk runs is not descended into either, and gives the same
// result), otherwise the first failure to read a value or subkey or to write (what could be read
// is written all the same; an enumeration ends at its first failure, such as kErrorKeyDeleted for
// a key deleted meanwhile). A value or subkey whose name holds a line break or a NUL character
// has no form in the file (see CanWriteRegName): it is left out and the result is
// kErrorInvalidData, so the subtree is not taken as backed up. Nothing deeper than
// kMaxRegistryDepth levels below the key is written, and the result is then kErrorStackOverflow.
// No file: nothing to do, 0.
[[nodiscard]] ErrorCode BackupKey(IRegistry& registry, RegHandle root, std::wstring_view keyPath,
                                  CBackupFile* file);

// Writes the value section of one value (whatever its size). Result: 0 when it is on disk (or no
// file is given), kErrorInvalidHandle for a root without a name, kErrorInvalidData when the key
// path or the value name holds a line break or a NUL character, otherwise the error of opening
// the key or reading the value (nothing is written in these cases) or of writing.
[[nodiscard]] ErrorCode BackupValue(IRegistry& registry, RegHandle root,
                                    std::wstring_view keyPath, std::wstring_view valueName,
                                    CBackupFile* file);

// Appends a section that deletes one value when the file is merged (used to lift a block made
// during the repair): an empty line, "[full key]", then "\"name\"=-". kErrorInvalidData, and
// nothing written, when the key or the name holds a line break.
[[nodiscard]] ErrorCode AppendDeleteValueSection(CBackupFile& file, std::wstring_view fullKey,
                                                 std::wstring_view valueName);

// ---------------------------------------------------------------------------------------------
// Shortcut backups: a folder that removed shortcuts are moved into, and its list file (the
// folder's path followed by ".bak") with one line "source,new path" per moved shortcut.

class CShortcutBackup {
 public:
  // Creates the folder with the protected access list (an existing one is used when it is
  // trusted, otherwise TrustOf's error) and the list file (CBackupFile::Create).
  [[nodiscard]] static ErrorCode Create(IFileSystem& files, std::wstring folderPath,
                                        std::unique_ptr<CShortcutBackup>* backup);

  [[nodiscard]] const std::wstring& FolderPath() const { return m_folder; }
  [[nodiscard]] const std::wstring& ListPath() const { return m_list->Path(); }
  [[nodiscard]] std::size_t MovedCount() const { return m_moved; }
  [[nodiscard]] CBackupFile& List() { return *m_list; }
  void CountMove() { ++m_moved; }

 private:
  CShortcutBackup(std::wstring folder, std::unique_ptr<CBackupFile> list);
  std::wstring m_folder;
  std::unique_ptr<CBackupFile> m_list;
  std::size_t m_moved = 0;
};

// Moves one shortcut into the backup folder under its own file name (the part of its path after
// the last backslash), or, when a file of that name is already there (an earlier shortcut of the
// same name), under the first free numbered name: "Old (2).lnk", "Old (3).lnk"... The list line
// is written and put on the disk first, then the file is moved through open handles
// (IFileSystem::MoveByHandle): only from the path the scan found, never through a junction or
// symbolic link that a folder on its way became since. Result: 0 when moved, kErrorBadPathname
// when either path holds a comma (the list cannot hold it; nothing is written or moved), the
// list's write error (nothing is moved), or the move's error (the line stays):
// kErrorStoppedOnSymlink when the path now leads elsewhere, kErrorBadPathname for a path that is
// no plain drive path.
[[nodiscard]] ErrorCode MoveShortcutToBackup(IFileSystem& files, std::wstring_view shortcutPath,
                                             CShortcutBackup& backup);

// ---------------------------------------------------------------------------------------------
// The two files of one repair.

// The two open files as the repair worker sees them (it owns neither). None set means: write no
// backup sections, move no shortcuts.
class CBackupTargets {
 public:
  void SetRegBackupFile(CBackupFile* file) { m_registry = file; }
  void SetLnkBackupFile(CShortcutBackup* backup) { m_shortcuts = backup; }
  [[nodiscard]] CBackupFile* RegBackupFile() const { return m_registry; }
  [[nodiscard]] CShortcutBackup* LnkBackupFile() const { return m_shortcuts; }

 private:
  CBackupFile* m_registry = nullptr;
  CShortcutBackup* m_shortcuts = nullptr;
};

// A new file of either kind is attempted at most this many times. An attempt fails when the file
// cannot be created, or when a file of that name is already there (another repair in the same
// second): backups are never overwritten. The clock sleeps a second between attempts, so the
// next attempt gets the next name.
inline constexpr int kBackupCreateAttempts = 3;
inline constexpr std::uint32_t kBackupRetryMilliseconds = 1000;

// The backup files of one repair and their paths (the repair state).
class CRepairBackups {
 public:
  explicit CRepairBackups(const CPlatform& platform) : m_platform(platform) {}

  // Creates the registry backup file in the backup folder, named from the local time, and writes
  // its header (by the system version). The path is kept even when creation fails. A backup
  // folder that is not to be used (ProductDataFolder's error) gets nothing: its error.
  [[nodiscard]] ErrorCode OpenBackUpRegistryFile();
  // Creates the shortcut folder and its list file, named from the local time; after
  // OpenBackUpRegistryFile, from that file's time (RCBak_<stamp>.reg and QuarveloBak_<stamp>.bak),
  // unless a folder or list of that name is there already.
  [[nodiscard]] ErrorCode OpenBackUpShrtctFile();

  [[nodiscard]] CBackupFile* RegistryFile() const { return m_registry.get(); }
  [[nodiscard]] CShortcutBackup* ShortcutBackup() const { return m_shortcuts.get(); }
  [[nodiscard]] const std::wstring& RegistryFilePath() const { return m_registryPath; }
  [[nodiscard]] const std::wstring& ShortcutFolderPath() const { return m_shortcutFolder; }
  [[nodiscard]] const std::wstring& ShortcutListPath() const { return m_shortcutList; }

  // End of the repair for shortcuts: closes the list; when no shortcut was moved, removes the
  // folder and deletes the list. Returns the first failure.
  [[nodiscard]] ErrorCode EndShortcutBackup();
  // End of the repair for the registry: closes the file; when no registry key or value was
  // repaired (`registryRepairedCount` 0) the file is deleted. Returns the first failure.
  [[nodiscard]] ErrorCode EndRegistryBackup(std::size_t registryRepairedCount);

 private:
  std::wstring BackupFolder(ErrorCode* folderError);

  CPlatform m_platform;
  std::unique_ptr<CBackupFile> m_registry;
  std::unique_ptr<CShortcutBackup> m_shortcuts;
  std::wstring m_registryPath;
  std::wstring m_shortcutFolder;
  std::wstring m_shortcutList;
  std::wstring m_stamp;  // of the registry backup file's name ("_December_06_26_18_31_14")
};

// The shortcut list that belongs to a backup of the backup folder: for a repair's registry backup
// (RCBak_<stamp>) the list of the same repair (QuarveloBak_<stamp>.bak), for any other name the
// list of that name (<name>.bak).
[[nodiscard]] std::wstring ShortcutListForBackup(std::wstring_view folder, std::wstring_view name);

}  // namespace qv
