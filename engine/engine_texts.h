// What a person reads of the scan, in every language (engine_texts.inc, base/language.h): the
// categories' names as shown, the risk labels and the evidence of a problem in words.
#pragma once

#include "base/language.h"

namespace qv {

#define QV_TEXT QV_TEXT_CONSTANT
#include "engine/engine_texts.inc"
#undef QV_TEXT
// Every text of engine_texts.inc, for the language tests.
inline constexpr UI_TEXT kEngineTexts[] = {
#define QV_TEXT QV_TEXT_LIST_ITEM
#include "engine/engine_texts.inc"
#undef QV_TEXT
};

}  // namespace qv
