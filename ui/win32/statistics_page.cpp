// Page 4, the statistics: found, fixed and ignored per category with their totals, the date of
// the last scan, the verdict of the last repair and what an unattended run logged instead of
// asking, with "Fix Errors" and "Scan Now". It reads the application's category table and the
// repair's notes and changes nothing.
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

static_assert(std::size(kStatisticsRowNames) == kCategoryCount);

}  // namespace

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

}  // namespace qv::ui
