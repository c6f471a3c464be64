#pragma once

#include <cstddef>

namespace ostrel {

// Translates `length` bytes in place from Windows-1251 to KOI8-R through
// Win1251ToKoi8. A byte with no KOI8-R counterpart becomes "?", or a space
// when `noQuestionMarks` is set; a "?" of the text stays "?" either way.
void TranslateToKoi8(char* text, std::size_t length, bool noQuestionMarks);

}  // namespace ostrel
