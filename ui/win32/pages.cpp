#include "ui/win32/pages.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "app/category_table.h"
#include "base/text.h"
#include "engine/categories.h"
#include "engine/scan_sink.h"
#include "platform/win32/win32_dpi.h"
#include "state/settings.h"
#include "state/state_texts.h"
#include "ui/ui_texts.h"
#include "ui/win32/locale_format.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"

namespace qv::ui {
namespace {

constexpr UINT_PTR kAnimationTimer = 10;
constexpr UINT_PTR kScanEndTimer = 11;
constexpr UINT_PTR kAutoRepairTimer = 100;
constexpr unsigned kAnimationFrameMs = 120;

static_assert(std::size(kStatisticsRowNames) == kCategoryCount);

const LABEL_STYLE kTitleStyle{{14, true}, SKIN_COLOUR::kTitleText};
const LABEL_STYLE kStepStyle{{10}, SKIN_COLOUR::kAccentText};

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

std::int64_t Sum(const CATEGORY_TABLE& table, std::int32_t CATEGORY_SETTINGS::*field) {
  std::int64_t sum = 0;
  for (const CATEGORY_SETTINGS& record : table) sum += record.*field;
  return sum;
}

}  // namespace

void CPage::CreatePage(CBaseDlg& parent, const RECT& area) {
  Create(parent.Handle(), IDD_PAGE);
  KeepDialogFromSystemScaling(m_hwnd);
  SetLayout(parent.Dpi(), SIZE{area.right - area.left, area.bottom - area.top});
  // The template makes it hidden; placing it leaves it so.
  parent.Place(m_hwnd, area.left, area.top, area.right - area.left, area.bottom - area.top);
  parent.AddChildDialog(*this);
  OnInitDialog();  // the controls are made once the page has its size
}

// ---------------------------------------------------------------------------------------------
// Scan options and summary

void CRegOptionsPage::OnInitDialog() {
  if (Item(IDC_OPTIONS_TITLE) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_OPTIONS_TITLE, Tr(kOptionsTitle), 20, 8, 400, 26, kTitleStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_OPTIONS_STEP, Tr(kOptionsStep), 20, 36, 200, 18, kStepStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_OPTIONS_SUBTITLE, Tr(kOptionsSubtitle), 20, 58, 500, 18,
             {{9}});
  for (int i = 0; i < kCategoryCount; ++i) {
    const int column = i < 6 ? 0 : 1;
    const int row = i < 6 ? i : i - 6;
    const int x = 40 + column * 360;
    const int y = 86 + row * 26;
    AddControl(CONTROL_LOOK::kCheck, IDC_CATEGORY_CHECK_FIRST + i, L"", x, y + 2, 16, 18);
    AddControl(CONTROL_LOOK::kLabel, IDC_CATEGORY_NAME_FIRST + i, CategoryShownName(i), x + 22,
               y + 3, 300, 18, {{9}}, SS_NOTIFY);
  }
  SetCategoryChecks();
  AddControl(CONTROL_LOOK::kLabel, IDC_SUMMARY_CAPTION, Tr(kSummaryCaption), 20, 268, 200, 20,
             {{10, true}, SKIN_COLOUR::kTitleText});
  AddControl(CONTROL_LOOK::kPicture, IDC_HEALTH_PICTURE, L"", 40, 300, 72, 72);
  AddControl(CONTROL_LOOK::kLabel, IDC_HEALTH_LABEL, L"", 132, 296, 380, 24,
             {{12, true}, SKIN_COLOUR::kTitleText});
  AddControl(CONTROL_LOOK::kLabel, IDC_ADVICE_LABEL, L"", 132, 322, 400, 18, {{9}});
  AddControl(CONTROL_LOOK::kLabel, IDC_SUMMARY_LAST_SCAN, L"", 132, 348, 400, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SUMMARY_FOUND, L"", 132, 368, 400, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SUMMARY_FIXED, L"", 132, 388, 400, 18);
  AddControl(CONTROL_LOOK::kLink, IDC_REPAIR_LINK, Tr(kRepairLink), 132, 412, 200, 20, {}, 0);
  AddControl(CONTROL_LOOK::kLargeButton, IDC_SCAN_NOW, Tr(kScanNow), 560, 316, 170, 56);
  RefreshSummary();
}

void CRegOptionsPage::SetCategoryChecks() {
  const CATEGORY_TABLE& table = m_main.App().Categories();
  for (int i = 0; i < kCategoryCount; ++i) {
    ::CheckDlgButton(m_hwnd, IDC_CATEGORY_CHECK_FIRST + i,
                     table[static_cast<std::size_t>(i)].enabled != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
}

void CRegOptionsPage::RefreshSummary() {
  CSystemApplication& app = m_main.App();
  const CATEGORY_TABLE& table = app.Categories();
  const std::int64_t errors = Sum(table, &CATEGORY_SETTINGS::found);
  const std::int64_t fixed = Sum(table, &CATEGORY_SETTINGS::fixed);
  // Decided on the English text, shown in the user's language and locale.
  const std::wstring stored = ReadLastScanText(app.Platform().registry, kProductName);
  const std::wstring lastScan = FormatLastScanDisplay(stored);
  const std::wstring shownLastScan = LocaleLastScanText(stored);
  const HEALTH_SUMMARY summary = SummarizeHealth(lastScan, errors, fixed);
  m_picture = summary.picture;
  SetItemText(IDC_HEALTH_LABEL, std::wstring(Tr(kHealthPrefix)) + std::wstring(summary.word));
  SetLabelStyle(IDC_HEALTH_LABEL,
                {{12, true}, summary.picture == HEALTH_PICTURE::kBad ? SKIN_COLOUR::kWarningText
                                                                               : SKIN_COLOUR::kTitleText});
  SetItemText(IDC_ADVICE_LABEL, summary.advice);
  SetItemText(IDC_SUMMARY_LAST_SCAN, TrFormat(kSummaryLastScanFormat, {shownLastScan}));
  SetItemText(IDC_SUMMARY_FOUND, DisplayCount(Tr(kSummaryFoundFormat), errors));
  SetItemText(IDC_SUMMARY_FIXED, DisplayCount(Tr(kSummaryFixedFormat), fixed));
  // Shown or hidden once: a refresh never makes the link blink out under the pointer.
  ShowItem(IDC_REPAIR_LINK, summary.repairLink);
  if (HWND picture = Item(IDC_HEALTH_PICTURE)) ::InvalidateRect(picture, nullptr, TRUE);
}

void CRegOptionsPage::StartScan(STARTED_BY start) {
  CSystemApplication& app = m_main.App();
  CATEGORY_SELECTION selection{};
  bool any = false;
  for (int i = 0; i < kCategoryCount; ++i) {
    selection[static_cast<std::size_t>(i)] =
        ::IsDlgButtonChecked(m_hwnd, IDC_CATEGORY_CHECK_FIRST + i) == BST_CHECKED;
    any = any || selection[static_cast<std::size_t>(i)];
  }
  if (!any) {
    if (start == STARTED_BY::kUser) {
      ProductMessageBox(m_main.Handle(), Tr(kSelectOneCategory), MB_OK | MB_ICONINFORMATION);
    } else {
      static_cast<void>(app.Log().WriteLog(Tr(kSelectOneCategory, WORDING::kEnglish)));
    }
    return;
  }
  for (int i = 0; i < kCategoryCount; ++i) {
    const int enabled = selection[static_cast<std::size_t>(i)] ? 1 : 0;
    app.Categories()[static_cast<std::size_t>(i)].enabled = enabled;
    static_cast<void>(WriteSettingText(app.Platform().registry, kProductName,
                                       CategoryEnabledValueName(i), enabled));
  }
  // The rows of the last scan point at its problems, which the new scan's engine replaces.
  m_main.ResultsPage().ClearList();
  m_main.ScanPage().ClearList();
  ++m_main.Dll().listGeneration;
  if (!app.NewScan(selection)) return;
  m_main.Dll().repairNotes.clear();
  m_main.SetBusy(true);
  m_main.ShowPage(kPageScan);
  if (!m_main.ScanPage().Start()) {
    m_main.SetBusy(false);
    m_main.ShowPage(kPageOptions);
  }
}

void CRegOptionsPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_SCAN_NOW && code == BN_CLICKED) {
    StartScan();
  } else if (id == IDC_REPAIR_LINK && code == BN_CLICKED) {
    // As the results page's "Fix Errors" does: nothing ticked is said, and nothing is repaired.
    m_main.ResultsPage().FixErrors(STARTED_BY::kUser);
  } else if (id >= IDC_CATEGORY_NAME_FIRST && id < IDC_CATEGORY_NAME_FIRST + kCategoryCount &&
             code == STN_CLICKED) {
    const int check = IDC_CATEGORY_CHECK_FIRST + (id - IDC_CATEGORY_NAME_FIRST);
    ::CheckDlgButton(m_hwnd, check,
                     ::IsDlgButtonChecked(m_hwnd, check) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  }
}

void CRegOptionsPage::PaintBackground(HDC dc, const RECT& client) {
  const int top = Scale()(258);
  const RECT line{client.left + Scale()(10), top, client.right - Scale()(10), top + Scale().Line()};
  FillSolid(dc, line, Colour(SKIN_COLOUR::kLine));
}

void CRegOptionsPage::DrawPicture(int id, HDC dc, const RECT& rect) {
  if (id != IDC_HEALTH_PICTURE) return;
  const PICTURE picture = m_picture == HEALTH_PICTURE::kGood  ? PICTURE::kGood
                          : m_picture == HEALTH_PICTURE::kBad ? PICTURE::kBad
                                                              : PICTURE::kNeverScanned;
  DrawHealthPicture(dc, rect, picture);
}

// ---------------------------------------------------------------------------------------------
// Scan progress

void CRegScanPage::OnInitDialog() {
  if (Item(IDC_SCAN_HEADING) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_HEADING, Tr(kScanHeading), 20, 8, 400, 26, kTitleStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_STEP, Tr(kScanStep), 20, 36, 200, 18, kStepStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_ENTRIES_CAPTION, Tr(kScanEntriesCaption), 20, 64, 120, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_ENTRY, L"", 140, 64, 520, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_STATUS_CAPTION, Tr(kScanStatusCaption), 20, 86, 120, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_STATUS, L"", 140, 86, 400, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_COUNT_CAPTION, Tr(kProcessedCaption), 20, 108, 120, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_COUNT, L"0", 140, 108, 200, 18);
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_BOTTOM, Tr(kFindingInvalid), 20, 132, 400, 20,
             {{10, true}, SKIN_COLOUR::kWarningText});
  AddControl(CONTROL_LOOK::kLabel, IDC_SCAN_PROGRESS_CAPTION, Tr(kTotalProgressCaption), 20, 160, 120,
             18);
  HWND bar = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, m_hwnd,
                               reinterpret_cast<HMENU>(IDC_SCAN_PROGRESS), LibraryInstance(),
                               nullptr);
  Place(bar, 140, 160, 520, 16);
  ::SendMessageW(bar, PBM_SETRANGE32, 0, kCategoryCount);
  AddControl(CONTROL_LOOK::kPicture, IDC_SCAN_ANIMATION, L"", 676, 64, 64, 64);
  ShowItem(IDC_SCAN_ANIMATION, false);
  // The plain report list of the page: made hidden, only ever emptied.
  HWND report = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 0, 0, m_hwnd,
                                  reinterpret_cast<HMENU>(IDC_SCAN_REPORT), LibraryInstance(),
                                  nullptr);
  Place(report, 20, 190, 533, 200);
  AddListColumn(report, 0, L"Category Name", 300, LVCFMT_LEFT);
  AddListColumn(report, 1, L"Error Count", 125, LVCFMT_RIGHT);
  AddListColumn(report, 2, L"Risk Level", 108, LVCFMT_LEFT);
  static_cast<void>(m_list.Create(m_hwnd, ScaleRect(20, 190, 740, 400)));
  Place(m_list.Window(), 20, 190, 720, 210);
  AddControl(CONTROL_LOOK::kButton, IDC_STOP_SCAN, Tr(kStopScan), 600, 410, 140, 32);
}

