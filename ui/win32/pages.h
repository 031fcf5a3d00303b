// The pages of the main window: scan options and summary (scan_options_page.cpp), scan progress
// (scan_progress_page.cpp), scan results (scan_results_page.cpp), statistics
// (statistics_page.cpp), and the containers of the settings, backups and other tools
// (container_page.cpp); the tools' own sub-pages are in tool_pages.h.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/win32/html_list_ctrl.h"
#include "engine/registry_problem.h"
#include "engine/win32/scan_sink_win32.h"
#include "ui/page_logic.h"
#include "ui/repair_notices.h"
#include "ui/win32/framework.h"

namespace qv::ui {

class CQuarveloDlg;

// The title and the step line at the top of a page.
inline const LABEL_STYLE kTitleStyle{{14, true}, SKIN_COLOUR::kTitleText};
inline const LABEL_STYLE kStepStyle{{10}, SKIN_COLOUR::kAccentText};

// A page: a skinned child dialog of the main window, told when it is shown and hidden.
class CPage : public CBaseDlg {
 public:
  explicit CPage(CQuarveloDlg& main, bool headerLine = false)
      : CBaseDlg(headerLine), m_main(main) {}
  // Creates the page, hidden, in its area of the parent (pixels of the parent at 96 DPI), at the
  // parent's DPI, and lays it out with the parent from then on.
  void CreatePage(CBaseDlg& parent, const RECT& area);
  virtual void OnShow() {}
  virtual void OnHide() {}

 protected:
  [[nodiscard]] bool InitializesOnCreate() const override { return false; }

  CQuarveloDlg& m_main;
};

// Page 0: the categories to scan, the summary of the last scan and its health, "Scan Now".
class CRegOptionsPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { RefreshSummary(); }
  // "Scan Now": the ticked categories stored and a new scan started on the scan page. With none
  // ticked, the user is told so; a scan the program starts by itself logs it instead.
  void StartScan(STARTED_BY start = STARTED_BY::kUser);
  void RefreshSummary();
  void SetCategoryChecks();

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;
  void DrawPicture(int id, HDC dc, const RECT& rect) override;

 private:
  HEALTH_PICTURE m_picture = HEALTH_PICTURE::kNeverScanned;
};

// Page 5: a scan in progress, its live list of problems, "Stop Scan".
class CRegScanPage final : public CPage {
 public:
  using CPage::CPage;
  // Resets the counts and labels and starts the scan thread on the application's new engine.
  // False when the thread could not start (the page then shows the options page again).
  bool Start();
  // Drops every row (the problems they show are gone or replaced).
  void ClearList();
  // Rebuilds the rows from the problem list (after an "Ignore" elsewhere removed one).
  void RebuildList();
  [[nodiscard]] bool Scanning() const { return m_scanning; }

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;
  void PaintBackground(HDC dc, const RECT& client) override;
  void DrawPicture(int id, HDC dc, const RECT& rect) override;
  void OnDestroy() override;
  void OnDpiChanged() override { m_list.SetDpi(Dpi()); }

 private:
  void OnScanStarted();
  void OnEntryExamined(const wchar_t* text);
  void OnProblemFound(CRegistryProblem& problem);
  void OnCategoryStarted(int index);
  void OnCategoryFinished(int index);
  void OnScanEnded();
  void StopScan();
  void FinishScan();  // the end of a scan once its thread is joined
  void AddProblemRow(CRegistryProblem& problem);

  CMyHTMLListCtrl m_list;
  std::vector<std::unique_ptr<CScanCategory>> m_groups;
  std::array<CScanCategory*, kCategoryCount> m_groupOf{};
  std::shared_ptr<CWin32ScanSink> m_sink;
  std::uint32_t m_processed = 0;
  std::int64_t m_errors = 0;
  int m_progress = 0;
  std::uint32_t m_lastDisplay = 0;
  int m_frame = 0;
  bool m_scanning = false;
  bool m_animating = false;
};

// Page 6: the problems of the last scan by category, with their check boxes and "Ignore".
class CRegScanResultsPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override;
  // Drops every row (after a repair; the next showing after a scan rebuilds them).
  void ClearList();
  // "Fix Errors" (by the user), the auto-repair timer (unattended) and the options page's repair
  // link (by the user): see DecideFix; an unattended repair asks nothing.
  void FixErrors(STARTED_BY start);

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;
  void OnDpiChanged() override { m_list.SetDpi(Dpi()); }

 private:
  void Rebuild();
  void UpdateHeading();
  void OnIgnore(CRegistryProblem& problem);

  CHTMLListCtrl m_list;
  std::vector<std::unique_ptr<CScanCategory>> m_groups;
  int m_builtGeneration = -1;
};

// Page 4: found, fixed and ignored per category with their totals, the date and a verdict.
class CStatisticsPage final : public CPage {
 public:
  using CPage::CPage;
  void OnShow() override { Refresh(); }
  void Refresh();

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;
  void DrawPicture(int id, HDC dc, const RECT& rect) override;

 private:
  VERDICT_PICTURE m_picture = VERDICT_PICTURE::kUnchanged;
};

// One tab of a container: its button, the title it gives the main window's title label (id 0:
// the label is left as it is) and its sub-page.
struct CONTAINER_TAB {
  int buttonId;
  UI_TEXT caption;
  UI_TEXT title;
  std::unique_ptr<CPage> page;
};

// Pages 1-3: a container of sub-pages behind a row of tab buttons. Showing the container shows
// its last selected sub-page (the first the first time); hiding it hides that sub-page, which
// is told (the general settings store their boxes then).
class CContainerPage final : public CPage {
 public:
  CContainerPage(CQuarveloDlg& main, std::vector<CONTAINER_TAB> tabs);
  void OnShow() override;
  void OnHide() override;
  void SelectTab(int index);
  // Ctrl+Tab (Ctrl+Shift+Tab backwards): the next tab, round the row, with the focus on its
  // button.
  void SelectNextTab(bool backwards);
  [[nodiscard]] int SelectedTab() const { return m_selected; }
  [[nodiscard]] CPage& SubPage(int index) { return *m_tabs[static_cast<std::size_t>(index)].page; }

 protected:
  void OnInitDialog() override;
  void OnCommand(int id, int code, HWND control) override;

 private:
  std::vector<CONTAINER_TAB> m_tabs;
  int m_selected = -1;
  int m_last = 0;
};

}  // namespace qv::ui
