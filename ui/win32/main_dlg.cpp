#include "ui/win32/main_dlg.h"

#include <shellapi.h>

#include <utility>
#include <vector>

#include "app/category_table.h"
#include "base/text_case.h"
#include "platform/win32/win32_dpi.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "ui/page_logic.h"
#include "ui/ui_texts.h"
#include "ui/win32/dialogs.h"
#include "ui/win32/pages.h"
#include "ui/win32/tool_pages.h"
#include "ui/win32/resource.h"

namespace qv::ui {
namespace {

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

// The main window of this thread, which sees the thread's keys before the dialog manager does
// (the message hook below), and the hook.
thread_local CQuarveloDlg* t_keyTarget = nullptr;
thread_local HHOOK t_keyHook = nullptr;

LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE && t_keyTarget != nullptr) {
    auto* msg = reinterpret_cast<MSG*>(lParam);
    // Taken: the message goes on as WM_NULL, which nobody acts on.
    if (t_keyTarget->OnKeyMessage(*msg)) msg->message = WM_NULL;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

CQuarveloDlg::CQuarveloDlg(CQuarveloDllApp& dll) : CBaseDlg(/*headerLine=*/false), m_dll(dll) {}

CQuarveloDlg::~CQuarveloDlg() {
  StopKeyHook();
  if (m_bigIcon != nullptr) ::DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) ::DestroyIcon(m_smallIcon);
}

void CQuarveloDlg::OnInitDialog() {
  // The colours of the user's mode (light, dark, a contrast theme) before anything is drawn.
  ReadSystemPalette();
  // The client area the pages are laid out for, at the DPI of the display the window is on.
  KeepDialogFromSystemScaling(m_hwnd);
  SetLayout(DpiOfWindow(m_hwnd), SIZE{kMainClientWidth, kMainClientHeight});
  RECT frame{0, 0, Scale()(kMainClientWidth), Scale()(kMainClientHeight)};
  AdjustWindowRectForDpi(&frame, static_cast<DWORD>(::GetWindowLongPtrW(m_hwnd, GWL_STYLE)),
                         static_cast<DWORD>(::GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE)), Dpi());
  ::SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
  SetIcons();
  ::SetWindowTextW(m_hwnd, kMainCaption);

  // The navigation row: five buttons with separators, the help button at the right.
  const UI_TEXT captions[kNavButtonCount] = {kNavButtonScan, kNavButtonSettings,
                                             kNavButtonBackups, kNavButtonOtherTools,
                                             kNavButtonStatistics};
  for (int i = 0; i < kNavButtonCount; ++i) {
    AddControl(CONTROL_LOOK::kNavButton, IDC_NAV_FIRST + i, Tr(captions[i]), 12 + i * 128, 10, 116,
               36);
  }
  AddControl(CONTROL_LOOK::kButton, IDC_HELP_BUTTON, Tr(kHelpButton), 668, 14, 80, 28);
  // Separators in the gaps between the buttons of the settings, backups and tools pages.
  for (int i = 0; i < 3; ++i) {
    AddControl(CONTROL_LOOK::kLabel, IDC_SEPARATOR_FIRST + i, kSeparator, 12 + 116 + (i + 1) * 128 + 3,
               18, 6, 20, {{9}, SKIN_COLOUR::kSeparatorText});
  }
  AddControl(CONTROL_LOOK::kLabel, IDC_PAGE_TITLE, L"", 16, 54, 600, 32,
             {{18}, SKIN_COLOUR::kTitleText});

