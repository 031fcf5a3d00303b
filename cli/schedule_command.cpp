#include "cli/schedule_command.h"

#include <windows.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/utf16.h"
#include "cli/report.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_scheduled_tasks.h"
#include "platform/win32/win32_shell.h"
#include "tools/schedule.h"

namespace qv {
namespace {

constexpr char kScheduleDescription[] = "Show or make the scheduled scan's task";
constexpr char kScheduleDetails[] =
    "The scheduled scan is the Task Scheduler task \"Quarvelo\": it starts Quarvelo.exe -t (open\n"
    "and scan at once) at the times of its triggers, while its user is logged on. The main\n"
    "window's Manage Schedule makes it too and edits its triggers. A task of that name that\n"
    "starts another program is not this program's: it is shown as such, and never replaced,\n"
    "changed or deleted.\n"
    "Exit codes: 0 done, 1 the Task Scheduler refused or the task starts another program,\n"
    "2 usage error.\n";
constexpr char kShowDescription[] = "List the task's triggers as the schedule page lists them";
constexpr char kCreateDescription[] =
    "Make the task for Quarvelo.exe beside this program (kept when it exists)";
constexpr char kDeleteDescription[] = "Delete the task";

std::wstring HexCode(ErrorCode code) {
  wchar_t buffer[16] = {};
  std::swprintf(buffer, 16, L"0x%x", static_cast<unsigned>(code));
  return buffer;
}

// "H:MM" or "HH:MM" on the 24-hour clock.
bool ParseClockTime(const std::string& text, int* hour, int* minute) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  }
  *hour = std::stoi(text.substr(0, colon));
  *minute = std::stoi(text.substr(colon + 1));
  return *hour <= 23 && *minute <= 59;
}

// Quarvelo.exe in this program's folder: the scheduled task starts the launcher, never the
// console.
std::wstring LauncherBesideThisProgram() {
  CWin32Shell shell;
  const std::wstring program = shell.ModuleFileName();
  const std::size_t slash = program.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? std::wstring() : program.substr(0, slash);
  return folder + L"\\" + kLauncherFileName;
}

// A task of the scan's name that starts another program is left alone: said on standard error,
// and 1 for create and delete.
int RefuseOtherProgramTask(const SCAN_TASK& task, const SCAN_TASK_OWNERSHIP& ownership,
                           const CStdStream& err) {
  static_cast<void>(err.WriteText(
      Message(TrFormat(kScheduleOtherProgram, {OtherProgramTaskLine(task.name, ownership)}))));
  return 1;
}

