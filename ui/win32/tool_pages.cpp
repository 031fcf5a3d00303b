#include "ui/win32/tool_pages.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/ignore_list.h"
#include "base/text_case.h"
#include "repair/backup_file.h"
#include "repair/backup_list.h"
#include "state/data_folder.h"
#include "state/state_texts.h"
#include "tools/schedule.h"
#include "tools/startup_texts.h"
#include "tools/tool_paths.h"
#include "ui/settings_options.h"
#include "ui/ui_texts.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/locale_format.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"
#include "ui/win32/schedule_editor.h"

namespace qv::ui {
namespace {

constexpr DWORD kCheckListExStyles =
    LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
// The line of the list pages: 47 pixels above the bottom, across the page (96 DPI).
constexpr int kBottomLineOffset = 47;
const LABEL_STYLE kHeadingStyle{{8, true}, SKIN_COLOUR::kTitleText};

void FillLine(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

void PaintBottomLine(HDC dc, const RECT& client, const CDpiScale& scale) {
  const int top = client.bottom - scale(kBottomLineOffset);
  FillLine(dc, {client.left, top, client.right, top + scale.Line()}, Colour(SKIN_COLOUR::kLine));
}

// The two grey lines of the settings and tool pages, at 85 and 255 pixels, 20 pixels in.
void PaintToolLines(HDC dc, const RECT& client, const CDpiScale& scale) {
  for (int y : {85, 255}) {
    FillLine(dc, {scale(20), scale(y), client.right - scale(20), scale(y) + scale.Line()},
             Colour(SKIN_COLOUR::kPageLine));
  }
}

std::wstring ListText(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int InsertRow(HWND list, int at, const std::wstring& first) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = at;
  item.pszText = const_cast<wchar_t*>(first.c_str());
  return static_cast<int>(
      ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetRowText(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  ::SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// A single click selects the clicked row alone; a double click flips its check box.
bool HandleListClicks(HWND list, int listId, LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header->idFrom != static_cast<UINT_PTR>(listId)) return false;
  const int row = ClickedRow(*header);
  if (row < 0) return false;
  if (header->code == NM_CLICK) {
    SelectRowAlone(list, row);
    return true;
  }
  if (header->code == NM_DBLCLK) {
    ToggleRowCheck(list, row);
    return true;
  }
  return false;
}

}  // namespace

HWND CreateCheckList(CBaseDlg& page, int id, int x, int y, int width, int height,
                     DWORD extraExStyle) {
  HWND list = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
      page.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), LibraryInstance(), nullptr);
  page.Place(list, x, y, width, height);
  page.SetControlFont(list, {8});
  const DWORD styles = kCheckListExStyles | extraExStyle;
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  return list;
}

std::vector<int> CheckedRowsLastFirst(HWND list) {
  std::vector<int> rows;
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = count - 1; row >= 0; --row) {
    if (ListView_GetCheckState(list, row)) rows.push_back(row);
  }
  return rows;
}

int ClickedRow(const NMHDR& header) {
  if (header.code != NM_CLICK && header.code != NM_DBLCLK) return -1;
  const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
  return activate.iItem;
}

void SelectRowAlone(HWND list, int row) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void ToggleRowCheck(HWND list, int row) {
  ListView_SetCheckState(list, row, !ListView_GetCheckState(list, row));
}

bool OpenWithShell(HWND owner, const std::wstring& path) {
  if (path.empty()) return false;
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(owner, kOpenVerb, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

// ---------------------------------------------------------------------------------------------
// Ignore list

void CIgnoreListPage::OnInitDialog() {
  if (Item(IDC_IGNORE_LIST) != nullptr) return;
  const SIZE client = DesignSize();
  HWND list = CreateCheckList(*this, IDC_IGNORE_LIST, 10, 10, client.cx - 20,
                              client.cy - kBottomLineOffset - 20);
  AddListColumn(list, 0, Tr(kIgnoreColumnCategory), kIgnoreColumnCategoryWidth);
  AddListColumn(list, 1, Tr(kIgnoreColumnItems), kIgnoreColumnItemsWidth);
  AddControl(CONTROL_LOOK::kButton, IDC_IGNORE_REMOVE, Tr(kRemoveItem), client.cx - 140,
             client.cy - kBottomLineOffset + 10, 130, 28);
}

void CIgnoreListPage::Refill() {
  HWND list = Item(IDC_IGNORE_LIST);
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  m_rows = IgnoreListRows(m_main.App().Exclusions());
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    const int row =
        InsertRow(list, static_cast<int>(i), std::wstring(CategoryShownName(m_rows[i].category)));
    SetRowText(list, row, 1, m_rows[i].identity);
  }
}

void CIgnoreListPage::RemoveCheckedRows() {
  std::vector<IGNORE_ROW> checked;
  for (int row : CheckedRowsLastFirst(Item(IDC_IGNORE_LIST))) {
    if (static_cast<std::size_t>(row) < m_rows.size()) {
      checked.push_back(m_rows[static_cast<std::size_t>(row)]);
    }
  }
  static_cast<void>(RemoveIgnoreRows(m_main.App().Exclusions(), checked));
  Refill();
}

INT_PTR CIgnoreListPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (message == WM_NOTIFY && HandleListClicks(Item(IDC_IGNORE_LIST), IDC_IGNORE_LIST, lParam)) {
    return TRUE;
  }
  return CPage::OnMessage(message, wParam, lParam, handled);
}

void CIgnoreListPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_IGNORE_REMOVE && code == BN_CLICKED) RemoveCheckedRows();
}