bool CRegScanPage::Start() {
  CSystemApplication& app = m_main.App();
  const int total = ScanProgressTotal(app.Categories());
  ::SendDlgItemMessageW(m_hwnd, IDC_SCAN_PROGRESS, PBM_SETRANGE32, 0, total);
  ::SendDlgItemMessageW(m_hwnd, IDC_SCAN_PROGRESS, PBM_SETPOS, 0, 0);
  m_progress = 0;
  m_processed = 0;
  SetItemText(IDC_SCAN_BOTTOM, DisplayCount(Tr(kErrorsFoundFormat), 0));
  SetItemText(IDC_SCAN_STATUS, L"");
  SetItemText(IDC_SCAN_ENTRY, L"");
  SetItemText(IDC_SCAN_COUNT, L"0");
  ::SendDlgItemMessageW(m_hwnd, IDC_SCAN_REPORT, LVM_DELETEALLITEMS, 0, 0);
  SetItemText(IDC_SCAN_STATUS_CAPTION, Tr(kScanStatusCaption));
  SetItemText(IDC_SCAN_STATUS, Tr(kInitiatingScan));
  m_main.Dll().statusWord = kStatusStartedScan;
  ::EnableWindow(Item(IDC_STOP_SCAN), TRUE);

  ErrorCode error = kErrorSuccess;
  m_sink = CWin32ScanSink::Create(m_hwnd, &error);
  if (m_sink == nullptr) return false;
  // Found and fixed counts of the table start from 0 for this scan.
  if (!app.StartScan(*m_sink, /*pacing=*/true)) {
    m_sink.reset();
    return false;
  }
  m_scanning = true;
  ::UpdateWindow(m_hwnd);
  return true;
}