int Show(bool json, const CStdStream& out) {
  CWin32ScheduledTasks tasks;
  const SCAN_TASK task = ScanTaskFor(LauncherBesideThisProgram());
  const bool exists = tasks.TaskExists(task.name);
  const SCAN_TASK_OWNERSHIP ownership = ScanTaskOwner(tasks, task);
  const bool other = ownership.owner == SCAN_TASK_OWNER::kOtherProgram;
  std::vector<std::wstring> triggers;
  // The JSON's descriptions stay English, as documented; the text is in the user's language.
  TRIGGER_WORDING english;
  english.words = WORDING::kEnglish;
  if (!other && GetTriggerStrings(tasks, task.name, &triggers, english)) SortAsListBox(&triggers);
  if (json) {
    using Json = nlohmann::ordered_json;
    Json report = Json::object();
    report["task"] = exists;
    if (other) report["otherProgram"] = ToUtf8(ownership.application);
    Json lines = Json::array();
    for (const std::wstring& line : triggers) lines.push_back(ToUtf8(line));
    report["triggers"] = lines;
    return out.WriteUtf8(report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n")
               ? 0
               : kExitError;
  }
  std::wstring text = std::wstring(Tr(kScheduleListHeading)) + L"\n";
  for (const std::wstring& line : ScanScheduleLines(tasks, task)) text += L"  " + line + L"\n";
  if (!exists) text += TrFormat(kScheduleNoTask, {task.name}) + L"\n";
  return out.WriteText(text) ? 0 : kExitError;
}

int Create(const std::string& daily, const CStdStream& out, const CStdStream& err) {
  int hour = 0;
  int minute = 0;
  if (!daily.empty() && !ParseClockTime(daily, &hour, &minute)) {
    static_cast<void>(err.WriteText(Message(TrFormat(kScheduleBadTime, {FromUtf8(daily)}))));
    return kExitError;
  }
  const SCAN_TASK task = ScanTaskFor(LauncherBesideThisProgram());
  if (GetFileAttributesW(task.settings.application.c_str()) == INVALID_FILE_ATTRIBUTES) {
    static_cast<void>(err.WriteText(
        Message(TrFormat(kScheduleLauncherMissing, {task.settings.application}))));
    return 1;
  }
  CWin32ScheduledTasks tasks;
  const SCAN_TASK_OWNERSHIP ownership = ScanTaskOwner(tasks, task);
  if (ownership.owner == SCAN_TASK_OWNER::kOtherProgram) {
    return RefuseOtherProgramTask(task, ownership, err);
  }
  std::wstring text;
  if (ownership.owner == SCAN_TASK_OWNER::kThisProgram) {
    text = TrFormat(kScheduleTaskKept, {task.name}) + L"\n";
  } else {
    const ErrorCode created = CreateScanTask(tasks, task);
    if (created != kErrorSuccess) {
      static_cast<void>(err.WriteText(
          Message(TrFormat(kScheduleTaskNotCreated, {task.name, HexCode(created)}))));
      return 1;
    }
    text = TrFormat(kScheduleTaskCreated,
                    {task.name, task.settings.application, task.settings.parameters}) +
           L"\n";
  }
  if (!daily.empty()) {
    CWin32Clock clock;
    const SCHEDULE_TRIGGER trigger = DailyTrigger(clock.ToLocalTime(clock.Now()), hour, minute);
    const ErrorCode added = tasks.AddTrigger(task.name, trigger);
    if (added != kErrorSuccess) {
      static_cast<void>(out.WriteText(text));
      static_cast<void>(
          err.WriteText(Message(TrFormat(kScheduleTriggerNotAdded, {HexCode(added)}))));
      return 1;
    }
    text += TrFormat(kScheduleTriggerAdded, {DescribeTrigger(trigger)}) + L"\n";
  }
  return out.WriteText(text) ? 0 : kExitError;
}

int Delete(bool ifExists, const CStdStream& out, const CStdStream& err) {
  CWin32ScheduledTasks tasks;
  const SCAN_TASK task = ScanTaskFor(LauncherBesideThisProgram());
  const std::wstring& name = task.name;
  const SCAN_TASK_OWNERSHIP ownership = ScanTaskOwner(tasks, task);
  if (ownership.owner == SCAN_TASK_OWNER::kOtherProgram) {
    return RefuseOtherProgramTask(task, ownership, err);
  }
  const ErrorCode deleted = tasks.DeleteTask(name);
  if (deleted == kTaskNotFound && ifExists) {
    return out.WriteText(TrFormat(kScheduleNoTaskNamed, {name}) + L"\n") ? 0 : kExitError;
  }
  if (deleted != kErrorSuccess) {
    static_cast<void>(err.WriteText(
        Message(deleted == kTaskNotFound
                    ? TrFormat(kScheduleTaskMissing, {name})
                    : TrFormat(kScheduleTaskNotDeleted, {name, HexCode(deleted)}))));
    return 1;
  }
  return out.WriteText(TrFormat(kScheduleTaskDeleted, {name}) + L"\n") ? 0 : kExitError;
}

}  // namespace

CScheduleCommand::CScheduleCommand(CLI::App& app)
    : m_command(app.add_subcommand("schedule", kScheduleDescription)) {
  m_command->footer(kScheduleDetails);
  m_command->require_subcommand(1, 1);
  m_show = m_command->add_subcommand("show", kShowDescription);
  m_show->add_flag("--json", m_json,
                   "UTF-8 JSON {\"task\": true|false, \"triggers\": [\"...\"]}, and "
                   "\"otherProgram\" when the task starts another program");
  m_create = m_command->add_subcommand("create", kCreateDescription);
  m_create->add_option("--daily", m_daily, "Also add a trigger every day at this time, from today")
      ->type_name("HH:MM");
  m_delete = m_command->add_subcommand("delete", kDeleteDescription);
  m_delete->add_flag("--if-exists", m_ifExists, "No task is no failure (exit code 0)");
}

int CScheduleCommand::Run(const CStdStream& out, const CStdStream& err) const {
  if (m_show->parsed()) return Show(m_json, out);
  if (m_create->parsed()) return Create(m_daily, out, err);
  if (m_delete->parsed()) return Delete(m_ifExists, out, err);
  return kExitError;
}

}  // namespace qv