void CIgnoreListPage::PaintBackground(HDC dc, const RECT& client) {
  PaintBottomLine(dc, client, Scale());
}

// ---------------------------------------------------------------------------------------------
// Backups

void CBackupRestorePage::OnInitDialog() {
  if (Item(IDC_BACKUP_LIST) != nullptr) return;
  const SIZE client = DesignSize();
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_HEADING, Tr(kBackupsTitle), 20, 12, 300, 16,
             kHeadingStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_INFORMATION, Tr(kBackupsInformation), 20, 32, 600, 30);
  HWND list = CreateCheckList(*this, IDC_BACKUP_LIST, 20, 70, client.cx - 40,
                              client.cy - kBottomLineOffset - 80, LVS_EX_HEADERDRAGDROP);
  AddListColumn(list, 0, Tr(kBackupsColumnName), kBackupsColumnNameWidth);
  AddListColumn(list, 1, Tr(kBackupsColumnDate), kBackupsColumnDateWidth);
  AddListColumn(list, 2, Tr(kBackupsColumnTrust), kBackupsColumnTrustWidth);
  const int y = client.cy - kBottomLineOffset + 10;
  AddControl(CONTROL_LOOK::kButton, IDC_BACKUP_CREATE, Tr(kCreateBackupButton), 20, y, 130, 28);
  AddControl(CONTROL_LOOK::kButton, IDC_BACKUP_RESTORE, Tr(kRestoreButton), client.cx - 260, y, 110,
             28);
  AddControl(CONTROL_LOOK::kButton, IDC_BACKUP_DELETE, Tr(kDeleteButton), client.cx - 130, y, 110, 28);
}

std::wstring CBackupRestorePage::BackupFolder() {
  return ProductDataFolderPath(m_main.App().Platform().shell, kBackupSubfolder);
}

std::wstring CBackupRestorePage::RowName(int row) const {
  return ListText(Item(IDC_BACKUP_LIST), row, 0);
}

void CBackupRestorePage::Refill() {
  m_backups.clear();
  static_cast<void>(ListBackups(m_main.App().Platform().files, BackupFolder(), &m_backups));
  ShowRows();
}

