#include "ui/win32/schedule_editor.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "state/state_texts.h"
#include "tools/schedule.h"
#include "ui/win32/locale_format.h"

namespace qv::ui {
namespace {

constexpr wchar_t kFontName[] = L"Tahoma";
constexpr WORD kFontPoints = 8;
// The time on the 24-hour clock; the date as the user's locale writes a short date.
constexpr wchar_t kTimeFormat[] = L"H:mm";
// The check boxes' names, Monday to Sunday.
constexpr UI_TEXT kWeekDayNames[] = {kDayMonday, kDayTuesday,  kDayWednesday, kDayThursday,
                                     kDayFriday, kDaySaturday, kDaySunday};
// The check boxes run Monday to Sunday; the trigger's bits Sunday (bit 0) to Saturday.
constexpr std::uint16_t WeekDayBit(int box) {
  return static_cast<std::uint16_t>(1u << ((box + 1) % 7));
}

// Ids of the labels, which nothing reads.
constexpr int kHeadingId = 3040;
constexpr int kGroupId = 3041;
constexpr int kTypeLabelId = 3042;
constexpr int kTimeLabelId = 3043;
constexpr int kDateLabelId = 3044;
constexpr int kEveryLabelId = 3045;
constexpr int kMonthDayLabelId = 3046;
constexpr int kMonthDayUnitId = 3047;
constexpr int kNotEditableId = 3048;

// Positions in the combo box of kScheduleEditorTypes.
constexpr int kTypeDaily = 0;
constexpr int kTypeWeekly = 1;
constexpr int kTypeMonthly = 2;
constexpr int kTypeOnce = 3;

constexpr int kDialogWidth = 330;  // dialog units
constexpr int kDialogHeight = 206;

// The in-memory template of an empty dialog in Tahoma 8; the controls are made in WM_INITDIALOG.
std::vector<WORD> DialogTemplate(const wchar_t* caption) {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
  dialog->style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  dialog->cdit = 0;
  dialog->cx = kDialogWidth;
  dialog->cy = kDialogHeight;
  words.push_back(0);  // no menu
  words.push_back(0);  // the standard dialog class
  for (const wchar_t* c = caption; *c != L'\0'; ++c) words.push_back(static_cast<WORD>(*c));
  words.push_back(0);
  words.push_back(kFontPoints);
  for (const wchar_t* c = kFontName; *c != L'\0'; ++c) words.push_back(static_cast<WORD>(*c));
  words.push_back(0);
  if (words.size() % 2 != 0) words.push_back(0);  // DWORD aligned
  return words;
}

HINSTANCE ModuleInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DialogTemplate), &module);
  return module;
}

SYSTEMTIME TodayAt(int hour, int minute) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  now.wHour = static_cast<WORD>(hour);
  now.wMinute = static_cast<WORD>(minute);
  now.wSecond = 0;
  now.wMilliseconds = 0;
  return now;
}

// The week day of a date (SYSTEMTIME's wDayOfWeek, 0 = Sunday), worked out by the system.
int WeekDayOf(SYSTEMTIME date) {
  FILETIME file{};
  date.wHour = 12;
  if (!::SystemTimeToFileTime(&date, &file) || !::FileTimeToSystemTime(&file, &date)) return 1;
  return date.wDayOfWeek;
}

class CScheduleEditorDlg {
 public:
  CScheduleEditorDlg(IScheduledTasks& tasks, std::wstring_view taskName)
      : m_tasks(tasks), m_taskName(taskName) {}

  [[nodiscard]] ErrorCode Load() { return m_model.Load(m_tasks, m_taskName); }

