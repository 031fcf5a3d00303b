// Our own schedule page: a modal dialog that lists the scan task's triggers and adds, edits and
// deletes them through the scheduler, saving on OK. Shown only where the system cannot show its
// own schedule page (Wine has none); the rows and the writing back are CScheduleEditModel's.
//
// Fields edit the selected trigger: its kind (daily, weekly, monthly on a day of the month, once),
// start time, start date, the interval in days or weeks, the week days, the day of the month.
// Triggers of other kinds (monthly on a week day, at logon...) are listed and can be deleted, not
// edited. The dialog is built in code (no resource template), in Tahoma 8.
#pragma once

#include <windows.h>

#include <string_view>

#include "base/errors.h"
#include "platform/scheduled_tasks.h"
#include "ui/ui_texts.h"

namespace qv::ui {

// Control ids of the dialog (the tests find the controls by them).
inline constexpr int kScheduleEditorList = 3001;
inline constexpr int kScheduleEditorNew = 3002;
inline constexpr int kScheduleEditorDelete = 3003;
inline constexpr int kScheduleEditorType = 3004;       // combo box: kScheduleEditorTypes
inline constexpr int kScheduleEditorTime = 3005;       // date and time picker, H:mm
inline constexpr int kScheduleEditorDate = 3006;       // date and time picker, M/d/yyyy
inline constexpr int kScheduleEditorInterval = 3007;   // edit, with its up-down control
inline constexpr int kScheduleEditorIntervalSpin = 3008;
inline constexpr int kScheduleEditorIntervalUnit = 3009;
inline constexpr int kScheduleEditorMonthDay = 3010;   // edit, with its up-down control
inline constexpr int kScheduleEditorMonthDaySpin = 3011;
inline constexpr int kScheduleEditorFirstWeekDay = 3020;  // check boxes Mon ... Sun: 3020-3026

// The kinds offered, in the combo box's order (the caption is kScheduleEditorCaption of
// ui_texts.h).
inline constexpr UI_TEXT kScheduleEditorTypes[] = {kScheduleEditorDaily, kScheduleEditorWeekly,
                                                   kScheduleEditorMonthly, kScheduleEditorOnce};

// Shows the editor for the task, owned by `owner` (may be null), and returns when it has closed:
// 0 after Cancel, or after OK once every change is saved; the failure when the task cannot be
// read (nothing shown), the dialog cannot be made, or a change cannot be saved (said in a message
// box first).
[[nodiscard]] ErrorCode EditScheduleOwnPage(HWND owner, IScheduledTasks& tasks,
                                            std::wstring_view taskName);

}  // namespace qv::ui
