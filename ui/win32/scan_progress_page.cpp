// Page 5, a scan in progress: the entry being examined, the category, the counts, the progress
// over the categories' weights, the live list of problems by category and "Stop Scan". It runs
// the application's scan thread through the window messages of the scan sink and hands the end
// of the scan to the main window; it changes nothing in the registry.
#include "ui/win32/pages.h"

#include <algorithm>

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
#include "ui/win32/skin_drawing.h"

namespace qv::ui {
namespace {

constexpr UINT_PTR kAnimationTimer = 10;
constexpr UINT_PTR kScanEndTimer = 11;
constexpr unsigned kAnimationFrameMs = 120;

}  // namespace

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
  FillRect(dc, RECT{client.left, 0, client.right, Scale().Line()}, Colour(SKIN_COLOUR::kPageLine));
  // The frame behind the list: one pixel (at 96 DPI) round it.
  FillRect(dc, ScaleRect(19, 189, 741, 401), Colour(SKIN_COLOUR::kListFrame));
}

void CRegScanPage::DrawPicture(int id, HDC dc, const RECT& rect) {
  if (id == IDC_SCAN_ANIMATION && m_animating) DrawScanAnimation(dc, rect, m_frame, Scale());
}

void CRegScanPage::OnDestroy() {
  if (m_sink != nullptr) m_sink->Close();
}

}  // namespace qv::ui
