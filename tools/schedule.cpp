#include "tools/schedule.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "base/text_case.h"
#include "state/state_texts.h"

namespace qv {
namespace {

constexpr std::array<UI_TEXT, 7> kDayNames = {kDaySunday,   kDayMonday, kDayTuesday, kDayWednesday,
                                              kDayThursday, kDayFriday, kDaySaturday};
constexpr std::array<UI_TEXT, 12> kMonthNames = {
    kMonthJanuary, kMonthFebruary, kMonthMarch,     kMonthApril,   kMonthMay,      kMonthJune,
    kMonthJuly,    kMonthAugust,   kMonthSeptember, kMonthOctober, kMonthNovember, kMonthDecember};
constexpr std::array<UI_TEXT, 5> kWeekNames = {kWeekFirst, kWeekSecond, kWeekThird, kWeekFourth,
                                               kWeekLast};
constexpr int kDefaultHour = 9;

std::wstring ClockText(unsigned hour, unsigned minute) {
  std::wstring text = DecimalText(hour) + L":";
  if (minute < 10) text += L"0";
  return text + DecimalText(minute);
}

std::wstring DateText(unsigned year, unsigned month, unsigned day,
                      const TRIGGER_WORDING& wording) {
  if (wording.date != nullptr) return wording.date(year, month, day);
  return DecimalText(month) + L"/" + DecimalText(day) + L"/" + DecimalText(year);
}

// "Mon, Fri": the names of the bits set, lowest first.
template <std::size_t N>
std::wstring NameList(std::uint32_t bits, const std::array<UI_TEXT, N>& names, WORDING words) {
  std::wstring text;
  for (std::size_t i = 0; i < N; ++i) {
    if ((bits & (1u << i)) == 0) continue;
    if (!text.empty()) text += Tr(kTriggerListSeparator, words);
    text += Tr(names[i], words);
  }
  return text;
}

std::wstring DayNumberList(std::uint32_t bits, WORDING words) {
  std::wstring text;
  for (unsigned day = 1; day <= 31; ++day) {
    if ((bits & (1u << (day - 1))) == 0) continue;
    if (!text.empty()) text += Tr(kTriggerListSeparator, words);
    text += DecimalText(day);
  }
  return text;
}

// "every month", or the months named.
std::wstring MonthsText(std::uint16_t months, WORDING words) {
  if ((months & kEveryMonth) == kEveryMonth || (months & kEveryMonth) == 0) {
    return std::wstring(Tr(kTriggerEveryMonth, words));
  }
  return NameList(months, kMonthNames, words);
}

// A number of minutes as "10 minute(s)", or "2 hour(s)" when whole hours.
std::wstring MinutesText(std::uint32_t minutes, WORDING words) {
  if (minutes != 0 && minutes % 60 == 0) {
    return TrFormat(kTriggerHoursFormat, {DecimalText(minutes / 60)}, words);
  }
  return TrFormat(kTriggerMinutesFormat, {DecimalText(minutes)}, words);
}

// Orders one character as a sorted list box compares text: blanks and punctuation, then digits,
// then letters, without case.
std::pair<int, char16_t> CollationKey(wchar_t c) {
  const char16_t folded = static_cast<char16_t>(ToUpperChar(c));
  if (c >= L'0' && c <= L'9') return {1, folded};
  if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c > 0x7F) return {2, folded};
  return {0, folded};
}

bool ListBoxLess(const std::wstring& a, const std::wstring& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto ka = CollationKey(a[i]);
    const auto kb = CollationKey(b[i]);
    if (ka != kb) return ka < kb;
  }
  return a.size() < b.size();
}

}  // namespace

std::wstring ScanTaskComment(std::wstring_view applicationName) {
  return L"Runs " + std::wstring(applicationName) + L" at Scheduled Time.";
}

