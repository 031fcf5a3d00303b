#include "cli/backups_command.h"

#include <vector>

#include "app/win32/system_application.h"
#include "base/text.h"
#include "base/utf16.h"
#include "cli/console_output.h"
#include "cli/report.h"
#include "repair/backup_list.h"
#include "state/data_folder.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr char kDeleteDescription[] =
    "Delete a backup: its registry file, its shortcut list and the shortcuts it moved aside";
constexpr char kDeleteDetails[] =
    "Deletes NAME.reg of the backup folder with its shortcut list and the folder of shortcuts\n"
    "moved aside (QuarveloBak_<time>.bak and QuarveloBak_<time> for a repair's RCBak_<time>,\n"
    "NAME.bak for another name), as the backups page's Delete does, and logs it. A file that\n"
    "is not there is no failure. The registry file goes last, so a backup that could not be\n"
    "deleted whole stays listed; one whose NAME.reg another program holds is left whole.\n"
    "Exit codes: 0 deleted, 1 no such backup or a file could not be deleted, 2 usage error.\n";

}  // namespace

CBackupsDeleteCommand::CBackupsDeleteCommand(CLI::App& backups)
    : m_command(backups.add_subcommand("delete", kDeleteDescription)) {
  m_command->footer(kDeleteDetails);
  m_command->add_option("NAME", m_name, "The backup's name, as backups lists it")->required();
}

bool CBackupsDeleteCommand::Parsed() const { return m_command->parsed(); }

int CBackupsDeleteCommand::Run(const CStdStream& out, const CStdStream& err) const {
  const std::wstring name = FromUtf8(m_name);
  if (!IsBackupName(name)) {
    static_cast<void>(err.WriteText(Message(TrFormat(kNotBackupName, {name}))));
    return kExitError;
  }
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  const std::wstring folder = ProductDataFolderPath(app.Platform().shell, kBackupSubfolder);
  const BACKUP_DELETION deletion =
      DeleteBackups(app.Platform().files, folder, {name}, &app.Log());
  if (!deletion.removed.empty()) {
    return out.WriteText(TrFormat(kBackupDeleted, {name}) + L"\n") ? 0 : kExitError;
  }
  const BACKUP_DELETION_FAILURE& failure = deletion.failed.front();
  if (failure.error == kErrorFileNotFound) {
    static_cast<void>(err.WriteText(Message(TrFormat(kNoSuchBackup, {name}))));
  } else {
    static_cast<void>(err.WriteText(
        Message(TrFormat(kFileNotDeleted, {failure.file, DecimalText(failure.error)}))));
  }
  return 1;
}

}  // namespace qv
