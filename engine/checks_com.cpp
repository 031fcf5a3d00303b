#include "engine/checks.h"

#include "engine/registry_cleaner.h"

namespace qv {

void CheckComObjects(CRegistryCleaner& /*engine*/) {}

}  // namespace qv
