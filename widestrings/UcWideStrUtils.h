// NUL-terminated wide character buffers (length, copy, compare, scan,
// allocate), quoted wide strings and the buffer search of the find dialogs.
// Apart from the stated null cases the buffer routines trust their pointers.
#pragma once

#include "system.h"

#include <initializer_list>

// Allocations carry their total size in bytes (characters * 2 + 4) in a 32-bit
// word just before the characters.
wchar_t* WStrAlloc(unsigned size);
unsigned WStrBufSize(const wchar_t* str);  // characters the allocation holds
wchar_t* WStrNew(const wchar_t* str);      // null for null
void WStrDispose(wchar_t* str);            // null is ignored

wchar_t* WStrMove(wchar_t* dest, const wchar_t* source, unsigned count);  // overlap allowed
unsigned WStrLen(const wchar_t* str);
wchar_t* WStrEnd(const wchar_t* str);
wchar_t* WStrCopy(wchar_t* dest, const wchar_t* source);
// At most maxLen characters, stopping at the NUL; always terminates.
wchar_t* WStrLCopy(wchar_t* dest, const wchar_t* source, unsigned maxLen);
wchar_t* WStrPCopy(wchar_t* dest, const WideString& source);
wchar_t* WStrPLCopy(wchar_t* dest, const WideString& source, unsigned maxLen);
wchar_t* WStrECopy(wchar_t* dest, const wchar_t* source);  // returns the new terminator
wchar_t* WStrCat(wchar_t* dest, const wchar_t* source);
// Appends at most maxLen minus dest's length characters (none when dest is
// already longer).
wchar_t* WStrLCat(wchar_t* dest, const wchar_t* source, unsigned maxLen);
wchar_t* WStrScan(const wchar_t* str, wchar_t chr);   // NUL finds the terminator
wchar_t* WStrRScan(const wchar_t* str, wchar_t chr);
wchar_t* WStrPos(const wchar_t* str, const wchar_t* subStr);
// Locale comparison in the thread locale: -1, 0, 1 (-2 when the system fails).
// On the narrow platform case-sensitive comparison is by code unit.
int WStrComp(const wchar_t* str1, const wchar_t* str2);
int WStrIComp(const wchar_t* str1, const wchar_t* str2);
int WStrLComp(const wchar_t* str1, const wchar_t* str2, unsigned maxLen);
int WStrLIComp(const wchar_t* str1, const wchar_t* str2, unsigned maxLen);
int Uc_WStrComp(const wchar_t* str1, const wchar_t* str2);
wchar_t* Uc_WStrPos(const wchar_t* str, const wchar_t* subStr);
wchar_t* WStrUpper(wchar_t* str);
wchar_t* WStrLower(wchar_t* str);
WideString WStrPas(const wchar_t* str);
// The address of the last character; null for an empty string.
const wchar_t* WideLastChar(const WideString& s);

WideString WideQuotedStr(const WideString& s, wchar_t quote);
// Moves p past the closing quote. Without a closing quote p ends at the NUL and
// the text after the opening quote loses its last character.
WideString WideExtractQuotedStr(const wchar_t*& src, wchar_t quote);
WideString WideDequotedStr(const WideString& s, wchar_t quote);

// EM_REPLACESEL with the text (undo not allowed) on a window handle.
void Uc_ReplaceSelection(HWND edit, const WideString& text);

// Buffer search. The options are a set: bit (1 << soDown), (1 << soMatchCase),
// (1 << soWholeWord).
enum TStringSeachOption { soDown = 0, soMatchCase = 1, soWholeWord = 2 };
using TStringSeachOptions = unsigned;
constexpr TStringSeachOptions SeachOptions(std::initializer_list<TStringSeachOption> options) {
  TStringSeachOptions r = 0;
  for (auto o : options) r |= 1u << o;
  return r;
}
// The first character of the match inside buf, or null.
wchar_t* SearchBuf(wchar_t* buf, int bufLen, int selStart, int selLength, const WideString& searchString,
                   TStringSeachOptions options = 1u << soDown);