SCAN_TASK ScanTaskFor(std::wstring_view program) {
  SCAN_TASK task;
  task.name = kProductName;
  task.settings.application = program;
  task.settings.parameters = kScanTaskParameters;
  const std::size_t slash = program.find_last_of(L"\\/");
  task.settings.workingDirectory =
      slash == std::wstring_view::npos ? std::wstring() : std::wstring(program.substr(0, slash));
  task.settings.comment = ScanTaskComment(kProductName);
  task.settings.flags = kTaskFlagRunOnlyIfLoggedOn;
  return task;
}

SCAN_TASK ScanTaskForRunningProgram(IShell& shell) { return ScanTaskFor(shell.ModuleFileName()); }

std::wstring DescribeTrigger(const SCHEDULE_TRIGGER& t, const TRIGGER_WORDING& wording) {
  const WORDING words = wording.words;
  const std::wstring begin = DateText(t.beginYear, t.beginMonth, t.beginDay, wording);
  std::wstring when;
  switch (t.type) {
    case SCHEDULE_TRIGGER_TYPE::kAtSystemStart:
      return std::wstring(Tr(kTriggerAtSystemStart, words));
    case SCHEDULE_TRIGGER_TYPE::kAtLogon:
      return std::wstring(Tr(kTriggerAtLogon, words));
    case SCHEDULE_TRIGGER_TYPE::kOnIdle:
      return std::wstring(Tr(kTriggerOnIdle, words));
    case SCHEDULE_TRIGGER_TYPE::kOnce:
      when = TrFormat(kTriggerOnDateFormat, {begin}, words);
      break;
    case SCHEDULE_TRIGGER_TYPE::kDaily:
      when = t.daysInterval <= 1
                 ? std::wstring(Tr(kTriggerEveryDay, words))
                 : TrFormat(kTriggerEveryDaysFormat, {DecimalText(t.daysInterval)}, words);
      break;
    case SCHEDULE_TRIGGER_TYPE::kWeekly: {
      const std::wstring days = NameList(t.daysOfTheWeek, kDayNames, words);
      const std::wstring weeks =
          t.weeksInterval <= 1
              ? std::wstring(Tr(kTriggerEveryWeek, words))
              : TrFormat(kTriggerEveryWeeksFormat, {DecimalText(t.weeksInterval)}, words);
      when = days.empty() ? weeks : TrFormat(kTriggerDaysOfWeeksFormat, {days, weeks}, words);
      break;
    }
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDate:
      when = TrFormat(kTriggerDaysOfMonthsFormat,
                      {DayNumberList(t.daysOfTheMonth, words), MonthsText(t.months, words)}, words);
      break;
    case SCHEDULE_TRIGGER_TYPE::kMonthlyDayOfWeek: {
      const std::size_t week = std::clamp<std::size_t>(t.whichWeek, 1, kWeekNames.size()) - 1;
      when = TrFormat(kTriggerWeekDayOfMonthsFormat,
                      {Tr(kWeekNames[week], words), NameList(t.daysOfTheWeek, kDayNames, words),
                       MonthsText(t.months, words)},
                      words);
      break;
    }
    default:
      return std::wstring(Tr(kTriggerUnknown, words));
  }
  const std::wstring clock = ClockText(t.startHour, t.startMinute);
  std::wstring text = t.minutesInterval != 0
                          ? TrFormat(kTriggerRepeatedFormat,
                                     {MinutesText(t.minutesInterval, words), clock,
                                      MinutesText(t.minutesDuration, words), when},
                                     words)
                          : TrFormat(kTriggerAtFormat, {clock, when}, words);
  if (t.type != SCHEDULE_TRIGGER_TYPE::kOnce) {
    text += TrFormat(kTriggerStartingFormat, {begin}, words);
  }
  if ((t.flags & kTriggerFlagHasEndDate) != 0) {
    text += TrFormat(kTriggerEndingFormat, {DateText(t.endYear, t.endMonth, t.endDay, wording)},
                     words);
  }
  return text;
}

std::wstring TriggerDescription(const SCHEDULE_TRIGGER_ENTRY& entry,
                                const TRIGGER_WORDING& wording) {
  if (entry.descriptionResult == kErrorSuccess && !entry.systemDescription.empty()) {
    return entry.systemDescription;
  }
  return DescribeTrigger(entry.trigger, wording);
}

