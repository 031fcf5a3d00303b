#include "engine/checks.h"

#include "engine/registry_cleaner.h"

namespace qv {

void CheckUninstallEntries(CRegistryCleaner& /*engine*/) {}
void CheckFonts(CRegistryCleaner& /*engine*/) {}
void CheckSharedDlls(CRegistryCleaner& /*engine*/) {}
void CheckAppPaths(CRegistryCleaner& /*engine*/) {}
void CheckHelpFiles(CRegistryCleaner& /*engine*/) {}
void CheckValueReferences(CRegistryCleaner& /*engine*/, RegHandle /*root*/,
                          std::wstring_view /*subkey*/, REGPROBLEM_TYPE /*type*/) {}

}  // namespace qv