  ErrorCode Run(HWND owner) {
    const std::vector<WORD> words = DialogTemplate(std::wstring(Tr(kScheduleEditorCaption)).c_str());
    ::SetLastError(ERROR_SUCCESS);
    const INT_PTR ended = ::DialogBoxIndirectParamW(
        ModuleInstance(), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner, &Proc,
        reinterpret_cast<LPARAM>(this));
    if (ended == -1) {
      const DWORD error = ::GetLastError();
      return error != ERROR_SUCCESS ? static_cast<ErrorCode>(error) : kInvalidArgument;
    }
    return m_result;
  }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<CScheduleEditorDlg*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    try {
      return self->OnMessage(window, message, wParam, lParam);
    } catch (const std::exception&) {
      return FALSE;  // nothing may cross the window procedure
    }
  }

  INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        m_hwnd = window;
        MakeControls();
        FillList(m_model.Count() > 0 ? 0 : -1);
        return TRUE;
      case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == DTN_DATETIMECHANGE) FieldsChanged();
        if (header->code == UDN_DELTAPOS) ::PostMessageW(m_hwnd, WM_APP, 0, 0);
        return FALSE;
      }
      case WM_APP:  // an up-down control has moved: its buddy holds the new number now
        FieldsChanged();
        return TRUE;
      default:
        return FALSE;
    }
  }

  // ---- Layout ----

  HWND Make(const wchar_t* cls, std::wstring_view text, DWORD style, int id, int x, int y, int width,
            int height, DWORD exStyle = 0) {
    RECT box{x, y, x + width, y + height};
    ::MapDialogRect(m_hwnd, &box);
    HWND control = ::CreateWindowExW(
        exStyle, cls, std::wstring(text).c_str(), WS_CHILD | WS_VISIBLE | style, box.left, box.top,
        box.right - box.left, box.bottom - box.top, m_hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
    ::SendMessageW(control, WM_SETFONT, ::SendMessageW(m_hwnd, WM_GETFONT, 0, 0), FALSE);
    return control;
  }

  void MakeControls() {
    Make(WC_STATICW, Tr(kScheduleListHeading), SS_LEFT, kHeadingId, 7, 7, 260, 8);
    Make(WC_LISTBOXW, L"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
         kScheduleEditorList, 7, 18, 260, 54, WS_EX_CLIENTEDGE);
    Make(WC_BUTTONW, Tr(kScheduleEditorNewButton), BS_PUSHBUTTON | WS_TABSTOP, kScheduleEditorNew, 273, 18, 50, 14);
    Make(WC_BUTTONW, Tr(kScheduleEditorDeleteButton), BS_PUSHBUTTON | WS_TABSTOP, kScheduleEditorDelete, 273, 36, 50,
         14);

    Make(WC_BUTTONW, Tr(kScheduleEditorGroup), BS_GROUPBOX, kGroupId, 7, 78, 316, 98);
    Make(WC_STATICW, Tr(kScheduleEditorTypeLabel), SS_LEFT, kTypeLabelId, 15, 93, 72, 8);
    HWND type = Make(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                     kScheduleEditorType, 90, 91, 70, 80);
    for (const UI_TEXT& name : kScheduleEditorTypes) {
      const std::wstring text(Tr(name));
      ::SendMessageW(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    Make(WC_STATICW, Tr(kScheduleEditorTimeLabel), SS_LEFT, kTimeLabelId, 170, 93, 60, 8);
    HWND time = Make(DATETIMEPICK_CLASSW, L"", DTS_TIMEFORMAT | DTS_UPDOWN | WS_TABSTOP,
                     kScheduleEditorTime, 234, 91, 70, 13);
    ::SendMessageW(time, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(kTimeFormat));
    Make(WC_STATICW, Tr(kScheduleEditorDateLabel), SS_LEFT, kDateLabelId, 15, 112, 72, 8);
    Make(DATETIMEPICK_CLASSW, L"", DTS_SHORTDATEFORMAT | WS_TABSTOP, kScheduleEditorDate, 90, 110,
         70, 13);

    Make(WC_STATICW, Tr(kScheduleEditorEveryLabel), SS_LEFT, kEveryLabelId, 15, 133, 72, 8);
    Make(WC_EDITW, L"1", ES_NUMBER | ES_RIGHT | WS_TABSTOP, kScheduleEditorInterval, 90, 131, 30,
         12, WS_EX_CLIENTEDGE);
    HWND spin = Make(UPDOWN_CLASSW, L"",
                     UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                     kScheduleEditorIntervalSpin, 0, 0, 0, 0);
    ::SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Item(kScheduleEditorInterval)),
                   0);
    ::SendMessageW(spin, UDM_SETRANGE32, 1, 999);
    Make(WC_STATICW, Tr(kScheduleEditorDaysUnit), SS_LEFT, kScheduleEditorIntervalUnit, 126, 133, 100, 8);
    for (int box = 0; box < 7; ++box) {
      Make(WC_BUTTONW, Tr(kWeekDayNames[box]), BS_AUTOCHECKBOX | WS_TABSTOP,
           kScheduleEditorFirstWeekDay + box, 15 + box * 43, 151, 40, 10);
    }

    Make(WC_STATICW, Tr(kScheduleEditorMonthDayLabel), SS_LEFT, kMonthDayLabelId, 15, 133, 72, 8);
    Make(WC_EDITW, L"1", ES_NUMBER | ES_RIGHT | WS_TABSTOP, kScheduleEditorMonthDay, 90, 131, 30,
         12, WS_EX_CLIENTEDGE);
    HWND daySpin = Make(UPDOWN_CLASSW, L"",
                        UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                        kScheduleEditorMonthDaySpin, 0, 0, 0, 0);
    ::SendMessageW(daySpin, UDM_SETBUDDY,
                   reinterpret_cast<WPARAM>(Item(kScheduleEditorMonthDay)), 0);
    ::SendMessageW(daySpin, UDM_SETRANGE32, 1, 31);
    Make(WC_STATICW, Tr(kScheduleEditorMonthDayUnit), SS_LEFT, kMonthDayUnitId, 126, 133, 120, 8);
    Make(WC_STATICW, Tr(kScheduleEditorNotEditable), SS_LEFT, kNotEditableId, 15, 133, 300, 8);

    Make(WC_BUTTONW, Tr(kScheduleEditorOk), BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 219, 185, 50, 14);
    Make(WC_BUTTONW, Tr(kScheduleEditorCancel), BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 273, 185, 50, 14);
  }

  [[nodiscard]] HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
  void Show(int id, bool show) const { ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
  void Enable(int id, bool enable) const { ::EnableWindow(Item(id), enable ? TRUE : FALSE); }

  [[nodiscard]] int Number(int id) const {
    wchar_t text[16] = {};
    ::GetWindowTextW(Item(id), text, 16);
    return static_cast<int>(std::wcstol(text, nullptr, 10));
  }
  void SetNumber(int id, int value) const {
    ::SetWindowTextW(Item(id), std::to_wstring(value).c_str());
  }

  // ---- The rows ----

  void FillList(int select) {
    HWND list = Item(kScheduleEditorList);
    ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (std::size_t row = 0; row < m_model.Count(); ++row) {
      const std::wstring line = m_model.Line(row, LocaleTriggerWording());
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    Select(select);
  }

  void Select(int row) {
    m_current = row >= 0 && static_cast<std::size_t>(row) < m_model.Count() ? row : -1;
    ::SendMessageW(Item(kScheduleEditorList), LB_SETCURSEL, static_cast<WPARAM>(m_current), 0);
    LoadFields();
  }

  // The row's line again, after its trigger changed.
  void RefreshLine(int row) {
    HWND list = Item(kScheduleEditorList);
    const std::wstring line = m_model.Line(static_cast<std::size_t>(row), LocaleTriggerWording());
    wchar_t shown[512] = {};
    if (::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) < 511) {
      ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(shown));
    }
    if (line == shown) return;
    ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    ::SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(row),
                   reinterpret_cast<LPARAM>(line.c_str()));
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(m_current), 0);
  }

  // The combo position of a trigger's kind, or -1 for the kinds this editor cannot change.
  static int TypePosition(const SCHEDULE_TRIGGER& t) {
    switch (t.type) {
      case SCHEDULE_TRIGGER_TYPE::kDaily:
        return kTypeDaily;
      case SCHEDULE_TRIGGER_TYPE::kWeekly:
        return kTypeWeekly;
      case SCHEDULE_TRIGGER_TYPE::kMonthlyDate:
        return kTypeMonthly;
      case SCHEDULE_TRIGGER_TYPE::kOnce:
        return kTypeOnce;
      default:
        return -1;
    }
  }

  // Shows the fields of a kind: the interval for daily and weekly, the days for weekly, the day of
  // the month for monthly; none for a kind that cannot be changed.
  void ShowFieldsFor(int position, bool editable) {
    const bool daily = position == kTypeDaily;
    const bool weekly = position == kTypeWeekly;
    const bool monthly = position == kTypeMonthly;
    for (int id : {kEveryLabelId, kScheduleEditorInterval, kScheduleEditorIntervalSpin,
                   kScheduleEditorIntervalUnit}) {
      Show(id, editable && (daily || weekly));
    }
    ::SetWindowTextW(Item(kScheduleEditorIntervalUnit),
                     std::wstring(Tr(weekly ? kScheduleEditorWeeksUnit : kScheduleEditorDaysUnit))
                         .c_str());
    for (int box = 0; box < 7; ++box) Show(kScheduleEditorFirstWeekDay + box, editable && weekly);
    for (int id : {kMonthDayLabelId, kScheduleEditorMonthDay, kScheduleEditorMonthDaySpin,
                   kMonthDayUnitId}) {
      Show(id, editable && monthly);
    }
    Show(kNotEditableId, m_current >= 0 && !editable);
    for (int id : {kScheduleEditorType, kScheduleEditorTime, kScheduleEditorDate, kTypeLabelId,
                   kTimeLabelId, kDateLabelId}) {
      Enable(id, editable);
    }
    Enable(kScheduleEditorDelete, m_current >= 0);
  }

  void LoadFields() {
    m_loading = true;
    const bool selected = m_current >= 0;
    const SCHEDULE_TRIGGER t =
        selected ? m_model.Trigger(static_cast<std::size_t>(m_current)) : SCHEDULE_TRIGGER{};
    const int position = selected ? TypePosition(t) : -1;
    const bool editable = position >= 0;
    ::SendMessageW(Item(kScheduleEditorType), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SYSTEMTIME when = TodayAt(t.startHour, t.startMinute);
    if (selected && t.beginYear != 0) {
      when.wYear = t.beginYear;
      when.wMonth = t.beginMonth;
      when.wDay = t.beginDay;
    }
    ::SendMessageW(Item(kScheduleEditorTime), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&when));
    ::SendMessageW(Item(kScheduleEditorDate), DTM_SETSYSTEMTIME, GDT_VALID,
                   reinterpret_cast<LPARAM>(&when));
    SetNumber(kScheduleEditorInterval,
              std::max<int>(1, t.type == SCHEDULE_TRIGGER_TYPE::kWeekly ? t.weeksInterval
                                                                         : t.daysInterval));
    for (int box = 0; box < 7; ++box) {
      ::SendMessageW(Item(kScheduleEditorFirstWeekDay + box), BM_SETCHECK,
                     (t.daysOfTheWeek & WeekDayBit(box)) != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    int monthDay = 1;
    for (int day = 1; day <= 31; ++day) {
      if ((t.daysOfTheMonth & (1u << (day - 1))) != 0) {
        monthDay = day;
        break;
      }
    }
    SetNumber(kScheduleEditorMonthDay, monthDay);
    ShowFieldsFor(position, editable);
    m_loading = false;
  }

  // The selected row's trigger as the fields say now (controls changed without a notification
  // are read too). Kinds this editor cannot change are left alone.
  void StoreFields() {
    if (m_current < 0 || m_loading) return;
    const auto row = static_cast<std::size_t>(m_current);
    SCHEDULE_TRIGGER t = m_model.Trigger(row);
    const int was = TypePosition(t);
    if (was < 0) return;
    const int position =
        static_cast<int>(::SendMessageW(Item(kScheduleEditorType), CB_GETCURSEL, 0, 0));
    SYSTEMTIME time{};
    SYSTEMTIME date{};
    if (::SendMessageW(Item(kScheduleEditorTime), DTM_GETSYSTEMTIME, 0,
                       reinterpret_cast<LPARAM>(&time)) == GDT_VALID) {
      t.startHour = time.wHour;
      t.startMinute = time.wMinute;
    }
    if (::SendMessageW(Item(kScheduleEditorDate), DTM_GETSYSTEMTIME, 0,
                       reinterpret_cast<LPARAM>(&date)) == GDT_VALID) {
      t.beginYear = date.wYear;
      t.beginMonth = date.wMonth;
      t.beginDay = date.wDay;
    } else {
      date = TodayAt(0, 0);
    }
    const auto interval = static_cast<std::uint16_t>(std::clamp(Number(kScheduleEditorInterval), 1, 999));
    switch (position) {
      case kTypeDaily:
        t.type = SCHEDULE_TRIGGER_TYPE::kDaily;
        t.daysInterval = interval;
        break;
      case kTypeWeekly: {
        t.type = SCHEDULE_TRIGGER_TYPE::kWeekly;
        t.weeksInterval = interval;
        std::uint16_t days = 0;
        for (int box = 0; box < 7; ++box) {
          if (::SendMessageW(Item(kScheduleEditorFirstWeekDay + box), BM_GETCHECK, 0, 0) ==
              BST_CHECKED) {
            days = static_cast<std::uint16_t>(days | WeekDayBit(box));
          }
        }
        // A weekly trigger needs a day: the start date's, as when the kind was first chosen.
        if (days == 0) days = static_cast<std::uint16_t>(1u << WeekDayOf(date));
        t.daysOfTheWeek = days;
        break;
      }
      case kTypeMonthly:
        t.type = SCHEDULE_TRIGGER_TYPE::kMonthlyDate;
        t.daysOfTheMonth = 1u << (std::clamp(Number(kScheduleEditorMonthDay), 1, 31) - 1);
        if (was != kTypeMonthly || t.months == 0) t.months = kEveryMonth;
        break;
      case kTypeOnce:
        t.type = SCHEDULE_TRIGGER_TYPE::kOnce;
        break;
      default:
        return;
    }
    m_model.Replace(row, t);
    RefreshLine(m_current);
  }

  void FieldsChanged() {
    if (m_loading || m_current < 0) return;
    const SCHEDULE_TRIGGER before = m_model.Trigger(static_cast<std::size_t>(m_current));
    StoreFields();
    const SCHEDULE_TRIGGER& after = m_model.Trigger(static_cast<std::size_t>(m_current));
    // A new kind shows its own fields, filled from the trigger.
    if (before.type != after.type || before.daysOfTheWeek != after.daysOfTheWeek) LoadFields();
  }

  void OnCommand(int id, int code) {
    switch (id) {
      case kScheduleEditorList:
        if (code == LBN_SELCHANGE) {
          StoreFields();
          Select(static_cast<int>(::SendMessageW(Item(kScheduleEditorList), LB_GETCURSEL, 0, 0)));
        }
        break;
      case kScheduleEditorNew: {
        StoreFields();
        SYSTEMTIME today = TodayAt(0, 0);
        std::tm day{};
        day.tm_year = today.wYear - 1900;
        day.tm_mon = today.wMonth - 1;
        day.tm_mday = today.wDay;
        const std::size_t row = m_model.Add(DailyTrigger(day, 9, 0));
        FillList(static_cast<int>(row));
        ::SetFocus(Item(kScheduleEditorType));
        break;
      }
      case kScheduleEditorDelete:
        if (m_current >= 0) {
          const int row = m_current;
          m_current = -1;
          m_model.Remove(static_cast<std::size_t>(row));
          FillList(std::min(row, static_cast<int>(m_model.Count()) - 1));
        }
        break;
      case kScheduleEditorType:
        if (code == CBN_SELCHANGE) FieldsChanged();
        break;
      case kScheduleEditorInterval:
      case kScheduleEditorMonthDay:
        if (code == EN_CHANGE) FieldsChanged();
        break;
      case IDOK:
        StoreFields();
        if (m_model.Changed()) {
          m_result = m_model.Save(m_tasks, m_taskName);
          if (m_result != kErrorSuccess) {
            // The error in hexadecimal where the text has "%x" (no printf: the text is a
            // translation's).
            wchar_t hex[16] = {};
            std::swprintf(hex, 16, L"%x", static_cast<unsigned>(m_result));
            std::wstring text(Tr(kScheduleEditorSaveFailedFormat));
            const std::size_t at = text.find(L"%x");
            if (at != std::wstring::npos) text.replace(at, 2, hex);
            ::MessageBoxW(m_hwnd, text.c_str(), kProductName, MB_OK | MB_ICONWARNING);
          }
        }
        ::EndDialog(m_hwnd, IDOK);
        break;
      case IDCANCEL:
        ::EndDialog(m_hwnd, IDCANCEL);
        break;
      default:
        if (id >= kScheduleEditorFirstWeekDay && id < kScheduleEditorFirstWeekDay + 7 &&
            code == BN_CLICKED) {
          FieldsChanged();
        }
        break;
    }
  }

  IScheduledTasks& m_tasks;
  std::wstring m_taskName;
  CScheduleEditModel m_model;
  HWND m_hwnd = nullptr;
  int m_current = -1;
  bool m_loading = false;
  ErrorCode m_result = kErrorSuccess;
};

}  // namespace

ErrorCode EditScheduleOwnPage(HWND owner, IScheduledTasks& tasks, std::wstring_view taskName) {
  INITCOMMONCONTROLSEX classes{sizeof(classes),
                               ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&classes);
  CScheduleEditorDlg dialog(tasks, taskName);
  const ErrorCode loaded = dialog.Load();
  if (loaded != kErrorSuccess) return loaded;
  return dialog.Run(owner);
}

}  // namespace qv::ui
