// Page 0, the scan options: the categories to scan, the summary and health of the last scan, the
// repair link and "Scan Now", which stores the ticked categories and starts the scan page. It
// reads the application's category table and the last scan's record and writes the categories'
// settings; the scan and the repair themselves belong to the scan and results pages.
#include "ui/win32/pages.h"

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

std::int64_t Sum(const CATEGORY_TABLE& table, std::int32_t CATEGORY_SETTINGS::*field) {
  std::int64_t sum = 0;
  for (const CATEGORY_SETTINGS& record : table) sum += record.*field;
  return sum;
}

}  // namespace

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
  FillRect(dc, line, Colour(SKIN_COLOUR::kLine));
}

void CRegOptionsPage::DrawPicture(int id, HDC dc, const RECT& rect) {
  if (id != IDC_HEALTH_PICTURE) return;
  const PICTURE picture = m_picture == HEALTH_PICTURE::kGood  ? PICTURE::kGood
                          : m_picture == HEALTH_PICTURE::kBad ? PICTURE::kBad
                                                              : PICTURE::kNeverScanned;
  DrawHealthPicture(dc, rect, picture);
}

}  // namespace qv::ui
