#include "cli/startup_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/win32/system_application.h"
#include "base/text.h"
#include "base/text_case.h"
#include "base/utf16.h"
#include "cli/console_output.h"
#include "cli/report.h"
#include "tools/startup_manager.h"
#include "tools/startup_texts.h"

namespace qv {
namespace {

using Json = nlohmann::json;

constexpr char kStartupDescription[] =
    "List the programs that start with Windows, switch them off or on";
constexpr char kListDescription[] = "List the startup entries";
constexpr char kDisableDescription[] = "Switch a startup entry off (it can be switched on again)";
constexpr char kEnableDescription[] = "Switch a disabled startup entry on again";
constexpr char kStartupDetails[] =
    "The entries are the values of the Run and RunOnce keys of HKEY_CURRENT_USER and\n"
    "HKEY_LOCAL_MACHINE and of the machine's 32-bit Run key (HKEY_LOCAL_MACHINE/Run32), the\n"
    "shortcuts of the user's and the common Startup folder, and the entries disabled in the\n"
    "System Configuration Utility's format (records under\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSConfig), whichever tool disabled\n"
    "them. An entry that Task Manager or Settings switched off is listed Off where it is.\n"
    "Disabling a Run value moves it into a startupreg record; disabling a shortcut moves the\n"
    "file into the pss folder of the Windows folder and writes a startupfolder record;\n"
    "enabling puts it back and removes the record. Enabling an entry that Task Manager or\n"
    "Settings switched off turns their switch on (and nothing else); enabling a record turns\n"
    "it on too when one keeps the entry off. The records live under HKEY_LOCAL_MACHINE:\n"
    "disable and enable need administrator rights (run them from an elevated prompt); list\n"
    "does not.\n\n"
    "NAME is an entry's name as list shows it (any case). When a name is listed more than once,\n"
    "--location names the entry by its location text as list shows it.\n\n"
    "Output: list writes one line per entry (On or Off, name, command, location, separated by\n"
    "tabs); --json writes UTF-8 {\"items\": [{\"name\", \"command\", \"location\", \"enabled\"}]}\n"
    "in the same order.\n\n"
    "Exit codes:\n"
    "  0  done, or the entry was already on or off as asked\n"
    "  1  the entry could not be switched (it stays as it was; the reason is named)\n"
    "  2  usage error, or NAME (with --location) names no entry or more than one\n";

std::wstring StatusText(bool enabled) {
  return std::wstring(Tr(enabled ? kStartupStatusOn : kStartupStatusOff));
}

std::wstring ListText(const std::vector<StartupItem>& items) {
  if (items.empty()) return std::wstring(Tr(kNoStartupEntries)) + L"\n";
  std::wstring text;
  for (const StartupItem& item : items) {
    text += StatusText(item.enabled) + L'\t' + item.name + L'\t' + item.command + L'\t' +
            item.location + L'\n';
  }
  return text;
}

std::string ListJson(const std::vector<StartupItem>& items) {
  Json list = Json::array();
  for (const StartupItem& item : items) {
    list.push_back(Json{{"name", ToUtf8(item.name)},
                        {"command", ToUtf8(item.command)},
                        {"location", ToUtf8(item.location)},
                        {"enabled", item.enabled}});
  }
  return Json{{"items", std::move(list)}}.dump(2, ' ', false, Json::error_handler_t::replace) +
         "\n";
}

std::wstring Locations(const std::vector<const StartupItem*>& items) {
  std::wstring text;
  for (const StartupItem* item : items) text += L"  " + item->location + L"\n";
  return text;
}

// Why an entry could not be switched, in words, for the errors the manager gives.
std::wstring_view Reason(ErrorCode error) {
  switch (error) {
    case kErrorAccessDenied:
      return Tr(kStartupReasonAccessDenied);
    case kErrorAlreadyExists:
      return Tr(kStartupReasonTaken);
    case kErrorFileNotFound:
    case kErrorPathNotFound:
      return Tr(kStartupReasonNotFound);
    case kErrorInvalidParameter:
      return Tr(kStartupReasonName);
    case kErrorInvalidData:
      return Tr(kStartupReasonRecord);
    default:
      return Tr(kStartupReasonRefused);
  }
}

}  // namespace

CStartupCommand::CStartupCommand(CLI::App& program) {
  m_command = program.add_subcommand("startup", kStartupDescription);
  m_command->footer(kStartupDetails);
  m_command->require_subcommand(1, 1);
  m_list = m_command->add_subcommand("list", kListDescription);
  m_list->add_flag("--json", m_json,
                   "UTF-8 JSON {\"items\": [{\"name\", \"command\", \"location\", \"enabled\"}]}");
  m_disable = m_command->add_subcommand("disable", kDisableDescription);
  m_enable = m_command->add_subcommand("enable", kEnableDescription);
  for (CLI::App* command : {m_disable, m_enable}) {
    command->add_option("NAME", m_name, "The entry's name, as list shows it")->required();
    command
        ->add_option("--location", m_location,
                     "The entry's location text, as list shows it, when the name is listed "
                     "more than once")
        ->type_name("TEXT");
  }
}

bool CStartupCommand::Parsed() const { return m_command->parsed(); }

int CStartupCommand::Run(const CStdStream& out, const CStdStream& err) const {
  CSystemApplication app;
  WriteNotices(err, app.SecureDataFolders());
  CStartupManager manager(app.Platform(), &app.Log());
  manager.Refresh();
  if (m_list->parsed()) {
    const bool written = m_json ? out.WriteUtf8(ListJson(manager.Items()))
                                : out.WriteText(ListText(manager.Items()));
    return written ? 0 : kExitError;
  }

  const bool enable = m_enable->parsed();
  const std::wstring name = FromUtf8(m_name);
  const std::wstring location = FromUtf8(m_location);
  std::vector<const StartupItem*> named;
  for (const StartupItem& item : manager.Items()) {
    if (EqualsNoCase(item.name, name)) named.push_back(&item);
  }
  std::vector<const StartupItem*> chosen;
  for (const StartupItem* item : named) {
    if (location.empty() || EqualsNoCase(item->location, location)) chosen.push_back(item);
  }
  if (named.empty()) {
    static_cast<void>(err.WriteText(Message(TrFormat(kStartupNoEntryNamed, {name}))));
    return kExitError;
  }
  if (chosen.empty()) {
    static_cast<void>(err.WriteText(Message(TrFormat(kStartupNotAt, {name, location})) +
                                    Locations(named)));
    return kExitError;
  }
  if (chosen.size() > 1) {
    static_cast<void>(err.WriteText(Message(TrFormat(kStartupListedTwice, {name})) +
                                    Locations(chosen)));
    return kExitError;
  }

  const StartupItem& item = *chosen.front();
  const std::wstring label = item.name + L" (" + item.location + L")";
  if (item.enabled == enable) {
    return out.WriteText(TrFormat(kStartupAlready, {label, StatusText(enable)}) + L"\n")
               ? 0
               : kExitError;
  }
  const ErrorCode rc = enable ? item.Enable(app.Platform()) : item.Disable(app.Platform());
  static_cast<void>(app.Log().WriteLog(std::wstring(enable ? L"Enabled" : L"Disabled") +
                                       L" startup entry " + label + L", result " +
                                       DecimalText(rc)));
  if (rc != kErrorSuccess) {
    static_cast<void>(err.WriteText(Message(TrFormat(
        enable ? kStartupNotEnabled : kStartupNotDisabled, {label, Reason(rc), DecimalText(rc)}))));
    return 1;
  }
  return out.WriteText(TrFormat(enable ? kStartupEnabled : kStartupDisabled, {label}) + L"\n")
             ? 0
             : kExitError;
}

}  // namespace qv