void CBackupRestorePage::ShowRows() {
  // Newest first by the whole 64-bit time (as listed), or as the user sorted by a column.
  std::stable_sort(
      m_backups.begin(), m_backups.end(), [this](const BACKUP_ENTRY& a, const BACKUP_ENTRY& b) {
        const int order =
            m_sortColumn == 0
                ? FoldCase(a.name).compare(FoldCase(b.name))
                : (a.lastWriteTime < b.lastWriteTime ? -1 : a.lastWriteTime > b.lastWriteTime);
        return m_sortAscending ? order < 0 : order > 0;
      });
  HWND list = Item(IDC_BACKUP_LIST);
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  IClock& clock = m_main.App().Platform().clock;
  for (std::size_t i = 0; i < m_backups.size(); ++i) {
    const int row = InsertRow(list, static_cast<int>(i), m_backups[i].name);
    // The date in the user's locale; as the console writes it when the locale cannot.
    std::wstring date = LocaleFileTime(m_backups[i].lastWriteTime);
    if (date.empty()) date = FormatBackupDate(clock, m_backups[i].lastWriteTime);
    SetRowText(list, row, 1, date);
    SetRowText(list, row, 2, BackupTrustText(m_backups[i]));
  }
}

bool CBackupRestorePage::ConfirmAction(const UI_TEXT& nothingListed, const UI_TEXT& question) {
  const std::wstring information(Tr(kInformationCaption));
  const std::wstring warning(Tr(kWarningCaption));
  if (::SendMessageW(Item(IDC_BACKUP_LIST), LVM_GETITEMCOUNT, 0, 0) == 0) {
    ::MessageBoxW(m_hwnd, std::wstring(Tr(nothingListed)).c_str(), information.c_str(),
                  MB_OK | MB_ICONINFORMATION);
    return false;
  }
  return ::MessageBoxW(m_hwnd, std::wstring(Tr(question)).c_str(), warning.c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CBackupRestorePage::CreateBackup() {
  m_main.RunBackup();
  Refill();
}

void CBackupRestorePage::RestoreChecked() {
  HWND list = Item(IDC_BACKUP_LIST);
  if (!ConfirmAction(kNothingToRestore, kRestoreQuestion)) return;
  const std::wstring folder = BackupFolder();
  for (int row : CheckedRowsLastFirst(list)) {
    const std::wstring name = RowName(row);
    static_cast<void>(m_main.App().Log().WriteLog(RestoringBackupLogLine(folder, name)));
    const BACKUP_FILES parts = BackupFilesOf(m_main.App().Platform().files, folder, name);
    CRegBackupDlg restore(m_main, parts.registryFile, parts.shortcutList);
    restore.RunModal(m_hwnd, IDD_REG_BACKUP);
  }
  Refill();
}

void CBackupRestorePage::DeleteChecked() {
  HWND list = Item(IDC_BACKUP_LIST);
  if (!ConfirmAction(kNothingToRemove, kDeleteQuestion)) return;
  std::vector<std::wstring> names;
  for (int row : CheckedRowsLastFirst(list)) names.push_back(RowName(row));
  if (names.empty()) return;
  const BACKUP_DELETION deletion =
      DeleteBackups(m_main.App().Platform().files, BackupFolder(), names, &m_main.App().Log());
  Refill();
  if (!deletion.failed.empty()) {
    ::MessageBoxW(m_hwnd, BackupDeletionFailureText(deletion).c_str(),
                  std::wstring(Tr(kWarningCaption)).c_str(), MB_OK | MB_ICONWARNING);
  }
  if (!deletion.removed.empty()) {
    ::MessageBoxW(m_hwnd, std::wstring(Tr(kBackupsDeletedMessage)).c_str(), L"", MB_OK);
  }
}

INT_PTR CBackupRestorePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (message == WM_NOTIFY && HandleListClicks(Item(IDC_BACKUP_LIST), IDC_BACKUP_LIST, lParam)) {
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_BACKUP_LIST && header->code == LVN_COLUMNCLICK) {
      // A click on a column's header sorts by it; a second click turns the order round.
      const int column = reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem;
      if (column > 1) return TRUE;  // the trust column does not sort
      m_sortAscending = column == m_sortColumn ? !m_sortAscending : column == 0;
      m_sortColumn = column;
      ShowRows();
      return TRUE;
    }
  }
  return CPage::OnMessage(message, wParam, lParam, handled);
}

