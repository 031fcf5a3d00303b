#include "tools/schedule.h"

#include <gtest/gtest.h>

#include "base/utf16.h"
#include "platform/memory/memory_scheduled_tasks.h"

namespace qv {
namespace {

SCHEDULE_TRIGGER At(SCHEDULE_TRIGGER_TYPE type, int hour, int minute) {
  SCHEDULE_TRIGGER t;
  t.type = type;
  t.beginYear = 2026;
  t.beginMonth = 12;
  t.beginDay = 8;
  t.startHour = static_cast<std::uint16_t>(hour);
  t.startMinute = static_cast<std::uint16_t>(minute);
  return t;
}

struct DESCRIPTION_CASE {
  SCHEDULE_TRIGGER trigger;
  const wchar_t* text;
};

TEST(Schedule, OurDescriptionOfEachKindOfTrigger) {
  using T = SCHEDULE_TRIGGER_TYPE;
  std::vector<DESCRIPTION_CASE> cases;
  auto add = [&](SCHEDULE_TRIGGER t, const wchar_t* text) { cases.push_back({t, text}); };

  add(At(T::kDaily, 9, 0), L"At 9:00 every day, starting 12/8/2026");
  SCHEDULE_TRIGGER t = At(T::kDaily, 17, 5);
  t.daysInterval = 2;
  add(t, L"At 17:05 every 2 days, starting 12/8/2026");
  t = At(T::kWeekly, 9, 0);
  t.daysOfTheWeek = kFriday | kMonday;
  add(t, L"At 9:00 every Mon, Fri of every week, starting 12/8/2026");
  t.weeksInterval = 2;
  t.daysOfTheWeek = kSunday | kSaturday;
  add(t, L"At 9:00 every Sun, Sat of every 2 weeks, starting 12/8/2026");
  t = At(T::kMonthlyDate, 0, 30);
  t.daysOfTheMonth = (1u << 0) | (1u << 14) | (1u << 30);
  t.months = kEveryMonth;
  add(t, L"At 0:30 on day 1, 15, 31 of every month, starting 12/8/2026");
  t.daysOfTheMonth = 1u << 9;
  t.months = 0x0041;  // January and July
  add(t, L"At 0:30 on day 10 of Jan, Jul, starting 12/8/2026");
  t = At(T::kMonthlyDayOfWeek, 23, 59);
  t.whichWeek = kLastWeek;
  t.daysOfTheWeek = kSunday;
  t.months = kEveryMonth;
  add(t, L"At 23:59 on the last Sun of every month, starting 12/8/2026");
  t.whichWeek = 2;
  t.daysOfTheWeek = kTuesday | kThursday;
  t.months = 0x0800;
  add(t, L"At 23:59 on the second Tue, Thu of Dec, starting 12/8/2026");
  add(At(T::kOnce, 9, 0), L"At 9:00 on 12/8/2026");
  t = At(T::kDaily, 8, 0);
  t.minutesInterval = 10;
  t.minutesDuration = 120;
  t.flags = kTriggerFlagHasEndDate;
  t.endYear = 2027;
  t.endMonth = 1;
  t.endDay = 31;
  add(t, L"Every 10 minute(s) from 8:00 for 2 hour(s) every day, starting 12/8/2026, ending "
         L"1/31/2027");
  add(At(T::kAtSystemStart, 9, 0), L"Run at system startup");
  add(At(T::kAtLogon, 9, 0), L"Run at user logon");
  add(At(T::kOnIdle, 9, 0), L"Run whenever idle");

  for (const DESCRIPTION_CASE& c : cases) {
    EXPECT_EQ(DescribeTrigger(c.trigger), c.text) << ToUtf8(c.text);
  }
}

class ScheduleTest : public ::testing::Test {
 protected:
  // The own editor the page would open: counts its calls and adds what the test queued.
  OwnScheduleEditor Editor() {
    return [this](IScheduledTasks& scheduler, std::wstring_view name) {
      ++ownEditorCalls;
      for (const SCHEDULE_TRIGGER& t : toAdd) {
        EXPECT_EQ(scheduler.AddTrigger(name, t), kErrorSuccess);
      }
      toAdd.clear();
      return kErrorSuccess;
    };
  }

  CMemoryScheduledTasks tasks;
  const SCAN_TASK scanTask = ScanTaskFor(L"C:\\Program Files\\Quarvelo\\Quarvelo.exe");
  int ownEditorCalls = 0;
  std::vector<SCHEDULE_TRIGGER> toAdd;
};

TEST_F(ScheduleTest, ManageScheduleCreatesTheTaskAndEditsItWhereTheSystemCannot) {
  const std::vector<std::wstring> inactive = {L"System scan schedule is not active"};
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);