INT_PTR CRegScanPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  switch (message) {
    case kMsgScanStarted:
      OnScanStarted();
      break;
    case kMsgEntryExamined:
      OnEntryExamined(reinterpret_cast<const wchar_t*>(lParam));
      break;
    case kMsgProblemFound:
      OnProblemFound(*reinterpret_cast<CRegistryProblem*>(lParam));
      break;
    case kMsgCategoryStarted:
      OnCategoryStarted(static_cast<int>(lParam));
      break;
    case kMsgCategoryFinished:
      OnCategoryFinished(static_cast<int>(lParam));
      break;
    case kMsgCategorySkipped:
      break;
    case kMsgScanEnded:
      OnScanEnded();
      break;
    case WM_TIMER:
      if (wParam == kAnimationTimer) {
        m_frame = (m_frame + 1) % 8;
        if (HWND picture = Item(IDC_SCAN_ANIMATION)) ::InvalidateRect(picture, nullptr, FALSE);
      } else if (wParam == kScanEndTimer) {
        ::KillTimer(m_hwnd, kScanEndTimer);
        FinishScan();
      }
      break;
    default:
      return CPage::OnMessage(message, wParam, lParam, handled);
  }
  *handled = true;
  return 0;
}

void CRegScanPage::OnScanStarted() {
  m_animating = true;
  ShowItem(IDC_SCAN_ANIMATION, true);
  ::SetTimer(m_hwnd, kAnimationTimer, kAnimationFrameMs, nullptr);
  m_errors = 0;
  ClearList();
  ::ShowWindow(m_list.Window(), SW_HIDE);
  ::ShowWindow(m_list.Window(), SW_SHOW);
}

