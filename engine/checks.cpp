#include "engine/checks.h"

#include "engine/registry_cleaner.h"

namespace qv {

bool RunCategoryCheck(CRegistryCleaner& engine, int index) {
  switch (index) {
    case REGPROBLEM_COM: CheckComObjects(engine); return true;
    case REGPROBLEM_UNINSTALL: CheckUninstallEntries(engine); return true;
    case REGPROBLEM_FONT: CheckFonts(engine); return true;
    case REGPROBLEM_SHARED_DLL: CheckSharedDlls(engine); return true;
    case REGPROBLEM_APP_PATH: CheckAppPaths(engine); return true;
    case REGPROBLEM_HELP_FILE: CheckHelpFiles(engine); return true;
    case REGPROBLEM_STARTUP: CheckStartup(engine); return true;
    case REGPROBLEM_FILE_PATH: CheckFileReferences(engine); return true;
    case REGPROBLEM_SHORTCUT: CheckShortcuts(engine); return true;
    case REGPROBLEM_EMPTY_KEY: CheckEmptyKeys(engine); return true;
    case REGPROBLEM_FILE_ASSOCIATION: CheckFileAssociations(engine); return true;
    default: return false;
  }
}

}  // namespace qv