  // Created without triggers; the system has no schedule page, so ours opens; closed unchanged.
  ASSERT_EQ(ManageSchedule(tasks, scanTask, Editor()), kErrorSuccess);
  const CMemoryScheduledTasks::TASK* task = tasks.Find(L"Quarvelo");
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->settings.application, L"C:\\Program Files\\Quarvelo\\Quarvelo.exe");
  EXPECT_EQ(task->settings.parameters, L"-t");
  EXPECT_EQ(task->settings.workingDirectory, L"C:\\Program Files\\Quarvelo");
  EXPECT_EQ(task->settings.comment, L"Runs Quarvelo at Scheduled Time.");
  EXPECT_EQ(task->settings.flags, kTaskFlagRunOnlyIfLoggedOn);
  EXPECT_EQ(task->account, L"user");
  EXPECT_TRUE(task->triggers.empty());
  EXPECT_EQ(tasks.SystemPageCalls(), 1);
  EXPECT_EQ(ownEditorCalls, 1);
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);

  // Two triggers, and a disabled one (Wine's stand-in for "none"), which is no part of it.
  SCHEDULE_TRIGGER disabled = At(SCHEDULE_TRIGGER_TYPE::kDaily, 11, 31);
  disabled.flags = kTriggerFlagDisabled;
  toAdd = {At(SCHEDULE_TRIGGER_TYPE::kDaily, 10, 0), disabled,
           At(SCHEDULE_TRIGGER_TYPE::kDaily, 1, 0)};
  ASSERT_EQ(ManageSchedule(tasks, scanTask, Editor()), kErrorSuccess);
  EXPECT_EQ(tasks.CreateCalls(), 1);
  // Sorted as the list box sorts: the colon comes before digits.
  const std::vector<std::wstring> two = {L"At 1:00 every day, starting 12/8/2026",
                                         L"At 10:00 every day, starting 12/8/2026"};
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), two);
  std::vector<std::wstring> lines = {L"stale"};
  EXPECT_TRUE(GetTriggerStrings(tasks, L"Quarvelo", &lines));
  EXPECT_EQ(lines.size(), 2u);

  // Where the system describes its triggers, its words are listed.
  tasks.SetSystemDescription(
      [](const SCHEDULE_TRIGGER& t) { return L"At " + std::to_wstring(t.startHour) + L" AM"; });
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"),
            (std::vector<std::wstring>{L"At 1 AM", L"At 10 AM"}));

  // Deleted outside: made again, and the system's own page (present now) is the one shown.
  ASSERT_EQ(tasks.DeleteTask(L"Quarvelo"), kErrorSuccess);
  EXPECT_EQ(ScheduleLines(tasks, L"Quarvelo"), inactive);
  int systemPageShown = 0;
  tasks.SetSystemPage([&](IScheduledTasks&, std::wstring_view) {
    ++systemPageShown;
    return kErrorSuccess;
  });
  ASSERT_EQ(ManageSchedule(tasks, scanTask, Editor()), kErrorSuccess);
  EXPECT_EQ(tasks.CreateCalls(), 2);
  EXPECT_NE(tasks.Find(L"quarvelo"), nullptr);
  EXPECT_EQ(systemPageShown, 1);
  EXPECT_EQ(ownEditorCalls, 2);

  // A task that cannot be created is not edited.
  ASSERT_EQ(tasks.DeleteTask(L"Quarvelo"), kErrorSuccess);
  tasks.SetChangeFailure(kInvalidArgument);
  EXPECT_EQ(ManageSchedule(tasks, scanTask, Editor()), kInvalidArgument);
  EXPECT_EQ(systemPageShown, 1);
  EXPECT_EQ(ownEditorCalls, 2);
}

