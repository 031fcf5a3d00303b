// The startup manager: the programs that start with Windows (the four Run keys, the machine's
// 32-bit Run key, the user's and the common Startup folder) and the ones disabled in the System
// Configuration Utility's format (records under its MSConfig\startupreg and MSConfig\startupfolder
// keys, whichever tool wrote them), each of which can be switched on or off. An entry that the
// system's own switch (Task Manager's or Settings' startup approval value) keeps from starting is
// listed Off where it is. Texts, key names and the switch's forms: tools/startup_texts.h.
//
// The page and the console use only CStartupManager (and StartupItem's fields):
//
//   CStartupManager manager(platform);
//   manager.Refresh();                       // the rows, in list order
//   manager.Flip(2);                         // the user wants row 2 the other way
//   const int failed = manager.Apply();      // then the rows are read again
//
// Disabling a Run value moves it into a startupreg record; disabling a shortcut moves its file
// into the pss folder of the Windows folder and writes a startupfolder record; enabling moves
// them back and deletes the record. Enabling an entry the system's switch keeps off turns that
// switch on and touches nothing else; enabling a record turns the entry's switch on too, when it
// is off, before the entry goes back, so that it really starts. Disabling leaves the switch as it
// is (the entry is in the record then, where the switch does not reach). Every operation leaves
// an entry either where it was or where it went, never lost: a record is written before a Run
// value is deleted and deleted only after the value is back; a shortcut is moved before its
// record is written (and moved back when the record cannot be written), and its record is
// deleted only after the file is back.
//
// Threads: one thread at a time (the page's or the console's).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "platform/platform.h"
#include "state/log_interface.h"

namespace qv {

struct StartupItem {
  std::wstring name;      // the Run value's name, the shortcut's file name without extension,
                          // or the record's item
  std::wstring command;   // the Run value's data, the shortcut's target and arguments, or the
                          // record's command
  std::wstring location;  // "HKEY_CURRENT_USER/Run", ..., "Startup", "Common Startup", a
                          // shortcut record's location, or a Run value record's hkey/key
  bool checked = false;   // what the user wants
  bool enabled = false;   // what was found
  bool approvalOff = false;  // Off by the system's switch alone: still in its Run key or folder

  // A Run value's entry (its location text has a "/"), otherwise a shortcut's.
  [[nodiscard]] bool IsRegistryEntry() const;

  // Takes the enabled entry out of its startup location into a record. 0, or the failure with
  // the entry left where it was: the Run key or value cannot be read, a record of the same name
  // (a Run value's) or path (a shortcut's) exists already (kErrorAlreadyExists: it holds another
  // disabled entry), a record cannot be written, the value cannot be deleted; a name that cannot
  // be a record's key (empty, or with a backslash) gives kErrorInvalidParameter. For a shortcut
  // every file of the location's folder with this name is disabled (kErrorFileNotFound when
  // there is none); the first failure is returned.
  [[nodiscard]] ErrorCode Disable(const CPlatform& platform) const;
  // An entry Off by the system's switch alone: the switch's value is rewritten in its enabled
  // form (the same length and status family, the switched-off time cleared); 0 too when the
  // value no longer keeps it off, else the failure. Otherwise puts the disabled entry back from
  // its record, after turning on the system's switch of the entry where one keeps it off (a
  // failure there leaves the record as it is). A Run value: the record's command is written to
  // the key its hkey and key name (REG_EXPAND_SZ when it was, else REG_SZ), then the record is
  // deleted; a record that cannot be read or written back is kept, and so is one whose name has
  // a value with another command in the key again (kErrorAlreadyExists: neither command is lost).
  // A shortcut: every startupfolder record with this item and location that has all five values
  // has its backup moved back to its path, then is deleted; one whose file cannot be moved back
  // is kept (kErrorFileNotFound when no record matches). 0, or the first failure.
  [[nodiscard]] ErrorCode Enable(const CPlatform& platform) const;
};

class CStartupManager {
 public:
  // The platform's registry, files, shell and clock (and the log, when given) must outlive the
  // manager. No rows until Refresh.
  explicit CStartupManager(const CPlatform& platform, IActivityLog* log = nullptr)
      : m_platform(platform), m_log(log) {}

  // Rebuilds the rows: the values of the Run keys (HKCU Run, HKCU RunOnce, HKLM Run, HKLM RunOnce,
  // HKLM's 32-bit Run, each from index 0 to its end; a value too large for the buffers is passed
  // over, and one whose name holds a NUL character too, with a log line, as no registry call
  // could disable it by that name), the
  // shortcuts (*.lnk) of the user's and then the common Startup folder (each enabled unless the
  // system's switch of it is in a known disabled form), then the startupfolder records and the
  // startupreg records (disabled). An entry without name and command, or named "Quarvelo" (any
  // case), is left out. Every source is only read, so a user without write access sees every row
  // too; one that cannot be opened gives no rows. Each row starts with checked == enabled.
  void Refresh();
  [[nodiscard]] const std::vector<StartupItem>& Items() const { return m_items; }

  // The page's double click: the row's checked state the other way. Returns the new state (false
  // for an index past the rows, which changes nothing).
  bool Flip(std::size_t index);
  // The page's click on a check box: the row's checked state as given (nothing past the rows).
  void SetChecked(std::size_t index, bool checked);

  // From the last row to the first, every row whose checked differs from enabled is enabled or
  // disabled as checked says; then Refresh. Returns how many of them failed (0: all done).
  int Apply();

 private:
  void Add(StartupItem item);

  // Whether a name from the enumeration of `keyText` holds a NUL character; logged when so.
  bool PassOverNulName(std::wstring_view keyText, std::wstring_view name) const;

  CPlatform m_platform;
  IActivityLog* m_log = nullptr;
  std::vector<StartupItem> m_items;
};

// The command a shortcut starts: the shell link's target, a space, and its arguments (the space
// even without arguments; an empty target for a shortcut to a shell object). ".lnk" is appended
// to a path that does not contain it (any case). Empty when the file cannot be read as a
// shortcut.
[[nodiscard]] std::wstring ResolveShortcut(IShell& shell, std::wstring_view path);

}  // namespace qv
