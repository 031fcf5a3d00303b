#include "ui/repair_notices.h"

#include <cstdint>
#include <utility>

#include "base/text.h"
#include "repair/repair_texts.h"
#include "ui/page_logic.h"
#include "ui/ui_texts.h"

namespace qv::ui {

std::vector<std::wstring> RepairEndTexts(const REPAIR_OUTCOME& outcome, WORDING wording) {
  if (!outcome.completed) {
    return {TrFormat(kRepairEndedEarlyFormat, {outcome.abortMessage}, wording)};
  }
  // Without a backup file every registry entry failed for that one reason: it is said alone.
  if (outcome.registryBackupError != kErrorSuccess) {
    return {std::wstring(Tr(kNoRegistryBackupMessage, wording))};
  }
  // The log keeps English with plain digits; the window the user's language and locale.
  const auto count = [wording](const UI_TEXT& format, std::int64_t number) {
    return wording == WORDING::kEnglish ? FormatCount(Tr(format, wording), number)
                                        : DisplayCount(Tr(format), number);
  };
  std::vector<std::wstring> texts;
  const REPAIR_TALLY tally = TallyRepair(outcome);
  if (tally.notRepaired != 0) {
    texts.push_back(count(kEntriesNotFixedFormat, static_cast<std::int64_t>(tally.notRepaired)));
  }
  if (outcome.uncoveredRoundLimit) {
    texts.push_back(
        TrFormat(kRepairRoundLimitFormat, {std::to_wstring(kMaxUncoveredRounds)}, wording));
  }
  return texts;
}

bool CRepairNotices::OnRestorePointFailed() {
  if (m_start == STARTED_BY::kUser) return true;
  LogAndKeep(Tr(kRestorePointOffMessage, WORDING::kEnglish),
             std::wstring(Tr(kRestorePointOffMessage)));
  return false;
}

std::vector<std::wstring> CRepairNotices::OnRepairEnded(const REPAIR_OUTCOME& outcome) {
  std::vector<std::wstring> texts = RepairEndTexts(outcome);
  if (m_start == STARTED_BY::kUser) return texts;
  const std::vector<std::wstring> english = RepairEndTexts(outcome, WORDING::kEnglish);
  for (std::size_t i = 0; i < texts.size(); ++i) LogAndKeep(english[i], std::move(texts[i]));
  return {};
}

void CRepairNotices::LogAndKeep(std::wstring_view english, std::wstring shown) {
  static_cast<void>(m_log.WriteLog(english));  // a line that cannot be written stops nothing
  m_kept.push_back(std::move(shown));
}

}  // namespace qv::ui
