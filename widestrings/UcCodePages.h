// Which side of every wide/narrow pair the system takes, and the conversions
// between wide strings and byte strings: by code page, UTF-8, UTF-7 and raw
// UTF-16 bytes. Also the wide command line, wide resource strings, the wide
// character of a key and the code page of a locale or font character set.
#pragma once

#include "system.h"
#include "sysutils.h"

// Set from the operating-system version when the unit starts. Every wrapper of
// UcWindows and every Unicode control reads Win32PlatformIsUnicode at each call;
// tests may switch it to drive the narrow road.
extern bool Win32PlatformIsUnicode;  // platform id 2 (the NT family)
extern bool Win32PlatformIsXP;       // 5.1 or later
extern bool Win32PlatformIs2003;     // 5.2 or later
extern bool Win32PlatformIsVista;    // 6.0 or later

// Code-page numbers the conversions handle themselves.
constexpr UINT CP_UTF7_NUMBER = 65000;
constexpr UINT CP_UTF8_NUMBER = 65001;

// The code page of every wide/narrow conversion of the string lists and file
// functions: 0, the system's ANSI code page.
UINT DefaultSystemCodePage();

// 65000 and 65001 go through the UTF-7/UTF-8 converters below; every other
// number through the system (unmappable characters become its default char).
WideString StringToWideStringEx(const AnsiString& s, UINT codePage);
AnsiString WideStringToStringEx(const WideString& ws, UINT codePage);
// The two through DefaultSystemCodePage, as the string lists, the streams, the
// form copies and the file functions convert.
WideString SystemToWide(const AnsiString& s);
AnsiString WideToSystem(const WideString& ws);

// UTF-8: a surrogate pair is written as one four-byte sequence and a valid
// four-byte sequence read back as a pair; any malformed or cut-off sequence
// makes the whole result empty.
AnsiString WideStringToUTF8(const WideString& ws);
WideString UTF8ToWideString(const AnsiString& s);

// UTF-7 (RFC 2152), optional direct characters written directly, no '-' at the
// end of the text. Malformed input raises EUcGeneralError "Invalid UTF7".
AnsiString WideStringToUTF7(const WideString& ws);
WideString UTF7ToWideString(const AnsiString& s);

// Raw UTF-16LE bytes; an odd last byte is dropped.
WideString UCS2ToWideString(const AnsiString& s);
AnsiString WideStringToUCS2(const WideString& ws);
// Swaps the bytes of every character of the NUL-terminated text, in place.
void StrSwapByteOrder(wchar_t* p);

// The default ANSI code page of a locale (GetACP when the locale gives none).
UINT LCIDToCodePage(LCID lcid);
// The code page of the current keyboard layout's language.
UINT KeyboardCodePage();
// A key code below 256 read as one byte of the keyboard code page; larger
// values come back unchanged.
wchar_t KeyUnicode(WORD key);
// The ANSI code page of a font character set; raises the OS error on failure.
UINT CharSetToCodePage(DWORD charSet);

// The wide command line: arguments after the program name, counted up to the
// first empty one; index 0 is the program's module file name.
int WideParamCount();
WideString WideParamStr(int index);
// The same parser on a given command line (WideParamStr(0) excepted: index 0 is
// then the first argument of that text).
int WideParamCountOf(const wchar_t* commandLine);
WideString WideParamStrOf(const wchar_t* commandLine, int index);

// Resource strings. The hook, when set and answering true, supplies the text.
using TWideCustomLoadResString = bool (*)(const TResStringRec* rec, WideString& value);
extern TWideCustomLoadResString WideCustomLoadResString;
WideString WideLoadResString(const TResStringRec* rec);

void UnitInit_UcCodePages();
void UnitFini_UcCodePages();
