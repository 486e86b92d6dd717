// The engine's one wildcard matcher: '*' runs over any characters (separators
// included), '?' stands for one character, other characters compare through the
// user's locale, upper-cased first when case is ignored.
#pragma once

#include "system.h"

bool WIsStrMatchPattern(const wchar_t* str, const wchar_t* pattern, bool ignoreCase);
inline bool WIsStrMatchPattern(const WideString& str, const WideString& pattern, bool ignoreCase) {
  return WIsStrMatchPattern(str.c_str(), pattern.c_str(), ignoreCase);
}