void CRegScanPage::OnEntryExamined(const wchar_t* text) {
  ++m_processed;
  const std::uint32_t now = ::GetTickCount();
  if (now - m_lastDisplay <= kEntryDisplayIntervalMs) return;
  m_lastDisplay = now;
  SetItemText(IDC_SCAN_ENTRY, AbbreviateEntryPath(text != nullptr ? text : L""));
  SetItemText(IDC_SCAN_COUNT, LocaleNumber(m_processed));
  // The scan's reports come one after another: the page is painted now, not when they pause.
  ::UpdateWindow(m_hwnd);
}

void CRegScanPage::OnCategoryStarted(int index) {
  if (!IsValidCategory(index)) return;
  SetItemText(IDC_SCAN_STATUS, CategoryShownName(index));
}

void CRegScanPage::OnCategoryFinished(int index) {
  if (!IsValidCategory(index)) return;
  m_progress += CategoryWeight(CategoryDisplayName(index));
  ::SendDlgItemMessageW(m_hwnd, IDC_SCAN_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(m_progress), 0);
}

void CRegScanPage::OnProblemFound(CRegistryProblem& problem) {
  const int category = static_cast<int>(problem.type);
  if (!IsValidCategory(category)) return;
  ++m_errors;
  m_main.App().CountFound(category);
  SetItemText(IDC_SCAN_BOTTOM, DisplayCount(Tr(kErrorsFoundFormat), m_errors));
  AddProblemRow(problem);
  ::UpdateWindow(m_list.Window());
}

void CRegScanPage::AddProblemRow(CRegistryProblem& problem) {
  const auto index = static_cast<std::size_t>(problem.type);
  CScanCategory*& group = m_groupOf[index];
  if (group == nullptr) {
    m_groups.push_back(std::make_unique<CScanCategory>(
        std::wstring(CategoryShownName(static_cast<int>(index))), problem.type));
    group = m_groups.back().get();
    m_list.AddItem(group->name, kHtmlListCategoryRow, group);
  }
  m_list.AddItem(BuildProblemRowText(problem), kHtmlListProblemRow, &problem);
  ++group->rowCount;
  group->problemCount += 1 + static_cast<std::int32_t>(std::max<std::int64_t>(problem.reserved, 0));
  if (problem.selected) ++group->selectedCount;
}

void CRegScanPage::ClearList() {
  m_list.RemoveAllItems();
  m_groups.clear();
  m_groupOf.fill(nullptr);
}

void CRegScanPage::RebuildList() {
  ClearList();
  CRegistryCleaner* engine = m_main.App().Engine();
  if (engine == nullptr) return;
  for (std::size_t i = 0; i < engine->Problems().size(); ++i) {
    AddProblemRow(*engine->Problems().At(i));
  }
}

void CRegScanPage::OnScanEnded() {
  m_scanning = false;
  m_main.Dll().statusWord = kStatusScanComplete;
  SetItemText(IDC_SCAN_STATUS, Tr(kFinalizingScan));
  ::EnableWindow(Item(IDC_STOP_SCAN), FALSE);
  // The pause keeps the page as it is without holding the window: a timer ends it.
  ::SetTimer(m_hwnd, kScanEndTimer, kScanEndPauseMs, nullptr);
}

void CRegScanPage::StopScan() {
  if (!m_scanning) return;
  CScanWorker& worker = m_main.App().ScanWorker();
  worker.Pause();
  const int answer =
      ProductMessageBox(m_main.Handle(), Tr(kStopScanQuestion), MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES || !m_scanning) {
    worker.Resume();
    return;
  }
  m_scanning = false;
  m_main.Dll().statusWord = kStatusScanCancelled;
  FinishScan();
}