void CBackupRestorePage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_BACKUP_CREATE:
      CreateBackup();
      break;
    case IDC_BACKUP_RESTORE:
      RestoreChecked();
      break;
    case IDC_BACKUP_DELETE:
      DeleteChecked();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Restore points and defragmenter

void CRestoresPage::OnInitDialog() {
  if (Item(IDC_SUBPAGE_LABEL) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_LABEL, Tr(kRestorePointsInformation), 20, 40, 700, 80);
  AddControl(CONTROL_LOOK::kButton, IDC_RESTORE_POINTS, Tr(kRestorePointsButton), 20, 140, 200, 28);
}

void CRestoresPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_RESTORE_POINTS && code == BN_CLICKED) {
    // Nothing is said when the program cannot be started: what it does is the system's.
    static_cast<void>(
        OpenWithShell(m_hwnd, RestorePointsProgramPath(m_main.App().Platform().shell)));
  }
}

void CDefragPage::OnInitDialog() {
  if (Item(IDC_SUBPAGE_LABEL) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_HEADING, Tr(kDefragHeading), 20, 45, 500, 18,
             {{9, true}, SKIN_COLOUR::kTitleText});
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_LABEL, Tr(kDefragInformation), 20, 105, 700, 100);
  AddControl(CONTROL_LOOK::kButton, IDC_DEFRAGMENT, Tr(kDefragmentButton), 20, 275, 140, 28);
}

void CDefragPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_DEFRAGMENT && code == BN_CLICKED) {
    const std::wstring path = DefragmenterPath(m_main.App().Platform().shell);
    ::OutputDebugStringW(path.c_str());
    static_cast<void>(OpenWithShell(m_hwnd, path));
  }
}

void CDefragPage::PaintBackground(HDC dc, const RECT& client) {
  PaintToolLines(dc, client, Scale());
}

// ---------------------------------------------------------------------------------------------
// General settings

void CGSettingsPage::OnInitDialog() {
  if (Item(IDC_SUBPAGE_LABEL) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_LABEL, Tr(kGeneralSettingsHeading), 20, 45, 500, 18,
             {{9, true}, SKIN_COLOUR::kTitleText});
  for (std::size_t i = 0; i < kGeneralOptions.size(); ++i) {
    const GENERAL_OPTION& option = kGeneralOptions[i];
    // Between the page's two lines (85 and 255), all seven rows.
    const int y = 96 + static_cast<int>(i) * 22;
    // The box's text is the value name it is stored under; the box shows only its square, the
    // label beside it says what it means.
    AddControl(CONTROL_LOOK::kCheck, option.checkBoxId, option.valueName, 40, y, 16, 20);
    AddControl(CONTROL_LOOK::kLabel, option.labelId, Tr(option.labelText), 62, y + 3, 440, 16, {},
               SS_NOTIFY);
  }
  AddControl(CONTROL_LOOK::kButton, IDC_CHECK_FOR_UPDATE, Tr(kCheckForUpdate), 20, 275, 140, 28);
}

