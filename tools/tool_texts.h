// What a person reads of the system tools, in every language (tool_texts.inc, base/language.h):
// the schedule list and our own descriptions of its triggers, the startup list's status.
#pragma once

#include "base/language.h"

namespace qv {

#define QV_TEXT QV_TEXT_CONSTANT
#include "tools/tool_texts.inc"
#undef QV_TEXT
// Every text of tool_texts.inc, for the language tests.
inline constexpr UI_TEXT kToolTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "tools/tool_texts.inc"
#undef QV_TEXT
};

}  // namespace qv