void CRegScanPage::FinishScan() {
  CSystemApplication& app = m_main.App();
  // The scan thread ends: no report of it reaches the page any more.
  if (m_sink != nullptr) m_sink->Close();
  app.ScanWorker().Stop();
  m_sink.reset();
  ::SendDlgItemMessageW(m_hwnd, IDC_SCAN_PROGRESS, PBM_SETPOS, kProgressFull, 0);
  static_cast<void>(WriteSettingText(app.Platform().registry, kProductName, kValueEntriesScanned,
                                     static_cast<int>(std::min<std::uint32_t>(m_processed, INT32_MAX))));
  m_main.SetBusy(false);
  ::SetFocus(m_main.NavButton(0));
  if (m_errors == 0) {
    m_main.ShowPage(kPageStatistics);
  } else {
    ::KillTimer(m_hwnd, kAnimationTimer);
    m_animating = false;
    ShowItem(IDC_SCAN_ANIMATION, false);
    m_main.ShowPage(kPageResults);
  }
}

void CRegScanPage::OnCommand(int id, int code, HWND) {
  if (id == IDC_STOP_SCAN && code == BN_CLICKED) StopScan();
}

void CRegScanPage::PaintBackground(HDC dc, const RECT& client) {
  FillSolid(dc, RECT{client.left, 0, client.right, Scale().Line()}, Colour(SKIN_COLOUR::kPageLine));
  // The frame behind the list: one pixel (at 96 DPI) round it.
  FillSolid(dc, ScaleRect(19, 189, 741, 401), Colour(SKIN_COLOUR::kListFrame));
}

void CRegScanPage::DrawPicture(int id, HDC dc, const RECT& rect) {
  if (id == IDC_SCAN_ANIMATION && m_animating) DrawScanAnimation(dc, rect, m_frame, Scale());
}

void CRegScanPage::OnDestroy() {
  if (m_sink != nullptr) m_sink->Close();
}

// ---------------------------------------------------------------------------------------------
// Scan results

void CRegScanResultsPage::OnInitDialog() {
  if (Item(IDC_RESULTS_TITLE) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_RESULTS_TITLE, Tr(kResultsTitle), 20, 8, 400, 26, kTitleStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_RESULTS_STEP, Tr(kResultsStep), 20, 36, 200, 18, kStepStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_RESULTS_HEADING, L"", 20, 60, 720, 30,
             {{16, true}, SKIN_COLOUR::kAttentionText, SKIN_COLOUR::kAttentionBack}, SS_CENTERIMAGE);
  const UI_TEXT captions[] = {kColumnSections, kColumnErrorCount, kColumnSelect};
  // Each caption ends inside the page: the last one at the list's right edge (740).
  const int xs[] = {70, 560, 690};
  const int widths[] = {400, 120, 50};
  for (int i = 0; i < 3; ++i) {
    AddControl(CONTROL_LOOK::kLabel, IDC_RESULTS_COLUMN_FIRST + i, Tr(captions[i]), xs[i], 98,
               widths[i], 18, {{9, true}, SKIN_COLOUR::kTitleText});
  }
  static_cast<void>(m_list.Create(m_hwnd, ScaleRect(20, 120, 740, 400)));
  Place(m_list.Window(), 20, 120, 720, 280);
  // Not shown: the name a screen reader gives the list, the caption above its rows.
  ::SetWindowTextW(m_list.Window(), std::wstring(Tr(kColumnSections)).c_str());
  AddControl(CONTROL_LOOK::kButton, IDC_CREATE_BACKUP, Tr(kCreateBackup), 440, 410, 140, 32);
  ShowItem(IDC_CREATE_BACKUP, false);
  AddControl(CONTROL_LOOK::kButton, IDC_FIX_ERRORS, Tr(kFixErrors), 600, 410, 140, 32);
}

void CRegScanResultsPage::OnShow() {
  if (m_builtGeneration == m_main.Dll().listGeneration) return;
  m_builtGeneration = m_main.Dll().listGeneration;
  Rebuild();
}

void CRegScanResultsPage::ClearList() {
  m_list.RemoveAllItems();
  m_groups.clear();
  // Stale until the next showing builds the rows of whatever scan comes next.
  m_builtGeneration = -1;
}