  // The pages, each in its area below the row.
  const RECT area{0, kPageTop, kMainClientWidth, kMainClientHeight};
  m_options = std::make_unique<CRegOptionsPage>(*this);
  std::vector<CONTAINER_TAB> settingsTabs;
  settingsTabs.push_back({IDC_CONTAINER_TAB_FIRST, kTabSettings, kTabSettings,
                          std::make_unique<CGSettingsPage>(*this)});
  settingsTabs.push_back({IDC_CONTAINER_TAB_FIRST + 1, kTabIgnoreList, kTabIgnoreList,
                          std::make_unique<CIgnoreListPage>(*this)});
  settingsTabs.push_back({IDC_CONTAINER_TAB_FIRST + 2, kTabManageSchedule, kTabManageSchedule,
                          std::make_unique<CSchedulingPage>(*this)});
  m_settings = std::make_unique<CContainerPage>(*this, std::move(settingsTabs));
  std::vector<CONTAINER_TAB> backupTabs;
  backupTabs.push_back({IDC_TAB_BACKUPS, kBackupsTabButton, UI_TEXT{},
                        std::make_unique<CBackupRestorePage>(*this)});
  backupTabs.push_back({IDC_TAB_RESTORE_POINTS, kRestorePointsTabButton, UI_TEXT{},
                        std::make_unique<CRestoresPage>(*this)});
  m_backups = std::make_unique<CContainerPage>(*this, std::move(backupTabs));
  std::vector<CONTAINER_TAB> toolTabs;
  toolTabs.push_back({IDC_TAB_MANAGE_STARTUPS, kTabManageStartups, UI_TEXT{},
                      std::make_unique<CManageStartupsPage>(*this)});
  toolTabs.push_back({IDC_TAB_DEFRAGMENT, kTabDefragment, UI_TEXT{},
                      std::make_unique<CDefragPage>(*this)});
  m_otherTools = std::make_unique<CContainerPage>(*this, std::move(toolTabs));
  m_statistics = std::make_unique<CStatisticsPage>(*this);
  m_scan = std::make_unique<CRegScanPage>(*this);
  m_results = std::make_unique<CRegScanResultsPage>(*this);
  m_pages = {m_options.get(),    m_settings.get(), m_backups.get(), m_otherTools.get(),
             m_statistics.get(), m_scan.get(),     m_results.get()};
  m_titles = {kNavTitleScan, kNavTitleSettings, kNavTitleBackups, kNavTitleOtherTools,
              UI_TEXT{}, UI_TEXT{}, UI_TEXT{}};
  for (CPage* page : m_pages) page->CreatePage(*this, area);
  ApplyColours();
  ApplyTitleBarMode(m_hwnd);

  m_requested = 0;
  m_current = -1;
  m_previous = -1;
  ShowPage(kPageOptions);
  ::SetFocus(NavButton(0));