bool IsActiveTrigger(const SCHEDULE_TRIGGER& trigger) {
  return (trigger.flags & kTriggerFlagDisabled) == 0;
}

void SortAsListBox(std::vector<std::wstring>* lines) {
  std::stable_sort(lines->begin(), lines->end(), &ListBoxLess);
}

bool GetTriggerStrings(IScheduledTasks& tasks, std::wstring_view taskName,
                       std::vector<std::wstring>* lines, const TRIGGER_WORDING& wording) {
  lines->clear();
  std::vector<SCHEDULE_TRIGGER_ENTRY> entries;
  if (tasks.ReadTriggers(taskName, &entries) != kErrorSuccess) return false;
  for (const SCHEDULE_TRIGGER_ENTRY& entry : entries) {
    if (IsActiveTrigger(entry.trigger)) lines->push_back(TriggerDescription(entry, wording));
  }
  return !lines->empty();
}

std::vector<std::wstring> ScheduleLines(IScheduledTasks& tasks, std::wstring_view taskName,
                                        const TRIGGER_WORDING& wording) {
  std::vector<std::wstring> lines;
  if (!GetTriggerStrings(tasks, taskName, &lines, wording)) {
    return {std::wstring(Tr(kScheduleNotActiveLine, wording.words))};
  }
  SortAsListBox(&lines);
  return lines;
}

namespace {

// A program path as a task may hold it: blanks and one pair of quotes around it dropped.
std::wstring_view BareProgramPath(std::wstring_view path) {
  path = TrimWhiteSpace(path);
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
    path = TrimWhiteSpace(path.substr(1, path.size() - 2));
  }
  return path;
}

}  // namespace

SCAN_TASK_OWNERSHIP ScanTaskOwner(IScheduledTasks& tasks, const SCAN_TASK& task) {
  SCAN_TASK_OWNERSHIP ownership;
  std::wstring application;
  const ErrorCode read = tasks.ReadApplication(task.name, &application);
  if (read == kTaskNotFound) return ownership;
  if (read != kErrorSuccess) {
    // Not readable: another's, unless there is no task at all (the scheduler cannot be had).
    if (tasks.TaskExists(task.name)) ownership.owner = SCAN_TASK_OWNER::kOtherProgram;
    return ownership;
  }
  const std::wstring_view program = BareProgramPath(application);
  const bool ours = !program.empty() &&
                    EqualsNoCase(program, BareProgramPath(task.settings.application));
  ownership.owner = ours ? SCAN_TASK_OWNER::kThisProgram : SCAN_TASK_OWNER::kOtherProgram;
  ownership.application = application;
  return ownership;
}

std::wstring OtherProgramTaskLine(std::wstring_view taskName,
                                  const SCAN_TASK_OWNERSHIP& ownership, WORDING wording) {
  return TrFormat(kOtherProgramTaskLine,
                  {taskName, ownership.application.empty()
                                 ? Tr(kUnreadableProgram, wording)
                                 : std::wstring_view(ownership.application)},
                  wording);
}

std::vector<std::wstring> ScanScheduleLines(IScheduledTasks& tasks, const SCAN_TASK& task,
                                            const TRIGGER_WORDING& wording) {
  const SCAN_TASK_OWNERSHIP ownership = ScanTaskOwner(tasks, task);
  if (ownership.owner == SCAN_TASK_OWNER::kOtherProgram) {
    return {OtherProgramTaskLine(task.name, ownership, wording.words)};
  }
  return ScheduleLines(tasks, task.name, wording);
}

ErrorCode CreateScanTask(IScheduledTasks& tasks, const SCAN_TASK& task) {
  return tasks.CreateTask(task.name, task.settings);
}

ErrorCode ManageSchedule(IScheduledTasks& tasks, const SCAN_TASK& task,
                         const OwnScheduleEditor& ownEditor) {
  if (ScanTaskOwner(tasks, task).owner == SCAN_TASK_OWNER::kOtherProgram) {
    return kScanTaskOfOtherProgram;
  }
  if (!tasks.TaskExists(task.name)) {
    const ErrorCode created = CreateScanTask(tasks, task);
    if (created != kErrorSuccess) return created;
  }
  const ErrorCode shown = tasks.EditOnSystemPage(task.name);
  if (shown == kErrorSuccess || !ownEditor || !tasks.TaskExists(task.name)) return shown;
  return ownEditor(tasks, task.name);
}