void CRegScanResultsPage::Rebuild() {
  m_list.RemoveAllItems();
  m_groups.clear();
  CSystemApplication& app = m_main.App();
  CRegistryCleaner* engine = app.Engine();
  const CATEGORY_TABLE& table = app.Categories();
  for (int i = 0; i < kCategoryCount; ++i) {
    if (table[static_cast<std::size_t>(i)].enabled == 0) continue;
    m_groups.push_back(std::make_unique<CScanCategory>(std::wstring(CategoryShownName(i)),
                                                       static_cast<REGPROBLEM_TYPE>(i)));
  }
  const std::size_t count = engine != nullptr ? engine->Problems().size() : 0;
  for (const auto& group : m_groups) {
    for (std::size_t p = 0; p < count; ++p) {
      CRegistryProblem& problem = *engine->Problems().At(p);
      if (problem.type != group->type) continue;
      problem.selected = true;
      ++group->rowCount;
      ++group->selectedCount;
      group->problemCount +=
          1 + static_cast<std::int32_t>(std::max<std::int64_t>(problem.reserved, 0));
    }
  }
  for (const auto& group : m_groups) {
    if (group->problemCount <= 0) continue;
    m_list.AddItem(group->name, kHtmlListCategoryRow, group.get());
    for (std::size_t p = 0; p < count; ++p) {
      CRegistryProblem& problem = *engine->Problems().At(p);
      if (problem.type != group->type) continue;
      m_list.AddItem(BuildProblemRowText(problem), kHtmlListProblemRow, &problem);
    }
  }
  UpdateHeading();
  ::EnableWindow(Item(IDC_FIX_ERRORS), count > 0);
  ::EnableWindow(Item(IDC_CREATE_BACKUP), count > 0);
  if (count > 0 && ReadSettingInt(app.Platform().registry, kHkeyLocalMachine, kProductName,
                                  kValueAutoRepair, kDefaultAutoRepair) != 0) {
    ::SetTimer(m_hwnd, kAutoRepairTimer, kAutoRepairDelayMs, nullptr);
  }
}

void CRegScanResultsPage::UpdateHeading() {
  CRegistryCleaner* engine = m_main.App().Engine();
  const std::size_t count = engine != nullptr ? engine->Problems().size() : 0;
  SetItemText(IDC_RESULTS_HEADING,
              DisplayCount(Tr(kAttentionFormat), static_cast<std::int64_t>(count)));
}

void CRegScanResultsPage::OnIgnore(CRegistryProblem& problem) {
  CSystemApplication& app = m_main.App();
  // Logged, added to the ignore list and saved (a failed save keeps the list marked changed).
  static_cast<void>(app.IgnoreProblem(problem));
  // The scan page's rows may show the problem too: they go before the problem does.
  m_main.ScanPage().ClearList();
  if (CRegistryCleaner* engine = app.Engine()) engine->Problems().Remove(&problem);
  m_main.ScanPage().RebuildList();
  UpdateHeading();
}

void CRegScanResultsPage::FixErrors(STARTED_BY start) {
  CSystemApplication& app = m_main.App();
  CRegistryCleaner* engine = app.Engine();
  switch (DecideFix(engine != nullptr ? &engine->Problems() : nullptr)) {
    case FIX_DECISION::kNothing:
      return;
    case FIX_DECISION::kNothingSelected:
      static_cast<void>(app.Log().WriteLog(kNothingSelectedLog));
      if (start == STARTED_BY::kUser) {
        ProductMessageBox(m_main.Handle(), Tr(kSelectOneItem), MB_OK | MB_ICONINFORMATION);
      }
      return;
    case FIX_DECISION::kRepair:
      m_main.RunRepair(start);
      return;
  }
}

INT_PTR CRegScanResultsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                       bool* handled) {
  if (message == WM_NOTIFY) {
    const auto* notify = reinterpret_cast<const NMHTMLLIST*>(lParam);
    if (notify->hdr.hwndFrom == m_list.Window()) {
      if (notify->hdr.code == kHtmlListNotifyIgnore && notify->data != nullptr) {
        OnIgnore(*static_cast<CRegistryProblem*>(notify->data));
      } else if (notify->hdr.code == kHtmlListNotifyChecked) {
        UpdateHeading();
      }
      *handled = true;
      return 0;
    }
  }
  if (message == WM_TIMER && wParam == kAutoRepairTimer) {
    ::KillTimer(m_hwnd, kAutoRepairTimer);
    FixErrors(STARTED_BY::kItself);
    *handled = true;
    return 0;
  }
  return CPage::OnMessage(message, wParam, lParam, handled);
}

void CRegScanResultsPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id == IDC_FIX_ERRORS) FixErrors(STARTED_BY::kUser);
  if (id == IDC_CREATE_BACKUP) m_main.RunBackup();
}

// ---------------------------------------------------------------------------------------------
// Statistics

