// What a person reads of the repair and its backups, in every language (repair_texts.inc,
// base/language.h): why a restore left something undone, why a backup is not trusted, why an
// entry could not be repaired or a restore point not made.
#pragma once

#include "base/language.h"

namespace qv {

#define QV_TEXT QV_TEXT_CONSTANT
#include "repair/repair_texts.inc"
#undef QV_TEXT
// Every text of repair_texts.inc, for the language tests.
inline constexpr UI_TEXT kRepairTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "repair/repair_texts.inc"
#undef QV_TEXT
};

}  // namespace qv
