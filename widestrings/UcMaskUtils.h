// Wide text of masked edits: a value formatted with the mask's literals, and a
// typed value aligned with them.
#pragma once

#include "system.h"

// '/' and ':' as the locale's date and time separators; others unchanged.
wchar_t MaskIntlLiteralToWChar(wchar_t c);
// The value with the mask's literals inserted and missing input positions
// filled with blank (at the end, or at the front for a reverse mask).
WideString MaskDoFormatTextW(const AnsiString& editMask, const WideString& value, char blank);
// A typed value aligned with the literals of the mask: every segment between
// literals brought to its width, spaces at input positions made blank.
WideString PadInputLiteralsW(const AnsiString& editMask, const WideString& value, char blank);