void CStatisticsPage::OnInitDialog() {
  if (Item(IDC_STATS_TITLE) != nullptr) return;
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_TITLE, Tr(kStatisticsTitle), 20, 8, 400, 26, kTitleStyle);
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_SECTION, Tr(kStatisticsSection), 20, 40, 300, 20,
             {{10, true}, SKIN_COLOUR::kAccentText});
  const UI_TEXT columns[] = {kColumnFound, kColumnFixed, kColumnIgnored};
  for (int c = 0; c < 3; ++c) {
    AddControl(CONTROL_LOOK::kLabel, IDC_STATS_COLUMN_FIRST + c, Tr(columns[c]), 300 + c * 90, 66, 80,
               18, {{9, true}, SKIN_COLOUR::kTitleText}, SS_RIGHT);
  }
  for (int i = 0; i < kCategoryCount; ++i) {
    const int y = 88 + i * 20;
    AddControl(CONTROL_LOOK::kLabel, IDC_STATS_NAME_FIRST + i,
               Tr(kStatisticsRowNames[static_cast<std::size_t>(i)]), 30, y, 260, 18);
    AddControl(CONTROL_LOOK::kLabel, IDC_STATS_FOUND_FIRST + i, L"0", 300, y, 80, 18, {}, SS_RIGHT);
    AddControl(CONTROL_LOOK::kLabel, IDC_STATS_FIXED_FIRST + i, L"0", 390, y, 80, 18, {}, SS_RIGHT);
    AddControl(CONTROL_LOOK::kLabel, IDC_STATS_IGNORED_FIRST + i, L"0", 480, y, 80, 18, {},
               SS_RIGHT);
  }
  const LABEL_STYLE total{{9, true}, SKIN_COLOUR::kTitleText};
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_TOTAL_FOUND, L"", 30, 314, 250, 18, total);
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_TOTAL_CLEANED, L"", 30, 332, 250, 18, total);
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_TOTAL_IGNORED, L"", 300, 314, 250, 18, total);
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_ITEMS_SCANNED, L"", 300, 332, 250, 18, total);
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_DATE, L"", 30, 354, 500, 18);
  // What an unattended repair logged instead of asking, one line each (hidden when nothing).
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_NOTES, L"", 30, 376, 400, 68,
             {{8}, SKIN_COLOUR::kWarningText});
  AddControl(CONTROL_LOOK::kPicture, IDC_STATS_PICTURE, L"", 620, 90, 96, 96);
  // Room for a verdict of five lines (how many were fixed and how many not).
  AddControl(CONTROL_LOOK::kLabel, IDC_STATS_STATUS, L"", 580, 196, 170, 100,
             {{10, true}, SKIN_COLOUR::kTitleText}, SS_CENTER);
  AddControl(CONTROL_LOOK::kButton, IDC_STATS_FIX, Tr(kFixErrors), 440, 410, 140, 32);
  AddControl(CONTROL_LOOK::kButton, IDC_STATS_SCAN, Tr(kScanNow), 600, 410, 140, 32);
  Refresh();
}

void CStatisticsPage::Refresh() {
  CSystemApplication& app = m_main.App();
  const CATEGORY_TABLE& table = app.Categories();
  const std::array<int, kCategoryCount> ignoredSinceLoad = app.IgnoredSinceLoad();
  std::int64_t found = 0;
  std::int64_t cleaned = 0;
  std::int64_t ignored = 0;
  for (int i = 0; i < kCategoryCount; ++i) {
    const CATEGORY_SETTINGS& record = table[static_cast<std::size_t>(i)];
    const int ignoredHere = ignoredSinceLoad[static_cast<std::size_t>(i)];
    SetItemText(IDC_STATS_FOUND_FIRST + i, LocaleNumber(record.found));
    SetItemText(IDC_STATS_FIXED_FIRST + i, LocaleNumber(record.fixed));
    SetItemText(IDC_STATS_IGNORED_FIRST + i, LocaleNumber(ignoredHere));
    found += record.found;
    cleaned += record.fixed;
    ignored += ignoredHere;
  }
  IRegistry& registry = app.Platform().registry;
  const int scanned = ReadSettingInt(registry, kHkeyLocalMachine, kProductName,
                                     kValueEntriesScanned, kDefaultEntriesScanned);
  SetItemText(IDC_STATS_TOTAL_FOUND, std::wstring(Tr(kTotalFoundCaption)) + LocaleNumber(found));
  SetItemText(IDC_STATS_TOTAL_CLEANED,
              std::wstring(Tr(kTotalCleanedCaption)) + LocaleNumber(cleaned));
  SetItemText(IDC_STATS_TOTAL_IGNORED,
              std::wstring(Tr(kTotalIgnoredCaption)) + LocaleNumber(ignored));
  SetItemText(IDC_STATS_ITEMS_SCANNED,
              std::wstring(Tr(kItemsScannedCaption)) + LocaleNumber(scanned));
  // Decided on the English text, shown in the user's language and locale.
  const std::wstring stored = ReadLastScanText(registry, kProductName);
  const std::wstring lastScan = FormatLastScanDisplay(stored);
  SetItemText(IDC_STATS_DATE, TrFormat(kLastScanDateFormat, {LocaleLastScanText(stored)}));
  // What the last repair since the scan could not do (both 0 after a scan).
  const int notFixed = ReadSettingInt(registry, kHkeyLocalMachine, kProductName,
                                      kValueTotalNotFixed, 0);
  const int changed = ReadSettingInt(registry, kHkeyLocalMachine, kProductName, kValueTotalChanged,
                                     1);
  const STATISTICS_VERDICT verdict =
      StatisticsVerdict(lastScan, found, cleaned, ignored, notFixed, changed != 0);
  SetItemText(IDC_STATS_STATUS, verdict.text);
  if (verdict.picture != VERDICT_PICTURE::kUnchanged) m_picture = verdict.picture;
  ShowItem(IDC_STATS_FIX, verdict.fixButton);
  // The data folder's notes of this start, what the lists had to tell, then the notes of the last
  // unattended repair.
  std::vector<std::wstring> notes = m_main.Dll().startNotes;
  const std::vector<std::wstring>& listNotes = m_main.Dll().listNotes;
  notes.insert(notes.end(), listNotes.begin(), listNotes.end());
  const std::vector<std::wstring>& repairNotes = m_main.Dll().repairNotes;
  notes.insert(notes.end(), repairNotes.begin(), repairNotes.end());
  std::wstring noteText;
  for (const std::wstring& note : notes) noteText += (noteText.empty() ? L"" : L"\n") + note;
  SetItemText(IDC_STATS_NOTES, noteText);
  ShowItem(IDC_STATS_NOTES, !notes.empty());
  if (HWND picture = Item(IDC_STATS_PICTURE)) ::InvalidateRect(picture, nullptr, TRUE);
}

void CStatisticsPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  if (id == IDC_STATS_SCAN) {
    m_main.ShowPage(kPageOptions);
    m_main.StartScan();
  } else if (id == IDC_STATS_FIX) {
    CRegistryCleaner* engine = m_main.App().Engine();
    if (engine == nullptr || engine->Problems().empty()) {
      // The options page's start scan, from here: the scan page follows this one directly.
      m_main.OptionsPage().StartScan();
    } else {
      m_main.RunRepair(STARTED_BY::kUser);
    }
  }
}

void CStatisticsPage::DrawPicture(int id, HDC dc, const RECT& rect) {
  if (id != IDC_STATS_PICTURE || m_picture == VERDICT_PICTURE::kUnchanged) return;
  DrawHealthPicture(dc, rect, m_picture == VERDICT_PICTURE::kGood ? PICTURE::kGood : PICTURE::kBad);
}

// ---------------------------------------------------------------------------------------------
// Containers

CContainerPage::CContainerPage(CQuarveloDlg& main, std::vector<CONTAINER_TAB> tabs)
    : CPage(main, /*headerLine=*/true), m_tabs(std::move(tabs)) {}

void CContainerPage::OnInitDialog() {
  if (m_tabs.empty() || Item(m_tabs.front().buttonId) != nullptr) return;
  const SIZE client = DesignSize();
  // The sub-pages fill the container less the tab row's 27 pixels and a pixel at each side.
  const RECT area{1, 27, client.cx - 1, client.cy - 1};
  // Every tab button before the sub-pages: Tab goes along the tab row, then into the page shown.
  for (std::size_t i = 0; i < m_tabs.size(); ++i) {
    AddControl(CONTROL_LOOK::kNavButton, m_tabs[i].buttonId, Tr(m_tabs[i].caption),
               10 + static_cast<int>(i) * 200, 0, 190, 26);
  }
  for (CONTAINER_TAB& tab : m_tabs) tab.page->CreatePage(*this, area);
}

void CContainerPage::SelectNextTab(bool backwards) {
  const int count = static_cast<int>(m_tabs.size());
  if (count == 0) return;
  const int from = m_selected >= 0 ? m_selected : m_last;
  SelectTab((from + (backwards ? count - 1 : 1)) % count);
  if (m_selected >= 0) ::SetFocus(Item(m_tabs[static_cast<std::size_t>(m_selected)].buttonId));
}

void CContainerPage::OnShow() { SelectTab(m_last); }

void CContainerPage::OnHide() {
  if (m_selected < 0) return;
  CONTAINER_TAB& tab = m_tabs[static_cast<std::size_t>(m_selected)];
  SetSelected(tab.buttonId, false);
  tab.page->OnHide();
  ::ShowWindow(tab.page->Handle(), SW_HIDE);
  m_last = m_selected;
  m_selected = -1;
}

void CContainerPage::SelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(m_tabs.size()) || index == m_selected) return;
  if (m_selected >= 0) {
    CONTAINER_TAB& shown = m_tabs[static_cast<std::size_t>(m_selected)];
    SetSelected(shown.buttonId, false);
    shown.page->OnHide();
    ::ShowWindow(shown.page->Handle(), SW_HIDE);
  }
  m_selected = index;
  m_last = index;
  CONTAINER_TAB& tab = m_tabs[static_cast<std::size_t>(index)];
  SetSelected(tab.buttonId, true);
  if (tab.title.id != 0) m_main.SetItemText(IDC_PAGE_TITLE, Tr(tab.title));
  ::ShowWindow(tab.page->Handle(), SW_SHOW);
  tab.page->OnShow();
}

void CContainerPage::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return;
  for (std::size_t i = 0; i < m_tabs.size(); ++i) {
    if (m_tabs[i].buttonId == id) SelectTab(static_cast<int>(i));
  }
}

}  // namespace qv::ui
