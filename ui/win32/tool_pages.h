// The sub-pages of the three containers: general settings, ignore list and scan schedule;
// backups and restore points; startup manager and defragmenter. Each only shows and forwards:
// what it does is in app/, repair/ and tools/, which the console calls too.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/ignore_list.h"
#include "platform/win32/win32_scheduled_tasks.h"
#include "repair/backup_list.h"
#include "tools/startup_manager.h"
#include "ui/win32/pages.h"

namespace qv::ui {

// A report-style list view of a sub-page with check boxes, grid lines, full-row select and flat
// scroll bars, in the Tahoma face, at a 96-DPI rectangle of the page (laid out with it);
// `extraExStyle` adds further extended styles. Its columns: CBaseDlg::AddListColumn.
HWND CreateCheckList(CBaseDlg& page, int id, int x, int y, int width, int height,
                     DWORD extraExStyle = 0);
// The indexes of the rows whose check box is set, last row first.
[[nodiscard]] std::vector<int> CheckedRowsLastFirst(HWND list);
// The row under a list click notification, or -1.
[[nodiscard]] int ClickedRow(const NMHDR& header);
// Selects the row alone (a single click's behaviour of the lists of these pages).
void SelectRowAlone(HWND list, int row);
void ToggleRowCheck(HWND list, int row);

// The ignore list: the problems the user chose to ignore and those repairs blocked, newest
// first; "Remove Item" takes the checked rows off the list.
class CIgnoreListPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { Refill(); }
  void Refill();
  void RemoveCheckedRows();

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;

 private:
  std::vector<IGNORE_ROW> m_rows;  // what each row shows, in row order
};

// The registry backups of the backup folder, newest first: "Create Backup", "Restore" and
// "Delete" of the checked rows.
class CBackupRestorePage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { Refill(); }
  void Refill();
  void CreateBackup();
  void RestoreChecked();
  void DeleteChecked();

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;

 private:
  [[nodiscard]] std::wstring BackupFolder();
  [[nodiscard]] std::wstring RowName(int row) const;
  void ShowRows();
  // With no rows, says so; otherwise asks the question: true on Yes.
  [[nodiscard]] bool ConfirmAction(const UI_TEXT& nothingListed, const UI_TEXT& question);

  std::vector<BACKUP_ENTRY> m_backups;  // as the rows show them
  int m_sortColumn = 1;                 // "Date and Time"
  bool m_sortAscending = false;         // newest first
};

// What System Restore is, and a button that opens the system's restore point program.
class CRestoresPage final : public CPage {
 public:
  using CPage::CPage;

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
};

// What defragmenting is, and a button that opens the system's defragmenter.
class CDefragPage final : public CPage {
 public:
  using CPage::CPage;

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;
};

// The six yes/no options of the program, each stored under its check box's text, and "Check for
// Update". The boxes are read each time the page is shown and stored each time it is hidden.
class CGSettingsPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { LoadOptions(); }
  void OnHide() override { SaveOptions(); }
  void LoadOptions();
  void SaveOptions();

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;

 private:
  void Highlight(int labelId);
  int m_highlighted = 0;
};

// The trigger descriptions of the scheduled scan, and "Manage Schedule".
class CSchedulingPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { RefreshSchedule(); }
  void RefreshSchedule();
  void ManageSchedule();

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;

 private:
  CWin32ScheduledTasks m_tasks;
};

// The programs that start with Windows, each on or off; "Apply" makes the check boxes so.
class CManageStartupsPage final : public CPage {
 public:
  explicit CManageStartupsPage(CQuarveloDlg& main);
  void OnShow() override { Refresh(); }
  void Refresh();
  void Apply();

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;

 private:
  void ShowRowState(int row);

  CStartupManager m_manager;
  bool m_filling = false;
};

// Opens a program or document with the shell's "Open" verb, shown normally; false when the
// shell could not start it.
bool OpenWithShell(HWND owner, const std::wstring& path);

}  // namespace qv::ui
