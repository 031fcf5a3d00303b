#include "tools/startup_manager.h"

#include <initializer_list>
#include <utility>

#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "engine/key_naming.h"
#include "repair/key_delete.h"
#include "state/state_texts.h"
#include "tools/startup_texts.h"

namespace qv {
namespace {

// A name that names exactly one record key below the records' key: not empty (that would be the
// records' key itself) and without a backslash (that would be a key further down).
bool IsRecordName(std::wstring_view name) {
  return !name.empty() && name.find(L'\\') == std::wstring_view::npos;
}

// The root a disabled entry's location names, as its record's hkey is written: the full name or
// the abbreviation, exact case. kNullRegHandle for anything else.
RegHandle RootOfLocation(std::wstring_view rootText) {
  if (rootText == kHkeyLocalMachineName || rootText == L"HKLM") return kHkeyLocalMachine;
  if (rootText == kHkeyCurrentUserName || rootText == L"HKCU") return kHkeyCurrentUser;
  return kNullRegHandle;
}

// A record's hkey as read back, in any case.
RegHandle RootOfRecord(std::wstring_view hkey) {
  if (EqualsIgnoringAsciiCase(hkey, kHkeyLocalMachineName) ||
      EqualsIgnoringAsciiCase(hkey, L"HKLM")) {
    return kHkeyLocalMachine;
  }
  if (EqualsIgnoringAsciiCase(hkey, kHkeyCurrentUserName) ||
      EqualsIgnoringAsciiCase(hkey, L"HKCU")) {
    return kHkeyCurrentUser;
  }
  return kNullRegHandle;
}

std::wstring WithoutTrailingBackslashes(std::wstring path) {
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The Run key a location text names (exact text), or nullptr.
const STARTUP_RUN_KEY* RunKeyOfLocation(std::wstring_view location) {
  for (const STARTUP_RUN_KEY& run : kStartupRunKeys) {
    if (run.location == location) return &run;
  }
  return nullptr;
}

// The Run key at root\keyPath (the path in any case, as records of other tools spell it), or
// nullptr.
const STARTUP_RUN_KEY* RunKeyOfPath(RegHandle root, std::wstring_view keyPath) {
  for (const STARTUP_RUN_KEY& run : kStartupRunKeys) {
    if (run.root == root && EqualsNoCase(run.keyPath, keyPath)) return &run;
  }
  return nullptr;
}

// Where the system keeps an entry's on/off switch; root kNullRegHandle when it keeps none.
struct APPROVAL_VALUE {
  RegHandle root = kNullRegHandle;
  std::wstring key;
  std::wstring name;
};

APPROVAL_VALUE RunValueApproval(const STARTUP_RUN_KEY* run, std::wstring_view name) {
  if (run == nullptr || run->approvalKey.empty()) return {};
  return {run->root, std::wstring(kStartupApprovedKey) + std::wstring(run->approvalKey),
          std::wstring(name)};
}

// A shortcut's switch is named by its file name with the extension.
APPROVAL_VALUE ShortcutApproval(std::wstring_view location, std::wstring_view fileName) {
  RegHandle root = kNullRegHandle;
  if (location == kLocationStartup) root = kHkeyCurrentUser;
  if (location == kLocationCommonStartup) root = kHkeyLocalMachine;
  if (root == kNullRegHandle || fileName.empty()) return {};
  return {root, std::wstring(kStartupApprovedKey) + std::wstring(kApprovedStartupFolder),
          std::wstring(fileName)};
}

enum class APPROVAL {
  kNone,  // no value, or one of a type, length or status the system is not known to write
  kOn,
  kOff,
};

bool Contains(const auto& statuses, std::uint32_t status) {
  for (const std::uint32_t known : statuses) {
    if (known == status) return true;
  }
  return false;
}

APPROVAL ApprovalOf(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (type != kRegBinary || data.size() < kApprovalValueBytes) return APPROVAL::kNone;
  std::uint32_t status = 0;
  for (std::uint32_t i = kApprovalStatusBytes; i-- > 0;) status = (status << 8) | data[i];
  if (Contains(kApprovalEnabledStatuses, status)) return APPROVAL::kOn;
  if (Contains(kApprovalDisabledStatuses, status)) return APPROVAL::kOff;
  return APPROVAL::kNone;
}

// The entry's switch as it is now, with the value's bytes. A missing key or value is kNone and
// 0; another failure to read it is returned.
ErrorCode ReadApproval(IRegistry& registry, const APPROVAL_VALUE& where, APPROVAL* approval,
                       std::vector<std::uint8_t>* data) {
  *approval = APPROVAL::kNone;
  if (where.root == kNullRegHandle) return kErrorSuccess;
  CRegKey key(registry);
  std::uint32_t type = kRegNone;
  ErrorCode rc = key.Open(where.root, where.key, kKeyRead);
  if (rc == kErrorSuccess) rc = key.QueryRaw(where.name, &type, data);
  if (rc == kErrorFileNotFound) return kErrorSuccess;
  if (rc == kErrorSuccess) *approval = ApprovalOf(type, *data);
  return rc;
}

// Whether the system's switch keeps the entry from starting (a switch that cannot be read does
// not).
bool ApprovalKeepsOff(IRegistry& registry, const APPROVAL_VALUE& where) {
  APPROVAL approval = APPROVAL::kNone;
  std::vector<std::uint8_t> data;
  return ReadApproval(registry, where, &approval, &data) == kErrorSuccess &&
         approval == APPROVAL::kOff;
}

// Rewrites a switch that keeps the entry off in its enabled form, as the system writes it: the
// status without its off bit, the switched-off time zero, any further bytes as they were. Nothing
// is written when no switch keeps it off.
ErrorCode TurnApprovalOn(IRegistry& registry, const APPROVAL_VALUE& where) {
  APPROVAL approval = APPROVAL::kNone;
  std::vector<std::uint8_t> data;
  ErrorCode rc = ReadApproval(registry, where, &approval, &data);
  if (rc != kErrorSuccess || approval != APPROVAL::kOff) return rc;
  data[0] = static_cast<std::uint8_t>(data[0] & ~kApprovalOffBit);
  for (std::uint32_t i = kApprovalStatusBytes; i < kApprovalValueBytes; ++i) data[i] = 0;
  CRegKey key(registry);
  rc = key.Open(where.root, where.key, kKeyQueryValue | kKeySetValue);
  if (rc != kErrorSuccess) return rc;
  return registry.SetValue(key.get(), where.name, kRegBinary, data.data(),
                           static_cast<std::uint32_t>(data.size()));
}

std::wstring_view FileNameOf(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// The Startup folder of a location text, from the Shell Folders key; empty when it is not one or
// the value cannot be read.
std::wstring StartupFolder(IRegistry& registry, std::wstring_view location) {
  RegHandle root = kNullRegHandle;
  if (location == kLocationStartup) root = kHkeyCurrentUser;
  if (location == kLocationCommonStartup) root = kHkeyLocalMachine;
  if (root == kNullRegHandle) return {};
  CRegKey key(registry);
  if (key.Open(root, kShellFoldersKey, kKeyRead) != kErrorSuccess) return {};
  std::wstring folder;
  if (key.QueryString(location, kFolderPathBytes, &folder) != kErrorSuccess) return {};
  return WithoutTrailingBackslashes(std::move(folder));
}

bool EndsWithShortcutExtension(std::wstring_view fileName) {
  return fileName.size() > kShortcutExtension.size() &&
         EqualsNoCase(fileName.substr(fileName.size() - kShortcutExtension.size()),
                      kShortcutExtension);
}

// The shortcut files of a Startup folder (none when it cannot be listed).
std::vector<std::wstring> ShortcutFiles(IFileSystem& files, std::wstring_view folder) {
  std::vector<CFindData> entries;
  std::vector<std::wstring> names;
  if (files.FindFiles(JoinPath(folder, kShortcutPattern), &entries) != kErrorSuccess) return names;
  for (CFindData& entry : entries) {
    if (!entry.directory && EndsWithShortcutExtension(entry.name)) {
      names.push_back(std::move(entry.name));
    }
  }
  return names;
}

std::wstring_view WithoutExtension(std::wstring_view fileName) {
  return fileName.substr(0, fileName.size() - kShortcutExtension.size());
}

// Data of a registry value as text: every whole UTF-16 unit up to the first NUL.
std::wstring DataText(const std::uint8_t* data, std::size_t bytes) {
  return std::wstring(TruncateAtNul(FromUtf16LeBytes(data, bytes)));
}

// The subkey names of an open key, from index 0 to its end; a name too long for the buffer is
// passed over.
std::vector<std::wstring> SubkeyNames(const CRegKey& key) {
  std::vector<std::wstring> names;
  std::wstring name;
  for (std::uint32_t index = 0;; ++index) {
    const ErrorCode rc = key.EnumKeyName(index, kRecordNameChars, &name);
    if (EndsEnumeration(rc)) break;
    if (rc == kErrorSuccess) names.push_back(name);
  }
  return names;
}

// A record's value, empty when it is missing or cannot be read.
std::wstring RecordValue(const CRegKey& record, std::wstring_view name) {
  std::wstring text;
  if (record.QueryString(name, kRecordValueBytes, &text) != kErrorSuccess) return {};
  return text;
}

// Writes every value of a new record; on any failure the record is deleted again and the
// failure returned.
ErrorCode WriteRecord(
    IRegistry& registry, const std::wstring& recordPath,
    std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> values) {
  ErrorCode rc = kErrorSuccess;
  {
    CRegKey record(registry);
    bool created = false;
    rc = record.Create(kHkeyLocalMachine, recordPath, kKeyAllAccess, &created);
    if (rc != kErrorSuccess) return rc;
    // An existing record holds another disabled entry: never written over.
    if (!created) return kErrorAlreadyExists;
    for (const auto& [name, text] : values) {
      rc = record.SetString(name, text);
      if (rc != kErrorSuccess) break;
    }
  }
  if (rc != kErrorSuccess)
    static_cast<void>(DeleteKeyTree(registry, kHkeyLocalMachine, recordPath));
  return rc;
}

ErrorCode DisableRunValue(const CPlatform& platform, const StartupItem& item) {
  if (!IsRecordName(item.name)) return kErrorInvalidParameter;
  IRegistry& registry = platform.registry;
  const std::size_t separator = item.location.find(kStartupLocationSeparator);
  const std::wstring rootText = item.location.substr(0, separator);
  const STARTUP_RUN_KEY* run = RunKeyOfLocation(item.location);
  const RegHandle root = run != nullptr ? run->root : RootOfLocation(rootText);
  if (root == kNullRegHandle) return kErrorInvalidParameter;
  const std::wstring keyPath =
      run != nullptr ? std::wstring(run->keyPath)
                     : std::wstring(kStartupRunKeyParent) + item.location.substr(separator + 1);

  CRegKey runKey(registry);
  ErrorCode rc = runKey.Open(root, keyPath, kKeyAllAccess);
  if (rc != kErrorSuccess) return rc;
  // The value as it is now is what the record keeps (it may have changed since the list was made).
  std::vector<std::uint8_t> data;
  std::uint32_t type = kRegSz;
  rc = runKey.QueryRaw(item.name, &type, &data);
  if (rc != kErrorSuccess) return rc;
  const std::wstring command = DataText(data.data(), data.size());

  const std::wstring recordPath = JoinPath(kStartupRegRecords, item.name);
  rc = WriteRecord(registry, recordPath,
                   {{kRecordItem, item.name},
                    {kRecordCommand, command},
                    {kRecordHkey, rootText},
                    {kRecordKey, keyPath}});
  if (rc != kErrorSuccess) return rc;
  if (type == kRegExpandSz) {
    CRegKey record(registry);
    rc = record.Open(kHkeyLocalMachine, recordPath, kKeyAllAccess);
    if (rc == kErrorSuccess) {
      const std::uint32_t stored = kRegExpandSz;
      rc = registry.SetValue(record.get(), kRecordValueType, kRegDword,
                             reinterpret_cast<const std::uint8_t*>(&stored), sizeof(stored));
    }
    if (rc != kErrorSuccess) {
      record.Close();
      static_cast<void>(DeleteKeyTree(registry, kHkeyLocalMachine, recordPath));
      return rc;
    }
  }
  rc = registry.DeleteValue(runKey.get(), item.name);
  if (rc != kErrorSuccess) {
    // Still enabled: a record beside it would list it twice.
    static_cast<void>(DeleteKeyTree(registry, kHkeyLocalMachine, recordPath));
  }
  return rc;
}

ErrorCode EnableRunValue(const CPlatform& platform, const StartupItem& item) {
  if (!IsRecordName(item.name)) return kErrorInvalidParameter;
  IRegistry& registry = platform.registry;
  const std::wstring recordPath = JoinPath(kStartupRegRecords, item.name);
  {
    CRegKey record(registry);
    ErrorCode rc = record.Open(kHkeyLocalMachine, recordPath, kKeyAllAccess);
    if (rc != kErrorSuccess) return rc;
    std::wstring hkey;
    std::wstring keyPath;
    std::wstring name;
    std::wstring command;
    if ((rc = record.QueryString(kRecordHkey, kRecordValueBytes, &hkey)) != kErrorSuccess ||
        (rc = record.QueryString(kRecordKey, kRecordValueBytes, &keyPath)) != kErrorSuccess ||
        (rc = record.QueryString(kRecordItem, kRecordValueBytes, &name)) != kErrorSuccess ||
        (rc = record.QueryString(kRecordCommand, kRecordValueBytes, &command)) != kErrorSuccess) {
      return rc;
    }
    const RegHandle root = RootOfRecord(hkey);
    // Without a key path or a name the command would land on the root or in a default value.
    if (root == kNullRegHandle || keyPath.empty() || name.empty()) return kErrorInvalidData;
    CRegKey runKey(registry);
    rc = runKey.Open(root, keyPath, kKeyAllAccess);
    if (rc != kErrorSuccess) return rc;
    // The system's switch of the entry is turned on first: back in its key under a switch that
    // is off, the entry would not start, and the record that says how to undo it would be gone.
    const APPROVAL_VALUE approval = RunValueApproval(RunKeyOfPath(root, keyPath), name);
    // A value of that name already there (the program added itself again) is never written
    // over: the same command just ends the record, another one keeps it.
    std::vector<std::uint8_t> present;
    if (runKey.QueryRaw(name, nullptr, &present) == kErrorSuccess) {
      if (DataText(present.data(), present.size()) != command) return kErrorAlreadyExists;
      rc = TurnApprovalOn(registry, approval);
      if (rc != kErrorSuccess) return rc;
      record.Close();
      return DeleteKeyTree(registry, kHkeyLocalMachine, recordPath);
    }
    rc = TurnApprovalOn(registry, approval);
    if (rc != kErrorSuccess) return rc;
    std::uint32_t type = kRegSz;
    std::vector<std::uint8_t> stored;
    if (record.QueryRaw(kRecordValueType, nullptr, &stored) == kErrorSuccess &&
        stored.size() == sizeof(std::uint32_t) && stored[0] == kRegExpandSz && stored[1] == 0 &&
        stored[2] == 0 && stored[3] == 0) {
      type = kRegExpandSz;
    }
    const std::vector<std::uint8_t> bytes = ToUtf16LeBytes(command, true);
    rc = registry.SetValue(runKey.get(), name, type, bytes.data(),
                           static_cast<std::uint32_t>(bytes.size()));
    if (rc != kErrorSuccess) return rc;
  }
  platform.clock.Sleep(kEnableSettleMilliseconds);
  return DeleteKeyTree(registry, kHkeyLocalMachine, recordPath);
}

ErrorCode DisableShortcut(const CPlatform& platform, const StartupItem& item) {
  const std::wstring folder = StartupFolder(platform.registry, item.location);
  if (folder.empty()) return kErrorPathNotFound;
  std::wstring windowsFolder;
  ErrorCode rc = platform.shell.GetFolderPath(kCsidlWindows, &windowsFolder);
  if (rc != kErrorSuccess) return rc;
  const std::wstring backupFolder =
      JoinPath(WithoutTrailingBackslashes(std::move(windowsFolder)), kShortcutBackupFolder);

  ErrorCode result = kErrorFileNotFound;  // until a file of that name is seen
  for (const std::wstring& file : ShortcutFiles(platform.files, folder)) {
    if (WithoutExtension(file) != item.name) continue;
    if (result == kErrorFileNotFound) result = kErrorSuccess;
    if (!platform.files.IsDirectory(backupFolder)) {
      rc = platform.files.MakeDirectory(backupFolder);
      if (rc != kErrorSuccess && rc != kErrorAlreadyExists) return rc;
    }
    const std::wstring path = JoinPath(folder, file);
    const std::wstring backup = JoinPath(backupFolder, file) + item.location;
    std::wstring recordName = path;
    for (wchar_t& c : recordName) {
      if (c == L'\\') c = kRecordPathSeparator;
    }
    const std::wstring recordPath = JoinPath(kStartupFolderRecords, recordName);
    {
      CRegKey existing(platform.registry);
      rc = existing.Open(kHkeyLocalMachine, recordPath, kKeyRead) == kErrorSuccess
               ? kErrorAlreadyExists
               : platform.files.MovePath(path, backup);
    }
    if (rc == kErrorSuccess) {
      rc = WriteRecord(platform.registry, recordPath,
                       {{kRecordItem, item.name},
                        {kRecordCommand, item.command},
                        {kRecordLocation, item.location},
                        {kRecordPath, path},
                        {kRecordBackup, backup}});
      // Without its record the moved file would be listed nowhere: it goes back.
      if (rc != kErrorSuccess) static_cast<void>(platform.files.MovePath(backup, path));
    }
    if (rc != kErrorSuccess && result == kErrorSuccess) result = rc;
  }
  return result;
}

ErrorCode EnableShortcut(const CPlatform& platform, const StartupItem& item) {
  IRegistry& registry = platform.registry;
  std::vector<std::wstring> recordNames;
  {
    CRegKey records(registry);
    const ErrorCode rc = records.Open(kHkeyLocalMachine, kStartupFolderRecords, kKeyRead);
    if (rc != kErrorSuccess) return rc;
    recordNames = SubkeyNames(records);
  }
  ErrorCode result = kErrorFileNotFound;  // until a record of the entry is seen
  for (const std::wstring& recordName : recordNames) {
    if (recordName.empty()) continue;
    const std::wstring recordPath = JoinPath(kStartupFolderRecords, recordName);
    std::wstring values[5];
    bool complete = true;
    {
      CRegKey record(registry);
      if (record.Open(kHkeyLocalMachine, recordPath, kKeyRead) != kErrorSuccess) continue;
      const std::wstring_view names[5] = {kRecordLocation, kRecordItem, kRecordCommand, kRecordPath,
                                          kRecordBackup};
      for (int i = 0; i < 5; ++i) {
        if (record.QueryString(names[i], kRecordValueBytes, &values[i]) != kErrorSuccess) {
          complete = false;
        }
      }
    }
    const std::wstring& location = values[0];
    const std::wstring& name = values[1];
    const std::wstring& path = values[3];
    const std::wstring& backup = values[4];
    if (name != item.name || location != item.location) continue;
    if (result == kErrorFileNotFound) result = kErrorSuccess;
    ErrorCode rc = complete ? kErrorSuccess : kErrorInvalidData;
    if (rc == kErrorSuccess) {
      rc = TurnApprovalOn(registry, ShortcutApproval(location, FileNameOf(path)));
    }
    if (rc == kErrorSuccess) rc = platform.files.MovePath(backup, path);
    // The record goes only once the file is back where it started.
    if (rc == kErrorSuccess) rc = DeleteKeyTree(registry, kHkeyLocalMachine, recordPath);
    if (rc != kErrorSuccess && result == kErrorSuccess) result = rc;
  }
  return result;
}

}  // namespace

bool StartupItem::IsRegistryEntry() const {
  return location.find(kStartupLocationSeparator) != std::wstring::npos;
}

ErrorCode StartupItem::Disable(const CPlatform& platform) const {
  return IsRegistryEntry() ? DisableRunValue(platform, *this) : DisableShortcut(platform, *this);
}

ErrorCode StartupItem::Enable(const CPlatform& platform) const {
  if (approvalOff) {
    const APPROVAL_VALUE where =
        IsRegistryEntry() ? RunValueApproval(RunKeyOfLocation(location), name)
                          : ShortcutApproval(location, name + std::wstring(kShortcutExtension));
    if (where.root == kNullRegHandle) return kErrorInvalidParameter;
    return TurnApprovalOn(platform.registry, where);
  }
  return IsRegistryEntry() ? EnableRunValue(platform, *this) : EnableShortcut(platform, *this);
}

std::wstring ResolveShortcut(IShell& shell, std::wstring_view path) {
  std::wstring file(path);
  if (ToLower(file).find(kShortcutExtension) == std::wstring::npos) file += kShortcutExtension;
  SHORTCUT_INFO info;
  const ErrorCode rc = shell.ReadShortcut(file, &info);
  if (rc != kErrorSuccess && rc != kErrorShortcutHasNoTarget) return {};
  return info.target + L" " + info.arguments;
}

void CStartupManager::Add(StartupItem item) {
  if (item.name.empty() && item.command.empty()) return;
  // The product's own start-up entry is never offered.
  if (EqualsNoCase(item.name, kProductName)) return;
  item.checked = item.enabled;
  m_items.push_back(std::move(item));
}

void CStartupManager::Refresh() {
  m_items.clear();
  IRegistry& registry = m_platform.registry;

  // An entry in its startup location is On unless the system's switch keeps it off.
  const auto add = [&](StartupItem item, const APPROVAL_VALUE& approval) {
    item.approvalOff = ApprovalKeepsOff(registry, approval);
    item.enabled = !item.approvalOff;
    Add(std::move(item));
  };

  for (const STARTUP_RUN_KEY& run : kStartupRunKeys) {
    CRegKey key(registry);
    if (key.Open(run.root, run.keyPath, kKeyRead) != kErrorSuccess) continue;
    std::vector<wchar_t> name(kRunValueNameChars);
    std::vector<std::uint8_t> data(kRunValueDataBytes);
    for (std::uint32_t index = 0;; ++index) {
      std::uint32_t nameChars = kRunValueNameChars;
      std::uint32_t dataBytes = kRunValueDataBytes;
      const ErrorCode rc = registry.EnumValue(key.get(), index, name.data(), &nameChars, nullptr,
                                              data.data(), &dataBytes);
      if (EndsEnumeration(rc)) break;
      if (rc != kErrorSuccess) continue;  // too large for the buffers: the rest are still listed
      std::wstring valueName(name.data(), nameChars);
      if (PassOverNulName(JoinPath(RootKeyName(run.root), run.keyPath), valueName)) continue;
      const APPROVAL_VALUE approval = RunValueApproval(&run, valueName);
      add({std::move(valueName), DataText(data.data(), dataBytes), std::wstring(run.location)},
          approval);
    }
  }

  for (std::wstring_view location : {kLocationStartup, kLocationCommonStartup}) {
    const std::wstring folder = StartupFolder(registry, location);
    if (folder.empty()) continue;
    for (const std::wstring& file : ShortcutFiles(m_platform.files, folder)) {
      add({std::wstring(WithoutExtension(file)),
           ResolveShortcut(m_platform.shell, JoinPath(folder, file)), std::wstring(location)},
          ShortcutApproval(location, file));
    }
  }

  for (std::wstring_view records : {kStartupFolderRecords, kStartupRegRecords}) {
    CRegKey parent(registry);
    if (parent.Open(kHkeyLocalMachine, records, kKeyRead) != kErrorSuccess) continue;
    const bool shortcuts = records == kStartupFolderRecords;
    for (const std::wstring& recordName : SubkeyNames(parent)) {
      if (PassOverNulName(JoinPath(kHkeyLocalMachineName, records), recordName)) continue;
      CRegKey record(registry);
      if (record.Open(parent.get(), recordName, kKeyRead) != kErrorSuccess) continue;
      std::wstring location = shortcuts
                                  ? RecordValue(record, kRecordLocation)
                                  : RecordValue(record, kRecordHkey) + kStartupLocationSeparator +
                                        RecordValue(record, kRecordKey);
      Add({RecordValue(record, kRecordItem), RecordValue(record, kRecordCommand),
           std::move(location), false, false});
    }
  }
}

bool CStartupManager::PassOverNulName(std::wstring_view keyText, std::wstring_view name) const {
  if (!HasNulCharacter(name)) return false;
  if (m_log != nullptr) {
    const std::wstring shown = JoinPath(keyText, VisibleRegName(name));
    static_cast<void>(m_log->WriteLog(FormatWithStrings(kStartupNulNameLog, {shown})));
  }
  return true;
}

bool CStartupManager::Flip(std::size_t index) {
  if (index >= m_items.size()) return false;
  m_items[index].checked = !m_items[index].checked;
  return m_items[index].checked;
}

void CStartupManager::SetChecked(std::size_t index, bool checked) {
  if (index < m_items.size()) m_items[index].checked = checked;
}

int CStartupManager::Apply() {
  int failed = 0;
  for (std::size_t i = m_items.size(); i-- > 0;) {
    const StartupItem& item = m_items[i];
    if (item.checked == item.enabled) continue;
    const ErrorCode rc = item.checked ? item.Enable(m_platform) : item.Disable(m_platform);
    if (rc != kErrorSuccess) ++failed;
  }
  Refresh();
  return failed;
}

}  // namespace qv