  // The visible shape, and the place: a fifth of the work area from its top-left corner.
  SetShape();
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(m_hwnd, nullptr, work.right / 5, work.bottom / 5, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  ::SetTimer(m_hwnd, kStartupTimer, kStartupDelayMs, nullptr);
  // Ctrl+Tab switches the tabs of a container page; the dialog manager would take it for Tab.
  if (t_keyHook == nullptr) {
    t_keyHook = ::SetWindowsHookExW(WH_GETMESSAGE, &KeyHook, nullptr, ::GetCurrentThreadId());
  }
  if (t_keyHook != nullptr) t_keyTarget = this;
}

void CQuarveloDlg::StopKeyHook() {
  if (t_keyTarget != this) return;
  t_keyTarget = nullptr;
  ::UnhookWindowsHookEx(t_keyHook);
  t_keyHook = nullptr;
}

void CQuarveloDlg::OnDestroy() { StopKeyHook(); }

bool CQuarveloDlg::OnKeyMessage(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || ::GetKeyState(VK_CONTROL) >= 0) {
    return false;
  }
  // Only keys meant for this window while it takes input (no modal window over it).
  if (msg.hwnd != m_hwnd && !::IsChild(m_hwnd, msg.hwnd)) return false;
  if (!::IsWindowEnabled(m_hwnd)) return false;
  CContainerPage* container = m_current == kPageSettings    ? m_settings.get()
                              : m_current == kPageBackups   ? m_backups.get()
                              : m_current == kPageOtherTools ? m_otherTools.get()
                                                             : nullptr;
  if (container == nullptr) return false;
  container->SelectNextTab(::GetKeyState(VK_SHIFT) < 0);
  // The keyboard is in use: focus cues show from now on.
  ::SendMessageW(m_hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  return true;
}

void CQuarveloDlg::KeepFocusInSight() {
  HWND focus = ::GetFocus();
  if (focus != nullptr && focus != m_hwnd && !::IsChild(m_hwnd, focus)) return;  // elsewhere
  if (focus != nullptr && focus != m_hwnd && ::IsWindowVisible(focus) &&
      ::IsWindowEnabled(focus)) {
    return;
  }
  // The first control of the page shown that takes the focus, else its navigation button.
  auto usable = [&](HWND control) {
    return control != nullptr && ::IsWindowVisible(control) && ::IsWindowEnabled(control) &&
           (::GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0;
  };
  HWND target = nullptr;
  if (m_current >= 0 && m_current < kPageCount) {
    HWND page = m_pages[static_cast<std::size_t>(m_current)]->Handle();
    HWND first = ::GetNextDlgTabItem(page, nullptr, FALSE);
    if (usable(first) && ::IsChild(page, first)) target = first;
    if (target == nullptr) {
      HWND button = NavButton(m_current < kNavButtonCount ? m_current : 0);
      if (usable(button)) target = button;
    }
  }
  if (target != nullptr) ::SetFocus(target);
}

void CQuarveloDlg::SetIcons() {
  HICON bigIcon = static_cast<HICON>(
      ::LoadImageW(LibraryInstance(), MAKEINTRESOURCEW(IDI_PRODUCT), IMAGE_ICON,
                   SystemMetricForDpi(SM_CXICON, Dpi()), SystemMetricForDpi(SM_CYICON, Dpi()), 0));
  HICON smallIcon = static_cast<HICON>(::LoadImageW(
      LibraryInstance(), MAKEINTRESOURCEW(IDI_PRODUCT), IMAGE_ICON,
      SystemMetricForDpi(SM_CXSMICON, Dpi()), SystemMetricForDpi(SM_CYSMICON, Dpi()), 0));
  ::SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
  ::SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  if (m_bigIcon != nullptr) ::DestroyIcon(m_bigIcon);
  if (m_smallIcon != nullptr) ::DestroyIcon(m_smallIcon);
  m_bigIcon = bigIcon;
  m_smallIcon = smallIcon;
}

void CQuarveloDlg::SetShape() {
  // A rectangle from the window's top-left corner, 12 pixels wider and 32 taller than the client
  // area (at 96 DPI): the frame and caption stay whole.
  RECT client{};
  ::GetClientRect(m_hwnd, &client);
  ::SetWindowRgn(m_hwnd,
                 ::CreateRectRgn(0, 0, client.right + Scale()(12), client.bottom + Scale()(32)),
                 TRUE);
}

void CQuarveloDlg::OnDpiChanged() {
  SetIcons();
  SetShape();
}

void CQuarveloDlg::ShowPage(int index) {
  if (m_current >= 0) {
    if (m_current < kNavButtonCount) SetSelected(IDC_NAV_FIRST + m_current, false);
    if (m_current >= kPageScan) SetSelected(IDC_NAV_FIRST, false);
    m_pages[static_cast<std::size_t>(m_current)]->OnHide();
    ::ShowWindow(m_pages[static_cast<std::size_t>(m_current)]->Handle(), SW_HIDE);
  }
  m_previous = m_current;
  m_current = index;
  if (index < 0 || index >= kPageCount) return;
  const UI_TEXT& title = m_titles[static_cast<std::size_t>(index)];
  SetItemText(IDC_PAGE_TITLE, index == kPageOptions || title.id == 0 ? L"" : Tr(title));
  // Pages 5 and 6 share the first button.
  const int button = index < kNavButtonCount ? index : 0;
  SetSelected(IDC_NAV_FIRST + button, true);
  CPage* page = m_pages[static_cast<std::size_t>(index)];
  ::ShowWindow(page->Handle(), SW_SHOW);
  page->OnShow();
  KeepFocusInSight();
}

void CQuarveloDlg::SetBusy(bool busy) {
  m_dll.idle.store(!busy);
  for (int i = 0; i < kNavButtonCount; ++i) ::EnableWindow(NavButton(i), busy ? FALSE : TRUE);
  KeepFocusInSight();
}

void CQuarveloDlg::StartScan(STARTED_BY start) {
  if (m_current != kPageOptions) ShowPage(kPageOptions);
  m_options->StartScan(start);
}

void CQuarveloDlg::RunRepair(STARTED_BY start) {
  CSystemApplication& app = App();
  CRegistryCleaner* engine = app.Engine();
  if (engine == nullptr || engine->Problems().empty()) return;
  m_dll.repairNotes.clear();
  SetBusy(true);
  static_cast<void>(app.Log().WriteLog(kStartFixingLog));
  m_dll.statusWord = kStatusStartedFixing;
  CRepairNotices notices(app.Log(), start);
  CProgressDlg progress(*this, notices);
  progress.RunModal(m_hwnd, IDD_PROGRESS);
  // The dialog always ends the busy state; an interrupted repair leaves the pages as they were.
  SetBusy(false);
  m_dll.repairNotes = notices.Kept();
  if (!m_dll.repairNotes.empty()) {
    // Nobody was asked: the statistics page says it instead, also after an early end.
    if (m_current == kPageStatistics) {
      m_statistics->Refresh();
    } else {
      ShowPage(kPageStatistics);
    }
  }
  if (ReadSettingInt(app.Platform().registry, kHkeyLocalMachine, kProductName, kValueCloseAfter,
                     kDefaultCloseAfter) != 0) {
    CloseAfterRepair();
  }
}

void CQuarveloDlg::CloseAfterRepair() {
  const std::wstring launcher = ProgramFolder() + L"\\" + kLauncherProgram;
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  // No error box of the shell: the run may be unattended.
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.lpVerb = L"open";
  execute.lpFile = launcher.c_str();
  execute.lpParameters = kCloseSwitch;
  execute.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&execute)) {
    // Without the launcher the window closes itself, as the launcher would have asked it to.
    static_cast<void>(App().Log().WriteLog(kCloseAfterWithoutLauncherLog));
    ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
  }
}