SCHEDULE_TRIGGER DailyTrigger(const std::tm& startDay, int hour, int minute) {
  SCHEDULE_TRIGGER trigger;
  trigger.type = SCHEDULE_TRIGGER_TYPE::kDaily;
  trigger.beginYear = static_cast<std::uint16_t>(startDay.tm_year + 1900);
  trigger.beginMonth = static_cast<std::uint16_t>(startDay.tm_mon + 1);
  trigger.beginDay = static_cast<std::uint16_t>(startDay.tm_mday);
  trigger.startHour = static_cast<std::uint16_t>(hour < 0 || hour > 23 ? kDefaultHour : hour);
  trigger.startMinute = static_cast<std::uint16_t>(minute < 0 || minute > 59 ? 0 : minute);
  trigger.daysInterval = 1;
  return trigger;
}

// ---- CScheduleEditModel ----

ErrorCode CScheduleEditModel::Load(IScheduledTasks& tasks, std::wstring_view taskName) {
  m_rows.clear();
  m_removed.clear();
  std::vector<SCHEDULE_TRIGGER_ENTRY> entries;
  const ErrorCode read = tasks.ReadTriggers(taskName, &entries);
  if (read != kErrorSuccess) return read;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    if (!IsActiveTrigger(entries[index].trigger)) continue;
    m_rows.push_back(ROW{index, entries[index].trigger, entries[index]});
  }
  return kErrorSuccess;
}

std::wstring CScheduleEditModel::Line(std::size_t row, const TRIGGER_WORDING& wording) const {
  const ROW& r = m_rows[row];
  if (r.index.has_value() && r.trigger == r.loaded.trigger) {
    return TriggerDescription(r.loaded, wording);
  }
  return DescribeTrigger(r.trigger, wording);
}

std::size_t CScheduleEditModel::Add(const SCHEDULE_TRIGGER& trigger) {
  m_rows.push_back(ROW{std::nullopt, trigger, {}});
  return m_rows.size() - 1;
}

void CScheduleEditModel::Replace(std::size_t row, const SCHEDULE_TRIGGER& trigger) {
  if (row < m_rows.size()) m_rows[row].trigger = trigger;
}

void CScheduleEditModel::Remove(std::size_t row) {
  if (row >= m_rows.size()) return;
  if (m_rows[row].index.has_value()) m_removed.push_back(*m_rows[row].index);
  m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
}

bool CScheduleEditModel::Changed() const {
  if (!m_removed.empty()) return true;
  return std::any_of(m_rows.begin(), m_rows.end(), [](const ROW& r) {
    return !r.index.has_value() || r.trigger != r.loaded.trigger;
  });
}

ErrorCode CScheduleEditModel::Save(IScheduledTasks& tasks, std::wstring_view taskName) {
  // In place first, while the indices are still those loaded; then the removals from the last,
  // so each index still names its trigger; the new ones go at the end.
  for (const ROW& row : m_rows) {
    if (!row.index.has_value() || row.trigger == row.loaded.trigger) continue;
    const ErrorCode replaced = tasks.ReplaceTrigger(taskName, *row.index, row.trigger);
    if (replaced != kErrorSuccess) return replaced;
  }
  std::vector<std::size_t> removed = m_removed;
  std::sort(removed.rbegin(), removed.rend());
  for (std::size_t index : removed) {
    const ErrorCode deleted = tasks.DeleteTrigger(taskName, index);
    if (deleted != kErrorSuccess) return deleted;
  }
  for (const ROW& row : m_rows) {
    if (row.index.has_value()) continue;
    const ErrorCode added = tasks.AddTrigger(taskName, row.trigger);
    if (added != kErrorSuccess) return added;
  }
  return Load(tasks, taskName);
}

}  // namespace qv