void CGSettingsPage::LoadOptions() {
  const OPTION_STATES states = ui::LoadOptions(m_main.App().Platform().registry, kProductName);
  for (std::size_t i = 0; i < kGeneralOptions.size(); ++i) {
    ::SendMessageW(Item(kGeneralOptions[i].checkBoxId), BM_SETCHECK,
                   states[i] != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void CGSettingsPage::SaveOptions() {
  OPTION_STATES states{};
  for (std::size_t i = 0; i < kGeneralOptions.size(); ++i) {
    states[i] =
        ::SendMessageW(Item(kGeneralOptions[i].checkBoxId), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1
                                                                                              : 0;
  }
  static_cast<void>(ui::SaveOptions(m_main.App().Platform().registry, kProductName, states));
}

void CGSettingsPage::Highlight(int labelId) {
  if (labelId == m_highlighted) return;
  if (m_highlighted != 0) SetLabelStyle(m_highlighted, {});
  m_highlighted = labelId;
  if (labelId != 0) SetLabelStyle(labelId, {{8}, SKIN_COLOUR::kAccentText});
}

INT_PTR CGSettingsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (message == WM_SETCURSOR) {
    // The pointer over a label highlights it, anywhere else no label is.
    const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
    Highlight(OptionIndexOfLabel(id) >= 0 ? id : 0);
  }
  return CPage::OnMessage(message, wParam, lParam, handled);
}

void CGSettingsPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_CHECK_FOR_UPDATE && code == BN_CLICKED) {
    m_main.LaunchUpdateCheck(m_hwnd);
    return;
  }
  const int option = OptionIndexOfLabel(id);
  if (option >= 0 && code == STN_CLICKED) {
    HWND box = Item(kGeneralOptions[static_cast<std::size_t>(option)].checkBoxId);
    const bool checked = ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    ::SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
  }
}

void CGSettingsPage::PaintBackground(HDC dc, const RECT& client) {
  PaintToolLines(dc, client, Scale());
}

// ---------------------------------------------------------------------------------------------
// Scan schedule

void CSchedulingPage::OnInitDialog() {
  if (Item(IDC_SCHEDULE_LIST) != nullptr) return;
  const SIZE client = DesignSize();
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_LABEL, Tr(kScheduleListHeading), 20, 16, 300, 16,
             kHeadingStyle);
  HWND list = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, L"LISTBOX", L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_SORT | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0,
      m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SCHEDULE_LIST)), LibraryInstance(),
      nullptr);
  Place(list, 20, 40, client.cx - 40, client.cy - kBottomLineOffset - 56);
  SetControlFont(list, {8});
  AddControl(CONTROL_LOOK::kButton, IDC_MANAGE_SCHEDULE, Tr(kManageSchedule), client.cx - 160,
             client.cy - kBottomLineOffset + 10, 140, 28);
}

void CSchedulingPage::RefreshSchedule() {
  HWND list = Item(IDC_SCHEDULE_LIST);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const SCAN_TASK task = ScanTaskForRunningProgram(m_main.App().Platform().shell);
  for (const std::wstring& line : ScanScheduleLines(m_tasks, task, LocaleTriggerWording())) {
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
}

void CSchedulingPage::ManageSchedule() {
  // The system's schedule page where it has one, ours where it has none (Wine). Ours is owned by
  // the main window, so the window waits for it.
  HWND owner = ::GetAncestor(m_hwnd, GA_ROOT);
  const SCAN_TASK task = ScanTaskForRunningProgram(m_main.App().Platform().shell);
  const ErrorCode managed =
      qv::ManageSchedule(m_tasks, task, [owner](IScheduledTasks& tasks, std::wstring_view name) {
        return EditScheduleOwnPage(owner, tasks, name);
      });
  RefreshSchedule();
  if (managed == kScanTaskOfOtherProgram) {
    ProductMessageBox(owner,
                      OtherProgramTaskLine(task.name, ScanTaskOwner(m_tasks, task)) +
                          std::wstring(Tr(kOtherProgramTaskAdvice)),
                      MB_OK | MB_ICONWARNING);
  }
}

void CSchedulingPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_MANAGE_SCHEDULE && code == BN_CLICKED) ManageSchedule();
}

void CSchedulingPage::PaintBackground(HDC dc, const RECT& client) {
  PaintBottomLine(dc, client, Scale());
}

// ---------------------------------------------------------------------------------------------
// Startup manager

