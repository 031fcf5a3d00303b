// Page 6, the scan's results: the problems of the last scan by category with their check boxes,
// "Ignore" (the problem moves to the ignore list) and "Fix Errors", which hands the ticked
// problems to the repair (see DecideFix) behind the progress dialog. It touches the problem list
// and the ignore list through the application; the repair runs in the application's worker.
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

constexpr UINT_PTR kAutoRepairTimer = 100;

}  // namespace

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

}  // namespace qv::ui
