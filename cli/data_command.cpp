#include "cli/data_command.h"

#include <string>

#include "app/product_data.h"
#include "base/text.h"
#include "cli/report.h"
#include "platform/win32/win32_platform.h"
#include "state/settings.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr char kDataDescription[] =
    "Prepare or remove what Quarvelo keeps on this machine (run by its installer and uninstaller)";
constexpr char kDataDetails[] =
    "The product data folder (the common application-data folder, then Quarvelo) holds the\n"
    "registry backups (Backup), the activity logs (LOGS) and the ignore list (ignore.wls); the\n"
    "product key HKEY_LOCAL_MACHINE\\SOFTWARE\\Quarvelo holds the settings, the statistics and\n"
    "the problems blocked by repairs. Both need administrator rights.\n"
    "Exit codes: 0 done, 1 something could not be made or removed (named on standard error),\n"
    "2 usage error.\n";
constexpr char kPrepareDescription[] =
    "Make the product data folder when it is missing, as the programs make it";
constexpr char kRemoveDescription[] =
    "Remove the product data folder with everything in it, and the product key. A folder link "
    "inside it is never followed";

int Prepare(const CStdStream& out, const CStdStream& err) {
  CWin32Platform system;
  const DATA_FOLDER_PREPARATION prepared = PrepareProductDataFolder(system.platform());
  if (prepared.error != kErrorSuccess) {
    static_cast<void>(err.WriteText(Message(
        TrFormat(kDataFolderNotMade, {prepared.folder, DecimalText(prepared.error)}))));
    return 1;
  }
  return out.WriteText(TrFormat(kDataFolder, {prepared.folder}) + L"\n") ? 0 : kExitError;
}

int Remove(const CStdStream& out, const CStdStream& err) {
  CWin32Platform system;
  const PRODUCT_DATA_REMOVAL removed = RemoveProductData(system.platform());
  int status = 0;
  if (removed.folderError != kErrorSuccess) {
    static_cast<void>(err.WriteText(Message(
        TrFormat(kDataNotRemoved, {removed.failedPath, DecimalText(removed.folderError)}))));
    status = 1;
  }
  const std::wstring key = ProductKeyPath(kProductName);
  if (removed.keyError != kErrorSuccess) {
    static_cast<void>(err.WriteText(
        Message(removed.keyError == kErrorReparsePointEncountered
                    ? TrFormat(kDataKeyLink, {key})
                    : TrFormat(kDataNotRemoved, {key, DecimalText(removed.keyError)}))));
    status = 1;
  }
  const std::wstring text =
      TrFormat(kDataRemovedFrom, {removed.folder, std::to_wstring(removed.filesRemoved),
                                  std::to_wstring(removed.foldersRemoved)}) +
      L"\n" +
      (removed.keyError == kErrorSuccess ? TrFormat(kDataRemovedKey, {key}) + L"\n"
                                         : std::wstring());
  if (!out.WriteText(text)) return kExitError;
  return status;
}

}  // namespace

CDataCommand::CDataCommand(CLI::App& app)
    : m_command(app.add_subcommand("data", kDataDescription)),
      m_prepare(m_command->add_subcommand("prepare", kPrepareDescription)),
      m_remove(m_command->add_subcommand("remove", kRemoveDescription)) {
  m_command->footer(kDataDetails);
  m_command->require_subcommand(1, 1);
}

int CDataCommand::Run(const CStdStream& out, const CStdStream& err) const {
  if (m_prepare->parsed()) return Prepare(out, err);
  if (m_remove->parsed()) return Remove(out, err);
  return kExitError;
}

}  // namespace qv