CManageStartupsPage::CManageStartupsPage(CQuarveloDlg& main)
    : CPage(main), m_manager(main.App().Platform(), &main.App().Log()) {}

void CManageStartupsPage::OnInitDialog() {
  if (Item(IDC_STARTUP_LIST) != nullptr) return;
  const SIZE client = DesignSize();
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_HEADING, Tr(kStartupHeading), 20, 12, 300, 16,
             kHeadingStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_SUBPAGE_INFORMATION, Tr(kStartupDescription), 20, 32, 600, 30);
  HWND list = CreateCheckList(*this, IDC_STARTUP_LIST, 20, 70, client.cx - 40,
                              client.cy - kBottomLineOffset - 80, LVS_EX_ONECLICKACTIVATE);
  RECT listClient{};
  ::GetClientRect(list, &listClient);
  AddListColumn(list, 0, Tr(kStartupColumnStatus), kStartupColumnStatusWidth, LVCFMT_CENTER);
  AddListColumn(list, 1, Tr(kStartupColumnName), kStartupColumnNameWidth);
  AddListColumn(list, 2, Tr(kStartupColumnPath), kStartupColumnPathWidth);
  // The location takes what the list's client area leaves (its border and scroll bar are the
  // system's, so the width is read back and taken to 96 DPI).
  AddListColumn(list, 3, Tr(kStartupColumnLocation),
                Scale().Unscale(listClient.right) - kStartupColumnsFixedWidth);
  AddControl(CONTROL_LOOK::kButton, IDC_STARTUP_APPLY, Tr(kApply), client.cx - 130,
             client.cy - kBottomLineOffset + 10, 110, 28);
}

void CManageStartupsPage::Refresh() {
  m_manager.Refresh();
  HWND list = Item(IDC_STARTUP_LIST);
  m_filling = true;
  ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  const std::vector<StartupItem>& items = m_manager.Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const int row =
        InsertRow(list, static_cast<int>(i),
                  std::wstring(Tr(items[i].checked ? kStartupStatusOn : kStartupStatusOff)));
    SetRowText(list, row, 1, items[i].name);
    SetRowText(list, row, 2, items[i].command);
    SetRowText(list, row, 3, items[i].location);
    ListView_SetCheckState(list, row, items[i].checked);
  }
  m_filling = false;
}

void CManageStartupsPage::ShowRowState(int row) {
  const bool checked = m_manager.Items()[static_cast<std::size_t>(row)].checked;
  SetRowText(Item(IDC_STARTUP_LIST), row, 0,
             std::wstring(Tr(checked ? kStartupStatusOn : kStartupStatusOff)));
}

void CManageStartupsPage::Apply() {
  static_cast<void>(m_manager.Apply());
  Refresh();
}

INT_PTR CManageStartupsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    HWND list = Item(IDC_STARTUP_LIST);
    if (header->idFrom == IDC_STARTUP_LIST && header->code == LVN_ITEMCHANGED && !m_filling) {
      // The check box of a row changed (a click on it, or the double click below): the row's
      // wanted state follows it, and the row becomes the selected one.
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
      if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) != 0 &&
          ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0 &&
          static_cast<std::size_t>(change->iItem) < m_manager.Items().size()) {
        m_manager.SetChecked(static_cast<std::size_t>(change->iItem),
                             ListView_GetCheckState(list, change->iItem) != FALSE);
        ShowRowState(change->iItem);
        SelectRowAlone(list, change->iItem);
      }
      return TRUE;
    }
    if (header->idFrom == IDC_STARTUP_LIST && header->code == NM_DBLCLK) {
      const int row = ClickedRow(*header);
      if (row >= 0) ToggleRowCheck(list, row);
      return TRUE;
    }
  }
  return CPage::OnMessage(message, wParam, lParam, handled);
}

void CManageStartupsPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_STARTUP_APPLY && code == BN_CLICKED) Apply();
}

}  // namespace qv::ui
