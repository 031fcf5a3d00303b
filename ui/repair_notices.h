// What a repair has to tell a person, and where it goes.
//
// A repair the user started (a "Fix Errors" button, the options page's repair link) says it in
// message boxes. A repair that started by itself once the results were listed (the "AUTOREPAIR"
// setting) never waits for a click, since nobody may be there (a scheduled scan closes the
// program afterwards with "CLOSEAFTER"): each thing it would have said becomes one line of the
// activity log, and the lines are kept for the statistics page, which shows them while the
// window stays open.
//
// What there is to say: System Restore refused the restore point (during the repair; a point
// Windows kept from the last 24 hours instead of a new one is no failure and only the repair's
// log line tells it), and once it has ended, either that it ended early, or that no registry
// backup file could be made, or how many of the selected entries could not be fixed.
#pragma once

#include <string>
#include <vector>

#include "repair/repair_driver.h"
#include "state/log_interface.h"
#include "ui/page_logic.h"

namespace qv::ui {

// The texts the ended repair has to tell, in order (none when all went well).
[[nodiscard]] std::vector<std::wstring> RepairEndTexts(const REPAIR_OUTCOME& outcome,
                                                       WORDING wording = WORDING::kUser);

class CRepairNotices {
 public:
  // The log must outlive the object.
  CRepairNotices(IActivityLog& log, STARTED_BY start) : m_log(log), m_start(start) {}

  // System Restore refused the restore point; called on the repair's thread, which waits
  // meanwhile.
  // True when the message box is to be shown now (the user's repair). An unattended repair logs
  // the text and keeps it instead.
  [[nodiscard]] bool OnRestorePointFailed();
  // The repair has ended (its thread has been joined): the texts to show one box each for the
  // user's repair; none for an unattended one, which logs them and keeps them.
  [[nodiscard]] std::vector<std::wstring> OnRepairEnded(const REPAIR_OUTCOME& outcome);

  // What an unattended repair logged, in order (always empty for the user's repair). Read it
  // once the repair's thread has been joined.
  [[nodiscard]] const std::vector<std::wstring>& Kept() const { return m_kept; }

 private:
  // The log keeps English; the statistics page shows the user's language.
  void LogAndKeep(std::wstring_view english, std::wstring shown);

  IActivityLog& m_log;
  STARTED_BY m_start;
  std::vector<std::wstring> m_kept;
};

}  // namespace qv::ui