void CQuarveloDlg::RunBackup() {
  CRegBackupDlg backup(*this);
  backup.RunModal(m_hwnd, IDD_REG_BACKUP);
}

void CQuarveloDlg::LaunchUpdater(bool explicitRequest) {
  RECT client{};
  ::GetClientRect(m_hwnd, &client);
  ::MapWindowPoints(m_hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
  StartUpdater(client, UPDATER_ORIGIN::kMainWindow, explicitRequest);
}

void CQuarveloDlg::LaunchUpdateCheck(HWND page) {
  RECT rect{};
  ::GetWindowRect(page, &rect);
  StartUpdater(rect, UPDATER_ORIGIN::kSettingsPage, /*explicitRequest=*/true);
}

void CQuarveloDlg::StartUpdater(const RECT& rect, UPDATER_ORIGIN origin, bool explicitRequest) {
  const std::wstring folder = ProgramFolder();
  const std::wstring updater = folder + L"\\" + kUpdaterProgram;
  // The updater is outside the program and usually absent: the start-up check says nothing then.
  if (!explicitRequest && ::GetFileAttributesW(updater.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const std::wstring version = ProductVersionText(App().Platform().shell);
  std::wstring command = UpdaterCommandLine(updater, folder + L"\\" + kLauncherProgram, version,
                                            rect.left, rect.top, rect.right, rect.bottom, origin);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // The program named as well as quoted first on its command line: nothing is searched for.
  if (!::CreateProcessW(updater.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    ProductMessageBox(m_hwnd, Tr(kCouldNotLaunch), MB_OK);
    return;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

void CQuarveloDlg::OpenHelp() {
  ::ShellExecuteW(m_hwnd, L"Open", kHelpAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

void CQuarveloDlg::OnStartupTimer() {
  ::KillTimer(m_hwnd, kStartupTimer);
  ShowStartNotes();
  switch (m_dll.request) {
    case OPENING_REQUEST::kResults:
      ShowPage(kPageStatistics);
      break;
    case OPENING_REQUEST::kStartScan:
      StartScan(STARTED_BY::kItself);
      break;
    case OPENING_REQUEST::kUpdates:
      LaunchUpdater(/*explicitRequest=*/true);
      break;
    case OPENING_REQUEST::kFirstStart:
      if (ReadSettingInt(App().Platform().registry, kHkeyLocalMachine, kProductName,
                         kValueAutoUpdatesAlias, kDefaultAutoUpdates) == 1) {
        LaunchUpdater(/*explicitRequest=*/false);
      }
      break;
    case OPENING_REQUEST::kPlain:
    case OPENING_REQUEST::kNone:
      break;
  }
}

void CQuarveloDlg::OnSystemColoursChanged(UINT message, WPARAM wParam, LPARAM lParam) {
  // The system's controls among the pages hear of a colour change only from their top-level
  // window.
  if (message == WM_SYSCOLORCHANGE) {
    struct FORWARD {
      WPARAM wParam;
      LPARAM lParam;
    } forward{wParam, lParam};
    ::EnumChildWindows(
        m_hwnd,
        [](HWND child, LPARAM data) -> BOOL {
          const auto* f = reinterpret_cast<const FORWARD*>(data);
          ::SendMessageW(child, WM_SYSCOLORCHANGE, f->wParam, f->lParam);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&forward));
  }
  const SKIN_PALETTE before = CurrentPalette();
  ReadSystemPalette();
  const SKIN_PALETTE& now = CurrentPalette();
  if (message != WM_SYSCOLORCHANGE && now.mode == before.mode && now.colours == before.colours) {
    return;  // another setting changed
  }
  ApplyTitleBarMode(m_hwnd);
  ApplyColours();
}

void CQuarveloDlg::ShowStartNotes() {
  const std::vector<std::wstring>& notes = m_dll.startNotes;
  if (notes.empty()) return;
  // A run that goes on by itself (the scheduled scan, AUTOREPAIR) waits for nobody: the notes
  // are in the activity log and on the statistics page.
  if (m_dll.request == OPENING_REQUEST::kStartScan ||
      ReadSettingInt(App().Platform().registry, kHkeyLocalMachine, kProductName, kValueAutoRepair,
                     kDefaultAutoRepair) != 0) {
    return;
  }
  std::wstring text;
  for (const std::wstring& note : notes) text += (text.empty() ? L"" : L"\n\n") + note;
  ProductMessageBox(m_hwnd, text, MB_OK | MB_ICONWARNING);
}

void CQuarveloDlg::Close() {
  if (!m_dll.idle.load()) {
    if (EqualsNoCase(m_dll.statusWord, kStatusStartedScan)) {
      ProductMessageBox(m_hwnd, Tr(kWaitForScan), MB_OK | MB_ICONINFORMATION);
    } else if (EqualsNoCase(m_dll.statusWord, kStatusStartedFixing)) {
      ProductMessageBox(m_hwnd, Tr(kWaitForFixing), MB_OK | MB_ICONINFORMATION);
    }
    return;
  }
  static_cast<void>(App().SaveCategoryTable());
  // The general settings store their boxes when they are hidden.
  if (m_current == kPageSettings) m_settings->OnHide();
  ::EndDialog(m_hwnd, 1);
}

INT_PTR CQuarveloDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  switch (message) {
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
      OnSystemColoursChanged(message, wParam, lParam);
      break;
    case WM_TIMER:
      if (wParam != kStartupTimer) break;
      OnStartupTimer();
      *handled = true;
      return 0;
    case WM_CLOSE:
      Close();
      *handled = true;
      return 0;
    case WM_LBUTTONDOWN:
      // The background drags the window as its caption would.
      ::ReleaseCapture();
      ::SendMessageW(m_hwnd, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      *handled = true;
      return 0;
    case WM_PAINT:
      if (::IsIconic(m_hwnd)) {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(m_hwnd, &paint);
        RECT client{};
        ::GetClientRect(m_hwnd, &client);
        const int side = SystemMetricForDpi(SM_CXICON, Dpi());
        ::DrawIconEx(dc, (client.right - side + 1) / 2, (client.bottom - side + 1) / 2,
                     m_bigIcon, side, side, 0, nullptr, DI_NORMAL);
        ::EndPaint(m_hwnd, &paint);
        *handled = true;
        return 0;
      }
      break;
    case kMsgStartScanRequest:
      // A second launcher with "-t": the scan starts here, unless one is running already.
      if (m_dll.idle.load()) StartScan(STARTED_BY::kItself);
      *handled = true;
      return 0;
    case kMsgShowRequest:
      ::ShowWindow(m_hwnd, ::IsIconic(m_hwnd) ? SW_RESTORE : SW_SHOW);
      ::SetForegroundWindow(m_hwnd);
      *handled = true;
      return 0;
    default:
      break;
  }
  return CBaseDlg::OnMessage(message, wParam, lParam, handled);
}

void CQuarveloDlg::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id >= IDC_NAV_FIRST && id < IDC_NAV_FIRST + kNavButtonCount) {
    const int index = id - IDC_NAV_FIRST;
    m_requested = index;
    if (index == m_current) return;
    ShowPage(index);
  } else if (id == IDC_HELP_BUTTON) {
    OpenHelp();
  }
}

}  // namespace qv::ui
