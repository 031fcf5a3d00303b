#include "ui/repair_notices.h"

#include <cstdint>
#include <utility>

#include "base/text.h"
#include "ui/page_logic.h"
#include "ui/ui_texts.h"

namespace qv::ui {

std::vector<std::wstring> RepairEndTexts(const REPAIR_OUTCOME& outcome) {
  if (!outcome.completed) return {FormatWithStrings(kRepairEndedEarlyFormat, {outcome.abortMessage})};
  // Without a backup file every registry entry failed for that one reason: it is said alone.
  if (outcome.registryBackupError != kErrorSuccess) return {kNoRegistryBackupMessage};
  std::vector<std::wstring> texts;
  const REPAIR_TALLY tally = TallyRepair(outcome);
  if (tally.notRepaired != 0) {
    texts.push_back(
        FormatCount(kEntriesNotFixedFormat, static_cast<std::int64_t>(tally.notRepaired)));
  }
  if (outcome.uncoveredRoundLimit) {
    texts.push_back(FormatCount(kUncoveredLeftFormat, kMaxUncoveredRounds));
  }
  return texts;
}

bool CRepairNotices::OnRestorePointFailed() {
  if (m_start == STARTED_BY::kUser) return true;
  LogAndKeep(kRestorePointOffMessage);
  return false;
}

std::vector<std::wstring> CRepairNotices::OnRepairEnded(const REPAIR_OUTCOME& outcome) {
  std::vector<std::wstring> texts = RepairEndTexts(outcome);
  if (m_start == STARTED_BY::kUser) return texts;
  for (std::wstring& text : texts) LogAndKeep(std::move(text));
  return {};
}

void CRepairNotices::LogAndKeep(std::wstring text) {
  static_cast<void>(m_log.WriteLog(text));  // a line that cannot be written stops nothing
  m_kept.push_back(std::move(text));
}

}  // namespace qv::ui