// A task of the scan's name is ours only when it starts our program; any other is left alone.
TEST_F(ScheduleTest, ATaskOfTheNameThatStartsAnotherProgramIsNeverTakenOver) {
  struct CASE {
    const wchar_t* application;
    SCAN_TASK_OWNER owner;
  };
  const CASE cases[] = {
      {L"C:\\Program Files\\Quarvelo\\Quarvelo.exe", SCAN_TASK_OWNER::kThisProgram},
      {L" \"c:\\program files\\quarvelo\\QUARVELO.EXE\" ", SCAN_TASK_OWNER::kThisProgram},
      {L"C:\\Users\\Public\\Quarvelo.exe", SCAN_TASK_OWNER::kOtherProgram},
      {L"C:\\Program Files\\Quarvelo\\Quarvelo.exe.bat", SCAN_TASK_OWNER::kOtherProgram},
      {L"Quarvelo.exe", SCAN_TASK_OWNER::kOtherProgram},
      {L"", SCAN_TASK_OWNER::kOtherProgram},
  };
  for (const CASE& c : cases) {
    SCAN_TASK planted = scanTask;
    planted.settings.application = c.application;
    planted.settings.parameters = L"/evil";
    ASSERT_EQ(tasks.CreateTask(L"QUARVELO", planted.settings), kErrorSuccess);
    ASSERT_EQ(tasks.AddTrigger(L"Quarvelo", At(SCHEDULE_TRIGGER_TYPE::kDaily, 3, 0)),
              kErrorSuccess);
    const SCAN_TASK_OWNERSHIP ownership = ScanTaskOwner(tasks, scanTask);
    EXPECT_EQ(ownership.owner, c.owner) << ToUtf8(c.application);
    if (c.owner == SCAN_TASK_OWNER::kOtherProgram) {
      const std::wstring line =
          L"The task Quarvelo starts another program (" +
          std::wstring(*c.application != 0 ? c.application : L"which cannot be read") +
          L"): it is left alone";
      EXPECT_EQ(ScanScheduleLines(tasks, scanTask), std::vector<std::wstring>{line});
      // Neither created over, nor edited on either page.
      EXPECT_EQ(ManageSchedule(tasks, scanTask, Editor()), kScanTaskOfOtherProgram);
      EXPECT_EQ(tasks.SystemPageCalls(), 0);
      EXPECT_EQ(ownEditorCalls, 0);
      EXPECT_EQ(tasks.Find(L"Quarvelo")->settings.application, c.application);
      EXPECT_EQ(tasks.Find(L"Quarvelo")->triggers.size(), 1u);
    } else {
      EXPECT_EQ(ScanScheduleLines(tasks, scanTask),
                std::vector<std::wstring>{L"At 3:00 every day, starting 12/8/2026"});
    }
    ASSERT_EQ(tasks.DeleteTask(L"Quarvelo"), kErrorSuccess);
  }
  EXPECT_EQ(ScanTaskOwner(tasks, scanTask).owner, SCAN_TASK_OWNER::kNoTask);
  EXPECT_EQ(ScanScheduleLines(tasks, scanTask),
            std::vector<std::wstring>{L"System scan schedule is not active"});
}

TEST_F(ScheduleTest, EditModelWritesChangesRemovalsAndAdditionsBackByIndex) {
  ASSERT_EQ(CreateScanTask(tasks, scanTask), kErrorSuccess);
  EXPECT_EQ(CreateScanTask(tasks, scanTask), kTaskExists);
  SCHEDULE_TRIGGER disabled = At(SCHEDULE_TRIGGER_TYPE::kDaily, 11, 31);
  disabled.flags = kTriggerFlagDisabled;
  const SCHEDULE_TRIGGER first = At(SCHEDULE_TRIGGER_TYPE::kDaily, 6, 0);
  const SCHEDULE_TRIGGER third = At(SCHEDULE_TRIGGER_TYPE::kOnce, 7, 0);
  for (const SCHEDULE_TRIGGER& t : {first, disabled, third}) {
    ASSERT_EQ(tasks.AddTrigger(L"Quarvelo", t), kErrorSuccess);
  }

  CScheduleEditModel model;
  ASSERT_EQ(model.Load(tasks, L"Quarvelo"), kErrorSuccess);
  ASSERT_EQ(model.Count(), 2u);  // the disabled one is not offered
  EXPECT_EQ(model.Line(1), L"At 7:00 on 12/8/2026");
  EXPECT_FALSE(model.Changed());

  SCHEDULE_TRIGGER weekly = At(SCHEDULE_TRIGGER_TYPE::kWeekly, 7, 15);
  weekly.daysOfTheWeek = kWednesday;
  model.Replace(1, weekly);
  EXPECT_EQ(model.Line(1), L"At 7:15 every Wed of every week, starting 12/8/2026");
  model.Remove(0);
  std::tm day{};
  day.tm_year = 2027 - 1900;
  day.tm_mon = 1;
  day.tm_mday = 28;
  EXPECT_EQ(model.Add(DailyTrigger(day, 21, 45)), 1u);
  EXPECT_TRUE(model.Changed());
  EXPECT_EQ(tasks.Find(L"Quarvelo")->triggers.size(), 3u);  // nothing written before Save

  ASSERT_EQ(model.Save(tasks, L"Quarvelo"), kErrorSuccess);
  const std::vector<SCHEDULE_TRIGGER> expected = {disabled, weekly, DailyTrigger(day, 21, 45)};
  EXPECT_EQ(tasks.Find(L"Quarvelo")->triggers, expected);
  EXPECT_FALSE(model.Changed());
  EXPECT_EQ(model.Line(1), L"At 21:45 every day, starting 2/28/2027");

  // A refused write is handed back.
  model.Remove(0);
  tasks.SetChangeFailure(kInvalidArgument);
  EXPECT_EQ(model.Save(tasks, L"Quarvelo"), kInvalidArgument);
  EXPECT_EQ(model.Load(tasks, L"Missing"), kTaskNotFound);
  EXPECT_EQ(model.Count(), 0u);
}

}  // namespace
}  // namespace qv
