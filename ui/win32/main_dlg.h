// The main window: the navigation row over the pages, the page title, the opening request of the
// export that made it, the updater, the close guard, and the repair that the pages start.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "ui/page_logic.h"
#include "ui/repair_notices.h"
#include "ui/win32/dll_app.h"
#include "ui/win32/framework.h"

namespace qv::ui {

class CPage;
class CRegOptionsPage;
class CRegScanPage;
class CRegScanResultsPage;
class CStatisticsPage;
class CContainerPage;

// Navigation indexes.
inline constexpr int kPageOptions = 0;
inline constexpr int kPageSettings = 1;
inline constexpr int kPageBackups = 2;
inline constexpr int kPageOtherTools = 3;
inline constexpr int kPageStatistics = 4;
inline constexpr int kPageScan = 5;
inline constexpr int kPageResults = 6;
inline constexpr int kPageCount = 7;
inline constexpr int kNavButtonCount = 5;

// The client area the main window lays its pages out in, and the page area below the row, in
// pixels at 96 DPI.
inline constexpr int kMainClientWidth = 760;
inline constexpr int kMainClientHeight = 540;
inline constexpr int kPageTop = 92;

inline constexpr UINT_PTR kStartupTimer = 1;
inline constexpr unsigned kStartupDelayMs = 100;

class CQuarveloDlg final : public CBaseDlg {
 public:
  explicit CQuarveloDlg(CQuarveloDllApp& dll);
  ~CQuarveloDlg() override;

  [[nodiscard]] CQuarveloDllApp& Dll() { return m_dll; }
  [[nodiscard]] CSystemApplication& App() { return m_dll.App(); }

  // Hides the page shown (its button back to normal) and shows the page of the index (its
  // button selected); -1 stands for none. Index 0 shows an empty title.
  void ShowPage(int index);
  [[nodiscard]] int CurrentPage() const { return m_current; }
  // The idle flag of the library, with every navigation button enabled or disabled.
  void SetBusy(bool busy);
  // The options page's start scan: "Scan Now" of other pages (by the user), the start-scan
  // export and 1126 (by itself: the scheduled scan's "-t").
  void StartScan(STARTED_BY start = STARTED_BY::kUser);
  // Repairs the selected problems of the last scan behind the progress dialog: busy, "Start
  // Fixing here" logged, status "Started Fixing"; afterwards the pages' rows of that scan are
  // dropped, and with "CLOSEAFTER" set the launcher closes this instance. A repair that started
  // by itself shows no message box: what it would say is logged and shown on the statistics
  // page (see CRepairNotices).
  void RunRepair(STARTED_BY start);
  // The full registry backup behind its dialog.
  void RunBackup();
  // Starts the updater beside the program; with `explicitRequest` a missing or failing updater
  // is reported, otherwise (the start-up check) nothing is said when it is not there.
  void LaunchUpdater(bool explicitRequest);
  // The general settings page's "Check for Update": the updater with the page's rectangle.
  void LaunchUpdateCheck(HWND page);

  [[nodiscard]] CRegScanPage& ScanPage() { return *m_scan; }
  [[nodiscard]] CRegScanResultsPage& ResultsPage() { return *m_results; }
  [[nodiscard]] CStatisticsPage& StatisticsPage() { return *m_statistics; }
  [[nodiscard]] CRegOptionsPage& OptionsPage() { return *m_options; }
  [[nodiscard]] HWND NavButton(int index) const { return Item(IDC_NAV_FIRST_ID + index); }

  static constexpr int IDC_NAV_FIRST_ID = 1000;

  // A message this thread is about to take: true when the window acted on it (Ctrl+Tab and
  // Ctrl+Shift+Tab switch the tabs of the container page shown), and nobody else may.
  bool OnKeyMessage(const MSG& msg);

 protected:
  void OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) override;
  void OnCommand(int id, int code, HWND control) override;
  void OnDpiChanged() override;

 private:
  void OnDestroy() override;
  void StopKeyHook();
  // The focus never stays on a control that was hidden or disabled (a page switched, the
  // navigation row disabled while busy): it goes to the first control of the page shown that
  // takes it, else to the page's navigation button.
  void KeepFocusInSight();
  void OnStartupTimer();
  // WM_SYSCOLORCHANGE, WM_SETTINGCHANGE or WM_THEMECHANGED: the colour mode and the system's
  // colours are read again, and everything is drawn in them.
  void OnSystemColoursChanged(UINT message, WPARAM wParam, LPARAM lParam);
  // The icons at the sizes the system shows at the window's DPI, and the visible shape.
  void SetIcons();
  void SetShape();
  // The data folder's notes of this start (CQuarveloDllApp::startNotes) in a message box, unless
  // the run goes on by itself.
  void ShowStartNotes();
  // Starts the updater with the rectangle (screen coordinates); see LaunchUpdater.
  void StartUpdater(const RECT& rect, UPDATER_ORIGIN origin, bool explicitRequest);
  // "CLOSEAFTER": the launcher beside the program closes this instance.
  void CloseAfterRepair();
  void Close();
  void OpenHelp();

  CQuarveloDllApp& m_dll;
  std::unique_ptr<CRegOptionsPage> m_options;
  std::unique_ptr<CContainerPage> m_settings;
  std::unique_ptr<CContainerPage> m_backups;
  std::unique_ptr<CContainerPage> m_otherTools;
  std::unique_ptr<CStatisticsPage> m_statistics;
  std::unique_ptr<CRegScanPage> m_scan;
  std::unique_ptr<CRegScanResultsPage> m_results;
  std::array<CPage*, kPageCount> m_pages{};
  std::array<UI_TEXT, kPageCount> m_titles{};  // id 0: no title
  int m_current = -1;
  int m_previous = -1;
  int m_requested = 0;
  HICON m_bigIcon = nullptr;
  HICON m_smallIcon = nullptr;
};

}  // namespace qv::ui
